// vesk-library against the demo forum on 127.0.0.1, with real library files.

#include "code_page.h"
#include "command_test.h"
#include "people_board.h"
#include "search_index_checks.h"
#include "thread_reader.h"
#include "thread_store.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <numeric>
#include <regex>
#include <set>
#include <sqlite3.h>
#include <sstream>
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

constexpr char kLong[] = "look,600519,1000005.html";    // 120 pages, the last part-full
constexpr char kShort[] = "look,601318,1000002.html";   // 12 full pages
constexpr char kMoutai[] = "look,600519,1000001.html";  // 50, 50 and 23 posts

// The rows' heads of a page (colour, floor, author, time), in order.
std::string Heads(const std::string& strPage) {
    std::string strHeads;
    for (std::size_t n = strPage.find("<tr><td><div style=color:"); n != std::string::npos;
         n = strPage.find("<tr><td><div style=color:", n + 1)) {
        strHeads += strPage.substr(n, strPage.find("<div style=padding-left:20px;>", n) - n);
    }
    return strHeads;
}

// Runs the statements on the SQLite file.
void Sqlite(const std::string& strPath, const std::string& strSql) {
    Database db(strPath, true, 1000);
    DefineSearchFunctions(db);
    db.Execute(strSql.c_str());
}

// How often strWhat occurs in strText.
std::size_t Count(const std::string& strText, const std::string& strWhat) {
    std::size_t nCount = 0;
    for (std::size_t n = strText.find(strWhat); n != std::string::npos;
         n = strText.find(strWhat, n + 1)) {
        ++nCount;
    }
    return nCount;
}

// The pieces of strText between the separators.
std::vector<std::string> Split(const std::string& strText, char cSeparator) {
    std::vector<std::string> pieces;
    std::istringstream in(strText);
    for (std::string strPiece; std::getline(in, strPiece, cSeparator);) {
        pieces.push_back(strPiece);
    }
    return pieces;
}

class VeskLibraryTest : public test::CommandTest {
protected:
    ProcessResult Library(const std::vector<std::string>& args) {
        return Run(VESK_LIBRARY_PATH, args);
    }
    // vesk-fetch against the forum, in the test's folder.
    ProcessResult Fetch(std::vector<std::string> args) const {
        args.insert(args.begin(), {VESK_FETCH_PATH, "--base", forum.BaseAddress()});
        return RunProcess(args, {}, dir.Path());
    }
    // A summary's value of what a command printed.
    static std::string Field(const ProcessResult& result, const std::string& strKey) {
        return Value(result.strOut, strKey);
    }
    // How many posts "show --summary" with these arguments shows.
    std::string Shown(std::vector<std::string> args) {
        args.insert(args.begin(), {"show", "--summary"});
        return Field(Library(args), "shown");
    }
    // The pages asked for since the last call, by number, in order.
    std::vector<int> PagesAsked() {
        std::vector<int> pages;
        for (const std::string& path : forum.RequestedPaths()) {
            if (path.starts_with("/pic/")) {
                continue;  // the pictures, after the pages
            }
            const std::size_t nUnder = path.rfind('_');
            pages.push_back(nUnder == std::string::npos ? 1 : std::stoi(path.substr(nUnder + 1)));
        }
        forum.ClearRequests();
        return pages;
    }
    // Every page from nFirst to nLast asked for once, and at most three after them; a refresh of
    // a kept thread asks for page 1 first.
    void ExpectPagesAsked(int nFirst, int nLast, bool bPageOneFirst = false) {
        std::vector<int> asked = PagesAsked();
        if (bPageOneFirst) {
            ASSERT_EQ(asked.front(), 1);
            asked.erase(asked.begin());
        }
        const std::set<int> pages(asked.begin(), asked.end());
        EXPECT_EQ(pages.size(), asked.size());
        EXPECT_EQ(*pages.begin(), nFirst);
        EXPECT_LE(*pages.rbegin(), nLast + 3);
        EXPECT_GE(pages.size(), static_cast<std::size_t>(nLast - nFirst + 1));
        EXPECT_LE(pages.size(), static_cast<std::size_t>(nLast - nFirst + 4));
    }
    static std::string Gbk(const std::string& strUtf8) { return Utf8ToGbk(strUtf8).value(); }
    // Thread 1000001 (pages of 50, 50 and 23 posts) as the forum began with it, changed, in a
    // new library; the requests so far forgotten.
    void Fresh(const std::function<void(demo::SampleThread&)>& change = {}) {
        static const demo::SampleThread original = demo::DemoForum().Threads()[0];
        forum.ChangeThread("1000001", [&](demo::SampleThread& thread) {
            thread = original;
            if (change) {
                change(thread);
            }
        });
        for (const char* pszSuffix : {"", "-wal", "-shm"}) {
            std::filesystem::remove(Db() + pszSuffix);
        }
        forum.ClearRequests();
    }
    // new, edited, deleted and posts of a refresh's summary.
    static std::string Changes(const ProcessResult& refresh) {
        return Field(refresh, "new") + " " + Field(refresh, "edited") + " " +
               Field(refresh, "deleted") + " " + Field(refresh, "posts");
    }
};

