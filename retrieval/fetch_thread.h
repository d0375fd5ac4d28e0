#pragma once

#include "fetch_job.h"
#include "forum_config.h"
#include "page_fetcher.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace vesk {

// Where a worker fetches from and how long it waits.
struct FetchSettings {
    std::string strBaseAddress{ForumBaseAddress};
    FetchTimeouts timeouts;
    // Page requests in flight at most.
    int nWindow = 4;
    // Given every page whose posts were read, in page order, on the worker's thread, but those
    // that a redirect took away from the thread; it must not throw. The reading is the same with
    // it or without.
    std::function<void(const LoopPage& page)> keepPage;
};

// One retrieval on a thread of its own: downloads the pages of one thread from page 1 (at most
// kMaxPages), cuts their posts into the owner's table, writes the five values into the owner's
// buffers and answers once through the job's notification target.
//
// The owner keeps the object: destroying it stops the retrieval and joins the thread, so the
// owner's table and buffers are never written after it is gone. It must not be destroyed from
// within its own notification, which runs on the worker thread.
class FetchThread final {
public:
    static constexpr int kMaxPages = 40;

    FetchThread(std::unique_ptr<FetchJob> pJob, FetchSettings settings = {});
    ~FetchThread();
    FetchThread(const FetchThread&) = delete;
    FetchThread& operator=(const FetchThread&) = delete;

    // Starts the worker, which owns the job from then on; false when no thread could be started
    // (the job is freed then).
    bool CreateThread();
    // May be called from any thread: the running transfer ends at once, no further page is
    // requested, and from the moment this returns the worker writes none of the five values and
    // posts no notification. It may still be storing the posts of a page it holds: join it before
    // the table goes.
    void Stop();
    // Waits for the worker to end; does nothing when it never started or was joined already.
    void Join();

private:
    static int FetchThreadProc(std::unique_ptr<FetchJob> pJob);
    void ExecuteJob(const FetchJob& job);
    void FetchAllPages();

    PageFetcher m_fetcher;
    FetchSettings m_settings;
    std::unique_ptr<FetchJob> m_pJob;
    std::thread m_thread;

    FetchNotifyTarget* m_hWndNotify = nullptr;
    std::string m_strThreadUrl;
    PostRecord* m_pPosts = nullptr;
    int m_nLastRecord = -1;
    char* m_pszTitle = nullptr;
    char* m_pszStarter = nullptr;
    char* m_pszBoardName = nullptr;
    char* m_pszBoardCode = nullptr;
    char* m_pszThreadId = nullptr;

    // Held while the worker writes the owner's buffers and notifies, and by Stop.
    std::mutex m_resultMutex;
    bool m_bStopped = false;
};

}  // namespace vesk
