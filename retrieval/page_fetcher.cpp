#include "page_fetcher.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstring>
#include <mutex>

namespace vesk {

namespace {

// Longest piece one read of a line returns.
constexpr std::size_t kPieceBytes = 4095;
// The longest the transfer loop sleeps before it looks at the clock again.
constexpr std::chrono::milliseconds kPollSlice{100};

void InitCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

}  // namespace

std::string ConvertPageBody(std::string_view body) {
    std::string text;
    text.reserve(body.size() + body.size() / 16);
    std::size_t nPos = 0;
    while (nPos < body.size()) {
        std::size_t nPiece = std::min(kPieceBytes, body.size() - nPos);
        const void* pLf = std::memchr(body.data() + nPos, '\n', nPiece);
        if (pLf != nullptr) {
            nPiece =
                static_cast<std::size_t>(static_cast<const char*>(pLf) - body.data()) + 1 - nPos;
        }
        std::string_view piece = body.substr(nPos, nPiece);
        nPos += nPiece;
        const std::size_t nZero = piece.find('\0');
        if (nZero != std::string_view::npos) {
            piece = piece.substr(0, nZero);
        }
        // Only the last byte of a piece can be a line feed.
        if (!piece.empty() && piece.back() == '\n') {
            text.append(piece.data(), piece.size() - 1);
            text.append("\r\n");
        } else {
            text.append(piece);
        }
    }
    return text;
}

PageFetcher::PageFetcher(FetchTimeouts timeouts) : m_timeouts(timeouts) {}

PageFetcher::~PageFetcher() {
    CloseSession();
}

bool PageFetcher::OpenSession() {
    InitCurlOnce();
    CloseSession();
    CURLM* pMulti = curl_multi_init();
    CURL* pSession = curl_easy_init();
    curl_slist* pHeaders = curl_slist_append(nullptr, "Accept: */*");
    if (pHeaders != nullptr) {
        curl_slist* pNext = curl_slist_append(pHeaders, std::string(kUserAgent).c_str());
        if (pNext == nullptr) {
            curl_slist_free_all(pHeaders);
        }
        pHeaders = pNext;
    }
    {
        std::lock_guard lock(m_mutex);
        m_pMulti = pMulti;
        m_pSession = pSession;
        m_pHeaders = pHeaders;
    }
    if (pMulti == nullptr || pSession == nullptr || pHeaders == nullptr) {
        CloseSession();
        return false;
    }

    bool bOk = true;
    const auto set = [&](CURLoption option, auto value) {
        bOk = bOk && curl_easy_setopt(m_pSession, option, value) == CURLE_OK;
    };
    set(CURLOPT_NOSIGNAL, 1L);
    set(CURLOPT_HTTPGET, 1L);
    set(CURLOPT_HTTPHEADER, m_pHeaders);
    set(CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(m_timeouts.connect.count()));
    set(CURLOPT_FOLLOWLOCATION, 1L);
    set(CURLOPT_MAXREDIRS, 10L);
    set(CURLOPT_PROTOCOLS_STR, "http,https");
    set(CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    set(CURLOPT_WRITEFUNCTION, &PageFetcher::OnBody);
    set(CURLOPT_WRITEDATA, this);
    set(CURLOPT_HEADERFUNCTION, &PageFetcher::OnHeader);
    set(CURLOPT_HEADERDATA, this);
    set(CURLOPT_PREREQFUNCTION, &PageFetcher::OnRequestReady);
    set(CURLOPT_PREREQDATA, this);
    if (!bOk) {
        CloseSession();
    }
    return bOk;
}

void PageFetcher::CloseSession() {
    std::lock_guard lock(m_mutex);
    if (m_pMulti != nullptr && m_pSession != nullptr) {
        curl_multi_remove_handle(m_pMulti, m_pSession);
    }
    if (m_pSession != nullptr) {
        curl_easy_cleanup(m_pSession);
        m_pSession = nullptr;
    }
    if (m_pMulti != nullptr) {
        curl_multi_cleanup(m_pMulti);
        m_pMulti = nullptr;
    }
    curl_slist_free_all(m_pHeaders);
    m_pHeaders = nullptr;
}

void PageFetcher::Abort() {
    m_bAbort.store(true);
    std::lock_guard lock(m_mutex);
    if (m_pMulti != nullptr) {
        curl_multi_wakeup(m_pMulti);
    }
}

std::string PageFetcher::FetchPage(const char* pszUrl) {
    m_failure = {PageFailure::Kind::kAborted};
    if (m_pSession == nullptr || IsAborted() ||
        curl_easy_setopt(m_pSession, CURLOPT_URL, pszUrl) != CURLE_OK) {
        return {};
    }
    for (int nAttempt = 0;; ++nAttempt) {
        const Outcome outcome = RunTransfer();
        if (outcome == Outcome::kDone) {
            break;
        }
        if (outcome == Outcome::kFailed || nAttempt >= m_timeouts.nConnectRetries) {
            return {};
        }
        WaitBeforeRetry();
        if (IsAborted()) {
            m_failure = {PageFailure::Kind::kAborted};
            return {};
        }
    }
    long nStatus = 0;
    curl_easy_getinfo(m_pSession, CURLINFO_RESPONSE_CODE, &nStatus);
    if (nStatus != 200) {
        m_failure = {PageFailure::Kind::kHttpStatus, nStatus};
        return {};
    }
    m_failure = {};
    return ConvertPageBody(m_strBody);
}

PageFetcher::Outcome PageFetcher::RunTransfer() {
    m_strBody.clear();
    m_bBodyTooLarge = false;
    m_bRequestSent = false;
    m_lastByte = Clock::now();
    const Clock::time_point deadline = m_lastByte + m_timeouts.total;
    if (curl_multi_add_handle(m_pMulti, m_pSession) != CURLM_OK) {
        return Outcome::kFailed;
    }

    // Why the loop ended the transfer itself; kNone when curl ended it.
    auto stopped = PageFailure::Kind::kNone;
    int nRunning = 1;
    while (true) {
        if (curl_multi_perform(m_pMulti, &nRunning) != CURLM_OK) {
            stopped = PageFailure::Kind::kNetwork;
            break;
        }
        if (nRunning == 0) {
            break;
        }
        if (IsAborted()) {
            stopped = PageFailure::Kind::kAborted;
            break;
        }
        const auto now = Clock::now();
        if (now >= deadline) {
            stopped = PageFailure::Kind::kTimedOut;
            break;
        }
        auto wait = std::min<std::chrono::milliseconds>(
            kPollSlice, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now) +
                            std::chrono::milliseconds(1));
        if (m_bRequestSent) {
            const auto idle =
                std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - m_lastByte);
            if (idle >= m_timeouts.stall) {
                stopped = PageFailure::Kind::kStalled;
                break;
            }
            wait = std::min(wait, m_timeouts.stall - idle);
        }
        curl_multi_poll(m_pMulti, nullptr, 0, static_cast<int>(std::max<long>(wait.count(), 1)),
                        nullptr);
    }

