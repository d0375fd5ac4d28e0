// Opening kept threads in the viewer's window, from a library of the bench's own: a thread of
// 100,000 posts made in it directly (reading place at floor 50,000) and the demo forum's 120-page
// thread read whole (5,967 posts). Each round opens the long thread to its reading place on
// screen, switches it to the starter's posts and back (each to the post at the top on screen),
// and opens the demo thread to its landing post on screen. Prints the medians and extremes, and
// the memory of the viewer with its web engine's processes after opening each thread.
//   kept_open_bench [ROUNDS]

#include "demo_forum.h"
#include "kept_reading.h"
#include "long_thread.h"
#include "viewer_dialog.h"
#include "viewer_dialog_test_access.h"
#include "viewer_resources.h"
#include "web_browser.h"
#include "window_bench.h"

#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEngineView>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <vector>

namespace {

using vesk::bench::Clock;
using vesk::bench::Ms;
using vesk::bench::Report;
using vesk::bench::WaitUntil;

// The top post on screen, asked of the view.
QString TopOnScreen(vesk::ViewerDialog& dialog) {
    bool bDone = false;
    QString top;
    Access(dialog).m_browser->PostsOnScreen([&](const QStringList& ids, int) {
        top = ids.value(0);
        bDone = true;
    });
    return WaitUntil([&] { return bDone; }, 5000) ? top : QString();
}

// The resident memory of this process and every process below it (the web engine's), in MB.
double ResidentMb() {
    std::map<long, long> parents;
    std::map<long, long> kilobytes;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool bNumber = false;
        const long nPid = entry.toLong(&bNumber);
        QFile status(QStringLiteral("/proc/%1/status").arg(entry));
        if (!bNumber || !status.open(QIODevice::ReadOnly)) {
            continue;
        }
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("PPid:")) {
                parents[nPid] = line.mid(5).trimmed().toLong();
            } else if (line.startsWith("VmRSS:")) {
                kilobytes[nPid] = line.mid(6).trimmed().split(' ').value(0).toLong();
            }
        }
    }
    double dTotal = 0;
    for (const auto& [nPid, nKb] : kilobytes) {
        for (long nAt = nPid; nAt > 1; nAt = parents.count(nAt) != 0 ? parents[nAt] : 0) {
            if (nAt == getpid()) {
                dTotal += static_cast<double>(nKb) / 1024.0;
                break;
            }
        }
    }
    return dTotal;
}

}  // namespace

int main(int argc, char** argv) {
    vesk::bench::PrepareWebEngine();
    QApplication app(argc, argv);
    const vesk::bench::PrivateHomes homes;
    const int nRounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;

    const vesk::ThreadKey longThread{"600519", "3000000"};
    {
        vesk::ThreadStore store(vesk::DefaultLibraryFile());
        vesk::test::KeepLongThread(store, longThread, 2000);
        vesk::Database db(vesk::DefaultLibraryFile(), false, 1000);
        db.Execute("UPDATE thread SET read_post = (SELECT id FROM post WHERE floor = 50000)");
    }
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
    const vesk::ThreadKey diary{"600519", "1000005"};
    Access(dialog).ReadWholeThread(diary);
    if (!WaitUntil([&] { return !dialog.IsFetching(); }, 120000)) {
        std::fprintf(stderr, "the demo thread was not read\n");
        return 1;
    }
    // What is on screen stays unread while timed: the landing is where it was.
    Access(dialog).SeenTimer()->setInterval(24 * 3600 * 1000);
    bool bLoaded = false;
    QObject::connect(Access(dialog).m_browser->View(), &QWebEngineView::loadFinished,
                     [&bLoaded](bool bOk) { bLoaded = bLoaded || bOk; });
    // Shown: the page loaded and the post expected at the top of the view.
    const auto shown = [&](const QString& top) {
        return WaitUntil([&] { return bLoaded && TopOnScreen(dialog) == top; }, 20000);
    };
    const auto radio = [&](int nId) { return static_cast<QRadioButton*>(dialog.GetDlgItem(nId)); };

    std::vector<double> longOpenings, starterSwitches, allSwitches, demoOpenings;
    std::vector<double> longMemory, demoMemory;
    for (int i = 0; i < nRounds; ++i) {
        bLoaded = false;
        Clock::time_point start = Clock::now();
        Access(dialog).OpenKeptThread(longThread);
        if (!shown(QStringLiteral("p49999"))) {
            std::fprintf(stderr, "the long thread did not open at its reading place\n");
            return 1;
        }
        longOpenings.push_back(Ms(Clock::now() - start));
        QTest::qWait(300);
        longMemory.push_back(ResidentMb());

        // The page shown takes the other posts in place: no page loads.
        for (const int nId : {vesk::res::IDC_ONLY_STARTER, vesk::res::IDC_SHOW_ALL}) {
            start = Clock::now();
            QTest::mouseClick(radio(nId), Qt::LeftButton);
            const int nTop = Access(dialog).Reading()->Top();
            if (!shown(QStringLiteral("p%1").arg(nTop))) {
                std::fprintf(stderr, "the filter switch was not shown at p%d\n", nTop);
                return 1;
            }
            (nId == vesk::res::IDC_SHOW_ALL ? allSwitches : starterSwitches)
                .push_back(Ms(Clock::now() - start));
        }

        bLoaded = false;
        start = Clock::now();
        Access(dialog).OpenKeptThread(diary);
        const int nLanding = vesk::LandingPost(*Access(dialog).Kept(), false);
        if (!shown(nLanding < 0 ? QStringLiteral("p0") : QStringLiteral("p%1").arg(nLanding))) {
            std::fprintf(stderr, "the demo thread did not open at p%d\n", nLanding);
            return 1;
        }
        demoOpenings.push_back(Ms(Clock::now() - start));
        QTest::qWait(300);
        demoMemory.push_back(ResidentMb());
    }
    Report("open 100,000 posts at the reading place, to it on screen", longOpenings, "ms");
    Report("switch 100,000 posts to the starter's, to the top shown", starterSwitches, "ms");
    Report("switch back to all posts, to the top shown", allSwitches, "ms");
    Report("open the demo thread (5,967 posts) at its landing", demoOpenings, "ms");
    Report("memory with the 100,000-post thread open", longMemory, "MB");
    Report("memory with the demo thread open", demoMemory, "MB");
    return 0;
}
