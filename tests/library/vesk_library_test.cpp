// vesk-library against the demo forum on 127.0.0.1, with real library files.

#include "code_page.h"
#include "demo_forum.h"
#include "process.h"
#include "thread_store.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>

#include <algorithm>
#include <chrono>
#include <numeric>
#include <set>
#include <sqlite3.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char** environ;

namespace vesk {
namespace {

using namespace std::chrono_literals;
using test::ProcessResult;
using test::ReadFile;
using test::RunProcess;

constexpr char kLong[] = "look,600519,1000005.html";   // 120 pages, the last part-full
constexpr char kShort[] = "look,601318,1000002.html";  // 12 full pages

class VeskLibraryTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(forum.Start()); }

    std::vector<std::string> Args(std::vector<std::string> args) const {
        args.insert(args.begin(), {VESK_LIBRARY_PATH, "--db", Db(), "--base", forum.BaseAddress()});
        return args;
    }
    ProcessResult Library(const std::vector<std::string>& args) {
        return RunProcess(Args(args), {}, dir.Path());
    }
    std::string Url(const char* pszTail) const { return forum.BaseAddress() + "/" + pszTail; }
    std::string Db() const { return dir.File("library.sqlite3"); }
    // The summary's value for a key.
    static std::string Value(const std::string& strSummary, const std::string& strKey) {
        const std::size_t nStart = strSummary.find("\n" + strKey + "\t");
        const std::size_t nValue = nStart + strKey.size() + 2;
        return nStart == std::string::npos
                   ? "<missing>"
                   : strSummary.substr(nValue, strSummary.find('\n', nValue) - nValue);
    }
    // The pages asked for since the last call, by number, in order.
    std::vector<int> PagesAsked() {
        std::vector<int> pages;
        for (const std::string& path : forum.RequestedPaths()) {
            const std::size_t nUnder = path.rfind('_');
            pages.push_back(nUnder == std::string::npos ? 1 : std::stoi(path.substr(nUnder + 1)));
        }
        forum.ClearRequests();
        return pages;
    }
    // Every page from nFirst to nLast asked for once, and at most three after them.
    void ExpectPagesAsked(int nFirst, int nLast) {
        const std::vector<int> asked = PagesAsked();
        const std::set<int> pages(asked.begin(), asked.end());
        EXPECT_EQ(pages.size(), asked.size());
        EXPECT_EQ(*pages.begin(), nFirst);
        EXPECT_LE(*pages.rbegin(), nLast + 3);
        EXPECT_GE(pages.size(), static_cast<std::size_t>(nLast - nFirst + 1));
        EXPECT_LE(pages.size(), static_cast<std::size_t>(nLast - nFirst + 4));
    }
    static std::string Gbk(const std::string& strUtf8) { return Utf8ToGbk(strUtf8).value(); }

    demo::DemoForum forum;
    test::TempDir dir;
};

