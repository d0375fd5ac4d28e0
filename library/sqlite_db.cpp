#include "sqlite_db.h"

#include <new>
#include <sqlite3.h>
#include <string>
#include <type_traits>

namespace vesk {

namespace {

// A file name as an SQLite URI's path.
std::string UriPath(const std::string& strPath) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string strUri = "file:";
    for (const char ch : strPath) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '%' || c == '?' || c == '#' || c <= 0x20 || c >= 0x7F) {
            strUri += '%';
            strUri += kHex[c >> 4];
            strUri += kHex[c & 0x0F];
        } else {
            strUri += ch;
        }
    }
    return strUri;
}

// What a failure means to the user, by SQLite's primary result code.
std::string Reason(int nCode) {
    switch (nCode & 0xFF) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return "另一个程序占用了它太久";
        case SQLITE_FULL:
            return "磁盘已满";
        case SQLITE_CORRUPT:
            return "文件已损坏";
        case SQLITE_NOTADB:
            return "这不是帖子库";
        case SQLITE_READONLY:
        case SQLITE_PERM:
        case SQLITE_AUTH:
            return "没有写入的权限";
        case SQLITE_CANTOPEN:
            return "无法打开";
        case SQLITE_IOERR:
            return "读写文件出错";
        case SQLITE_INTERRUPT:
            return "操作已中断";
        case SQLITE_NOMEM:
            return "内存不足";
        default:
            return "数据库出错";
    }
}

}  // namespace

Database::Database(const std::string& strPath, bool bCreate, int nBusyTimeoutMs, bool bReadOnly) {
    if (!bReadOnly) {
        Open(strPath, SQLITE_OPEN_READWRITE | (bCreate ? SQLITE_OPEN_CREATE : 0));
    } else {
        Open(strPath, SQLITE_OPEN_READONLY);
        // Reading a write-ahead log needs its shared index, which a folder that cannot be written
        // cannot hold: nobody can write the library there either, so it is read as it stands.
        if (sqlite3_exec(m_pDb, "SELECT count(*) FROM sqlite_schema", nullptr, nullptr, nullptr) !=
            SQLITE_OK) {
            sqlite3_close(m_pDb);
            m_pDb = nullptr;
            Open(UriPath(strPath) + "?immutable=1", SQLITE_OPEN_READONLY | SQLITE_OPEN_URI);
        }
    }
    sqlite3_busy_timeout(m_pDb, nBusyTimeoutMs);
}

void Database::Open(const std::string& strName, int nFlags) {
    if (sqlite3_open_v2(strName.c_str(), &m_pDb, nFlags | SQLITE_OPEN_NOMUTEX, nullptr) !=
        SQLITE_OK) {
        const std::string strWhy =
            m_pDb != nullptr ? Reason(sqlite3_errcode(m_pDb)) + "（" + sqlite3_errmsg(m_pDb) + "）"
                             : Reason(SQLITE_NOMEM);
        sqlite3_close(m_pDb);
        m_pDb = nullptr;
        throw LibraryError(strWhy);
    }
    sqlite3_extended_result_codes(m_pDb, 1);
}

Database::~Database() {
    sqlite3_close_v2(m_pDb);
}

void Database::Fail() const {
    // What went wrong in the user's terms, SQLite's own words beside it; never our statements.
    throw LibraryError(Reason(sqlite3_errcode(m_pDb)) + "（" + sqlite3_errmsg(m_pDb) + "）",
                       (sqlite3_errcode(m_pDb) & 0xFF) == SQLITE_BUSY);
}

void Database::Execute(const char* pszSql) {
    if (sqlite3_exec(m_pDb, pszSql, nullptr, nullptr, nullptr) != SQLITE_OK) {
        Fail();
    }
}

Statement Database::Prepare(const char* pszSql) {
    return Statement(*this, m_pDb, pszSql);
}

std::int64_t Database::QueryInt(const char* pszSql) {
    Statement statement = Prepare(pszSql);
    return statement.Step() ? statement.Int(0) : 0;
}

