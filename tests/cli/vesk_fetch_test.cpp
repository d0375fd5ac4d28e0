#include "code_page.h"
#include "demo_forum.h"
#include "process.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace vesk {
namespace {

using test::ProcessResult;
using test::RunProcess;

class VeskFetchTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(forum.Start()); }

    ProcessResult Fetch(std::vector<std::string> args,
                        const std::map<std::string, std::string>& env = {}) {
        args.insert(args.begin(), {VESK_FETCH_PATH, "--base", forum.BaseAddress()});
        return RunProcess(args, env, dir.Path());
    }
    std::string Thread(const std::string& strTail) const {
        return forum.BaseAddress() + "/" + strTail;
    }
    // The summary's value for a key, converted to UTF-8.
    static std::string Value(const std::string& strSummary, const std::string& strKey) {
        const std::size_t nStart = strSummary.find(strKey + "\t");
        if (nStart == std::string::npos) {
            return "<missing>";
        }
        const std::size_t nValue = nStart + strKey.size() + 1;
        return GbkToUtf8(strSummary.substr(nValue, strSummary.find('\n', nValue) - nValue))
            .value_or("<not GBK>");
    }
    int CountStarterPosts(const demo::SampleThread& thread) const {
        int nCount = 0;
        for (const auto& page : thread.pages) {
            for (const auto& post : page) {
                nCount += post.strAuthor == thread.pages[0][0].strAuthor;
            }
        }
        return nCount;
    }

    demo::DemoForum forum;
    test::TempDir dir;
};

TEST_F(VeskFetchTest, WritesThePageAndPrintsTheSummaryInOrder) {
    const ProcessResult result = Fetch({"--summary", Thread("look,600519,1000001.html")});
    ASSERT_EQ(result.nExitCode, 0) << result.strErr;
    const std::string strExpected =
        "title\t" + Utf8ToGbk("茅台一季度业绩前瞻，大家怎么看？_贵州茅台吧_vesk股吧").value() +
        "\nstarter\t" + Utf8ToGbk("茅台信仰者").value() + "\nboard_name\t" +
        Utf8ToGbk("贵州茅台吧").value() +
        "\nboard_code\t600519\nthread_id\t1000001\nposts\t123\nshown\t123\n";
    EXPECT_EQ(result.strOut, strExpected);
    const std::string strPage = test::ReadFile(dir.File("post.htm"));
    EXPECT_TRUE(strPage.starts_with("<html xmlns="));
    EXPECT_TRUE(strPage.ends_with("</table></body></html>"));
    // Progress goes to stderr.
    EXPECT_NE(result.strErr.find("page 3"), std::string::npos);
}

TEST_F(VeskFetchTest, EachModeShowsItsPosts) {
    const demo::SampleThread& thread = forum.Threads()[0];
    const ProcessResult starter =
        Fetch({"--summary", "--mode", "starter", Thread("look,600519,1000001_2.html")});
    ASSERT_EQ(starter.nExitCode, 0) << starter.strErr;
    EXPECT_EQ(Value(starter.strOut, "shown"), std::to_string(CountStarterPosts(thread)));

    int nNamed = 0;
    for (const auto& page : thread.pages) {
        for (const auto& post : page) {
            nNamed += post.strAuthor == "股海老船长" || post.strAuthor.starts_with("222.71");
        }
    }
    ASSERT_GT(nNamed, 0);
    // The names arrive as UTF-8 and are matched as GB2312; the list is trimmed, its items not.
    const ProcessResult names =
        Fetch({"--summary", "--mode=names", "--names", " 股海老船长,222.71 ", "--out", "named.htm",
               Thread("look,600519,1000001.html")});
    ASSERT_EQ(names.nExitCode, 0) << names.strErr;
    EXPECT_EQ(Value(names.strOut, "shown"), std::to_string(nNamed));
    EXPECT_NE(test::ReadFile(dir.File("named.htm")), test::ReadFile(dir.File("post.htm")));
}

