#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>

using CURL = void;
using CURLM = void;
struct curl_slist;

namespace vesk {

// How long a page may take; the defaults are the viewer's.
struct FetchTimeouts {
    std::chrono::milliseconds connect{5000};
    // Wait before the one new attempt after a connection could not be made.
    std::chrono::milliseconds connectBackoff{1000};
    int nConnectRetries = 1;
    // A transfer during which no byte arrives for this long fails.
    std::chrono::milliseconds stall{5000};
    // A transfer, headers included, that has not ended this long after it began fails, however
    // steadily its bytes trickle in.
    std::chrono::milliseconds total{30000};
};

// Why the last page asked for could not be had.
struct PageFailure {
    enum class Kind {
        kNone,        // the page came with status 200
        kHttpStatus,  // the forum answered with another status (nHttpStatus)
        kRefused,     // the connection was refused
        kTimedOut,    // no connection in time, or the whole page not within its deadline
        kTooLarge,    // a body over kMaxPageBytes
        kStalled,     // no byte for the stall time
        kAborted,     // stopped, or asked outside a session
        kNetwork,     // any other failure: the host not found, a broken answer
    };
    Kind kind = Kind::kNone;
    long nHttpStatus = 0;
    friend bool operator==(const PageFailure&, const PageFailure&) = default;
};

// Downloads forum pages over HTTP, one at a time, on one session whose connection is reused from
// page to page. A page that cannot be had is empty text, and LastFailure says why. Everything
// but Abort runs on the one thread that owns the fetcher.
class PageFetcher final {
public:
    // A body larger than this counts as a failed download.
    static constexpr std::size_t kMaxPageBytes = std::size_t{16} << 20;
    static constexpr std::string_view kUserAgent =
        "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";

    explicit PageFetcher(FetchTimeouts timeouts = {});
    ~PageFetcher();
    PageFetcher(const PageFetcher&) = delete;
    PageFetcher& operator=(const PageFetcher&) = delete;

    // Opens the session; false when it cannot be set up. The only failure anybody hears of.
    bool OpenSession();
    // The page's text with every line feed turned into CR LF, or empty text when the page could
    // not be had with status 200.
    std::string FetchPage(const char* pszUrl);
    // Why the last FetchPage gave empty text; kNone when it gave the page.
    PageFailure LastFailure() const { return m_failure; }
    void CloseSession();

    // May be called from any thread: the running transfer ends within milliseconds and every
    // later FetchPage returns empty text at once.
    void Abort();
    bool IsAborted() const { return m_bAbort.load(); }

private:
    enum class Outcome { kDone, kFailedBeforeRequest, kFailed };

    Outcome RunTransfer();
    void WaitBeforeRetry();
    static std::size_t OnBody(char* pData, std::size_t nSize, std::size_t nCount, void* pUser);
    static std::size_t OnHeader(char* pData, std::size_t nSize, std::size_t nCount, void* pUser);
    static int OnRequestReady(void* pUser, char*, char*, int, int);

    using Clock = std::chrono::steady_clock;

    FetchTimeouts m_timeouts;
    CURLM* m_pMulti = nullptr;
    CURL* m_pSession = nullptr;
    curl_slist* m_pHeaders = nullptr;
    std::string m_strBody;
    bool m_bBodyTooLarge = false;
    PageFailure m_failure;
    bool m_bRequestSent = false;
    Clock::time_point m_lastByte;
    std::atomic<bool> m_bAbort{false};
    // Guards the multi handle against Abort while the session closes.
    std::mutex m_mutex;
};

// The body as the page text: pieces as a line reader delivers them (a line with its line feed, or
// the next 4095 bytes of a longer line), each cut at its first zero byte, line feeds as CR LF.
std::string ConvertPageBody(std::string_view body);

}  // namespace vesk