// The first reading takes every page, the next asks for page 1, the last page and the one after
// it, and the four pages read longest ago; list and show say what is kept, and show on a short
// thread writes vesk-fetch's page.
TEST_F(VeskLibraryTest, AFirstReadingKeepsTheWholeThreadAndTheNextAsksForItsEndAndFourOlderPages) {
    const ProcessResult first = Library({"refresh", "--summary", Url(kLong)});
    ASSERT_EQ(first.nExitCode, 0) << first.strErr;
    EXPECT_EQ(Field(first, "pages"), "120");
    EXPECT_EQ(Changes(first), "5967 0 0 5967");
    EXPECT_EQ(Field(first, "starter"), Gbk("茅台长线客"));
    ExpectPagesAsked(1, 121);

    const ProcessResult again = Library(
        {"refresh", "--summary", "--base", forum.BaseAddress(), Url("look,600519,1000005_7.html")});
    EXPECT_EQ(again.nExitCode, 0);
    EXPECT_EQ(PagesAsked(), (std::vector<int>{1, 120, 121, 2, 3, 4, 5}));
    EXPECT_EQ(Field(again, "new"), "0");
    EXPECT_TRUE(std::regex_match(Field(again, "checked"),
                                 std::regex(R"(20\d\d-[01]\d-[0-3]\dT[0-2]\d:[0-5]\d:[0-5]\dZ)")));

    // Refreshes read nothing for the reader: every post, the starter's 38 among them, is unread.
    const ProcessResult list = Library({"list"});
    EXPECT_EQ(list.strOut,
              "600519\t1000005\t茅台长线实盘日记：每周更新持仓与思考_贵州茅台吧_"
              "vesk股吧\t5967\t5967\t38\t" +
                  list.strOut.substr(list.strOut.find("\t20") + 1, 20) + "\t0\t" +
                  std::to_string(demo::kSamplePictures * demo::SamplePicture(0).size()) + "\n");
    EXPECT_EQ(Shown({"--mode", "starter", Url(kLong)}), "38");  // floor 1 and every 160th
    EXPECT_NE(ReadFile(dir.File("post.htm")).find(Gbk("茅台长线客")), std::string::npos);

    ASSERT_EQ(Library({"refresh", Url(kShort)}).nExitCode, 0);
    ASSERT_EQ(Library({"show", "--out", "read.htm", Url(kShort)}).nExitCode, 0);  // no mark left
    for (const std::vector<std::string>& mode : {std::vector<std::string>{},
                                                 {"--mode", "starter"},
                                                 {"--mode", "names", "--names", "股海，长线"}}) {
        std::vector<std::string> kept = {"show", "--out", "kept.htm", Url(kShort)};
        std::vector<std::string> fetch = mode;
        kept.insert(kept.begin() + 1, mode.begin(), mode.end());
        fetch.insert(fetch.end(), {"--out", "fetched.htm", Url(kShort)});
        ASSERT_EQ(Library(kept).nExitCode, 0);
        ASSERT_EQ(Fetch(fetch).nExitCode, 0);
        // The same posts under the same heads; the library's bodies whole, where the go's end in
        // the stray "</" of the board's cut.
        const std::string strKept = ReadFile(dir.File("kept.htm"));
        const std::string strFetched = ReadFile(dir.File("fetched.htm"));
        EXPECT_EQ(Heads(strKept), Heads(strFetched));
        EXPECT_EQ(strKept.find("</</div>"), std::string::npos);
        EXPECT_NE(strFetched.find("</</div>"), std::string::npos);
    }
}

// Posts appended, edited and deleted on the last page are noticed, marked until shown, and kept
// in the history; deletions that move later posts onto earlier pages lose no post.
TEST_F(VeskLibraryTest, ChangesAreNoticedMarkedAndKeptAndShiftedPagesLoseNothing) {
    ASSERT_EQ(Library({"refresh", Url(kShort)}).nExitCode, 0);
    ASSERT_EQ(Library({"show", "--out", "read.htm", Url(kShort)}).nExitCode, 0);
    forum.ChangeThread("1000002", [](demo::SampleThread& thread) {
        demo::EditSamplePost(thread, 580, "改过的话");
        demo::DeleteSamplePosts(thread, {590});
        demo::AppendSamplePosts(thread, 3, true);
    });
    forum.ClearRequests();
    const ProcessResult refresh = Library({"refresh", "--summary", Url(kShort)});
    EXPECT_EQ(refresh.nExitCode, 0);
    // Page 13 is part-full, so page 14 is asked for alone.
    EXPECT_EQ(PagesAsked(), (std::vector<int>{1, 12, 13, 14, 2, 3, 4, 5}));
    EXPECT_EQ(Changes(refresh), "3 1 1 602");
    EXPECT_NE(Library({"list"}).strOut.find("\t602\t5\t3\t"), std::string::npos);

    const ProcessResult peek = Library({"show", "--new", "--peek", "--summary", Url(kShort)});
    EXPECT_EQ(Field(peek, "shown"), "5");
    const std::string strPage = ReadFile(dir.File("post.htm"));
    EXPECT_NE(
        strPage.find(Gbk(" [已修改]</div>") + "<div style=padding-left:20px;>" + Gbk("改过的话")),
        std::string::npos);
    EXPECT_NE(strPage.find(Gbk(" [已删除]")), std::string::npos);
    EXPECT_EQ(Library({"show", "--new", "--summary", Url(kShort)}).strOut, peek.strOut);
    EXPECT_EQ(Shown({"--new", Url(kShort)}), "0");
    const ProcessResult history = Library({"history", Url(kShort)});
    ASSERT_EQ(Split(history.strOut, '\n').size(), 2u);
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
    ExpectPagesAsked(10, 13, true);
    EXPECT_EQ(Field(shifted, "new"), "60");
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
    const std::vector<std::string> args =
        CommandTest::Args(VESK_LIBRARY_PATH, {"refresh", Url(kLong)});
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
            thread && store.PagesKept(thread->nId).nResumePage == 29) {
            break;
        }
    }
    kill(pid, SIGKILL);
    int nStatus = 0;
    waitpid(pid, &nStatus, 0);
    ASSERT_TRUE(WIFSIGNALED(nStatus));
    EXPECT_EQ(test::IndexDifferences(Db(), true), 0);
    forum.SetFault("/look,600519,1000005_30.html", {});
    forum.ClearRequests();
    const ProcessResult resumed = Library({"refresh", "--summary", Url(kLong)});
    EXPECT_EQ(resumed.nExitCode, 0);
    const std::vector<int> asked = PagesAsked();
    EXPECT_EQ(std::vector<int>(asked.begin(), asked.begin() + 2), (std::vector<int>{1, 29}));
    EXPECT_EQ(Changes(resumed), std::to_string(5967 - 29 * 50) + " 0 0 5967");
    EXPECT_EQ(test::IndexDifferences(Db()), 0);
}

