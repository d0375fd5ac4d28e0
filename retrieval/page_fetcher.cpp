#include "page_fetcher.h"

#include "text_cut.h"

#include <curl/curl.h>

#include <strings.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <mutex>
#include <optional>

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

// One page's download: its handle, what has come of it, and its attempts.
struct PageFetcher::Transfer {
    PageFetcher* pOwner = nullptr;
    CURL* pEasy = nullptr;
    std::string strBody;
    std::size_t nMaxBytes = kMaxPageBytes;
    bool bFile = false;
    bool bTooLarge = false;
    bool bRequestSent = false;
    bool bRunning = false;
    bool bDone = false;
    int nAttempt = 0;
    // The attempt's start and its last byte; when the next attempt starts, while one waits.
    Clock::time_point start;
    Clock::time_point lastByte;
    std::optional<Clock::time_point> nextAttempt;
    long nRetryAfter = -1;
    PageFailure failure;
    std::string strFinalAddress;  // where redirects took the answer; empty without any
};

PageFetcher::PageFetcher(FetchTimeouts timeouts) : m_timeouts(timeouts) {}

PageFetcher::~PageFetcher() {
    CloseSession();
}

bool PageFetcher::OpenSession() {
    InitCurlOnce();
    CloseSession();
    CURLM* pMulti = curl_multi_init();
    CURL* pTemplate = curl_easy_init();
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
        m_pTemplate = pTemplate;
        m_pHeaders = pHeaders;
    }
    if (pMulti == nullptr || pTemplate == nullptr || pHeaders == nullptr) {
        CloseSession();
        return false;
    }

    bool bOk = true;
    const auto set = [&](CURLoption option, auto value) {
        bOk = bOk && curl_easy_setopt(m_pTemplate, option, value) == CURLE_OK;
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
    set(CURLOPT_HEADERFUNCTION, &PageFetcher::OnHeader);
    set(CURLOPT_PREREQFUNCTION, &PageFetcher::OnRequestReady);
    if (!bOk) {
        CloseSession();
    }
    return bOk;
}

void PageFetcher::CloseSession() {
    while (!m_transfers.empty()) {
        Cancel(m_transfers.begin()->first);
    }
    std::lock_guard lock(m_mutex);
    if (m_pTemplate != nullptr) {
        curl_easy_cleanup(m_pTemplate);
        m_pTemplate = nullptr;
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

int PageFetcher::Start(const std::string& strUrl) {
    return StartTransfer(strUrl, kMaxPageBytes, false);
}

int PageFetcher::StartFile(const std::string& strUrl, std::size_t nMaxBytes) {
    return StartTransfer(strUrl, nMaxBytes, true);
}

int PageFetcher::StartTransfer(const std::string& strUrl, std::size_t nMaxBytes, bool bFile) {
    if (m_pTemplate == nullptr || IsAborted()) {
        return 0;
    }
    auto pTransfer = std::make_unique<Transfer>();
    pTransfer->pOwner = this;
    pTransfer->nMaxBytes = nMaxBytes;
    pTransfer->bFile = bFile;
    pTransfer->pEasy = curl_easy_duphandle(m_pTemplate);
    if (pTransfer->pEasy == nullptr) {
        return 0;
    }
    Transfer* pRaw = pTransfer.get();
    const bool bOk = curl_easy_setopt(pRaw->pEasy, CURLOPT_URL, strUrl.c_str()) == CURLE_OK &&
                     curl_easy_setopt(pRaw->pEasy, CURLOPT_WRITEDATA, pRaw) == CURLE_OK &&
                     curl_easy_setopt(pRaw->pEasy, CURLOPT_HEADERDATA, pRaw) == CURLE_OK &&
                     curl_easy_setopt(pRaw->pEasy, CURLOPT_PREREQDATA, pRaw) == CURLE_OK &&
                     curl_easy_setopt(pRaw->pEasy, CURLOPT_PRIVATE, pRaw) == CURLE_OK;
    const int nTransfer = ++m_nLastTransfer;
    m_transfers.emplace(nTransfer, std::move(pTransfer));
    if (!bOk || !Launch(*pRaw)) {
        Finish(*pRaw, PageFailure::Kind::kNetwork, CURLE_OK);
    }
    return nTransfer;
}

bool PageFetcher::Launch(Transfer& transfer) {
    transfer.strBody.clear();
    transfer.bTooLarge = false;
    transfer.bRequestSent = false;
    transfer.nRetryAfter = -1;
    transfer.strFinalAddress.clear();
    transfer.nextAttempt.reset();
    transfer.start = transfer.lastByte = Clock::now();
    transfer.bRunning = curl_multi_add_handle(m_pMulti, transfer.pEasy) == CURLM_OK;
    return transfer.bRunning;
}

void PageFetcher::Cancel(int nTransfer) {
    const auto it = m_transfers.find(nTransfer);
    if (it == m_transfers.end()) {
        return;
    }
    if (it->second->bRunning) {
        curl_multi_remove_handle(m_pMulti, it->second->pEasy);
    }
    curl_easy_cleanup(it->second->pEasy);
    m_transfers.erase(it);
}

std::string PageFetcher::Wait(int nTransfer, PageFailure& failure, std::string* pFinalAddress) {
    if (pFinalAddress != nullptr) {
        pFinalAddress->clear();
    }
    const auto it = m_transfers.find(nTransfer);
    if (it == m_transfers.end()) {
        failure = {PageFailure::Kind::kAborted};
        return {};
    }
    Transfer& transfer = *it->second;
    while (!transfer.bDone) {
        Pump(transfer);
    }
    failure = transfer.failure;
    if (pFinalAddress != nullptr) {
        *pFinalAddress = std::move(transfer.strFinalAddress);
    }
    std::string strText = failure.kind != PageFailure::Kind::kNone ? std::string()
                          : transfer.bFile                         ? std::move(transfer.strBody)
                                           : ConvertPageBody(transfer.strBody);
    Cancel(nTransfer);
    return strText;
}

bool PageFetcher::Sleep(std::chrono::milliseconds duration) {
    if (m_pMulti == nullptr) {
        return false;  // outside a session there is nothing to wait for
    }
    const auto deadline = Clock::now() + duration;
    while (!IsAborted()) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            return true;
        }
        // Returns early when Abort wakes the session.
        curl_multi_poll(m_pMulti, nullptr, 0, static_cast<int>(left.count()), nullptr);
    }
    return false;
}

