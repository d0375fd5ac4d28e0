#include "window_message.h"

#include <QCoreApplication>
#include <QObject>

namespace vesk::platform {

QEvent::Type MessageEvent::EventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

LRESULT SendMessageA(QObject* pReceiver, UINT nMessage, WPARAM wParam, LPARAM lParam) {
    if (pReceiver == nullptr) {
        return 0;
    }
    MessageEvent event(nMessage, wParam, lParam);
    QCoreApplication::sendEvent(pReceiver, &event);
    return event.result;
}

BOOL PostMessageA(QObject* pReceiver, UINT nMessage, WPARAM wParam, LPARAM lParam) {
    if (pReceiver == nullptr) {
        return FALSE;
    }
    QCoreApplication::postEvent(pReceiver, new MessageEvent(nMessage, wParam, lParam));
    return TRUE;
}

}  // namespace vesk::platform
