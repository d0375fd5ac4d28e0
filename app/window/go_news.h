#pragma once

#include "fetch_thread.h"
#include "forum_address.h"
#include "page_loop.h"
#include "window_bar.h"

#include <functional>
#include <memory>

namespace vesk {

class GoKeeper;
class WindowLibrary;

// What a go tells beyond its page: the pages it reads are kept in the library as the worker
// reads them, and the bar says how its reading ended with what may follow — reading again, or the
// whole thread. A thread the library keeps already is said at once, with its posts not read, and
// 打开帖子库中的本帖 offered.
class GoNews final {
public:
    struct Window {
        // The go again, as the go button would.
        std::function<void()> again;
        // The thread of the go read whole into the library.
        std::function<void()> whole;
        // Nothing was read: the page of the thread read before is no longer what the address
        // names.
        std::function<void()> nothingRead;
        // The thread of the go as the library keeps it, at its first post not read.
        std::function<void()> openKept;
    };

    GoNews(WindowLibrary& library, WindowBar& bar, Window window);
    ~GoNews();
    GoNews(const GoNews&) = delete;
    GoNews& operator=(const GoNews&) = delete;

    // A go of this thread starts with these settings: its pages will be kept.
    void Start(const ThreadKey& key, FetchSettings& settings);
    // How the worker's reading ended, told just before its answer.
    void Ended(const ReadingEnd& end) { m_end = end; }
    // The worker has answered: what its keeping of pages came to.
    void Finish();
    // How its reading ended, in the bar.
    void Tell();
    // The bar's action on how the reading ended.
    void Act();
    // F5: the thread of the go or shown (when bShown) brought up to date through the library
    // when it is kept, else read again; nothing while the library cannot say, which the bar
    // tells.
    void Refresh(const ThreadKey& key, bool bShown);

private:
    WindowLibrary& m_library;
    WindowBar& m_bar;
    Window m_window;
    std::shared_ptr<GoKeeper> m_pKeeper;
    ReadingEnd m_end;
    // Whether the library held the thread of the last go before it started.
    bool m_bKeptBefore = false;
    ThreadKey m_key;
    // Whether the bar offers the kept thread.
    bool m_bOffersKept = false;
    // The sentence on the kept thread, with its posts not read now; empty when it is not kept.
    QString KeptNews();
};

}  // namespace vesk
