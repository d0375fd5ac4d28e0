#pragma once

#include "page_loop.h"
#include "thread_store.h"

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
};

struct RefreshSettings {
    std::string strBaseAddress;
    int nWindow = 4;
    // Called after each page kept, with the page and the posts read so far in this refresh.
    std::function<void(int nPage, int nPosts)> progress;
};

// The most pages one refresh reads.
inline constexpr int kMaxRefreshPages = 10000;

// Reads a thread into the library through the fetcher's open session. A thread not kept yet is
// read from page 1 to its end. A kept one from the last page a refresh kept posts from (R) to its
// end; when page R holds no post, or only floors above every floor kept, the pages before it are
// read too, one at a time backwards, until one holds a floor kept before, page 1, or 10 pages
// back. Each page is kept, in page order, as soon as it is read. Throws LibraryError.
RefreshOutcome RefreshThread(ThreadStore& store, PageFetcher& fetcher, const ThreadKey& key,
                             const RefreshSettings& settings);

// A watched thread that a refresh found new posts in.
struct WatchReport {
    ThreadKey key;
    std::string strTitle;
    int nNew = 0;
    int nStarterNew = 0;
};

// Refreshes every watched thread through the fetcher's open session, one after the other, least
// recently refreshed first, telling report of each with new posts. A thread whose last three
// refreshes in a row read nothing waits an hour from the last (nNow: seconds since 1970). True
// when every refresh that ran read a page with posts. Throws LibraryError.
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

    void Keep(int nPage, const std::string& strPage) noexcept;
    // After the reading: the thread counts as refreshed when a page was kept. What went wrong
    // with the library, or empty.
    std::string Finish() noexcept;

private:
    std::string m_strFile;
    ThreadKey m_key;
    std::int64_t m_nWhen;
    std::unique_ptr<ThreadStore> m_pStore;
    std::string m_strError;
    bool m_bKept = false;
};

// A refresh of one thread on a thread of its own, with its own connection to the library and its
// own session, as the window runs it. Stop ends it within a moment (a page in flight is dropped,
// every page kept stays kept) and waits for it.
class ThreadRefresher final {
public:
    // Both are called on the refresh's thread: progress after each page kept, done once at the end
    // (not after Stop).
    ThreadRefresher(std::string strLibraryFile, ThreadKey key, RefreshSettings settings,
                    std::function<void(const RefreshOutcome&, const std::string& strError)> done);
    ~ThreadRefresher();
    ThreadRefresher(const ThreadRefresher&) = delete;
    ThreadRefresher& operator=(const ThreadRefresher&) = delete;

    bool Start();
    void Stop();
    const ThreadKey& Key() const { return m_key; }

private:
    void Run();

    std::string m_strFile;
    ThreadKey m_key;
    RefreshSettings m_settings;
    std::function<void(const RefreshOutcome&, const std::string&)> m_done;
    PageFetcher m_fetcher;
    std::thread m_thread;
};

}  // namespace vesk
