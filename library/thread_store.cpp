#include "thread_store.h"

#include "thread_store_rows.h"

#include <limits>

namespace vesk {

using store::kDeletion;
using store::ToInt;

PageChanges& PageChanges::operator+=(const PageChanges& other) {
    nNew += other.nNew;
    nStarterNew += other.nStarterNew;
    nEdited += other.nEdited;
    nDeleted += other.nDeleted;
    for (const auto floor : {&PageChanges::nFirstNewFloor, &PageChanges::nFirstChangedFloor}) {
        if (other.*floor != 0 && (this->*floor == 0 || other.*floor < this->*floor)) {
            this->*floor = other.*floor;
        }
    }
    return *this;
}

Statement& ThreadStore::Cached(const char* pszSql) {
    auto it = m_statements.find(pszSql);
    if (it == m_statements.end()) {
        it = m_statements.emplace(pszSql, m_db.Prepare(pszSql)).first;
    }
    return it->second;
}

namespace {

// A thread's row as the queries below read it, all its columns in this order.
#define VESK_THREAD_ROW                                                                            \
    "SELECT id, board_code, thread_id, title, board_name, starter, refreshed, watched, read_post," \
    " read_at, n_unread FROM thread"

StoredThread ThreadOfRow(const Statement& row) {
    return {row.Int(0),
            {std::string(row.Bytes(1)), std::string(row.Bytes(2))},
            std::string(row.Bytes(3)),
            std::string(row.Bytes(4)),
            std::string(row.Bytes(5)),
            row.Int(6),
            row.Int(7) != 0,
            row.Int(8),
            row.Int(9),
            ToInt(row.Int(10))};
}

}  // namespace

std::optional<StoredThread> ThreadStore::Find(const ThreadKey& key) {
    Statement& find = Cached(VESK_THREAD_ROW " WHERE board_code = ? AND thread_id = ?");
    find.Bind(1, key.strBoardCode).Bind(2, key.strThreadId);
    if (!find.Step()) {
        return std::nullopt;
    }
    StoredThread thread = ThreadOfRow(find);
    find.Reset();
    return thread;
}

std::map<std::int64_t, StoredThread> ThreadStore::ThreadsById() {
    Statement& select = Cached(VESK_THREAD_ROW);
    std::map<std::int64_t, StoredThread> threads;
    while (select.Step()) {
        threads.emplace(select.Int(0), ThreadOfRow(select));
    }
    return threads;
}

#undef VESK_THREAD_ROW

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

void ThreadStore::ForgetPage(std::int64_t nThread, int nPage) {
    Cached("DELETE FROM page WHERE thread = ? AND number = ?")
        .Bind(1, nThread)
        .Bind(2, nPage)
        .Run();
}

std::vector<int> ThreadStore::PagesReadBefore(std::int64_t nThread, std::int64_t nWhen,
                                              int nCount) {
    Statement& older = Cached(
        "SELECT number FROM page WHERE thread = ? AND number > 1 AND read_at < ? "
        "ORDER BY read_at, number LIMIT ?");
    older.Bind(1, nThread).Bind(2, nWhen).Bind(3, nCount);
    std::vector<int> pages;
    while (older.Step()) {
        pages.push_back(ToInt(older.Int(0)));
    }
    return pages;
}

std::int64_t ThreadStore::CheckedAt(std::int64_t nThread) {
    // Only a thread read to its end once has all its pages kept.
    Statement& checked = Cached(
        "SELECT coalesce(min(read_at), 0) FROM page WHERE thread = ?1"
        " AND (SELECT complete FROM thread WHERE id = ?1)");
    checked.Bind(1, nThread);
    const std::int64_t nAt = checked.Step() ? checked.Int(0) / 1000000 : 0;
    checked.Reset();
    return nAt;
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
        "  (SELECT hash FROM picture_use u WHERE u.thread = t.id AND u.hash IS NOT NULL)),"
        " (SELECT coalesce(min(read_at), 0) / 1000000 FROM page WHERE page.thread = t.id"
        " AND t.complete), t.id "
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
                           select.Int(10),
                           select.Int(11),
                           select.Int(12)});
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

std::vector<SearchHit> ThreadStore::Search(const SearchQuery& query) {
    return SearchPosts(m_db, query);
}

bool ThreadStore::HasSearchIndex() {
    return vesk::HasSearchIndex(m_db);
}

SearchIndexState ThreadStore::SearchIndex() {
    return ReadSearchIndex(m_db);
}

bool ThreadStore::SearchIndexPresent() {
    Statement& present = Cached(kSearchIndexPresent);
    const bool bPresent = present.Step() && present.Int(0) > 0;
    present.Reset();
    return bPresent;
}

void ThreadStore::CatchUpSearchIndex() {
    const bool bIndex = SearchIndexPresent();
    if (bIndex) {
        Transaction transaction(m_db);
        Cached(kIndexPostsAboveMark).Run();
        Cached(kMarkPostsIndexed).Run();
        transaction.Commit();
    }
}

bool ThreadStore::ContinueSearchIndex(const IndexProgress& progress, std::int64_t nStep,
                                      const std::function<bool()>& stopped) {
    for (SearchIndexState state = SearchIndex(); state.bPresent && !(stopped && stopped());
         state = SearchIndex()) {
        if (state.bCaughtUp) {
            return state.bComplete;
        }
        Transaction transaction(m_db);
        IndexMorePosts(m_db, nStep);
        transaction.Commit();
        if (progress) {
            const SearchIndexState now = ReadSearchIndex(m_db, true);
            progress(now.nDone, now.nTotal);
        }
    }
    return false;
}

void ThreadStore::RebuildSearchIndex(const IndexProgress& progress) {
    Transaction transaction(m_db);
    CreateSearchIndex(m_db);
    transaction.Commit();
    ContinueSearchIndex(progress);
}

void ThreadStore::DropSearchIndex() {
    Transaction transaction(m_db);
    vesk::DropSearchIndex(m_db);
    transaction.Commit();
}

}  // namespace vesk
