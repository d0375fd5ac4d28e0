#include "viewer_hand_over.h"

#include <unistd.h>

#include <QCryptographicHash>
#include <QLocalSocket>
#include <QPointer>

namespace vesk {

namespace {

// A thread's address is short; a longer line is not one.
constexpr qint64 kMaxLine = 4096;

}  // namespace

QString ViewerHandOver::ServerName(const std::string& strLibraryFile) {
    const QByteArray hash = QCryptographicHash::hash(QByteArray::fromStdString(strLibraryFile),
                                                     QCryptographicHash::Sha1)
                                .toHex()
                                .left(16);
    return QStringLiteral("vesk-viewer-%1-%2").arg(getuid()).arg(QString::fromLatin1(hash));
}

bool ViewerHandOver::HandOver(const QString& name, const QString& address, int nTimeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(nTimeoutMs)) {
        return false;
    }
    socket.write(address.toUtf8().replace('\n', ' ') + '\n');
    if (!socket.waitForBytesWritten(nTimeoutMs)) {
        return false;
    }
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(nTimeoutMs)) {
            return false;
        }
    }
    return socket.readLine().trimmed() == "ok";
}

ViewerHandOver::ViewerHandOver(const QString& name, std::function<void(const QString&)> take)
    : m_take(std::move(take)) {
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server.listen(name)) {
        // A name that nobody answers on was left behind by a viewer that ended.
        QLocalSocket probe;
        probe.connectToServer(name);
        if (probe.waitForConnected(500)) {
            return;
        }
        QLocalServer::removeServer(name);
        m_server.listen(name);
    }
    connect(&m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* pSocket = m_server.nextPendingConnection()) {
            connect(pSocket, &QLocalSocket::disconnected, pSocket, &QObject::deleteLater);
            connect(pSocket, &QLocalSocket::readyRead, this, [this, pSocket] { Answer(pSocket); });
            Answer(pSocket);
        }
    });
}

void ViewerHandOver::Answer(QLocalSocket* pSocket) {
    if (!pSocket->canReadLine()) {
        if (pSocket->bytesAvailable() > kMaxLine) {
            pSocket->abort();
        }
        return;
    }
    const QString address = QString::fromUtf8(pSocket->readLine(kMaxLine)).trimmed();
    pSocket->write("ok\n");
    pSocket->disconnectFromServer();
    // Taken after the answer has gone: showing the thread may open a message box of its own.
    QMetaObject::invokeMethod(
        this, [this, address] { m_take(address); }, Qt::QueuedConnection);
}

}  // namespace vesk
