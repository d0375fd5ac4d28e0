#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>
#include <functional>
#include <string>

namespace vesk {

// One viewer for a user and a library: the first viewer to start listens on a local socket of
// the user's own; a later start with a thread to show hands the address to it and ends, so that
// a notification chosen while a viewer runs opens in that viewer. The address goes as one line of
// UTF-8, answered "ok" once taken.
class ViewerHandOver final : public QObject {
public:
    // The socket's name for this user and library file.
    static QString ServerName(const std::string& strLibraryFile);
    // Hands the address to the viewer listening under the name; true once it has taken it, false
    // when none listens or it does not answer within the time.
    static bool HandOver(const QString& name, const QString& address, int nTimeoutMs = 3000);

    // Listens under the name, unless a viewer listens there already (a name left by a viewer
    // that ended is taken over); each address handed over goes to take, on this thread.
    ViewerHandOver(const QString& name, std::function<void(const QString& address)> take);
    bool IsListening() const { return m_server.isListening(); }

private:
    void Answer(QLocalSocket* pSocket);

    QLocalServer m_server;
    std::function<void(const QString& address)> m_take;
};

}  // namespace vesk
