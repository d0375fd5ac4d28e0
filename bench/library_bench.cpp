// The thread library's figures on the demo forum's 120-page thread, in one process: a first
// reading (time per page, and the file's size against its bodies), from a near forum and from
// one 50 ms away, an unchanged refresh (requests), the requests on boards that answer past the
// end with another page (habit: 0 a page without posts, 1 the last page again, 2 a redirect to
// the first page, 3 to the last, 4 the first page for every number), showing the whole thread,
// exporting it to each format.
// bench/library_figures.sh sets the first reading by vesk-library against vesk-fetch reading 40
// pages.

#include "demo_forum.h"
#include "long_thread.h"
#include "sqlite_db.h"
#include "thread_export.h"
#include "thread_page.h"
#include "thread_reader.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

using namespace vesk;

const ThreadKey kThread{"600519", "1000005"};

std::string LibraryFile() {
    return (std::filesystem::temp_directory_path() /
            ("vesk-library-bench-" + std::to_string(getpid()) + ".sqlite3"))
        .string();
}

void RemoveLibrary(const std::string& strPath) {
    for (const char* pszSuffix : {"", "-wal", "-shm"}) {
        std::filesystem::remove(strPath + pszSuffix);
    }
}

RefreshOutcome Refresh(ThreadStore& store, const demo::DemoForum& forum, bool bPictures = true) {
    PageFetcher fetcher;
    fetcher.OpenSession();
    RefreshSettings settings;
    settings.strBaseAddress = forum.BaseAddress();
    settings.bPictures = bPictures;
    return RefreshThread(store, fetcher, kThread, settings);
}

// The first reading of all 120 pages into a new library, with its 250 pictures or without, with
// the search index or without, per page; the file against the bodies, and per thousand posts.
void BM_FirstReading(benchmark::State& state) {
    demo::DemoForum forum;
    forum.Start();
    forum.SetLatency(std::chrono::milliseconds(state.range(0)));
    const std::string strPath = LibraryFile();
    double fPages = 0;
    for (auto _ : state) {
        state.PauseTiming();
        RemoveLibrary(strPath);
        ThreadStore store(strPath);
        if (state.range(2) == 0) {
            store.DropSearchIndex();
        }
        state.ResumeTiming();
        fPages += Refresh(store, forum, state.range(1) != 0).nLastPage;
    }
    std::size_t nBodies = 0;
    std::size_t nPosts = 0;
    {
        ThreadStore store(strPath);
        for (const StoredPost& post : store.Posts(store.Find(kThread)->nId)) {
            nBodies += post.strBody.size();
            ++nPosts;
        }
        store.Vacuum();
    }
    // Seconds per thousandth of a page: milliseconds per page.
    state.counters["per_page_ms"] = benchmark::Counter(
        fPages / 1000.0, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["file_per_body_byte"] =
        static_cast<double>(std::filesystem::file_size(strPath)) / static_cast<double>(nBodies);
    state.counters["kb_per_1000_posts"] =
        static_cast<double>(std::filesystem::file_size(strPath)) / static_cast<double>(nPosts);
    RemoveLibrary(strPath);
}
BENCHMARK(BM_FirstReading)
    ->ArgNames({"delay_ms", "pictures", "index"})
    ->Args({0, 1, 1})
    ->Args({0, 0, 1})
    ->Args({0, 0, 0})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FirstReading)
    ->ArgNames({"delay_ms", "pictures", "index"})
    ->Args({50, 1, 1})
    ->Args({50, 0, 1})
    ->Args({50, 0, 0})
    ->Iterations(2)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// The demo forum, and a new library holding its 120-page thread.
struct KeptThread {
    KeptThread() {
        forum.Start();
        RemoveLibrary(strPath);
        Refresh(store, forum);
        forum.ClearRequests();
    }
    ~KeptThread() { RemoveLibrary(strPath); }
    demo::DemoForum forum;
    const std::string strPath = LibraryFile();
    ThreadStore store{strPath};
};