namespace {

// Calls a function of one text from SQL: NULL stays NULL, the text's bytes are handed over as
// they are, the value is the function's text or integer.
template <class Function>
void CallOnText(sqlite3_context* pContext, int, sqlite3_value** ppValues) {
    if (sqlite3_value_type(ppValues[0]) == SQLITE_NULL) {
        sqlite3_result_null(pContext);
        return;
    }
    const auto* pBytes = static_cast<const char*>(sqlite3_value_blob(ppValues[0]));
    const auto nBytes = static_cast<std::size_t>(sqlite3_value_bytes(ppValues[0]));
    const std::string_view text =
        pBytes != nullptr ? std::string_view(pBytes, nBytes) : std::string_view();
    const auto function = reinterpret_cast<Function>(sqlite3_user_data(pContext));
    try {
        if constexpr (std::is_same_v<Function, Database::TextFunction>) {
            const std::string strValue = function(text);
            sqlite3_result_text64(pContext, strValue.data(), strValue.size(), SQLITE_TRANSIENT,
                                  SQLITE_UTF8);
        } else {
            sqlite3_result_int64(pContext, function(text));
        }
    } catch (const std::bad_alloc&) {
        sqlite3_result_error_nomem(pContext);
    }
}

template <class Function>
bool CreateFunction(sqlite3* pDb, const char* pszName, Function function) {
    return sqlite3_create_function_v2(pDb, pszName, 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                                      reinterpret_cast<void*>(function), &CallOnText<Function>,
                                      nullptr, nullptr, nullptr) == SQLITE_OK;
}

}  // namespace

void Database::DefineFunction(const char* pszName, TextFunction function) {
    if (!CreateFunction(m_pDb, pszName, function)) {
        Fail();
    }
}

void Database::DefineFunction(const char* pszName, IntFunction function) {
    if (!CreateFunction(m_pDb, pszName, function)) {
        Fail();
    }
}

void Database::DefineTokenizer(const char* pszName, fts5_tokenizer& tokenizer) {
    // FTS5 hands out its interface as a pointer bound to a statement of its own function.
    fts5_api* pApi = nullptr;
    sqlite3_stmt* pAsk = nullptr;
    if (sqlite3_prepare_v2(m_pDb, "SELECT fts5(?1)", -1, &pAsk, nullptr) == SQLITE_OK) {
        sqlite3_bind_pointer(pAsk, 1, static_cast<void*>(&pApi), "fts5_api_ptr", nullptr);
        sqlite3_step(pAsk);
    }
    sqlite3_finalize(pAsk);
    if (pApi == nullptr ||
        pApi->xCreateTokenizer(pApi, pszName, nullptr, &tokenizer, nullptr) != SQLITE_OK) {
        Fail();
    }
}

void Database::Interrupt() {
    sqlite3_interrupt(m_pDb);
}

std::int64_t Database::Changes() const {
    return sqlite3_changes64(m_pDb);
}

Statement::Statement(Database& db, sqlite3* pDb, const char* pszSql)
    : m_pDatabase(&db), m_pDb(pDb) {
    if (sqlite3_prepare_v2(pDb, pszSql, -1, &m_pStmt, nullptr) != SQLITE_OK) {
        db.Fail();
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
        m_pDatabase->Fail();
    }
    return *this;
}

Statement& Statement::Bind(int nIndex, std::string_view bytes) {
    // An empty value is an empty blob, never NULL.
    static const char kEmpty = 0;
    if (sqlite3_bind_blob64(m_pStmt, nIndex, bytes.empty() ? &kEmpty : bytes.data(), bytes.size(),
                            SQLITE_TRANSIENT) != SQLITE_OK) {
        m_pDatabase->Fail();
    }
    return *this;
}

Statement& Statement::BindText(int nIndex, std::string_view text) {
    if (sqlite3_bind_text64(m_pStmt, nIndex, text.data(), text.size(), SQLITE_TRANSIENT,
                            SQLITE_UTF8) != SQLITE_OK) {
        m_pDatabase->Fail();
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
        m_pDatabase->Fail();
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
