#include "fetch_thread.h"

#include "code_page.h"
#include "demo_forum.h"
#include "text_cut.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <future>
#include <string>
#include <thread>

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
    // The first answer's wParam and lParam; {-99, -99} when none came within a minute.
    std::pair<int, int> Wait() {
        return m_future.wait_for(60s) == std::future_status::ready ? m_future.get()
                                                                   : std::pair{-99, -99};
    }
    int Calls() const { return m_nCalls; }
    void ReadingEnded(const ReadingEnd& end) override { readingEnd = end; }
    ReadingEnd readingEnd;

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

    // A job for the address that fills this owner's table and buffers.
    std::unique_ptr<FetchJob> Job(const std::string& strUrl) {
        auto pJob = std::make_unique<FetchJob>();
        pJob->hWndNotify = &answer;
        CopyToField(pJob->szThreadUrl, strUrl);
        AttachResults(*pJob, table, buffers);
        return pJob;
    }
};

std::string Gbk(const std::string& strUtf8) {
    return Utf8ToGbk(strUtf8).value();
}

// A thread of the given posts per page, every third post by its starter.
SampleThread MakeThread(const std::string& strCode, const std::string& strId,
                        const std::vector<int>& postsPerPage) {
    SampleThread thread{strCode, strId, "测试帖子", "测试吧", {}, {}};
    int nFloor = 0;
    for (const int nPosts : postsPerPage) {
        auto& page = thread.pages.emplace_back();
        for (int i = 0; i < nPosts; ++i) {
            SamplePost& post = page.emplace_back();
            post.nFloor = ++nFloor;
            post.strAuthor = nFloor % 3 == 1 ? "楼主甲" : "网友乙";
            post.strTime = "2024-05-06 07:08:09";
            post.strBody = "第" + std::to_string(nFloor) + "楼的内容。";
        }
    }
    return thread;
}

// The demo forum's threads and two more: one of over-long names, one of 40 pages of 60 posts.
class FetchThreadTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(forum.Start()); }
    static std::vector<SampleThread> Threads() {
        std::vector<SampleThread> threads = DemoForum().Threads();
        SampleThread& longNames =
            threads.emplace_back(MakeThread("1234567890123", "98765432109876", {3}));
        longNames.strTitle.clear();
        while (longNames.strTitle.size() < 400) {
            longNames.strTitle += "很长的标题";
        }
        threads.push_back(MakeThread("600000", "777", std::vector<int>(40, 60)));
        return threads;
    }
    FetchSettings Settings() const {
        FetchSettings settings;
        settings.strBaseAddress = forum.BaseAddress();
        settings.timeouts.connect = 500ms;
        settings.timeouts.connectBackoff = 100ms;
        settings.timeouts.stall = 400ms;
        return settings;
    }
    std::string Url(const std::string& strTail = "look,600519,1000001.html") const {
        return forum.BaseAddress() + "/" + strTail;
    }
    // Runs a retrieval of the thread (1000001 unless told) to its end for the owner given; the
    // answer's wParam and lParam.
    std::pair<int, int> Run(Owner& run, const std::string& strTail = "look,600519,1000001.html",
                            int nWindow = 4) {
        FetchSettings settings = Settings();
        settings.nWindow = nWindow;
        FetchThread thread(run.Job(Url(strTail)), std::move(settings));
        EXPECT_TRUE(thread.CreateThread());
        const std::pair<int, int> answer = run.answer.Wait();
        thread.Join();
        return answer;
    }

    DemoForum forum{Threads()};
    Owner owner;
};

// The pages asked for: 1 to nPages, none twice, and after them at most the window's other
// three (none after a limit). Requests in flight together reach the server in any order, and a
// cancelled one may not reach it at all.
void ExpectPagesAskedFor(const std::vector<std::string>& paths, const std::string& strPrefix,
                         std::size_t nPages, std::size_t nMaxExtra) {
    std::vector<std::size_t> pages;
    for (const std::string& path : paths) {
        // A request the reading before cancelled may reach the forum late.
        if (path.starts_with(strPrefix)) {
            pages.push_back(std::stoul(path.substr(strPrefix.size())));
        }
    }
    std::sort(pages.begin(), pages.end());
    ASSERT_GE(pages.size(), nPages) << strPrefix;
    EXPECT_LE(pages.size(), nPages + nMaxExtra) << strPrefix;
    for (std::size_t i = 0; i < pages.size(); ++i) {
        EXPECT_TRUE(i < nPages ? pages[i] == i + 1
                               : pages[i] > pages[i - 1] && pages[i] <= nPages + nMaxExtra)
            << strPrefix << " " << pages[i];
    }
}

