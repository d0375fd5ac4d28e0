#include "page_loop.h"

#include "text_cut.h"

namespace vesk {

namespace {

// Every post begins with its floor; a page without it holds no post.
constexpr std::string_view kPostMarker = "<div class=louceng>";

}  // namespace

ReadingEnd ReadPages(PageFetcher& fetcher, const std::function<std::string(int nPage)>& address,
                     int nFirst, int nMaxPages,
                     const std::function<bool(int nPage, const std::string& strPage)>& takePage) {
    ReadingEnd end;
    for (int nPage = nFirst; nPage < nFirst + nMaxPages; ++nPage) {
        const std::string strPage = fetcher.FetchPage(address(nPage).c_str());
        // A failed download (empty text) ends the thread the same way as a page without posts.
        if (FindMarker(strPage, kPostMarker) == std::string_view::npos) {
            end.nPage = nPage;
            end.failure = fetcher.LastFailure();
            using Kind = ReadingEnd::Kind;
            end.kind = end.failure.kind == PageFailure::Kind::kAborted ? Kind::kStopped
                       : end.nPagesRead == 0                           ? Kind::kNothingFound
                       : end.failure.kind == PageFailure::Kind::kNone  ? Kind::kEndOfThread
                                                                       : Kind::kFailedPage;
            return end;
        }
        ++end.nPagesRead;
        end.nPage = nPage;
        if (!takePage(nPage, strPage)) {
            end.kind = ReadingEnd::Kind::kPostLimit;
            return end;
        }
    }
    end.kind = ReadingEnd::Kind::kPageLimit;
    return end;
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
