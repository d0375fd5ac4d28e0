#include "fetch_thread.h"

#include "code_page.h"
#include "demo_forum.h"
#include "text_cut.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <future>
#include <optional>
#include <string>

namespace vesk {
namespace {

using namespace std::chrono_literals;
using demo::DemoForum;
using demo::SamplePost;
using demo::SampleThread;

// Collects the worker's answer, as the window's posted event or the tool's wait would.
class Answer final : public FetchNotifyTarget {
public:
    void PostFetchNotify(int wParam, int lParam) override {
        if (m_nCalls++ == 0) {
            m_answer.set_value({wParam, lParam});
        }
    }
    std::optional<std::pair<int, int>> WaitFor(std::chrono::milliseconds timeout) {
        if (m_future.wait_for(timeout) != std::future_status::ready) {
            return std::nullopt;
        }
        return m_future.get();
    }
    int Calls() const { return m_nCalls; }

private:
    std::atomic<int> m_nCalls{0};
    std::promise<std::pair<int, int>> m_answer;
    std::future<std::pair<int, int>> m_future = m_answer.get_future();
};

// What the window owns for a retrieval: the table, the five buffers, the answer.
struct Owner {
    PostTable table;
    ResultBuffers buffers{};
    Answer answer;

    std::unique_ptr<FetchThread> Start(const std::string& strUrl, FetchSettings settings) {
        auto pJob = std::make_unique<FetchJob>();
        pJob->hWndNotify = &answer;
        CopyToField(pJob->szThreadUrl, strUrl);
        AttachResults(*pJob, table, buffers);
        auto pThread = std::make_unique<FetchThread>(std::move(pJob), std::move(settings));
        EXPECT_TRUE(pThread->CreateThread());
        return pThread;
    }

    // Runs a retrieval to its end; the answer's wParam and lParam.
    std::pair<int, int> Run(const std::string& strUrl, FetchSettings settings) {
        auto pThread = Start(strUrl, std::move(settings));
        const auto result = answer.WaitFor(60s);
        pThread->Join();
        EXPECT_TRUE(result.has_value());
        return result.value_or(std::pair{-99, -99});
    }
};

std::string Gbk(const std::string& strUtf8) {
    return Utf8ToGbk(strUtf8).value();
}

SamplePost MakePost(int nFloor, const std::string& strAuthor) {
    SamplePost post;
    post.nFloor = nFloor;
    post.strAuthor = strAuthor;
    post.strTime = "2024-05-06 07:08:09";
    post.strBody = "第" + std::to_string(nFloor) + "楼的内容。";
    return post;
}

SampleThread MakeThread(const std::string& strCode, const std::string& strId,
                        const std::vector<int>& postsPerPage) {
    SampleThread thread{strCode, strId, "测试帖子", "测试吧", {}};
    int nFloor = 0;
    for (const int nPosts : postsPerPage) {
        auto& page = thread.pages.emplace_back();
        for (int i = 0; i < nPosts; ++i) {
            ++nFloor;
            page.push_back(MakePost(nFloor, nFloor % 3 == 1 ? "楼主甲" : "网友乙"));
        }
    }
    return thread;
}

class FetchThreadTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(forum.Start()); }

    FetchSettings Settings() const {
        FetchSettings settings;
        settings.strBaseAddress = forum.BaseAddress();
        settings.timeouts.connect = 500ms;
        settings.timeouts.connectBackoff = 100ms;
        settings.timeouts.stall = 400ms;
        return settings;
    }
    std::string Url(const std::string& strTail) const {
        return forum.BaseAddress() + "/" + strTail;
    }

    DemoForum forum;
    Owner owner;
};

