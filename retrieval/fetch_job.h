#pragma once

#include "page_loop.h"
#include "post_table.h"

namespace vesk {

class FetchThread;

// The worker's one answer per retrieval (the window's WM_FETCH_NOTIFY).
inline constexpr int WM_FETCH_NOTIFY = 0x0402;
// lParam of the answer: the page loop ended (wParam = index of the last record, -1 for none), or
// the internet session could not be opened (wParam 0).
inline constexpr int kFetchFinished = 0;
inline constexpr int kFetchSessionFailed = -1;

// Receives the worker's answer. The window implements it with a posted event, the command-line
// tool with a plain wait. Both calls come from the worker thread.
class FetchNotifyTarget {
public:
    virtual ~FetchNotifyTarget() = default;

    // Called once per retrieval, as the last thing the worker does with its owner's data.
    virtual void PostFetchNotify(int wParam, int lParam) = 0;

    // Called after each page whose posts were read; for progress display only.
    virtual void PageFetched(int /*nPage*/, int /*nLastRecord*/) {}
    // Called just before the answer of a retrieval whose page loop ran: how the reading ended.
    virtual void ReadingEnded(const ReadingEnd& /*end*/) {}
};

// The five per-retrieval values the worker writes back, with the sizes the owner keeps them in.
struct ResultBuffers {
    char szTitle[251];
    char szStarter[51];
    char szBoardName[51];
    char szBoardCode[11];
    char szThreadId[12];
};

// One retrieval as the owner hands it to the worker.
struct FetchJob {
    FetchNotifyTarget* hWndNotify = nullptr;
    FetchThread* pThread = nullptr;
    char szThreadUrl[204] = {};
    PostRecord* pPosts = nullptr;
    char* pszTitle = nullptr;
    char* pszStarter = nullptr;
    char* pszBoardName = nullptr;
    char* pszBoardCode = nullptr;
    char* pszThreadId = nullptr;
};

// Points a job at the owner's table and five buffers, which must outlive the retrieval.
inline void AttachResults(FetchJob& job, PostTable& table, ResultBuffers& buffers) {
    job.pPosts = table.data();
    job.pszTitle = buffers.szTitle;
    job.pszStarter = buffers.szStarter;
    job.pszBoardName = buffers.szBoardName;
    job.pszBoardCode = buffers.szBoardCode;
    job.pszThreadId = buffers.szThreadId;
}

}  // namespace vesk
