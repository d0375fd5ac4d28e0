#include "desktop_notifier.h"

#include <QDBusConnection>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QTimer>
#include <QVariantMap>

namespace vesk {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
const QString kDefaultAction = QStringLiteral("default");

QDBusMessage Call(const QString& method) {
    return QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
}

}  // namespace

DesktopNotifier::DesktopNotifier(QString appName, QObject* pParent)
    : QObject(pParent), m_appName(std::move(appName)) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        bus.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                    SLOT(OnActionInvoked(uint, QString)));
        bus.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                    SLOT(OnClosed(uint, uint)));
    }
}

void DesktopNotifier::Notify(const QString& summary, const QString& body, const QString& tag) {
    ++m_nCalls;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        QTimer::singleShot(0, this,
                           [this, summary, body, tag] { Unavailable(summary, body, tag); });
        return;
    }
    // A service that reads markup in the body is given it escaped; asking first also tells
    // whether there is a service at all.
    Ask(Call(QStringLiteral("GetCapabilities")),
        [this, summary, body, tag](QDBusPendingCallWatcher& call) {
            const QDBusPendingReply<QStringList> reply = call;
            if (reply.isError()) {
                Unavailable(summary, body, tag);
            } else {
                Send(summary, body, tag, reply.value().contains(QStringLiteral("body-markup")));
            }
        });
}

void DesktopNotifier::Send(const QString& summary, const QString& body, const QString& tag,
                           bool bMarkup) {
    // A notification still shown about the same thing is replaced, not joined by another.
    const uint nReplaced = m_shown.key(tag, 0U);
    QDBusMessage message = Call(QStringLiteral("Notify"));
    message << m_appName << nReplaced << QString() << summary
            << (bMarkup ? body.toHtmlEscaped() : body)
            << QStringList{kDefaultAction, QStringLiteral("打开")} << QVariantMap() << -1;
    Ask(message, [this, summary, body, tag, nReplaced](QDBusPendingCallWatcher& call) {
        const QDBusPendingReply<uint> reply = call;
        if (reply.isError()) {
            Unavailable(summary, body, tag);
        } else {
            if (nReplaced != 0U && m_shown.value(nReplaced) == tag) {
                m_shown.remove(nReplaced);
            }
            m_shown.insert(reply.value(), tag);
            CallEnded();
        }
    });
}

void DesktopNotifier::Ask(const QDBusMessage& message,
                          std::function<void(QDBusPendingCallWatcher&)> answer) {
    auto* pWatcher =
        new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(message), this);
    connect(pWatcher, &QDBusPendingCallWatcher::finished, this,
            [answer = std::move(answer)](QDBusPendingCallWatcher* pCall) {
                pCall->deleteLater();
                answer(*pCall);
            });
}

void DesktopNotifier::Unavailable(const QString& summary, const QString& body, const QString& tag) {
    emit unavailable(summary, body, tag);
    CallEnded();
}

void DesktopNotifier::CallEnded() {
    --m_nCalls;
    emit answered();
    if (Outstanding() == 0) {
        emit idle();
    }
}

void DesktopNotifier::OnActionInvoked(uint nId, const QString& action) {
    const auto it = m_shown.constFind(nId);
    if (it != m_shown.cend() && action == kDefaultAction) {
        emit activated(*it);
    }
}

void DesktopNotifier::OnClosed(uint nId, uint /*nReason*/) {
    if (m_shown.remove(nId) > 0 && Outstanding() == 0) {
        emit idle();
    }
}

}  // namespace vesk
