// The store's rules for posts that a page gives in unusual ways: without a floor, back after
// being deleted, edited while still unread.

#include "thread_store.h"

#include "code_page.h"
#include "long_thread.h"
#include "post_search.h"
#include "process.h"
#include "search_index_checks.h"
#include "sqlite_db.h"
#include "watch_notice.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vesk {
namespace {

// A page of posts by floor, each body "b<floor>" unless given.
ReadPage Page(int nPage, const std::vector<std::pair<int, std::string>>& posts) {
    ReadPage page{nPage, {}, {}};
    for (const auto& [nFloor, strBody] : posts) {
        page.posts.push_back({nFloor, "author", "2024-03-04 09:30:00", strBody});
    }
    return page;
}

TEST(ThreadStoreTest, PostsWithoutFloorsDeletedOnesBackAndEditsOfUnreadPosts) {
    test::TempDir dir;
    ThreadStore store(dir.File("library.sqlite3"));
    const ThreadKey key{"600000", "1"};
    const auto shown = [&] {
        std::string strShown;
        for (const StoredPost& post : store.Posts(store.Find(key)->nId)) {
            strShown += std::to_string(post.nFloor) + post.strBody + (post.bDeleted ? "d" : "") +
                        std::to_string(static_cast<int>(post.state)) + " ";
        }
        return strShown;
    };
    // The list's figures, as kept and as counted from the posts.
    const auto figures = [&] {
        const ThreadListing listed = store.List().at(0);
        const std::optional<StoredThread> thread = store.Find(key);
        int counted[3] = {};  // posts, unread, the starter's unread
        for (const StoredPost& post : store.Posts(thread->nId)) {
            const bool bUnread = post.state != PostState::kRead;
            counted[0] += !post.bDeleted;
            counted[1] += bUnread;
            counted[2] += bUnread && post.strAuthor == thread->strStarter;
        }
        std::string strFigures;
        for (const int n : {listed.nPosts, listed.nUnread, listed.nStarterUnread, -1, counted[0],
                            counted[1], counted[2]}) {
            strFigures += n < 0 ? " counted" : "/" + std::to_string(n);
        }
        return strFigures;
    };
    store.StorePage(key, Page(1, {{1, "a"}, {0, "x"}, {2, "b"}, {3, "c"}}), 1);
    store.StorePage(key, Page(2, {{0, "y"}, {4, "d"}}), 1);
    // Read again, a post without a floor is the same post, not a new one.
    EXPECT_EQ(
        store.StorePage(key, Page(1, {{1, "a"}, {0, "x"}, {2, "b"}, {3, "c"}}), 2).changes.nNew, 0);
    // Nothing is read until the reader has seen it, the first reading's posts neither.
    EXPECT_EQ(shown(), "1a1 0x1 2b1 3c1 0y1 4d1 ");
    store.MarkRead(store.Find(key)->nId);

    const PageChanges gone =
        store.StorePage(key, Page(1, {{1, "a"}, {3, "c"}, {5, "e"}}), 3).changes;
    EXPECT_EQ(gone.nDeleted, 2);  // floors 2 and 4, between 1 and 5
    EXPECT_EQ(gone.nNew, 1);
    store.StorePage(key, Page(1, {{1, "a"}, {2, "b"}, {5, "e2"}}), 4);
    // Back with its last text, floor 2 is current again without a mark.
    EXPECT_EQ(shown(), "1a0 0x0 2b0 3cd3 0y0 4dd3 5e21 ");
    EXPECT_EQ(figures(), "/5/3/0 counted/5/3/0");
    store.MarkRead(store.Find(key)->nId);
    EXPECT_EQ(shown(), "1a0 0x0 2b0 3cd0 0y0 4dd0 5e20 ");
    ASSERT_EQ(store.History(store.Find(key)->nId).size(), 4u);  // 2, 4 and 3 deleted; 5 edited

    // What the reader saw is read; the thread keeps where the reader stopped, and when.
    const std::int64_t nThread = store.Find(key)->nId;
    store.StorePage(key, Page(1, {{1, "a"}, {2, "b"}, {5, "e2"}, {6, "f"}, {7, "g"}}), 5);
    const std::int64_t nSixth = store.Posts(nThread)[7].nId;
    store.MarkSeen(nThread, std::vector<std::int64_t>{nSixth}, nSixth, 1700000000);
    EXPECT_EQ(shown(), "1a0 0x0 2b0 3cd0 0y0 4dd0 5e20 6f0 7g1 ");
    EXPECT_EQ(store.Find(key)->nReadPost, nSixth);
    EXPECT_EQ(store.List().at(0).nReadAt, 1700000000);
    EXPECT_EQ(figures(), "/7/1/0 counted/7/1/0");
    // A library made before the figures were kept has them counted when it is opened.
    Database old(dir.File("library.sqlite3"), false, 1000);
    DefineSearchFunctions(old);
    old.Execute((std::string(test::kDropSearchIndex) + test::kDropPeople +
                 "DROP INDEX post_author; DROP TRIGGER post_uncounted; DROP TRIGGER post_recounted;"
                 "DROP TRIGGER thread_starter; ALTER TABLE thread DROP COLUMN n_posts;"
                 "ALTER TABLE thread DROP COLUMN n_unread; ALTER TABLE thread DROP COLUMN "
                 "n_starter_unread; ALTER TABLE post DROP COLUMN whole; DROP TABLE picture_use;"
                 "DROP TABLE picture; PRAGMA user_version=4")
                    .c_str());
    EXPECT_EQ(ThreadStore(dir.File("library.sqlite3")).List().at(0).nUnread, 1);
}

// Bodies are kept whole. A library made before kept the board's cut: each post's body becomes
// whole at the next reading of its page without counting as an edit, unless it was edited.
TEST(ThreadStoreTest, BodiesAreKeptWholeAndCutOnesBecomeWholeWhenTheirPageIsReadAgain) {
    test::TempDir dir;
    const ThreadKey key{"600000", "3"};
    const auto page = [](const std::vector<std::string>& bodies) {
        std::string strText = "<div id=pinglun_fenye></div>";
        for (std::size_t i = 0; i < bodies.size(); ++i) {
            strText += "<div class=louceng>" + std::to_string(i + 1) + "</div><div class=huifu>" +
                       bodies[i] + "</div><div class=cl></div>";
        }
        return strText + "function arrJoin()";
    };
    const auto read = [](const std::string& strText) {
        ReadPage cut{1, {}, ThreadHeading{"t", "b"}};
        PostCutter cutter(strText);
        for (PostFields post; cutter.Next(post);) {
            cut.posts.push_back(post);
        }
        return cut;
    };
    const auto bodies = [&](ThreadStore& store) {
        std::string strBodies;
        for (const StoredPost& post : store.Posts(store.Find(key)->nId)) {
            strBodies += post.strBody + "|";
        }
        return strBodies;
    };
    const std::string strFirst =
        page({"a<b>bold</b> after", "<div>quote</div>reply", "<P>one</P>", "<b>x</b>y"});
    {
        ThreadStore store(dir.File("library.sqlite3"));
        store.StorePage(key, read(strFirst), 1);
        EXPECT_EQ(bodies(store), "a<b>bold</b> after|<div>quote</div>reply|<P>one</P>|<b>x</b>y|");
    }
    // As the library before kept them: as the table cuts them.
    {
        Database old(dir.File("library.sqlite3"), false, 1000);
        DefineSearchFunctions(old);
        for (const PostFields& post : read(strFirst).posts) {
            old.Prepare("UPDATE post SET whole = 0, body = ? WHERE floor = ?")
                .Bind(1, post.body)
                .Bind(2, post.nFloor)
                .Run();
        }
    }
    ThreadStore store(dir.File("library.sqlite3"));
    const std::string strLater =
        page({"a<b>bold</b> after", "<div>quote</div>reply", "<P>one</P>", "<b>z</b>y"});
    EXPECT_EQ(store.StorePage(key, read(strLater), 2).changes.nEdited, 1);
    EXPECT_EQ(bodies(store), "a<b>bold</b> after|<div>quote</div>reply|<P>one</P>|<b>z</b>y|");
    const std::vector<ThreadChange> history = store.History(store.Find(key)->nId);
    ASSERT_EQ(history.size(), 1U);
    EXPECT_EQ(history[0].strBody, "<b>x");
}

// A thread's outline in each selection: floors in order, the starter's marked; names are matched
// byte for byte anywhere in the author, an empty name matches everybody and none nobody.
TEST(ThreadStoreTest, OutlinesSelectByStarterAndByNames) {
    test::TempDir dir;
    ThreadStore store(dir.File("library.sqlite3"));
    const ThreadKey key{"600000", "2"};
    test::KeepThreadPages(store, key, 1, 1);
    const StoredThread thread = *store.Find(key);
    using Mode = PostFilter::Mode;
    // The first floors (at most eight) and how many there are.
    const struct {
        PostFilter selection;
        std::string strFirst;
        std::size_t nCount;
    } kCases[] = {
        {{Mode::kAll, ""}, "1* 2 3 4 5 6 7 8*", 50},
        {{Mode::kStarter, ""}, "1* 8* 15* 22* 29* 36* 43* 50*", 8},
        {{Mode::kNames, "or3,author5"}, "4 6 11 13 18 20 25 27", 14},
        {{Mode::kNames, "\xFF,"}, "1* 2 3 4 5 6 7 8*", 50},
        {{Mode::kNone, ""}, "", 0},
        // A name is matched as typed: a blank before it is part of it.
        {{Mode::kNames, " author5"}, "", 0},
    };
    for (const auto& c : kCases) {
        const std::vector<OutlinePost> outline = store.Outline(thread, c.selection);
        std::string strFirst;
        for (std::size_t i = 0; i < outline.size() && i < 8; ++i) {
            strFirst += (i == 0 ? "" : " ") + std::to_string(outline[i].nFloor) +
                        (outline[i].bStarter ? "*" : "");
        }
        EXPECT_EQ(strFirst, c.strFirst);
        EXPECT_EQ(outline.size(), c.nCount) << c.strFirst;
    }
}

TEST(WatchNoticeTest, TitlesLoseTheBoardsSuffixOnly) {
    const struct {
        std::string strTitle, strExpected;
    } cases[] = {
        {"茅台怎么看_600519股吧_vesk股吧", "茅台怎么看"},
        {"茅台怎么看_贵州茅台吧_vesk股吧", "茅台怎么看"},
        {"A_B股对比_600519股吧", "A_B股对比"},  // a "_" of the title itself stays
        {"_600519股吧", "_600519股吧"},         // nothing would be left
        {"没有后缀的标题", "没有后缀的标题"},
    };
    for (const auto& c : cases) {
        const std::string strTitle = Utf8ToGbk(c.strTitle).value();
        EXPECT_EQ(
            GbkToUtf8(ShortTitle(strTitle, "600519", Utf8ToGbk("贵州茅台吧").value())).value(),
            c.strExpected)
            << c.strTitle;
    }
    // Plain text as a reader sees it: references read once, tags gone without a space, the words
    // a page of ours shows.
    const WatchNotice notice = MakeWatchNotice(
        {{"600519", "1"},
         Utf8ToGbk("茅台&amp;五粮液 &lt;b&gt;重仓<font color=red>!</font>").value(),
         1,
         1,
         "b"},
        Utf8ToGbk("<style>p{}</style><script>x()</script>好<img src=a.png><b>消息</b>了&#160;茅台")
            .value());
    EXPECT_EQ(notice.strSummary, "「茅台&五粮液 <b>重仓!」楼主发了 1 条新帖");
    EXPECT_EQ(notice.strBody, "好[图片]消息了 茅台");
    // A GBK character whose second byte is '_' (0x81 0x5F) is not the mark.
    const std::string strOdd = std::string("\x81\x5F") + "600519";
    EXPECT_EQ(ShortTitle(strOdd, "600519", ""), strOdd);
}

}  // namespace
}  // namespace vesk
