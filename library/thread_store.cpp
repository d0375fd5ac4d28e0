#include "thread_store.h"

#include "post_sanitiser.h"

#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <limits>
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
constexpr std::int64_t kSchemaVersion = 7;

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

// A new library's schema; an older one is brought to it by the steps in Migrate.
constexpr const char* kSchema[] = {
    "CREATE TABLE thread("
    " id INTEGER PRIMARY KEY,"
    " board_code BLOB NOT NULL,"
    " thread_id BLOB NOT NULL,"
    " title BLOB NOT NULL DEFAULT x'',"
    " board_name BLOB NOT NULL DEFAULT x'',"
    " starter BLOB NOT NULL DEFAULT x'',"
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

// The kinds of change kept: an edit's earlier body, a deleted post's last.
constexpr int kEdit = 1;
constexpr int kDeletion = 2;

int ToInt(std::int64_t nValue) {
    return static_cast<int>(nValue);
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

PageChanges& PageChanges::operator+=(const PageChanges& other) {
    nNew += other.nNew;
    nStarterNew += other.nStarterNew;
    nEdited += other.nEdited;
    nDeleted += other.nDeleted;
    return *this;
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
    if (nApplication != kApplicationId && (nApplication != 0 || nVersion != 0 || !bEmpty)) {
        throw LibraryError("not a thread library");
    }
    if (nVersion > kSchemaVersion) {
        throw LibraryError("made by a newer version of this program");
    }
    if (m_bReadOnly) {
        if (nVersion < kSchemaVersion) {
            throw LibraryError(
                "made by an older version of this program, and it cannot be written to be "
                "brought up to date");
        }
        return;
    }
    UseWriteAheadLog(nBusyTimeoutMs);
    m_db.Execute("PRAGMA synchronous=NORMAL");
    // A reading of a few hundred pages runs without a checkpoint in its midst (8 MB of log).
    m_db.Execute("PRAGMA wal_autocheckpoint=2000");
    m_db.Execute("PRAGMA foreign_keys=ON");
    Migrate(progress);
} catch (const LibraryError& error) {
    throw LibraryError("the library " + strPath + " cannot be used: " + error.what(),
                       error.IsBusy());
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
            throw LibraryError("the journal cannot be changed to a write-ahead log", true);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void ThreadStore::Migrate(const IndexProgress& progress) {
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
    // Each later version's steps, from the version before.
    if (nVersion == 1) {
        // Watched threads, and the failed refreshes in a row that make the watch wait.
        m_db.Execute("ALTER TABLE thread ADD COLUMN watched INTEGER NOT NULL DEFAULT 0");
        m_db.Execute("ALTER TABLE thread ADD COLUMN failures INTEGER NOT NULL DEFAULT 0");
        m_db.Execute("ALTER TABLE thread ADD COLUMN failed_at INTEGER NOT NULL DEFAULT 0");
    }
    if (nVersion >= 1 && nVersion < 3) {
        // Pages as last read, in place of the last page a refresh kept posts from and the most
        // posts one page held. The pages before that page count as full and the page itself as
        // its posts make it, so that the next refresh goes on where it would have.
        m_db.Execute(kPageTable);
        m_db.Execute(
            "INSERT INTO page(thread, number, posts, first_floor, last_floor, read_at)"
            " SELECT p.thread, p.page,"
            "  CASE WHEN p.page < t.resume_page THEN max(t.fullest, count(*)) ELSE count(*) END,"
            "  coalesce(min(CASE WHEN p.floor <> 0 THEN p.floor END), 0), max(p.floor), 0"
            " FROM post p JOIN thread t ON t.id = p.thread"
            " WHERE p.deleted = 0 AND p.page <= t.resume_page GROUP BY p.thread, p.page");
        m_db.Execute("ALTER TABLE thread DROP COLUMN resume_page");
        m_db.Execute("ALTER TABLE thread DROP COLUMN fullest");
    }
    if (nVersion >= 1 && nVersion < 4) {
        // The reading place (the post last seen at the top of the view) and when it was seen.
        m_db.Execute("ALTER TABLE thread ADD COLUMN read_post INTEGER NOT NULL DEFAULT 0");
        m_db.Execute("ALTER TABLE thread ADD COLUMN read_at INTEGER NOT NULL DEFAULT 0");
    }
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
    if (nVersion < 7) {
        BuildSearchIndex(m_db, progress);
    }
    m_db.Execute("PRAGMA user_version=7");
    transaction.Commit();
}

Statement& ThreadStore::Cached(const char* pszSql) {
    auto it = m_statements.find(pszSql);
    if (it == m_statements.end()) {
        it = m_statements.emplace(pszSql, m_db.Prepare(pszSql)).first;
    }
    return it->second;
}

std::optional<StoredThread> ThreadStore::Find(const ThreadKey& key) {
    Statement& find = Cached(
        "SELECT id, title, board_name, starter, complete, refreshed, watched, read_post, read_at "
        "FROM thread WHERE board_code = ? AND thread_id = ?");
    find.Bind(1, key.strBoardCode).Bind(2, key.strThreadId);
    if (!find.Step()) {
        return std::nullopt;
    }
    StoredThread thread{find.Int(0),
                        key,
                        std::string(find.Bytes(1)),
                        std::string(find.Bytes(2)),
                        std::string(find.Bytes(3)),
                        find.Int(4) != 0,
                        find.Int(5),
                        find.Int(6) != 0,
                        find.Int(7),
                        find.Int(8)};
    find.Reset();
    return thread;
}

std::int32_t ThreadStore::HighestFloor(std::int64_t nThread) {
    Statement& highest = Cached("SELECT max(floor) FROM post WHERE thread = ? AND floor <> 0");
    highest.Bind(1, nThread);
    const auto nFloor = highest.Step() ? static_cast<std::int32_t>(highest.Int(0)) : 0;
    highest.Reset();
    return nFloor;
}

KeptPages ThreadStore::PagesKept(std::int64_t nThread) {
    Statement& pages = Cached(
        "WITH fullest(posts) AS (SELECT max(posts) FROM page WHERE thread = ?1) "
        "SELECT coalesce((SELECT min(number) FROM page, fullest f WHERE thread = ?1"
        "  AND page.posts < f.posts), (SELECT max(number) FROM page WHERE thread = ?1), 0),"
        " coalesce((SELECT posts FROM fullest), 0)");
    pages.Bind(1, nThread);
    KeptPages kept;
    if (pages.Step()) {
        kept = {ToInt(pages.Int(0)), ToInt(pages.Int(1))};
    }
    pages.Reset();
    return kept;
}

std::int32_t ThreadStore::FloorBefore(std::int64_t nThread, int nPage) {
    return PageBefore(nThread, nPage).nLastFloor;
}

ThreadStore::PageRow ThreadStore::PageBefore(std::int64_t nThread, int nPage) {
    Statement& before = Cached(
        "SELECT number, last_floor, read_at FROM page WHERE thread = ? AND number < ? "
        "ORDER BY number DESC LIMIT 1");
    before.Bind(1, nThread).Bind(2, nPage);
    PageRow row;
    if (before.Step()) {
        row = {ToInt(before.Int(0)), static_cast<std::int32_t>(before.Int(1)), before.Int(2)};
    }
    before.Reset();
    return row;
}

std::int32_t ThreadStore::LowestFloorAbove(std::int64_t nThread, std::int32_t nFloor) {
    Statement& lowest = Cached(
        "SELECT min(floor) FROM post WHERE thread = ? AND floor > ? AND floor <> 0 "
        "AND deleted = 0");
    lowest.Bind(1, nThread).Bind(2, nFloor);
    std::int32_t nLowest = std::numeric_limits<std::int32_t>::max();
    if (lowest.Step() && lowest.Int(0) != 0) {
        nLowest = static_cast<std::int32_t>(lowest.Int(0));
    }
    lowest.Reset();
    return nLowest;
}

std::size_t FirstOwnPost(const std::vector<PostFields>& posts, std::int32_t nFloorBefore) {
    std::size_t nFirst = posts.size();
    std::int32_t nLater = std::numeric_limits<std::int32_t>::max();
    for (std::size_t i = posts.size(); i-- > 0;) {
        const std::int32_t nFloor = posts[i].nFloor;
        if (nFloor == 0) {
            continue;
        }
        if (nFloor >= nLater || nFloor <= nFloorBefore) {
            break;
        }
        nLater = nFloor;
        nFirst = i;
    }
    while (nFirst > 0 && posts[nFirst - 1].nFloor == 0) {
        --nFirst;
    }
    return nFirst;
}

// One page stored, step by step, inside StorePage's transaction.
class ThreadStore::PageWriter final {
public:
    PageWriter(ThreadStore& store, const StoredThread& thread, const ReadPage& page,
               std::int64_t nWhen)
        : m_store(store), m_thread(thread), m_page(page), m_nWhen(nWhen) {}

    StoredPage Write();

private:
    // A post kept in the range the page covers.
    struct Kept {
        std::int64_t nId;
        std::string strAuthor, strTime, strBody;
        bool bDeleted;
        PostState state;
        std::int64_t nPage, nPosition;
        bool bWhole;
        bool bSeen = false;
    };

    void FindOwnRun();
    void UpdateHeading();
    void ReadKept();
    void WriteOwnPosts();
    void CompareKept(const PostFields& post, std::int64_t nPosition, Kept& kept);
    void InsertNew(const PostFields& post, std::int64_t nPosition, std::int32_t nSortFloor);
    void DeleteMissing();
    void NotePage();
    // The pictures a body kept shows are wanted, unless the thread has them already.
    void NotePictures(std::string_view body);
    // The body as the library keeps it: whole, or for posts cut without their block (as tests
    // make them) as cut.
    static std::string_view WholeBody(const PostFields& post) {
        return post.block.empty() ? post.body : CutWholeBody(post.block);
    }
    // A state as stored: until a refresh has run to the thread's end, everything counts as read.
    std::int64_t Marked(PostState state) const {
        return m_thread.bComplete ? static_cast<std::int64_t>(state) : 0;
    }
    Statement& Cached(const char* pszSql) { return m_store.Cached(pszSql); }

    ThreadStore& m_store;
    const StoredThread& m_thread;
    const ReadPage& m_page;
    const std::int64_t m_nWhen;
    PageRow m_before;
    std::size_t m_nFirstOwn = 0;
    std::int32_t m_nLowest = std::numeric_limits<std::int32_t>::max();
    std::int32_t m_nHighest = std::numeric_limits<std::int32_t>::min();
    std::string_view m_starter;
    std::map<std::int32_t, Kept> m_kept;
    StoredPage m_result;
};

StoredPage ThreadStore::PageWriter::Write() {
    FindOwnRun();
    if (m_result.nOwn == 0) {
        return m_result;
    }
    UpdateHeading();
    ReadKept();
    WriteOwnPosts();
    // A post shown above the page's own run (pinned, or among replies shown on every page) is
    // kept where it stands only when it is not kept at all; a post without a floor there cannot
    // be told from its copies.
    for (std::size_t i = 0; i < m_nFirstOwn; ++i) {
        if (m_page.posts[i].nFloor != 0) {
            InsertNew(m_page.posts[i], static_cast<std::int64_t>(i), m_page.posts[i].nFloor);
        }
    }
    DeleteMissing();
    NotePage();
    return m_result;
}

// The page before, as last read, tells where this page's own floors begin.
void ThreadStore::PageWriter::FindOwnRun() {
    m_before = m_store.PageBefore(m_thread.nId, m_page.nPage);
    m_nFirstOwn = FirstOwnPost(m_page.posts, m_before.nLastFloor);
    m_result.nOwn = static_cast<int>(m_page.posts.size() - m_nFirstOwn);
    for (std::size_t i = m_nFirstOwn; i < m_page.posts.size(); ++i) {
        if (const std::int32_t nFloor = m_page.posts[i].nFloor; nFloor != 0) {
            m_nLowest = std::min(m_nLowest, nFloor);
            m_nHighest = std::max(m_nHighest, nFloor);
        }
    }
}

// Page 1 names the thread and, by its first post of its own, the starter.
void ThreadStore::PageWriter::UpdateHeading() {
    const std::string_view first =
        m_nFirstOwn < m_page.posts.size() ? m_page.posts[m_nFirstOwn].author : std::string_view{};
    m_starter = m_page.heading ? first : std::string_view(m_thread.strStarter);
    if (m_page.heading) {
        Cached("UPDATE thread SET title = ?, board_name = ?, starter = ? WHERE id = ?")
            .Bind(1, m_page.heading->title)
            .Bind(2, m_page.heading->boardName)
            .Bind(3, first)
            .Bind(4, m_thread.nId)
            .Run();
    }
}

// The posts kept from the floor after the page before, when that was read in this refresh, or
// else from the page's lowest floor, up to its highest, in one look-up: the page's own floors to
// compare, and those missing from it, which were deleted.
void ThreadStore::PageWriter::ReadKept() {
    if (m_nLowest > m_nHighest) {
        return;
    }
    const bool bBeforeReadNow = m_before.nPage == m_page.nPage - 1 && m_before.nReadAt == m_nWhen &&
                                m_before.nLastFloor > 0;
    const std::int32_t nFrom =
        bBeforeReadNow ? std::min(m_nLowest, m_before.nLastFloor + 1) : m_nLowest;
    Statement& range = Cached(
        "SELECT floor, id, author, time, body, deleted, state, page, position, whole FROM post "
        "WHERE thread = ? AND floor >= ? AND floor <= ? AND floor <> 0");
    range.Bind(1, m_thread.nId).Bind(2, nFrom).Bind(3, m_nHighest);
    while (range.Step()) {
        m_kept.emplace(static_cast<std::int32_t>(range.Int(0)),
                       Kept{range.Int(1), std::string(range.Bytes(2)), std::string(range.Bytes(3)),
                            std::string(range.Bytes(4)), range.Int(5) != 0,
                            static_cast<PostState>(range.Int(6)), range.Int(7), range.Int(8),
                            range.Int(9) != 0});
    }
}

void ThreadStore::PageWriter::WriteOwnPosts() {
    // A post without a floor stands after the last floor of its own before it, on this page or
    // earlier.
    std::int32_t nAnchor = m_before.nLastFloor;
    for (std::size_t i = m_nFirstOwn; i < m_page.posts.size(); ++i) {
        const PostFields& post = m_page.posts[i];
        const auto nPosition = static_cast<std::int64_t>(i);
        if (post.nFloor == 0) {
            InsertNew(post, nPosition, nAnchor);
            continue;
        }
        nAnchor = post.nFloor;
        const auto it = m_kept.find(post.nFloor);
        if (it == m_kept.end()) {
            InsertNew(post, nPosition, post.nFloor);
        } else if (!it->second.bSeen) {
            // A floor twice on one page is kept once.
            it->second.bSeen = true;
            CompareKept(post, nPosition, it->second);
        }
    }
}

void ThreadStore::PageWriter::CompareKept(const PostFields& post, std::int64_t nPosition,
                                          Kept& kept) {
    // A body kept as the board's cut left it is compared as cut, and kept whole from now on.
    const std::string_view whole = WholeBody(post);
    const bool bSameBody = kept.bWhole ? kept.strBody == whole : kept.strBody == post.body;
    const bool bEdited = kept.strAuthor != post.author || kept.strTime != post.time || !bSameBody;
    const bool bMoved = kept.nPage != m_page.nPage || kept.nPosition != nPosition;
    if (bEdited) {
        m_store.RecordChange(m_thread.nId, post.nFloor, kEdit, m_nWhen, kept.strBody);
        ++m_result.changes.nEdited;
    } else if (!kept.bDeleted && !bMoved && kept.bWhole) {
        return;
    }
    if (kept.strBody != whole) {
        NotePictures(whole);
    }
    // An edit is unread again, and a new post stays new; a post back from deletion with its last
    // text is simply current again.
    const PostState newState = bEdited         ? (kept.state == PostState::kNew
                                                      ? PostState::kNew
                                                      : static_cast<PostState>(Marked(PostState::kEdited)))
                               : kept.bDeleted ? PostState::kRead
                                               : kept.state;
    Cached(
        "UPDATE post SET author = ?, time = ?, body = ?, deleted = 0, state = ?, page = ?, "
        "position = ?, whole = 1 WHERE id = ?")
        .Bind(1, post.author)
        .Bind(2, post.time)
        .Bind(3, whole)
        .Bind(4, static_cast<std::int64_t>(newState))
        .Bind(5, m_page.nPage)
        .Bind(6, nPosition)
        .Bind(7, kept.nId)
        .Run();
}

// A post not kept before; a post without a floor stands at nSortFloor among the floors.
void ThreadStore::PageWriter::InsertNew(const PostFields& post, std::int64_t nPosition,
                                        std::int32_t nSortFloor) {
    const std::string_view body = WholeBody(post);
    Cached(
        "INSERT OR IGNORE INTO post(thread, floor, page, position, sort_floor, author, "
        "time, body, state, whole) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, 1)")
        .Bind(1, m_thread.nId)
        .Bind(2, post.nFloor)
        .Bind(3, m_page.nPage)
        .Bind(4, nPosition)
        .Bind(5, nSortFloor)
        .Bind(6, post.author)
        .Bind(7, post.time)
        .Bind(8, body)
        .Bind(9, Marked(PostState::kNew))
        .Run();
    const auto nAdded = static_cast<int>(m_store.m_db.Changes());
    if (nAdded > 0) {
        NotePictures(body);
    }
    m_result.changes.nNew += nAdded;
    if (!m_starter.empty() && post.author == m_starter) {
        m_result.changes.nStarterNew += nAdded;
    }
}

// A floor kept in the range but missing from the page's own run is deleted.
void ThreadStore::PageWriter::DeleteMissing() {
    for (const auto& [nFloor, kept] : m_kept) {
        if (kept.bSeen || kept.bDeleted) {
            continue;
        }
        m_store.RecordChange(m_thread.nId, nFloor, kDeletion, m_nWhen, kept.strBody);
        m_store.MarkDeleted(kept.nId, m_thread.bComplete);
        ++m_result.changes.nDeleted;
    }
}

void ThreadStore::PageWriter::NotePictures(std::string_view body) {
    for (const std::string& src : PictureSources(body)) {
        Cached("INSERT OR IGNORE INTO picture_use(thread, src) VALUES (?, ?)")
            .Bind(1, m_thread.nId)
            .Bind(2, src)
            .Run();
    }
}

void ThreadStore::PageWriter::NotePage() {
    const bool bFloors = m_nLowest <= m_nHighest;
    Cached(
        "INSERT OR REPLACE INTO page(thread, number, posts, first_floor, last_floor, read_at) "
        "VALUES (?, ?, ?, ?, ?, ?)")
        .Bind(1, m_thread.nId)
        .Bind(2, m_page.nPage)
        .Bind(3, m_result.nOwn)
        .Bind(4, bFloors ? m_nLowest : 0)
        .Bind(5, bFloors ? m_nHighest : 0)
        .Bind(6, m_nWhen)
        .Run();
    // The posts added are new, unread once the thread has been read to its end.
    const PageChanges& added = m_result.changes;
    const int nUnread = m_thread.bComplete ? added.nNew : 0;
    Cached(
        "UPDATE thread SET refreshed = ?, n_posts = n_posts + ?, n_unread = n_unread + ?,"
        " n_starter_unread = n_starter_unread + ? WHERE id = ?")
        .Bind(1, m_nWhen / 1000000)
        .Bind(2, added.nNew)
        .Bind(3, nUnread)
        .Bind(4, m_thread.bComplete ? added.nStarterNew : 0)
        .Bind(5, m_thread.nId)
        .Run();
}

StoredPage ThreadStore::StorePage(const ThreadKey& key, const ReadPage& page, std::int64_t nWhen) {
    Transaction transaction(m_db);
    std::optional<StoredThread> thread = Find(key);
    if (!thread) {
        Cached("INSERT INTO thread(board_code, thread_id) VALUES (?, ?)")
            .Bind(1, key.strBoardCode)
            .Bind(2, key.strThreadId)
            .Run();
        thread = Find(key);
    }
    const StoredPage stored = PageWriter(*this, *thread, page, nWhen).Write();
    // A page with nothing of its own adds no thread either.
    if (stored.nOwn > 0) {
        transaction.Commit();
    }
    return stored;
}

PageChanges ThreadStore::EndOfThread(std::int64_t nThread, int nLastPage, std::int64_t nWhen) {
    Transaction transaction(m_db);
    PageChanges changes;
    Statement& last = Cached(
        "SELECT g.last_floor, t.complete FROM page g JOIN thread t ON t.id = g.thread "
        "WHERE g.thread = ? AND g.number = ?");
    last.Bind(1, nThread).Bind(2, nLastPage);
    const std::int64_t nLastFloor = last.Step() ? last.Int(0) : 0;
    const bool bComplete = nLastFloor > 0 && last.Int(1) != 0;
    last.Reset();
    if (nLastFloor > 0) {
        struct Gone {
            std::int64_t nId;
            std::int32_t nFloor;
            std::string strBody;
        };
        std::vector<Gone> gone;
        Statement& after = Cached(
            "SELECT id, floor, body FROM post WHERE thread = ? AND floor > ? AND floor <> 0 "
            "AND deleted = 0");
        after.Bind(1, nThread).Bind(2, nLastFloor);
        while (after.Step()) {
            gone.push_back({after.Int(0), static_cast<std::int32_t>(after.Int(1)),
                            std::string(after.Bytes(2))});
        }
        for (const Gone& post : gone) {
            RecordChange(nThread, post.nFloor, kDeletion, nWhen, post.strBody);
            MarkDeleted(post.nId, bComplete);
        }
        changes.nDeleted = static_cast<int>(gone.size());
    }
    // Pages past the end are no longer the thread's.
    Cached("DELETE FROM page WHERE thread = ? AND number > ?")
        .Bind(1, nThread)
        .Bind(2, nLastPage)
        .Run();
    transaction.Commit();
    return changes;
}

void ThreadStore::RecordChange(std::int64_t nThread, std::int32_t nFloor, int nKind,
                               std::int64_t nWhen, std::string_view body) {
    Cached("INSERT INTO change(thread, floor, kind, at, body) VALUES (?, ?, ?, ?, ?)")
        .Bind(1, nThread)
        .Bind(2, nFloor)
        .Bind(3, nKind)
        .Bind(4, nWhen)
        .Bind(5, body)
        .Run();
}

void ThreadStore::MarkDeleted(std::int64_t nPost, bool bComplete) {
    Cached("UPDATE post SET deleted = 1, state = ? WHERE id = ?")
        .Bind(1, bComplete ? static_cast<std::int64_t>(PostState::kDeleted) : 0)
        .Bind(2, nPost)
        .Run();
}

void ThreadStore::SetWatched(std::int64_t nThread, bool bWatched) {
    Cached("UPDATE thread SET watched = ? WHERE id = ?")
        .Bind(1, bWatched ? 1 : 0)
        .Bind(2, nThread)
        .Run();
}

std::vector<WatchedThread> ThreadStore::Watched() {
    Statement& select = Cached(
        "SELECT board_code, thread_id, failures, failed_at FROM thread WHERE watched <> 0 "
        "ORDER BY refreshed, id");
    std::vector<WatchedThread> threads;
    while (select.Step()) {
        threads.push_back({{std::string(select.Bytes(0)), std::string(select.Bytes(1))},
                           ToInt(select.Int(2)),
                           select.Int(3)});
    }
    return threads;
}

void ThreadStore::NoteRefresh(std::int64_t nThread, bool bRead, std::int64_t nWhen) {
    if (bRead) {
        Cached("UPDATE thread SET failures = 0 WHERE id = ?").Bind(1, nThread).Run();
    } else {
        Cached("UPDATE thread SET failures = failures + 1, failed_at = ? WHERE id = ?")
            .Bind(1, nWhen)
            .Bind(2, nThread)
            .Run();
    }
}

void ThreadStore::MarkComplete(std::int64_t nThread) {
    Cached("UPDATE thread SET complete = 1 WHERE id = ?").Bind(1, nThread).Run();
}

std::vector<StoredPost> ThreadStore::Posts(std::int64_t nThread,
                                           std::optional<std::string_view> author) {
    Statement& select =
        author ? Cached(
                     "SELECT floor, author, time, body, deleted, state, id FROM post WHERE "
                     "thread = ? AND author = ? ORDER BY sort_floor, floor = 0, page, position")
               : Cached(
                     "SELECT floor, author, time, body, deleted, state, id FROM post WHERE "
                     "thread = ? ORDER BY sort_floor, floor = 0, page, position");
    select.Bind(1, nThread);
    if (author) {
        select.Bind(2, *author);
    }
    std::vector<StoredPost> posts;
    while (select.Step()) {
        posts.push_back({static_cast<std::int32_t>(select.Int(0)), std::string(select.Bytes(1)),
                         std::string(select.Bytes(2)), std::string(select.Bytes(3)),
                         select.Int(4) != 0, static_cast<PostState>(select.Int(5)), select.Int(6)});
    }
    return posts;
}

std::vector<OutlinePost> ThreadStore::Outline(const StoredThread& thread,
                                              const PostFilter& filter) {
    // The starter's posts come through the index on the thread and the author; a name list is
    // matched byte by byte (the authors are GB2312), one instr a name.
    std::string strSql =
        "SELECT id, floor, sort_floor, state, deleted, author = ?2 FROM post WHERE thread = ?1";
    const std::vector<std::string_view> names = filter.Names();
    if (filter.mode == PostFilter::Mode::kStarter) {
        strSql += " AND author = ?2";
    } else if (filter.mode != PostFilter::Mode::kAll) {
        strSql += " AND (0";
        for (std::size_t i = 0; i < names.size(); ++i) {
            strSql += " OR instr(author, ?" + std::to_string(i + 3) + ") > 0";
        }
        strSql += ")";
    }
    strSql += " ORDER BY sort_floor, floor = 0, page, position";
    Statement select = m_db.Prepare(strSql.c_str());
    // Nobody's name is empty: without a starter, nobody is the starter.
    select.Bind(1, thread.nId)
        .Bind(2, thread.strStarter.empty() ? std::string_view("\xFF") : thread.strStarter);
    for (std::size_t i = 0; i < names.size(); ++i) {
        select.Bind(static_cast<int>(i + 3), names[i]);
    }
    std::vector<OutlinePost> outline;
    while (select.Step()) {
        outline.push_back({select.Int(0), static_cast<std::int32_t>(select.Int(1)),
                           static_cast<std::int32_t>(select.Int(2)),
                           static_cast<PostState>(select.Int(3)), select.Int(4) != 0,
                           select.Int(5) != 0});
    }
    return outline;
}

std::vector<StoredPost> ThreadStore::PostsById(std::span<const std::int64_t> ids) {
    Statement& select =
        Cached("SELECT floor, author, time, body, deleted, state, id FROM post WHERE id = ?");
    std::vector<StoredPost> posts;
    posts.reserve(ids.size());
    for (const std::int64_t nId : ids) {
        select.Bind(1, nId);
        if (select.Step()) {
            posts.push_back({static_cast<std::int32_t>(select.Int(0)), std::string(select.Bytes(1)),
                             std::string(select.Bytes(2)), std::string(select.Bytes(3)),
                             select.Int(4) != 0, static_cast<PostState>(select.Int(5)),
                             select.Int(6)});
        }
        select.Reset();
    }
    return posts;
}

int ThreadStore::CountPosts(std::int64_t nThread) {
    Statement& count = Cached("SELECT count(*) FROM post WHERE thread = ? AND deleted = 0");
    count.Bind(1, nThread);
    const int nPosts = count.Step() ? ToInt(count.Int(0)) : 0;
    count.Reset();
    return nPosts;
}

std::string ThreadStore::NewestStarterBody(std::int64_t nThread) {
    Statement& select = Cached(
        "SELECT p.body FROM post p JOIN thread t ON t.id = p.thread WHERE p.thread = ?"
        " AND p.deleted = 0 AND length(t.starter) > 0 AND p.author = t.starter "
        "ORDER BY p.page DESC, p.position DESC LIMIT 1");
    select.Bind(1, nThread);
    std::string strBody = select.Step() ? std::string(select.Bytes(0)) : std::string();
    select.Reset();
    return strBody;
}

void ThreadStore::MarkRead(std::int64_t nThread) {
    Cached("UPDATE post SET state = 0 WHERE thread = ? AND state <> 0").Bind(1, nThread).Run();
}

void ThreadStore::MarkSeen(std::int64_t nThread, std::span<const std::int64_t> seen,
                           std::int64_t nPlace, std::int64_t nWhen) {
    Transaction transaction(m_db);
    Statement& mark =
        Cached("UPDATE post SET state = 0 WHERE id = ? AND thread = ? AND state <> 0");
    for (const std::int64_t nPost : seen) {
        mark.Bind(1, nPost).Bind(2, nThread).Run();
    }
    Cached("UPDATE thread SET read_post = ?, read_at = ? WHERE id = ?")
        .Bind(1, nPlace)
        .Bind(2, nWhen)
        .Bind(3, nThread)
        .Run();
    transaction.Commit();
}

std::vector<ThreadListing> ThreadStore::List() {
    Statement& select = Cached(
        "SELECT t.board_code, t.thread_id, t.title, t.refreshed, t.board_name, t.watched,"
        " t.n_posts, t.n_unread, t.n_starter_unread, t.read_at,"
        " (SELECT coalesce(sum(size), 0) FROM picture WHERE hash IN"
        "  (SELECT hash FROM picture_use u WHERE u.thread = t.id AND u.hash IS NOT NULL)) "
        "FROM thread t ORDER BY t.refreshed DESC, t.id DESC");
    std::vector<ThreadListing> threads;
    while (select.Step()) {
        threads.push_back({{std::string(select.Bytes(0)), std::string(select.Bytes(1))},
                           std::string(select.Bytes(2)),
                           std::string(select.Bytes(4)),
                           ToInt(select.Int(6)),
                           ToInt(select.Int(7)),
                           ToInt(select.Int(8)),
                           select.Int(3),
                           select.Int(5) != 0,
                           select.Int(9),
                           select.Int(10)});
    }
    return threads;
}

std::vector<ThreadChange> ThreadStore::History(std::int64_t nThread) {
    Statement& select =
        Cached("SELECT floor, kind, at, body FROM change WHERE thread = ? ORDER BY at, floor, id");
    select.Bind(1, nThread);
    std::vector<ThreadChange> changes;
    while (select.Step()) {
        changes.push_back({static_cast<std::int32_t>(select.Int(0)), select.Int(1) == kDeletion,
                           select.Int(2) / 1000000, std::string(select.Bytes(3))});
    }
    return changes;
}

void ThreadStore::Forget(std::int64_t nThread) {
    Transaction transaction(m_db);
    Cached("DELETE FROM thread WHERE id = ?").Bind(1, nThread).Run();
    Cached(
        "DELETE FROM picture WHERE NOT EXISTS (SELECT 1 FROM picture_use u WHERE u.hash = "
        "picture.hash)")
        .Run();
    transaction.Commit();
}

void ThreadStore::Vacuum() {
    m_db.Execute("VACUUM");
    m_db.Execute("PRAGMA wal_checkpoint(TRUNCATE)");
}

std::vector<WantedPicture> ThreadStore::WantedPictures(std::int64_t nThread, int nMaxTries) {
    Statement& select = Cached(
        "SELECT src, tries FROM picture_use WHERE thread = ? AND state = 0 AND tries < ? "
        "ORDER BY rowid");
    select.Bind(1, nThread).Bind(2, nMaxTries);
    std::vector<WantedPicture> wanted;
    while (select.Step()) {
        wanted.push_back({std::string(select.Bytes(0)), ToInt(select.Int(1))});
    }
    return wanted;
}

std::string ThreadStore::PictureFrom(std::string_view address) {
    Statement& select =
        Cached("SELECT hash FROM picture_use WHERE address = ? AND hash IS NOT NULL LIMIT 1");
    select.Bind(1, address);
    std::string strHash = select.Step() ? std::string(select.Bytes(0)) : std::string();
    select.Reset();
    return strHash;
}

void ThreadStore::KeepPicture(std::int64_t nThread, std::string_view src, std::string_view address,
                              std::string_view hash, std::string_view type, std::string_view data) {
    Transaction transaction(m_db);
    if (!data.empty()) {
        Cached("INSERT OR IGNORE INTO picture(hash, type, size, data) VALUES (?, ?, ?, ?)")
            .Bind(1, hash)
            .Bind(2, type)
            .Bind(3, static_cast<std::int64_t>(data.size()))
            .Bind(4, data)
            .Run();
    }
    Cached(
        "UPDATE picture_use SET address = ?, hash = ?, state = 1, tries = tries + 1 "
        "WHERE thread = ? AND src = ?")
        .Bind(1, address)
        .Bind(2, hash)
        .Bind(3, nThread)
        .Bind(4, src)
        .Run();
    transaction.Commit();
}

void ThreadStore::PictureFailed(std::int64_t nThread, std::string_view src,
                                std::string_view address, bool bRefused) {
    Cached(
        "UPDATE picture_use SET address = ?, state = ?, tries = tries + 1 "
        "WHERE thread = ? AND src = ?")
        .Bind(1, address)
        .Bind(2, bRefused ? 2 : 0)
        .Bind(3, nThread)
        .Bind(4, src)
        .Run();
}

PictureMap ThreadStore::Pictures(std::int64_t nThread) {
    Statement& select =
        Cached("SELECT src, address, coalesce(hash, '') FROM picture_use WHERE thread = ?");
    select.Bind(1, nThread);
    PictureMap pictures;
    while (select.Step()) {
        pictures.emplace(std::string(select.Bytes(0)),
                         PictureRef{std::string(select.Bytes(1)), std::string(select.Bytes(2))});
    }
    return pictures;
}

std::optional<KeptPicture> ThreadStore::Picture(std::string_view hash) {
    Statement& select = Cached("SELECT type, data FROM picture WHERE hash = ?");
    select.Bind(1, hash);
    std::optional<KeptPicture> picture;
    if (select.Step()) {
        picture = KeptPicture{std::string(select.Bytes(0)), std::string(select.Bytes(1))};
    }
    select.Reset();
    return picture;
}

std::vector<SearchHit> ThreadStore::Search(const SearchQuery& query) {
    return SearchPosts(m_db, query);
}

bool ThreadStore::HasSearchIndex() {
    return vesk::HasSearchIndex(m_db);
}

void ThreadStore::RebuildSearchIndex(const IndexProgress& progress) {
    Transaction transaction(m_db);
    vesk::DropSearchIndex(m_db);
    BuildSearchIndex(m_db, progress);
    transaction.Commit();
}

void ThreadStore::DropSearchIndex() {
    Transaction transaction(m_db);
    vesk::DropSearchIndex(m_db);
    transaction.Commit();
}

}  // namespace vesk
