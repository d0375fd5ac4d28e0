// The library's file and its schema: a new library made, an older one brought up to date.

#include "activity.h"
#include "post_sanitiser.h"
#include "thread_store.h"

#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <thread>

namespace vesk {

namespace {

// Each page as it was last read: its own posts, its lowest and highest floor of its own (0
// without), and the refresh that read it.
constexpr const char* kPageTable =
    "CREATE TABLE page("
    " thread INTEGER NOT NULL REFERENCES thread(id) ON DELETE CASCADE,"
    " number INTEGER NOT NULL,"
    " posts INTEGER NOT NULL,"
    " first_floor INTEGER NOT NULL,"
    " last_floor INTEGER NOT NULL,"
    " read_at INTEGER NOT NULL,"
    " PRIMARY KEY (thread, number)) WITHOUT ROWID";

// "VesK": the library's mark in the file's header, so that no other SQLite file is taken for one.
constexpr std::int64_t kApplicationId = 0x5665734B;
// The search index's terms are made by vesk_text and vesk_field, and taken out again by them: a
// change of what they give needs a new version whose migration makes the index anew.
constexpr std::int64_t kSchemaVersion = 9;

// Each thread's figures for the list (posts not deleted, unread, the starter's unread), kept in
// step with its posts in the transaction that changes them: by the page writer for the posts it
// adds (one statement a page, where a trigger would cost a fifth of a first reading), by triggers
// for every other change.
constexpr const char* kCountColumns[] = {
    "ALTER TABLE thread ADD COLUMN n_posts INTEGER NOT NULL DEFAULT 0",
    "ALTER TABLE thread ADD COLUMN n_unread INTEGER NOT NULL DEFAULT 0",
    "ALTER TABLE thread ADD COLUMN n_starter_unread INTEGER NOT NULL DEFAULT 0",
};
#define VESK_POST_COUNTS(ROW, SIGN)                       \
    "UPDATE thread SET n_posts = n_posts " SIGN " (" ROW  \
    ".deleted = 0),"                                      \
    " n_unread = n_unread " SIGN " (" ROW                 \
    ".state <> 0),"                                       \
    " n_starter_unread = n_starter_unread " SIGN " (" ROW \
    ".state <> 0 AND"                                     \
    " length(starter) > 0 AND " ROW ".author = starter) WHERE id = " ROW ".thread;"
constexpr const char* kCountTriggers[] = {
    "CREATE TRIGGER post_uncounted AFTER DELETE ON post BEGIN " VESK_POST_COUNTS("OLD", "-") " END",
    "CREATE TRIGGER post_recounted AFTER UPDATE OF deleted, state, author ON post"
    " WHEN OLD.deleted IS NOT NEW.deleted OR OLD.state IS NOT NEW.state"
    " OR OLD.author IS NOT NEW.author"
    " BEGIN " VESK_POST_COUNTS("OLD", "-") " " VESK_POST_COUNTS("NEW", "+") " END",
    // A new starter's posts are counted anew.
    "CREATE TRIGGER thread_starter AFTER UPDATE OF starter ON thread"
    " WHEN OLD.starter IS NOT NEW.starter BEGIN "
    "UPDATE thread SET n_starter_unread = (SELECT count(*) FROM post p WHERE p.thread = NEW.id"
    " AND p.state <> 0 AND length(NEW.starter) > 0 AND p.author = NEW.starter)"
    " WHERE id = NEW.id; END",
};
#undef VESK_POST_COUNTS
// The figures of a library that had none, counted once.
constexpr const char* kCountFill =
    "UPDATE thread SET"
    " n_posts = (SELECT count(*) FROM post p WHERE p.thread = thread.id AND p.deleted = 0),"
    " n_unread = (SELECT count(*) FROM post p WHERE p.thread = thread.id AND p.state <> 0),"
    " n_starter_unread = (SELECT count(*) FROM post p WHERE p.thread = thread.id"
    "  AND p.state <> 0 AND length(thread.starter) > 0 AND p.author = thread.starter)";

// Bodies kept whole (a library before them kept the board's cut: whole = 0, until the post's page
// is read again), and the pictures the posts show: each kept once, by its SHA-256 in hex, and each
// thread's uses of them by the src its posts write, with how fetching them went.
constexpr const char* kPictureSchema[] = {
    "ALTER TABLE post ADD COLUMN whole INTEGER NOT NULL DEFAULT 0",
    "CREATE TABLE picture("
    " id INTEGER PRIMARY KEY,"
    " hash TEXT NOT NULL UNIQUE,"
    " type TEXT NOT NULL,"
    " size INTEGER NOT NULL,"
    " data BLOB NOT NULL)",
    // state: 0 wanted, 1 kept (hash), 2 refused for good (too large, no picture, no web address).
    "CREATE TABLE picture_use("
    " thread INTEGER NOT NULL REFERENCES thread(id) ON DELETE CASCADE,"
    " src BLOB NOT NULL,"
    " address BLOB NOT NULL DEFAULT x'',"
    " hash TEXT,"
    " state INTEGER NOT NULL DEFAULT 0,"
    " tries INTEGER NOT NULL DEFAULT 0,"
    " PRIMARY KEY (thread, src))",
    "CREATE INDEX picture_use_hash ON picture_use(hash) WHERE hash IS NOT NULL",
    "CREATE INDEX picture_use_address ON picture_use(address) WHERE hash IS NOT NULL",
};

// People: one author's posts across the threads (and within one, the starter's), with what the
// counts of a person followed need, from the index alone; the people followed; and each thread's
// posts a week (kNoWeek: those whose time cannot be read), the starter's among them, kept in step
// with its posts: by the page writer for the posts it adds, by triggers for every other change.
// A post's week is its time's, read by vesk_week.
constexpr const char* kPeopleSchema[] = {
    "DROP INDEX IF EXISTS post_author",
    "CREATE INDEX post_person ON post(author, thread, state, deleted)",
    "CREATE TABLE person("
    " author BLOB PRIMARY KEY,"
    " followed_at INTEGER NOT NULL) WITHOUT ROWID",
    "CREATE TABLE activity("
    " thread INTEGER NOT NULL REFERENCES thread(id) ON DELETE CASCADE,"
    " week INTEGER NOT NULL,"
    " posts INTEGER NOT NULL,"
    " starter INTEGER NOT NULL,"
    " PRIMARY KEY (thread, week)) WITHOUT ROWID",
    "CREATE TRIGGER post_week_moved AFTER UPDATE OF author, time ON post"
    " WHEN OLD.author IS NOT NEW.author OR OLD.time IS NOT NEW.time BEGIN"
    " UPDATE activity SET posts = posts - 1, starter = starter - (SELECT length(starter) > 0 AND"
    "  starter = OLD.author FROM thread WHERE id = OLD.thread)"
    "  WHERE thread = OLD.thread AND week = vesk_week(OLD.time);"
    " INSERT INTO activity(thread, week, posts, starter) SELECT NEW.thread, vesk_week(NEW.time), 1,"
    "  length(starter) > 0 AND starter = NEW.author FROM thread WHERE id = NEW.thread"
    "  ON CONFLICT(thread, week) DO UPDATE SET posts = posts + 1,"
    "  starter = starter + excluded.starter; END",
    "CREATE TRIGGER thread_starter_weeks AFTER UPDATE OF starter ON thread"
    " WHEN OLD.starter IS NOT NEW.starter BEGIN"
    " UPDATE activity SET starter = (SELECT count(*) FROM post p WHERE length(NEW.starter) > 0"
    "  AND p.author = NEW.starter AND p.thread = NEW.id AND vesk_week(p.time) = activity.week)"
    " WHERE thread = NEW.id; END",
};

// Every post counted into its thread's weeks, once, for a library that had no weeks.
constexpr const char* kCountWeeks =
    "INSERT INTO activity(thread, week, posts, starter)"
    " SELECT p.thread, vesk_week(p.time), count(*),"
    "  sum(length(t.starter) > 0 AND p.author = t.starter)"
    " FROM post p JOIN thread t ON t.id = p.thread WHERE true GROUP BY 1, 2"
    " ON CONFLICT(thread, week) DO UPDATE SET posts = posts + excluded.posts,"
    " starter = starter + excluded.starter";

// A new library's schema; an older one is brought to it by the steps in Migrate.
constexpr const char* kSchema[] = {
    "CREATE TABLE thread("
    " id INTEGER PRIMARY KEY,"
    " board_code BLOB NOT NULL,"
    " thread_id BLOB NOT NULL,"
    " title BLOB NOT NULL DEFAULT x'',"
    " board_name BLOB NOT NULL DEFAULT x'',"
    " starter BLOB NOT NULL DEFAULT x'',"
    // Read to its end once, so that its pages kept are all its pages (a library before this
    // meaning set it after a first reading that reached the end).
    " complete INTEGER NOT NULL DEFAULT 0,"
    " refreshed INTEGER NOT NULL DEFAULT 0,"
    " watched INTEGER NOT NULL DEFAULT 0,"
    " failures INTEGER NOT NULL DEFAULT 0,"
    " failed_at INTEGER NOT NULL DEFAULT 0,"
    " read_post INTEGER NOT NULL DEFAULT 0,"
    " read_at INTEGER NOT NULL DEFAULT 0,"
    " UNIQUE (board_code, thread_id))",
    // A post with a floor is known by it; one without (floor 0) by its page and place on it.
    // sort_floor puts the latter right after the post before it. Showing a thread sorts its posts
    // without an index of their own, which would take a tenth of the file.
    "CREATE TABLE post("
    " id INTEGER PRIMARY KEY,"
    " thread INTEGER NOT NULL REFERENCES thread(id) ON DELETE CASCADE,"
    " floor INTEGER NOT NULL,"
    " page INTEGER NOT NULL,"
    " position INTEGER NOT NULL,"
    " sort_floor INTEGER NOT NULL,"
    " author BLOB NOT NULL,"
    " time BLOB NOT NULL,"
    " body BLOB NOT NULL,"
    " deleted INTEGER NOT NULL DEFAULT 0,"
    " state INTEGER NOT NULL DEFAULT 0)",
    // Queries by floor say "floor <> 0" so that SQLite takes this index.
    "CREATE UNIQUE INDEX post_floor ON post(thread, floor) WHERE floor <> 0",
    "CREATE UNIQUE INDEX post_place ON post(thread, page, position) WHERE floor = 0",
    // A thread's figures for the list: what is kept, what is unread.
    "CREATE INDEX post_state ON post(thread, state, deleted)",
    // Earlier versions: the body an edit replaced (kind 1), or a deleted post's last (kind 2).
    "CREATE TABLE change("
    " id INTEGER PRIMARY KEY,"
    " thread INTEGER NOT NULL REFERENCES thread(id) ON DELETE CASCADE,"
    " floor INTEGER NOT NULL,"
    " kind INTEGER NOT NULL,"
    " at INTEGER NOT NULL,"
    " body BLOB NOT NULL)",
    "CREATE INDEX change_thread ON change(thread, at, floor)",
    kPageTable,
};

// The library holds what a person read and when: the folders made for it and a new file are the
// user's alone, whatever the umask. Opening the file says what went wrong, if anything did.
std::string PrivateFile(const std::string& strPath) {
    const std::filesystem::path folder = std::filesystem::path(strPath).parent_path();
    std::vector<std::filesystem::path> missing;
    std::error_code error;
    for (std::filesystem::path at = folder; !at.empty() && !std::filesystem::exists(at, error);
         at = at.parent_path()) {
        missing.push_back(at);
        if (at == at.parent_path()) {
            break;
        }
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (mkdir(it->c_str(), 0700) == 0) {
            chmod(it->c_str(), 0700);  // the umask may have taken the owner's rights too
        }
    }
    // Another process making it at the same moment is just as good.
    const int nFile = open(strPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (nFile >= 0) {
        fchmod(nFile, 0600);
        close(nFile);
    }
    return strPath;
}

// Whether the path holds a file with something in it; an absent or empty file is a new library.
bool HoldsData(const std::string& strPath) {
    std::error_code error;
    const auto nSize = std::filesystem::file_size(strPath, error);
    return !error && nSize > 0;
}

// Whether a kept library can be written: the file, and its folder for the write-ahead log.
bool CanWrite(const std::string& strPath) {
    const std::filesystem::path folder = std::filesystem::path(strPath).parent_path();
    return access(strPath.c_str(), W_OK) == 0 &&
           access(folder.empty() ? "." : folder.c_str(), W_OK) == 0;
}

// The steps of versions 2 to 4, from the version before: the threads' and pages' tables of a
// library of version 1 or later.
void UpgradeThreads(Database& db, std::int64_t nVersion) {
    if (nVersion == 1) {
        // Watched threads, and the failed refreshes in a row that make the watch wait.
        db.Execute("ALTER TABLE thread ADD COLUMN watched INTEGER NOT NULL DEFAULT 0");
        db.Execute("ALTER TABLE thread ADD COLUMN failures INTEGER NOT NULL DEFAULT 0");
        db.Execute("ALTER TABLE thread ADD COLUMN failed_at INTEGER NOT NULL DEFAULT 0");
    }
    if (nVersion >= 1 && nVersion < 3) {
        // Pages as last read, in place of the last page a refresh kept posts from and the most
        // posts one page held. The pages before that page count as full and the page itself as
        // its posts make it, so that the next refresh goes on where it would have.
        db.Execute(kPageTable);
        db.Execute(
            "INSERT INTO page(thread, number, posts, first_floor, last_floor, read_at)"
            " SELECT p.thread, p.page,"
            "  CASE WHEN p.page < t.resume_page THEN max(t.fullest, count(*)) ELSE count(*) END,"
            "  coalesce(min(CASE WHEN p.floor <> 0 THEN p.floor END), 0), max(p.floor), 0"
            " FROM post p JOIN thread t ON t.id = p.thread"
            " WHERE p.deleted = 0 AND p.page <= t.resume_page GROUP BY p.thread, p.page");
        db.Execute("ALTER TABLE thread DROP COLUMN resume_page");
        db.Execute("ALTER TABLE thread DROP COLUMN fullest");
    }
    if (nVersion >= 1 && nVersion < 4) {
        // The reading place (the post last seen at the top of the view) and when it was seen.
        db.Execute("ALTER TABLE thread ADD COLUMN read_post INTEGER NOT NULL DEFAULT 0");
        db.Execute("ALTER TABLE thread ADD COLUMN read_at INTEGER NOT NULL DEFAULT 0");
    }
}

}  // namespace

std::string DefaultLibraryFile() {
    std::filesystem::path folder;
    if (const char* pszData = std::getenv("XDG_DATA_HOME"); pszData != nullptr && *pszData) {
        folder = pszData;
    } else {
        const char* pszHome = std::getenv("HOME");
        if (pszHome == nullptr || *pszHome == '\0') {
            const passwd* pUser = getpwuid(getuid());
            pszHome = pUser != nullptr ? pUser->pw_dir : "/";
        }
        folder = std::filesystem::path(pszHome) / ".local" / "share";
    }
    return (folder / "vesk" / "library.sqlite3").string();
}

ThreadStore::ThreadStore(const std::string& strPath, bool bReadOnlyWhenUnwritable,
                         int nBusyTimeoutMs, const IndexProgress& progress) try
    : m_bReadOnly(bReadOnlyWhenUnwritable && HoldsData(strPath) && !CanWrite(strPath)),
      m_db(m_bReadOnly ? strPath : PrivateFile(strPath), !HoldsData(strPath), nBusyTimeoutMs,
           m_bReadOnly) {
    // Read the header before anything is written: a file that is not ours stays as it was.
    // One statement, so that the three are read from one snapshot while another process may be
    // making the library.
    Statement header = m_db.Prepare(
        "SELECT (SELECT application_id FROM pragma_application_id),"
        " (SELECT user_version FROM pragma_user_version), (SELECT count(*) FROM sqlite_schema)");
    header.Step();
    const std::int64_t nApplication = header.Int(0);
    const std::int64_t nVersion = header.Int(1);
    const bool bEmpty = header.Int(2) == 0;
    header.Reset();
    DefineSearchFunctions(m_db);
    DefineActivityFunctions(m_db);
    if (nApplication != kApplicationId && (nApplication != 0 || nVersion != 0 || !bEmpty)) {
        throw LibraryError("这不是帖子库");
    }
    if (nVersion > kSchemaVersion) {
        throw LibraryError("它是本程序更新的版本建的");
    }
    if (m_bReadOnly) {
        if (nVersion < kSchemaVersion) {
            throw LibraryError("它是本程序较旧的版本建的，又无法写入，不能升级");
        }
        return;
    }
    UseWriteAheadLog(nBusyTimeoutMs);
    m_db.Execute("PRAGMA synchronous=NORMAL");
    // A reading of a few hundred pages runs without a checkpoint in its midst (8 MB of log).
    m_db.Execute("PRAGMA wal_autocheckpoint=2000");
    m_db.Execute("PRAGMA foreign_keys=ON");
    Migrate();
    if (progress) {
        ContinueSearchIndex(progress);
    }
} catch (const LibraryError& error) {
    throw LibraryError(kLibraryErrorStart + strPath + " 无法使用：" + error.what(), error.IsBusy());
}

void ThreadStore::UseWriteAheadLog(int nTimeoutMs) {
    // Changing the journal does not wait for another process's lock, as making a new library at
    // the same moment holds one: it is tried again for as long as any other wait would take.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(nTimeoutMs);
    while (true) {
        try {
            Statement journal = m_db.Prepare("PRAGMA journal_mode=WAL");
            if (journal.Step() && journal.Bytes(0) == "wal") {
                return;
            }
        } catch (const LibraryError&) {
            if (std::chrono::steady_clock::now() > deadline) {
                throw;
            }
        }
        if (std::chrono::steady_clock::now() > deadline) {
            throw LibraryError("另一个程序占用了它太久，无法改用预写式日志", true);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void ThreadStore::Migrate() {
    if (m_db.QueryInt("PRAGMA user_version") == kSchemaVersion) {
        return;
    }
    Transaction transaction(m_db);
    // Another process may have made the library while this one waited.
    const std::int64_t nVersion = m_db.QueryInt("PRAGMA user_version");
    if (nVersion == 0) {
        for (const char* pszSql : kSchema) {
            m_db.Execute(pszSql);
        }
        m_db.Execute("PRAGMA application_id=1449489227");
    }
    UpgradeThreads(m_db, nVersion);
    if (nVersion < 5) {
        // One author's posts of a thread (the starter's) without reading the others.
        m_db.Execute("CREATE INDEX post_author ON post(thread, author)");
        for (const char* pszSql : kCountColumns) {
            m_db.Execute(pszSql);
        }
        for (const char* pszSql : kCountTriggers) {
            m_db.Execute(pszSql);
        }
        m_db.Execute(kCountFill);
    }
    if (nVersion < 6) {
        for (const char* pszSql : kPictureSchema) {
            m_db.Execute(pszSql);
        }
    }
    if (nVersion < 8) {
        // Its posts are indexed in steps of their own, once the library is open.
        CreateSearchIndex(m_db);
    }
    if (nVersion < 9) {
        for (const char* pszSql : kPeopleSchema) {
            m_db.Execute(pszSql);
        }
        m_db.Execute(kCountWeeks);
    }
    m_db.Execute("PRAGMA user_version=9");
    transaction.Commit();
}

}  // namespace vesk
