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

// A page kept beyond the reading's callback, with its posts cut; they view into strText, whose
// buffer moves with it (a page with posts is far longer than a string keeps in itself).
struct HeldPage {
    HeldPage(const std::string& strPage, int nPage, const ThreadKey& key)
        : strText(strPage), page(CutPage(nPage, strText, key)) {}
    std::string strText;
    ReadPage page;
};

// The lowest floor on a page, ignoring posts without one; the largest value when it has none.
std::int32_t LowestFloor(const ReadPage& page) {
    std::int32_t nLowest = std::numeric_limits<std::int32_t>::max();
    for (const PostFields& post : page.posts) {
        if (post.nFloor != 0) {
            nLowest = std::min(nLowest, post.nFloor);
        }
    }
    return nLowest;
}

}  // namespace

RefreshOutcome RefreshThread(ThreadStore& store, PageFetcher& fetcher, const ThreadKey& key,
                             const RefreshSettings& settings) {
    const std::int64_t nWhen = NowMicroseconds();
    const auto address = [&](int nPage) {
        return ThreadPageRequest(settings.strBaseAddress, key, nPage);
    };
    RefreshOutcome outcome;
    int nPosts = 0;
    const auto keep = [&](const ReadPage& page) {
        outcome.changes += store.StorePage(key, page, nWhen);
        outcome.nLastPage = page.nPage;
        nPosts += static_cast<int>(page.posts.size());
        if (settings.progress) {
            settings.progress(page.nPage, nPosts);
        }
        return PageTaken{static_cast<int>(page.posts.size()), std::numeric_limits<int>::max()};
    };
    const auto keepAsRead = [&](int nPage, const std::string& strPage) {
        return keep(CutPage(nPage, strPage, key));
    };
    // Reads one page alone; its posts when it answered with some.
    const auto readOne = [&](int nPage, ReadingEnd& end) {
        std::optional<HeldPage> held;
        end = ReadPages(
            fetcher, address, nPage, 1,
            [&](int nRead, const std::string& strPage) {
                held.emplace(strPage, nRead, key);
                return PageTaken{static_cast<int>(held->page.posts.size()), 1};
            },
            1);
        return held;
    };

    const std::optional<StoredThread> stored = store.Find(key);
    if (!stored) {
        outcome.end =
            ReadPages(fetcher, address, 1, kMaxRefreshPages, keepAsRead, settings.nWindow);
    } else {
        const std::int32_t nHighest = store.HighestFloor(stored->nId);
        const int nResume = std::max(stored->nResumePage, 1);
        ReadingEnd end;
        std::deque<HeldPage> held;
        if (std::optional<HeldPage> page = readOne(nResume, end)) {
            held.push_back(std::move(*page));
        } else if (end.failure.kind != PageFailure::Kind::kNone) {
            // Page R could not be had: nothing is stepped over.
            outcome.end = end;
            outcome.result = RefreshOutcome::Result::kNothingRead;
            return outcome;
        }
        const bool bResumeHadPosts = !held.empty();
        // Posts before R moved back onto earlier pages: read back until a page overlaps.
        bool bBack = held.empty() || LowestFloor(held.front().page) > nHighest;
        for (int nPage = nResume - 1; bBack && nPage >= 1 && nPage >= nResume - kMostPagesBack;
             --nPage) {
            std::optional<HeldPage> page = readOne(nPage, end);
            if (!page && end.failure.kind != PageFailure::Kind::kNone) {
                // A failed page is never stepped over; what was read after it is not kept.
                outcome.end = end;
                outcome.result = RefreshOutcome::Result::kNothingRead;
                return outcome;
            }
            if (page) {
                bBack = LowestFloor(page->page) > nHighest;
                held.push_front(std::move(*page));
            }
        }
        for (const HeldPage& page : held) {
            keep(page.page);
        }
        if (bResumeHadPosts) {
            outcome.end = ReadPages(fetcher, address, nResume + 1, kMaxRefreshPages - nResume,
                                    keepAsRead, settings.nWindow, stored->nFullest);
        } else {
            outcome.end = end;
            outcome.end.kind = ReadingEnd::Kind::kEndOfThread;
            outcome.end.nPage = nResume;
        }
    }
    outcome.end.nPosts = nPosts;
    if (outcome.nLastPage > 0) {
        outcome.result = RefreshOutcome::Result::kRead;
        store.MarkComplete(store.Find(key)->nId);
    } else {
        outcome.result =
            stored ? RefreshOutcome::Result::kNothingRead : RefreshOutcome::Result::kNothingFound;
    }
    return outcome;
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

void GoKeeper::Keep(int nPage, const std::string& strPage) noexcept {
    if (!m_strError.empty()) {
        return;
    }
    try {
        if (m_pStore == nullptr) {
            m_pStore = std::make_unique<ThreadStore>(m_strFile);
        }
        m_pStore->StorePage(m_key, CutPage(nPage, strPage, m_key), m_nWhen, true);
        m_bKept = true;
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
