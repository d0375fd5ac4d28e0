#include "index_building.h"

#include "thread_store.h"

#include <QMetaObject>
#include <chrono>
#include <filesystem>

namespace vesk {

namespace {

// A step waits this long for another program's write before the building rests and asks again.
constexpr int kWaitMs = 2000;
// The window opens the library first (bringing an older one up to date); then steps short enough,
// with a rest between them, that the window's own writes never wait long for their turn.
constexpr auto kStartAfter = std::chrono::milliseconds(1000);
constexpr std::int64_t kStep = 500;
constexpr auto kRest = std::chrono::milliseconds(30);

}  // namespace

IndexBuilding::IndexBuilding(std::string strFile, QObject* pContext, Progress progress,
                             std::function<void()> done)
    : m_strFile(std::move(strFile)),
      m_pContext(pContext),
      m_progress(std::move(progress)),
      m_done(std::move(done)),
      m_worker([this] { Work(); }) {}

IndexBuilding::~IndexBuilding() {
    *m_pAlive = false;
    {
        const std::lock_guard lock(m_mutex);
        m_bStop = true;
        if (m_pStore != nullptr) {
            m_pStore->Interrupt();
        }
    }
    m_worker.join();
}

void IndexBuilding::Post(std::function<void()> call) {
    if (m_pContext == nullptr) {
        return;
    }
    QMetaObject::invokeMethod(
        m_pContext.data(),
        [pAlive = m_pAlive, call = std::move(call)] {
            if (*pAlive) {
                call();
            }
        },
        Qt::QueuedConnection);
}

void IndexBuilding::Work() {
    // A library not made yet is made with its index whole.
    std::error_code error;
    for (auto waited = std::chrono::milliseconds(0); waited < kStartAfter && !m_bStop;
         waited += kRest) {
        std::this_thread::sleep_for(kRest);
    }
    while (!m_bStop && std::filesystem::exists(m_strFile, error)) {
        try {
            ThreadStore store(m_strFile, false, kWaitMs);
            {
                const std::lock_guard lock(m_mutex);
                if (m_bStop) {
                    break;
                }
                m_pStore = &store;
            }
            const bool bComplete = store.ContinueSearchIndex(
                [this](std::int64_t nDone, std::int64_t nTotal) {
                    Post([this, nDone, nTotal] { m_progress(nDone, nTotal); });
                    std::this_thread::sleep_for(kRest);
                },
                kStep, [this] { return m_bStop.load(); });
            const std::lock_guard lock(m_mutex);
            m_pStore = nullptr;
            if (bComplete) {
                Post([this] { m_done(); });
            }
            break;
        } catch (const LibraryError& failure) {
            {
                const std::lock_guard lock(m_mutex);
                m_pStore = nullptr;
            }
            // Another program's long write: the next step waits its turn; any other failure
            // leaves the index to the next start, searches reading the posts meanwhile.
            if (!failure.IsBusy()) {
                break;
            }
            std::this_thread::sleep_for(kRest);
        }
    }
    m_bRunning = false;
}

}  // namespace vesk
