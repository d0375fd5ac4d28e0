#include "window_bar.h"

#include "code_page.h"
#include "shell.h"
#include "web_browser.h"

#include <QLayout>
#include <QUrl>

namespace vesk {

WindowBar::WindowBar(MessageBar& bar) : m_bar(bar) {
    // Its close button hides it too: then it says nothing for any cause.
    m_closed = QObject::connect(&m_bar, &MessageBar::shownChanged, &m_bar, [this](bool bShown) {
        if (!bShown) {
            m_closedByReader |= m_bHiding ? 0U : Bit(m_cause);
            m_cause = Cause::kNone;
        }
        // What is laid out under it moves at once.
        QWidget* pParent = m_bar.parentWidget();
        if (QLayout* pLayout = pParent != nullptr ? pParent->layout() : nullptr) {
            pLayout->invalidate();
            pLayout->activate();
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
        m_bHiding = true;
        m_bar.hide();
        m_bHiding = false;
    }
}

void WindowBar::TellNotices(CWebBrowser2& browser) {
    browser.SetNoticeHandler([this](CWebBrowser2::Notice notice, const QUrl& url) {
        if (notice == CWebBrowser2::Notice::kCouldNotOpen) {
            Show(Cause::kCommand, MessageBar::Level::kWarning,
                 QStringLiteral("无法打开浏览器，请复制地址："), {}, url.toString());
        } else {
            Show(Cause::kNavigation, MessageBar::Level::kWarning,
                 QStringLiteral("页面试图转到别的网址，已阻止："), {}, url.toString());
        }
    });
}

void WindowBar::OpenInDesktop(const std::string& address) {
    if (!address.empty() && platform::ShellExecuteA(nullptr, "open", address.c_str(), nullptr,
                                                    nullptr, platform::SW_SHOWNORMAL) <= 32) {
        Show(Cause::kCommand, MessageBar::Level::kWarning,
             QStringLiteral("无法打开浏览器，请复制地址："), {},
             QString::fromStdU16String(GbkToUtf16(address)));
    }
}

}  // namespace vesk