// What is no library, or a newer one, is left byte for byte; two processes share one library.
TEST_F(VeskLibraryTest, OtherFilesAreLeftAsTheyWereAndTwoProcessesShareOneLibrary) {
    ASSERT_EQ(Library({"refresh", Url(kShort)}).nExitCode, 0);
    Sqlite(Db(), "PRAGMA journal_mode=DELETE; PRAGMA user_version=10");
    const std::string strNewer = ReadFile(Db());
    Sqlite(dir.File("other.sqlite3"), "CREATE TABLE t(x)");
    std::ofstream(dir.File("text.txt")) << "not a database, but long enough to look like one\n";
    for (const std::string& file : {Db(), dir.File("other.sqlite3"), dir.File("text.txt")}) {
        const std::string strBefore = ReadFile(file);
        for (const ProcessResult& result :
             {Library({"--db", file, "list"}), Library({"--db", file, "refresh", Url(kShort)})}) {
            EXPECT_EQ(result.nExitCode, 5) << file;
            EXPECT_NE(result.strErr.find(file), std::string::npos);
        }
        EXPECT_EQ(ReadFile(file), strBefore);
    }
    EXPECT_EQ(ReadFile(Db()), strNewer);

    const std::string strShared = dir.File("shared.sqlite3");
    forum.SetLatency(5ms);
    const std::vector<std::vector<std::string>> commands = {
        {"--db", strShared, "refresh", Url(kLong)},
        {"--db", strShared, "refresh", Url(kShort)},
        {"--db", strShared, "show", "--peek", Url(kShort)}};
    std::vector<ProcessResult> results(commands.size());
    std::vector<std::thread> runs;
    for (std::size_t i = 0; i < commands.size(); ++i) {
        runs.emplace_back([&, i] {
            // The show waits for the short thread to be there.
            for (int n = 0; n == 0 || (i == 2 && results[i].nExitCode == 1 && n < 200); ++n) {
                std::this_thread::sleep_for(n == 0 ? 0ms : 10ms);
                results[i] = Library(commands[i]);
            }
        });
    }
    for (std::thread& run : runs) {
        run.join();
    }
    for (const ProcessResult& result : results) {
        EXPECT_EQ(result.nExitCode, 0) << result.strErr;
    }
    const ProcessResult list = Library({"--db", strShared, "list"});
    EXPECT_NE(list.strOut.find("\t5967\t"), std::string::npos);
    EXPECT_NE(list.strOut.find("\t600\t"), std::string::npos);
}

// Watched threads are refreshed one after the other, each with new posts told in a line; one that
// failed three times in a row rests; a library of the first format gains the watch.
TEST_F(VeskLibraryTest, WatchedThreadsAreRefreshedTogetherAndOneFailingRests) {
    ASSERT_EQ(Library({"refresh", Url(kShort)}).nExitCode, 0);
    ASSERT_EQ(Library({"refresh", Url(kMoutai)}).nExitCode, 0);
    // The first format: no watch columns and no pages, but the last page a refresh kept posts
    // from and the most posts a page held; version 1.
    Sqlite(Db(),
           std::string(test::kDropSearchIndex) + test::kDropPeople +
               "ALTER TABLE thread DROP COLUMN watched; ALTER TABLE thread DROP COLUMN failures;"
               "ALTER TABLE thread DROP COLUMN failed_at; DROP TABLE page;"
               "ALTER TABLE thread DROP COLUMN read_post; ALTER TABLE thread DROP COLUMN read_at;"
               "DROP INDEX post_author; DROP TRIGGER post_uncounted;"
               "DROP TRIGGER post_recounted; DROP TRIGGER thread_starter;"
               "ALTER TABLE thread DROP COLUMN n_posts; ALTER TABLE thread DROP COLUMN n_unread;"
               "ALTER TABLE thread DROP COLUMN n_starter_unread; ALTER TABLE post DROP COLUMN"
               " whole; DROP TABLE picture_use; DROP TABLE picture;"
               "ALTER TABLE thread ADD COLUMN resume_page INTEGER NOT NULL DEFAULT 0;"
               "ALTER TABLE thread ADD COLUMN fullest INTEGER NOT NULL DEFAULT 0;"
               "UPDATE thread SET fullest = 50, resume_page = (SELECT max(page) FROM post"
               " WHERE post.thread = thread.id); PRAGMA user_version=1");
    EXPECT_EQ(Library({"watch", Url(kShort)}).nExitCode, 0);
    EXPECT_EQ(Library({"watch", Url(kMoutai)}).nExitCode, 0);
    EXPECT_EQ(Library({"watch", Url(kLong)}).nExitCode, 1);
    EXPECT_NE(Library({"list"}).strOut.find("\t1\t0\n"), std::string::npos);

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

    forum.SetFault("/look,600519,1000001_1.html", {500});
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
        {{"list", "--new"}, 2, "--new 不是 list 的选项"},
        {{"refresh"}, 2, "没有给帖子网址"},
        {{"fetch", Url(kShort)}, 2, "没有这个命令：fetch"},
        {{"show", "--mode", "names", Url(kShort)}, 2, "请指定需要显示的发帖人名字"},
        {{"refresh", "http://elsewhere.example.com/look,1,2.html"}, 2, "look,"},
        {{"show", Url(kShort)}, 1, "帖子库里没有这个帖子"},
        {{"history", Url(kShort)}, 1, "帖子库里没有这个帖子"},
        {{"forget", Url(kShort)}, 1, "帖子库里没有这个帖子"},
        {{"refresh", Url("look,600519,999.html")}, 1, ""},
        {{"export", Url(kShort)}, 2, "--out"},
        {{"export", "--format", "pdf", "--out", "x", Url(kShort)}, 2, "--format"},
        {{"export", "--font", "f.ttf", "--out", "x", Url(kShort)},
         2,
         "--font 只用于 --format epub"},
        {{"search"}, 2, "没有给查询"},
        {{"search", " \xE3\x80\x80"}, 2, "查询里没有词"},
        {{"search", "--limit", "0", "x"}, 2, "--limit"},
        {{"search", "--since", "2024/03/01", "x"}, 2, "--since"},
        {{"search", "--thread", Url(kShort), "x"}, 1, "帖子库里没有这个帖子"},
    };
    for (const auto& c : cases) {
        const ProcessResult result = Library(c.args);
        EXPECT_EQ(result.nExitCode, c.nExit) << c.args[0];
        EXPECT_NE(result.strErr.find(c.pszErr), std::string::npos) << c.args[0] << result.strErr;
    }
    EXPECT_EQ(Library({"list"}).strOut, "");
    ASSERT_EQ(Library({"refresh", Url(kShort)}).nExitCode, 0);
    forum.SetFault("/look,601318,1000002_1.html", {500});
    EXPECT_EQ(Library({"refresh", Url(kShort)}).nExitCode, 6);
    EXPECT_EQ(Library({"forget", Url(kShort)}).nExitCode, 0);
    EXPECT_EQ(Library({"list"}).strOut, "");
}

