// The reader's loop in the viewer's window on the demo forum's 120-page thread, read whole into a
// library of the bench's own: each round the forum gains 5 posts, and the thread is brought up to
// date (更新本帖) and shown; timed are the update from its start to the page on screen at the
// first new post, and the requests it made; then the opening of the kept thread where it lands
// (its first post not read, or the reading place), to that post on screen. Prints the medians and
// the extremes.
//   update_bench [ROUNDS] [LATENCY_MS]

#include "demo_forum.h"
#include "viewer_dialog.h"
#include "viewer_dialog_test_access.h"
#include "web_browser.h"
#include "window_bench.h"

#include <unistd.h>

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWebEngineView>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

namespace {

using vesk::bench::Clock;
using vesk::bench::Ms;
using vesk::bench::Report;
using vesk::bench::WaitUntil;

// Whether the post of this id is on screen, asked of the view.
bool OnScreen(vesk::ViewerDialog& dialog, const QString& id) {
    bool bDone = false;
    bool bShown = false;
    Access(dialog).m_browser->PostsOnScreen([&](const QStringList& ids, int) {
        bShown = ids.contains(id);
        bDone = true;
    });
    return WaitUntil([&] { return bDone; }, 5000) && bShown;
}

}  // namespace

int main(int argc, char** argv) {
    vesk::bench::PrepareWebEngine();
    QApplication app(argc, argv);
    const vesk::bench::PrivateHomes homes;
    const int nRounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    const int nLatencyMs = argc > 2 ? std::max(0, std::atoi(argv[2])) : 0;

    vesk::demo::DemoForum forum;
    if (!forum.Start()) {
        std::fprintf(stderr, "the demo forum did not start\n");
        return 1;
    }
    vesk::bench::BenchViewer viewer(forum);
    vesk::ViewerDialog& dialog = viewer.dialog;
    if (!viewer.Shown()) {
        return 1;
    }
    // Asked of the view only once a page has loaded: a question in the midst of a load lays the
    // page out again each time.
    bool bLoaded = false;
    QObject::connect(Access(dialog).m_browser->View(), &QWebEngineView::loadFinished,
                     [&bLoaded](bool) { bLoaded = true; });
    const vesk::ThreadKey diary{"600519", "1000005"};
    Access(dialog).ReadWholeThread(diary);
    if (!WaitUntil([&] { return !dialog.IsFetching(); }, 120000) ||
        !WaitUntil([&] { return bLoaded; }, 60000)) {
        std::fprintf(stderr, "the whole thread was not read\n");
        return 1;
    }
    forum.SetLatency(std::chrono::milliseconds(nLatencyMs));

    // The posts on screen stay unread while timed: the landing is where they are.
    Access(dialog).SeenTimer()->setInterval(24 * 3600 * 1000);
    Access(dialog).SeenTimer()->stop();

    std::vector<double> updates;
    std::vector<double> requests;
    std::vector<double> openings;
    for (int i = 0; i < nRounds; ++i) {
        forum.ChangeThread("1000005", [i](vesk::demo::SampleThread& thread) {
            vesk::demo::AppendSamplePosts(thread, 5, i % 2 == 0);
        });
        forum.ClearRequests();
        bLoaded = false;
        const Clock::time_point start = Clock::now();
        Access(dialog).ReadWholeThread(diary);
        const vesk::KeptThread* pKept = nullptr;
        int nFirst = -1;
        const bool bShown = WaitUntil(
            [&] {
                if (!bLoaded || dialog.IsFetching() || (pKept = Access(dialog).Kept()) == nullptr) {
                    return false;
                }
                nFirst = vesk::LandingPost(*pKept, false);
                return nFirst >= 0 && OnScreen(dialog, QStringLiteral("p%1").arg(nFirst));
            },
            60000);
        if (!bShown) {
            std::fprintf(stderr, "the update was not shown\n");
            return 1;
        }
        updates.push_back(Ms(Clock::now() - start));
        requests.push_back(static_cast<double>(forum.RequestedPaths().size()));

        // Opened again, it lands where the reader is: the first new post still not seen, or the
        // reading place.
        bLoaded = false;
        const Clock::time_point opening = Clock::now();
        const bool bOpened = Access(dialog).OpenKeptThread(diary);
        const int nLanding = bOpened ? vesk::LandingPost(*Access(dialog).Kept(), false) : -1;
        if (nLanding < 0 ||
            !WaitUntil(
                [&] { return bLoaded && OnScreen(dialog, QStringLiteral("p%1").arg(nLanding)); },
                20000)) {
            std::fprintf(stderr, "the kept thread did not open at its post %d\n", nLanding);
            return 1;
        }
        openings.push_back(Ms(Clock::now() - opening));
        // Read now, as the reader would have: the next round's news are the next 5 posts.
        Access(dialog).MarkAllSeen();
    }
    std::printf("forum latency %d ms\n", nLatencyMs);
    Report("update of 120 pages with 5 new posts, to them shown", updates, "ms");
    Report("requests of the update", requests, "  ");
    Report("open the kept thread at its landing post", openings, "ms");
    return 0;
}