// Pages 1 to the first without posts, 40 at most, or to the page that filled the table; the
// board code and thread number cut from the address, over-long values to their buffers. A window
// of 4 requests gives the table and values of one request at a time, byte for byte.
TEST_F(FetchThreadTest, AsksForPagesFromOneToTheEndAndCutsTheNamesToTheirBuffers) {
    const struct {
        const char* pszTail;
        int nLast;
        std::size_t nPages;
        const char *pszPrefix, *pszCode, *pszId;
        bool bLimit;
    } cases[] = {
        {"look,600519,1000001_3.html", 122, 4, "/look,600519,1000001_", "600519", "1000001", false},
        // 600036 has 44 pages of 50 posts.
        {"look,600036,1000004.html", 1999, 40, "/look,600036,1000004_", "600036", "1000004", true},
        // 60 posts a page: the last record is filled on page 35.
        {"look,600000,777.html", PostTable::kCapacity - 1, 35, "/look,600000,777_", "600000", "777",
         true},
        // Without a comma after "look," there is no board code, and the thread number is cut
        // from behind the first comma.
        {"look,600519.html", -1, 1, "/look,,600519_", "", "600519", false},
        {"look,1234567890123,98765432109876.html", 2, 2, "/look,1234567890123,98765432109876_",
         "1234567890", "98765432109", false},
        // Page 2 fails.
        {"look,601318,1000002.html", 49, 2, "/look,601318,1000002_", "601318", "1000002", false},
    };
    forum.SetFault("/look,601318,1000002_2.html", {500});
    for (const auto& c : cases) {
        const auto runs = std::make_unique<Owner[]>(2);  // one request at a time, then four
        for (const int nWindow : {1, 4}) {
            forum.ClearRequests();
            Owner& run = runs[nWindow / 4];
            ASSERT_EQ(Run(run, c.pszTail, nWindow), std::pair(c.nLast, 0)) << c.pszTail;
            ExpectPagesAskedFor(forum.RequestedPaths(), c.pszPrefix, c.nPages,
                                nWindow == 1 || c.bLimit ? 0 : 3);
            EXPECT_STREQ(run.buffers.szBoardCode, c.pszCode);
            EXPECT_STREQ(run.buffers.szThreadId, c.pszId);
            EXPECT_EQ(run.answer.Calls(), 1);
        }
        const Owner* pOneByOne = &runs[0];
        EXPECT_EQ(std::memcmp(&runs[1].buffers, &pOneByOne->buffers, sizeof runs[1].buffers), 0);
        EXPECT_EQ(std::memcmp(runs[1].table.data(), pOneByOne->table.data(),
                              sizeof(PostRecord) * PostTable::kCapacity),
                  0)
            << c.pszTail;
        if (c.nLast == PostTable::kCapacity - 1) {
            EXPECT_EQ(pOneByOne->table[PostTable::kCapacity - 1].nFloor, PostTable::kCapacity);
        }
        if (c.nLast == 2) {  // 250 bytes hold 125 characters of two bytes
            EXPECT_EQ(std::string(pOneByOne->buffers.szTitle),
                      Gbk(forum.Threads()[forum.Threads().size() - 2].strTitle).substr(0, 250));
        }
    }
}