// Progress on a terminal is one line written over in place and taken off before the result; on a
// pipe there is only the result, unless --verbose asks for a line a page; --quiet says none.
TEST_F(VeskLibraryTest, ProgressIsOneLineOnATerminalAndNoneOnAPipe) {
    const auto refresh = [&](const std::string& strOption, bool bTerminal) {
        std::vector<std::string> args = {"refresh", "--no-images", Url(kShort)};
        if (!strOption.empty()) {
            args.insert(args.begin() + 1, strOption);
        }
        return RunProcess(Args(VESK_LIBRARY_PATH, args), {}, dir.Path(), bTerminal).strErr;
    };
    const std::string strTerminal = refresh("", true);
    EXPECT_NE(strTerminal.find("\r已读 1 页（第 1 页），50 帖\x1b[K"), std::string::npos)
        << strTerminal;
    // One line: the result's, after the progress was taken off.
    EXPECT_EQ(std::count(strTerminal.begin(), strTerminal.end(), '\n'), 1) << strTerminal;
    EXPECT_NE(strTerminal.find("\r\x1b[K本次读到第12页"), std::string::npos) << strTerminal;
    const std::string strPipe = refresh("", false);
    EXPECT_TRUE(strPipe.starts_with("本次读到第12页") &&
                std::count(strPipe.begin(), strPipe.end(), '\n') == 1)
        << strPipe;
    EXPECT_NE(refresh("--verbose", false).find("vesk-library：第12页已读"), std::string::npos);
    EXPECT_EQ(refresh("--quiet", true).find("已读"), std::string::npos);
}

// A search across the kept threads: a line a post with what was found marked, the starter's
// alone, the page; the same lines without the index, and again once it is made anew.
TEST_F(VeskLibraryTest, ASearchGivesALineAPostAndAPageWithOrWithoutTheIndex) {
    ASSERT_EQ(Library({"refresh", "--no-images", Url(kShort)}).nExitCode, 0);
    ASSERT_EQ(Library({"refresh", "--no-images", Url(kMoutai)}).nExitCode, 0);
    const ProcessResult found = Library({"search", "--limit", "1000", "主力资金"});
    EXPECT_EQ(found.nExitCode, 0);
    ThreadStore store(Db());
    std::set<std::string> threads;
    std::size_t nStarters = 0;
    for (const std::string& strLine : Split(found.strOut, '\n')) {
        const std::vector<std::string> fields = Split(strLine, '\t');
        ASSERT_EQ(fields.size(), 7u) << strLine;
        EXPECT_EQ(fields[5], "body");
        EXPECT_NE(fields[6].find("【主力资金】"), std::string::npos) << strLine;
        threads.insert(fields[1]);
        nStarters += fields[4] == GbkToUtf8(store.Find({fields[0], fields[1]})->strStarter);
    }
    EXPECT_EQ(threads, (std::set<std::string>{"1000001", "1000002"}));
    const ProcessResult starter = Library({"search", "--starter", "--limit", "1000", "主力资金"});
    EXPECT_EQ(Split(starter.strOut, '\n').size(), nStarters);
    EXPECT_GT(nStarters, 0u);
    EXPECT_LT(nStarters, Split(found.strOut, '\n').size());

    ASSERT_EQ(
        Library({"search", "--out", "found.htm", "--thread", Url(kShort), "主力资金"}).nExitCode,
        0);
    const std::string strPage = ReadFile(dir.File("found.htm"));
    EXPECT_NE(strPage.find(Gbk("搜索：主力资金")), std::string::npos);
    EXPECT_NE(strPage.find("<b class=vk-hit>" + Gbk("主力资金") + "</b>"), std::string::npos);
    EXPECT_NE(strPage.find("href=\"" + Url("look,601318,1000002.html") + "\""), std::string::npos);
    EXPECT_EQ(strPage.find("1000001"), std::string::npos);

    EXPECT_EQ(Library({"index", "--drop"}).nExitCode, 0);
    EXPECT_EQ(Library({"search", "--limit", "1000", "主力资金"}).strOut.size(),
              found.strOut.size());
    const ProcessResult made = Library({"index", "--verbose"});
    EXPECT_NE(made.strErr.find("723 / 723"), std::string::npos) << made.strErr;
    EXPECT_EQ(Library({"search", "--limit", "1000", "主力资金"}).strOut, found.strOut);
}

// A picture never fetched links to the address its src names from the thread's page, a src
// relative to the page too: in show's page and in an export.
TEST_F(VeskLibraryTest, APictureNeverFetchedLinksToItsAddress) {
    ASSERT_EQ(Library({"refresh", "--no-images", Url(kLong)}).nExitCode, 0);
    ASSERT_EQ(Library({"show", Url(kLong)}).nExitCode, 0);
    EXPECT_EQ(Count(ReadFile(dir.File("post.htm")),
                    "<a class=vk-nopic href=\"" + forum.BaseAddress() + "/"),
              299u);
    ASSERT_EQ(Library({"export", "--out", "diary.html", Url(kLong)}).nExitCode, 0);
    EXPECT_EQ(Count(ReadFile(dir.File("diary.html")),
                    "<a class=vk-nopic href=\"" + forum.BaseAddress() + "/"),
              299u);
}

