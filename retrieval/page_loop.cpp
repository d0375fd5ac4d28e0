#include "page_loop.h"

#include "text_cut.h"

#include <algorithm>
#include <deque>
#include <limits>

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

ReadingEnd ReadPages(PageFetcher& fetcher, std::string_view strBase, const ThreadKey& key,
                     int nFirst, int nMaxPages,
                     const std::function<PageTaken(const LoopPage& page)>& takePage,
                     const ReadOptions& options) {
    using Kind = ReadingEnd::Kind;
    constexpr int kMaxRetries = 2;
    constexpr std::chrono::seconds kLongestWait{60};
    const int nEnd = nFirst + nMaxPages;  // the first page never asked for
    ReadingEnd end;
    PagesSeen ownSeen;
    PagesSeen& seen = options.pSeen != nullptr ? *options.pSeen : ownSeen;
    std::vector<PostFields> posts;
    std::string strFinal;
    std::deque<std::pair<int, int>> inFlight;  // page, transfer
    int nNext = nFirst;
    int nWindow = options.nWindow;
    int nAllowed = 1;
    int nFullest = options.nFullestKnown;
    long nRoom = std::numeric_limits<int>::max();
    int nRetries = 0;
    const auto finish = [&](Kind kind) {
        for (const auto& [nPage, nTransfer] : inFlight) {
            fetcher.Cancel(nTransfer);
        }
        end.kind = kind;
        return end;
    };
    // The page asked for lies past the thread's end: nothing was found when it was the first.
    const auto pastEnd = [&] {
        return finish(end.nPagesRead == 0 ? Kind::kNothingFound : Kind::kEndOfThread);
    };
    while (true) {
        while (static_cast<int>(inFlight.size()) < nAllowed && nNext < nEnd &&
               static_cast<long>(inFlight.size()) * nFullest < nRoom) {
            const int nTransfer = fetcher.Start(ThreadPageRequest(strBase, key, nNext));
            if (nTransfer == 0) {
                break;
            }
            inFlight.emplace_back(nNext++, nTransfer);
        }
        if (inFlight.empty()) {
            end.nPage = nNext - 1;
            return finish(nNext >= nEnd && !fetcher.IsAborted() ? Kind::kPageLimit
                                                                : Kind::kStopped);
        }
        const auto [nPage, nTransfer] = inFlight.front();
        inFlight.pop_front();
        PageFailure failure;
        const std::string strPage = fetcher.Wait(nTransfer, failure, &strFinal);
        // Refused for now: asked again alone, after the wait the forum names.
        const bool bBusy = failure.kind == PageFailure::Kind::kHttpStatus &&
                           (failure.nHttpStatus == 429 || failure.nHttpStatus == 503);
        const std::chrono::seconds wait{failure.nRetryAfter >= 0 ? failure.nRetryAfter
                                                                 : (nRetries == 0 ? 2 : 4)};
        if (bBusy && nRetries < kMaxRetries && wait <= kLongestWait) {
            ++nRetries;
            for (const auto& [nLater, nLaterTransfer] : inFlight) {
                fetcher.Cancel(nLaterTransfer);
            }
            inFlight.clear();
            nNext = nPage;
            nWindow = nAllowed = 1;
            if (!fetcher.Sleep(wait)) {
                end.nPage = nPage;
                end.failure = {PageFailure::Kind::kAborted};
                return finish(Kind::kStopped);
            }
            continue;
        }
        nRetries = 0;
        end.nPage = nPage;
        // A board answers a page past the end with another page of the thread, by a redirect or
        // by serving it again: the thread ends before it.
        const int nLanded = strFinal.empty() ? nPage : ThreadPageNumber(strFinal, key);
        const bool bElsewhere = nLanded == 0;
        if (nLanded != nPage && !bElsewhere) {
            return pastEnd();
        }
        if (bElsewhere && options.bOwnPagesOnly && failure.kind == PageFailure::Kind::kNone) {
            if (end.nPagesRead == 0) {
                end.failure = {PageFailure::Kind::kRedirected};
            }
            return pastEnd();
        }
        // A failed download (empty text) ends the thread the same way as a page without posts.
        if (FindMarker(strPage, kPostMarker) == std::string_view::npos) {
            end.failure = failure;
            return finish(failure.kind == PageFailure::Kind::kAborted ? Kind::kStopped
                          : end.nPagesRead == 0                       ? Kind::kNothingFound
                          : failure.kind == PageFailure::Kind::kNone  ? Kind::kEndOfThread
                                                                      : Kind::kFailedPage);
        }
        posts.clear();
        PostCutter cutter(strPage);
        for (PostFields post; cutter.Next(post);) {
            posts.push_back(post);
        }
        // A page without posts never repeats another: it lets the reading go on.
        if (!posts.empty() && !seen.Add(posts)) {
            return pastEnd();
        }
        const PageTaken taken = takePage({nPage, strPage, posts, bElsewhere});
        if (taken.bPastEnd) {
            return pastEnd();
        }
        ++end.nPagesRead;
        if (taken.nRoom <= 0) {
            return finish(Kind::kPostLimit);
        }
        nRoom = taken.nRoom;
        nAllowed = taken.nPosts >= nFullest ? nWindow : 1;
        nFullest = std::max(nFullest, taken.nPosts);
    }
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
