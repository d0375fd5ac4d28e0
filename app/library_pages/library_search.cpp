#include "library_search.h"

#include "thread_store.h"

#include <QMetaObject>
#include <filesystem>

namespace vesk {

namespace {

// A search waits only a moment for another program's write: the next keystroke asks again.
constexpr int kSearchWaitMs = 500;

}  // namespace

LibrarySearch::LibrarySearch(std::string strFile, QObject* pContext, Done done)
    : m_strFile(std::move(strFile)),
      m_pContext(pContext),
      m_done(std::move(done)),
      m_worker([this] { Work(); }) {}

LibrarySearch::~LibrarySearch() {
    *m_pAlive = false;
    {
        const std::lock_guard lock(m_mutex);
        m_bStop = true;
        if (m_bRunning && m_pStore != nullptr) {
            m_pStore->Interrupt();
        }
    }
    m_wake.notify_one();
    m_worker.join();
}

int LibrarySearch::Ask(SearchQuery query) {
    int nAsked = 0;
    {
        const std::lock_guard lock(m_mutex);
        m_next = std::move(query);
        nAsked = ++m_nAsked;
        if (m_bRunning && m_pStore != nullptr) {
            m_pStore->Interrupt();
        }
    }
    m_wake.notify_one();
    return nAsked;
}

void LibrarySearch::Work() {
    while (true) {
        SearchQuery query;
        Answer answer;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_bStop || m_next.has_value(); });
            if (m_bStop) {
                m_pStore.reset();
                return;
            }
            query = std::move(*m_next);
            m_next.reset();
            answer.nAsked = m_nAsked;
            m_bRunning = true;
        }
        try {
            // A library not made yet holds nothing to find, and is not made by a search.
            std::error_code error;
            if (m_pStore == nullptr && std::filesystem::exists(m_strFile, error)) {
                auto pStore = std::make_unique<ThreadStore>(m_strFile, true, kSearchWaitMs);
                const std::lock_guard lock(m_mutex);
                m_pStore = std::move(pStore);
            }
            if (m_pStore != nullptr) {
                answer.hits = m_pStore->Search(query);
                const SearchIndexState index = m_pStore->SearchIndex();
                answer.bIndexing = index.bPresent && !index.bComplete;
            }
        } catch (const LibraryError& error) {
            answer.error = QString::fromUtf8(error.what());
        }
        const std::lock_guard lock(m_mutex);
        m_bRunning = false;
        // A search given up for a later one, or for the end, is not answered.
        if (m_bStop || answer.nAsked != m_nAsked) {
            continue;
        }
        QMetaObject::invokeMethod(
            m_pContext,
            [done = m_done, pAlive = m_pAlive, answer = std::move(answer)]() mutable {
                if (*pAlive) {
                    done(std::move(answer));
                }
            },
            Qt::QueuedConnection);
    }
}

}  // namespace vesk
