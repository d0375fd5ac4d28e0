// Every refresh reads again the pages read longest ago: an edit or a deletion anywhere in a
// thread is found within a quarter of its pages' count of refreshes, and nothing else is taken for
// a change.

#include "demo_forum.h"
#include "process.h"
#include "thread_reader.h"

#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <string>

namespace vesk {
namespace {

// The pages a refresh asked for since the last call, pictures left out.
std::set<int> PagesAsked(demo::DemoForum& forum) {
    std::set<int> pages;
    for (const std::string& path : forum.RequestedPaths()) {
        const std::size_t nUnder = path.rfind('_');
        pages.insert(nUnder == std::string::npos ? 1 : std::stoi(path.substr(nUnder + 1)));
    }
    forum.ClearRequests();
    return pages;
}

TEST(ThreadCheckingTest, InnerEditsAndDeletionsAreFoundWithinAQuarterOfThePagesRefreshes) {
    struct Case {
        ThreadKey key;
        int nPages;
        int nEdited;
        int nDeleted;  // the first floor of its page: every later page begins a floor later
    };
    const Case cases[] = {{{"601318", "1000002"}, 12, 480, 251},
                          {{"600519", "1000005"}, 120, 3000, 5851}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key.strThreadId);
        demo::DemoForum forum;
        ASSERT_TRUE(forum.Start());
        test::TempDir dir;
        ThreadStore store(dir.File("library.sqlite3"));
        PageFetcher fetcher;
        ASSERT_TRUE(fetcher.OpenSession());
        RefreshSettings settings;
        settings.strBaseAddress = forum.BaseAddress();
        settings.bPictures = false;
        const auto refresh = [&] { return RefreshThread(store, fetcher, c.key, settings); };
        ASSERT_EQ(refresh().nLastPage, c.nPages);
        const std::int64_t nThread = store.Find(c.key)->nId;
        forum.ClearRequests();

        // Unchanged: page 1, the last, the one after it, and the four pages read longest ago.
        const RefreshOutcome unchanged = refresh();
        EXPECT_EQ(PagesAsked(forum), (std::set<int>{1, 2, 3, 4, 5, c.nPages, c.nPages + 1}));
        EXPECT_EQ(unchanged.changes.nNew + unchanged.changes.nEdited + unchanged.changes.nDeleted,
                  0);

        const auto changedAt = std::chrono::system_clock::now();
        forum.ChangeThread(c.key.strThreadId, [&](demo::SampleThread& thread) {
            demo::EditSamplePost(thread, c.nEdited, "改过的内容");
            demo::DeleteSamplePosts(thread, {c.nDeleted});
        });
        PageChanges found;
        for (int i = 0; i < (c.nPages + 3) / 4; ++i) {
            const RefreshOutcome outcome = refresh();
            EXPECT_EQ(outcome.end.kind, ReadingEnd::Kind::kEndOfThread);
            EXPECT_LE(PagesAsked(forum).size(), 3U + 4U + 10U);
            found += outcome.changes;
        }
        EXPECT_EQ(found.nNew, 0);
        EXPECT_EQ(found.nEdited, 1);
        EXPECT_EQ(found.nDeleted, 1);
        for (const StoredPost& post : store.Posts(nThread)) {
            EXPECT_EQ(post.bDeleted, post.nFloor == c.nDeleted) << post.nFloor;
            if (post.nFloor == c.nEdited) {
                EXPECT_NE(post.strBody.find("\xB8\xC4\xB9\xFD"), std::string::npos);  // 改过
            }
        }
        EXPECT_GE(store.CheckedAt(nThread), std::chrono::system_clock::to_time_t(changedAt) - 1);
        EXPECT_EQ(store.List().front().nCheckedAt, store.CheckedAt(nThread));
    }
}

}  // namespace
}  // namespace vesk
