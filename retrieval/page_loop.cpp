#include "page_loop.h"

#include "text_cut.h"

#include <algorithm>
#include <deque>
#include <limits>
#include <optional>

namespace vesk {

namespace {

// Every post begins with its floor; a page without it holds no post.
constexpr std::string_view kPostMarker = "<div class=louceng>";

}  // namespace

bool PagesSeen::Add(const std::vector<PostFields>& posts) {
    // FNV-1a over each post's floor, author and time, each field led by its length.
    std::uint64_t nHash = 14695981039346656037ull;
    const auto mix = [&](const void* pData, std::size_t nSize) {
        for (std::size_t i = 0; i < nSize; ++i) {
            nHash = (nHash ^ static_cast<const unsigned char*>(pData)[i]) * 1099511628211ull;
        }
    };
    for (const PostFields& post : posts) {
        for (const std::string_view field : {post.author, post.time}) {
            const std::size_t nSize = field.size();
            mix(&nSize, sizeof nSize);
            mix(field.data(), field.size());
        }
        mix(&post.nFloor, sizeof post.nFloor);
    }
    return m_pages.insert(nHash).second;
}

namespace {

// One reading of a thread's pages, step by step.
class PageReading final {
public:
    PageReading(PageFetcher& fetcher, std::string_view strBase, const ThreadKey& key, int nFirst,
                int nMaxPages, const std::function<PageTaken(const LoopPage& page)>& takePage,
                const ReadOptions& options)
        : m_fetcher(fetcher),
          m_strBase(strBase),
          m_key(key),
          m_nEnd(nFirst + nMaxPages),
          m_takePage(takePage),
          m_options(options),
          m_seen(options.pSeen != nullptr ? *options.pSeen : m_ownSeen),
          m_nNext(nFirst),
          m_nWindow(options.nWindow),
          m_nFullest(options.nFullestKnown) {}

    ReadingEnd Run();

private:
    using Kind = ReadingEnd::Kind;

    void StartRequests();
    // Refused for now: asked again alone, after the wait the forum names. False when the answer
    // is to be judged as it stands; bStopped when the wait was stopped.
    bool AskAgain(int nPage, const PageFailure& failure, bool& bStopped);
    // The page in hand, judged; the reading's end when it ends it.
    std::optional<ReadingEnd> Take(int nPage, const std::string& strPage,
                                   const PageFailure& failure);
    ReadingEnd Finish(Kind kind);
    // The page asked for lies past the thread's end: nothing was found when it was the first.
    ReadingEnd PastEnd() {
        return Finish(m_end.nPagesRead == 0 ? Kind::kNothingFound : Kind::kEndOfThread);
    }

    static constexpr int kMaxRetries = 2;
    static constexpr std::chrono::seconds kLongestWait{60};

