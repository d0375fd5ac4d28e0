#include "thread_reader.h"

#include <chrono>
#include <deque>
#include <limits>
#include <system_error>

namespace vesk {

namespace {

constexpr int kMostPagesBack = 10;

std::int64_t NowMicroseconds() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// A page's posts, in page order, and on page 1 the thread's heading; they view into strText.
ReadPage CutPage(int nPage, std::string_view strText, const ThreadKey& key) {
    ReadPage page{nPage, {}, {}};
    PostCutter cutter(strText);
    PostFields post;
    while (cutter.Next(post)) {
        page.posts.push_back(post);
    }
    if (nPage == 1) {
        page.heading = CutThreadHeading(strText, key.strBoardCode);
    }
    return page;
}

// A page as the reading handed it on, to be stored; it views into the reading's text.
ReadPage AsReadPage(const LoopPage& page, const ThreadKey& key) {
    ReadPage read{page.nPage, page.posts, {}};
    if (page.nPage == 1) {
        read.heading = CutThreadHeading(page.strText, key.strBoardCode);
    }
    return read;
}

// A page kept beyond the reading's callback, with its posts cut; they view into strText, whose
// buffer moves with it (a page with posts is far longer than a string keeps in itself).
struct HeldPage {
    HeldPage(const std::string& strPage, int nPage, const ThreadKey& key)
        : strText(strPage), page(CutPage(nPage, strText, key)) {}
    std::string strText;
    ReadPage page;
};

// The lowest floor on a page, ignoring posts without one; the largest value when it has none.
std::int32_t LowestFloor(const std::vector<PostFields>& posts) {
    std::int32_t nLowest = std::numeric_limits<std::int32_t>::max();
    for (const PostFields& post : posts) {
        if (post.nFloor != 0) {
            nLowest = std::min(nLowest, post.nFloor);
        }
    }
    return nLowest;
}

// Whether a page read alone could not be had (or the reading was stopped), as against answering
// without posts of this thread.
bool Unread(const ReadingEnd& end) {
    return end.kind == ReadingEnd::Kind::kStopped ||
           (end.kind == ReadingEnd::Kind::kNothingFound &&
            end.failure.kind != PageFailure::Kind::kNone &&
            end.failure.kind != PageFailure::Kind::kRedirected);
}

// How a reading that began after pages already read in the same refresh ended: its first page
// without posts is the thread's end, or a page that failed.
ReadingEnd AfterPagesRead(ReadingEnd end) {
    if (end.kind == ReadingEnd::Kind::kNothingFound) {
        end.kind = end.failure.kind == PageFailure::Kind::kNone ||
                           end.failure.kind == PageFailure::Kind::kRedirected
                       ? ReadingEnd::Kind::kEndOfThread
                       : ReadingEnd::Kind::kFailedPage;
    }
    return end;
}

}  // namespace

RefreshOutcome RefreshThread(ThreadStore& store, PageFetcher& fetcher, const ThreadKey& key,
                             const RefreshSettings& settings) {
    using Kind = ReadingEnd::Kind;
    const std::int64_t nWhen = NowMicroseconds();
    RefreshOutcome outcome;
    int nPosts = 0;
    int nPagesRead = 0;
    const auto keep = [&](const ReadPage& page) {
        const StoredPage stored = store.StorePage(key, page, nWhen);
        if (stored.nOwn == 0) {
            return PageTaken{0, 0, true};
        }
        outcome.changes += stored.changes;
        outcome.nLastPage = page.nPage;
        nPosts += stored.nOwn;
        if (settings.progress) {
            settings.progress(page.nPage, nPosts);
        }
        return PageTaken{stored.nOwn, std::numeric_limits<int>::max()};
    };
    // A page with the post marker but no post is not kept; the reading goes on past it.
    const auto keepAsRead = [&](const LoopPage& page) {
        ++nPagesRead;
        return page.posts.empty() ? PageTaken{0, std::numeric_limits<int>::max()}
                                  : keep(AsReadPage(page, key));
    };
    PagesSeen seen;
    ReadOptions forward;
    forward.nWindow = settings.nWindow;
    forward.bOwnPagesOnly = true;
    forward.pSeen = &seen;
    // Reads one page alone; its posts when it answered with some.
    const auto readOne = [&](int nPage, ReadingEnd& end) {
        std::optional<HeldPage> held;
        ReadOptions one = forward;
        one.nWindow = 1;
        end = ReadPages(
            fetcher, settings.strBaseAddress, key, nPage, 1,
            [&](const LoopPage& page) {
                ++nPagesRead;
                if (!page.posts.empty()) {
                    held.emplace(page.strText, nPage, key);
                }
                return PageTaken{static_cast<int>(page.posts.size()), 1};
            },
            one);
        return held;
    };

    const std::optional<StoredThread> stored = store.Find(key);
    const KeptPages pages = stored ? store.PagesKept(stored->nId) : KeptPages{};
    const int nResume = std::max(pages.nResumePage, 1);
    forward.nFullestKnown = pages.nFullest;
    if (!stored || settings.bFull) {
        outcome.end = ReadPages(fetcher, settings.strBaseAddress, key, 1, settings.nMaxPages,
                                keepAsRead, forward);
    } else {
        // Page 1 every time: the first post is the thread's summary, and its starter edits it.
        ReadingEnd end;
        std::optional<HeldPage> first = readOne(1, end);
        if (!first && end.kind != Kind::kPageLimit) {
            // No page 1, or none of this thread: the library stays as it was.
            outcome.end = end;
            outcome.result = RefreshOutcome::Result::kNothingRead;
            outcome.bGone = end.kind == Kind::kNothingFound &&
                            (end.failure.kind == PageFailure::Kind::kNone ||
                             end.failure.kind == PageFailure::Kind::kRedirected);
            return outcome;
        }
        if (first) {
            keep(first->page);
        }
        bool bResumeHadPosts = first.has_value();
        outcome.end = end;
        if (nResume > 1) {
            std::deque<HeldPage> held;
            if (std::optional<HeldPage> page = readOne(nResume, end)) {
                held.push_back(std::move(*page));
            }
            // Page R could not be had: nothing after page 1 is stepped over.
            bool bFailed = held.empty() && Unread(end);
            bResumeHadPosts = !held.empty();
            const std::int32_t nHighest = store.HighestFloor(stored->nId);
            // Posts before R moved back onto earlier pages: read back until a page overlaps.
            bool bBack =
                !bFailed && (held.empty() || LowestFloor(held.front().page.posts) > nHighest);
            // R begins above the floor expected there: the page before tells whether that floor
            // moved onto it or was deleted.
            bool bOneBack = false;
            if (!bFailed && !bBack) {
                const std::vector<PostFields>& posts = held.front().page.posts;
                const std::int32_t nBefore = store.FloorBefore(stored->nId, nResume);
                const std::size_t nFirstOwn = FirstOwnPost(posts, nBefore);
                bOneBack = nFirstOwn < posts.size() && posts[nFirstOwn].nFloor != 0 &&
                           posts[nFirstOwn].nFloor > store.LowestFloorAbove(stored->nId, nBefore);
            }
            const int nFarthest = std::max(2, nResume - kMostPagesBack);
            for (int nPage = nResume - 1; (bBack || bOneBack) && nPage >= nFarthest; --nPage) {
                bOneBack = false;
                std::optional<HeldPage> page = readOne(nPage, end);
                if (!page && Unread(end)) {
                    // A failed page is never stepped over; what was read after it is not kept.
                    bFailed = true;
                    break;
                }
                if (page) {
                    bBack = LowestFloor(page->page.posts) > nHighest;
                    held.push_front(std::move(*page));
                }
            }
            if (bFailed) {
                outcome.end = AfterPagesRead(end);
                held.clear();
                bResumeHadPosts = false;
            }
            for (const HeldPage& page : held) {
                keep(page.page);
            }
            if (!bFailed) {
                outcome.end.kind = Kind::kEndOfThread;
                outcome.end.failure = {};
            }
        }
        if (bResumeHadPosts) {
            outcome.end =
                AfterPagesRead(ReadPages(fetcher, settings.strBaseAddress, key, nResume + 1,
                                         settings.nMaxPages - nPagesRead, keepAsRead, forward));
        } else if (outcome.end.kind != Kind::kFailedPage) {
            outcome.end.kind = Kind::kEndOfThread;
        }
    }
    outcome.end.nPosts = nPosts;
    outcome.end.nPagesRead = nPagesRead;
    if (outcome.nLastPage == 0) {
        outcome.result =
            stored ? RefreshOutcome::Result::kNothingRead : RefreshOutcome::Result::kNothingFound;
        // Every page answered, none with a post of the thread.
        outcome.bGone = stored && outcome.end.kind == Kind::kEndOfThread;
        return outcome;
    }
    outcome.result = RefreshOutcome::Result::kRead;
    const std::int64_t nThread = store.Find(key)->nId;
    // Far before R the thread looks cut short, as a board that answers every page with its first
    // would make it: nothing is deleted for that.
    if (outcome.end.kind == Kind::kEndOfThread && outcome.nLastPage >= nResume - 1) {
        outcome.changes += store.EndOfThread(nThread, outcome.nLastPage, nWhen);
    }
    store.MarkComplete(nThread);
    return outcome;
}

std::string DescribeRefresh(const RefreshOutcome& outcome, int nMaxPages) {
    switch (outcome.result) {
        case RefreshOutcome::Result::kRead:
            break;
        case RefreshOutcome::Result::kNothingFound:
            return DescribeReadingEnd(outcome.end);
        case RefreshOutcome::Result::kNothingRead:
            if (outcome.bGone) {
                return outcome.end.failure.kind == PageFailure::Kind::kRedirected
                           ? "本帖已不在论坛上：第1页转到了别的地址，帖子库中的本帖未作改动"
                           : "本帖已不在论坛上：第1页上没有帖子，帖子库中的本帖未作改动";
            }
            return DescribeReadingEnd(outcome.end);
    }
    const std::string strPage = std::to_string(outcome.nLastPage);
    std::string strLine = "本次读到第" + strPage + "页：新帖" +
                          std::to_string(outcome.changes.nNew) + "，修改" +
                          std::to_string(outcome.changes.nEdited) + "，删除" +
                          std::to_string(outcome.changes.nDeleted) + "。";
    switch (outcome.end.kind) {
        case ReadingEnd::Kind::kFailedPage:
        case ReadingEnd::Kind::kNothingFound:
            strLine += "第" + std::to_string(outcome.end.nPage) + "页读取失败（" +
                       DescribeFailure(outcome.end.failure) + "）";
            break;
        case ReadingEnd::Kind::kPageLimit:
            strLine += "一次最多读取" + std::to_string(nMaxPages) + "页，读到第" + strPage +
                       "页为止，下次刷新从这里接着读";
            break;
        case ReadingEnd::Kind::kStopped:
            strLine += "读取已停止";
            break;
        case ReadingEnd::Kind::kEndOfThread:
        case ReadingEnd::Kind::kPostLimit:
            break;
    }
    return strLine;
}

WatchTurn RefreshWatchedThread(ThreadStore& store, PageFetcher& fetcher,
                               const WatchedThread& watched, const RefreshSettings& settings,
                               std::int64_t nNow,
                               const std::function<void(const WatchReport&)>& report) {
    constexpr int kFailuresBeforeRest = 3;
    constexpr std::int64_t kRestSeconds = 3600;
    if (watched.nFailures >= kFailuresBeforeRest && nNow - watched.nFailedAt < kRestSeconds) {
        return WatchTurn::kResting;
    }
    const RefreshOutcome outcome = RefreshThread(store, fetcher, watched.key, settings);
    const bool bRead = outcome.result == RefreshOutcome::Result::kRead;
    if (fetcher.IsAborted() && !bRead) {
        return WatchTurn::kStopped;
    }
    if (const std::optional<StoredThread> thread = store.Find(watched.key)) {
        store.NoteRefresh(thread->nId, bRead, nNow);
        if (outcome.changes.nNew > 0) {
            report(
                {watched.key, thread->strTitle, outcome.changes.nNew, outcome.changes.nStarterNew});
        }
    }
    return bRead ? WatchTurn::kRead : WatchTurn::kNotRead;
}

bool RefreshWatchedThreads(ThreadStore& store, PageFetcher& fetcher,
                           const RefreshSettings& settings, std::int64_t nNow,
                           const std::function<void(const WatchReport&)>& report) {
    bool bAllRead = true;
    for (const WatchedThread& watched : store.Watched()) {
        if (fetcher.IsAborted()) {
            break;
        }
        const WatchTurn turn =
            RefreshWatchedThread(store, fetcher, watched, settings, nNow, report);
        bAllRead = bAllRead && (turn == WatchTurn::kRead || turn == WatchTurn::kResting);
    }
    return bAllRead;
}

LibraryTask::LibraryTask(std::string strLibraryFile, Work work,
                         std::function<void(const std::string& strError)> done)
    : m_strFile(std::move(strLibraryFile)), m_work(std::move(work)), m_done(std::move(done)) {}

LibraryTask::~LibraryTask() {
    Stop();
}

bool LibraryTask::Start() {
    try {
        m_thread = std::thread(&LibraryTask::Run, this);
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void LibraryTask::Stop() {
    m_fetcher.Abort();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void LibraryTask::Run() {
    std::string strError;
    if (!m_fetcher.OpenSession()) {
        strError = std::string(kNoSession);
    } else {
        try {
            ThreadStore store(m_strFile);
            m_work(store, m_fetcher);
        } catch (const std::exception& error) {
            strError = error.what();
        }
        m_fetcher.CloseSession();
    }
    if (!m_fetcher.IsAborted()) {
        m_done(strError);
    }
}

ThreadRefresher::ThreadRefresher(
    std::string strLibraryFile, ThreadKey key, RefreshSettings settings,
    std::function<void(const RefreshOutcome&, const std::string& strError)> done)
    : m_key(std::move(key)),
      m_task(
          std::move(strLibraryFile),
          [this, settings = std::move(settings)](ThreadStore& store, PageFetcher& fetcher) {
              m_outcome = RefreshThread(store, fetcher, m_key, settings);
          },
          [this, done = std::move(done)](const std::string& strError) {
              if (strError == LibraryTask::kNoSession) {
                  m_outcome.end.kind = ReadingEnd::Kind::kNothingFound;
                  m_outcome.end.failure.kind = PageFailure::Kind::kNetwork;
              }
              done(m_outcome, strError);
          }) {}

GoKeeper::GoKeeper(std::string strLibraryFile, ThreadKey key)
    : m_strFile(std::move(strLibraryFile)), m_key(std::move(key)), m_nWhen(NowMicroseconds()) {}

GoKeeper::~GoKeeper() = default;

void GoKeeper::Keep(const LoopPage& page) noexcept {
    if (!m_strError.empty() || page.posts.empty()) {
        return;
    }
    try {
        if (m_pStore == nullptr) {
            m_pStore = std::make_unique<ThreadStore>(m_strFile);
        }
        m_bKept = m_pStore->StorePage(m_key, AsReadPage(page, m_key), m_nWhen).nOwn > 0 || m_bKept;
    } catch (const std::exception& error) {
        m_strError = error.what();
        m_pStore.reset();
    }
}

std::string GoKeeper::Finish() noexcept {
    try {
        if (m_bKept && m_pStore != nullptr) {
            m_pStore->MarkComplete(m_pStore->Find(m_key)->nId);
        }
    } catch (const std::exception& error) {
        m_strError = error.what();
    }
    m_pStore.reset();
    return m_strError;
}

}  // namespace vesk