// The first reading takes every page, the next asks only for the last page and the one after it;
// list and show say what is kept, and show on a short thread writes vesk-fetch's page.
TEST_F(VeskLibraryTest, AFirstReadingKeepsTheWholeThreadAndTheNextAsksForTwoPages) {
    const ProcessResult first = Library({"refresh", "--summary", Url(kLong)});
    ASSERT_EQ(first.nExitCode, 0) << first.strErr;
    EXPECT_EQ(Value("\n" + first.strOut, "pages"), "120");
    EXPECT_EQ(Value("\n" + first.strOut, "posts"), "5967");
    EXPECT_EQ(Value("\n" + first.strOut, "new"), "5967");
    EXPECT_EQ(Value("\n" + first.strOut, "starter"), Gbk("茅台长线客"));
    ExpectPagesAsked(1, 121);

    const ProcessResult again = Library(
        {"refresh", "--summary", "--base", forum.BaseAddress(), Url("look,600519,1000005_7.html")});
    EXPECT_EQ(again.nExitCode, 0);
    EXPECT_EQ(PagesAsked(), (std::vector<int>{120, 121}));
    EXPECT_EQ(Value("\n" + again.strOut, "new"), "0");

    const ProcessResult list = Library({"list"});
    EXPECT_EQ(
        list.strOut.substr(0, list.strOut.rfind('\t', list.strOut.rfind('\t') - 1)),
        "600519\t1000005\t茅台长线实盘日记：每周更新持仓与思考_贵州茅台吧_vesk股吧\t5967\t0\t0");
    const ProcessResult show = Library({"show", "--summary", "--mode", "starter", Url(kLong)});
    EXPECT_EQ(show.nExitCode, 0);
    EXPECT_EQ(Value("\n" + show.strOut, "shown"), "38");  // floor 1 and every 160th
    EXPECT_NE(ReadFile(dir.File("post.htm")).find(Gbk("茅台长线客")), std::string::npos);

    ASSERT_EQ(Library({"refresh", Url(kShort)}).nExitCode, 0);
    for (const std::vector<std::string>& mode : {std::vector<std::string>{},
                                                 {"--mode", "starter"},
                                                 {"--mode", "names", "--names", "股海，长线"}}) {
        std::vector<std::string> kept = {"show", "--out", "kept.htm", Url(kShort)};
        std::vector<std::string> fetch = {VESK_FETCH_PATH, "--base",      forum.BaseAddress(),
                                          "--out",         "fetched.htm", Url(kShort)};
        kept.insert(kept.begin() + 1, mode.begin(), mode.end());
        fetch.insert(fetch.begin() + 3, mode.begin(), mode.end());
        ASSERT_EQ(Library(kept).nExitCode, 0);
        ASSERT_EQ(RunProcess(fetch, {}, dir.Path()).nExitCode, 0);
        EXPECT_EQ(ReadFile(dir.File("kept.htm")), ReadFile(dir.File("fetched.htm")));
    }
}

