#pragma once

#include <QObject>
#include <QPointer>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace vesk {

class ThreadStore;

// The search index of a library made before it, made in the background once the window starts:
// a step at a time on a connection of its own, so that the window, the watch and other programs
// go on meanwhile. progress is told how far it has come, on pContext's thread; done once it is
// complete. Gone, it stops within a moment: what it indexed stays.
class IndexBuilding final {
public:
    using Progress = std::function<void(std::int64_t nDone, std::int64_t nTotal)>;
    IndexBuilding(std::string strFile, QObject* pContext, Progress progress,
                  std::function<void()> done);
    ~IndexBuilding();
    IndexBuilding(const IndexBuilding&) = delete;
    IndexBuilding& operator=(const IndexBuilding&) = delete;

    // Until the index is complete, or the building stopped.
    bool IsRunning() const { return m_bRunning; }

private:
    void Work();
    // Calls on the window's thread, unless the building has gone.
    void Post(std::function<void()> call);

    std::string m_strFile;
    QPointer<QObject> m_pContext;
    Progress m_progress;
    std::function<void()> m_done;
    std::shared_ptr<std::atomic<bool>> m_pAlive = std::make_shared<std::atomic<bool>>(true);
    std::atomic<bool> m_bRunning = true;
    std::atomic<bool> m_bStop = false;
    std::mutex m_mutex;
    ThreadStore* m_pStore = nullptr;  // under m_mutex
    std::thread m_worker;
};

}  // namespace vesk
