// The page writer: each page read merged into what the library keeps of its thread, with the
// changes it found written to the change log.

#include "picture_sources.h"
#include "post_sanitiser.h"
#include "thread_store.h"
#include "thread_store_rows.h"

#include <algorithm>
#include <limits>

namespace vesk {

using store::kDeletion;
using store::kEdit;
using store::ToInt;

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
    bool HoldsFloorNotKept();
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
    // The posts added a week, and the starter's among them.
    std::map<std::int64_t, std::pair<int, int>> m_weeks;
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

// The page before, as last read, tells where this page's own floors begin. A page none of whose
// floors rise above it is still its own when it holds a floor not kept: some boards order a
// thread's posts otherwise than by floor.
void ThreadStore::PageWriter::FindOwnRun() {
    m_before = m_store.PageBefore(m_thread.nId, m_page.nPage);
    m_nFirstOwn = FirstOwnPost(m_page.posts, m_before.nLastFloor);
    if (m_nFirstOwn == m_page.posts.size() && HoldsFloorNotKept()) {
        m_nFirstOwn = 0;
    }
    m_result.nOwn = static_cast<int>(m_page.posts.size() - m_nFirstOwn);
    for (std::size_t i = m_nFirstOwn; i < m_page.posts.size(); ++i) {
        if (const std::int32_t nFloor = m_page.posts[i].nFloor; nFloor != 0) {
            m_nLowest = std::min(m_nLowest, nFloor);
            m_nHighest = std::max(m_nHighest, nFloor);
        }
    }
}

// Page 1 names the thread and, by its first post of its own, the starter.
bool ThreadStore::PageWriter::HoldsFloorNotKept() {
    Statement& kept = Cached("SELECT count(*) FROM post WHERE thread = ? AND floor = ?");
    for (const PostFields& post : m_page.posts) {
        kept.Bind(1, m_thread.nId).Bind(2, post.nFloor);
        const bool bKept = kept.Step() && kept.Int(0) > 0;
        kept.Reset();
        if (post.nFloor != 0 && !bKept) {
            return true;
        }
    }
    return false;
}

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

// The posts kept from the floor after the page before, when that was read in this refresh (from
// the first floor on page 1, before which there is none), or else from the page's lowest floor, up
// to its highest, in one look-up: the page's own floors to compare, and those missing from it,
// which were deleted.
void ThreadStore::PageWriter::ReadKept() {
    if (m_nLowest > m_nHighest) {
        return;
    }
    const bool bBeforeReadNow = m_before.nPage == m_page.nPage - 1 && m_before.nReadAt == m_nWhen &&
                                m_before.nLastFloor > 0;
    const std::int32_t nFrom = m_page.nPage == 1 ? std::min(m_nLowest, 1)
                               : bBeforeReadNow  ? std::min(m_nLowest, m_before.nLastFloor + 1)
                                                 : m_nLowest;
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
        m_result.changes += PageChanges{.nFirstChangedFloor = post.nFloor};
    } else if (!kept.bDeleted && !bMoved && kept.bWhole) {
        return;
    }
    if (kept.strBody != whole) {
        NotePictures(whole);
    }
    // An edit is unread again, and a new post stays new; a post back from deletion with its last
    // text is simply current again.
    const PostState newState =
        bEdited         ? (kept.state == PostState::kNew ? PostState::kNew : PostState::kEdited)
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
        .Bind(9, static_cast<std::int64_t>(PostState::kNew))
        .Run();
    const auto nAdded = static_cast<int>(m_store.m_db.Changes());
    if (nAdded > 0) {
        NotePictures(body);
    }
    if (nAdded > 0 && post.nFloor != 0) {
        m_result.changes +=
            PageChanges{.nFirstNewFloor = post.nFloor, .nFirstChangedFloor = post.nFloor};
    }
    m_result.changes.nNew += nAdded;
    const bool bStarter = !m_starter.empty() && post.author == m_starter;
    if (bStarter) {
        m_result.changes.nStarterNew += nAdded;
    }
    if (nAdded > 0) {
        std::pair<int, int>& week = m_weeks[WeekOfTime(post.time)];
        week.first += nAdded;
        week.second += bStarter ? nAdded : 0;
    }
}

