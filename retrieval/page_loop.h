#pragma once

#include "page_fetcher.h"

#include <functional>
#include <string>

namespace vesk {

// How a reading of a thread's pages ended.
struct ReadingEnd {
    enum class Kind {
        kEndOfThread,   // a page without posts after pages with posts
        kNothingFound,  // the first page held no post: it answered without any, or failed
        kFailedPage,    // a later page could not be had
        kPageLimit,     // the most pages a reading takes were read; the next was not asked for
        kPostLimit,     // no more posts could be taken; the next page was not asked for
        kStopped,       // the reading was stopped from outside
    };
    Kind kind = Kind::kEndOfThread;
    int nPage = 0;        // the page that ended it; for the limits, the last page read
    int nPagesRead = 0;   // pages whose posts were taken
    int nPosts = 0;       // posts taken, as the taker counts them
    PageFailure failure;  // why page nPage could not be had; kNone when it answered
    friend bool operator==(const ReadingEnd&, const ReadingEnd&) = default;
};

// Reads pages nFirst, nFirst + 1, ... through the fetcher's open session, handing each page that
// holds posts to takePage in page order, until a page without posts or one that cannot be had,
// nMaxPages pages, or takePage answers that it can take no more. nPosts is left 0.
ReadingEnd ReadPages(PageFetcher& fetcher, const std::function<std::string(int nPage)>& address,
                     int nFirst, int nMaxPages,
                     const std::function<bool(int nPage, const std::string& strPage)>& takePage);

// Why a page could not be had, in a few words of the interface's language (UTF-8).
std::string DescribeFailure(const PageFailure& failure);
// The reading's end in one sentence of the interface's language (UTF-8), as the window's bar and
// the fetch tool say it.
std::string DescribeReadingEnd(const ReadingEnd& end);

}  // namespace vesk
