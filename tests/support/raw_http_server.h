#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vesk::test {

// One accepted connection, as a handler sees it.
class RawConnection {
public:
    RawConnection(int nSocket, std::function<bool(std::chrono::milliseconds)> pause)
        : m_nSocket(nSocket), m_pause(std::move(pause)) {}
    // Writes bytes as they stand; false once the peer has gone.
    bool Send(const std::string& strBytes);
    // Sleeps, but returns false at once when the server stops.
    bool Pause(std::chrono::milliseconds duration) { return m_pause(duration); }
    // Ends the connection after the handler returns.
    void Close() { m_bClose = true; }
    bool ClosedByHandler() const { return m_bClose; }

private:
    int m_nSocket;
    std::function<bool(std::chrono::milliseconds)> m_pause;
    bool m_bClose = false;
};

// A loopback HTTP server that works on bytes: it records every request exactly as it came over
// the wire and lets a handler write any answer, with pauses, so that the wire format, connection
// reuse, stalls and broken answers can be tested.
class RawHttpServer {
public:
    using Handler = std::function<void(RawConnection&, const std::string& strRequest)>;

    explicit RawHttpServer(Handler handler);
    ~RawHttpServer();

    int Port() const { return m_nPort; }
    std::string BaseAddress() const { return "http://127.0.0.1:" + std::to_string(m_nPort); }
    std::vector<std::string> Requests() const;
    int Connections() const { return m_nConnections.load(); }

    // An answer with status 200 (or another) and a Content-Length, keeping the connection open.
    static std::string Answer(const std::string& strBody, int nStatus = 200,
                              const std::string& strExtraHeaders = {});

private:
    void Serve();
    void ServeConnection(int nSocket);
    bool Pause(std::chrono::milliseconds duration);

    Handler m_handler;
    int m_nListen = -1;
    int m_nPort = 0;
    std::thread m_thread;
    std::vector<std::thread> m_workers;
    std::atomic<int> m_nConnections{0};
    mutable std::mutex m_mutex;
    std::condition_variable m_stopped;
    bool m_bStop = false;
    std::vector<std::string> m_requests;
};

// A listening socket on 127.0.0.1 whose accept queue is full: a connection attempt to its port
// gets no answer at all, as with a host that does not respond.
class SilentListener {
public:
    SilentListener();
    ~SilentListener();
    int Port() const { return m_nPort; }

private:
    int m_nListen = -1;
    int m_nFiller = -1;
    int m_nPort = 0;
};

}  // namespace vesk::test
