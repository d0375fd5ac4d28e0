// From a click on the viewer's menu button to its pop-up painted on the screen: the callback's
// edit of the pop-up (a loaded thread, the board text renewed each time), the measuring and
// drawing of every item, the pop-up window shown and its first paint. Prints the median and the
// extremes.
//   menu_open_bench [OPENINGS]     (in an X display: bench/viewer_figures.sh runs it)

#include "image_button.h"
#include "popup_menu.h"
#include "viewer_dialog.h"
#include "viewer_dialog_test_access.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Notes the first paint of the pop-up window open now. Its items are all drawn into the window's
// image before the window is shown; the paint copies that image, and the toolkit hands it to
// the display in the same call.
class FirstPaint final : public QObject {
public:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override {
        if (pEvent->type() == QEvent::Paint && !bPainted &&
            pWatched == vesk::platform::ActivePopupMenuWindow()) {
            bPainted = true;
            end = Clock::now();
        }
        return false;
    }
    bool bPainted = false;
    Clock::time_point end;
};

}  // namespace

int main(int argc, char** argv) {
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QApplication app(argc, argv);
    const int nOpenings = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
    QTemporaryDir folder;
    vesk::ViewerDialog dialog({}, folder.path());
    dialog.show();
    if (!QTest::qWaitForWindowActive(&dialog, 10000)) {
        std::fprintf(stderr, "the window did not become active\n");
        return 1;
    }
    // As after a retrieval: the thread items with a board name.
    Access(dialog).m_bLoaded = 1;
    std::strcpy(Access(dialog).m_results.szBoardName,
                "\xB9\xF3\xD6\xDD\xC3\xA9\xCC\xA8");  // 贵州茅台
    std::strcpy(Access(dialog).m_results.szBoardCode, "600519");
    std::strcpy(Access(dialog).m_results.szThreadId, "1000001");

    FirstPaint paint;
    app.installEventFilter(&paint);
    std::vector<double> times;
    for (int i = 0; i < nOpenings; ++i) {
        Access(dialog).m_bMenuDirty = 1;
        paint.bPainted = false;
        paint.end = {};
        QTimer::singleShot(0, [&] {
            // The time is taken by the paint's own callback; this only waits for it.
            static_cast<void>(
                QTest::qWaitFor([&] { return paint.end != Clock::time_point{}; }, 5000));
            if (QWidget* pPopup = vesk::platform::ActivePopupMenuWindow()) {
                QTest::keyClick(pPopup, Qt::Key_Escape);
            }
        });
        const Clock::time_point start = Clock::now();
        QTest::mouseClick(Access(dialog).m_btnMenu, Qt::LeftButton);
        if (paint.end == Clock::time_point{}) {
            std::fprintf(stderr, "opening %d: the pop-up was not painted\n", i);
            return 1;
        }
        times.push_back(std::chrono::duration<double, std::milli>(paint.end - start).count());
        QTest::qWait(20);
    }
    std::sort(times.begin(), times.end());
    std::printf("%-44s median %7.2f ms   min %7.2f   max %7.2f   (n=%zu)\n",
                "click to pop-up painted (5 items)", times[times.size() / 2], times.front(),
                times.back(), times.size());
    return 0;
}