    CURLcode result = CURLE_ABORTED_BY_CALLBACK;
    int nQueued = 0;
    while (CURLMsg* pMsg = curl_multi_info_read(m_pMulti, &nQueued)) {
        if (pMsg->msg == CURLMSG_DONE && pMsg->easy_handle == m_pSession) {
            result = pMsg->data.result;
        }
    }
    curl_multi_remove_handle(m_pMulti, m_pSession);

    const bool bStopped = stopped != PageFailure::Kind::kNone;
    if (!bStopped && result == CURLE_OK && !m_bBodyTooLarge) {
        return Outcome::kDone;
    }
    using Kind = PageFailure::Kind;
    const bool bConnectFailed =
        result == CURLE_COULDNT_CONNECT || result == CURLE_OPERATION_TIMEDOUT;
    if (bStopped) {
        m_failure = {stopped};
    } else if (m_bBodyTooLarge) {
        m_failure = {Kind::kTooLarge};
    } else if (result == CURLE_OPERATION_TIMEDOUT) {
        m_failure = {Kind::kTimedOut};
    } else if (result == CURLE_COULDNT_CONNECT) {
        m_failure = {Kind::kRefused};
    } else {
        m_failure = {Kind::kNetwork};
    }
    if (!bStopped && !m_bRequestSent && bConnectFailed) {
        return Outcome::kFailedBeforeRequest;
    }
    return Outcome::kFailed;
}

void PageFetcher::WaitBeforeRetry() {
    const auto deadline = Clock::now() + m_timeouts.connectBackoff;
    while (!IsAborted()) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            break;
        }
        // Returns early when Abort wakes the session.
        curl_multi_poll(m_pMulti, nullptr, 0, static_cast<int>(left.count()), nullptr);
    }
}

std::size_t PageFetcher::OnBody(char* pData, std::size_t nSize, std::size_t nCount, void* pUser) {
    auto* pSelf = static_cast<PageFetcher*>(pUser);
    const std::size_t nBytes = nSize * nCount;
    pSelf->m_lastByte = Clock::now();
    if (pSelf->m_strBody.size() + nBytes > kMaxPageBytes) {
        pSelf->m_bBodyTooLarge = true;
        return 0;
    }
    pSelf->m_strBody.append(pData, nBytes);
    return nBytes;
}

std::size_t PageFetcher::OnHeader(char* pData, std::size_t nSize, std::size_t nCount, void* pUser) {
    auto* pSelf = static_cast<PageFetcher*>(pUser);
    const std::size_t nBytes = nSize * nCount;
    pSelf->m_lastByte = Clock::now();
    // A new status line starts a new answer (after a redirect): only the last answer's body is
    // the page.
    if (std::string_view(pData, nBytes).starts_with("HTTP/")) {
        pSelf->m_strBody.clear();
    }
    return nBytes;
}

int PageFetcher::OnRequestReady(void* pUser, char*, char*, int, int) {
    auto* pSelf = static_cast<PageFetcher*>(pUser);
    pSelf->m_bRequestSent = true;
    pSelf->m_lastByte = Clock::now();
    return CURL_PREREQFUNC_OK;
}

}  // namespace vesk
