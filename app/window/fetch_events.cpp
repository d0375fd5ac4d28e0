#include "fetch_events.h"

#include <QCoreApplication>

namespace vesk {

void PostedFetchNotify::PostFetchNotify(int wParam, int lParam) {
    QCoreApplication::postEvent(m_pWindow, new FetchEvent(FetchEvent::kNotify, wParam, lParam));
}

void PostedFetchNotify::PageFetched(int nPage, int nLastRecord) {
    QCoreApplication::postEvent(m_pWindow,
                                new FetchEvent(FetchEvent::kProgress, nPage, nLastRecord));
}

void PostedFetchNotify::ReadingEnded(const ReadingEnd& end) {
    QCoreApplication::postEvent(m_pWindow, new ReadingEndEvent(end));
}

}  // namespace vesk