// A refresh of the unchanged thread: its requests and time.
void BM_UnchangedRefresh(benchmark::State& state) {
    KeptThread kept;
    ThreadStore& store = kept.store;
    demo::DemoForum& forum = kept.forum;
    for (auto _ : state) {
        Refresh(store, forum);
    }
    state.counters["requests"] = static_cast<double>(forum.RequestedPaths().size()) /
                                 static_cast<double>(state.iterations());
}
BENCHMARK(BM_UnchangedRefresh)->UseRealTime()->Unit(benchmark::kMillisecond);

// Boards that answer past a thread's end with another page of it: the requests of a first reading
// of the 120-page thread, and of a refresh after 100 posts more (three pages on from page 120).
void BM_PastTheEnd(benchmark::State& state) {
    const auto habit = static_cast<demo::PastEnd>(state.range(0));
    demo::DemoForum forum;
    forum.Start();
    forum.SetPastEnd(kThread.strThreadId, habit);
    const std::string strPath = LibraryFile();
    double fFirst = 0;
    double fGrowth = 0;
    for (auto _ : state) {
        state.PauseTiming();
        RemoveLibrary(strPath);
        forum.ChangeThread(kThread.strThreadId, [](demo::SampleThread& thread) {
            thread = demo::DemoForum().Threads()[4];
        });
        forum.ClearRequests();
        state.ResumeTiming();
        ThreadStore store(strPath);
        Refresh(store, forum);
        fFirst += static_cast<double>(forum.RequestedPaths().size());
        forum.ClearRequests();
        forum.ChangeThread(kThread.strThreadId, [](demo::SampleThread& thread) {
            demo::AppendSamplePosts(thread, 100, false);
        });
        Refresh(store, forum);
        fGrowth += static_cast<double>(forum.RequestedPaths().size());
    }
    state.counters["first_requests"] = fFirst / static_cast<double>(state.iterations());
    state.counters["growth_requests"] = fGrowth / static_cast<double>(state.iterations());
    RemoveLibrary(strPath);
}
BENCHMARK(BM_PastTheEnd)
    ->ArgName("habit")
    ->DenseRange(0, 4)
    ->Iterations(3)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// Showing the whole kept thread, every post: read from the library, composed, written.
void BM_ShowWholeThread(benchmark::State& state) {
    KeptThread kept;
    ThreadStore& store = kept.store;
    const std::string strPage = kept.strPath + ".htm";
    std::size_t nBytes = 0;
    for (auto _ : state) {
        const std::optional<StoredThread> thread = store.Find(kThread);
        const ResultPage page = ComposeThreadPage(*thread, store.Posts(thread->nId), {}, false);
        WriteResultFile(strPage, page.strText);
        nBytes = page.strText.size();
    }
    state.counters["page_bytes"] = static_cast<double>(nBytes);
    std::filesystem::remove(strPage);
}
BENCHMARK(BM_ShowWholeThread)->UseRealTime()->Unit(benchmark::kMillisecond);

// Exporting the kept thread with its 250 pictures (format: 0 html, 1 epub, 2 md; starter: the
// starter's posts alone), written to a file: the time, and the bytes of the file and of the
// pictures beside it.
void BM_Export(benchmark::State& state) {
    KeptThread kept;
    const auto format = static_cast<ExportFormat>(state.range(0));
    const std::filesystem::path out =
        kept.strPath + "-export." + std::string(ExportFormatName(format));
    const std::filesystem::path pictures = out.parent_path() / (out.stem().string() + "_pictures");
    ExportChoice choice;
    choice.format = format;
    choice.filter.mode = state.range(1) == 0 ? PostFilter::Mode::kAll : PostFilter::Mode::kStarter;
    const std::optional<StoredThread> thread = kept.store.Find(kThread);
    for (auto _ : state) {
        if (!WriteThreadExport(kept.store, *thread, choice, out.string()).empty()) {
            state.SkipWithError("not written");
        }
    }
    double fBeside = 0;
    for (std::error_code error;
         const auto& entry : std::filesystem::directory_iterator(pictures, error)) {
        fBeside += static_cast<double>(entry.file_size());
    }
    state.counters["file_bytes"] = static_cast<double>(std::filesystem::file_size(out));
    state.counters["pictures_beside_bytes"] = fBeside;
    std::filesystem::remove(out);
    std::filesystem::remove_all(pictures);
}
BENCHMARK(BM_Export)
    ->ArgNames({"format", "starter"})
    ->ArgsProduct({{0, 1, 2}, {0, 1}})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// Every body of the kept thread (5,967 posts) through the sanitiser, as a page of all of them
