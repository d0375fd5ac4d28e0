#include "command_test.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace vesk {
namespace {

using test::ProcessResult;
using test::RunProcess;

class VeskFetchTest : public test::CommandTest {
protected:
    VeskFetchTest() : CommandTest(false) {}

    ProcessResult Fetch(const std::vector<std::string>& args,
                        const std::map<std::string, std::string>& env = {}) {
        return Run(VESK_FETCH_PATH, args, env);
    }
};

// 64-bit FNV-1a: a fingerprint of output bytes that stays the same from machine to machine.
std::uint64_t Fingerprint(const std::string& strBytes) {
    std::uint64_t nHash = 0xCBF29CE484222325u;
    for (const char c : strBytes) {
        nHash = (nHash ^ static_cast<unsigned char>(c)) * 0x100000001B3u;
    }
    return nHash;
}

// Every demo thread in every mode: the summary and the page written are the bytes they have
// always been (every form of author, time and body, the long post's cut, the 40-page limit, the
// colours and rows of each filter). A changed fingerprint means changed output: VESK_KEEP_OUTPUT
// names a folder to keep the pages in for a look.
TEST_F(VeskFetchTest, EveryThreadAndModeWritesTheSameSummaryAndPageAsAlways) {
    // The mode's arguments, each followed by '|'.
    const struct {
        const char* pszTail;
        const char* pszMode;
        std::uint64_t nSummary, nPage;
    } cases[] = {
        {"look,600519,1000001.html", "", 0xFBF724116214F4CBu, 0x82A5CF07FB6FC906u},
        {"look,600519,1000001_2.html", "--mode|starter|", 0x2D8017E75BAED06Cu, 0x80E2BF5897EF3545u},
        {"look,600519,1000001.html", "--mode=names|--names| 股海老船长,222.71 |",
         0x5B2461AFE7F83152u, 0xADF8DD9890E7E185u},
        // The input method's full-width comma separates names too: the same page.
        {"look,600519,1000001.html", "--mode=names|--names|股海老船长，222.71|",
         0x5B2461AFE7F83152u, 0xADF8DD9890E7E185u},
        {"look,601318,1000002.html", "--mode|starter|", 0x79B1CBCAB6B6EAFEu, 0x454486A3E394DED2u},
        {"look,300750,1000003.html", "", 0xF375AA10E4281FF4u, 0x94F83235F8A1BBFBu},
        {"look,600036,1000004.html", "--mode|names|--names|K线,2019,58.33|", 0x3DF26E16484D5405u,
         0x0EC02564E6033063u},
        {"look,600036,1000004.html", "", 0x616995CD5ADDEEF4u, 0x68E38132A1D578A6u},
    };
    const char* pszKeep = std::getenv("VESK_KEEP_OUTPUT");
    int nCase = 0;
    for (const auto& c : cases) {
        std::vector<std::string> args;
        for (std::string_view mode = c.pszMode; !mode.empty();
             mode.remove_prefix(mode.find('|') + 1)) {
            args.emplace_back(mode.substr(0, mode.find('|')));
        }
        args.insert(args.end(), {"--summary", "--out", "page.htm", Url(c.pszTail)});
        const ProcessResult result = Fetch(args);
        ASSERT_EQ(result.nExitCode, 0) << result.strErr;
        const std::string strPage = test::ReadFile(dir.File("page.htm"));
        EXPECT_EQ(Fingerprint(result.strOut), c.nSummary) << c.pszTail << " case " << nCase;
        EXPECT_EQ(Fingerprint(strPage), c.nPage) << c.pszTail << " case " << nCase;
        if (pszKeep != nullptr) {
            std::filesystem::copy_file(dir.File("page.htm"),
                                       std::string(pszKeep) + "/" + std::to_string(nCase) + ".htm",
                                       std::filesystem::copy_options::overwrite_existing);
        }
        ++nCase;
    }
}

// An unfit address or an empty name list: its message, exit 2, and no request.
TEST_F(VeskFetchTest, RejectsAnUnfitAddressOrAnEmptyNameListWithExitTwo) {
    const std::string strAddress = "请输入正确的vesk单帖网址！\r\n\r\n比如：" +
                                   forum.BaseAddress() + "/look,xxxxx,xxxxxx_x.html\n";
    const std::string strNames =
        "请指定需要显示的发帖人名字！名字用半角逗号分隔，支持模糊匹配。\r\n\r\n比如：高手1,"
        "高手2,192.168.1,...\n";
    const std::string strGood = Url("look,600519,1000001.html");
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"   "}, strAddress},
        {{Url("topic,600519.html")}, strAddress},
        {{"http://other/look,1,2.html"}, strAddress},
        {{Url("look,600519," + std::string(200, '1') + ".html")}, strAddress},
        {{"--mode", "names", strGood}, strNames},
        {{"--mode", "names", "--names", "  ", strGood}, strNames},
    };
    for (const auto& [args, strMessage] : cases) {
        const ProcessResult result = Fetch(args);
        EXPECT_EQ(result.nExitCode, 2) << args[0];
        EXPECT_EQ(result.strErr, strMessage) << args[0];
    }
    EXPECT_TRUE(forum.RequestedPaths().empty());
    // Blanks around a good address are trimmed away.
    EXPECT_EQ(Fetch({"  " + strGood + "\t"}).nExitCode, 0);
}

