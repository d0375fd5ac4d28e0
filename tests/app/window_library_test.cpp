// The window's side of the library: answers that carry their error, and a write by another
// program that makes the window's writes busy at once while its reads go on.

#include "window_library.h"

#include "go_news.h"
#include "index_building.h"
#include "library_search.h"
#include "long_thread.h"
#include "process.h"
#include "search_index_checks.h"

#include <gtest/gtest.h>

#include <QTest>
#include <QToolButton>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sqlite3.h>

namespace vesk {
namespace {

TEST(WindowLibraryTest, AnotherProgramsWriteIsBusyAndABrokenLibraryIsToldThenMended) {
    test::TempDir dir;
    const std::string strFile = dir.File("library.sqlite3");
    const ThreadKey key{"600519", "1"};
    {
        ThreadStore store(strFile);
        ReadPage page{1, {{1, "starter", "2024-01-01", "body"}}, ThreadHeading{"title", "board"}};
        store.StorePage(key, page, 1);
    }
    WindowLibrary library(strFile);
    ASSERT_TRUE(library.Find(key).value.has_value());

    // Another program in the midst of a write.
    sqlite3* pOther = nullptr;
    ASSERT_EQ(sqlite3_open(strFile.c_str(), &pOther), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(pOther, "BEGIN IMMEDIATE; UPDATE thread SET board_name = x'6e6577'",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    const auto start = std::chrono::steady_clock::now();
    const LibraryAnswer<bool> watched = library.SetWatched(key, true);
    EXPECT_TRUE(watched.bBusy);
    EXPECT_TRUE(watched.error.contains(QStringLiteral("正忙")));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    const LibraryAnswer<std::vector<ThreadListing>> listed = library.List();
    ASSERT_TRUE(listed.Ok());
    ASSERT_EQ(listed.value.size(), 1u);
    EXPECT_EQ(listed.value[0].strBoardName, "board");
    sqlite3_exec(pOther, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(pOther);
    EXPECT_TRUE(library.SetWatched(key, true).value);
    EXPECT_TRUE(library.Find(key).value->bWatched);

    // A file that is not a library, then a library again.
    WindowLibrary broken(dir.File("note.sqlite3"));
    std::ofstream(dir.File("note.sqlite3")) << "not a library at all, but a note of some length";
    const LibraryAnswer<std::optional<KeptThread>> none = broken.Load(key);
    EXPECT_FALSE(none.Ok());
    EXPECT_FALSE(none.bBusy);
    EXPECT_EQ(broken.Error(), none.error);
    std::filesystem::remove(dir.File("note.sqlite3"));
    EXPECT_TRUE(broken.List().Ok());
    EXPECT_TRUE(broken.Error().isEmpty());
}

// F5 updates a kept thread and reads another again, neither while the library cannot tell; a go
// of a thread kept before says so at once, with its posts not read, and offers it as kept; at the
// page limit another is offered whole.
TEST(WindowLibraryTest, TheGosNewsAsksTheLibraryAndTellsWhatItCannotSay) {
    test::TempDir dir;
    const ThreadKey key{"600519", "1"};
    const std::string strText = "page";
    const std::vector<PostFields> posts = {{1, "starter", "2024-01-01", "body"}};
    for (const bool bKeptBefore : {false, true}) {
        WindowLibrary library(dir.File(bKeptBefore ? "kept.sqlite3" : "new.sqlite3"));
        MessageBar messages;
        WindowBar bar(messages);
        QString done;
        GoNews news(
            library, bar,
            {[&] { done = QStringLiteral("again"); }, [&] { done = QStringLiteral("whole"); },
             [] {}, [&] { done = QStringLiteral("kept"); }});
        for (int nGo = 0; nGo < (bKeptBefore ? 2 : 1); ++nGo) {
            FetchSettings settings;
            news.Start(key, settings);
            EXPECT_EQ(messages.isVisible() ? messages.Text() : QString(),
                      nGo == 1 ? QStringLiteral("本帖已在帖子库中，1 条未读") : QString());
            settings.keepPage(LoopPage{1, strText, posts});
            news.Finish();
        }
        ReadingEnd end;
        end.kind = ReadingEnd::Kind::kPageLimit;
        news.Ended(end);
        news.Tell();
        EXPECT_EQ(messages.ActionText(),
                  bKeptBefore ? QStringLiteral("打开帖子库中的本帖") : QStringLiteral("读取全帖"));
        news.Act();
        EXPECT_EQ(done, bKeptBefore ? QStringLiteral("kept") : QStringLiteral("whole"));
        news.Refresh(key, true);
        EXPECT_EQ(done, QStringLiteral("whole"));
        news.Refresh({"600519", "2"}, true);
        EXPECT_EQ(done, QStringLiteral("again"));
    }
    std::ofstream(dir.File("note.sqlite3")) << "not a library at all, but a note of some length";
    WindowLibrary broken(dir.File("note.sqlite3"));
    MessageBar messages;
    WindowBar bar(messages);
    QString done;
    GoNews news(broken, bar,
                {[&] { done = QStringLiteral("again"); }, [&] { done = QStringLiteral("whole"); },
                 [] {}, [] {}});
    news.Refresh(key, true);
    EXPECT_TRUE(done.isEmpty());
    EXPECT_EQ(messages.Text(), broken.Error());
}

// An older library's index is made in the background, its progress told in the bar until the
// reader closes it; meanwhile searches read the posts and say so, and find the same. A building
// that goes stops within a step, and the next goes on from there.
TEST(WindowLibraryTest, AnOlderLibrarysIndexIsMadeInTheBackgroundWhileSearchesReadThePosts) {
    test::TempDir dir;
    const std::string strFile = dir.File("library.sqlite3");
    {
        ThreadStore store(strFile);
        test::KeepLongThread(store, {"600519", "1"}, 100);  // 5,000 posts
        Database db(strFile, false, 1000);
        DefineSearchFunctions(db);
        db.Execute("BEGIN");
        CreateSearchIndex(db);
        db.Execute("COMMIT");
    }
    QObject context;
    std::vector<LibrarySearch::Answer> answers;
    LibrarySearch search(strFile, &context,
                         [&](LibrarySearch::Answer answer) { answers.push_back(answer); });
    SearchQuery query;
    query.strText = "post 4999";
    search.Ask(query);
    ASSERT_TRUE(QTest::qWaitFor([&] { return answers.size() == 1; }));
    EXPECT_TRUE(answers[0].bIndexing);
    std::vector<std::pair<std::int64_t, std::int64_t>> told;
    bool bDone = false;
    const auto tell = [&](std::int64_t nDone, std::int64_t nTotal) {
        told.emplace_back(nDone, nTotal);
    };
    {
        IndexBuilding building(strFile, &context, tell, [&] { bDone = true; });
        ASSERT_TRUE(QTest::qWaitFor([&] { return !told.empty(); }));
    }
    std::int64_t nStopped = 0;
    {
        Database db(strFile, false, 1000);
        nStopped = ReadSearchIndex(db, true).nDone;
    }
    EXPECT_LT(nStopped, 5000);
    EXPECT_FALSE(bDone);
    told.clear();
    {
        IndexBuilding building(
            strFile, &context,
            [&](std::int64_t nDone, std::int64_t nTotal) { told.emplace_back(nDone, nTotal); },
            [&] { bDone = true; });
        ASSERT_TRUE(QTest::qWaitFor([&] { return bDone; }));
        EXPECT_FALSE(building.IsRunning());
    }
    // Steps of 500 posts, each told.
    ASSERT_FALSE(told.empty());
    EXPECT_EQ(told.front(), std::make_pair(nStopped + 500, std::int64_t{5000}));
    EXPECT_EQ(told.back(), std::make_pair(std::int64_t{5000}, std::int64_t{5000}));

    EXPECT_EQ(test::IndexDifferences(strFile), 0);
    search.Ask(query);
    ASSERT_TRUE(QTest::qWaitFor([&] { return answers.size() == 2; }));
    EXPECT_FALSE(answers[1].bIndexing);
    ASSERT_EQ(answers[0].hits.size(), 1U);
    EXPECT_EQ(answers[1].hits.size(), 1U);

    QWidget window;
    auto* pMessages = new MessageBar(&window);
    WindowBar bar(*pMessages);
    window.show();
    for (const bool bByReader : {false, true}) {
        bar.Show(WindowBar::Cause::kIndex, MessageBar::Level::kInformation, QStringLiteral("索引"));
        if (bByReader) {
            pMessages->findChild<QToolButton*>()->click();
        } else {
            bar.Hide(WindowBar::Cause::kIndex);
        }
        EXPECT_EQ(bar.ClosedByReader(WindowBar::Cause::kIndex), bByReader);
    }
}

}  // namespace
}  // namespace vesk
