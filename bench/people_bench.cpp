// People in a large library: 100 threads of 5,000 posts (500,000 posts) by 97 posters, their
// times spread over two years, made once into a file under /tmp and kept for later runs. Times a
// person's page (about 5,000 posts of theirs, the newest 200 shown) to the file written, and the
// home page with every thread's last twelve weeks drawn.

#include "activity.h"
#include "code_page.h"
#include "home_page.h"
#include "person_page.h"
#include "result_page.h"
#include "thread_store.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

namespace vesk {
namespace {

constexpr int kThreads = 100;
constexpr int kPostsPerThread = 5000;
constexpr int kPerPage = 50;

std::string LibraryPath() {
    return "/tmp/vesk-people-bench.sqlite3";
}

// A post's time: the threads run side by side over two years up to this week.
std::string PostTime(int nThread, int nFloor) {
    const auto now = std::chrono::floor<std::chrono::days>(std::chrono::system_clock::now());
    const auto day = now - std::chrono::days(730) +
                     std::chrono::days((nFloor * 730 / kPostsPerThread + nThread) % 730);
    const std::chrono::year_month_day date{day};
    char szTime[32];
    std::snprintf(szTime, sizeof szTime, "%04d-%02u-%02u %02d:%02d:00", int(date.year()),
                  unsigned(date.month()), unsigned(date.day()), nFloor % 24, nThread % 60);
    return szTime;
}

void MakeLibrary() {
    const std::string strPath = LibraryPath();
    {
        std::error_code error;
        if (std::filesystem::exists(strPath, error) &&
            ThreadStore(strPath).List().size() == kThreads) {
            return;
        }
    }
    for (const char* pszSuffix : {"", "-wal", "-shm"}) {
        std::filesystem::remove(strPath + pszSuffix);
    }
    const auto start = std::chrono::steady_clock::now();
    ThreadStore store(strPath);
    const std::string strBody =
        Utf8ToGbk("今天放量突破平台，主力资金明显在进场，明天大概率继续冲高。<br>仓位控制最重要。")
            .value();
    std::vector<std::string> texts(kPerPage * 2);
    for (int t = 0; t < kThreads; ++t) {
        const ThreadKey key{"600519", std::to_string(2000000 + t)};
        for (int nPage = 1; nPage <= kPostsPerThread / kPerPage; ++nPage) {
            ReadPage page{nPage, {}, {}};
            if (nPage == 1) {
                page.heading = ThreadHeading{"diary " + std::to_string(t), "board"};
            }
            for (int i = 0; i < kPerPage; ++i) {
                const int nFloor = (nPage - 1) * kPerPage + i + 1;
                texts[static_cast<std::size_t>(i) * 2] =
                    "author" + std::to_string((nFloor * 7 + t) % 97);
                texts[static_cast<std::size_t>(i) * 2 + 1] = PostTime(t, nFloor);
                page.posts.push_back({nFloor, texts[static_cast<std::size_t>(i) * 2],
                                      texts[static_cast<std::size_t>(i) * 2 + 1], strBody});
            }
            store.StorePage(key, page, 1);
        }
        store.CatchUpSearchIndex();
    }
    store.Follow("author7", 1);
    store.Follow("author8", 2);
    std::fprintf(stderr, "made %s in %.0f s\n", strPath.c_str(),
                 std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
}

// A person's page: their posts found, the newest 200 composed and written.
void BM_PersonPage(benchmark::State& state) {
    MakeLibrary();
    ThreadStore store(LibraryPath());
    PersonLinks links;
    links.post = [](const ThreadKey& key, std::int64_t nPost) {
        return "?do=find&thread=" + key.strThreadId + "&post=" + std::to_string(nPost);
    };
    links.part = [](int nFrom) { return "?do=person&from=" + std::to_string(nFrom); };
    int nTotal = 0;
    for (auto _ : state) {
        const PersonPage page =
            ComposePersonPage(store, "author7", {}, links, PictureForm::kKept, CurrentWeek());
        WriteResultFile("/tmp/vesk-people-bench.htm", page.page.strText);
        nTotal = page.nTotal;
    }
    state.counters["posts"] = nTotal;
}
BENCHMARK(BM_PersonPage)->Unit(benchmark::kMillisecond);

// The home page: the threads, the people followed, every thread's twelve weeks drawn.
void BM_HomePage(benchmark::State& state) {
    MakeLibrary();
    ThreadStore store(LibraryPath());
    const QUrl home = QUrl::fromLocalFile(QStringLiteral("/tmp/home.htm"));
    qsizetype nSize = 0;
    for (auto _ : state) {
        HomeFigures figures;
        figures.nThisWeek = CurrentWeek();
        const std::vector<ThreadListing> threads = store.List();
        figures.people = store.Following();
        figures.weeks = store.ActivitySince(figures.nThisWeek - kHomeChartWeeks + 1);
        nSize = ComposeHomePage(home, threads, figures, {}, {}).size();
    }
    state.counters["chars"] = static_cast<double>(nSize);
}
BENCHMARK(BM_HomePage)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vesk

BENCHMARK_MAIN();
