#pragma once

// What the window's benches share: milliseconds of a duration, a wait on the event loop, the
// figures' lines, the web engine's set-up and the window on a demo forum.

#include "demo_forum.h"
#include "picture_scheme.h"
#include "viewer_dialog.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QObject>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

namespace vesk::bench {

using Clock = std::chrono::steady_clock;

inline double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// Runs the event loop until the condition holds, within nMs. Not QTest::qWaitFor: that sleeps
// 10 ms between its rounds, and a page load takes a hundred rounds between the web engine's
// threads and this one.
inline bool WaitUntil(const std::function<bool()>& done, int nMs) {
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (done()) {
            loop.quit();
        }
    });
    QTimer::singleShot(nMs, &loop, &QEventLoop::quit);
    poll.start(1);
    if (!done()) {
        loop.exec();
    }
    return done();
}

// The median and the extremes of a figure, on one line.
inline void Report(const char* pszWhat, std::vector<double> values, const char* pszUnit = "ms") {
    std::sort(values.begin(), values.end());
    std::printf("%-56s median %8.2f %s   min %8.2f   max %8.2f   (n=%zu)\n", pszWhat,
                values[values.size() / 2], pszUnit, values.front(), values.back(), values.size());
}

// Before the application: the web engine runs without its sandbox as root, its contexts shared.
inline void PrepareWebEngine() {
    if (geteuid() == 0) {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    }
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    RegisterPictureScheme();
}

// The bench's own library and settings, gone with it.
struct PrivateHomes {
    PrivateHomes() {
        qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    }
    QTemporaryDir data;
    QTemporaryDir config;
};

// The viewer's window on a demo forum, its page in a folder of its own.
struct BenchViewer {
    explicit BenchViewer(const demo::DemoForum& forum) : dialog(Settings(forum), folder.path()) {
        dialog.show();
    }
    static FetchSettings Settings(const demo::DemoForum& forum) {
        FetchSettings settings;
        settings.strBaseAddress = forum.BaseAddress();
        return settings;
    }
    // False, and says so, when the window did not come on screen.
    bool Shown() {
        if (QTest::qWaitForWindowExposed(&dialog)) {
            return true;
        }
        std::fprintf(stderr, "the window was not shown\n");
        return false;
    }
    QTemporaryDir folder;
    ViewerDialog dialog;
};

}  // namespace vesk::bench