// An export is one file that needs nothing beside it: the style and every kept picture inside it,
// the posts as show chooses them; without pictures, links to their addresses.
TEST_F(VeskLibraryTest, AnExportCarriesItsStyleAndPicturesInside) {
    ASSERT_EQ(Library({"refresh", Url(kLong)}).nExitCode, 0);
    const auto exported = [&](std::vector<std::string> args, const std::string& strOut) {
        args.insert(args.begin(), {"export", "--out", strOut});
        args.push_back(Url(kLong));
        EXPECT_EQ(Library(args).nExitCode, 0);
        return ReadFile(dir.File(strOut));
    };
    const std::string strAll = exported({}, "thread.htm");
    EXPECT_EQ(Count(strAll, "<article "), 5967u);
    EXPECT_EQ(Count(strAll, "src=\"data:image/png;base64,"), Count(strAll, "<img "));
    EXPECT_EQ(Count(strAll, "<img "), 299u);
    EXPECT_EQ(Count(strAll, "vesk3.css"), 0u);
    // Made to be read on a phone: UTF-8, the title, a viewport; the starter's posts say so.
    for (const char* pszHead :
         {"<meta charset=\"utf-8\">", "<meta name=\"viewport\" content=\"width=device-width",
          "<title>茅台长线实盘日记：每周更新持仓与思考</title>", "prefers-color-scheme:dark"}) {
        EXPECT_NE(strAll.find(pszHead), std::string::npos) << pszHead;
    }
    const std::string strStarter = exported({"--mode", "starter"}, "thread.htm");
    EXPECT_EQ(Count(strStarter, "<article "), Count(strStarter, "<span class=who>楼主</span>"));
    EXPECT_EQ(Count(strStarter, "<article "), Count(strAll, "<span class=who>楼主</span>"));
    const std::string strLinks = exported({"--no-images"}, "thread.htm");
    EXPECT_EQ(Count(strLinks, "data:image"), 0u);
    EXPECT_EQ(Count(strLinks, "<img "), 0u);
    EXPECT_EQ(Count(strLinks, "<a class=vk-nopic href=\"" + forum.BaseAddress() + "/"), 299u);

    // Markdown: a heading a post, every picture a file beside it, each written once.
    const std::string strText = exported({"--format", "md"}, "diary.md");
    EXPECT_EQ(Count(strText, "\n### "), 5967u);
    EXPECT_EQ(Count(strText, "](diary_pictures/"), 299u);
    std::set<std::string> named;
    for (std::size_t n = strText.find("](diary_pictures/"); n != std::string::npos;
         n = strText.find("](diary_pictures/", n + 1)) {
        named.insert(strText.substr(n + 2, strText.find(')', n) - n - 2));
    }
    EXPECT_EQ(named.size(), 250u);
    for (const std::string& strName : named) {
        EXPECT_GT(ReadFile(dir.File(strName)).size(), 1000u) << strName;
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.File("diary_pictures")),
                            std::filesystem::directory_iterator()),
              250);

    // EPUB: the container's mimetype first and stored, a chapter for every 100 posts, each picture
    // inside once and named once by the package; Debian's epubcheck finds nothing wrong.
    exported({"--format", "epub"}, "diary.epub");
    int nError = 0;
    zip_t* pBook = zip_open(dir.File("diary.epub").c_str(), ZIP_RDONLY, &nError);
    ASSERT_NE(pBook, nullptr);
    const auto entry = [&](const std::string& strName) {
        std::string strBytes;
        if (zip_file_t* pFile = zip_fopen(pBook, strName.c_str(), 0)) {
            char buffer[4096];
            for (zip_int64_t n; (n = zip_fread(pFile, buffer, sizeof buffer)) > 0;) {
                strBytes.append(buffer, static_cast<std::size_t>(n));
            }
            zip_fclose(pFile);
        }
        return strBytes;
    };
    zip_stat_t first;
    ASSERT_EQ(zip_stat_index(pBook, 0, 0, &first), 0);
    EXPECT_EQ(std::string(first.name), "mimetype");
    EXPECT_EQ(first.comp_method, ZIP_CM_STORE);
    EXPECT_EQ(entry("mimetype"), "application/epub+zip");
    EXPECT_NE(entry("META-INF/container.xml").find("OEBPS/content.opf"), std::string::npos);
    const std::string strPackage = entry("OEBPS/content.opf");
    std::size_t nPictures = 0;
    for (zip_int64_t i = 0; i < zip_get_num_entries(pBook, 0); ++i) {
        const std::string strName = zip_get_name(pBook, static_cast<zip_uint64_t>(i), 0);
        if (strName.starts_with("OEBPS/images/")) {
            ++nPictures;
            EXPECT_EQ(Count(strPackage, "href=\"" + strName.substr(6) + "\""), 1u) << strName;
        }
    }
    EXPECT_EQ(nPictures, 251u);  // and the cover, drawn with the installed Chinese font
    EXPECT_EQ(Count(strPackage, "<itemref "), 61u);
    EXPECT_NE(strPackage.find("<spine toc=\"ncx\"><itemref idref=\"cover\"/>"), std::string::npos);
    EXPECT_NE(strPackage.find("href=\"images/cover.png\" media-type=\"image/png\""
                              " properties=\"cover-image\""),
              std::string::npos);
    EXPECT_NE(strPackage.find("<meta name=\"cover\" content=\"cover-image\"/>"), std::string::npos);
    EXPECT_TRUE(entry("OEBPS/images/cover.png").starts_with("\x89PNG\r\n"));
    EXPECT_NE(strPackage.find("<dc:date>2024-03-05</dc:date>"), std::string::npos);
    // The EPUB 2 table of contents says what the navigation document says, in the same order:
    // chapters named by their days and floors, grouped by month.
    // Each entry as "file name", from a pattern that finds the file (group nFile) and the name.
    const auto entries = [](const std::string& strContents, const char* pszEntry, int nFile) {
        std::vector<std::string> found;
        const std::regex pattern(pszEntry);
        for (std::sregex_iterator it(strContents.begin(), strContents.end(), pattern), end;
             it != end; ++it) {
            found.push_back((*it)[nFile].str() + " " + (*it)[3 - nFile].str());
        }
        return found;
    };
    const std::vector<std::string> nav =
        entries(entry("OEBPS/nav.xhtml"), "<a href=\"([^\"]+)\">([^<]+)</a>", 1);
    EXPECT_EQ(nav, entries(entry("OEBPS/toc.ncx"),
                           "<text>([^<]+)</text></navLabel><content src=\"([^\"]+)\"", 2));
    ASSERT_EQ(nav.size(), 61u);
    EXPECT_EQ(nav[0], "c1.xhtml 2024年3月");
    EXPECT_EQ(nav[1], "c1.xhtml 2024-03-05 – 03-06 · 1–100楼");
    EXPECT_NE(entry("OEBPS/c1.xhtml").find("<span class=\"who\">楼主</span>"), std::string::npos);
    zip_close(pBook);
    if (std::filesystem::exists("/usr/share/java/epubcheck.jar")) {
        const ProcessResult checked = RunProcess(
            {"/usr/bin/java", "-jar", "/usr/share/java/epubcheck.jar", dir.File("diary.epub")});
        EXPECT_EQ(checked.nExitCode, 0) << checked.strOut << checked.strErr;
        EXPECT_NE(checked.strOut.find("No errors or warnings"), std::string::npos)
            << checked.strOut;
    }
}