// Title and board name come from page 1 only, even without its navigation; a later page that
// times out ends the retrieval with the posts so far; a failed first page stores nothing but
// still names the thread.
TEST_F(FetchThreadTest, WhatThePagesThatDoNotComeOrDifferLeave) {
    SampleThread other = forum.Threads()[0];
    other.strTitle = "别的标题";
    other.strBoardName = "别的吧";
    // The last page read names another thread and board: page 1's stay.
    forum.SetPage("/look,600519,1000001_3.html", Gbk(demo::RenderThreadPage(other, 3)));
    ASSERT_EQ(Run(owner).second, 0);
    EXPECT_EQ(std::string(owner.buffers.szBoardName), Gbk("贵州茅台吧"));
    EXPECT_EQ(std::string(owner.buffers.szTitle).find(Gbk("别的")), std::string::npos);

    std::string strPage = demo::RenderThreadPage(forum.Threads()[0], 1);
    for (std::size_t n; (n = strPage.find("daohanglan1")) != std::string::npos;) {
        strPage.replace(n, 11, "daohang");
    }
    forum.SetPage("/look,600519,1000001_1.html", Gbk(strPage));
    forum.SetFault("/look,600519,1000001_2.html", {200, 1500ms});
    std::this_thread::sleep_for(300ms);  // the first reading's cancelled requests arrive late
    forum.ClearRequests();
    Owner bare;
    ASSERT_EQ(Run(bare), std::pair(49, 0));
    EXPECT_STREQ(bare.buffers.szBoardName, "");
    EXPECT_NE(std::string(bare.buffers.szTitle), "");
    EXPECT_EQ(std::string(bare.buffers.szStarter), Gbk("茅台信仰者"));
    ExpectPagesAskedFor(forum.RequestedPaths(), "/look,600519,1000001_", 2, 3);

    Owner failed;
    for (char* pszBuffer :
         {failed.buffers.szStarter, failed.buffers.szBoardName, failed.buffers.szTitle}) {
        std::strcpy(pszBuffer, "old");
    }
    forum.SetFault("/look,600519,1000001_1.html", {404, 0ms});
    ASSERT_EQ(Run(failed), std::pair(-1, 0));
    for (const char* pszBuffer :
         {failed.buffers.szStarter, failed.buffers.szBoardName, failed.buffers.szTitle}) {
        EXPECT_STREQ(pszBuffer, "");
    }
    EXPECT_STREQ(failed.buffers.szBoardCode, "600519");
    EXPECT_STREQ(failed.buffers.szThreadId, "1000001");
    EXPECT_EQ(failed.table[0].nFloor, 0);
}

// A busy answer (429, 503) is asked again after its Retry-After, then read as usual; three are a
// failed page; stopping during the wait ends it at once.
TEST_F(FetchThreadTest, BusyAnswersAreAskedAgainAfterTheirWait) {
    const std::string strPage2 = "/look,600519,1000001_2.html";
    const auto count = [&](const std::string& strPath) {
        const auto paths = forum.RequestedPaths();
        return std::count(paths.begin(), paths.end(), strPath);
    };
    forum.SetFault(strPage2, {429, 0ms, "1", 1});
    auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(Run(owner), std::pair(122, 0));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_EQ(count(strPage2), 2);
    EXPECT_EQ(owner.answer.readingEnd.kind, ReadingEnd::Kind::kEndOfThread);

    forum.ClearRequests();
    forum.SetFault(strPage2, {503, 0ms, "0", 3});
    Owner busy;
    ASSERT_EQ(Run(busy), std::pair(49, 0));
    EXPECT_EQ(count(strPage2), 3);
    EXPECT_EQ(busy.answer.readingEnd.kind, ReadingEnd::Kind::kFailedPage);
    EXPECT_EQ(busy.answer.readingEnd.failure.nHttpStatus, 503);
    // A wait longer than a minute is not waited for: a failed page at once.
    forum.SetFault(strPage2, {429, 0ms, "61", 1});
    Owner impatient;
    start = std::chrono::steady_clock::now();
    ASSERT_EQ(Run(impatient), std::pair(49, 0));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_EQ(impatient.answer.readingEnd.failure.nRetryAfter, 61);

    forum.SetFault(strPage2, {503, 0ms, "30"});
    Owner stopped;
    FetchThread thread(stopped.Job(Url()), Settings());
    ASSERT_TRUE(thread.CreateThread());
    for (int i = 0; i < 1000 && count(strPage2) < 5; ++i) {
        std::this_thread::sleep_for(10ms);
    }
    ASSERT_EQ(count(strPage2), 5);
    start = std::chrono::steady_clock::now();
    thread.Stop();
    thread.Join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_EQ(stopped.answer.Calls(), 0);
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
