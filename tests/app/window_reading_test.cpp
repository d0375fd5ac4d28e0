// The reading room through its own interface, without the window: a kept thread opened in the
// filter the window chose, a search's hit the filter hides shown among all posts at the window's
// word, and an address the library cannot answer for not taken for one it does not keep.

#include "window_reading.h"

#include "kept_reading.h"
#include "place_bar.h"
#include "process.h"
#include "search_bar.h"
#include "shown_page.h"
#include "web_browser.h"
#include "window_search.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QTest>
#include <fstream>

namespace vesk {
namespace {

struct Room {
    explicit Room(const std::string& strLibrary)
        : library(strLibrary),
          pBrowser(new CWebBrowser2(&window)),
          pPlace(new PlaceBar(&window)),
          pMessages(new MessageBar(&window)),
          pSearchBar(new SearchBar(&window)),
          bar(*pMessages),
          shown(folder.path()),
          search(strLibrary, *pSearchBar, shown, *pBrowser),
          reading({library, *pBrowser, shown, *pPlace, bar, search}, Callbacks()) {}
    WindowReading::Window Callbacks() {
        WindowReading::Window callbacks;
        callbacks.isFetching = [] { return false; };
        callbacks.adopt = [this](const StoredThread& thread) {
            adopted = thread.strTitle;
            return filter;
        };
        callbacks.showAll = [this] {
            ++nShowAll;
            return filter = PostFilter{};
        };
        callbacks.reading = [](bool) {};
        callbacks.progress = [](const QString&) {};
        callbacks.refreshSettings = [] { return RefreshSettings(); };
        callbacks.threadClicked = [](const QString&) {};
        return callbacks;
    }
    bool Placed(const QString& text) const {
        return QTest::qWaitFor([&] { return pPlace->PlaceText() == text; }, 20000);
    }
    QTemporaryDir folder;
    WindowLibrary library;
    QWidget window;
    CWebBrowser2* pBrowser;
    PlaceBar* pPlace;
    MessageBar* pMessages;
    SearchBar* pSearchBar;
    WindowBar bar;
    ShownPage shown;
    WindowSearch search;
    PostFilter filter{PostFilter::Mode::kStarter, ""};
    std::string adopted;
    int nShowAll = 0;
    WindowReading reading;
};

TEST(WindowReadingTest, AKeptThreadOpensInTheWindowsFilterAndAHiddenHitAmongAllPosts) {
    test::TempDir dir;
    const ThreadKey key{"600519", "1"};
    std::int64_t nReply = 0;
    {
        ThreadStore store(dir.File("library.sqlite3"));
        ReadPage page{1, {}, ThreadHeading{"title", "board"}};
        for (const char* pszAuthor : {"starter", "reply", "starter"}) {
            page.posts.push_back({static_cast<std::int32_t>(page.posts.size() + 1), pszAuthor,
                                  "2024-01-01", "body"});
        }
        store.StorePage(key, page, 1);
        nReply = store.Outline(*store.Find(key), {PostFilter::Mode::kNames, "reply"})[0].nId;
    }
    Room room(dir.File("library.sqlite3"));
    room.window.show();
    ASSERT_TRUE(room.reading.Open(key));
    EXPECT_EQ(room.adopted, "title");
    EXPECT_TRUE(room.Placed(QStringLiteral("第 1 / 2 帖")));
    EXPECT_EQ(room.nShowAll, 0);
    ASSERT_TRUE(room.reading.Open(key, false, nReply));
    EXPECT_EQ(room.nShowAll, 1);
    EXPECT_TRUE(room.Placed(QStringLiteral("第 2 / 3 帖")));

    // Not kept: the bar says so. A library that cannot answer: the bar does not say that.
    EXPECT_FALSE(room.reading.OpenAddress(QStringLiteral("http://f.cn/look,600519,2.html"), false));
    EXPECT_EQ(room.pMessages->Text(), QStringLiteral("帖子库里没有这个帖子："));
    room.pMessages->hide();
    std::ofstream(dir.File("note.sqlite3")) << "not a library at all, but a note of some length";
    Room broken(dir.File("note.sqlite3"));
    EXPECT_FALSE(
        broken.reading.OpenAddress(QStringLiteral("http://f.cn/look,600519,1.html"), false));
    EXPECT_TRUE(broken.pMessages->isHidden());
    EXPECT_FALSE(broken.library.Error().isEmpty());
}

}  // namespace
}  // namespace vesk
