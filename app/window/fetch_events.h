#pragma once

#include "fetch_thread.h"
#include "page_loop.h"

#include <QEvent>

class QObject;

namespace vesk {

// The worker's answer (wParam, lParam of WM_FETCH_NOTIFY), or its progress (the page read and
// the index of the last record), as it arrives in the window's queue.
class FetchEvent final : public QEvent {
public:
    static constexpr QEvent::Type kNotify = static_cast<QEvent::Type>(QEvent::User + 2);
    static constexpr QEvent::Type kProgress = static_cast<QEvent::Type>(QEvent::User + 3);
    FetchEvent(QEvent::Type type, int wParam, int lParam)
        : QEvent(type), nWParam(wParam), nLParam(lParam) {}
    int nWParam;
    int nLParam;
};

// How the worker's reading ended, posted just before its answer.
class ReadingEndEvent final : public QEvent {
public:
    static constexpr QEvent::Type kType = static_cast<QEvent::Type>(QEvent::User + 4);
    explicit ReadingEndEvent(const ReadingEnd& readingEnd) : QEvent(kType), end(readingEnd) {}
    ReadingEnd end;
};

// Hands the worker's answer to a window as posted events, so that it is handled on the window's
// thread in the order of its queue, also inside a message box's own loop.
class PostedFetchNotify final : public FetchNotifyTarget {
public:
    explicit PostedFetchNotify(QObject* pWindow) : m_pWindow(pWindow) {}
    void PostFetchNotify(int wParam, int lParam) override;
    void PageFetched(int nPage, int nLastRecord) override;
    void ReadingEnded(const ReadingEnd& end) override;

private:
    QObject* m_pWindow;
};

}  // namespace vesk
