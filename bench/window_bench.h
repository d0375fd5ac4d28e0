#pragma once

// What the window's benches share: milliseconds of a duration, and a wait on the event loop.

#include <QEventLoop>
#include <QObject>
#include <QTimer>
#include <chrono>
#include <functional>

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

}  // namespace vesk::bench