// Boards that answer a page past the end with another page of the thread: the reading ends there
// for the go and for the library, each post is kept once, and the thread's growth is read later.
TEST_F(VeskLibraryTest, APageServedAgainOrARedirectWithinTheThreadIsItsEnd) {
    using demo::PastEnd;
    for (const auto& [habit, strFirst, strGrown] :
         {std::tuple{PastEnd::kLastPageAgain, "123", "40 0 0 163"},
          {PastEnd::kRedirectToFirst, "123", "40 0 0 163"},
          {PastEnd::kRedirectToLast, "123", "40 0 0 163"},
          {PastEnd::kFirstForAll, "50", "0 0 0 50"}}) {
        Fresh();
        forum.SetPastEnd("1000001", habit);
        EXPECT_EQ(Field(Fetch({"--summary", Url(kMoutai)}), "posts"), strFirst) << strFirst;
        const ProcessResult first = Library({"refresh", "--summary", Url(kMoutai)});
        EXPECT_EQ(Field(first, "posts"), strFirst) << first.strErr;
        forum.ChangeThread("1000001", [](demo::SampleThread& thread) {
            demo::AppendSamplePosts(thread, 40, false);
        });
        EXPECT_EQ(Changes(Library({"refresh", "--summary", Url(kMoutai)})), strGrown);
        const std::vector<int> asked = PagesAsked();
        EXPECT_LE(*std::max_element(asked.begin(), asked.end()), 4 + 4) << strGrown;
        forum.SetPastEnd("1000001", PastEnd::kEmptyPage);
    }
    // A redirect to page 1 after a post on it was deleted is no page served again, but still the
    // end; and a board that starts serving page 1 for every page deletes nothing else kept.
    Fresh();
    ASSERT_EQ(Library({"refresh", Url(kMoutai)}).nExitCode, 0);
    forum.SetPastEnd("1000001", PastEnd::kRedirectToFirst);
    forum.ClearRequests();
    forum.BeforeServing("/look,600519,1000001_4.html", [&] {
        forum.WaitForAnswer("/look,600519,1000001_3.html", 5s);
        forum.ChangeThread("1000001",
                           [](demo::SampleThread& t) { demo::DeleteSamplePosts(t, {2}); });
    });
    EXPECT_EQ(Field(Fetch({"--summary", Url(kMoutai)}), "posts"), "123");
    forum.SetPastEnd("1000001", PastEnd::kFirstForAll);
    EXPECT_EQ(Changes(Library({"refresh", "--summary", Url(kMoutai)})), "0 0 1 122");
    forum.SetPastEnd("1000001", PastEnd::kEmptyPage);
}

// A pinned first post, or a block of replies, shown above every page's own posts: no false
// deletion, no post counted twice, and what is new is still found.
TEST_F(VeskLibraryTest, PostsShownOnEveryPageAreNeitherDeletedNorNewThere) {
    for (const std::vector<int>& top : {std::vector<int>{1}, {77, 5, 120}}) {
        Fresh([&](demo::SampleThread& thread) { thread.topFloors = top; });
        EXPECT_EQ(Changes(Library({"refresh", "--summary", Url(kMoutai)})), "123 0 0 123");
        forum.ChangeThread("1000001", [](demo::SampleThread& thread) {
            demo::AppendSamplePosts(thread, 30, false);
            demo::DeleteSamplePosts(thread, {130});
        });
        EXPECT_EQ(Changes(Library({"refresh", "--summary", Url(kMoutai)})), "29 0 0 152");
        EXPECT_EQ(Shown({Url(kMoutai)}), "152");
    }
}