    PageFetcher& m_fetcher;
    std::string_view m_strBase;
    const ThreadKey& m_key;
    const int m_nEnd;  // the first page never asked for
    const std::function<PageTaken(const LoopPage& page)>& m_takePage;
    const ReadOptions& m_options;
    PagesSeen m_ownSeen;
    PagesSeen& m_seen;
    ReadingEnd m_end;
    std::vector<PostFields> m_posts;
    std::string m_strFinal;
    std::deque<std::pair<int, int>> m_inFlight;  // page, transfer
    int m_nNext;
    int m_nWindow;
    int m_nAllowed = 1;
    int m_nFullest;
    long m_nRoom = std::numeric_limits<int>::max();
    int m_nRetries = 0;
};

ReadingEnd PageReading::Run() {
    while (true) {
        StartRequests();
        if (m_inFlight.empty()) {
            m_end.nPage = m_nNext - 1;
            return Finish(m_nNext >= m_nEnd && !m_fetcher.IsAborted() ? Kind::kPageLimit
                                                                      : Kind::kStopped);
        }
        const auto [nPage, nTransfer] = m_inFlight.front();
        m_inFlight.pop_front();
        PageFailure failure;
        const std::string strPage = m_fetcher.Wait(nTransfer, failure, &m_strFinal);
        bool bStopped = false;
        if (AskAgain(nPage, failure, bStopped)) {
            if (!bStopped) {
                continue;
            }
            m_end.nPage = nPage;
            m_end.failure = {PageFailure::Kind::kAborted};
            return Finish(Kind::kStopped);
        }
        if (std::optional<ReadingEnd> end = Take(nPage, strPage, failure)) {
            return *end;
        }
    }
}

void PageReading::StartRequests() {
    while (static_cast<int>(m_inFlight.size()) < m_nAllowed && m_nNext < m_nEnd &&
           static_cast<long>(m_inFlight.size()) * m_nFullest < m_nRoom) {
        const int nTransfer = m_fetcher.Start(ThreadPageRequest(m_strBase, m_key, m_nNext));
        if (nTransfer == 0) {
            break;
        }
        m_inFlight.emplace_back(m_nNext++, nTransfer);
    }
}

bool PageReading::AskAgain(int nPage, const PageFailure& failure, bool& bStopped) {
    const bool bBusy = failure.kind == PageFailure::Kind::kHttpStatus &&
                       (failure.nHttpStatus == 429 || failure.nHttpStatus == 503);
    const std::chrono::seconds wait{failure.nRetryAfter >= 0 ? failure.nRetryAfter
                                                             : (m_nRetries == 0 ? 2 : 4)};
    if (!bBusy || m_nRetries >= kMaxRetries || wait > kLongestWait) {
        m_nRetries = 0;
        return false;
    }
    ++m_nRetries;
    for (const auto& [nLater, nLaterTransfer] : m_inFlight) {
        m_fetcher.Cancel(nLaterTransfer);
    }
    m_inFlight.clear();
    m_nNext = nPage;
    m_nWindow = m_nAllowed = 1;
    bStopped = !m_fetcher.Sleep(wait);
    return true;
}

std::optional<ReadingEnd> PageReading::Take(int nPage, const std::string& strPage,
                                            const PageFailure& failure) {
    m_end.nPage = nPage;
    // A board answers a page past the end with another page of the thread, by a redirect or by
    // serving it again: the thread ends before it.
    const int nLanded = m_strFinal.empty() ? nPage : ThreadPageNumber(m_strFinal, m_key);
    const bool bElsewhere = nLanded == 0;
    if (nLanded != nPage && !bElsewhere) {
        return PastEnd();
    }
    if (bElsewhere && m_options.bOwnPagesOnly && nPage == 1 &&
        failure.kind == PageFailure::Kind::kNone) {
        m_end.failure = {PageFailure::Kind::kRedirected};
        return PastEnd();
    }
    // A failed download (empty text) ends the thread the same way as a page without posts.
    if (FindMarker(strPage, kPostMarker) == std::string_view::npos) {
        m_end.failure = failure;
        return Finish(failure.kind == PageFailure::Kind::kAborted ? Kind::kStopped
                      : m_end.nPagesRead == 0                     ? Kind::kNothingFound
                      : failure.kind == PageFailure::Kind::kNone  ? Kind::kEndOfThread
                                                                  : Kind::kFailedPage);
    }
    m_posts.clear();
    PostCutter cutter(strPage);
    for (PostFields post; cutter.Next(post);) {
        m_posts.push_back(post);
    }
    // A page without posts never repeats another: it lets the reading go on.
    if (!m_posts.empty() && !m_seen.Add(m_posts)) {
        m_end.bRepeat = true;
        return PastEnd();
    }
    const PageTaken taken = m_takePage({nPage, strPage, m_posts, bElsewhere});
    if (taken.bPastEnd) {
        return PastEnd();
    }
    ++m_end.nPagesRead;
    if (taken.nRoom <= 0) {
        return Finish(Kind::kPostLimit);
    }
    m_nRoom = taken.nRoom;
    m_nAllowed = taken.nPosts >= m_nFullest ? m_nWindow : 1;
    m_nFullest = std::max(m_nFullest, taken.nPosts);
    return std::nullopt;
}

ReadingEnd PageReading::Finish(Kind kind) {
    for (const auto& [nPage, nTransfer] : m_inFlight) {
        m_fetcher.Cancel(nTransfer);
    }
    m_end.kind = kind;
    return m_end;
}

}  // namespace

ReadingEnd ReadPages(PageFetcher& fetcher, std::string_view strBase, const ThreadKey& key,
                     int nFirst, int nMaxPages,
                     const std::function<PageTaken(const LoopPage& page)>& takePage,
                     const ReadOptions& options) {
    return PageReading(fetcher, strBase, key, nFirst, nMaxPages, takePage, options).Run();
}

std::string DescribeFailure(const PageFailure& failure) {
    switch (failure.kind) {
        case PageFailure::Kind::kNone:
            return {};
        case PageFailure::Kind::kHttpStatus:
            return "HTTP " + std::to_string(failure.nHttpStatus);
        case PageFailure::Kind::kRefused:
            return "连接被拒绝";
        case PageFailure::Kind::kTimedOut:
            return "超时";
        case PageFailure::Kind::kTooLarge:
            return "页面过大";
        case PageFailure::Kind::kStalled:
            return "传输中断";
        case PageFailure::Kind::kAborted:
            return "已停止";
        case PageFailure::Kind::kRedirected:
            return "转到了别的地址";
        case PageFailure::Kind::kNetwork:
            break;
    }
    return "网络错误";
}

std::string DescribeReadingEnd(const ReadingEnd& end) {
    const std::string page = "第" + std::to_string(end.nPage) + "页";
    const std::string pages = std::to_string(end.nPagesRead) + "页";
    const std::string posts = std::to_string(end.nPosts) + "帖";
    switch (end.kind) {
        case ReadingEnd::Kind::kEndOfThread:
            return "本帖已读完：共" + pages + posts;
        case ReadingEnd::Kind::kNothingFound:
            if (end.failure.kind == PageFailure::Kind::kRedirected) {
                return "没有读到帖子：" + page + "转到了别的地址，请检查帖子地址";
            }
            return end.failure.kind == PageFailure::Kind::kNone
                       ? "没有读到帖子：" + page + "上没有帖子，请检查帖子地址"
                       : "没有读到帖子：" + page + "读取失败（" + DescribeFailure(end.failure) +
                             "）";
        case ReadingEnd::Kind::kFailedPage:
            return page + "读取失败（" + DescribeFailure(end.failure) + "），只显示了前" + pages +
                   "的" + posts;
        case ReadingEnd::Kind::kPageLimit:
            return "本帖至少有" + pages + "，只显示了前" + pages + "的" + posts;
        case ReadingEnd::Kind::kPostLimit:
            return "本帖至少有" + posts + "，只显示了前" + posts + "（前" + pages + "）";
        case ReadingEnd::Kind::kStopped:
            break;
    }
    return "读取已停止";
}

}  // namespace vesk
