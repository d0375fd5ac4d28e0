#include "background_refresh.h"

#include <algorithm>
#include <ctime>

namespace vesk {

namespace {

// How long a turn waits for a busy window before it looks again.
constexpr std::chrono::milliseconds kBusyWait = std::chrono::seconds(2);

}  // namespace

BackgroundRefresh::BackgroundRefresh(std::string strLibraryFile, RefreshSettings settings,
                                     std::function<bool()> busy, QObject* pParent)
    : QObject(pParent),
      m_strFile(std::move(strLibraryFile)),
      m_settings(std::move(settings)),
      m_busy(std::move(busy)),
      m_random(std::random_device()()) {
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &BackgroundRefresh::TakeTurn);
}

BackgroundRefresh::~BackgroundRefresh() {
    m_pTask.reset();
}

void BackgroundRefresh::Start(std::chrono::milliseconds period) {
    m_period = std::max(period, std::chrono::milliseconds(1));
    m_pTask.reset();
    BeginPeriod();
}

void BackgroundRefresh::BeginPeriod() {
    m_turns.clear();
    m_periodClock.start();
    std::vector<WatchedThread> watched;
    try {
        watched = ThreadStore(m_strFile).Watched();
    } catch (const LibraryError&) {
        // The home page tells of a library that cannot be used; the next period tries again.
    }
    std::uniform_int_distribution<long long> moment(0, m_period.count() - 1);
    for (WatchedThread& thread : watched) {
        m_turns.push_back({std::chrono::milliseconds(moment(m_random)), std::move(thread.key)});
    }
    std::sort(m_turns.begin(), m_turns.end(),
              [](const Turn& a, const Turn& b) { return a.at < b.at; });
    ScheduleNext();
}

void BackgroundRefresh::ScheduleNext() {
    const std::chrono::milliseconds elapsed(m_periodClock.elapsed());
    const std::chrono::milliseconds at = m_turns.empty() ? m_period : m_turns.front().at;
    m_timer.start(std::max(at - elapsed, std::chrono::milliseconds(0)));
}

void BackgroundRefresh::TakeTurn() {
    if (m_pTask != nullptr) {
        return;
    }
    if (m_turns.empty()) {
        BeginPeriod();
        return;
    }
    if (m_busy()) {
        m_timer.start(kBusyWait);
        return;
    }
    m_running = m_turns.front().key;
    m_turns.pop_front();
    const std::uint64_t nTurn = ++m_nTurn;
    const std::int64_t nNow = std::time(nullptr);
    // What the turn found comes back to this object's thread; nothing comes after Yield or the
    // end.
    auto pFound = std::make_shared<Found>();
    m_pTask = std::make_unique<LibraryTask>(
        m_strFile,
        [key = m_running, nNow, pFound, settings = m_settings](ThreadStore& store,
                                                               PageFetcher& fetcher) {
            std::vector<WatchedThread> watched = store.Watched();
            const auto it = std::find_if(watched.begin(), watched.end(),
                                         [&key](const WatchedThread& t) { return t.key == key; });
            if (it == watched.end()) {
                return;  // no longer watched
            }
            PageChanges changes;
            const std::int64_t nLastBefore = store.LastPostId();
            RefreshWatchedThread(
                store, fetcher, *it, settings, nNow,
                [&](const WatchReport& report) {
                    if (report.nStarterNew > 0) {
                        const std::optional<StoredThread> thread = store.Find(key);
                        pFound->notice = MakeWatchNotice(
                            report, thread ? store.NewestStarterBody(thread->nId) : std::string());
                    }
                },
                &changes);
            pFound->bChanged = changes.nNew + changes.nEdited + changes.nDeleted > 0;
            for (const PersonNews& news : store.FollowedNews(nLastBefore)) {
                pFound->people.emplace_back(news.strName, MakePersonNotice(news));
            }
        },
        [this, nTurn, pFound](const std::string& /*strError*/) {
            // A library or a session that failed is the next turn's to try again.
            QMetaObject::invokeMethod(
                this, [this, nTurn, pFound] { TurnDone(nTurn, *pFound); }, Qt::QueuedConnection);
        });
    if (!m_pTask->Start()) {
        m_pTask.reset();
        ScheduleNext();
    }
}

void BackgroundRefresh::TurnDone(std::uint64_t nTurn, const Found& found) {
    // A turn that was stopped meanwhile has been put back: its late answer is dropped.
    if (m_pTask == nullptr || nTurn != m_nTurn) {
        return;
    }
    m_pTask.reset();
    if (found.bChanged && changed) {
        changed();
    }
    if (found.notice && starterPosted) {
        starterPosted(m_running, *found.notice);
    }
    for (const auto& [strName, notice] : found.people) {
        if (personPosted) {
            personPosted(strName, notice);
        }
    }
    ScheduleNext();
}

void BackgroundRefresh::Yield() {
    if (m_pTask == nullptr) {
        return;
    }
    m_pTask.reset();
    // Again first, once the window is free.
    m_turns.push_front({std::chrono::milliseconds(0), m_running});
    m_timer.start(kBusyWait);
}

}  // namespace vesk
