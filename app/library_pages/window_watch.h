#pragma once

#include "background_refresh.h"

#include <QIcon>
#include <QObject>
#include <QString>
#include <chrono>
#include <functional>
#include <memory>
#include <string>

class QSystemTrayIcon;

namespace vesk {

class DesktopNotifier;

// The watched threads while the window runs: their quiet refresh, and the desktop's notification
// when a starter has posted, or the tray's message where no notification service answers (and
// nothing where there is no tray either).
class WindowWatch final : public QObject {
    Q_OBJECT

public:
    // busy tells when the window reads a thread itself; icon is the tray's.
    WindowWatch(std::string strLibraryFile, RefreshSettings settings, std::function<bool()> busy,
                QIcon icon, QObject* pParent = nullptr);
    ~WindowWatch() override;

    // Starts a new period of this length now.
    void Start(std::chrono::milliseconds period = BackgroundRefresh::kPeriod);
    // Stops the turn that runs, if any, for a reading of the window's own.
    void Yield();
    void SetPictures(bool bPictures) { m_pRefresh->SetPictures(bPictures); }

    // A turn found new posts: what the library holds has changed.
    std::function<void()> changed;
    // The user chose a notification (or the tray's message) about this thread.
    std::function<void(const ThreadKey& key)> chosen;
    // The user chose one about a person followed (the board's bytes).
    std::function<void(const std::string& strName)> personChosen;

private:
    void Notify(const std::string& strTag, const WatchNotice& notice);
    // A notification's tag was chosen: a thread's or a person's.
    void Choose(const QString& tag);
    void ShowInTray(const QString& summary, const QString& body, const QString& tag);

    std::unique_ptr<BackgroundRefresh> m_pRefresh;
    DesktopNotifier* m_pNotifier = nullptr;
    QIcon m_icon;
    QSystemTrayIcon* m_pTray = nullptr;
    QString m_trayTag;
};

}  // namespace vesk
