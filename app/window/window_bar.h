#pragma once

#include "message_bar.h"

#include <QString>
#include <string>

namespace vesk {

class CWebBrowser2;

// The message bar as the window's rooms share it: each message is said for a cause, and a cause
// takes back only its own, so that a filter that shows posts again does not hide how the last
// reading ended.
class WindowBar final {
public:
    enum class Cause { kNone, kReading, kFilter, kCommand, kNavigation, kExport, kIndex };

    explicit WindowBar(MessageBar& bar);
    ~WindowBar();
    WindowBar(const WindowBar&) = delete;
    WindowBar& operator=(const WindowBar&) = delete;

    void Show(Cause cause, MessageBar::Level level, const QString& text, const QString& action = {},
              const QString& detail = {});
    // Hides the bar when it shows the cause's message; kNone: whatever it shows.
    void Hide(Cause cause);
    // Opens an address (GB2312) in the desktop's browser; when that fails the bar shows the
    // address for copying.
    void OpenInDesktop(const std::string& address);
    // The web view's notices: an address the desktop could not open, a navigation refused.
    void TellNotices(CWebBrowser2& browser);
    // The cause of the message shown, kNone while the bar is hidden.
    Cause Showing() const { return m_cause; }
    // Whether the reader closed a message of the cause with the bar's close button.
    bool ClosedByReader(Cause cause) const { return (m_closedByReader & Bit(cause)) != 0; }

private:
    static unsigned int Bit(Cause cause) { return 1U << static_cast<unsigned int>(cause); }

    MessageBar& m_bar;
    QMetaObject::Connection m_closed;
    Cause m_cause = Cause::kNone;
    bool m_bHiding = false;
    unsigned int m_closedByReader = 0;
};

}  // namespace vesk
