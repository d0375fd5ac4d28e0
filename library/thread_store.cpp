#include "thread_store.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <system_error>
#include <thread>

namespace vesk {

namespace {

// "VesK": the library's mark in the file's header, so that no other SQLite file is taken for one.
constexpr std::int64_t kApplicationId = 0x5665734B;
constexpr std::int64_t kSchemaVersion = 2;

constexpr const char* kSchema[] = {
    "CREATE TABLE thread("
    " id INTEGER PRIMARY KEY,"
    " board_code BLOB NOT NULL,"
    " thread_id BLOB NOT NULL,"
    " title BLOB NOT NULL DEFAULT x'',"
    " board_name BLOB NOT NULL DEFAULT x'',"
    " starter BLOB NOT NULL DEFAULT x'',"
    " resume_page INTEGER NOT NULL DEFAULT 0,"
    " fullest INTEGER NOT NULL DEFAULT 0,"
    " complete INTEGER NOT NULL DEFAULT 0,"
    " refreshed INTEGER NOT NULL DEFAULT 0,"
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
};

// Makes the file's folder when it is not there; opening the file says what went wrong.
std::string WithFolder(const std::string& strPath) {
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::path(strPath).parent_path();
    if (!folder.empty()) {
        std::filesystem::create_directories(folder, error);
    }
    return strPath;
}

// Whether the path holds a file with something in it; an absent or empty file is a new library.
bool HoldsData(const std::string& strPath) {
    std::error_code error;
    const auto nSize = std::filesystem::file_size(strPath, error);
    return !error && nSize > 0;
}

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

ThreadStore::ThreadStore(const std::string& strPath) try
    : m_db(WithFolder(strPath), !HoldsData(strPath), kBusyTimeoutMs) {
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
    if (nApplication != kApplicationId && (nApplication != 0 || nVersion != 0 || !bEmpty)) {
        throw LibraryError("not a thread library");
    }
    if (nVersion > kSchemaVersion) {
        throw LibraryError("made by a newer version of this program");
    }
    UseWriteAheadLog();
    m_db.Execute("PRAGMA synchronous=NORMAL");
    // A reading of a few hundred pages runs without a checkpoint in its midst (8 MB of log).
    m_db.Execute("PRAGMA wal_autocheckpoint=2000");
    m_db.Execute("PRAGMA foreign_keys=ON");
    Migrate();
} catch (const LibraryError& error) {
    throw LibraryError("the library " + strPath + " cannot be used: " + error.what());
}

void ThreadStore::UseWriteAheadLog() {
    // Changing the journal does not wait for another process's lock, as making a new library at
    // the same moment holds one: it is tried again for as long as any other wait would take.
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kBusyTimeoutMs);
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
            throw LibraryError("the journal cannot be changed to a write-ahead log");
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
    // Each later version's steps, from the version before.
    if (nVersion < 2) {
        // Watched threads, and the failed refreshes in a row that make the watch wait.
        m_db.Execute("ALTER TABLE thread ADD COLUMN watched INTEGER NOT NULL DEFAULT 0");
        m_db.Execute("ALTER TABLE thread ADD COLUMN failures INTEGER NOT NULL DEFAULT 0");
        m_db.Execute("ALTER TABLE thread ADD COLUMN failed_at INTEGER NOT NULL DEFAULT 0");
    }
    m_db.Execute("PRAGMA user_version=2");
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
        "SELECT id, title, board_name, starter, resume_page, fullest, complete, refreshed, watched "
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
                        ToInt(find.Int(4)),
                        ToInt(find.Int(5)),
                        find.Int(6) != 0,
                        find.Int(7),
                        find.Int(8) != 0};
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

PageChanges ThreadStore::StorePage(const ThreadKey& key, const ReadPage& page, std::int64_t nWhen,
                                   bool bKeepLaterResume) {
    Transaction transaction(m_db);
    std::optional<StoredThread> thread = Find(key);
    if (!thread) {
        Cached("INSERT INTO thread(board_code, thread_id) VALUES (?, ?)")
            .Bind(1, key.strBoardCode)
            .Bind(2, key.strThreadId)
            .Run();
        thread = Find(key);
    }
    const std::int64_t nThread = thread->nId;
    if (page.heading) {
        Cached("UPDATE thread SET title = ?, board_name = ?, starter = ? WHERE id = ?")
            .Bind(1, page.heading->title)
            .Bind(2, page.heading->boardName)
            .Bind(3, page.posts.empty() ? std::string_view{} : page.posts.front().author)
            .Bind(4, nThread)
            .Run();
    }
    // Until a refresh has run to the thread's end, everything found counts as read.
    PageChanges changes;
    // The starter, as this page makes it or as kept.
    const std::string_view starter = page.heading && !page.posts.empty()
                                         ? page.posts.front().author
                                         : std::string_view(thread->strStarter);
    const auto countNew = [&](std::string_view author, std::int64_t nAdded) {
        changes.nNew += static_cast<int>(nAdded);
        if (!starter.empty() && author == starter) {
            changes.nStarterNew += static_cast<int>(nAdded);
        }
    };
    const auto marked = [&](PostState state) {
        return thread->bComplete ? static_cast<std::int64_t>(state) : 0;
    };
    // A post not kept before; a post without a floor stands at nSortFloor among the floors.
    const auto insertNew = [&](const PostFields& post, std::int64_t nPosition,
                               std::int32_t nSortFloor) {
        Cached(
            "INSERT OR IGNORE INTO post(thread, floor, page, position, sort_floor, author, "
            "time, body, state) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)")
            .Bind(1, nThread)
            .Bind(2, post.nFloor)
            .Bind(3, page.nPage)
            .Bind(4, nPosition)
            .Bind(5, nSortFloor)
            .Bind(6, post.author)
            .Bind(7, post.time)
            .Bind(8, post.body)
            .Bind(9, marked(PostState::kNew))
            .Run();
        countNew(post.author, m_db.Changes());
    };
    const auto recordChange = [&](std::int32_t nFloor, int nKind, std::string_view body) {
        Cached("INSERT INTO change(thread, floor, kind, at, body) VALUES (?, ?, ?, ?, ?)")
            .Bind(1, nThread)
            .Bind(2, nFloor)
            .Bind(3, nKind)
            .Bind(4, nWhen)
            .Bind(5, body)
            .Run();
    };

    // The posts kept between the page's lowest and highest floor, in one look-up: the page's
    // own floors to compare, and those missing from it, which were deleted.
    struct Kept {
        std::int64_t nId;
        std::string strAuthor, strTime, strBody;
        bool bDeleted;
        PostState state;
        std::int64_t nPage, nPosition;
        bool bSeen = false;
    };
    std::map<std::int32_t, Kept> kept;
    std::int32_t nLowest = std::numeric_limits<std::int32_t>::max();
    std::int32_t nHighest = std::numeric_limits<std::int32_t>::min();
    for (const PostFields& post : page.posts) {
        if (post.nFloor != 0) {
            nLowest = std::min(nLowest, post.nFloor);
            nHighest = std::max(nHighest, post.nFloor);
        }
    }
    if (nLowest <= nHighest) {
        Statement& range = Cached(
            "SELECT floor, id, author, time, body, deleted, state, page, position FROM post "
            "WHERE thread = ? AND floor >= ? AND floor <= ? AND floor <> 0");
        range.Bind(1, nThread).Bind(2, nLowest).Bind(3, nHighest);
        while (range.Step()) {
            kept.emplace(
                static_cast<std::int32_t>(range.Int(0)),
                Kept{range.Int(1), std::string(range.Bytes(2)), std::string(range.Bytes(3)),
                     std::string(range.Bytes(4)), range.Int(5) != 0,
                     static_cast<PostState>(range.Int(6)), range.Int(7), range.Int(8)});
        }
    }

    // A post without a floor stands after the last floor before it, on this page or earlier.
    std::int32_t nAnchor = -1;
    for (std::size_t i = 0; i < page.posts.size(); ++i) {
        const PostFields& post = page.posts[i];
        const auto nPosition = static_cast<std::int64_t>(i);
        if (post.nFloor == 0) {
            if (nAnchor < 0) {
                Statement& before = Cached(
                    "SELECT max(floor) FROM post WHERE thread = ? AND page < ? AND floor <> 0");
                before.Bind(1, nThread).Bind(2, page.nPage);
                nAnchor = before.Step() ? static_cast<std::int32_t>(before.Int(0)) : 0;
                before.Reset();
            }
            insertNew(post, nPosition, nAnchor);
            continue;
        }
        nAnchor = post.nFloor;
        const auto it = kept.find(post.nFloor);
        if (it == kept.end()) {
            // A floor twice on one page is kept once.
            insertNew(post, nPosition, post.nFloor);
            continue;
        }
        Kept& stored = it->second;
        if (stored.bSeen) {
            continue;
        }
        stored.bSeen = true;
        const bool bEdited = stored.strAuthor != post.author || stored.strTime != post.time ||
                             stored.strBody != post.body;
        const bool bMoved = stored.nPage != page.nPage || stored.nPosition != nPosition;
        if (bEdited) {
            recordChange(post.nFloor, 1, stored.strBody);
            ++changes.nEdited;
        } else if (!stored.bDeleted && !bMoved) {
            continue;
        }
        // An edit, or a post back from deletion, is unread again; a new one stays new.
        const PostState newState = !bEdited && !stored.bDeleted ? stored.state
                                   : stored.state == PostState::kNew
                                       ? PostState::kNew
                                       : static_cast<PostState>(marked(PostState::kEdited));
        Cached(
            "UPDATE post SET author = ?, time = ?, body = ?, deleted = 0, state = ?, page = ?, "
            "position = ? WHERE id = ?")
            .Bind(1, post.author)
            .Bind(2, post.time)
            .Bind(3, post.body)
            .Bind(4, static_cast<std::int64_t>(newState))
            .Bind(5, page.nPage)
            .Bind(6, nPosition)
            .Bind(7, stored.nId)
            .Run();
    }

    // A floor kept between the page's lowest and highest but missing from it is deleted.
    for (const auto& [nFloor, stored] : kept) {
        if (stored.bSeen || stored.bDeleted) {
            continue;
        }
        recordChange(nFloor, 2, stored.strBody);
        Cached("UPDATE post SET deleted = 1, state = ? WHERE id = ?")
            .Bind(1, marked(PostState::kDeleted))
            .Bind(2, stored.nId)
            .Run();
        ++changes.nDeleted;
    }
    Cached(
        "UPDATE thread SET resume_page = ?, fullest = max(fullest, ?), refreshed = ? "
        "WHERE id = ?")
        .Bind(1, bKeepLaterResume ? std::max(page.nPage, thread->nResumePage) : page.nPage)
        .Bind(2, static_cast<std::int64_t>(page.posts.size()))
        .Bind(3, nWhen / 1000000)
        .Bind(4, nThread)
        .Run();
    transaction.Commit();
    return changes;
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

std::vector<StoredPost> ThreadStore::Posts(std::int64_t nThread) {
    Statement& select = Cached(
        "SELECT floor, author, time, body, deleted, state FROM post WHERE thread = ? "
        "ORDER BY sort_floor, floor = 0, page, position");
    select.Bind(1, nThread);
    std::vector<StoredPost> posts;
    while (select.Step()) {
        posts.push_back({static_cast<std::int32_t>(select.Int(0)), std::string(select.Bytes(1)),
                         std::string(select.Bytes(2)), std::string(select.Bytes(3)),
                         select.Int(4) != 0, static_cast<PostState>(select.Int(5))});
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

std::vector<ThreadListing> ThreadStore::List() {
    Statement& select = Cached(
        "SELECT t.board_code, t.thread_id, t.title, t.refreshed, t.board_name, t.watched,"
        " (SELECT count(*) FROM post p WHERE p.thread = t.id AND p.deleted = 0),"
        " (SELECT count(*) FROM post p WHERE p.thread = t.id AND p.state <> 0),"
        " (SELECT count(*) FROM post p WHERE p.thread = t.id AND p.state <> 0"
        "  AND length(t.starter) > 0 AND p.author = t.starter) "
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
                           select.Int(5) != 0});
    }
    return threads;
}

std::vector<ThreadChange> ThreadStore::History(std::int64_t nThread) {
    Statement& select =
        Cached("SELECT floor, kind, at, body FROM change WHERE thread = ? ORDER BY at, floor, id");
    select.Bind(1, nThread);
    std::vector<ThreadChange> changes;
    while (select.Step()) {
        changes.push_back({static_cast<std::int32_t>(select.Int(0)), select.Int(1) == 2,
                           select.Int(2) / 1000000, std::string(select.Bytes(3))});
    }
    return changes;
}

void ThreadStore::Forget(std::int64_t nThread) {
    Transaction transaction(m_db);
    Cached("DELETE FROM thread WHERE id = ?").Bind(1, nThread).Run();
    transaction.Commit();
}

}  // namespace vesk