TEST_F(FetchThreadTest, ReadsEveryPostOfEveryPageInOrder) {
    const SampleThread& thread = forum.Threads()[0];  // 600519, three pages
    ASSERT_EQ(owner.Run(Url("look,600519,1000001.html"), Settings()), std::pair(122, 0));

    int nIndex = 0;
    for (const auto& page : thread.pages) {
        for (const SamplePost& post : page) {
            const PostRecord& record = owner.table[nIndex++];
            EXPECT_EQ(record.nFloor, post.nFloor);
            EXPECT_EQ(record.szAuthor, Gbk(post.strAuthor)) << "floor " << post.nFloor;
            EXPECT_EQ(record.szTime, Gbk(post.strTime)) << "floor " << post.nFloor;
            // Every form keeps the post's words.
            const std::string strContent = record.szContent;
            const std::string strWords = Gbk(post.strBody).substr(0, 20);
            if (post.bodyForm != SamplePost::BodyForm::kParagraphs &&
                post.bodyForm != SamplePost::BodyForm::kQuote) {
                EXPECT_NE(strContent.find(strWords), std::string::npos) << "floor " << post.nFloor;
            }
        }
    }
    // The sample's long post is cut.
    EXPECT_EQ(std::strlen(owner.table[7].szContent), 2044u);
    EXPECT_EQ(owner.table[123].nFloor, 0);

    EXPECT_EQ(std::string(owner.buffers.szTitle),
              Gbk("茅台一季度业绩前瞻，大家怎么看？_贵州茅台吧_vesk股吧"));
    EXPECT_EQ(std::string(owner.buffers.szStarter), Gbk("茅台信仰者"));
    EXPECT_EQ(std::string(owner.buffers.szBoardName), Gbk("贵州茅台吧"));
    EXPECT_STREQ(owner.buffers.szBoardCode, "600519");
    EXPECT_STREQ(owner.buffers.szThreadId, "1000001");
    EXPECT_EQ(owner.answer.Calls(), 1);
}

TEST_F(FetchThreadTest, AsksForPagesFromOneToTheFirstWithoutPostsAndFortyAtMost) {
    struct Case {
        const char* pszTail;
        int nLast;
        std::size_t nPages;
        const char* pszLastPath;
        const char* pszCode;
        const char* pszId;
    };
    const Case cases[] = {
        {"look,600519,1000001_3.html", 122, 4, "/look,600519,1000001_4.html", "600519", "1000001"},
        // 600036 has 44 pages of 50 posts.
        {"look,600036,1000004.html", 1999, 40, "/look,600036,1000004_40.html", "600036", "1000004"},
        // Without a comma after "look," there is no board code, and the thread number is cut
        // from behind the first comma.
        {"look,600519.html", -1, 1, "/look,,600519_1.html", "", "600519"},
    };
    for (const Case& c : cases) {
        const std::size_t nBefore = forum.RequestedPaths().size();
        Owner run;
        ASSERT_EQ(run.Run(Url(c.pszTail), Settings()), std::pair(c.nLast, 0)) << c.pszTail;
        const auto all = forum.RequestedPaths();
        const std::vector<std::string> paths(all.begin() + static_cast<long>(nBefore), all.end());
        ASSERT_EQ(paths.size(), c.nPages) << c.pszTail;
        EXPECT_EQ(paths.front().substr(paths.front().size() - 7), "_1.html");
        EXPECT_EQ(paths.back(), c.pszLastPath);
        EXPECT_STREQ(run.buffers.szBoardCode, c.pszCode);
        EXPECT_STREQ(run.buffers.szThreadId, c.pszId);
    }
}

TEST_F(FetchThreadTest, TakesTitleAndBoardNameFromPageOneOnlyEvenWithoutNavigation) {
    // Page 2 shows another title and another board.
    SampleThread other = forum.Threads()[0];
    other.strTitle = "别的标题";
    other.strBoardName = "别的吧";
    forum.SetPage("/look,600519,1000001_2.html", Gbk(demo::RenderThreadPage(other, 2)));
    ASSERT_EQ(owner.Run(Url("look,600519,1000001.html"), Settings()).second, 0);
    EXPECT_EQ(std::string(owner.buffers.szBoardName), Gbk("贵州茅台吧"));
    EXPECT_EQ(std::string(owner.buffers.szTitle).find(Gbk("别的")), std::string::npos);

    std::string strPage = demo::RenderThreadPage(forum.Threads()[0], 1);
    for (std::size_t n; (n = strPage.find("daohanglan1")) != std::string::npos;) {
        strPage.replace(n, 11, "daohang");
    }
    forum.SetPage("/look,600519,1000001_1.html", Gbk(strPage));
    forum.SetPage("/look,600519,1000001_2.html", "");
    Owner bare;
    ASSERT_EQ(bare.Run(Url("look,600519,1000001.html"), Settings()), std::pair(49, 0));
    EXPECT_STREQ(bare.buffers.szBoardName, "");
    EXPECT_NE(std::string(bare.buffers.szTitle), "");
}

