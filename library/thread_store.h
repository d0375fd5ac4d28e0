#pragma once

#include "activity.h"
#include "forum_address.h"
#include "post_extraction.h"
#include "post_sanitiser.h"
#include "post_search.h"
#include "result_page.h"
#include "search_index.h"
#include "sqlite_db.h"

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace vesk {

// A thread as the library keeps it.
struct StoredThread {
    std::int64_t nId = 0;
    ThreadKey key;
    std::string strTitle;
    std::string strBoardName;
    std::string strStarter;
    std::int64_t nRefreshed = 0;  // seconds since 1970, UTC
    bool bWatched = false;
    std::int64_t nReadPost = 0;  // the post last seen at the top of the view, 0 when none
    std::int64_t nReadAt = 0;    // when the reader last saw its posts (seconds), 0 when never
    int nUnread = 0;             // posts not read yet, deleted ones too
};

// How a post stands for its reader.
enum class PostState { kRead = 0, kNew = 1, kEdited = 2, kDeleted = 3 };

struct StoredPost {
    std::int32_t nFloor = 0;
    std::string strAuthor;
    std::string strTime;
    std::string strBody;
    bool bDeleted = false;
    PostState state = PostState::kRead;
    std::int64_t nId = 0;
};

// What storing pages changed.
struct PageChanges {
    int nNew = 0;
    int nStarterNew = 0;  // of the new, by the starter
    int nEdited = 0;
    int nDeleted = 0;
    std::int32_t nFirstNewFloor = 0;      // the lowest floor of the new posts, 0 when none had one
    std::int32_t nFirstChangedFloor = 0;  // of the posts new, edited or deleted
    PageChanges& operator+=(const PageChanges& other);
};

// One page as a refresh read it: its posts in page order, and on page 1 the thread's heading.
struct ReadPage {
    int nPage = 0;
    std::vector<PostFields> posts;
    std::optional<ThreadHeading> heading;
};

// What storing one page did: the changes, and the posts that were the page's own.
struct StoredPage {
    PageChanges changes;
    int nOwn = 0;
};

// Where a refresh of a kept thread goes on: the first page that was not full when it was last
// read (or the last page read, when all were), and the most posts of its own a page held.
struct KeptPages {
    int nResumePage = 0;
    int nFullest = 0;
};

// The first of a page's own posts: boards show a pinned post, or a block of replies, above a
// page's own run of floors on every page. The run is the rising run of floors that ends the page,
// above nFloorBefore (the highest floor of the page before, 0 when unknown), with the posts
// without a floor among it and right before it; a page of posts without floors is all its own.
// The page's size when none is its own.
std::size_t FirstOwnPost(const std::vector<PostFields>& posts, std::int32_t nFloorBefore);

// A post's place in its thread without its text: enough to count, mark and find it.
struct OutlinePost {
    std::int64_t nId = 0;
    std::int32_t nFloor = 0;
    std::int32_t nSortFloor = 0;  // the floor, or for a post without one the floor before it
    PostState state = PostState::kRead;
    bool bDeleted = false;
    bool bStarter = false;
};

struct ThreadListing {
    ThreadKey key;
    std::string strTitle;
    std::string strBoardName;
    int nPosts = 0;  // not deleted
    int nUnread = 0;
    int nStarterUnread = 0;
    std::int64_t nRefreshed = 0;
    bool bWatched = false;
    std::int64_t nReadAt = 0;        // seconds, 0 when never read
    std::int64_t nPictureBytes = 0;  // the pictures its posts show that are kept
    std::int64_t nCheckedAt = 0;     // seconds: see ThreadStore::CheckedAt
    std::int64_t nId = 0;
};

// A kept post of one person, as their page lists it, without its text.
struct PersonPost {
    std::int64_t nId = 0;
    std::int64_t nThread = 0;
    std::int32_t nFloor = 0;
    std::string strTime;
    PostState state = PostState::kRead;
    bool bDeleted = false;
};

// A person followed, with their posts kept (not deleted), those not read yet (deleted ones too),
// the threads they posted in and the time of their newest post (empty when none is kept).
struct FollowedPerson {
    std::string strName;
    int nPosts = 0;
    int nUnread = 0;
    int nThreads = 0;
    std::string strLastTime;
};

// What a reading brought of a person followed: their new posts, the threads those are in, and
// the thread that holds the most of them.
struct PersonNews {
    std::string strName;
    int nNew = 0;
    int nThreads = 0;
    ThreadKey key;
    std::string strTitle;
    std::string strBoardName;
};

// A picture a thread's posts show that is not kept yet, and the tries it took so far.
struct WantedPicture {
    std::string strSrc;
    int nTries = 0;
};

// A kept picture's bytes and their type ("image/png").
struct KeptPicture {
    std::string strType;
    std::string strData;
};

// A watched thread, with its failed refreshes in a row and the last one's time (seconds).
struct WatchedThread {
    ThreadKey key;
    int nFailures = 0;
    std::int64_t nFailedAt = 0;
};

struct ThreadChange {
    std::int32_t nFloor = 0;
    bool bDeleted = false;  // else edited
    std::int64_t nWhen = 0;
    std::string strBody;  // before the edit, or the deleted post's last
};

// The library file the viewer and the command share: $XDG_DATA_HOME/vesk/library.sqlite3, or
// under ~/.local/share when XDG_DATA_HOME is unset or empty.
std::string DefaultLibraryFile();

// The thread library in one SQLite file, shared by the viewer and the command. Every member that
// reads or writes the file throws LibraryError when SQLite fails: busy past the wait given (the
// error says so), interrupted, out of room, or the file broken. The callers above turn it into
// what they tell.
// How an error that opening the library throws begins, before its path.
inline constexpr char kLibraryErrorStart[] = "帖子库 ";

class ThreadStore final {
public:
    static constexpr int kBusyTimeoutMs = 30000;

    // Opens the library, making a missing or empty file a new one (and its folder, both private
    // to the user). With bReadOnlyWhenUnwritable, an existing library that cannot be written, or
    // whose folder cannot, is opened for reading only. Throws LibraryError, naming the path, when
    // the file cannot be opened or created, is not a library, or has a newer format; the file is
    // then left as it was.
    // nBusyTimeoutMs: how long a statement waits for another connection's lock.
    // A library made before the search index gets its tables as it is opened; with progress,
    // its posts are indexed then too, a step at a time, and progress is told how far that has
    // come (else ContinueSearchIndex does it).
    explicit ThreadStore(const std::string& strPath, bool bReadOnlyWhenUnwritable = false,
                         int nBusyTimeoutMs = kBusyTimeoutMs, const IndexProgress& progress = {});

    // Opened for reading only: every change throws.
    bool IsReadOnly() const { return m_bReadOnly; }

    std::optional<StoredThread> Find(const ThreadKey& key);
    // Every kept thread, by its id.
    std::map<std::int64_t, StoredThread> ThreadsById();
    // The highest floor stored for the thread, 0 when none.
    std::int32_t HighestFloor(std::int64_t nThread);
    KeptPages PagesKept(std::int64_t nThread);
    // The page holds no post of the thread now: the refreshes go on as if it was never read.
    void ForgetPage(std::int64_t nThread, int nPage);
    // The kept pages after page 1 last read before nWhen (a refresh's time), those read longest
    // ago first, at most nCount.
    std::vector<int> PagesReadBefore(std::int64_t nThread, std::int64_t nWhen, int nCount);
    // When the page read longest ago was read (seconds since 1970, UTC), 0 when none is kept:
    // every change on the board before then has been seen.
    std::int64_t CheckedAt(std::int64_t nThread);
    // The highest floor of its own the nearest page before nPage held when it was last read, 0
    // when none is known.
    std::int32_t FloorBefore(std::int64_t nThread, int nPage);
    // The lowest floor above nFloor of a post that is not deleted; the largest value when none.
    std::int32_t LowestFloorAbove(std::int64_t nThread, std::int32_t nFloor);

    // Stores one page of a thread in one transaction, adding the thread with its first page;
    // nothing when none of its posts are its own. nWhen stamps the changes, the page and the
    // thread's refresh time; the pages one refresh reads share it. A kept floor missing from the
    // page's own run is deleted, and so is one missing between the run and the page before, when
    // that was read in the same refresh.
    StoredPage StorePage(const ThreadKey& key, const ReadPage& page, std::int64_t nWhen);
    // The reading of a refresh (nWhen) ended at the thread's last page, nLastPage: the kept floors
    // above its own that stood on it or on later pages are deleted, since no page holds them now
    // (one above them on an earlier page is that page's, whose reading tells).
    PageChanges EndOfThread(std::int64_t nThread, int nLastPage, std::int64_t nWhen);

    void SetWatched(std::int64_t nThread, bool bWatched);
    // The watched threads, least recently refreshed first.
    std::vector<WatchedThread> Watched();
    // A refresh of the thread read pages (the failures are over) or none (one more, at nWhen).
    void NoteRefresh(std::int64_t nThread, bool bRead, std::int64_t nWhen);

    // Every post of a thread in floor order, a post without a floor right after the one before
    // it on its page; with an author, only that author's (byte for byte).
    std::vector<StoredPost> Posts(std::int64_t nThread,
                                  std::optional<std::string_view> author = std::nullopt);
    // The selected posts of a thread in the order Posts gives, without their texts.
    std::vector<OutlinePost> Outline(const StoredThread& thread, const PostFilter& filter);
    // The posts of these ids, in the order given; an id that is not kept is left out.
    std::vector<StoredPost> PostsById(std::span<const std::int64_t> ids);
    int CountPosts(std::int64_t nThread);  // not deleted
    // The body of the starter's last post not deleted, empty when there is none.
    std::string NewestStarterBody(std::int64_t nThread);
    void MarkRead(std::int64_t nThread);
    // The reader saw these posts of the thread (ids), and stopped with nPlace at the top of the
    // view, at nWhen (seconds): they are read, and the thread reopens there.
    void MarkSeen(std::int64_t nThread, std::span<const std::int64_t> seen, std::int64_t nPlace,
                  std::int64_t nWhen);
    // Every thread, last refreshed first.
    std::vector<ThreadListing> List();
    std::vector<ThreadChange> History(std::int64_t nThread);
    // Forgets the thread, and every picture no other thread shows.
    void Forget(std::int64_t nThread);
    // Gives the space of what was forgotten back to the file system.
    void Vacuum();

    // The pictures the thread's posts show that are not kept, wanted or tried fewer than nMaxTries.
    std::vector<WantedPicture> WantedPictures(std::int64_t nThread, int nMaxTries);
    // The hash of the picture kept from this address, for any thread, or empty.
    std::string PictureFrom(std::string_view address);
    // The thread's use of src is kept: the picture from address, by hash (in hex), stored once.
    void KeepPicture(std::int64_t nThread, std::string_view src, std::string_view address,
                     std::string_view hash, std::string_view type, std::string_view data);
    // Fetching src failed: tried again at the next refresh, or (bRefused) never.
    void PictureFailed(std::int64_t nThread, std::string_view src, std::string_view address,
                       bool bRefused);
    // Every picture the thread's posts show, by src.
    PictureMap Pictures(std::int64_t nThread);
    std::optional<KeptPicture> Picture(std::string_view hash);

    // Every kept post of one author (the board's bytes, matched whole) in every thread, newest
    // first by the board's time; those whose time cannot be read last, the latest kept first.
    std::vector<PersonPost> PersonPosts(std::string_view author);
    // The posts of these ids, read now wherever they are (a person's page).
    void MarkPostsSeen(std::span<const std::int64_t> ids);
    // Following a person, from nWhen (seconds); Unfollow answers whether they were followed.
    void Follow(std::string_view author, std::int64_t nWhen);
    bool Unfollow(std::string_view author);
    bool IsFollowed(std::string_view author);
    // The people followed, in the order they were followed.
    std::vector<FollowedPerson> Following();
    // The highest id a post has now: the posts a reading brings from here on are above it.
    std::int64_t LastPostId();
    // The new posts (not read yet) above nAfterId of each person followed who has some.
    std::vector<PersonNews> FollowedNews(std::int64_t nAfterId);
    // The thread's posts a week, the starter's among them, oldest first (kNoWeek first when some
    // times could not be read).
    std::vector<ActivityWeek> Activity(std::int64_t nThread);
    // Every thread's weeks from nFromWeek on, and its kNoWeek, by the thread's id.
    std::map<std::int64_t, std::vector<ActivityWeek>> ActivitySince(std::int64_t nFromWeek);

    // The posts that hold the query's words, newest first (see SearchPosts).
    std::vector<SearchHit> Search(const SearchQuery& query);
    // Whether the library has its search index, complete: without it, a search reads every post.
    bool HasSearchIndex();
    SearchIndexState SearchIndex();
    // Joins to the index the new posts stored since it last took them, as a reading ends.
    void CatchUpSearchIndex();
    // Indexes the posts not indexed yet, a step (a transaction) of nStep posts at a time, telling
    // progress after each, until stopped says so; whether the index is complete (false: there is
    // none, or it stopped first).
    static constexpr std::int64_t kIndexStep = 2000;
    bool ContinueSearchIndex(const IndexProgress& progress = {}, std::int64_t nStep = kIndexStep,
                             const std::function<bool()>& stopped = {});
    // Makes the search index anew from what is kept (or makes it when it was dropped).
    void RebuildSearchIndex(const IndexProgress& progress = {});
    // Drops the index, and the space it took stays in the file until a vacuum.
    void DropSearchIndex();
    // Ends a statement this connection runs soon, from any thread: it throws as interrupted.
    void Interrupt() { m_db.Interrupt(); }

private:
    class PageWriter;

    void UseWriteAheadLog(int nTimeoutMs);
    void Migrate();
    // A page as it was last read: its number, its highest floor of its own, the refresh's time.
    struct PageRow {
        int nPage = 0;
        std::int32_t nLastFloor = 0;
        std::int64_t nReadAt = 0;
    };
    // The nearest page before nPage that was read; all zero when none was.
    PageRow PageBefore(std::int64_t nThread, int nPage);
    Statement& Cached(const char* pszSql);
    // Whether the library has the search index's tables, by a statement kept prepared.
    bool SearchIndexPresent();
    void RecordChange(std::int64_t nThread, std::int32_t nFloor, int nKind, std::int64_t nWhen,
                      std::string_view body);
    // The post is deleted, and marked so until the reader has seen it.
    void MarkDeleted(std::int64_t nPost);

    bool m_bReadOnly;
    Database m_db;
    std::map<const char*, Statement> m_statements;
};

}  // namespace vesk
