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

// What the taker did with a page: the posts it held, and how many more posts it can take.
struct PageTaken {
    int nPosts = 0;
    int nRoom = 0;  // 0: no more
};

// Reads pages nFirst, nFirst + 1, ... through the fetcher's open session, handing each page that
// holds posts to takePage strictly in page order, until a page without posts or one that cannot
// be had, nMaxPages pages, or a page after which takePage has no room. nPosts is left 0.
//
// Up to nWindow requests are in flight. The first is alone; after a page as full as the fullest
// so far the window opens, after a part-full one the next page is asked for alone. No page is
// asked for that the room left cannot take, counting each page in flight at the fullest page's
// posts. A 429 or 503 answer is asked again, at most twice, after its Retry-After (at most 60 s)
// or 2 s, then 4 s; the window is 1 from then on. nFullestKnown: the most posts a page of this
// thread held before, when the caller knows it.
ReadingEnd ReadPages(
    PageFetcher& fetcher, const std::function<std::string(int nPage)>& address, int nFirst,
    int nMaxPages, const std::function<PageTaken(int nPage, const std::string& strPage)>& takePage,
    int nWindow = 4, int nFullestKnown = 0);

// Why a page could not be had, in a few words of the interface's language (UTF-8).
std::string DescribeFailure(const PageFailure& failure);
// The reading's end in one sentence of the interface's language (UTF-8), as the window's bar and
// the fetch tool say it.
std::string DescribeReadingEnd(const ReadingEnd& end);

}  // namespace vesk