TEST_F(FetchThreadTest, ALaterPageThatTimesOutEndsTheRetrievalWithThePostsSoFar) {
    forum.SetFault("/look,600519,1000001_2.html", {200, 1500ms});
    ASSERT_EQ(owner.Run(Url("look,600519,1000001.html"), Settings()), std::pair(49, 0));
    EXPECT_EQ(std::string(owner.buffers.szStarter), Gbk("茅台信仰者"));
    EXPECT_EQ(forum.RequestedPaths().size(), 2u);
}

TEST_F(FetchThreadTest, AFailedFirstPageStoresNothingButStillNamesTheThread) {
    std::strcpy(owner.buffers.szStarter, "old");
    std::strcpy(owner.buffers.szBoardName, "old");
    std::strcpy(owner.buffers.szTitle, "old");
    forum.SetFault("/look,600519,1000001_1.html", {404, 0ms});
    ASSERT_EQ(owner.Run(Url("look,600519,1000001.html"), Settings()), std::pair(-1, 0));
    EXPECT_STREQ(owner.buffers.szTitle, "");
    EXPECT_STREQ(owner.buffers.szStarter, "");
    EXPECT_STREQ(owner.buffers.szBoardName, "");
    EXPECT_STREQ(owner.buffers.szBoardCode, "600519");
    EXPECT_STREQ(owner.buffers.szThreadId, "1000001");
    EXPECT_EQ(owner.table[0].nFloor, 0);
}

TEST_F(FetchThreadTest, CutsOverLongValuesToTheirBuffers) {
    SampleThread thread = MakeThread("1234567890123", "98765432109876", {3});
    thread.strTitle.clear();
    while (thread.strTitle.size() < 400) {
        thread.strTitle += "很长的标题";
    }
    DemoForum longForum({thread});
    ASSERT_TRUE(longForum.Start());
    FetchSettings settings = Settings();
    settings.strBaseAddress = longForum.BaseAddress();
    ASSERT_EQ(
        owner.Run(longForum.BaseAddress() + "/look,1234567890123,98765432109876.html", settings),
        std::pair(2, 0));
    EXPECT_STREQ(owner.buffers.szBoardCode, "1234567890");
    EXPECT_STREQ(owner.buffers.szThreadId, "98765432109");
    const std::string strTitle = owner.buffers.szTitle;
    // 250 bytes hold 125 characters of two bytes.
    EXPECT_EQ(strTitle.size(), 250u);
    EXPECT_EQ(strTitle, Gbk(thread.strTitle).substr(0, 250));
}

TEST_F(FetchThreadTest, AFullTableEndsTheRetrievalAfterThePageThatFilledIt) {
    // 60 posts a page: record 2049 is filled on page 35.
    DemoForum bigForum({MakeThread("600000", "777", std::vector<int>(40, 60))});
    ASSERT_TRUE(bigForum.Start());
    FetchSettings settings = Settings();
    settings.strBaseAddress = bigForum.BaseAddress();
    ASSERT_EQ(owner.Run(bigForum.BaseAddress() + "/look,600000,777.html", settings),
              std::pair(PostTable::kCapacity - 1, 0));
    EXPECT_EQ(bigForum.RequestedPaths().size(), 35u);
    EXPECT_EQ(owner.table[PostTable::kCapacity - 1].nFloor, PostTable::kCapacity);
}

TEST_F(FetchThreadTest, AJobThatNeverStartedIsFreedWithItsThreadObject) {
    auto pJob = std::make_unique<FetchJob>();
    FetchJob* pRaw = pJob.get();
    FetchThread thread(std::move(pJob), Settings());
    EXPECT_EQ(pRaw->pThread, &thread);
    // Stop and join on a thread that never ran do nothing; the sanitizer build sees the job freed.
    thread.Stop();
    thread.Join();
}

}  // namespace
}  // namespace vesk