// Posts appended, edited and deleted on the last page are noticed, marked until shown, and kept
// in the history; deletions that move later posts onto earlier pages lose no post.
TEST_F(VeskLibraryTest, ChangesAreNoticedMarkedAndKeptAndShiftedPagesLoseNothing) {
    ASSERT_EQ(Library({"refresh", Url(kShort)}).nExitCode, 0);
    forum.ChangeThread("1000002", [](demo::SampleThread& thread) {
        demo::EditSamplePost(thread, 580, "改过的话");
        demo::DeleteSamplePosts(thread, {590});
        demo::AppendSamplePosts(thread, 3, true);
    });
    forum.ClearRequests();
    const ProcessResult refresh = Library({"refresh", "--summary", Url(kShort)});
    EXPECT_EQ(refresh.nExitCode, 0);
    // Page 13 is part-full, so page 14 is asked for alone.
    EXPECT_EQ(PagesAsked(), (std::vector<int>{12, 13, 14}));
    EXPECT_EQ(Value("\n" + refresh.strOut, "new") + Value("\n" + refresh.strOut, "edited") +
                  Value("\n" + refresh.strOut, "deleted") + Value("\n" + refresh.strOut, "posts"),
              "311602");
    EXPECT_NE(Library({"list"}).strOut.find("\t602\t5\t3\t"), std::string::npos);

    const ProcessResult peek = Library({"show", "--new", "--peek", "--summary", Url(kShort)});
    EXPECT_EQ(Value("\n" + peek.strOut, "shown"), "5");
    const std::string strPage = ReadFile(dir.File("post.htm"));
    EXPECT_NE(
        strPage.find(Gbk(" [已修改]</div>") + "<div style=padding-left:20px;>" + Gbk("改过的话")),
        std::string::npos);
    EXPECT_NE(strPage.find(Gbk(" [已删除]")), std::string::npos);
    EXPECT_EQ(Library({"show", "--new", "--summary", Url(kShort)}).strOut, peek.strOut);
    EXPECT_EQ(Value("\n" + Library({"show", "--new", "--summary", Url(kShort)}).strOut, "shown"),
              "0");
    const ProcessResult history = Library({"history", Url(kShort)});
    ASSERT_EQ(std::count(history.strOut.begin(), history.strOut.end(), '\n'), 2);
    EXPECT_TRUE(history.strOut.starts_with("580\tedited\t20"));
    EXPECT_NE(history.strOut.find("\n590\tdeleted\t20"), std::string::npos);

    // 120 posts gone from page 9 on and 60 new: pages 12 and 11 are empty or beyond what was
    // kept, so the refresh reads back to page 10, where kept floors are.
    forum.ChangeThread("1000002", [](demo::SampleThread& thread) {
        std::vector<int> floors(120);
        std::iota(floors.begin(), floors.end(), 401);
        demo::DeleteSamplePosts(thread, floors);
        demo::AppendSamplePosts(thread, 60, false);
    });
    forum.ClearRequests();
    const ProcessResult shifted = Library({"refresh", "--summary", Url(kShort)});
    EXPECT_EQ(shifted.nExitCode, 0) << shifted.strErr;
    ExpectPagesAsked(10, 13);
    EXPECT_EQ(Value("\n" + shifted.strOut, "new"), "60");
    ASSERT_EQ(Library({"show", "--summary", Url(kShort)}).nExitCode, 0);
    // Every floor once, in order.
    const std::string strAll = ReadFile(dir.File("post.htm"));
    int nRows = 0;
    int nLast = 0;
    for (std::size_t n = 0; (n = strAll.find("margin-right:6px;>", n)) != std::string::npos;
         ++nRows) {
        n += 18;
        const int nFloor = std::stoi(strAll.substr(n));
        EXPECT_GT(nFloor, nLast);
        nLast = nFloor;
    }
    EXPECT_EQ(nRows, 663);
}

// A refresh killed while a page stalls leaves every page before it kept; the next goes on from
// the last page kept, and no post is kept twice.
TEST_F(VeskLibraryTest, ARefreshKilledMidThreadIsResumedFromTheLastPageKept) {
    forum.SetFault("/look,600519,1000005_30.html", {200, 3s});
    const std::vector<std::string> args = Args({"refresh", Url(kLong)});
    std::vector<char*> argv;
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ), 0);
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(20ms);
        ThreadStore store(Db());
        if (const auto thread = store.Find({"600519", "1000005"});
            thread && thread->nResumePage == 29) {
            break;
        }
    }
    kill(pid, SIGKILL);
    int nStatus = 0;
    waitpid(pid, &nStatus, 0);
    ASSERT_TRUE(WIFSIGNALED(nStatus));
    forum.SetFault("/look,600519,1000005_30.html", {});
    forum.ClearRequests();
    const ProcessResult resumed = Library({"refresh", "--summary", Url(kLong)});
    EXPECT_EQ(resumed.nExitCode, 0);
    EXPECT_EQ(PagesAsked().front(), 29);
    EXPECT_EQ(Value("\n" + resumed.strOut, "posts"), "5967");
    EXPECT_EQ(Value("\n" + resumed.strOut, "new"), std::to_string(5967 - 29 * 50));
}

