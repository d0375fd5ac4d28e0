#include "demo_forum.h"

#include "code_page.h"

#include <httplib.h>

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

namespace vesk::demo {

namespace {

constexpr char kContentType[] = "text/html; charset=gb2312";

}  // namespace

std::string ToGb2312(const std::string& strUtf8) {
    std::optional<std::string> gbk = Utf8ToGbk(strUtf8);
    if (!gbk) {
        throw std::runtime_error("demo forum text has a character outside GB2312");
    }
    return *std::move(gbk);
}

DemoForum::DemoForum() : DemoForum(MakeSampleThreads()) {}

DemoForum::DemoForum(std::vector<SampleThread> threads) : m_threads(std::move(threads)) {
    m_pages["/"] = ToGb2312(RenderIndexPage(m_threads));
    for (int n = 0; n < kSamplePictures; ++n) {
        m_pages[SamplePicturePath(n)] = SamplePicture(n);
    }
    for (const SampleThread& thread : m_threads) {
        Publish(thread, 0);
    }
}

void DemoForum::Publish(const SampleThread& thread, std::size_t nOldPages) {
    const std::string strStem = "/look," + thread.strBoardCode + "," + thread.strThreadId;
    const std::size_t nPages = std::max(thread.pages.size(), nOldPages);
    for (std::size_t nPage = 1; nPage <= nPages + 1; ++nPage) {
        m_pages[strStem + "_" + std::to_string(nPage) + ".html"] =
            ToGb2312(RenderThreadPage(thread, static_cast<int>(nPage)));
    }
    m_pages[strStem + ".html"] = m_pages[strStem + "_1.html"];
    m_pages["/topic," + thread.strBoardCode + ".html"] =
        ToGb2312(RenderBoardPage(m_threads, thread.strBoardCode));
}

bool DemoForum::ChangeThread(const std::string& strThreadId,
                             const std::function<void(SampleThread&)>& change) {
    std::lock_guard lock(m_mutex);
    for (SampleThread& thread : m_threads) {
        if (thread.strThreadId == strThreadId) {
            const std::size_t nOldPages = thread.pages.size();
            change(thread);
            Publish(thread, nOldPages);
            return true;
        }
    }
    return false;
}

DemoForum::~DemoForum() {
    Stop();
}

// A change of a thread the tests and the demo ask for: append, edit or delete posts.
void DemoForum::Change(const httplib::Request& request, httplib::Response& response) {
    const std::string strWhat = request.matches[1];
    const std::string strThread = request.get_param_value("thread");
    const auto number = [&](const char* pszName) {
        return std::atoi(request.get_param_value(pszName).c_str());
    };
    const bool bChanged = ChangeThread(strThread, [&](SampleThread& thread) {
        if (strWhat == "append") {
            AppendSamplePosts(thread, number("count"), request.get_param_value("starter") == "1");
        } else if (strWhat == "edit") {
            // A text the forum's code page cannot hold is left out.
            if (!Utf8ToGbk(request.get_param_value("text"))) {
                return;
            }
            EditSamplePost(thread, number("floor"), request.get_param_value("text"));
        } else {
            std::vector<int> floors;
            std::string strFloors = request.get_param_value("floors");
            for (std::size_t nAt = 0; nAt < strFloors.size();) {
                floors.push_back(std::atoi(strFloors.c_str() + nAt));
                const std::size_t nComma = strFloors.find(',', nAt);
                nAt = nComma == std::string::npos ? strFloors.size() : nComma + 1;
            }
            DeleteSamplePosts(thread, floors);
        }
    });
    response.status = bChanged ? 200 : 404;
    response.set_content(bChanged ? "changed\n" : "no such thread\n", "text/plain");
}

// A page of the forum, with the fault, the delay and the habit set for its path.
void DemoForum::Serve(const httplib::Request& request, httplib::Response& response) {
    PageFault fault;
    std::function<void()> before;
    {
        std::lock_guard lock(m_mutex);
        m_requests.push_back(request.path);
        if (auto it = m_faults.find(request.path); it != m_faults.end()) {
            fault = it->second;
            if (it->second.nTimes > 0 && --it->second.nTimes == 0) {
                m_faults.erase(it);
            }
        }
        fault.delay += m_latency;
        if (auto it = m_before.find(request.path); it != m_before.end()) {
            before = std::move(it->second);
            m_before.erase(it);
        }
    }
    if (before) {
        before();
    }
    if (fault.delay.count() > 0) {
        std::this_thread::sleep_for(fault.delay);
    }
    std::string strRedirect;
    std::string strPath;
    {
        std::lock_guard lock(m_mutex);
        strPath = PathServed(request.path, strRedirect);
    }
    if (!strRedirect.empty()) {
        response.set_redirect(strRedirect);
        return;
    }
    int nStatus = 200;
    std::string strBody;
    Route(strPath, nStatus, strBody);
    {
        std::lock_guard lock(m_mutex);
        m_answered.insert(request.path);
    }
    m_answer.notify_all();
    if (fault.nStatus != 200) {
        nStatus = fault.nStatus;
    }
    if (!fault.strRetryAfter.empty()) {
        response.set_header("Retry-After", fault.strRetryAfter);
    }
    response.status = nStatus;
    const bool bPicture = nStatus == 200 && strPath.ends_with(".png");
    response.set_content(std::move(strBody), bPicture ? "image/png" : kContentType);
}

bool DemoForum::Start(int nPort) {
    Stop();
    m_pServer = std::make_unique<httplib::Server>();
    m_pServer->set_keep_alive_max_count(1000);
    // Headers and body go out in separate writes; without this, every reused connection waits
    // for a delayed acknowledgement.
    m_pServer->set_tcp_nodelay(true);
    m_pServer->Post(R"(/demo/(append|edit|delete))",
                    [this](const httplib::Request& request, httplib::Response& response) {
                        Change(request, response);
                    });
    m_pServer->Get(R"(/.*)", [this](const httplib::Request& request, httplib::Response& response) {
        Serve(request, response);
    });
    if (nPort == 0) {
        m_nPort = m_pServer->bind_to_any_port("127.0.0.1");
    } else {
        m_nPort = m_pServer->bind_to_port("127.0.0.1", nPort) ? nPort : -1;
    }
    if (m_nPort <= 0) {
        m_pServer.reset();
        m_nPort = 0;
        return false;
    }
    m_thread = std::thread([this] { m_pServer->listen_after_bind(); });
    while (!m_pServer->is_running()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

void DemoForum::Stop() {
    if (m_pServer) {
        m_pServer->stop();
    }
    if (m_thread.joinable()) {
        m_thread.join();
    }
    m_pServer.reset();
}

std::string DemoForum::BaseAddress() const {
    return "http://127.0.0.1:" + std::to_string(m_nPort);
}

void DemoForum::SetPage(const std::string& strPath, std::string strBody) {
    std::lock_guard lock(m_mutex);
    m_pages[strPath] = std::move(strBody);
}

void DemoForum::SetFault(const std::string& strPath, PageFault fault) {
    std::lock_guard lock(m_mutex);
    m_faults[strPath] = fault;
}

void DemoForum::SetPastEnd(const std::string& strThreadId, PastEnd habit) {
    std::lock_guard lock(m_mutex);
    m_habits[strThreadId] = habit;
}

void DemoForum::SetRedirect(const std::string& strPath, std::string strTarget) {
    std::lock_guard lock(m_mutex);
    if (strTarget.empty()) {
        m_redirects.erase(strPath);
    } else {
        m_redirects[strPath] = std::move(strTarget);
    }
}

void DemoForum::BeforeServing(const std::string& strPath, std::function<void()> action) {
    std::lock_guard lock(m_mutex);
    m_before[strPath] = std::move(action);
}

std::string DemoForum::PathServed(const std::string& strPath, std::string& strRedirect) const {
    if (auto it = m_redirects.find(strPath); it != m_redirects.end()) {
        strRedirect = it->second;
        return strPath;
    }
    for (const SampleThread& thread : m_threads) {
        const std::string strStem = "/look," + thread.strBoardCode + "," + thread.strThreadId;
        const auto habit = m_habits.find(thread.strThreadId);
        if (habit == m_habits.end() || !strPath.starts_with(strStem)) {
            continue;
        }
        const int nPage =
            strPath == strStem + ".html" ? 1 : std::atoi(strPath.c_str() + strStem.size() + 1);
        const int nLast = static_cast<int>(thread.pages.size());
        const std::string strLast = strStem + "_" + std::to_string(nLast) + ".html";
        switch (habit->second) {
            case PastEnd::kEmptyPage:
                break;
            case PastEnd::kFirstForAll:
                return strStem + "_1.html";
            case PastEnd::kLastPageAgain:
                return nPage > nLast ? strLast : strPath;
            case PastEnd::kRedirectToFirst:
            case PastEnd::kRedirectToLast:
                if (nPage > nLast) {
                    strRedirect =
                        habit->second == PastEnd::kRedirectToLast ? strLast : strStem + ".html";
                }
                break;
        }
    }
    return strPath;
}

void DemoForum::SetLatency(std::chrono::milliseconds latency) {
    std::lock_guard lock(m_mutex);
    m_latency = latency;
}

std::vector<std::string> DemoForum::RequestedPaths() const {
    std::lock_guard lock(m_mutex);
    return m_requests;
}

void DemoForum::ClearRequests() {
    std::lock_guard lock(m_mutex);
    m_requests.clear();
    m_answered.clear();
}

bool DemoForum::WaitForAnswer(const std::string& strPath, std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    return m_answer.wait_for(lock, timeout, [&] { return m_answered.contains(strPath); });
}

void DemoForum::Route(const std::string& strPath, int& nStatus, std::string& strBody) const {
    std::lock_guard lock(m_mutex);
    if (auto it = m_pages.find(strPath); it != m_pages.end()) {
        strBody = it->second;
        return;
    }
    nStatus = 404;
    strBody = ToGb2312("<html><body>404 没有这个页面</body></html>");
}

}  // namespace vesk::demo
