#pragma once

#include "forum_address.h"
#include "post_extraction.h"
#include "sqlite_db.h"

#include <cstdint>
#include <map>
#include <optional>
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
    int nResumePage = 0;          // the last page a refresh committed posts from
    int nFullest = 0;             // the most posts one page held
    bool bComplete = false;       // a refresh has run to its end: what later ones find is marked
    std::int64_t nRefreshed = 0;  // seconds since 1970, UTC
    bool bWatched = false;
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
};

// What storing pages changed.
struct PageChanges {
    int nNew = 0;
    int nStarterNew = 0;  // of the new, by the starter
    int nEdited = 0;
    int nDeleted = 0;
    PageChanges& operator+=(const PageChanges& other);
};

// One page as a refresh read it: its posts in page order, and on page 1 the thread's heading.
struct ReadPage {
    int nPage = 0;
    std::vector<PostFields> posts;
    std::optional<ThreadHeading> heading;
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

// The thread library in one SQLite file, shared by the viewer and the command.
class ThreadStore final {
public:
    static constexpr int kBusyTimeoutMs = 30000;

    // Opens the library, making a missing or empty file a new one (and its folder). Throws
    // LibraryError, naming the path, when the file cannot be opened or created, is not a library,
    // or has a newer format; the file is then left as it was.
    explicit ThreadStore(const std::string& strPath);

    std::optional<StoredThread> Find(const ThreadKey& key);
    // The highest floor stored for the thread, 0 when none.
    std::int32_t HighestFloor(std::int64_t nThread);

    // Stores one page of a thread in one transaction, adding the thread with its first page.
    // nWhen stamps the changes and the thread's refresh time. bKeepLaterResume: the page where the
    // next refresh resumes never moves back (a reading of the first pages only).
    PageChanges StorePage(const ThreadKey& key, const ReadPage& page, std::int64_t nWhen,
                          bool bKeepLaterResume = false);
    // Marks a thread whose refresh ran to its end: what later refreshes find is unread.
    void MarkComplete(std::int64_t nThread);

    void SetWatched(std::int64_t nThread, bool bWatched);
    // The watched threads, least recently refreshed first.
    std::vector<WatchedThread> Watched();
    // A refresh of the thread read pages (the failures are over) or none (one more, at nWhen).
    void NoteRefresh(std::int64_t nThread, bool bRead, std::int64_t nWhen);

    // Every post of a thread in floor order, a post without a floor right after the one before
    // it on its page.
    std::vector<StoredPost> Posts(std::int64_t nThread);
    int CountPosts(std::int64_t nThread);  // not deleted
    // The body of the starter's last post not deleted, empty when there is none.
    std::string NewestStarterBody(std::int64_t nThread);
    void MarkRead(std::int64_t nThread);
    // Every thread, last refreshed first.
    std::vector<ThreadListing> List();
    std::vector<ThreadChange> History(std::int64_t nThread);
    void Forget(std::int64_t nThread);

private:
    void UseWriteAheadLog();
    void Migrate();
    Statement& Cached(const char* pszSql);

    Database m_db;
    std::map<const char*, Statement> m_statements;
};

}  // namespace vesk
