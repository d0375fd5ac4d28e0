#include "demo_forum.h"

#include "code_page.h"

#include <httplib.h>

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
    for (const SampleThread& thread : m_threads) {
        const std::string strStem = "/look," + thread.strBoardCode + "," + thread.strThreadId;
        for (int nPage = 1; nPage <= static_cast<int>(thread.pages.size()) + 1; ++nPage) {
            m_pages[strStem + "_" + std::to_string(nPage) + ".html"] =
                ToGb2312(RenderThreadPage(thread, nPage));
        }
        m_pages[strStem + ".html"] = m_pages[strStem + "_1.html"];
        m_pages["/topic," + thread.strBoardCode + ".html"] =
            ToGb2312(RenderBoardPage(m_threads, thread.strBoardCode));
    }
}

DemoForum::~DemoForum() {
    Stop();
}

bool DemoForum::Start(int nPort) {
    Stop();
    m_pServer = std::make_unique<httplib::Server>();
    m_pServer->set_keep_alive_max_count(1000);
    // Headers and body go out in separate writes; without this, every reused connection waits
    // for a delayed acknowledgement.
    m_pServer->set_tcp_nodelay(true);
    m_pServer->Get(R"(/.*)", [this](const httplib::Request& request, httplib::Response& response) {
        PageFault fault;
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
        }
        if (fault.delay.count() > 0) {
            std::this_thread::sleep_for(fault.delay);
        }
        int nStatus = 200;
        std::string strBody;
        Route(request.path, nStatus, strBody);
        if (fault.nStatus != 200) {
            nStatus = fault.nStatus;
        }
        if (!fault.strRetryAfter.empty()) {
            response.set_header("Retry-After", fault.strRetryAfter);
        }
        response.status = nStatus;
        response.set_content(std::move(strBody), kContentType);
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
