#pragma once

#include "forum_address.h"
#include "page_fetcher.h"
#include "post_extraction.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace vesk {

// How a reading of a thread's pages ended.
struct ReadingEnd {
    enum class Kind {
        kEndOfThread,   // a page without posts after pages with posts, or one past the thread's end
        kNothingFound,  // the first page held no post: it answered without any, or failed
        kFailedPage,    // a later page could not be had
        kPageLimit,     // the most pages a reading takes were read; the next was not asked for
        kPostLimit,     // no more posts could be taken; the next page was not asked for
        kStopped,       // the reading was stopped from outside
    };
    Kind kind = Kind::kEndOfThread;
    int nPage = 0;         // the page that ended it; for the limits, the last page read
    int nPagesRead = 0;    // pages whose posts were taken
    int nPosts = 0;        // posts taken, as the taker counts them
    PageFailure failure;   // why page nPage could not be had; kNone when it answered
    bool bRepeat = false;  // page nPage repeated one read before, post for post
    friend bool operator==(const ReadingEnd&, const ReadingEnd&) = default;
};

// One page with posts as the reading hands it on: its text, and its posts, cut once, which view
// into the text.
struct LoopPage {
    int nPage = 0;
    const std::string& strText;
    const std::vector<PostFields>& posts;
    // A redirect took it to an address that is no page of this thread (see bOwnPagesOnly).
    bool bElsewhere = false;
};

// What the taker did with a page: the posts it held, and how many more posts it can take.
struct PageTaken {
    int nPosts = 0;
    int nRoom = 0;  // 0: no more
    // Nothing on the page was its own: it lies past the thread's end, which the reading ends at.
    bool bPastEnd = false;
};

// The pages a reading has read, known by their posts (floor, author and time, post for post), so
// that a page a board serves again under another number is seen as such. One reading may share
// it between several calls of ReadPages.
class PagesSeen final {
public:
    // False when a page of the same posts was added before.
    bool Add(const std::vector<PostFields>& posts);

private:
    std::unordered_set<std::uint64_t> m_pages;
};

struct ReadOptions {
    // Page requests in flight at most.
    int nWindow = 4;
    // The most posts a page of this thread held before, when the caller knows it.
    int nFullestKnown = 0;
    // A page 1 that a redirect took away from this thread ends the reading instead of being
    // taken, as nothing found (a redirected failure): the thread is no longer there. A later page
    // that a board moved elsewhere is taken, as the go takes it.
    bool bOwnPagesOnly = false;
    // The pages read before in the same reading; the call keeps its own when it is null.
    PagesSeen* pSeen = nullptr;
};

// Reads pages nFirst, nFirst + 1, ... of a thread at the forum strBase through the fetcher's open
// session, handing each page that holds the post marker to takePage strictly in page order, until
// a page without it or one that cannot be had, nMaxPages pages, or a page after which takePage
// has no room. A page of posts that repeats one read before in this reading, or one that a
// redirect took to another page of this thread, is the thread's end and is not taken. nPosts is
// left 0.
//
// Up to nWindow requests are in flight. The first is alone; after a page as full as the fullest
// so far the window opens, after a part-full one the next page is asked for alone. No page is
// asked for that the room left cannot take, counting each page in flight at the fullest page's
// posts. A 429 or 503 answer is asked again, at most twice, after its Retry-After (at most 60 s)
// or 2 s, then 4 s; the window is 1 from then on.
ReadingEnd ReadPages(PageFetcher& fetcher, std::string_view strBase, const ThreadKey& key,
                     int nFirst, int nMaxPages,
                     const std::function<PageTaken(const LoopPage& page)>& takePage,
                     const ReadOptions& options = {});

// Why a page could not be had, in a few words of the interface's language (UTF-8).
std::string DescribeFailure(const PageFailure& failure);
// The reading's end in one sentence of the interface's language (UTF-8), as the window's bar and
// the fetch tool say it.
std::string DescribeReadingEnd(const ReadingEnd& end);

}  // namespace vesk
