#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;
struct fts5_tokenizer;

namespace vesk {

// A failure of the library's database: it cannot be opened, read or written. bBusy: another
// connection held the lock longer than the busy timeout.
class LibraryError : public std::runtime_error {
public:
    explicit LibraryError(const std::string& what, bool bBusy = false)
        : std::runtime_error(what), m_bBusy(bBusy) {}
    bool IsBusy() const { return m_bBusy; }

private:
    bool m_bBusy;
};

class Statement;

// One connection to an SQLite file. Every failure throws LibraryError.
class Database final {
public:
    // Opens an existing file, or creates it when bCreate; the busy timeout applies to every wait
    // for another connection's lock. bReadOnly: for reading only, and where the write-ahead log
    // cannot be shared (its folder cannot be written) as a file that nobody changes meanwhile.
    Database(const std::string& strPath, bool bCreate, int nBusyTimeoutMs, bool bReadOnly = false);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    void Execute(const char* pszSql);
    Statement Prepare(const char* pszSql);
    // A statement whose one result is an integer, such as a PRAGMA's value.
    std::int64_t QueryInt(const char* pszSql);
    std::int64_t Changes() const;
    [[noreturn]] void Fail() const;
    // A function of one text for this connection's statements (and the schema's triggers), as
    // SQL calls it by name; its value is text. NULL stays NULL.
    using TextFunction = std::string (*)(std::string_view text);
    void DefineFunction(const char* pszName, TextFunction function);
    // The same, whose value is an integer.
    using IntFunction = std::int64_t (*)(std::string_view text);
    void DefineFunction(const char* pszName, IntFunction function);
    // A full-text tokenizer for this connection's FTS5 tables, as they name it; it must outlive
    // the connection.
    void DefineTokenizer(const char* pszName, fts5_tokenizer& tokenizer);
    // Ends the statement running on this connection soon, from any thread: it fails as
    // interrupted.
    void Interrupt();

private:
    void Open(const std::string& strName, int nFlags);

    sqlite3* m_pDb = nullptr;
};

// A prepared statement; parameters and columns count from 1 and 0, as in SQLite.
class Statement final {
public:
    Statement(Database& db, sqlite3* pDb, const char* pszSql);
    ~Statement();
    Statement(Statement&& other) noexcept;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& Bind(int nIndex, std::int64_t nValue);
    // Bytes, kept as a blob: the forum's texts are GB2312 and never need SQLite's text rules.
    Statement& Bind(int nIndex, std::string_view bytes);
    // UTF-8 text, for what SQLite reads as text: patterns, full-text queries.
    Statement& BindText(int nIndex, std::string_view text);
    // Runs on to the next row; false when there is none left. Resets for another run then.
    bool Step();
    // Runs a statement without rows, then resets it.
    void Run();
    void Reset();

    std::int64_t Int(int nColumn) const;
    std::string_view Bytes(int nColumn) const;

private:
    Database* m_pDatabase;
    sqlite3* m_pDb;
    sqlite3_stmt* m_pStmt = nullptr;
};

// A write transaction, begun at once (so that waiting for another writer happens here, under the
// busy timeout) and rolled back unless committed.
class Transaction final {
public:
    explicit Transaction(Database& db);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void Commit();

private:
    Database& m_db;
    bool m_bDone = false;
};

}  // namespace vesk