TEST_F(VeskFetchTest, RejectsAnUnfitAddressWithExitTwo) {
    const std::string strMessage = "请输入正确的vesk单帖网址！\r\n\r\n比如：" +
                                   forum.BaseAddress() + "/look,xxxxx,xxxxxx_x.html\n";
    for (const std::string& strUrl : {std::string("   "), Thread("topic,600519.html"),
                                      std::string("http://other/look,1,2.html"),
                                      Thread("look,600519," + std::string(200, '1') + ".html")}) {
        const ProcessResult result = Fetch({strUrl});
        EXPECT_EQ(result.nExitCode, 2) << strUrl;
        EXPECT_EQ(result.strErr, strMessage) << strUrl;
    }
    EXPECT_TRUE(forum.RequestedPaths().empty());
    // Blanks around a good address are trimmed away.
    EXPECT_EQ(Fetch({"  " + Thread("look,600519,1000001.html") + "\t"}).nExitCode, 0);
}

TEST_F(VeskFetchTest, RejectsAnEmptyNameListWithExitTwo) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--mode", "names", Thread("look,600519,1000001.html")},
          std::vector<std::string>{"--mode", "names", "--names", "  ",
                                   Thread("look,600519,1000001.html")}}) {
        const ProcessResult result = Fetch(args);
        EXPECT_EQ(result.nExitCode, 2);
        EXPECT_EQ(
            result.strErr,
            "请指定需要显示的发帖人名字！名字用半角逗号分隔，支持模糊匹配。\r\n\r\n比如：高手1,"
            "高手2,192.168.1,...\n");
    }
    EXPECT_TRUE(forum.RequestedPaths().empty());
}

TEST_F(VeskFetchTest, RejectsBadUsageWithExitTwo) {
    EXPECT_EQ(Fetch({}).nExitCode, 2);
    EXPECT_EQ(Fetch({"--mode", "some", Thread("look,1,2.html")}).nExitCode, 2);
    EXPECT_EQ(Fetch({"--bogus", Thread("look,1,2.html")}).nExitCode, 2);
    EXPECT_EQ(Fetch({Thread("look,1,2.html"), "second"}).nExitCode, 2);
    EXPECT_EQ(RunProcess({VESK_FETCH_PATH, "--base", "http://127.0.0.1/", Thread("look,1,2.html")})
                  .nExitCode,
              2);
}

TEST_F(VeskFetchTest, AThreadWithoutPostsWritesNothingAndExitsOne) {
    const ProcessResult result = Fetch({"--summary", Thread("look,600519,42.html")});
    EXPECT_EQ(result.nExitCode, 1);
    EXPECT_EQ(Value(result.strOut, "posts"), "0");
    EXPECT_EQ(Value(result.strOut, "shown"), "0");
    EXPECT_EQ(Value(result.strOut, "board_code"), "600519");
    EXPECT_FALSE(std::filesystem::exists(dir.File("post.htm")));
}

TEST_F(VeskFetchTest, ASessionThatCannotOpenExitsThree) {
    const ProcessResult result =
        Fetch({Thread("look,600519,1000001.html")},
              {{"LD_PRELOAD", SESSION_FAILURE_LIB}, {"ASAN_OPTIONS", "verify_asan_link_order=0"}});
    EXPECT_EQ(result.nExitCode, 3);
    EXPECT_EQ(result.strErr, "网络连接失败！\n");
    EXPECT_TRUE(forum.RequestedPaths().empty());
    EXPECT_FALSE(std::filesystem::exists(dir.File("post.htm")));
}

TEST_F(VeskFetchTest, AFileThatCannotBeWrittenExitsFour) {
    const std::string strOut = dir.File("no/such/dir/post.htm");
    const ProcessResult result =
        Fetch({"--summary", "--out", strOut, Thread("look,600519,1000001.html")});
    EXPECT_EQ(result.nExitCode, 4);
    EXPECT_NE(result.strErr.find("创建文件失败。" + strOut + "\n"), std::string::npos);
    EXPECT_EQ(Value(result.strOut, "posts"), "123");
    EXPECT_EQ(Value(result.strOut, "shown"), "0");
}

}  // namespace
}  // namespace vesk