// A floor kept in the range but missing from the page is deleted.
void ThreadStore::PageWriter::DeleteMissing() {
    for (const auto& [nFloor, kept] : m_kept) {
        // A floor shown above the page's own run is not missing either.
        const bool bShown = std::any_of(
            m_page.posts.begin(), m_page.posts.end(),
            [nFloor = nFloor](const PostFields& post) { return post.nFloor == nFloor; });
        if (kept.bSeen || kept.bDeleted || bShown) {
            continue;
        }
        m_store.RecordChange(m_thread.nId, nFloor, kDeletion, m_nWhen, kept.strBody);
        m_store.MarkDeleted(kept.nId);
        ++m_result.changes.nDeleted;
        m_result.changes += PageChanges{.nFirstChangedFloor = nFloor};
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
    for (const auto& [nWeek, counts] : m_weeks) {
        Cached(
            "INSERT INTO activity(thread, week, posts, starter) VALUES (?, ?, ?, ?)"
            " ON CONFLICT(thread, week) DO UPDATE SET posts = posts + excluded.posts,"
            " starter = starter + excluded.starter")
            .Bind(1, m_thread.nId)
            .Bind(2, nWeek)
            .Bind(3, std::int64_t{counts.first})
            .Bind(4, std::int64_t{counts.second})
            .Run();
    }
    // The posts added are new: read only once the reader has seen them.
    const PageChanges& added = m_result.changes;
    Cached(
        "UPDATE thread SET refreshed = ?, n_posts = n_posts + ?, n_unread = n_unread + ?,"
        " n_starter_unread = n_starter_unread + ? WHERE id = ?")
        .Bind(1, m_nWhen / 1000000)
        .Bind(2, added.nNew)
        .Bind(3, added.nNew)
        .Bind(4, added.nStarterNew)
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
    // New posts take ids above every post's.
    Statement& last = Cached("SELECT coalesce(max(id), 0) FROM post");
    last.Step();
    const std::int64_t nLastBefore = last.Int(0);
    last.Reset();
    const bool bIndex = SearchIndexPresent();
    if (bIndex) {
        Cached(kMarkBelowNewPosts).Bind(1, nLastBefore).Run();
    }
    const StoredPage stored = PageWriter(*this, *thread, page, nWhen).Write();
    // A page with nothing of its own adds no thread either.
    if (stored.nOwn > 0) {
        if (bIndex) {
            Statement& waiting = Cached(kPostsAboveMark);
            const bool bTake = waiting.Step() && waiting.Int(0) >= kIndexBatch;
            waiting.Reset();
            if (bTake) {
                Cached(kIndexPostsAboveMark).Run();
                Cached(kMarkPostsIndexed).Run();
            }
        }
        transaction.Commit();
    }
    return stored;
}

PageChanges ThreadStore::EndOfThread(std::int64_t nThread, int nLastPage, std::int64_t nWhen) {
    Transaction transaction(m_db);
    PageChanges changes;
    Statement& last = Cached("SELECT last_floor FROM page WHERE thread = ? AND number = ?");
    last.Bind(1, nThread).Bind(2, nLastPage);
    const std::int64_t nLastFloor = last.Step() ? last.Int(0) : 0;
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
            "AND deleted = 0 AND page >= ?");
        after.Bind(1, nThread).Bind(2, nLastFloor).Bind(3, nLastPage);
        while (after.Step()) {
            gone.push_back({after.Int(0), static_cast<std::int32_t>(after.Int(1)),
                            std::string(after.Bytes(2))});
        }
        for (const Gone& post : gone) {
            RecordChange(nThread, post.nFloor, kDeletion, nWhen, post.strBody);
            MarkDeleted(post.nId);
            changes += PageChanges{.nDeleted = 1, .nFirstChangedFloor = post.nFloor};
        }
    }
    // Pages past the end are no longer the thread's; those kept now reach its end.
    Cached("DELETE FROM page WHERE thread = ? AND number > ?")
        .Bind(1, nThread)
        .Bind(2, nLastPage)
        .Run();
    Cached("UPDATE thread SET complete = 1 WHERE id = ?").Bind(1, nThread).Run();
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

void ThreadStore::MarkDeleted(std::int64_t nPost) {
    Cached("UPDATE post SET deleted = 1, state = ? WHERE id = ?")
        .Bind(1, static_cast<std::int64_t>(PostState::kDeleted))
        .Bind(2, nPost)
        .Run();
}

}  // namespace vesk
