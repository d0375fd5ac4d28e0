#pragma once

#include "forum_address.h"
#include "thread_reader.h"
#include "watch_notice.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace vesk {

// The watched threads' quiet refresh while the viewer runs. Every period each thread watched when
// the period began gets its turn at a random moment within it; one turn runs at a time, on a
// thread of its own, and only while the window is free (busy says when it is not). A turn that
// the window stops comes again as soon as the window is free.
class BackgroundRefresh final : public QObject {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds kPeriod = std::chrono::minutes(10);

    BackgroundRefresh(std::string strLibraryFile, RefreshSettings settings,
                      std::function<bool()> busy, QObject* pParent = nullptr);
    ~BackgroundRefresh() override;

    // Starts a new period of this length now.
    void Start(std::chrono::milliseconds period = kPeriod);
    // Stops the turn that runs, if any; it is taken again when the window is free.
    void Yield();
    bool IsRunning() const { return m_pTask != nullptr; }
    // Whether the turns from the next on fetch the pictures of what they read.
    void SetPictures(bool bPictures) { m_settings.bPictures = bPictures; }

    // Called after a turn that found new posts: what the library holds has changed.
    std::function<void()> changed;
    // Called when a turn found posts by the starter, with what the notification says.
    std::function<void(const ThreadKey& key, const WatchNotice& notice)> starterPosted;
    // Called for each person followed a turn found new posts of (the name in the board's bytes).
    std::function<void(const std::string& strName, const WatchNotice& notice)> personPosted;

private:
    struct Turn {
        std::chrono::milliseconds at;  // since the period began
        ThreadKey key;
    };
    void BeginPeriod();
    void ScheduleNext();
    void TakeTurn();
    // What a turn found, filled on the turn's thread.
    struct Found {
        bool bChanged = false;                                    // posts new, edited or deleted
        std::optional<WatchNotice> notice;                        // when the starter posted
        std::vector<std::pair<std::string, WatchNotice>> people;  // followed, who posted
    };
    void TurnDone(std::uint64_t nTurn, const Found& found);

    std::string m_strFile;
    RefreshSettings m_settings;
    std::function<bool()> m_busy;
    std::chrono::milliseconds m_period = kPeriod;
    QElapsedTimer m_periodClock;
    QTimer m_timer;
    std::deque<Turn> m_turns;
    std::minstd_rand m_random;
    std::unique_ptr<LibraryTask> m_pTask;
    ThreadKey m_running;
    std::uint64_t m_nTurn = 0;  // the turn that runs, or ran last
};

}  // namespace vesk
