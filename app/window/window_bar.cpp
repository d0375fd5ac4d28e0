#include "window_bar.h"

namespace vesk {

WindowBar::WindowBar(MessageBar& bar) : m_bar(bar) {
    // Its close button hides it too: then it says nothing for any cause.
    m_closed = QObject::connect(&m_bar, &MessageBar::shownChanged, &m_bar, [this](bool bShown) {
        if (!bShown) {
            m_cause = Cause::kNone;
        }
    });
}

WindowBar::~WindowBar() {
    QObject::disconnect(m_closed);
}

void WindowBar::Show(Cause cause, MessageBar::Level level, const QString& text,
                     const QString& action, const QString& detail) {
    m_bar.ShowMessage(level, text, action, detail);
    m_cause = cause;
}

void WindowBar::Hide(Cause cause) {
    if (cause == Cause::kNone || cause == m_cause) {
        m_bar.hide();
    }
}

}  // namespace vesk