// What a refresh sees of a kept thread: deletions at either end of its last page, the starter's
// edit of the first post, and with --full an edit and a deletion anywhere; and posts that arrived
// while it read.
TEST_F(VeskLibraryTest, ARefreshSeesChangesAtTheEndsOfItsPagesAndPage1) {
    const struct {
        int nEdited;  // the floor edited, 0 for none
        std::vector<int> deleted;
        bool bFull;
        const char* pszChanges;
        std::vector<int> asked;
    } cases[] = {
        {0, {122, 123}, false, "0 0 2 121", {1, 3, 4, 2}},
        {0, {101}, false, "0 0 1 122", {1, 3, 2, 4}},
        {1, {}, false, "0 1 0 123", {1, 3, 4, 2}},
        {60, {70}, true, "0 1 1 122", {1, 2, 3, 4}},
    };
    for (const auto& c : cases) {
        Fresh();
        ASSERT_EQ(Library({"refresh", Url(kMoutai)}).nExitCode, 0);
        forum.ChangeThread("1000001", [&](demo::SampleThread& t) {
            if (c.nEdited > 0) {
                demo::EditSamplePost(t, c.nEdited, "改过");
            }
            demo::DeleteSamplePosts(t, c.deleted);
        });
        forum.ClearRequests();
        std::vector<std::string> args = {"refresh", "--summary", Url(kMoutai)};
        if (c.bFull) {
            args.insert(args.begin() + 1, "--full");
        }
        EXPECT_EQ(Changes(Library(args)), c.pszChanges);
        // Pages read side by side reach the forum in any order, and one cancelled may not.
        std::vector<int> asked = PagesAsked();
        if (c.bFull) {
            std::sort(asked.begin(), asked.end());
            asked.resize(std::min(asked.size(), c.asked.size()));
        }
        EXPECT_EQ(asked, c.asked) << c.pszChanges;
    }

    // 40 posts arrive after page 3 was read part-full and before page 4 is asked for: the next
    // refresh goes on from page 3, which they filled.
    Fresh();
    forum.BeforeServing("/look,600519,1000001_4.html", [&] {
        forum.WaitForAnswer("/look,600519,1000001_3.html", 5s);
        forum.ChangeThread("1000001",
                           [](demo::SampleThread& t) { demo::AppendSamplePosts(t, 40, false); });
    });
    EXPECT_EQ(Changes(Library({"refresh", "--summary", Url(kMoutai)})), "136 0 0 136");
    forum.ClearRequests();
    EXPECT_EQ(Changes(Library({"refresh", "--summary", Url(kMoutai)})), "27 0 0 163");
    EXPECT_EQ(PagesAsked(), (std::vector<int>{1, 3, 4, 5, 2}));
}

// A thread no longer on the board leaves the library as it was and says so; a first reading that
// finds the post marker but no post keeps nothing; the page limit of one refresh is told, and the
// next refresh goes on from there.
TEST_F(VeskLibraryTest, GoneThreadsEmptyPagesAndTheLimitAreTold) {
    // The last page names another thread and board: the library keeps page 1's.
    Fresh([](demo::SampleThread& thread) { thread.strTitle = "原来的标题"; });
    demo::SampleThread other = forum.Threads()[0];
    other.strTitle = "别的标题";
    forum.SetPage("/look,600519,1000001_3.html", demo::ToGb2312(demo::RenderThreadPage(other, 3)));
    ASSERT_EQ(Library({"refresh", Url(kMoutai)}).nExitCode, 0);
    EXPECT_NE(Library({"list"}).strOut.find("\t原来的标题_"), std::string::npos);

    Fresh();
    ASSERT_EQ(Library({"refresh", Url(kMoutai)}).nExitCode, 0);
    const std::string strKept = Library({"list"}).strOut;
    const std::string strPage1 = "/look,600519,1000001_1.html";
    forum.SetPage(strPage1, demo::ToGb2312("<html><body>该帖子已被删除</body></html>"));
    ProcessResult gone = Library({"refresh", Url(kMoutai)});
    EXPECT_EQ(gone.nExitCode, 6);
    EXPECT_NE(gone.strErr.find("本帖已不在论坛上：第1页上没有帖子"), std::string::npos)
        << gone.strErr;
    Fresh();
    ASSERT_EQ(Library({"refresh", Url(kMoutai)}).nExitCode, 0);
    forum.SetRedirect(strPage1, "/look,601318,1000002_1.html");
    gone = Library({"refresh", Url(kMoutai)});
    EXPECT_EQ(gone.nExitCode, 6);
    EXPECT_NE(gone.strErr.find("第1页转到了别的地址"), std::string::npos) << gone.strErr;
    EXPECT_EQ(Library({"list"}).strOut.substr(0, 60), strKept.substr(0, 60));
    EXPECT_EQ(Shown({"--peek", Url(kMoutai)}), "123");
    forum.SetRedirect(strPage1, "");

    forum.SetPage("/look,600519,999_1.html", "<div class=louceng>1</div>");
    const ProcessResult empty = Library({"refresh", "--summary", Url("look,600519,999.html")});
    EXPECT_EQ(empty.nExitCode, 1);
    EXPECT_EQ(Field(empty, "pages"), "0");
    EXPECT_EQ(Library({"list"}).strOut.find("\t999\t"), std::string::npos);

    ThreadStore store(Db());
    PageFetcher fetcher;
    ASSERT_TRUE(fetcher.OpenSession());
    RefreshSettings settings;
    settings.strBaseAddress = forum.BaseAddress();
    settings.nMaxPages = 5;
    forum.ClearRequests();
    const RefreshOutcome limited = RefreshThread(store, fetcher, {"601318", "1000002"}, settings);
    EXPECT_EQ(limited.end.kind, ReadingEnd::Kind::kPageLimit);
    EXPECT_NE(DescribeRefresh(limited, 5).find("读到第5页为止，下次刷新从这里接着读"),
              std::string::npos);
    std::vector<int> asked = PagesAsked();
    std::sort(asked.begin(), asked.end());
    EXPECT_EQ(asked, (std::vector<int>{1, 2, 3, 4, 5}));
    std::vector<int> lastPages;
    for (int i = 0; i < 4; ++i) {
        lastPages.push_back(
            RefreshThread(store, fetcher, {"601318", "1000002"}, settings).nLastPage);
    }
    EXPECT_EQ(lastPages, (std::vector<int>{8, 11, 12, 12}));
    EXPECT_EQ(store.CountPosts(store.Find({"601318", "1000002"})->nId), 600);
}

