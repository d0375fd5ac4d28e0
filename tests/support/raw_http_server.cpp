#include "raw_http_server.h"

#include <poll.h>
#include <unistd.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>

namespace vesk::test {

namespace {

int ListenOnLoopback(int nBacklog, int& nPort) {
    const int nSocket = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t nLength = sizeof address;
    if (nSocket < 0 || bind(nSocket, reinterpret_cast<sockaddr*>(&address), nLength) != 0 ||
        listen(nSocket, nBacklog) != 0 ||
        getsockname(nSocket, reinterpret_cast<sockaddr*>(&address), &nLength) != 0) {
        throw std::runtime_error("cannot listen on 127.0.0.1");
    }
    nPort = ntohs(address.sin_port);
    return nSocket;
}

}  // namespace

bool RawConnection::Send(const std::string& strBytes) {
    std::size_t nSent = 0;
    while (nSent < strBytes.size()) {
        const ssize_t n =
            send(m_nSocket, strBytes.data() + nSent, strBytes.size() - nSent, MSG_NOSIGNAL);
        if (n <= 0) {
            return false;
        }
        nSent += static_cast<std::size_t>(n);
    }
    return true;
}

RawHttpServer::RawHttpServer(Handler handler) : m_handler(std::move(handler)) {
    m_nListen = ListenOnLoopback(16, m_nPort);
    m_thread = std::thread([this] { Serve(); });
}

RawHttpServer::~RawHttpServer() {
    {
        std::lock_guard lock(m_mutex);
        m_bStop = true;
    }
    m_stopped.notify_all();
    m_thread.join();
    for (std::thread& worker : m_workers) {
        worker.join();
    }
    close(m_nListen);
}

std::vector<std::string> RawHttpServer::Requests() const {
    std::lock_guard lock(m_mutex);
    return m_requests;
}

std::string RawHttpServer::Answer(const std::string& strBody, int nStatus,
                                  const std::string& strExtraHeaders) {
    return "HTTP/1.1 " + std::to_string(nStatus) +
           " X\r\nContent-Length: " + std::to_string(strBody.size()) + "\r\n" + strExtraHeaders +
           "\r\n" + strBody;
}

bool RawHttpServer::Pause(std::chrono::milliseconds duration) {
    std::unique_lock lock(m_mutex);
    return !m_stopped.wait_for(lock, duration, [this] { return m_bStop; });
}

void RawHttpServer::Serve() {
    while (true) {
        {
            std::lock_guard lock(m_mutex);
            if (m_bStop) {
                return;
            }
        }
        pollfd listener{m_nListen, POLLIN, 0};
        if (poll(&listener, 1, 20) <= 0) {
            continue;
        }
        const int nSocket = accept4(m_nListen, nullptr, nullptr, SOCK_CLOEXEC);
        if (nSocket < 0) {
            continue;
        }
        ++m_nConnections;
        // Each connection on its own thread, so that a stalled answer holds up no other.
        m_workers.emplace_back([this, nSocket] {
            ServeConnection(nSocket);
            close(nSocket);
        });
    }
}

void RawHttpServer::ServeConnection(int nSocket) {
    std::string strPending;
    RawConnection connection(nSocket, [this](std::chrono::milliseconds d) { return Pause(d); });
    while (true) {
        // One request: everything up to the blank line (these requests have no body).
        std::size_t nEnd;
        while ((nEnd = strPending.find("\r\n\r\n")) == std::string::npos) {
            {
                std::lock_guard lock(m_mutex);
                if (m_bStop) {
                    return;
                }
            }
            pollfd peer{nSocket, POLLIN, 0};
            if (poll(&peer, 1, 20) <= 0) {
                continue;
            }
            char buffer[4096];
            const ssize_t n = recv(nSocket, buffer, sizeof buffer, 0);
            if (n <= 0) {
                return;
            }
            strPending.append(buffer, static_cast<std::size_t>(n));
        }
        const std::string strRequest = strPending.substr(0, nEnd + 4);
        strPending.erase(0, nEnd + 4);
        {
            std::lock_guard lock(m_mutex);
            m_requests.push_back(strRequest);
        }
        m_handler(connection, strRequest);
        if (connection.ClosedByHandler()) {
            return;
        }
    }
}

SilentListener::SilentListener() {
    m_nListen = ListenOnLoopback(0, m_nPort);
    // The one connection the queue holds; it is never accepted, so the next SYN is dropped.
    m_nFiller = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(m_nPort));
    if (connect(m_nFiller, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        throw std::runtime_error("cannot fill the accept queue");
    }
}

SilentListener::~SilentListener() {
    close(m_nFiller);
    close(m_nListen);
}

}  // namespace vesk::test
