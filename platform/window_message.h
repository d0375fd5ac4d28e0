#pragma once

#include "win_types.h"

#include <QEvent>

class QObject;

// Window messages between the program's widgets, as Qt events: sent (handled before the call
// returns, with a result) or posted (handled in the receiver's turn in the queue).
namespace vesk::platform {

inline constexpr UINT WM_COMMAND = 0x0111;
inline constexpr UINT WM_USER = 0x0400;

// Button messages.
inline constexpr UINT BM_GETCHECK = 0x00F0;
inline constexpr UINT BM_SETCHECK = 0x00F1;
inline constexpr UINT BM_SETSTYLE = 0x00F4;
inline constexpr WPARAM BST_UNCHECKED = 0;
inline constexpr WPARAM BST_CHECKED = 1;
inline constexpr WPARAM BST_INDETERMINATE = 2;

class MessageEvent final : public QEvent {
public:
    // The one event type of every window message.
    static QEvent::Type EventType();

    MessageEvent(UINT nMessage, WPARAM wValue, LPARAM lValue)
        : QEvent(EventType()), message(nMessage), wParam(wValue), lParam(lValue) {}

    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    // What the receiver answers a sent message; 0 unless it says otherwise.
    LRESULT result = 0;
};

// The receiver's answer; 0 for no receiver or a message it does not handle.
LRESULT SendMessageA(QObject* pReceiver, UINT nMessage, WPARAM wParam, LPARAM lParam);
// FALSE for no receiver.
BOOL PostMessageA(QObject* pReceiver, UINT nMessage, WPARAM wParam, LPARAM lParam);

}  // namespace vesk::platform
