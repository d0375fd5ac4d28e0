#pragma once

#include "sample_threads.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

namespace vesk::demo {

// How the forum misbehaves on one path, for tests: another status, or a pause before answering,
// with a Retry-After header when one is given; for the next nTimes requests (-1: every one).
struct PageFault {
    PageFault(int status = 200, std::chrono::milliseconds pause = {}, std::string retryAfter = {},
              int times = -1)
        : nStatus(status), delay(pause), strRetryAfter(std::move(retryAfter)), nTimes(times) {}
    int nStatus;
    std::chrono::milliseconds delay;
    std::string strRetryAfter;
    int nTimes;
};

// How a board answers for a page past a thread's last, for tests: with a page without posts,
// with its last page again, with a redirect to its first or its last page; or it serves its first
// page for every number.
enum class PastEnd { kEmptyPage, kLastPageAgain, kRedirectToFirst, kRedirectToLast, kFirstForAll };

// The demo forum: serves sample threads in the board's page format, as GB2312 bytes, on
// 127.0.0.1 only.
//   /                          the front page
//   /topic,CODE.html           a board
//   /look,CODE,ID.html         page 1 of a thread; /look,CODE,ID_N.html page N
// A page past a thread's last has no posts; an unknown thread is 404. A thread can be changed
// while it is served, from the process or by a POST from 127.0.0.1:
//   /demo/append?thread=ID&count=N[&starter=1]   N posts more (by the starter with starter=1)
//   /demo/edit?thread=ID&floor=F&text=UTF8        a post's body
//   /demo/delete?thread=ID&floors=F,G,...         posts removed; later ones move up
class DemoForum final {
public:
    DemoForum();
    explicit DemoForum(std::vector<SampleThread> threads);
    ~DemoForum();
    DemoForum(const DemoForum&) = delete;
    DemoForum& operator=(const DemoForum&) = delete;

    // Listens on 127.0.0.1 at nPort (0: any free port) and serves on a thread of its own until
    // Stop. False when the port cannot be had.
    bool Start(int nPort = 0);
    void Stop();
    int Port() const { return m_nPort; }
    // http://127.0.0.1:PORT
    std::string BaseAddress() const;

    const std::vector<SampleThread>& Threads() const { return m_threads; }

    // Serves these GB2312 bytes at a path, in place of whatever the path held.
    void SetPage(const std::string& strPath, std::string strBody);
    void SetFault(const std::string& strPath, PageFault fault);
    // Changes the thread numbered strThreadId and serves its pages anew; false when there is no
    // such thread.
    bool ChangeThread(const std::string& strThreadId,
                      const std::function<void(SampleThread&)>& change);
    void SetPastEnd(const std::string& strThreadId, PastEnd habit);
    // Answers a path with a redirect (302) to another, as a board does for a thread it moved; an
    // empty target ends it.
    void SetRedirect(const std::string& strPath, std::string strTarget);
    // Runs an action once, when the next request for the path has come and before it is answered.
    void BeforeServing(const std::string& strPath, std::function<void()> action);
    // A pause before every answer, as a distant server would take.
    void SetLatency(std::chrono::milliseconds latency);
    // Waits until a request for the path has been answered (its page taken), at most a while;
    // false when none was. For an action before another path is served.
    bool WaitForAnswer(const std::string& strPath, std::chrono::milliseconds timeout);
    // The paths requested so far, in order.
    std::vector<std::string> RequestedPaths() const;
    void ClearRequests();

private:
    void Change(const httplib::Request& request, httplib::Response& response);
    void Serve(const httplib::Request& request, httplib::Response& response);
    void Route(const std::string& strPath, int& nStatus, std::string& strBody) const;
    // The path a thread's habit serves in place of strPath, or where it redirects it; under the
    // lock.
    std::string PathServed(const std::string& strPath, std::string& strRedirect) const;
    // Serves a thread's pages, with pages up to nOldPages + 1 answering without posts; under
    // the lock.
    void Publish(const SampleThread& thread, std::size_t nOldPages);

    std::vector<SampleThread> m_threads;
    std::unique_ptr<httplib::Server> m_pServer;
    std::thread m_thread;
    int m_nPort = 0;

    mutable std::mutex m_mutex;
    std::map<std::string, std::string> m_pages;  // GB2312 bytes by path
    std::map<std::string, PageFault> m_faults;
    std::map<std::string, PastEnd> m_habits;  // by thread number
    std::map<std::string, std::string> m_redirects;
    std::map<std::string, std::function<void()>> m_before;
    std::chrono::milliseconds m_latency{0};
    std::vector<std::string> m_requests;
    std::set<std::string> m_answered;
    std::condition_variable m_answer;
};

// The GB2312 bytes of a UTF-8 page; the demo's own texts always convert.
std::string ToGb2312(const std::string& strUtf8);

}  // namespace vesk::demo