void PageFetcher::Pump(const Transfer& waited) {
    int nRunning = 0;
    const bool bBroken = curl_multi_perform(m_pMulti, &nRunning) != CURLM_OK;
    int nQueued = 0;
    while (CURLMsg* pMsg = curl_multi_info_read(m_pMulti, &nQueued)) {
        Transfer* pTransfer = nullptr;
        curl_easy_getinfo(pMsg->easy_handle, CURLINFO_PRIVATE, &pTransfer);
        if (pMsg->msg == CURLMSG_DONE && pTransfer != nullptr && pTransfer->bRunning) {
            Finish(*pTransfer, PageFailure::Kind::kNone, pMsg->data.result);
        }
    }
    // What the loop ends itself, and the next attempts that are due; the longest it may sleep.
    const auto now = Clock::now();
    auto wait = kPollSlice;
    for (auto& [nTransfer, pTransfer] : m_transfers) {
        Transfer& t = *pTransfer;
        if (t.nextAttempt && !IsAborted()) {
            if (now >= *t.nextAttempt) {
                Launch(t);
            } else {
                wait = std::min(wait, std::chrono::duration_cast<std::chrono::milliseconds>(
                                          *t.nextAttempt - now));
            }
            continue;
        }
        if (!t.bRunning) {
            if (!t.bDone && IsAborted()) {
                Finish(t, PageFailure::Kind::kAborted, CURLE_OK);
            }
            continue;
        }
        const auto idle = std::chrono::duration_cast<std::chrono::milliseconds>(now - t.lastByte);
        if (bBroken || IsAborted()) {
            Finish(t, bBroken ? PageFailure::Kind::kNetwork : PageFailure::Kind::kAborted,
                   CURLE_OK);
        } else if (now >= t.start + m_timeouts.total) {
            Finish(t, PageFailure::Kind::kTimedOut, CURLE_OK);
        } else if (t.bRequestSent && idle >= m_timeouts.stall) {
            Finish(t, PageFailure::Kind::kStalled, CURLE_OK);
        } else {
            wait = std::min(wait, std::chrono::duration_cast<std::chrono::milliseconds>(
                                      t.start + m_timeouts.total - now) +
                                      std::chrono::milliseconds(1));
            if (t.bRequestSent) {
                wait = std::min(wait, m_timeouts.stall - idle);
            }
        }
    }
    if (waited.bDone) {
        return;
    }
    curl_multi_poll(m_pMulti, nullptr, 0, static_cast<int>(std::max<long>(wait.count(), 1)),
                    nullptr);
}