// --help on stdout; a wrong argument says what is wrong, with the usage, exit 2.
TEST_F(VeskFetchTest, HelpOnStdoutAndWrongArgumentsSayWhatIsWrong) {
    const ProcessResult help = RunProcess({VESK_FETCH_PATH, "--help"});
    EXPECT_EQ(help.nExitCode, 0);
    EXPECT_TRUE(help.strOut.find("--names 名单") != std::string::npos &&
                help.strOut.find("  4  页面无法写入") != std::string::npos)
        << help.strOut;
    EXPECT_EQ(help.strErr, "");
    const std::string url = Url("look,1,2.html");
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{}, "没有给帖子网址"},
        {{"--bogus", url}, "没有这个选项：--bogus"},
        {{url, "--out"}, "--out 要一个值"},
        {{"--mode", "some", url}, "没有这种模式：some（可用 all、starter 或 names）"},
        {{url, "second"}, "只能给一个帖子网址，多了一个：second"},
        {{"--names", "x", url}, "--names 只能与 --mode names 一起使用"},
    };
    for (const auto& [args, strWhy] : cases) {
        const ProcessResult result = Fetch(args);
        EXPECT_EQ(result.nExitCode, 2) << strWhy;
        EXPECT_TRUE(result.strErr.starts_with("vesk-fetch：" + strWhy + "\n用法：vesk-fetch"))
            << result.strErr;
    }
    EXPECT_EQ(RunProcess({VESK_FETCH_PATH, "--base", "http://127.0.0.1/", url}).nExitCode, 2);
    EXPECT_TRUE(forum.RequestedPaths().empty());
}

// After the retrieval, the last line on stderr says how the reading ended, in the window's words;
// the exit codes stay as they were.
TEST_F(VeskFetchTest, TheLastLineSaysHowTheReadingEnded) {
    const struct {
        const char* pszTail;
        const char* pszFaultPath;
        int nStatus, nExitCode;
        std::string strLine;
    } cases[] = {
        {"look,600519,1000001.html", "", 0, 0, "本帖已读完：共3页123帖"},
        {"look,600519,42.html", "", 0, 1, "没有读到帖子：第1页上没有帖子，请检查帖子地址"},
        {"look,600519,43.html", "", 0, 1, "没有读到帖子：第1页读取失败（HTTP 404）"},
        {"look,300750,1000003.html", "/look,300750,1000003_7.html", 500, 0,
         "第7页读取失败（HTTP 500），只显示了前6页的300帖"},
        {"look,600036,1000004.html", "", 0, 0, "本帖至少有40页，只显示了前40页的2000帖"},
    };
    forum.SetPage("/look,600519,42_1.html", "<html>a page without posts</html>");
    for (const auto& c : cases) {
        if (*c.pszFaultPath != '\0') {
            forum.SetFault(c.pszFaultPath, {c.nStatus, std::chrono::milliseconds(0)});
        }
        const ProcessResult result = Fetch({Url(c.pszTail)});
        EXPECT_EQ(result.nExitCode, c.nExitCode) << c.pszTail;
        EXPECT_TRUE(("\n" + result.strErr).ends_with("\n" + c.strLine + "\n")) << result.strErr;
    }
    // Nobody listens at the port: the connection is refused.
    demo::DemoForum closed;
    ASSERT_TRUE(closed.Start());
    const std::string strBase = closed.BaseAddress();
    closed.Stop();
    const ProcessResult refused =
        RunProcess({VESK_FETCH_PATH, "--base", strBase, strBase + "/look,600519,1000001.html"});
    EXPECT_EQ(refused.nExitCode, 1);
    EXPECT_EQ(refused.strErr, "没有读到帖子：第1页读取失败（连接被拒绝）\n") << refused.strErr;
}

// A thread without posts writes nothing and exits 1; a session that cannot open exits 3 before
// any request; a page that cannot be written exits 4 after the summary.
TEST_F(VeskFetchTest, NoPostsNoSessionAndAnUnwritablePageExitOneThreeAndFour) {
    const ProcessResult empty = Fetch({"--summary", Url("look,600519,42.html")});
    EXPECT_EQ(empty.nExitCode, 1);
    EXPECT_EQ(Value(empty.strOut, "posts"), "0");
    EXPECT_EQ(Value(empty.strOut, "shown"), "0");
    EXPECT_EQ(Value(empty.strOut, "board_code"), "600519");
    EXPECT_FALSE(std::filesystem::exists(dir.File("post.htm")));

    forum.ClearRequests();
    const ProcessResult closed =
        Fetch({Url("look,600519,1000001.html")},
              {{"LD_PRELOAD", SESSION_FAILURE_LIB}, {"ASAN_OPTIONS", "verify_asan_link_order=0"}});
    EXPECT_EQ(closed.nExitCode, 3);
    EXPECT_EQ(closed.strErr, "网络连接失败！\n");
    EXPECT_TRUE(forum.RequestedPaths().empty());
    EXPECT_FALSE(std::filesystem::exists(dir.File("post.htm")));

    const std::string strOut = dir.File("no/such/dir/post.htm");
    const ProcessResult unwritten =
        Fetch({"--summary", "--out", strOut, Url("look,600519,1000001.html")});
    EXPECT_EQ(unwritten.nExitCode, 4);
    EXPECT_NE(unwritten.strErr.find("创建文件失败。" + strOut + "\n"), std::string::npos);
    EXPECT_EQ(Value(unwritten.strOut, "posts"), "123");
    EXPECT_EQ(Value(unwritten.strOut, "shown"), "0");
}

}  // namespace
}  // namespace vesk
