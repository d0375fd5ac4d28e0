// People across the kept threads, read from a loopback board: one person's posts in three
// threads newest first, following them counted by refreshes of any of those threads, an anonymous
// poster known by an address fragment, and the weeks' charts against the weeks the test counts.

#include "code_page.h"
#include "demo_forum.h"
#include "people_board.h"
#include "process.h"
#include "search_index_checks.h"
#include "thread_reader.h"
#include "watch_notice.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

namespace vesk {
namespace {

const std::string kName = "观潮者";
const std::string kAnonymous = "10.0.3.*";
const ThreadKey kMoutai{"600519", "1000001"};
const ThreadKey kPingan{"601318", "1000002"};
const ThreadKey kNingde{"300750", "1000003"};

class PeopleTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(forum.Start());
        ASSERT_TRUE(fetcher.OpenSession());
        settings.strBaseAddress = forum.BaseAddress();
        settings.bPictures = false;
    }
    void Write(const ThreadKey& key, int nFloor, const std::string& strAuthor,
               const std::string& strTime = {}) {
        forum.ChangeThread(key.strThreadId, [&](demo::SampleThread& thread) {
            test::Poster(thread, nFloor, strAuthor, strTime);
        });
    }
    void Refresh(const ThreadKey& key) { RefreshThread(store, fetcher, key, settings); }
    std::string Gbk(const std::string& utf8) const { return Utf8ToGbk(utf8).value(); }

    demo::DemoForum forum;
    test::TempDir dir;
    ThreadStore store{dir.File("library.sqlite3")};
    PageFetcher fetcher;
    RefreshSettings settings;
};

TEST_F(PeopleTest, APersonsPostsAcrossThreadsAreListedNewestFirstAndFollowedThroughRefreshes) {
    Write(kMoutai, 3, kName, "2024-05-06 10:00");
    Write(kMoutai, 7, kName, "2024-05-20 09:00");
    Write(kPingan, 2, kName, "2024-05-13 08:00");
    Write(kNingde, 5, kName, "2024-05-27 12:00");
    Write(kMoutai, 9, kAnonymous);
    Write(kNingde, 8, kAnonymous);
    for (const ThreadKey& key : {kMoutai, kPingan, kNingde}) {
        Refresh(key);
    }
    const std::map<std::int64_t, StoredThread> threads = store.ThreadsById();
    std::string listed;
    for (const PersonPost& post : store.PersonPosts(Gbk(kName))) {
        listed += threads.at(post.nThread).key.strThreadId.substr(6) + "#" +
                  std::to_string(post.nFloor) + " ";
    }
    EXPECT_EQ(listed, "3#5 1#7 2#2 1#3 ");
    // A name is matched whole: an address fragment is a person of its own.
    EXPECT_EQ(store.PersonPosts(Gbk(kAnonymous)).size(), 2U);
    EXPECT_TRUE(store.PersonPosts(Gbk("10.0.3")).empty());
    EXPECT_TRUE(store.PersonPosts(Gbk("观潮")).empty());

    store.Follow(Gbk(kName), 1);
    store.Follow(Gbk(kAnonymous), 2);
    // Two posts in one thread, one in another, brought by those threads' refreshes.
    for (const auto& [key, nCount] : {std::pair{kPingan, 2}, std::pair{kNingde, 1}}) {
        forum.ChangeThread(key.strThreadId, [&](demo::SampleThread& thread) {
            demo::AppendSamplePosts(thread, nCount, false);
            for (int i = 0; i < nCount; ++i) {
                test::Poster(thread, test::LastFloor(thread) - i, kName);
            }
        });
    }
    const std::int64_t nMark = store.LastPostId();
    Refresh(kPingan);
    Refresh(kNingde);
    const std::vector<FollowedPerson> people = store.Following();
    ASSERT_EQ(people.size(), 2U);
    EXPECT_EQ(people[0].nUnread, 7);
    EXPECT_EQ(people[0].nPosts, 7);
    EXPECT_EQ(people[0].nThreads, 3);
    EXPECT_EQ(people[0].strLastTime, "2024-05-27 12:00");
    EXPECT_EQ(people[1].nUnread, 2);
    const std::vector<PersonNews> news = store.FollowedNews(nMark);
    ASSERT_EQ(news.size(), 1U);
    EXPECT_EQ(MakePersonNotice(news[0]).strSummary,
              "「观潮者」发了 3 条新帖（「平安的保险业务还能增长吗？长期跟踪帖」等 2 个帖子）");
    // Read on the person's page: read in their threads too.
    store.MarkPostsSeen(std::vector<std::int64_t>{store.PersonPosts(Gbk(kName))[0].nId});
    EXPECT_EQ(store.Following()[0].nUnread, 6);
    EXPECT_TRUE(store.Unfollow(Gbk(kAnonymous)));
    EXPECT_FALSE(store.Unfollow(Gbk(kAnonymous)));
}

