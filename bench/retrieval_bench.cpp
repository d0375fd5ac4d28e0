// Extraction and composition speed on the demo forum's 40-page thread, and whole retrievals of
// it with one request at a time and with a window of four.

#include "demo_forum.h"
#include "fetch_thread.h"
#include "post_extraction.h"
#include "result_page.h"
#include "text_cut.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

namespace {

using namespace vesk;

// The 40 pages of the demo's longest thread that a retrieval reads, as GB2312 bytes.
const std::vector<std::string>& FortyPages() {
    static const std::vector<std::string> pages = [] {
        std::vector<std::string> result;
        for (const demo::SampleThread& thread : demo::MakeSampleThreads()) {
            if (thread.pages.size() < 40) {
                continue;
            }
            for (int nPage = 1; nPage <= 40; ++nPage) {
                result.push_back(demo::ToGb2312(demo::RenderThreadPage(thread, nPage)));
            }
            break;
        }
        return result;
    }();
    return pages;
}

void BM_ExtractFortyPages(benchmark::State& state) {
    const auto& pages = FortyPages();
    PostTable table;
    std::int64_t nBytes = 0;
    for (const std::string& page : pages) {
        nBytes += static_cast<std::int64_t>(page.size());
    }
    int nLast = -1;
    for (auto _ : state) {
        nLast = -1;
        for (const std::string& page : pages) {
            nLast = ExtractPosts(page, table.data(), nLast);
        }
        benchmark::DoNotOptimize(nLast);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * nBytes);
    state.counters["posts"] = nLast + 1;
    state.counters["page_kb"] = static_cast<double>(nBytes) / 40 / 1024;
}
BENCHMARK(BM_ExtractFortyPages)->Unit(benchmark::kMillisecond);

// A full table: the thread's 2000 posts and 50 more, composed and written to disk.
void BM_ComposeAndWriteFullTable(benchmark::State& state) {
    PostTable table;
    int nLast = -1;
    for (const std::string& page : FortyPages()) {
        nLast = ExtractPosts(page, table.data(), nLast);
    }
    nLast = ExtractPosts(FortyPages()[0], table.data(), nLast);
    const std::string strTitle = "title";
    const std::string strStarter = table[0].szAuthor;
    char szPath[] = "/tmp/vesk-bench-XXXXXX";
    const int nFd = mkstemp(szPath);
    close(nFd);
    PostFilter filter;
    std::size_t nPageBytes = 0;
    for (auto _ : state) {
        const ResultPage page = BuildResultPage(table.data(), nLast, strTitle, strStarter, filter);
        if (!WriteResultFile(szPath, page.strText)) {
            state.SkipWithError("cannot write the page");
        }
        nPageBytes = page.strText.size();
    }
    std::remove(szPath);
    state.counters["records"] = nLast + 1;
    state.counters["page_kb"] = static_cast<double>(nPageBytes) / 1024;
}
BENCHMARK(BM_ComposeAndWriteFullTable)->Unit(benchmark::kMillisecond);

// Whole retrievals of the 40-page thread from the demo forum pausing 50 ms before every answer,
// as a distant board would: one request at a time against a window of four.
class Waiter final : public FetchNotifyTarget {
public:
    void PostFetchNotify(int wParam, int) override {
        std::lock_guard lock(m_mutex);
        m_nLast = wParam;
        m_bDone = true;
        m_done.notify_all();
    }
    int Wait() {
        std::unique_lock lock(m_mutex);
        m_done.wait(lock, [this] { return m_bDone; });
        return m_nLast;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_bDone = false;
    int m_nLast = -1;
};

void BM_ReadFortyPagesAt50ms(benchmark::State& state) {
    demo::DemoForum forum;
    if (!forum.Start()) {
        state.SkipWithError("no demo forum");
        return;
    }
    forum.SetLatency(std::chrono::milliseconds(50));
    PostTable table;
    ResultBuffers buffers{};
    int nLast = -1;
    for (auto _ : state) {
        Waiter waiter;
        auto pJob = std::make_unique<FetchJob>();
        pJob->hWndNotify = &waiter;
        CopyToField(pJob->szThreadUrl, forum.BaseAddress() + "/look,300750,1000003.html");
        AttachResults(*pJob, table, buffers);
        FetchSettings settings;
        settings.strBaseAddress = forum.BaseAddress();
        settings.nWindow = static_cast<int>(state.range(0));
        FetchThread thread(std::move(pJob), settings);
        thread.CreateThread();
        nLast = waiter.Wait();
        thread.Join();
    }
    state.counters["posts"] = nLast + 1;
}
BENCHMARK(BM_ReadFortyPagesAt50ms)
    ->ArgName("window")
    ->Arg(1)
    ->Arg(4)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
