#include "window_watch.h"

#include "desktop_notifier.h"

#include <QSystemTrayIcon>

namespace vesk {

WindowWatch::WindowWatch(std::string strLibraryFile, RefreshSettings settings,
                         std::function<bool()> busy, QIcon icon, QObject* pParent)
    : QObject(pParent),
      m_pRefresh(std::make_unique<BackgroundRefresh>(std::move(strLibraryFile), std::move(settings),
                                                     std::move(busy))),
      m_pNotifier(new DesktopNotifier(QStringLiteral("vesk"), this)),
      m_icon(std::move(icon)) {
    connect(m_pNotifier, &DesktopNotifier::activated, this, &WindowWatch::Choose);
    connect(m_pNotifier, &DesktopNotifier::unavailable, this, &WindowWatch::ShowInTray);
    m_pRefresh->changed = [this] {
        if (changed) {
            changed();
        }
    };
    m_pRefresh->starterPosted = [this](const ThreadKey& key, const WatchNotice& notice) {
        Notify(WatchTag(key), notice);
    };
    m_pRefresh->personPosted = [this](const std::string& strName, const WatchNotice& notice) {
        Notify(PersonTag(strName), notice);
    };
}

WindowWatch::~WindowWatch() = default;

void WindowWatch::Start(std::chrono::milliseconds period) {
    m_pRefresh->Start(period);
}

void WindowWatch::Yield() {
    m_pRefresh->Yield();
}

void WindowWatch::Notify(const std::string& strTag, const WatchNotice& notice) {
    m_pNotifier->Notify(QString::fromStdString(notice.strSummary),
                        QString::fromStdString(notice.strBody), QString::fromStdString(strTag));
}

void WindowWatch::Choose(const QString& tag) {
    if (const std::optional<std::string> name = PersonOfTag(tag.toStdString())) {
        if (personChosen) {
            personChosen(*name);
        }
    } else if (chosen) {
        chosen(ThreadKeyOfTag(tag.toStdString()));
    }
}

void WindowWatch::ShowInTray(const QString& summary, const QString& body, const QString& tag) {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        return;
    }
    if (m_pTray == nullptr) {
        m_pTray = new QSystemTrayIcon(m_icon, this);
        connect(m_pTray, &QSystemTrayIcon::messageClicked, this, [this] { Choose(m_trayTag); });
        m_pTray->show();
    }
    m_trayTag = tag;
    m_pTray->showMessage(summary, body);
}

}  // namespace vesk
