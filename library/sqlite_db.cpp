#include "sqlite_db.h"

#include <sqlite3.h>

namespace vesk {

Database::Database(const std::string& strPath, bool bCreate, int nBusyTimeoutMs) {
    const int nFlags =
        SQLITE_OPEN_READWRITE | (bCreate ? SQLITE_OPEN_CREATE : 0) | SQLITE_OPEN_NOMUTEX;
    if (sqlite3_open_v2(strPath.c_str(), &m_pDb, nFlags, nullptr) != SQLITE_OK) {
        const std::string strWhy = m_pDb != nullptr ? sqlite3_errmsg(m_pDb) : "out of memory";
        sqlite3_close(m_pDb);
        m_pDb = nullptr;
        throw LibraryError(strWhy);
    }
    sqlite3_extended_result_codes(m_pDb, 1);
    sqlite3_busy_timeout(m_pDb, nBusyTimeoutMs);
}

Database::~Database() {
    sqlite3_close_v2(m_pDb);
}

void Database::Fail(std::string_view what) const {
    throw LibraryError(std::string(what) + ": " + sqlite3_errmsg(m_pDb));
}

void Database::Execute(const char* pszSql) {
    if (sqlite3_exec(m_pDb, pszSql, nullptr, nullptr, nullptr) != SQLITE_OK) {
        Fail(pszSql);
    }
}

Statement Database::Prepare(const char* pszSql) {
    return Statement(*this, m_pDb, pszSql);
}

std::int64_t Database::QueryInt(const char* pszSql) {
    Statement statement = Prepare(pszSql);
    return statement.Step() ? statement.Int(0) : 0;
}

std::int64_t Database::Changes() const {
    return sqlite3_changes64(m_pDb);
}

Statement::Statement(Database& db, sqlite3* pDb, const char* pszSql)
    : m_pDatabase(&db), m_pDb(pDb) {
    if (sqlite3_prepare_v2(pDb, pszSql, -1, &m_pStmt, nullptr) != SQLITE_OK) {
        db.Fail(pszSql);
    }
}

Statement::Statement(Statement&& other) noexcept
    : m_pDatabase(other.m_pDatabase), m_pDb(other.m_pDb), m_pStmt(other.m_pStmt) {
    other.m_pStmt = nullptr;
}

Statement::~Statement() {
    sqlite3_finalize(m_pStmt);
}

Statement& Statement::Bind(int nIndex, std::int64_t nValue) {
    if (sqlite3_bind_int64(m_pStmt, nIndex, nValue) != SQLITE_OK) {
        m_pDatabase->Fail("bind");
    }
    return *this;
}

Statement& Statement::Bind(int nIndex, std::string_view bytes) {
    // An empty value is an empty blob, never NULL.
    static const char kEmpty = 0;
    if (sqlite3_bind_blob64(m_pStmt, nIndex, bytes.empty() ? &kEmpty : bytes.data(), bytes.size(),
                            SQLITE_TRANSIENT) != SQLITE_OK) {
        m_pDatabase->Fail("bind");
    }
    return *this;
}

bool Statement::Step() {
    const int nResult = sqlite3_step(m_pStmt);
    if (nResult == SQLITE_ROW) {
        return true;
    }
    sqlite3_reset(m_pStmt);
    if (nResult != SQLITE_DONE) {
        m_pDatabase->Fail(sqlite3_sql(m_pStmt));
    }
    return false;
}

void Statement::Run() {
    while (Step()) {
    }
}

void Statement::Reset() {
    sqlite3_reset(m_pStmt);
}

std::int64_t Statement::Int(int nColumn) const {
    return sqlite3_column_int64(m_pStmt, nColumn);
}

std::string_view Statement::Bytes(int nColumn) const {
    const void* pData = sqlite3_column_blob(m_pStmt, nColumn);
    const int nSize = sqlite3_column_bytes(m_pStmt, nColumn);
    return pData == nullptr
               ? std::string_view{}
               : std::string_view(static_cast<const char*>(pData), static_cast<std::size_t>(nSize));
}

Transaction::Transaction(Database& db) : m_db(db) {
    m_db.Execute("BEGIN IMMEDIATE");
}

Transaction::~Transaction() {
    if (!m_bDone) {
        try {
            m_db.Execute("ROLLBACK");
        } catch (const LibraryError&) {
            // The transaction is gone already when SQLite rolled it back itself.
        }
    }
}

void Transaction::Commit() {
    m_db.Execute("COMMIT");
    m_bDone = true;
}

}  // namespace vesk
