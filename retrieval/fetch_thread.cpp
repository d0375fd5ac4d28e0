#include "fetch_thread.h"

#include "forum_address.h"
#include "page_loop.h"
#include "post_extraction.h"
#include "text_cut.h"

#include <cstring>
#include <system_error>

namespace vesk {

namespace {

template <std::size_t N>
constexpr std::size_t FieldSize(char (ResultBuffers::*)[N]) {
    return N;
}

}  // namespace

FetchThread::FetchThread(std::unique_ptr<FetchJob> pJob, FetchSettings settings)
    : m_fetcher(settings.timeouts), m_settings(std::move(settings)), m_pJob(std::move(pJob)) {
    m_pJob->pThread = this;
}

FetchThread::~FetchThread() {
    Stop();
    Join();
}

bool FetchThread::CreateThread() {
    if (m_pJob == nullptr || m_thread.joinable()) {
        return false;
    }
    try {
        // The thread owns the job from here; when it cannot start, the job is freed on the way out.
        m_thread = std::thread(&FetchThread::FetchThreadProc, std::move(m_pJob));
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void FetchThread::Stop() {
    {
        std::lock_guard lock(m_resultMutex);
        m_bStopped = true;
    }
    m_fetcher.Abort();
}

void FetchThread::Join() {
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id()) {
        m_thread.join();
    }
}

int FetchThread::FetchThreadProc(std::unique_ptr<FetchJob> pJob) {
    pJob->pThread->ExecuteJob(*pJob);
    return 0;
}

void FetchThread::ExecuteJob(const FetchJob& job) {
    m_hWndNotify = job.hWndNotify;
    m_pPosts = job.pPosts;
    m_pszTitle = job.pszTitle;
    m_pszStarter = job.pszStarter;
    m_pszBoardName = job.pszBoardName;
    m_pszBoardCode = job.pszBoardCode;
    m_pszThreadId = job.pszThreadId;
    m_strThreadUrl.assign(job.szThreadUrl, strnlen(job.szThreadUrl, sizeof job.szThreadUrl));

    if (!m_fetcher.OpenSession()) {
        std::lock_guard lock(m_resultMutex);
        if (!m_bStopped && m_hWndNotify != nullptr) {
            m_hWndNotify->PostFetchNotify(0, kFetchSessionFailed);
        }
        return;
    }
    FetchAllPages();
    m_fetcher.CloseSession();
}

void FetchThread::FetchAllPages() {
    const ThreadKey key = CutThreadKey(m_strThreadUrl);
    const std::string& strBoardCode = key.strBoardCode;
    const std::string& strThreadId = key.strThreadId;

    std::string strTitle;
    std::string strBoardName;
    m_nLastRecord = -1;
    ReadOptions options;
    options.nWindow = m_settings.nWindow;
    ReadingEnd end = ReadPages(
        m_fetcher, m_settings.strBaseAddress, key, 1, kMaxPages,
        [&](const LoopPage& page) {
            if (page.nPage == 1) {
                const ThreadHeading heading = CutThreadHeading(page.strText, strBoardCode);
                strTitle = heading.title;
                strBoardName = heading.boardName;
            }
            const int nBefore = m_nLastRecord;
            m_nLastRecord = StorePosts(page.posts, m_pPosts, m_nLastRecord);
            if (m_settings.keepPage && !page.bElsewhere) {
                m_settings.keepPage(page);
            }
            if (m_hWndNotify != nullptr && !m_fetcher.IsAborted()) {
                m_hWndNotify->PageFetched(page.nPage, m_nLastRecord);
            }
            // A full table takes no more posts, so no further page is worth a request.
            return PageTaken{m_nLastRecord - nBefore, PostTable::kCapacity - m_nLastRecord - 1};
        },
        options);
    end.nPosts = m_nLastRecord + 1;
    const std::string_view starter =
        m_nLastRecord >= 0 ? std::string_view(m_pPosts[0].szAuthor) : std::string_view{};

    std::lock_guard lock(m_resultMutex);
    if (m_bStopped) {
        return;
    }
    CopyToField(m_pszTitle, FieldSize(&ResultBuffers::szTitle), strTitle);
    CopyToField(m_pszStarter, FieldSize(&ResultBuffers::szStarter), starter);
    CopyToField(m_pszBoardName, FieldSize(&ResultBuffers::szBoardName), strBoardName);
    CopyToField(m_pszBoardCode, FieldSize(&ResultBuffers::szBoardCode), strBoardCode);
    CopyToField(m_pszThreadId, FieldSize(&ResultBuffers::szThreadId), strThreadId);
    if (m_hWndNotify != nullptr) {
        m_hWndNotify->ReadingEnded(end);
        m_hWndNotify->PostFetchNotify(m_nLastRecord, kFetchFinished);
    }
}

}  // namespace vesk
