// Every refresh reads again the pages read longest ago: an edit or a deletion anywhere in a
// thread is found within a quarter of its pages' count of refreshes, and nothing else is taken for
// a change. Boards that move a page elsewhere, order floors otherwise, shrink and grow again or
// lose the first post lose the library nothing.

#include "demo_forum.h"
#include "process.h"
#include "thread_reader.h"

#include <gtest/gtest.h>

#include <chrono>
#include <numeric>
#include <set>
#include <string>

namespace vesk {
namespace {

// The pages up to nLast a refresh asked for since the last call: requests cancelled past the
// thread's end may reach the board late.
std::set<int> PagesAsked(demo::DemoForum& forum, int nLast) {
    std::set<int> pages;
    for (const std::string& path : forum.RequestedPaths()) {
        const std::size_t nUnder = path.rfind('_');
        const int nPage = nUnder == std::string::npos ? 1 : std::stoi(path.substr(nUnder + 1));
        if (nPage <= nLast) {
            pages.insert(nPage);
        }
    }
    forum.ClearRequests();
    return pages;
}

// A library and a session for a refresh of the demo forum, pictures left for later.
struct Refresher {
    explicit Refresher(const demo::DemoForum& forum) : store(dir.File("library.sqlite3")) {
        EXPECT_TRUE(fetcher.OpenSession());
        settings.strBaseAddress = forum.BaseAddress();
        settings.bPictures = false;
    }
    RefreshOutcome operator()(const ThreadKey& key) {
        return RefreshThread(store, fetcher, key, settings);
    }
    int Kept(const ThreadKey& key) { return store.CountPosts(store.Find(key)->nId); }
    test::TempDir dir;
    ThreadStore store;
    PageFetcher fetcher;
    RefreshSettings settings;
};

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
        Refresher refresher(forum);
        ThreadStore& store = refresher.store;
        const auto refresh = [&] { return refresher(c.key); };
        ASSERT_EQ(refresh().nLastPage, c.nPages);
        const std::int64_t nThread = store.Find(c.key)->nId;
        forum.ClearRequests();

        // Unchanged: page 1, the last, the one after it, and the four pages read longest ago.
        const RefreshOutcome unchanged = refresh();
        EXPECT_EQ(PagesAsked(forum, c.nPages + 1),
                  (std::set<int>{1, 2, 3, 4, 5, c.nPages, c.nPages + 1}));
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
            EXPECT_LE(PagesAsked(forum, c.nPages + 1).size(), 3U + 4U + 10U);
            found += outcome.changes;
        }
        EXPECT_EQ(found.nNew, 0);
        EXPECT_EQ(found.nFirstChangedFloor, std::min(c.nEdited, c.nDeleted));
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

TEST(ThreadCheckingTest, PostsTheBoardStillShowsAreKeptWhereverItPutsThem) {
    demo::DemoForum forum;
    ASSERT_TRUE(forum.Start());
    Refresher refresh(forum);
    // Page 2 moved to another address.
    const ThreadKey moved{"601318", "1000002"};
    forum.SetPage("/moved/2.html", demo::ToGb2312(demo::RenderThreadPage(forum.Threads()[1], 2)));
    forum.SetRedirect("/look,601318,1000002_2.html", "/moved/2.html");
    EXPECT_EQ(refresh(moved).nLastPage, 12);
    EXPECT_EQ(refresh.Kept(moved), 600);

    // Floors 1, 2, 10 and 11 on page 1, 3 to 8 on page 2; then the first post deleted, and the
    // others move up.
    const ThreadKey mixed{"600519", "1000001"};
    forum.ChangeThread(mixed.strThreadId, [](demo::SampleThread& thread) {
        std::vector<demo::SamplePost> posts = thread.pages[0];
        thread.pages = {{posts[0], posts[1], posts[9], posts[10]},
                        {posts.begin() + 2, posts.begin() + 8}};
    });
    refresh(mixed);
    EXPECT_EQ(refresh.Kept(mixed), 10);
    forum.ChangeThread(mixed.strThreadId,
                       [](demo::SampleThread& thread) { demo::DeleteSamplePosts(thread, {1}); });
    EXPECT_EQ(refresh(mixed).changes.nDeleted, 1);
    EXPECT_EQ(refresh.Kept(mixed), 9);

    // 40 pages shrink to 15, then grow by two pages of new floors: found in three refreshes.
    const ThreadKey shrunk{"300750", "1000003"};
    refresh(shrunk);
    std::vector<int> gone(1250);
    std::iota(gone.begin(), gone.end(), 751);
    forum.ChangeThread(shrunk.strThreadId,
                       [&](demo::SampleThread& thread) { demo::DeleteSamplePosts(thread, gone); });
    PageChanges found = refresh(shrunk).changes;
    forum.ChangeThread(shrunk.strThreadId, [](demo::SampleThread& thread) {
        demo::AppendSamplePosts(thread, 100, false);
        for (std::size_t nPage : {thread.pages.size() - 2, thread.pages.size() - 1}) {
            for (demo::SamplePost& post : thread.pages[nPage]) {
                post.nFloor += 1250;  // a board never gives a floor's number again
            }
        }
    });
    for (int i = 0; i < 2; ++i) {
        found += refresh(shrunk).changes;
    }
    EXPECT_EQ(found.nNew, 100);
    EXPECT_EQ(found.nFirstNewFloor, 2001);
    EXPECT_EQ(found.nDeleted, 1250);
    EXPECT_EQ(refresh.Kept(shrunk), 850);
}

}  // namespace
}  // namespace vesk