// What is no library, or a newer one, is left byte for byte; two processes share one library.
TEST_F(VeskLibraryTest, OtherFilesAreLeftAsTheyWereAndTwoProcessesShareOneLibrary) {
    const auto sqlite = [](const std::string& strPath, const char* pszSql) {
        sqlite3* pDb = nullptr;
        sqlite3_open(strPath.c_str(), &pDb);
        sqlite3_exec(pDb, pszSql, nullptr, nullptr, nullptr);
        sqlite3_close(pDb);
    };
    ASSERT_EQ(Library({"refresh", Url(kShort)}).nExitCode, 0);
    sqlite(Db(), "PRAGMA journal_mode=DELETE; PRAGMA user_version=3");
    const std::string strNewer = ReadFile(Db());
    sqlite(dir.File("other.sqlite3"), "CREATE TABLE t(x)");
    std::FILE* pText = std::fopen(dir.File("text.txt").c_str(), "w");
    std::fputs("not a database, but long enough to look like one might be\n", pText);
    std::fclose(pText);
    for (const std::string& file : {Db(), dir.File("other.sqlite3"), dir.File("text.txt")}) {
        const std::string strBefore = ReadFile(file);
        for (const std::vector<std::string>& command :
             {std::vector<std::string>{"list"}, {"refresh", Url(kShort)}}) {
            std::vector<std::string> args = command;
            args.insert(args.begin(), {"--db", file});
            const ProcessResult result = Library(args);
            EXPECT_EQ(result.nExitCode, 5) << file;
            EXPECT_NE(result.strErr.find(file), std::string::npos);
        }
        EXPECT_EQ(ReadFile(file), strBefore);
    }
    EXPECT_EQ(ReadFile(Db()), strNewer);

    test::TempDir shared;
    const std::vector<std::string> base = {VESK_LIBRARY_PATH, "--db", shared.File("l.sqlite3"),
                                           "--base", forum.BaseAddress()};
    forum.SetLatency(5ms);
    std::vector<ProcessResult> results(3);
    std::vector<std::thread> runs;
    const std::vector<std::vector<std::string>> commands = {
        {"refresh", Url(kLong)}, {"refresh", Url(kShort)}, {"show", "--peek", Url(kShort)}};
    for (std::size_t i = 0; i < commands.size(); ++i) {
        runs.emplace_back([&, i] {
            std::vector<std::string> args = base;
            args.insert(args.end(), commands[i].begin(), commands[i].end());
            // The show waits for the short thread to be there.
            for (int n = 0; n < 200; ++n) {
                results[i] = RunProcess(args, {}, shared.Path());
                if (i < 2 || results[i].nExitCode != 1) {
                    break;
                }
                std::this_thread::sleep_for(10ms);
            }
        });
    }
    for (std::thread& run : runs) {
        run.join();
    }
    for (const ProcessResult& result : results) {
        EXPECT_EQ(result.nExitCode, 0) << result.strErr;
    }
    const ProcessResult list =
        RunProcess({VESK_LIBRARY_PATH, "--db", shared.File("l.sqlite3"), "list"});
    EXPECT_NE(list.strOut.find("\t5967\t"), std::string::npos);
    EXPECT_NE(list.strOut.find("\t600\t"), std::string::npos);
}

