#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <functional>

class QDBusMessage;
class QDBusPendingCallWatcher;

namespace vesk {

// Notifications through the desktop's notification service on the session bus
// (org.freedesktop.Notifications). Each names what it is about by an opaque tag, and carries one
// action, the default one, which the service usually gives to a click on the notification.
class DesktopNotifier final : public QObject {
    Q_OBJECT

public:
    explicit DesktopNotifier(QString appName, QObject* pParent = nullptr);

    // Asks the service to show a notification; the answer comes later. summary and body are
    // plain text. One still shown with the same tag is replaced by it.
    void Notify(const QString& summary, const QString& body, const QString& tag);
    // Calls not yet answered and notifications shown and not yet closed.
    int Outstanding() const { return m_nCalls + static_cast<int>(m_shown.size()); }

signals:
    // The user chose the notification about tag.
    void activated(const QString& tag);
    // No service took the notification: no session bus, no service, or it refused.
    void unavailable(const QString& summary, const QString& body, const QString& tag);
    // The service has answered a Notify (or it was found unavailable).
    void answered();
    // Nothing is outstanding any more.
    void idle();

private slots:
    void OnActionInvoked(uint nId, const QString& action);
    void OnClosed(uint nId, uint nReason);

private:
    void Send(const QString& summary, const QString& body, const QString& tag, bool bMarkup);
    // Calls the service; answer gets the reply on this object's thread.
    void Ask(const QDBusMessage& message, std::function<void(QDBusPendingCallWatcher&)> answer);
    // No service took the notification: told, and its call is over.
    void Unavailable(const QString& summary, const QString& body, const QString& tag);
    void CallEnded();

    QString m_appName;
    int m_nCalls = 0;
    QHash<uint, QString> m_shown;
};

}  // namespace vesk
