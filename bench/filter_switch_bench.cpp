// A filter switch in the viewer's window on a full table: the demo forum's 44-page thread with
// 52 posts to a page, so that the 40 pages a retrieval reads give more posts than the table's
// 2050. Each switch is a click on a filter radio; timed are the
// click itself (it returns once the page is written and the web view told to load it) and the
// wait until the web view has loaded the page. Then the demo's 120-page thread is read whole into
// a library of the bench's own and opened from it again and again: timed are the opening (the
// thread read from the library, its page of about 6,000 posts written, the load started) and the
// wait until the web view has loaded it. Prints the medians and the extremes of each.
//   filter_switch_bench [SWITCHES]

#include "demo_forum.h"
#include "image_button.h"
#include "post_table.h"
#include "thread_store.h"
#include "viewer_dialog.h"
#include "viewer_dialog_test_access.h"
#include "viewer_resources.h"
#include "web_browser.h"
#include "window_bench.h"

#include <unistd.h>

#include <QApplication>
#include <QFileInfo>
#include <QLineEdit>
#include <QRadioButton>
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

}  // namespace

int main(int argc, char** argv) {
    vesk::bench::PrepareWebEngine();
    QApplication app(argc, argv);
    const vesk::bench::PrivateHomes homes;
    const int nSwitches = argc > 1 ? std::max(2, std::atoi(argv[1])) : 40;

    std::vector<vesk::demo::SampleThread> threads = vesk::demo::MakeSampleThreads();
    for (vesk::demo::SampleThread& thread : threads) {
        if (thread.strThreadId != "1000004") {
            continue;
        }
        std::vector<vesk::demo::SamplePost> posts;
        for (const auto& page : thread.pages) {
            posts.insert(posts.end(), page.begin(), page.end());
        }
        thread.pages.clear();
        for (std::size_t i = 0; i < posts.size(); i += 52) {
            thread.pages.emplace_back(
                posts.begin() + static_cast<std::ptrdiff_t>(i),
                posts.begin() + static_cast<std::ptrdiff_t>(std::min(i + 52, posts.size())));
        }
    }
    vesk::demo::DemoForum forum(std::move(threads));
    if (!forum.Start()) {
        std::fprintf(stderr, "the demo forum did not start\n");
        return 1;
    }
    vesk::bench::BenchViewer viewer(forum);
    vesk::ViewerDialog& dialog = viewer.dialog;
    if (!viewer.Shown()) {
        return 1;
    }
    QWebEngineView* pView = Access(dialog).m_browser->View();
    bool bLoaded = false;
    QObject::connect(pView, &QWebEngineView::loadFinished, [&bLoaded](bool) { bLoaded = true; });
    if (!WaitUntil([&bLoaded] { return bLoaded; }, 20000)) {
        std::fprintf(stderr, "the start page did not load\n");
        return 1;
    }

    Access(dialog).AddressEdit()->setText(
        QString::fromStdString(forum.BaseAddress() + "/look,600036,1000004.html"));
    bLoaded = false;
    QTest::mouseClick(Access(dialog).m_btnGo, Qt::LeftButton);
    if (!WaitUntil([&] { return !dialog.IsFetching() && bLoaded; }, 60000) ||
        Access(dialog).m_nLastIndex != vesk::PostTable::kCapacity - 1) {
        std::fprintf(stderr, "the retrieval did not fill the table (last index %d)\n",
                     Access(dialog).m_nLastIndex);
        return 1;
    }
    std::printf(
        "table: %d posts; window %dx%d; page of all posts %lld KiB\n",
        Access(dialog).m_nLastIndex + 1, dialog.width(), dialog.height(),
        static_cast<long long>(
            QFileInfo(QString::fromStdString(Access(dialog).m_strOutputPath)).size() / 1024));

    std::vector<double> written[2];
    std::vector<double> loaded[2];
    const int radios[2] = {vesk::res::IDC_ONLY_STARTER, vesk::res::IDC_SHOW_ALL};
    for (int i = 0; i < nSwitches; ++i) {
        const int k = i % 2;
        auto* pRadio = static_cast<QRadioButton*>(dialog.GetDlgItem(radios[k]));
        bLoaded = false;
        const Clock::time_point start = Clock::now();
        QTest::mouseClick(pRadio, Qt::LeftButton);
        const Clock::time_point navigating = Clock::now();
        if (!WaitUntil([&bLoaded] { return bLoaded; }, 20000)) {
            std::fprintf(stderr, "the page did not load\n");
            return 1;
        }
        written[k].push_back(Ms(navigating - start));
        loaded[k].push_back(Ms(Clock::now() - start));
    }
    Report("to starter only: page written, load started", written[0]);
    Report("to starter only: page loaded", loaded[0]);
    Report("to all posts: page written, load started", written[1]);
    Report("to all posts: page loaded", loaded[1]);

    const vesk::ThreadKey diary{"600519", "1000005"};
    Access(dialog).ReadWholeThread(diary);
    if (!WaitUntil([&] { return !dialog.IsFetching(); }, 60000)) {
        std::fprintf(stderr, "the whole thread was not read\n");
        return 1;
    }
    std::vector<double> opened;
    std::vector<double> shown;
    for (int i = 0; i < nSwitches / 2; ++i) {
        bLoaded = false;
        const Clock::time_point start = Clock::now();
        if (!Access(dialog).OpenKeptThread(diary)) {
            std::fprintf(stderr, "the kept thread did not open\n");
            return 1;
        }
        const Clock::time_point navigating = Clock::now();
        if (!WaitUntil([&bLoaded] { return bLoaded; }, 20000)) {
            std::fprintf(stderr, "the kept thread's page did not load\n");
            return 1;
        }
        opened.push_back(Ms(navigating - start));
        shown.push_back(Ms(Clock::now() - start));
    }
    std::printf(
        "kept thread: page of all posts %lld KiB\n",
        static_cast<long long>(
            QFileInfo(QString::fromStdString(Access(dialog).m_strOutputPath)).size() / 1024));
    Report("open kept 120 pages: page written, load started", opened);
    Report("open kept 120 pages: page loaded", shown);
    return 0;
}
