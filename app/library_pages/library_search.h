#pragma once

#include "post_search.h"

#include <QObject>
#include <QString>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace vesk {

class ThreadStore;

// Searches of the library on a thread of their own, with a connection of their own, so that the
// window never waits for one: a search asked while another runs ends that one, and only the last
// asked is answered.
class LibrarySearch final {
public:
    // What a search found, or why it could not run; nAsked numbers it as Ask did.
    struct Answer {
        int nAsked = 0;
        std::vector<SearchHit> hits;
        QString error;
        bool bIndexing = false;  // the index is being made: the posts were read instead
    };
    using Done = std::function<void(Answer answer)>;

    // done is called through pContext's queue on its thread, never after the destructor.
    LibrarySearch(std::string strFile, QObject* pContext, Done done);
    ~LibrarySearch();
    LibrarySearch(const LibrarySearch&) = delete;
    LibrarySearch& operator=(const LibrarySearch&) = delete;

    // Asks for a search; what it returns numbers its answer.
    int Ask(SearchQuery query);

private:
    void Work();

    std::string m_strFile;
    QObject* m_pContext;
    // Whether this object is there still, for answers already on their way.
    std::shared_ptr<bool> m_pAlive = std::make_shared<bool>(true);
    Done m_done;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::optional<SearchQuery> m_next;
    int m_nAsked = 0;
    bool m_bStop = false;
    // The worker's connection, opened when first needed; interrupted under the mutex.
    std::unique_ptr<ThreadStore> m_pStore;
    bool m_bRunning = false;
    std::thread m_worker;
};

}  // namespace vesk
