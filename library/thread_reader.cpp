#include "thread_reader.h"

#include <chrono>
#include <deque>
#include <limits>
#include <set>
#include <system_error>

namespace vesk {

namespace {

constexpr int kMostPagesBack = 10;
// The pages read longest ago that each refresh reads again, beyond page 1 and those it resumes at:
// every page of a thread of P pages is read again within P / 4 refreshes, rounded up.
constexpr int kPagesChecked = 4;

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

// One refresh of a thread, step by step.
class RefreshRun final {
public:
    RefreshRun(ThreadStore& store, PageFetcher& fetcher, const ThreadKey& key,
               const RefreshSettings& settings)
        : m_store(store), m_fetcher(fetcher), m_key(key), m_settings(settings) {
        m_forward.nWindow = settings.nWindow;
        m_forward.bOwnPagesOnly = true;
        m_forward.pSeen = &m_seen;
    }

    RefreshOutcome Run();

private:
    using Kind = ReadingEnd::Kind;

    // bInOrder: the page was read in the refresh's run from page 1 and its resume page, not
    // again out of turn.
    PageTaken Keep(const ReadPage& page, bool bInOrder = true);
    // A page with the post marker but no post is not kept; the reading goes on past it.
    PageTaken KeepAsRead(const LoopPage& page);
    // Reads one page alone; its posts when it answered with some.
    std::optional<HeldPage> ReadOne(int nPage, ReadingEnd& end);
    ReadingEnd ReadOnFrom(int nPage);
    // Page 1, every time: the first post is the thread's summary, and its starter edits it.
    // False when the thread is no longer to be had.
    bool ReadFirstPage();
    // The page the refresh resumes at, and the pages before it that tell what moved; false when
    // one could not be had, and nothing after page 1 is kept then.
    bool ReadResumePage();
    // Whether page nPage, read, begins above the floor expected there.
    bool BeginsLate(const HeldPage& page, int nPage);
    // Reads again the pages read longest ago, as many as each refresh checks.
    void CheckOlderPages(std::int64_t nThread);
    // Reads page nPage again, with the pages before it that tell what moved, unless it was
    // checked already; false when one could not be had.
    bool CheckPage(int nPage, std::set<int>& checked);
    RefreshOutcome Finish();