// The library is the user's alone and can be read where it cannot be written; a title's and a
// body's escape sequences never reach the terminal.
TEST_F(VeskLibraryTest, TheLibraryIsPrivateReadableWhenReadOnlyAndPagesAndLinesAreSafe) {
    Fresh([](demo::SampleThread& thread) { thread.strTitle = "\x1b]0;owned\x07标题\x1b[2J"; });
    const std::string strDb = dir.File("private/vesk/library.sqlite3");
    const auto shell = [&](const std::string& strLine) {
        return RunProcess({"/bin/sh", "-c", strLine}, {}, dir.Path());
    };
    const std::string strLibrary =
        std::string(VESK_LIBRARY_PATH) + " --db " + strDb + " --base " + forum.BaseAddress() + " ";
    const ProcessResult made =
        shell("umask 0277; exec " + strLibrary + "refresh --summary " + Url(kMoutai));
    ASSERT_EQ(made.nExitCode, 0) << made.strErr;
    for (const auto& [strPath, nMode] :
         {std::pair{dir.File("private"), 0700}, {dir.File("private/vesk"), 0700}, {strDb, 0600}}) {
        EXPECT_EQ(std::filesystem::status(strPath).permissions(),
                  static_cast<std::filesystem::perms>(nMode))
            << strPath;
    }
    forum.ChangeThread("1000001",
                       [](demo::SampleThread& t) { demo::EditSamplePost(t, 3, "\x1b[31m红"); });
    ASSERT_EQ(shell(strLibrary + "refresh " + Url(kMoutai)).nExitCode, 0);
    forum.ChangeThread("1000001", [](demo::SampleThread& t) { demo::EditSamplePost(t, 3, "好"); });
    ASSERT_EQ(shell(strLibrary + "refresh " + Url(kMoutai)).nExitCode, 0);
    const ProcessResult fetched = Fetch({"--summary", Url(kMoutai)});
    for (const std::string& strOut :
         {made.strOut, fetched.strOut, shell(strLibrary + "list").strOut,
          shell(strLibrary + "history " + Url(kMoutai)).strOut}) {
        EXPECT_EQ(strOut.find('\x1b'), std::string::npos) << strOut;
        EXPECT_EQ(strOut.find('\x07'), std::string::npos) << strOut;
        EXPECT_NE(strOut.find("\\x1b"), std::string::npos) << strOut;
    }

    // A folder nobody but its owner may write, and the owner (root bypasses the folder's mode)
    // another user.
    const std::string strAs =
        geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
    ASSERT_EQ(shell("chmod 0711 " + dir.Path() + " && mkdir -m 0777 " + dir.File("out") +
                    (strAs.empty() ? "" : " && chown -R 65534:65534 " + dir.File("private")) +
                    " && chmod 0500 " + dir.File("private/vesk"))
                  .nExitCode,
              0);
    const std::string strReader = strAs + strLibrary;
    EXPECT_NE(shell(strReader + "list").strOut.find("\t123\t"), std::string::npos);
    EXPECT_EQ(shell(strReader + "history " + Url(kMoutai)).nExitCode, 0);
    EXPECT_EQ(
        shell(strReader + "show --peek --out " + dir.File("out/kept.htm") + " " + Url(kMoutai))
            .nExitCode,
        0);
    for (const std::string& strCommand :
         {std::string("refresh "), "show --out " + dir.File("out/k.htm") + " "}) {
        const ProcessResult refused = shell(strReader + strCommand + Url(kMoutai));
        EXPECT_EQ(refused.nExitCode, 5) << strCommand;
        EXPECT_NE(refused.strErr.find("无法写入"), std::string::npos) << refused.strErr;
    }
    shell("chmod -R u+w " + dir.File("private"));
}

// People from the command line: followed by name (an anonymous one by address fragment), listed,
// told after a refresh that brought their posts, and written as a page read then.
TEST_F(VeskLibraryTest, PeopleAreFollowedListedToldAfterARefreshAndWrittenAsAPage) {
    forum.ChangeThread("1000001", [](demo::SampleThread& thread) {
        test::Poster(thread, 4, "观潮者", "2024-05-06 10:00");
        test::Poster(thread, 6, "10.0.3.*");
    });
    ASSERT_EQ(Library({"refresh", Url(kMoutai)}).nExitCode, 0);
    struct Case {
        std::vector<std::string> args;
        int nExitCode;
        std::string strOut;  // what stdout or stderr holds
    };
    const Case cases[] = {
        {{"follow", "观潮者"}, 0, "已关注「观潮者」（帖子库里有此人 1 帖）"},
        {{"follow", "10.0.3.*"}, 0, "有此人 1 帖"},
        {{"following"}, 0, "观潮者\t1\t1\t2024-05-06 10:00\n"},
        {{"unfollow", "某人"}, 1, "没有关注「某人」"},
        {{"follow", "\xF0\x9F\x98\x80"}, 2, "GB2312"},
        {{"follow"}, 2, "没有给名字"},
        {{"author", "--out", dir.File("nobody.htm"), "某人"}, 1, "没有「某人」的帖子"},
    };
    for (const Case& c : cases) {
        const ProcessResult result = Library(c.args);
        EXPECT_EQ(result.nExitCode, c.nExitCode) << c.args[0] << result.strErr;
        EXPECT_TRUE(result.strOut.find(c.strOut) != std::string::npos ||
                    result.strErr.find(c.strOut) != std::string::npos)
            << c.args[0] << ": " << result.strOut << result.strErr;
    }
    forum.ChangeThread("1000001", [](demo::SampleThread& thread) {
        demo::AppendSamplePosts(thread, 2, false);
        test::Poster(thread, test::LastFloor(thread), "观潮者");
        test::Poster(thread, test::LastFloor(thread) - 1, "观潮者");
    });
    const ProcessResult refreshed = Library({"refresh", Url(kMoutai)});
    EXPECT_NE(
        refreshed.strErr.find("「观潮者」发了 2 条新帖（「茅台一季度业绩前瞻，大家怎么看？」）"),
        std::string::npos)
        << refreshed.strErr;
    // The page holds their three posts; written, they are read.
    ASSERT_EQ(Library({"author", "--out", dir.File("p.htm"), "观潮者"}).nExitCode, 0);
    const std::string page = GbkToUtf8(test::ReadFile(dir.File("p.htm"))).value_or("");
    EXPECT_NE(page.find("此人的帖子：观潮者"), std::string::npos);
    std::size_t nRows = 0;
    for (std::size_t at = page.find("class=vk-in"); at != std::string::npos;
         at = page.find("class=vk-in", at + 1)) {
        ++nRows;
    }
    EXPECT_EQ(nRows, 3U);
    EXPECT_NE(Library({"following"}).strOut.find("观潮者\t3\t0\t"), std::string::npos);
}

}  // namespace
}  // namespace vesk