// Watched threads are refreshed one after the other, each with new posts told in a line; one that
// failed three times in a row rests; a library of the first format gains the watch.
TEST_F(VeskLibraryTest, WatchedThreadsAreRefreshedTogetherAndOneFailingRests) {
    constexpr char kMoutai[] = "look,600519,1000001.html";
    ASSERT_EQ(Library({"refresh", Url(kShort)}).nExitCode, 0);
    ASSERT_EQ(Library({"refresh", Url(kMoutai)}).nExitCode, 0);
    // The first format: no watch columns, version 1.
    sqlite3* pDb = nullptr;
    sqlite3_open(Db().c_str(), &pDb);
    sqlite3_exec(pDb,
                 "ALTER TABLE thread DROP COLUMN watched; ALTER TABLE thread DROP COLUMN failures;"
                 "ALTER TABLE thread DROP COLUMN failed_at; PRAGMA user_version=1",
                 nullptr, nullptr, nullptr);
    sqlite3_close(pDb);
    EXPECT_EQ(Library({"watch", Url(kShort)}).nExitCode, 0);
    EXPECT_EQ(Library({"watch", Url(kMoutai)}).nExitCode, 0);
    EXPECT_EQ(Library({"watch", Url(kLong)}).nExitCode, 1);
    EXPECT_NE(Library({"list"}).strOut.find("\t1\n"), std::string::npos);

    forum.ChangeThread("1000002",
                       [](demo::SampleThread& t) { demo::AppendSamplePosts(t, 2, true); });
    forum.ChangeThread("1000001",
                       [](demo::SampleThread& t) { demo::AppendSamplePosts(t, 3, false); });
    const ProcessResult watched = Library({"refresh", "--watched"});
    EXPECT_EQ(watched.nExitCode, 0) << watched.strErr;
    EXPECT_EQ(watched.strOut,
              "601318\t1000002\t平安的保险业务还能增长吗？长期跟踪帖_中国平安吧_vesk股吧\t2\t2\n"
              "600519\t1000001\t茅台一季度业绩前瞻，大家怎么看？_贵州茅台吧_vesk股吧\t3\t0\n");
    EXPECT_EQ(Library({"refresh", "--watched"}).strOut, "");

    forum.SetFault("/look,600519,1000001_3.html", {500});
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Library({"refresh", "--watched"}).nExitCode, 6);
    }
    forum.ClearRequests();
    EXPECT_EQ(Library({"refresh", "--watched"}).nExitCode, 0);
    for (const std::string& path : forum.RequestedPaths()) {
        EXPECT_EQ(path.find("1000001"), std::string::npos) << path;
    }
    EXPECT_EQ(Library({"unwatch", Url(kShort)}).nExitCode, 0);
    EXPECT_NE(Library({"list"}).strOut.find("\t0\n"), std::string::npos);
}

// The command's contract: help, wrong arguments, rejected addresses, threads not kept.
TEST_F(VeskLibraryTest, ArgumentsAddressesAndThreadsNotKeptGiveTheirExitCodes) {
    const ProcessResult help = RunProcess({VESK_LIBRARY_PATH, "--help"});
    EXPECT_EQ(help.nExitCode, 0);
    for (const char* pszOption : {"--db", "--base", "--mode", "--names", "--new", "--peek", "--out",
                                  "--summary", "refresh", "history", "forget", "  6 "}) {
        EXPECT_NE(help.strOut.find(pszOption), std::string::npos) << pszOption;
    }
    const struct {
        std::vector<std::string> args;
        int nExit;
        const char* pszErr;
    } cases[] = {
        {{"list", "--new"}, 2, "--new is not an option of list"},
        {{"refresh"}, 2, "no thread address"},
        {{"fetch", Url(kShort)}, 2, "unknown command fetch"},
        {{"show", "--mode", "names", Url(kShort)}, 2, "请指定需要显示的发帖人名字"},
        {{"refresh", "http://elsewhere.example.com/look,1,2.html"}, 2, "look,"},
        {{"show", Url(kShort)}, 1, "not in the library"},
        {{"history", Url(kShort)}, 1, "not in the library"},
        {{"forget", Url(kShort)}, 1, "not in the library"},
        {{"refresh", Url("look,600519,999.html")}, 1, ""},
    };
    for (const auto& c : cases) {
        const ProcessResult result = Library(c.args);
        EXPECT_EQ(result.nExitCode, c.nExit) << c.args[0];
        EXPECT_NE(result.strErr.find(c.pszErr), std::string::npos) << c.args[0] << result.strErr;
    }
    EXPECT_EQ(Library({"list"}).strOut, "");
    ASSERT_EQ(Library({"refresh", Url(kShort)}).nExitCode, 0);
    forum.SetFault("/look,601318,1000002_12.html", {500});
    EXPECT_EQ(Library({"refresh", Url(kShort)}).nExitCode, 6);
    EXPECT_EQ(Library({"forget", Url(kShort)}).nExitCode, 0);
    EXPECT_EQ(Library({"list"}).strOut, "");
}

}  // namespace
}  // namespace vesk