    ThreadStore& m_store;
    PageFetcher& m_fetcher;
    const ThreadKey& m_key;
    const RefreshSettings& m_settings;
    const std::int64_t m_nWhen = NowMicroseconds();
    std::optional<StoredThread> m_stored;
    int m_nResume = 1;
    PagesSeen m_seen;
    ReadOptions m_forward;
    RefreshOutcome m_outcome;
    int m_nPosts = 0;
    int m_nPagesRead = 0;
    bool m_bResumeHadPosts = false;
};

RefreshOutcome RefreshRun::Run() {
    m_stored = m_store.Find(m_key);
    const KeptPages pages = m_stored ? m_store.PagesKept(m_stored->nId) : KeptPages{};
    m_nResume = std::max(pages.nResumePage, 1);
    m_forward.nFullestKnown = pages.nFullest;
    if (!m_stored || m_settings.bFull) {
        m_outcome.end = ReadOnFrom(1);
        return Finish();
    }
    if (!ReadFirstPage()) {
        return m_outcome;
    }
    if (m_nResume > 1 && !ReadResumePage()) {
        return Finish();
    }
    if (m_bResumeHadPosts) {
        m_outcome.end = AfterPagesRead(ReadOnFrom(m_nResume + 1));
    } else if (m_outcome.end.kind != Kind::kFailedPage) {
        m_outcome.end.kind = Kind::kEndOfThread;
    }
    return Finish();
}

PageTaken RefreshRun::Keep(const ReadPage& page, bool bInOrder) {
    const StoredPage stored = m_store.StorePage(m_key, page, m_nWhen);
    if (stored.nOwn == 0) {
        return PageTaken{0, 0, true};
    }
    m_outcome.changes += stored.changes;
    m_outcome.nLastPage = bInOrder ? page.nPage : m_outcome.nLastPage;
    m_nPosts += stored.nOwn;
    if (m_settings.progress) {
        m_settings.progress(page.nPage, m_nPosts);
    }
    return PageTaken{stored.nOwn, std::numeric_limits<int>::max()};
}

PageTaken RefreshRun::KeepAsRead(const LoopPage& page) {
    ++m_nPagesRead;
    return page.posts.empty() ? PageTaken{0, std::numeric_limits<int>::max()}
                              : Keep(AsReadPage(page, m_key));
}

// A page after page 1 that answers without posts of its own is no page of the thread any more: its
// row goes, so that the next refresh resumes before it.
std::optional<HeldPage> RefreshRun::ReadOne(int nPage, ReadingEnd& end) {
    std::optional<HeldPage> held;
    ReadOptions one = m_forward;
    one.nWindow = 1;
    end = ReadPages(
        m_fetcher, m_settings.strBaseAddress, m_key, nPage, 1,
        [&](const LoopPage& page) {
            ++m_nPagesRead;
            if (!page.posts.empty()) {
                held.emplace(page.strText, nPage, m_key);
            }
            return PageTaken{static_cast<int>(page.posts.size()), 1};
        },
        one);
    if (!held && nPage > 1 && m_stored && !end.bRepeat && !Unread(end) &&
        end.failure.kind == PageFailure::Kind::kNone) {
        m_store.ForgetPage(m_stored->nId, nPage);
    }
    return held;
}

ReadingEnd RefreshRun::ReadOnFrom(int nPage) {
    return ReadPages(
        m_fetcher, m_settings.strBaseAddress, m_key, nPage, m_settings.nMaxPages - m_nPagesRead,
        [this](const LoopPage& page) { return KeepAsRead(page); }, m_forward);
}

bool RefreshRun::ReadFirstPage() {
    ReadingEnd end;
    const std::optional<HeldPage> first = ReadOne(1, end);
    if (!first && end.kind != Kind::kPageLimit) {
        // No page 1, or none of this thread: the library stays as it was.
        m_outcome.end = end;
        m_outcome.result = RefreshOutcome::Result::kNothingRead;
        m_outcome.bGone =
            end.kind == Kind::kNothingFound && (end.failure.kind == PageFailure::Kind::kNone ||
                                                end.failure.kind == PageFailure::Kind::kRedirected);
        return false;
    }
    if (first) {
        Keep(first->page);
    }
    m_bResumeHadPosts = first.has_value();
    m_outcome.end = end;
    return true;
}

bool RefreshRun::ReadResumePage() {
    ReadingEnd end;
    std::deque<HeldPage> held;
    if (std::optional<HeldPage> page = ReadOne(m_nResume, end)) {
        held.push_back(std::move(*page));
    }
    m_bResumeHadPosts = !held.empty();
    if (held.empty() && Unread(end)) {
        m_outcome.end = AfterPagesRead(end);
        return false;
    }
    const std::int32_t nHighest = m_store.HighestFloor(m_stored->nId);
    // Posts before R moved back onto earlier pages: read back until a page overlaps.
    bool bBack = held.empty() || LowestFloor(held.front().page.posts) > nHighest;
    bool bOneBack = !bBack && BeginsLate(held.front(), m_nResume);
    const int nFarthest = std::max(2, m_nResume - kMostPagesBack);
    for (int nPage = m_nResume - 1; (bBack || bOneBack) && nPage >= nFarthest; --nPage) {
        bOneBack = false;
        std::optional<HeldPage> page = ReadOne(nPage, end);
        if (!page && Unread(end)) {
            // A failed page is never stepped over; what was read after it is not kept.
            m_outcome.end = AfterPagesRead(end);
            m_bResumeHadPosts = false;
            return false;
        }
        if (page) {
            bBack = LowestFloor(page->page.posts) > nHighest;
            held.push_front(std::move(*page));
        }
    }
    for (const HeldPage& page : held) {
        Keep(page.page);
    }
    m_outcome.end.kind = Kind::kEndOfThread;
    m_outcome.end.failure = {};
    return true;
}

// The page before tells whether the floor expected first on a page moved onto it or was deleted.
bool RefreshRun::BeginsLate(const HeldPage& page, int nPage) {
    const std::vector<PostFields>& posts = page.page.posts;
    const std::int32_t nBefore = m_store.FloorBefore(m_stored->nId, nPage);
    const std::size_t nFirstOwn = FirstOwnPost(posts, nBefore);
    return nFirstOwn < posts.size() && posts[nFirstOwn].nFloor != 0 &&
           posts[nFirstOwn].nFloor > m_store.LowestFloorAbove(m_stored->nId, nBefore);
}

RefreshOutcome RefreshRun::Finish() {
    m_outcome.end.nPosts = m_nPosts;
    m_outcome.end.nPagesRead = m_nPagesRead;
    if (m_outcome.nLastPage == 0) {
        m_outcome.result =
            m_stored ? RefreshOutcome::Result::kNothingRead : RefreshOutcome::Result::kNothingFound;
        // Every page answered, none with a post of the thread.
        m_outcome.bGone = m_stored && m_outcome.end.kind == Kind::kEndOfThread;
        return m_outcome;
    }
    m_outcome.result = RefreshOutcome::Result::kRead;
    const std::int64_t nThread = m_store.Find(m_key)->nId;
    // Far before R the thread looks cut short, as a board that answers every page with its first
    // would make it: nothing is deleted for that.
    if (m_outcome.end.kind == Kind::kEndOfThread && m_outcome.nLastPage >= m_nResume - 1) {
        m_outcome.changes += m_store.EndOfThread(nThread, m_outcome.nLastPage, m_nWhen);
        if (m_stored && !m_settings.bFull) {
            CheckOlderPages(nThread);
        }
    }
    m_store.CatchUpSearchIndex();
    return m_outcome;
}

// Edits and deletions inside a thread show only on a page read again: once the reading has
// reached the thread's end, the pages read longest ago are read in turn.
void RefreshRun::CheckOlderPages(std::int64_t nThread) {
    std::set<int> checked;
    for (const int nPage : m_store.PagesReadBefore(nThread, m_nWhen, kPagesChecked)) {
        if (m_fetcher.IsAborted() || m_nPagesRead >= m_settings.nMaxPages ||
            !CheckPage(nPage, checked)) {
            return;
        }
    }
}

// A page that begins above the floor expected there is read with the pages before it, back to
// one that does not: a deletion shifts every later page's posts back by one.
bool RefreshRun::CheckPage(int nPage, std::set<int>& checked) {
    ReadingEnd end;
    std::deque<HeldPage> held;
    for (int n = nPage; n >= std::max(2, nPage - kMostPagesBack) && !checked.contains(n); --n) {
        std::optional<HeldPage> page = ReadOne(n, end);
        if (!page) {
            if (Unread(end)) {
                return false;
            }
            break;
        }
        checked.insert(n);
        held.push_front(std::move(*page));
        if (!BeginsLate(held.front(), n)) {
            break;
        }
    }
    for (const HeldPage& page : held) {
        Keep(page.page, false);
    }
    return true;
}

}  // namespace

RefreshOutcome RefreshThread(ThreadStore& store, PageFetcher& fetcher, const ThreadKey& key,
                             const RefreshSettings& settings) {
    RefreshOutcome outcome = RefreshRun(store, fetcher, key, settings).Run();
    if (settings.bPictures && outcome.result == RefreshOutcome::Result::kRead &&
        !fetcher.IsAborted()) {
        if (const std::optional<StoredThread> thread = store.Find(key)) {
            outcome.pictures = KeepPictures(store, fetcher, *thread, settings.strBaseAddress,
                                            settings.pictureProgress);
        }
    }
    return outcome;
}

std::string DescribeChanges(const PageChanges& changes) {
    if (changes.nNew == 0 && changes.nEdited == 0 && changes.nDeleted == 0) {
        return "没有新帖";
    }
    return "新帖 " + std::to_string(changes.nNew) + " 条（楼主 " +
           std::to_string(changes.nStarterNew) + " 条），修改 " + std::to_string(changes.nEdited) +
           " 条，删除 " + std::to_string(changes.nDeleted) + " 条";
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
    std::string strLine = "本次读到第" + strPage + "页：" + DescribeChanges(outcome.changes) + "。";
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
    const PicturesKept& pictures = outcome.pictures;
    if (pictures.nKept > 0 || pictures.nFailed > 0) {
        strLine += (strLine.ends_with("。") ? "" : "。") + std::string("图片存下") +
                   std::to_string(pictures.nKept) + "张";
        if (pictures.nFailed > 0) {
            strLine += "，" + std::to_string(pictures.nFailed) + "张未能取得，下次刷新再试";
        }
        strLine += "。";
    }
    return strLine;
}

WatchTurn RefreshWatchedThread(ThreadStore& store, PageFetcher& fetcher,
                               const WatchedThread& watched, const RefreshSettings& settings,
                               std::int64_t nNow,
                               const std::function<void(const WatchReport&)>& report,
                               PageChanges* pChanges) {
    constexpr int kFailuresBeforeRest = 3;
    constexpr std::int64_t kRestSeconds = 3600;
    if (watched.nFailures >= kFailuresBeforeRest && nNow - watched.nFailedAt < kRestSeconds) {
        return WatchTurn::kResting;
    }
    const RefreshOutcome outcome = RefreshThread(store, fetcher, watched.key, settings);
    if (pChanges != nullptr) {
        *pChanges = outcome.changes;
    }
    const bool bRead = outcome.result == RefreshOutcome::Result::kRead;
    if (fetcher.IsAborted() && !bRead) {
        return WatchTurn::kStopped;
    }
    if (const std::optional<StoredThread> thread = store.Find(watched.key)) {
        store.NoteRefresh(thread->nId, bRead, nNow);
        if (outcome.changes.nNew > 0) {
            report({watched.key, thread->strTitle, outcome.changes.nNew,
                    outcome.changes.nStarterNew, thread->strBoardName});
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

void LibraryTask::Interrupt() {
    m_bTellStopped = true;
    m_fetcher.Abort();
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
    if (!m_fetcher.IsAborted() || m_bTellStopped) {
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
            m_bKeptBefore = m_pStore->Find(m_key).has_value();
        }
        m_pStore->StorePage(m_key, AsReadPage(page, m_key), m_nWhen);
    } catch (const std::exception& error) {
        m_strError = error.what();
        m_pStore.reset();
    }
}

std::string GoKeeper::Finish() noexcept {
    try {
        if (m_pStore != nullptr) {
            m_pStore->CatchUpSearchIndex();
        }
    } catch (const std::exception&) {
        // The pages are kept: the index takes their posts at the next reading or opening, and
        // a search reads them itself until then.
    }
    m_pStore.reset();
    return m_strError;
}

}  // namespace vesk
