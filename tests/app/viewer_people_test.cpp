// People in the window: a name's menu on a kept thread, following from it, the home page's count
// of their posts not read as the board holds them, their page newest first and read as it stands
// on screen, and 只看此人.

#include "people_board.h"
#include "viewer_harness.h"

#include <QMenu>

namespace vesk {
namespace {

const std::string kName = "观潮者";

class ViewerPeopleTest : public ViewerLibraryTest {
protected:
    // The person posts in three threads, each kept.
    void SetUp() override {
        ViewerLibraryTest::SetUp();
        const auto write = [&](const char* pszThread, std::vector<std::pair<int, const char*>> at) {
            forum.ChangeThread(pszThread, [&](demo::SampleThread& thread) {
                for (const auto& [nFloor, pszTime] : at) {
                    test::Poster(thread, nFloor, kName, pszTime);
                }
            });
        };
        write("1000001", {{3, "2024-05-06 10:00"}, {7, "2024-05-20 09:00"}});
        write("1000002", {{2, "2024-05-13 08:00"}});
        write("1000003", {{5, "2024-05-27 12:00"}});
        for (const char* pszThread : {"1000001", "1000002", "1000003"}) {
            const std::string code = pszThread[6] == '1'   ? "600519"
                                     : pszThread[6] == '2' ? "601318"
                                                           : "300750";
            KeepThread({code, pszThread});
        }
    }
    // The person's posts on the board, in the threads kept.
    int OnBoard() {
        int nPosts = 0;
        for (const char* pszThread : {"1000001", "1000002", "1000003"}) {
            forum.ChangeThread(pszThread, [&](demo::SampleThread& thread) {
                nPosts += test::PostsBy(thread, kName);
            });
        }
        return nPosts;
    }
    static int Unread() {
        const std::vector<FollowedPerson> people = ThreadStore(DefaultLibraryFile()).Following();
        return people.empty() ? -1 : people[0].nUnread;
    }
    // Clicks the name on the page shown and chooses the menu's item of this text, from within
    // the menu's own loop; the menu's items.
    static QStringList Choose(Viewer& viewer, const QString& item) {
        Soon([&] { return Access(viewer.dialog).m_browser->IsLoaded(); });
        QStringList items;
        QTimer timer;
        timer.setInterval(20);
        QObject::connect(&timer, &QTimer::timeout, [&] {
            auto* pMenu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (pMenu == nullptr || !items.isEmpty()) {
                return;
            }
            for (QAction* pAction : pMenu->actions()) {
                items.push_back(pAction->text());
            }
            for (QAction* pAction : pMenu->actions()) {
                if (pAction->text() == item) {
                    QTest::mouseClick(pMenu, Qt::LeftButton, {},
                                      pMenu->actionGeometry(pAction).center());
                    return;
                }
            }
            pMenu->close();
        });
        timer.start();
        const QString link = QString::fromStdString(PersonLink(Utf8ToGbk(kName).value()));
        // The first of them, as a reader's click on it.
        viewer.Comes(QStringLiteral("(function(){var a=document.querySelector('a[href=\"%1\"]');"
                                    "if(a)a.click();return !!a;})()")
                         .arg(link),
                     QStringLiteral("true"));
        Soon([&] { return !items.isEmpty() && QApplication::activePopupWidget() == nullptr; });
        return items;
    }
};

TEST_F(ViewerPeopleTest, ANameFollowedIsCountedListedNewestFirstAndReadOnScreen) {
    Viewer viewer(forum);
    ViewerDialog& d = viewer.dialog;
    ASSERT_TRUE(d.OpenThreadAddress(Address("/look,600519,1000001.html")));
    ASSERT_TRUE(viewer.Showing(QStringLiteral("post.htm")));
    EXPECT_EQ(Choose(viewer, QStringLiteral("关注此人")),
              (QStringList{QStringLiteral("只看此人"), QStringLiteral("此人的全部帖子"),
                           QStringLiteral("关注此人")}));
    ASSERT_TRUE(Soon([] { return Unread() >= 0; }));
    EXPECT_EQ(Unread(), OnBoard());

    // Two more posts in another thread, brought by that thread's refresh.
    int nLast = 0;
    forum.ChangeThread("1000002", [&](demo::SampleThread& thread) {
        demo::AppendSamplePosts(thread, 3, false);
        nLast = test::LastFloor(thread);
        test::Poster(thread, nLast - 2, kName, "2024-06-03 09:00");
        test::Poster(thread, nLast, kName, "2024-06-03 10:00");
    });
    Access(d).ReadWholeThread({"601318", "1000002"});
    ASSERT_TRUE(viewer.Done());
    EXPECT_EQ(Unread(), OnBoard());
    EXPECT_EQ(OnBoard(), 6);

    // The home page names them with their posts not read; their page lists exactly their posts,
    // newest first by the board's time, each with its thread.
    d.resize(1000, 1600);
    Access(d).Room().ShowHome();
    ASSERT_TRUE(viewer.Showing());
    EXPECT_TRUE(viewer.Home().contains(QStringLiteral("观潮者</a>")));
    EXPECT_TRUE(viewer.Home().contains(QStringLiteral("<td class=\"n new\">6</td>")));
    ASSERT_TRUE(viewer.ClickLink(QUrl::fromLocalFile(Access(d).m_homePath).toString() +
                                 QStringLiteral("?do=person")));
    ASSERT_TRUE(viewer.Showing(QFileInfo(Access(d).m_personPath).fileName()));
    const QString rows = QStringLiteral(
        "[...document.querySelectorAll('tr[id^=p]')].map(r=>r.textContent.match(/(\\d+)楼/)[1]+"
        "r.querySelector('a.vk-in').textContent.slice(1,3)).join(' ')");
    EXPECT_TRUE(viewer.Comes(
        rows, QStringLiteral("%1平安 %2平安 5宁德 7茅台 2平安 3茅台").arg(nLast).arg(nLast - 2)))
        << Evaluate(viewer.View(), rows).toString().toStdString();
    // They stood on screen, all of them in a window this tall: read.
    EXPECT_TRUE(Soon([] { return Unread() == 0; })) << Unread();
    // A post opened from their page is shown in its thread; back is their page again.
    ASSERT_TRUE(viewer.Comes(QStringLiteral("(function(){var a=[...document.querySelectorAll("
                                            "'a.vk-in')].pop();if(a)a.click();return !!a;})()"),
                             QStringLiteral("true")));
    ASSERT_TRUE(viewer.Showing(QStringLiteral("post.htm")));
    EXPECT_TRUE(viewer.Edit(res::IDC_URL)->text().endsWith("look,600519,1000001.html"));
    Access(d).Room().MovePlace(-1);
    EXPECT_TRUE(viewer.Showing(QFileInfo(Access(d).m_personPath).fileName()));

    // 只看此人 on a thread: the name filter with that name.
    ASSERT_TRUE(d.OpenThreadAddress(Address("/look,600519,1000001.html")));
    ASSERT_TRUE(viewer.Showing(QStringLiteral("post.htm")));
    ASSERT_EQ(Choose(viewer, QStringLiteral("只看此人")).size(), 3);
    EXPECT_TRUE(Soon([&] { return viewer.Radio(res::IDC_PARTIAL)->isChecked(); }));
    EXPECT_EQ(viewer.Edit(res::IDC_NAMES)->text(), QString::fromStdString(kName));
    EXPECT_TRUE(viewer.Comes(QStringLiteral("document.querySelectorAll('tr[id^=p]').length"),
                             QStringLiteral("2")));
}

}  // namespace
}  // namespace vesk