// The thread's posts a week, the starter's among them, as the test counts them from the times it
// gave, through edits of a time and of an author, an older library made anew, and a time that
// cannot be read.
TEST_F(PeopleTest, AThreadsWeeksAreTheWeeksItsTimesFallIn) {
    // Floor f on day (f * 5) % 56 from Monday 2024-04-01: eight weeks.
    const auto day = [](int nFloor) { return nFloor * 5 % 56; };
    const auto time = [](int nDay) {
        const std::chrono::year_month_day date{
            std::chrono::sys_days(std::chrono::year(2024) / 4 / 1) + std::chrono::days(nDay)};
        char szTime[32];
        std::snprintf(szTime, sizeof szTime, "%04d-%02u-%02u 12:%02d", int(date.year()),
                      unsigned(date.month()), unsigned(date.day()), nDay % 60);
        return std::string(szTime);
    };
    std::string strStarter;
    int nPosts = 0;
    forum.ChangeThread(kMoutai.strThreadId, [&](demo::SampleThread& thread) {
        strStarter = thread.pages[0][0].strAuthor;
        nPosts = test::LastFloor(thread);
        for (int f = 1; f <= nPosts; ++f) {
            test::Poster(thread, f, f % 4 == 1 ? strStarter : "路人" + std::to_string(f % 3),
                         time(day(f)));
        }
    });
    const auto expected = [&](int nMovedFloor, int nToDay) {
        std::string weeks;
        for (int w = 0; w < 8; ++w) {
            int nAll = 0;
            int nStarter = 0;
            for (int f = 1; f <= nPosts; ++f) {
                if ((f == nMovedFloor ? nToDay : day(f)) / 7 == w) {
                    ++nAll;
                    nStarter += f % 4 == 1 || f == nMovedFloor ? 1 : 0;
                }
            }
            weeks += std::to_string(nAll) + "/" + std::to_string(nStarter) + " ";
        }
        return weeks;
    };
    const auto kept = [&] {
        const std::optional<std::vector<ActivityWeek>> weeks =
            WeeksEnding(store.Activity(store.Find(kMoutai)->nId), WeekOfTime(time(55)), 8);
        std::string text = weeks ? "" : "none";
        for (const ActivityWeek& week : weeks.value_or(std::vector<ActivityWeek>{})) {
            text += std::to_string(week.nPosts) + "/" + std::to_string(week.nMarked) + " ";
        }
        return text;
    };
    Refresh(kMoutai);
    EXPECT_EQ(kept(), expected(0, 0));
    // Floor 2 moved to the last week and written by the starter.
    Write(kMoutai, 2, strStarter, time(50));
    Refresh(kMoutai);
    EXPECT_EQ(kept(), expected(2, 50));
    // A library made before the weeks were kept has them counted as it is opened.
    {
        Database old(dir.File("library.sqlite3"), false, 1000);
        old.Execute((std::string(test::kDropPeople) + "PRAGMA user_version=8").c_str());
    }
    ThreadStore reopened(dir.File("library.sqlite3"));
    EXPECT_EQ(WeeksEnding(reopened.Activity(reopened.Find(kMoutai)->nId), WeekOfTime(time(55)), 8)
                  .value()[0]
                  .nPosts,
              std::stoi(expected(2, 50)));
    // A time the board writes otherwise: no chart rather than a wrong one.
    Write(kMoutai, 3, strStarter, "昨天 10:00");
    Refresh(kMoutai);
    EXPECT_EQ(kept(), "none");
}

}  // namespace
}  // namespace vesk
