#pragma once

#include "page_loop.h"
#include "picture_keeper.h"
#include "request_checks.h"
#include "thread_store.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace vesk {

// How a refresh of a kept thread went.
struct RefreshOutcome {
    enum class Result {
        kRead,          // at least one page with posts was read and kept
        kNothingFound,  // a thread not kept before showed no post: nothing was kept
        kNothingRead,   // a kept thread gave no page with posts: the library is as it was
    };
    Result result = Result::kNothingFound;
    ReadingEnd end;
    int nLastPage = 0;  // the last page with posts read
    PageChanges changes;
    // Nothing read because the thread is no longer on the board: its page 1 holds no post, or a
    // redirect took it to another address (end.failure says which).
    bool bGone = false;
    // The pictures of the thread's posts fetched after its pages, when they were.
    PicturesKept pictures;
};

// The most pages one refresh reads.
inline constexpr int kMaxRefreshPages = 10000;

struct RefreshSettings {
    std::string strBaseAddress;
    int nWindow = 4;
    // Every page again, from page 1, so that edits and deletions anywhere are seen.
    bool bFull = false;
    int nMaxPages = kMaxRefreshPages;
    // After the pages, the pictures their posts show that are not kept yet.
    bool bPictures = true;
    // Called after each page kept, with the page and the posts read so far in this refresh.
    std::function<void(int nPage, int nPosts)> progress;
    // Called after each picture fetched (or not) after the pages: those done and those wanted.
    std::function<void(int nDone, int nWanted)> pictureProgress;
};

// Reads a thread into the library through the fetcher's open session, each page kept, in page
// order, as soon as it is read. A thread not kept yet (or every thread with bFull) is read from
// page 1 to its end. A kept one reads page 1, then from the first page that was not full when it
// was last read (R) to its end. When page R holds no post, or only floors above every floor kept,
// the pages before it are read too, one at a time backwards, until one holds a floor kept before,
// page 2, or 10 pages back; when its first floor is above the one expected there, the page
// before it is read. A reading that ends at the thread's last page, not far before R, deletes the
// kept floors after that page's, and then reads again the four pages read longest ago (each with
// the pages before it that it needs, as R), so that every edit and deletion anywhere in the thread
// is seen within a bounded number of refreshes. After a reading that kept pages, the pictures not
// kept yet are fetched (see KeepPictures) unless the settings say not to. Throws LibraryError.
RefreshOutcome RefreshThread(ThreadStore& store, PageFetcher& fetcher, const ThreadKey& key,
                             const RefreshSettings& settings);

// How a refresh went, in one sentence of the interface's language (UTF-8), as the command and the
// window say it.
std::string DescribeRefresh(const RefreshOutcome& outcome, int nMaxPages = kMaxRefreshPages);
// What a refresh that read to the end brought, in one line: "新帖 12 条（楼主 3 条），修改 1 条，
// 删除 0 条", or "没有新帖" when nothing changed.
std::string DescribeChanges(const PageChanges& changes);

// A watched thread that a refresh found new posts in.
struct WatchReport {
    ThreadKey key;
    std::string strTitle;
    int nNew = 0;
    int nStarterNew = 0;
    std::string strBoardName;
};

// How one watched thread's turn went.
enum class WatchTurn {
    kResting,  // its last three refreshes in a row read nothing, the last under an hour ago
    kRead,     // a page with posts was read
    kNotRead,  // no page with posts could be read: one more failure in a row
    kStopped,  // the fetcher was stopped: nothing is noted, the turn may be taken again
};

// Refreshes one watched thread unless it rests, notes how it went (nNow: seconds since 1970) and
// tells report when new posts were found; pChanges, when given, is told every change found.
// Throws LibraryError.
WatchTurn RefreshWatchedThread(ThreadStore& store, PageFetcher& fetcher,
                               const WatchedThread& watched, const RefreshSettings& settings,
                               std::int64_t nNow,
                               const std::function<void(const WatchReport&)>& report,
                               PageChanges* pChanges = nullptr);

// Refreshes every watched thread through the fetcher's open session, one after the other, least
// recently refreshed first. True when every refresh that ran read a page with posts. Throws
// LibraryError.
bool RefreshWatchedThreads(ThreadStore& store, PageFetcher& fetcher,
                           const RefreshSettings& settings, std::int64_t nNow,
                           const std::function<void(const WatchReport&)>& report);

// Keeps in the library what a reading of the first pages (the window's go) read, page by page, on
// the reading's thread, as a refresh of those pages; the page where the next refresh resumes never
// moves back. A library that cannot be used is noted once and left alone: the reading goes on.
class GoKeeper final {
public:
    GoKeeper(std::string strLibraryFile, ThreadKey key);
    ~GoKeeper();
    GoKeeper(const GoKeeper&) = delete;
    GoKeeper& operator=(const GoKeeper&) = delete;

    void Keep(const LoopPage& page) noexcept;
    // After the reading: what went wrong with the library, or empty.
    std::string Finish() noexcept;
    // Whether the library held the thread before the first page was kept.
    bool WasKeptBefore() const { return m_bKeptBefore; }

private:
    std::string m_strFile;
    ThreadKey m_key;
    std::int64_t m_nWhen;
    std::unique_ptr<ThreadStore> m_pStore;
    std::string m_strError;
    bool m_bKeptBefore = false;
};

// Work on the library on a thread of its own, with its own connection to the library and its own
// session, as the window runs it. Stop ends it within a moment (a page in flight is dropped, every
// page kept stays kept) and waits for it.
class LibraryTask final {
public:
    using Work = std::function<void(ThreadStore& store, PageFetcher& fetcher)>;
    // Both are called on the task's thread; done once at the end (not after Stop), with what went
    // wrong with the session or the library, or empty.
    LibraryTask(std::string strLibraryFile, Work work,
                std::function<void(const std::string& strError)> done);
    ~LibraryTask();
    LibraryTask(const LibraryTask&) = delete;
    LibraryTask& operator=(const LibraryTask&) = delete;

    bool Start();
    void Stop();
    // Ends the work within a moment as Stop does, without waiting for it, and done is told how
    // far it came.
    void Interrupt();

    // What done is told when no session could be opened.
    static constexpr std::string_view kNoSession = kRetrievalFailedMessage;

private:
    void Run();

    std::string m_strFile;
    Work m_work;
    std::function<void(const std::string&)> m_done;
    PageFetcher m_fetcher;
    std::atomic<bool> m_bTellStopped{false};
    std::thread m_thread;
};

// A refresh of one thread as a library task.
class ThreadRefresher final {
public:
    // Both are called on the refresh's thread: progress after each page kept, done once at the end
    // (not after Stop).
    ThreadRefresher(std::string strLibraryFile, ThreadKey key, RefreshSettings settings,
                    std::function<void(const RefreshOutcome&, const std::string& strError)> done);

    bool Start() { return m_task.Start(); }
    void Stop() { m_task.Stop(); }
    void Interrupt() { m_task.Interrupt(); }
    const ThreadKey& Key() const { return m_key; }

private:
    ThreadKey m_key;
    RefreshOutcome m_outcome;
    LibraryTask m_task;
};

}  // namespace vesk
