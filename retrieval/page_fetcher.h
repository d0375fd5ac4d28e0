#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <map>
#include <memory>
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
        kRedirected,  // a redirect took it to an address that is no page of the thread asked for
    };
    Kind kind = Kind::kNone;
    long nHttpStatus = 0;
    // For a status answer: the seconds its Retry-After asks to wait, or -1 without one.
    long nRetryAfter = -1;
    friend bool operator==(const PageFailure&, const PageFailure&) = default;
};

// Downloads forum pages over HTTP on one session whose connections are kept and reused, several
// side by side with Start and Wait. A page that cannot be had is empty text, with the reason.
// Everything but Abort runs on the one thread that owns the fetcher.
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
    void CloseSession();

    // Starts downloading a page beside the others in flight; the number to wait for it by, or 0
    // when none can start (outside a session, or stopped). Its time-outs count from its start.
    int Start(const std::string& strUrl);
    // The same for a file other than a page (a picture): Wait gives its bytes as they came, and
    // one over nMaxBytes fails as too large.
    int StartFile(const std::string& strUrl, std::size_t nMaxBytes);
    // Waits until a started page has come or failed, while every other in flight goes on: its
    // text with every line feed turned into CR LF, or empty text, with why, when the page could
    // not be had with status 200. A transfer that never started (0) is empty text, stopped.
    // pFinalAddress, when given, receives the address redirects took the page to, or empty text
    // when it came from the address asked for.
    std::string Wait(int nTransfer, PageFailure& failure, std::string* pFinalAddress = nullptr);
    // Ends a started page's transfer; nothing of it is used.
    void Cancel(int nTransfer);
    // Waits; false at once when stopped.
    bool Sleep(std::chrono::milliseconds duration);

    // May be called from any thread: every running transfer ends within milliseconds, every wait
    // ends at once, and no later page starts.
    void Abort();
    bool IsAborted() const { return m_bAbort.load(); }

private:
    struct Transfer;
    using Clock = std::chrono::steady_clock;

    int StartTransfer(const std::string& strUrl, std::size_t nMaxBytes, bool bFile);
    // Adds a transfer's attempt to the session.
    bool Launch(Transfer& transfer);
    // Moves every transfer on once: curl's work, time-outs, ended attempts, new attempts; then
    // sleeps until there is more to do, unless the waited-for transfer has ended.
    void Pump(const Transfer& waited);
    void Finish(Transfer& transfer, PageFailure::Kind kind, int nResult);
    static std::size_t OnBody(char* pData, std::size_t nSize, std::size_t nCount, void* pUser);
    static std::size_t OnHeader(char* pData, std::size_t nSize, std::size_t nCount, void* pUser);
    static int OnRequestReady(void* pUser, char*, char*, int, int);

    FetchTimeouts m_timeouts;
    CURLM* m_pMulti = nullptr;
    // Holds the options every transfer's handle is copied from.
    CURL* m_pTemplate = nullptr;
    curl_slist* m_pHeaders = nullptr;
    std::map<int, std::unique_ptr<Transfer>> m_transfers;
    int m_nLastTransfer = 0;
    std::atomic<bool> m_bAbort{false};
    // Guards the multi handle against Abort while the session closes.
    std::mutex m_mutex;
};

// The body as the page text: pieces as a line reader delivers them (a line with its line feed, or
// the next 4095 bytes of a longer line), each cut at its first zero byte, line feeds as CR LF.
std::string ConvertPageBody(std::string_view body);

}  // namespace vesk