// shows them.
void BM_SanitiseWholeThread(benchmark::State& state) {
    KeptThread kept;
    const std::optional<StoredThread> thread = kept.store.Find(kThread);
    const std::vector<StoredPost> posts = kept.store.Posts(thread->nId);
    const PictureMap pictures = kept.store.Pictures(thread->nId);
    std::size_t nBytes = 0;
    for (auto _ : state) {
        nBytes = 0;
        for (const StoredPost& post : posts) {
            nBytes += SanitiseBody(post.strBody, pictures).size();
        }
    }
    state.counters["posts"] = static_cast<double>(posts.size());
    state.counters["bytes"] = static_cast<double>(nBytes);
}
BENCHMARK(BM_SanitiseWholeThread)->UseRealTime()->Unit(benchmark::kMillisecond);

// The list of 100 kept threads of 5,000 posts each (a tenth of them unread), as the home page and
// `vesk-library list` read it.
void BM_ListHundredThreads(benchmark::State& state) {
    const std::string strPath = LibraryFile();
    RemoveLibrary(strPath);
    {
        ThreadStore store(strPath);
        for (int nThread = 0; nThread < 100; ++nThread) {
            const ThreadKey key{"600519", std::to_string(2000000 + nThread)};
            test::KeepThreadPages(store, key, 1, 90);
            store.MarkRead(store.Find(key)->nId);
            test::KeepThreadPages(store, key, 91, 100, 2);
        }
    }
    ThreadStore store(strPath);
    std::size_t nUnread = 0;
    for (auto _ : state) {
        nUnread = 0;
        for (const ThreadListing& thread : store.List()) {
            nUnread += static_cast<std::size_t>(thread.nUnread);
        }
    }
    state.counters["unread"] = static_cast<double>(nUnread);
    RemoveLibrary(strPath);
}
BENCHMARK(BM_ListHundredThreads)->UseRealTime()->Unit(benchmark::kMillisecond);

// `show --mode starter` of a thread of 100,000 posts (a seventh of them the starter's): the
// starter's posts read, composed and written (arg 0), against reading the same rows alone, as
// the sqlite3 shell would (arg 1).
void BM_ShowStarterOfHundredThousand(benchmark::State& state) {
    static const std::string strPath = [] {
        const std::string strFile = LibraryFile() + "-big";
        RemoveLibrary(strFile);
        ThreadStore store(strFile);
        test::KeepLongThread(store, {"600519", "3000000"}, 2000);
        return strFile;
    }();
    static const bool bRemovedAtExit = std::atexit([] { RemoveLibrary(strPath); }) == 0;
    static_cast<void>(bRemovedAtExit);
    ThreadStore store(strPath);
    const std::optional<StoredThread> thread = store.Find({"600519", "3000000"});
    const std::string strPage = strPath + ".htm";
    const PostFilter filter{PostFilter::Mode::kStarter, ""};
    std::size_t nRows = 0;
    for (auto _ : state) {
        if (state.range(0) == 0) {
            const ResultPage page = ComposeThreadPage(
                *thread, store.Posts(thread->nId, thread->strStarter), filter, false);
            WriteResultFile(strPage, page.strText);
            nRows = static_cast<std::size_t>(page.nShown);
        } else {
            Database db(strPath, false, 1000, true);
            Statement select = db.Prepare(
                "SELECT floor, author, time, body FROM post WHERE thread = ? AND author = ? "
                "ORDER BY sort_floor, floor = 0, page, position");
            select.Bind(1, thread->nId).Bind(2, thread->strStarter);
            nRows = 0;
            while (select.Step()) {
                ++nRows;
            }
        }
    }
    state.counters["rows"] = static_cast<double>(nRows);
    std::filesystem::remove(strPage);
}
BENCHMARK(BM_ShowStarterOfHundredThousand)
    ->ArgName("rows_alone")
    ->Arg(0)
    ->Arg(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