// Ends an attempt: stopped by the loop (kind), or ended by curl (kind kNone, its result).
void PageFetcher::Finish(Transfer& transfer, PageFailure::Kind kind, int nResult) {
    if (transfer.bRunning) {
        curl_multi_remove_handle(m_pMulti, transfer.pEasy);
        transfer.bRunning = false;
    }
    using Kind = PageFailure::Kind;
    const auto result = static_cast<CURLcode>(nResult);
    if (kind == Kind::kNone) {
        if (result == CURLE_OK && !transfer.bTooLarge) {
            long nStatus = 0;
            curl_easy_getinfo(transfer.pEasy, CURLINFO_RESPONSE_CODE, &nStatus);
            long nRedirects = 0;
            const char* pszFinal = nullptr;
            if (curl_easy_getinfo(transfer.pEasy, CURLINFO_REDIRECT_COUNT, &nRedirects) ==
                    CURLE_OK &&
                nRedirects > 0 &&
                curl_easy_getinfo(transfer.pEasy, CURLINFO_EFFECTIVE_URL, &pszFinal) == CURLE_OK &&
                pszFinal != nullptr) {
                transfer.strFinalAddress = pszFinal;
            }
            transfer.failure = nStatus == 200
                                   ? PageFailure{}
                                   : PageFailure{Kind::kHttpStatus, nStatus, transfer.nRetryAfter};
            transfer.bDone = true;
            return;
        }
        const bool bConnectFailed =
            result == CURLE_COULDNT_CONNECT || result == CURLE_OPERATION_TIMEDOUT;
        // A connection that could not be made is tried again after a pause.
        if (bConnectFailed && !transfer.bRequestSent &&
            transfer.nAttempt < m_timeouts.nConnectRetries) {
            ++transfer.nAttempt;
            transfer.nextAttempt = Clock::now() + m_timeouts.connectBackoff;
            return;
        }
        kind = transfer.bTooLarge                   ? Kind::kTooLarge
               : result == CURLE_OPERATION_TIMEDOUT ? Kind::kTimedOut
               : result == CURLE_COULDNT_CONNECT    ? Kind::kRefused
                                                    : Kind::kNetwork;
    }
    transfer.failure = {kind};
    transfer.bDone = true;
}

std::size_t PageFetcher::OnBody(char* pData, std::size_t nSize, std::size_t nCount, void* pUser) {
    auto* pTransfer = static_cast<Transfer*>(pUser);
    const std::size_t nBytes = nSize * nCount;
    pTransfer->lastByte = Clock::now();
    if (pTransfer->strBody.size() + nBytes > pTransfer->nMaxBytes) {
        pTransfer->bTooLarge = true;
        return 0;
    }
    pTransfer->strBody.append(pData, nBytes);
    return nBytes;
}

std::size_t PageFetcher::OnHeader(char* pData, std::size_t nSize, std::size_t nCount, void* pUser) {
    auto* pTransfer = static_cast<Transfer*>(pUser);
    const std::size_t nBytes = nSize * nCount;
    pTransfer->lastByte = Clock::now();
    const std::string_view line(pData, nBytes);
    // A new status line starts a new answer (after a redirect): only the last answer's body is
    // the page, and only its Retry-After counts.
    if (line.starts_with("HTTP/")) {
        pTransfer->strBody.clear();
        pTransfer->nRetryAfter = -1;
    } else if (line.size() > 12 && strncasecmp(line.data(), "Retry-After:", 12) == 0) {
        // Seconds, or an HTTP date.
        const std::string value(TrimWhiteSpace(line.substr(12)));
        if (!value.empty() &&
            std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            pTransfer->nRetryAfter = value.size() > 9 ? 999999999L : std::stol(value);
        } else if (const time_t when = curl_getdate(value.c_str(), nullptr); when != -1) {
            pTransfer->nRetryAfter =
                std::max<long>(0, static_cast<long>(when - std::time(nullptr)));
        }
    }
    return nBytes;
}

int PageFetcher::OnRequestReady(void* pUser, char*, char*, int, int) {
    auto* pTransfer = static_cast<Transfer*>(pUser);
    pTransfer->bRequestSent = true;
    pTransfer->lastByte = Clock::now();
    return CURL_PREREQFUNC_OK;
}

}  // namespace vesk
