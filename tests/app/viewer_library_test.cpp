// The library in the window: every go keeps what it read, the home page lists it, a kept thread
// opens whole and offline, actions act only from the home page, a broken library stops nothing.

#include "long_thread.h"
#include "search_bar.h"
#include "sqlite_db.h"
#include "viewer_hand_over.h"
#include "viewer_harness.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QInputMethodEvent>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QToolButton>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineView>
#include <filesystem>
#include <fstream>

namespace vesk {
namespace {

using namespace std::chrono_literals;

// The start of a home page link's address.
QString HomeLink(const ViewerDialog& d, const char* pszAction, const char* pszBoard) {
    return QUrl::fromLocalFile(Access(d).m_homePath).toString() + QStringLiteral("?do=") +
           QLatin1String(pszAction) + QStringLiteral("&board=") + QLatin1String(pszBoard);
}

// Two gos are two kept threads on the home page, last read first; forgetting one there leaves one;
// the other opens whole with the forum gone, and its filters compose without a request.
TEST_F(ViewerLibraryTest, GosAreKeptListedForgottenAndOpenedOffline) {
    // A title with markup is shown as text on the home page.
    forum.ChangeThread("1000001", [](demo::SampleThread& thread) { thread.strTitle += "<i>x"; });
    Viewer viewer(forum);
    ViewerDialog& d = viewer.dialog;
    ASSERT_TRUE(viewer.Fetch(Thread("/look,600519,1000001.html")));
    ASSERT_TRUE(viewer.Fetch(Thread("/look,601318,1000002_3.html")));
    QTest::keyClick(&d, Qt::Key_Home, Qt::AltModifier);
    ASSERT_TRUE(viewer.Showing());
    const QString home = viewer.Home();
    EXPECT_LT(home.indexOf(QStringLiteral("平安的保险业务")),
              home.indexOf(QStringLiteral("茅台一季度")));
    EXPECT_NE(home.indexOf(QStringLiteral(">600<")), -1);
    // A go reads nothing for the reader: all 123 posts of the thread are new.
    EXPECT_NE(home.indexOf(QStringLiteral("<td class=\"n new\">123</td>")), -1);
    // A title's markup goes, its words stay.
    EXPECT_TRUE(home.contains(QRegularExpression(QStringLiteral("茅台一季度[^<]*x"))));
    EXPECT_FALSE(home.contains(QStringLiteral("<i>")) || home.contains(QStringLiteral("&lt;i")));
    // Alt+Left and Alt+Right go back and forward through the threads shown and the home page.
    const auto move = [&](Qt::Key key, const char* pszShown) {
        QTest::keyClick(&d, key, Qt::AltModifier);
        return Soon([&] { return viewer.Edit(res::IDC_URL)->text().endsWith(pszShown); });
    };
    EXPECT_TRUE(move(Qt::Key_Left, "look,601318,1000002.html"));
    EXPECT_TRUE(move(Qt::Key_Left, "look,600519,1000001.html"));
    EXPECT_TRUE(move(Qt::Key_Right, "look,601318,1000002.html"));
    // Home and End move in the page.
    EXPECT_TRUE(Soon([&] {
        QTest::keyClick(&d, Qt::Key_End);
        return Evaluate(viewer.View(), QStringLiteral("window.scrollY")).toInt() > 0;
    }));
    QTest::keyClick(&d, Qt::Key_Home);
    EXPECT_TRUE(viewer.Comes(QStringLiteral("window.scrollY"), QStringLiteral("0")));
    QTest::qWait(200);
    EXPECT_EQ(Access(d).m_browser->Url().fileName(), QStringLiteral("post.htm"));
    QTest::keyClick(&d, Qt::Key_Right, Qt::AltModifier);
    ASSERT_TRUE(viewer.Showing());

    // Forgetting asks first: refused, the thread stays; agreed, it goes.
    Prompts prompts;
    prompts.answer = QMessageBox::Cancel;
    ASSERT_TRUE(viewer.ClickLink(HomeLink(d, "forget", "601318")));
    ASSERT_TRUE(Soon([&] { return prompts.texts.size() == 1; }));
    EXPECT_EQ(prompts.texts[0], QStringLiteral("忘记后本帖及其修改记录将被删除"));
    EXPECT_EQ(Kept().size(), 2U);
    prompts.answer = QMessageBox::Yes;
    ASSERT_TRUE(viewer.ClickLink(HomeLink(d, "forget", "601318")));
    ASSERT_TRUE(Soon([&] { return Kept().size() == 1; }));
    // The home page is shown anew without the thread forgotten.
    ASSERT_TRUE(viewer.Comes(QStringLiteral("document.readyState=='complete'&&"
                                            "!document.querySelector('a[href*=\"601318\"]')"),
                             QStringLiteral("true")));

    forum.Stop();
    ASSERT_TRUE(viewer.Showing());
    ASSERT_TRUE(viewer.ClickLink(HomeLink(d, "open", "600519")));
    ASSERT_TRUE(viewer.Showing(QStringLiteral("post.htm")));
    EXPECT_EQ(viewer.Edit(res::IDC_URL)->text(), Address("/look,600519,1000001.html"));
    // Whole: the long body past the table's cut, and all 123 posts, the first part in the page.
    EXPECT_EQ(Access(d).Reading()->Total(), 123);
    EXPECT_EQ(viewer.Page().count(QStringLiteral("padding-left:20px;")), KeptReading::kAfter);
    EXPECT_FALSE(viewer.Page().contains(QStringLiteral("......")));
    QTest::mouseClick(viewer.Radio(res::IDC_ONLY_STARTER), Qt::LeftButton);
    EXPECT_LT(viewer.Page().count(QStringLiteral("padding-left:20px;")), 60);
    EXPECT_EQ(viewer.Page().count(QStringLiteral("color:#42B475;")), 0);
}

// A later go's posts are new when opened, stay so after a glance, are read after a second on
// screen; a vesk: link inside a post does nothing; a library that is not one stops no go.
TEST_F(ViewerLibraryTest, NewPostsAreMarkedOnceActionsActOnlyAtHomeAndABrokenLibraryStopsNothing) {
    forum.ChangeThread("1000001", [](demo::SampleThread& thread) {
        thread.pages[0][3].strBody = "看这里";
        thread.pages[0][3].bodyForm = demo::SamplePost::BodyForm::kPlain;
    });
    {
        Viewer viewer(forum);
        ViewerDialog& d = viewer.dialog;
        ASSERT_TRUE(viewer.Fetch(Thread("/look,600519,1000001.html")));
        {
            ThreadStore store(DefaultLibraryFile());  // the reader has seen the thread
            store.MarkRead(store.Find({"600519", "1000001"})->nId);
        }
        Append("1000001", 2, true);
        ASSERT_TRUE(viewer.Fetch(Thread("/look,600519,1000001.html")));
        // Opened at the first new post; what was on screen is read, the rest is not.
        const auto open = [&] {
            const bool bOpened = Access(d).OpenKeptThread({"600519", "1000001"});
            Access(d).SeenTimer()->stop();
            return bOpened && viewer.Showing(QStringLiteral("post.htm"));
        };
        // Looks at the page every 300 ms for nMs, the page still.
        const auto seen = [&](int nMs) {
            for (int nLooked = 0; nLooked <= nMs + 300; nLooked += 300) {
                Access(d).NoteSeenPosts();
                QTest::qWait(300);
            }
            Access(d).SaveSeen();
        };
        ASSERT_TRUE(open());
        const QString firstNew =
            QRegularExpression(QStringLiteral("id=(p\\d+) class=\"vk-u vk-new"))
                .match(viewer.Page())
                .captured(1);
        EXPECT_EQ(viewer.Page().count(QStringLiteral(" [新]")), 2);
        EXPECT_TRUE(viewer.ComesOnScreen(firstNew));
        seen(300);
        ASSERT_TRUE(open());
        EXPECT_EQ(viewer.Page().count(QStringLiteral(" [新]")), 2);
        EXPECT_TRUE(viewer.ComesOnScreen(firstNew));
        const QString place = viewer.OnScreen().value(0);
        seen(2000);
        ASSERT_TRUE(open());
        EXPECT_EQ(viewer.Page().count(QStringLiteral(" [新]")), 0);
        EXPECT_TRUE(viewer.AtTop(place));
    }
    // A forget link written into a post, clicked on the result page.
    {
        Viewer viewer(forum);
        const std::string strHome =
            QUrl::fromLocalFile(Access(viewer.dialog).m_homePath).toString().toStdString();
        std::string strPage = demo::ToGb2312(demo::RenderThreadPage(forum.Threads()[0], 1));
        strPage.replace(strPage.find(demo::ToGb2312("看这里")), demo::ToGb2312("看这里").size(),
                        "<a href=\"" + strHome +
                            "?do=forget&board=600519&thread=1000001\" "
                            "style=\"font-size:40px\">FORGET</a>");
        forum.SetPage("/look,600519,1000001_1.html", strPage);
        ASSERT_TRUE(viewer.Fetch(Thread("/look,600519,1000001_1.html")));
        ASSERT_TRUE(viewer.Showing(QStringLiteral("post.htm")));
        ASSERT_TRUE(viewer.ClickLink(QString::fromStdString(strHome)));
        QTest::qWait(300);
        EXPECT_EQ(Kept().size(), 1u);
    }

    const std::string strFile = DefaultLibraryFile();
    std::filesystem::remove(strFile + "-wal");
    std::filesystem::remove(strFile + "-shm");
    std::ofstream(strFile, std::ios::trunc) << "not a library at all, but a note of some length";
    Viewer viewer(forum);
    ASSERT_TRUE(viewer.Fetch(Thread("/look,601318,1000002.html")));
    EXPECT_TRUE(viewer.Page().contains(QStringLiteral("平安的保险业务")));
    // Such a library is told on the home page, not taken for one without the thread asked for.
    EXPECT_FALSE(viewer.dialog.OpenThreadAddress(Address("/look,601318,1000002.html")));
    EXPECT_NE(viewer.Bar().Text(), QStringLiteral("帖子库里没有这个帖子："));
    ASSERT_TRUE(viewer.Showing());
    const QString home = viewer.Home();
    EXPECT_TRUE(home.contains(QString::fromStdString(strFile).toHtmlEscaped()))
        << home.toStdString();
}

// An update opens the thread at the first post it brought, and the news line and the bar offer the
// older posts not read yet; N and P go through the unread in turn and say when there is none
// further; 核对全帖 opens it at the first post it found changed.
TEST_F(ViewerLibraryTest, AnUpdateOpensAtWhatItBroughtAndNAndPGoThroughTheUnread) {
    Viewer viewer(forum);
    ASSERT_TRUE(viewer.Fetch(Thread("/look,600519,1000001.html")));
    Database(DefaultLibraryFile(), false, 1000)
        .Execute("UPDATE post SET state = CASE WHEN floor IN (5, 12) THEN 1 ELSE 0 END");
    Append("1000001", 3, false);
    QTest::keyClick(&viewer.dialog, Qt::Key_F5);
    ASSERT_TRUE(viewer.Done());
    // Floor 124 on screen, not floor 5 before it.
    EXPECT_TRUE(viewer.ComesOnScreen(QStringLiteral("p123")));
    EXPECT_FALSE(viewer.OnScreen().contains(QStringLiteral("p4")));
    EXPECT_TRUE(viewer.Page().contains(QStringLiteral("另有 <a href=#p4>2 条</a>更早的未读")))
        << viewer.Page().left(3000).toStdString();
    EXPECT_EQ(viewer.Bar().Text(),
              QStringLiteral("新帖 3 条（楼主 0 条），修改 0 条，删除 0 条；另有 2 条更早的未读"));
    const auto key = [&](Qt::Key nKey, const char* pszTop) {
        QTest::keyClick(&viewer.dialog, nKey);
        return viewer.AtTop(QString::fromLatin1(pszTop));
    };
    EXPECT_TRUE(key(Qt::Key_P, "p11"));
    EXPECT_TRUE(key(Qt::Key_P, "p4"));
    EXPECT_TRUE(key(Qt::Key_P, "p4"));
    EXPECT_TRUE(Soon([&] { return viewer.Bar().isVisible(); }));
    EXPECT_EQ(viewer.Bar().Text(), QStringLiteral("前面没有未读的帖子"));
    EXPECT_TRUE(key(Qt::Key_N, "p11"));
    ASSERT_TRUE(key(Qt::Key_Home, "p0"));
    ASSERT_TRUE(viewer.ClickLink(QStringLiteral("#p4")));
    EXPECT_TRUE(viewer.AtTop(QStringLiteral("p4")));
    // 核对全帖 opens at the first post it found changed.
    forum.ChangeThread(
        "1000001", [](demo::SampleThread& thread) { demo::EditSamplePost(thread, 50, "改过"); });
    Access(viewer.dialog).OnCommand(res::ID_CHECK_THREAD);
    ASSERT_TRUE(viewer.Done());
    EXPECT_TRUE(viewer.AtTop(QStringLiteral("p49")));
    QTest::qWait(KeptReading::kSeenAfterMs);  // the reader looks a moment: the place is noted
    // An update that brings nothing, and back and forward, keep the reader where they were, not
    // at a post not read yet.
    Database(DefaultLibraryFile(), false, 1000)
        .Execute("UPDATE post SET state = 1 WHERE floor = 100");
    QTest::keyClick(&viewer.dialog, Qt::Key_F5);
    ASSERT_TRUE(viewer.Done());
    EXPECT_EQ(viewer.Bar().Text(), QStringLiteral("没有新帖"));
    // The thread shown anew: its top as the new page tells it.
    const auto top = [&] {
        return Soon([&] { return Access(viewer.dialog).Reading()->Top() == 49; });
    };
    EXPECT_TRUE(top());
    QTest::keyClick(&viewer.dialog, Qt::Key_Left, Qt::AltModifier);
    ASSERT_TRUE(viewer.Showing());
    QTest::keyClick(&viewer.dialog, Qt::Key_Right, Qt::AltModifier);
    EXPECT_TRUE(top());
}

// A go of a kept thread stays the go; the bar says at once that the thread is kept, with its posts
// not read, and opens it as the library keeps it.
TEST_F(ViewerLibraryTest, AKeptThreadsGoOffersItAsTheLibraryKeepsIt) {
    KeepThread({"600519", "1000001"});  // 123 posts, none read yet
    Viewer viewer(forum);
    forum.SetLatency(300ms);
    viewer.StartFetch(Thread("/look,600519,1000001_2.html"));
    EXPECT_EQ(viewer.Bar().Text(), QStringLiteral("本帖已在帖子库中，123 条未读"));
    ASSERT_TRUE(viewer.Done());
    EXPECT_EQ(viewer.Bar().Text(), QStringLiteral("本帖已在帖子库中，123 条未读"));
    EXPECT_EQ(Access(viewer.dialog).Reading(), nullptr);
    viewer.Bar().findChild<QPushButton*>()->click();
    ASSERT_TRUE(Soon([&] { return Access(viewer.dialog).Reading() != nullptr; }));
    EXPECT_EQ(Access(viewer.dialog).Reading()->Total(), 123);
    EXPECT_TRUE(viewer.AtTop(QStringLiteral("p0")));
}

// Esc and the bar's 停止 stop a whole reading at once: what it read is kept and shown, and the bar
// says where it stopped.
TEST_F(ViewerLibraryTest, AWholeReadingStopsAtEscOrItsButtonAndKeepsWhatItRead) {
    forum.SetLatency(30ms);
    for (const bool bEsc : {true, false}) {
        Viewer viewer(forum);
        ViewerDialog& d = viewer.dialog;
        Access(d).ReadWholeThread({"600036", "1000004"});
        ASSERT_TRUE(Soon([&] {
            const QRegularExpressionMatch page =
                QRegularExpression(QStringLiteral("^正在读取第(\\d+)页"))
                    .match(viewer.Bar().Text());
            return page.hasMatch() && page.captured(1).toInt() >= 3;
        }));
        if (bEsc) {
            QTest::keyClick(viewer.View()->focusProxy(), Qt::Key_Escape);  // in the page
        } else {
            viewer.Bar().findChild<QPushButton*>()->click();
        }
        ASSERT_TRUE(viewer.Done());
        EXPECT_TRUE(d.isVisible());
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^本次读到第\\d+页：.*读取已停止$"))
                        .match(viewer.Bar().Text())
                        .hasMatch())
            << viewer.Bar().Text().toStdString();
        EXPECT_TRUE(viewer.Showing(QStringLiteral("post.htm")));
        ASSERT_EQ(Kept().size(), 1U);
        EXPECT_GE(Kept()[0].nPosts, 150);
        EXPECT_LT(Kept()[0].nPosts, 2200);
        EXPECT_EQ(Kept()[0].nCheckedAt, 0);  // its later pages never read, nor checked
    }
}

// At night every text on every page we show stands at least 4.5 : 1 against its background: the
// kept page with its marks and earlier texts, also when night comes while it is shown, the search's
// hits, the home page and the go's page.
TEST_F(ViewerLibraryTest, AtNightEveryTextOfEveryPageIsReadable) {
    Viewer viewer(forum);
    ViewerDialog& d = viewer.dialog;
    const auto readable = [&](const char* pszPage) {
        QString worst;
        double dLowest = 0;
        EXPECT_TRUE(Soon([&] { return (dLowest = viewer.LowestContrast(worst)) >= 4.5; }))
            << pszPage << ": " << dLowest << " at " << worst.toStdString();
    };
    // The start page of an empty library, with its examples.
    ASSERT_TRUE(viewer.Showing(QStringLiteral("start.html")));
    Access(d).OnCommand(res::ID_NIGHT_PAGE);
    readable("start");
    Access(d).OnCommand(res::ID_NIGHT_PAGE);
    ASSERT_TRUE(viewer.Fetch(Thread("/look,600519,1000001.html")));
    {
        ThreadStore store(DefaultLibraryFile());
        store.MarkRead(store.Find({"600519", "1000001"})->nId);
    }
    forum.ChangeThread("1000001", [](demo::SampleThread& thread) {
        demo::EditSamplePost(thread, 3, "改过的内容");
        demo::DeleteSamplePosts(thread, {4});
        demo::AppendSamplePosts(thread, 2, true);
    });
    QTest::keyClick(&d, Qt::Key_F5);
    ASSERT_TRUE(viewer.Done());
    ASSERT_TRUE(viewer.ComesOnScreen(QStringLiteral("p123")));
    QTest::keyClick(&d, Qt::Key_Home);
    ASSERT_TRUE(viewer.AtTop(QStringLiteral("p0")));
    // The board shows 124 posts; the page 125 rows.
    EXPECT_TRUE(Soon([&] {
        return Access(d).Place()->PlaceText() == QStringLiteral("第 1 / 125 帖（含已删除 1 帖）");
    })) << Access(d).Place()->PlaceText().toStdString();
    Access(d).OnCommand(res::ID_NIGHT_PAGE);
    readable("kept");
    QTest::keyClick(&d, Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    QInputMethodEvent typed;  // as an input method puts Chinese in
    typed.setCommitString(QStringLiteral("主力资金"));
    QApplication::sendEvent(Access(d).Search()->Edit(), &typed);
    ASSERT_TRUE(viewer.Comes(QStringLiteral("document.querySelectorAll('b.vk-hit').length>2"),
                             QStringLiteral("true")));
    readable("search");
    QTest::keyClick(&d, Qt::Key_Home, Qt::AltModifier);
    ASSERT_TRUE(viewer.Showing());
    readable("home");
    ASSERT_TRUE(viewer.Fetch(Thread("/look,601318,1000002.html")));
    ASSERT_TRUE(viewer.Showing(QStringLiteral("post.htm")));
    readable("go");
}

// The window's size, the zoom, the night page and each thread's filter are as the reader left
// them.
TEST_F(ViewerLibraryTest, TheReadersChoicesAreKeptForTheNextStart) {
    {
        Viewer viewer(forum);
        ViewerDialog& d = viewer.dialog;
        d.resize(900, 640);
        Access(d).m_browser->ZoomBy(2);
        ASSERT_TRUE(viewer.Fetch(Thread("/look,600519,1000001.html")));
        QTest::mouseClick(viewer.Radio(res::IDC_ONLY_STARTER), Qt::LeftButton);
        Access(d).OnCommand(res::ID_NIGHT_PAGE);
    }
    Viewer viewer(forum);
    ViewerDialog& d = viewer.dialog;
    EXPECT_EQ(d.size(), QSize(900, 640));
    EXPECT_NEAR(Access(d).m_browser->Zoom(), 1.2, 1e-6);
    ASSERT_TRUE(Access(d).OpenKeptThread({"600519", "1000001"}));
    EXPECT_TRUE(viewer.Radio(res::IDC_ONLY_STARTER)->isChecked());
    EXPECT_FALSE(viewer.Page().contains(QStringLiteral("color:#42B475;")));
    EXPECT_TRUE(viewer.Page().contains(QStringLiteral("color:red;")));
    ASSERT_TRUE(viewer.Showing(QStringLiteral("post.htm")));
    EXPECT_TRUE(viewer.Comes(QStringLiteral("getComputedStyle(document.body).backgroundColor"),
                             QStringLiteral("rgb(30, 31, 34)")));
}

// A thread chosen while a viewer runs opens in it at the starter's first new post: a second
// start hands the address over and ends.
TEST_F(ViewerLibraryTest, ASecondStartHandsItsThreadToTheViewerRunning) {
    Viewer viewer(forum);
    ViewerDialog& d = viewer.dialog;
    ASSERT_TRUE(viewer.Fetch(Thread("/look,601318,1000002.html")));
    ASSERT_TRUE(viewer.Fetch(Thread("/look,600519,1000001.html")));
    Database(DefaultLibraryFile(), false, 1000)
        .Execute(
            "UPDATE post SET state = 0; UPDATE post SET state = 1 WHERE floor = (SELECT"
            " min(p.floor) FROM post p JOIN thread t ON t.id = p.thread WHERE p.author <> t.starter"
            "  AND CAST(t.thread_id AS TEXT) = '1000001') OR floor ="
            " (SELECT min(p.floor) FROM post p JOIN thread t ON t.id = p.thread"
            "  WHERE p.author = t.starter AND p.floor > 10 AND CAST(t.thread_id AS TEXT) = "
            "'1000001')");
    Access(d).OpenKeptThread({"601318", "1000002"});
    const ViewerHandOver handOver(ViewerHandOver::ServerName(DefaultLibraryFile()),
                                  [&d](const QString& address) { d.ShowChosenThread(address); });
    ASSERT_TRUE(handOver.IsListening());
    QProcess second;
    second.start(QStringLiteral(VESK_VIEWER),
                 {QStringLiteral("--open"), Address("/look,600519,1000001.html")});
    ASSERT_TRUE(Soon([&] { return second.state() == QProcess::NotRunning; }));
    EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardError().toStdString();
    // The starter's new post, on the page of the thread handed over.
    const QRegularExpression starterRow(
        QStringLiteral("id=(p\\d+) class=\"vk-u vk-new\"><td><div style=color:red;"));
    QString starterNew;
    ASSERT_TRUE(Soon([&] {
        starterNew = starterRow.match(viewer.Page()).captured(1);
        return !starterNew.isEmpty() && viewer.Page().contains(QStringLiteral("茅台一季度"));
    }));
    EXPECT_TRUE(viewer.AtTop(starterNew));
}

// A go stopped at the 40-page limit offers the whole thread, read with its progress in the
// caption; closing the window during a whole reading ends it at once, keeping what was read.
TEST_F(ViewerLibraryTest, AThreadPastFortyPagesIsReadWholeAndClosingStopsTheReading) {
    {
        Viewer viewer(forum);
        ViewerDialog& d = viewer.dialog;
        ASSERT_TRUE(viewer.Fetch(Thread("/look,600519,1000005.html")));
        auto* pAction = viewer.Bar().findChild<QPushButton*>();
        ASSERT_NE(pAction, nullptr);
        EXPECT_EQ(pAction->text(), QStringLiteral("读取全帖"));
        pAction->click();
        EXPECT_TRUE(Soon([&] { return d.windowTitle().contains(QStringLiteral("正在读取第")); }));
        ASSERT_TRUE(viewer.Done());
        EXPECT_FALSE(d.windowTitle().contains(QStringLiteral("正在")));
        ASSERT_TRUE(viewer.Showing(QStringLiteral("post.htm")));
        EXPECT_EQ(Access(d).Reading()->Total(), 5967);
        // Read whole once, the thread's next go offers it as kept; F5 brings it up to date, and
        // the bar says what came.
        forum.ChangeThread("1000005", [](demo::SampleThread& thread) {
            const int nLast = thread.pages.back().back().nFloor;
            demo::EditSamplePost(thread, nLast - 1, "改过的内容");
            demo::DeleteSamplePosts(thread, {nLast - 2});
            demo::AppendSamplePosts(thread, 3, true);
        });
        ASSERT_TRUE(viewer.Fetch(Thread("/look,600519,1000005.html")));
        ASSERT_EQ(pAction->text(), QStringLiteral("打开帖子库中的本帖"));
        QTest::keyClick(&d, Qt::Key_F5);
        ASSERT_TRUE(viewer.Done());
        // Nothing of it was seen yet: all before what came is still not read.
        EXPECT_TRUE(viewer.Bar().Text().startsWith(
            QStringLiteral("新帖 3 条（楼主 3 条），修改 1 条，删除 1 条；另有 ")))
            << viewer.Bar().Text().toStdString();
        // At its end: the edited post folds its earlier text, the deleted one keeps its last.
        ASSERT_TRUE(Soon([&] { return Access(d).Reading()->IsShown(); }));
        Access(d).Reading()->GoToEnd(true);
        EXPECT_TRUE(viewer.Comes(QStringLiteral("document.querySelectorAll('details.vk-before')"
                                                ".length+','+document.querySelectorAll("
                                                "'tr.vk-u.vk-deleted').length"),
                                 QStringLiteral("1,1")));
    }
    forum.SetLatency(30ms);
    auto pViewer = std::make_unique<Viewer>(forum);
    Access(pViewer->dialog).ReadWholeThread({"600036", "1000004"});
    // Some pages in: the caption names a page after the second.
    ASSERT_TRUE(Soon([&] {
        const QRegularExpressionMatch page =
            QRegularExpression(QStringLiteral("第(\\d+)页")).match(pViewer->dialog.windowTitle());
        return page.hasMatch() && page.captured(1).toInt() >= 3;
    }));
    const auto start = std::chrono::steady_clock::now();
    pViewer.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    const std::vector<ThreadListing> kept = Kept();
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_GE(kept[0].nPosts, 150);
    EXPECT_LT(kept[0].nPosts, 2200);
}

// A kept thread's pictures come from the library, one not kept is a placeholder, no-picture mode
// hides them; posts that would swallow or cover others do not; nothing is asked of the network.
TEST_F(ViewerLibraryTest, AKeptThreadShowsItsPicturesAndEveryPostOfflineWithoutTheNetwork) {
    const std::pair<int, const char*> bodies[] = {
        {3, "前<textarea>吞"},
        {4, "<script>document.body.innerHTML=''</script>脚本"},
        {5, "<style>body{display:none}</style>样式"},
        {6, "<title>题<plaintext>"},
        {7,
         "<div style=\"position:fixed;top:0;left:0;width:100%;height:100%;"
         "background:#000\">盖</div>"}};
    forum.ChangeThread("1000001", [&](demo::SampleThread& thread) {
        for (auto& page : thread.pages) {
            for (demo::SamplePost& post : page) {
                post.strPicture = post.nFloor == 2   ? demo::SamplePicturePath(1).substr(1)
                                  : post.nFloor == 8 ? "/pic/missing.png"
                                                     : "";
                for (const auto& [nFloor, pszBody] : bodies) {
                    if (post.nFloor == nFloor) {
                        post.bodyForm = demo::SamplePost::BodyForm::kPlain;
                        post.strBody = pszBody;
                    }
                }
            }
        }
    });
    const ThreadKey key{"600519", "1000001"};
    const RefreshOutcome outcome = KeepThread(key);
    EXPECT_EQ(outcome.pictures.nKept, 1);
    EXPECT_EQ(outcome.pictures.nFailed, 1);
    // A go's page before it may reach the board.
    Viewer viewer(forum);
    ASSERT_TRUE(viewer.Fetch(Thread("/look,600519,1000001.html")));
    QWebEngineView* pView = viewer.View();
    ASSERT_TRUE(viewer.Comes(QStringLiteral("document.readyState=='complete'&&[].every.call("
                                            "document.images,function(i){return i.complete})"),
                             QStringLiteral("true")));
    forum.ClearRequests();
    forum.SetPage("/pic/missing.png", demo::SamplePicture(2));  // had now, were it asked for
    ASSERT_TRUE(Access(viewer.dialog).OpenKeptThread(key));
    const auto facts = [&] {
        return Evaluate(pView,
                        QStringLiteral("document.readyState=='complete'?[document.images.length,"
                                       "document.images[0]&&document.images[0].naturalWidth,"
                                       "document.querySelectorAll('tr[id^=p]').length,"
                                       "getComputedStyle(document.body).display,"
                                       "document.querySelectorAll('.vk-nopic').length,"
                                       "getComputedStyle(document.querySelector('img.vk-pic'))"
                                       ".display]:null"))
            .toList();
    };
    QVariantList shown;
    ASSERT_TRUE(Soon([&] { return (shown = facts()).size() == 6 && shown[1].toInt() == 160; }))
        << shown.size();
    EXPECT_EQ(shown[0].toInt(), 1);
    EXPECT_EQ(shown[2].toInt(), 100);  // every post of the part shown, none swallowed
    EXPECT_EQ(shown[3].toString(), QStringLiteral("block"));
    EXPECT_EQ(shown[4].toInt(), 1);  // the picture not kept, as its address
    // Even a picture put into the page from outside it asks nothing of the forum.
    const QString remote = QString::fromStdString(forum.BaseAddress() + "/pic/missing.png");
    Evaluate(pView, QStringLiteral("var i=new Image();i.id='remote';i.src='%1';"
                                   "document.body.appendChild(i);")
                        .arg(remote));
    QTest::qWait(500);
    EXPECT_EQ(Evaluate(pView, QStringLiteral("remote.complete&&remote.naturalWidth")).toInt(), 0);
    EXPECT_EQ(forum.RequestedPaths(), std::vector<std::string>{});
    EXPECT_TRUE(viewer.Page().contains(QStringLiteral("吞")));
    EXPECT_FALSE(viewer.Page().contains(QStringLiteral("<textarea")));
    EXPECT_FALSE(viewer.Page().contains(QStringLiteral("position:fixed")));
    Access(viewer.dialog).m_browser->SetNoPictures(true);
    EXPECT_TRUE(
        Soon([&] { return (shown = facts()).size() == 6 && shown[5].toString() == "none"; }));
}

// A thread of 100,000 posts opens at the reading place with a part in the page, scrolls past it,
// goes to both ends and a floor typed, keeps the top post across filters, marks what was seen.
TEST_F(ViewerLibraryTest, AHundredThousandPostThreadOpensAndMovesInParts) {
    const ThreadKey key{"600519", "3000000"};
    std::int64_t nPlace = 0;
    {
        ThreadStore store(DefaultLibraryFile());
        test::KeepLongThread(store, key, 2000);
        store.MarkRead(store.Find(key)->nId);
        Database db(DefaultLibraryFile(), false, 1000);
        nPlace = db.QueryInt("SELECT id FROM post WHERE floor = 50000");
        db.Execute(("UPDATE thread SET read_post = " + std::to_string(nPlace)).c_str());
    }
    Viewer viewer(forum);
    ViewerDialog& d = viewer.dialog;
    const auto rows = [&](const char* pszScript) {
        return Evaluate(viewer.View(), QLatin1String(pszScript)).toInt();
    };
    ASSERT_TRUE(Access(d).OpenKeptThread(key));
    ASSERT_TRUE(viewer.AtTop(QStringLiteral("p49999")));
    EXPECT_EQ(Access(d).Place()->PlaceText(), QStringLiteral("第 50000 / 100000 帖"));
    EXPECT_LE(viewer.Page().count(QStringLiteral("<tr id=p")),
              KeptReading::kBefore + KeptReading::kAfter);
    // Scrolled on, the page takes the posts after its part and lets the first ones go: the rows
    // stay one run, of more than the part it opened with and at most the most it holds.
    for (int i = 0; i < 500 && rows("document.getElementById('p50700')?1:0") == 0; ++i) {
        Evaluate(viewer.View(), QStringLiteral("scrollBy(0,600)"));
        QTest::qWait(20);
    }
    const int nShown = rows("document.querySelectorAll('tr[id^=p]').length");
    EXPECT_GT(nShown, KeptReading::kBefore + KeptReading::kAfter);
    EXPECT_LE(nShown, KeptReading::kMostShown);
    EXPECT_EQ(rows("(function(){var r=document.querySelectorAll('tr[id^=p]');"
                   "return r[r.length-1].id.slice(1)-r[0].id.slice(1)+1;})()"),
              nShown);
    // Scrolled back, the posts before the part come in above it with the top post kept in place:
    // the top moves a few posts a step, never a part's length.
    int nTop = viewer.OnScreen().value(0).mid(1).toInt();
    for (int i = 0; i < 500 && rows("document.getElementById('p49950')?1:0") == 0; ++i) {
        Evaluate(viewer.View(), QStringLiteral("scrollBy(0,-600)"));
        QTest::qWait(20);
        const int nNow = viewer.OnScreen().value(0).mid(1).toInt();
        EXPECT_LE(nTop - nNow, 20);
        nTop = nNow;
    }
    EXPECT_EQ(rows("document.getElementById('p49950')?1:0"), 1);
    // The bar's jumps: the end, the first post, a floor typed.
    const auto click = [&](const QString& text) {
        for (QToolButton* pButton : Access(d).Place()->findChildren<QToolButton*>()) {
            if (pButton->text() == text) {
                QTest::mouseClick(pButton, Qt::LeftButton);
            }
        }
    };
    click(QStringLiteral("末帖"));
    EXPECT_TRUE(viewer.ComesOnScreen(QStringLiteral("p99999")));
    click(QStringLiteral("1楼"));
    EXPECT_TRUE(viewer.AtTop(QStringLiteral("p0")));
    QTest::keyClicks(Access(d).Place()->FloorEdit(), QStringLiteral("77777"));
    QTest::keyClick(Access(d).Place()->FloorEdit(), Qt::Key_Return);
    EXPECT_TRUE(viewer.AtTop(QStringLiteral("p77776")));
    EXPECT_FALSE(d.IsFetching());
    // Only the starter's: floor 77,777 is not his, the first of his after it is at the top.
    QTest::mouseClick(viewer.Radio(res::IDC_ONLY_STARTER), Qt::LeftButton);
    EXPECT_TRUE(viewer.AtTop(QStringLiteral("p11111")));
    EXPECT_EQ(Access(d).Reading()->Total(), 14286);
    EXPECT_TRUE(Soon(
        [&] { return Access(d).Place()->PlaceText().endsWith(QStringLiteral(" / 14286 帖")); }));
    EXPECT_EQ(rows("document.querySelectorAll('div[style*=\"color:#42B475\"]').length"), 0);
    QTest::mouseClick(viewer.Radio(res::IDC_SHOW_ALL), Qt::LeftButton);
    EXPECT_TRUE(viewer.AtTop(QStringLiteral("p77777")));
    // A floor the filter hides, typed: the bar says where the view went, and 显示所有 shows it.
    QTest::mouseClick(viewer.Radio(res::IDC_ONLY_STARTER), Qt::LeftButton);
    Access(d).Place()->FloorEdit()->clear();
    QTest::keyClicks(Access(d).Place()->FloorEdit(), QStringLiteral("77777"));
    QTest::keyClick(Access(d).Place()->FloorEdit(), Qt::Key_Return);
    EXPECT_TRUE(viewer.AtTop(QStringLiteral("p11111")));
    EXPECT_EQ(viewer.Bar().Text(),
              QStringLiteral("当前的过滤模式不显示第 77777 楼，已转到第 77778 楼"));
    viewer.Bar().findChild<QPushButton*>()->click();
    EXPECT_TRUE(viewer.Radio(res::IDC_SHOW_ALL)->isChecked());
    EXPECT_TRUE(viewer.AtTop(QStringLiteral("p77776")));

    // New posts far apart: the thread opens at the first, N goes to the next, outside the part
    // shown, and what is seen there is read, and the reading place.
    Database(DefaultLibraryFile(), false, 1000)
        .Execute("UPDATE post SET state = 1 WHERE floor IN (30001, 90001)");
    const auto seen = [&](const char* pszFloor) {
        return Soon([&] {
            Access(d).NoteSeenPosts();
            Database db(DefaultLibraryFile(), false, 1000);
            const std::string strPost =
                "(SELECT id FROM post WHERE floor = " + std::string(pszFloor) + ")";
            return db.QueryInt(("SELECT state FROM post WHERE id = " + strPost).c_str()) == 0 &&
                   db.QueryInt(("SELECT read_post = " + strPost + " FROM thread").c_str()) == 1;
        });
    };
    ASSERT_TRUE(Access(d).OpenKeptThread(key));
    ASSERT_TRUE(viewer.AtTop(QStringLiteral("p30000")));
    EXPECT_TRUE(seen("30001"));
    QTest::keyClick(&d, Qt::Key_N);
    EXPECT_TRUE(viewer.AtTop(QStringLiteral("p90000")));
    EXPECT_TRUE(seen("90001"));
}

// Ctrl+Shift+F searches the library as the reader types; a hit opens its thread at the post, the
// words marked, among all posts when the filter would hide it; the bar leaves with our pages.
TEST_F(ViewerLibraryTest, ASearchAsTypedOpensItsThreadAtTheMarkedPost) {
    const ThreadKey key{"600519", "3000001"};
    {
        ThreadStore store(DefaultLibraryFile());
        test::KeepLongThread(store, key, 40);
    }
    Viewer viewer(forum);
    ViewerDialog& d = viewer.dialog;
    SearchBar& bar = *Access(d).Search();
    viewer.Radio(res::IDC_ONLY_STARTER)->click();
    ASSERT_TRUE(Access(d).OpenKeptThread(key));
    EXPECT_TRUE(Soon([&] { return bar.isHidden(); }));
    QTest::keyClick(&d, Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_FALSE(bar.isHidden());
    ASSERT_TRUE(bar.Edit()->hasFocus());
    QTest::keyClicks(bar.Edit(), QStringLiteral("234 post"));
    const QString searchPage = QUrl::fromLocalFile(Access(d).m_homePath)
                                   .fileName()
                                   .replace(QStringLiteral("home-"), QStringLiteral("search-"));
    ASSERT_TRUE(viewer.Showing(searchPage));
    EXPECT_TRUE(bar.Edit()->hasFocus());
    EXPECT_FALSE(bar.isHidden());
    // 234 and 1234, each with its words marked.
    const auto shown = [&](const char* pszScript) {
        return Evaluate(viewer.View(), QLatin1String(pszScript)).toString();
    };
    ASSERT_TRUE(viewer.Comes(QStringLiteral("document.querySelectorAll('a.vk-go').length"),
                             QStringLiteral("2")));
    EXPECT_EQ(shown("Array.from(document.querySelectorAll('a.vk-go')).map(function(a){"
                    "return a.innerHTML;}).sort().join('|')"),
              QStringLiteral("<b class=\"vk-hit\">post</b> 1<b class=\"vk-hit\">234</b>|"
                             "<b class=\"vk-hit\">post</b> <b class=\"vk-hit\">234</b>"));
    EXPECT_EQ(bar.Status(), QStringLiteral("找到 2 条"));
    // Enter in the box searches; it reads no thread.
    QTest::keyClick(bar.Edit(), Qt::Key_Return);
    EXPECT_FALSE(d.IsFetching());
    EXPECT_FALSE(bar.isHidden());

    ASSERT_TRUE(viewer.ClickLink(HomeLink(d, "find", "600519")));
    ASSERT_TRUE(viewer.AtTop(QStringLiteral("p233")));  // the last hit, the older
    EXPECT_TRUE(viewer.Radio(res::IDC_SHOW_ALL)->isChecked());
    EXPECT_EQ(shown("document.querySelector('.vk-target').id+' '+Array.from("
                    "document.querySelectorAll('mark.vk-hit')).map(function(m){"
                    "return m.textContent;}).join(',')"),
              QStringLiteral("p233 post,234"));
    EXPECT_TRUE(bar.isHidden());
}

// Lets a view load only its own file and what that holds inside it, and counts what it asked
// for beyond that.
class OfflineOnly final : public QWebEngineUrlRequestInterceptor {
public:
    void interceptRequest(QWebEngineUrlRequestInfo& info) override {
        const QString scheme = info.requestUrl().scheme();
        if (scheme != QLatin1String("file") && scheme != QLatin1String("data")) {
            ++nBlocked;
            info.block(true);
        }
    }
    int nBlocked = 0;
};

// 导出本帖… under 只看楼主: the dialog offers that filter; the one file shows the starter's
// pictures loading nothing else, and the bar says where it went. The next export starts in that
// format and folder; as Markdown of all posts, the pictures lie in the folder beside it.
TEST_F(ViewerLibraryTest, AnExportFromThePopUpTakesTheShownFilterAndItsPicturesAlong) {
    const std::map<int, int> pictures = {{2, 1}, {5, 2}, {9, 1}, {12, 3}};  // floor: picture
    forum.ChangeThread("1000001", [&](demo::SampleThread& thread) {
        for (auto& page : thread.pages) {
            for (demo::SamplePost& post : page) {
                if (const auto found = pictures.find(post.nFloor); found != pictures.end()) {
                    post.strPicture = demo::SamplePicturePath(found->second).substr(1);
                    if (post.nFloor != 12) {
                        post.strAuthor = "茅台信仰者";
                        post.authorForm = demo::SamplePost::AuthorForm::kUserSpan;
                    }
                    if (post.nFloor == 5) {  // what would widen a phone's page
                        post.bodyForm = demo::SamplePost::BodyForm::kPlain;
                        post.strBody = "http://example.com/" + std::string(300, 'a') +
                                       "<table><tr><td>" + std::string(80, 'b') + "</td><td>" +
                                       std::string(80, 'c') + "</td></tr></table>";
                    }
                }
            }
        }
    });
    const ThreadKey key{"600519", "1000001"};
    ASSERT_EQ(KeepThread(key).pictures.nKept, 3);
    Viewer viewer(forum);
    viewer.Radio(res::IDC_ONLY_STARTER)->click();
    ASSERT_TRUE(Access(viewer.dialog).OpenKeptThread(key));
    const QTemporaryDir out;
    // Answers the save dialog once it opens, and tells what it offered.
    const auto exportAs = [&](const QString& name, int nType, int nPosts, int nFont = 0) {
        QString offered;
        QTimer::singleShot(0, [&] {
            QFileDialog* pDialog = nullptr;
            ASSERT_TRUE(Soon([&] {
                return (pDialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) !=
                       nullptr;
            }));
            auto* pPosts = pDialog->findChild<QComboBox*>(QStringLiteral("exportPosts"));
            ASSERT_NE(pPosts, nullptr);
            offered = pDialog->selectedNameFilter().left(4) + u' ' + pPosts->currentText() + u' ' +
                      QFileInfo(pDialog->selectedFiles().value(0)).dir().path();
            pDialog->selectNameFilter(pDialog->nameFilters().value(nType));
            pPosts->setCurrentIndex(nPosts);
            auto* pFont = pDialog->findChild<QComboBox*>(QStringLiteral("exportFont"));
            ASSERT_NE(pFont, nullptr);
            ASSERT_LT(nFont, pFont->count());
            pFont->setCurrentIndex(nFont);
            pDialog->selectFile(out.filePath(name));
            QMetaObject::invokeMethod(pDialog, "accept");
        });
        Access(viewer.dialog).OnCommand(res::ID_EXPORT_THREAD);
        EXPECT_TRUE(Soon([&] {
            return viewer.Bar().Detail() == QDir::toNativeSeparators(out.path()) + u'/' + name;
        })) << viewer.Bar().Text().toStdString();
        return offered;
    };
    EXPECT_EQ(exportAs(QStringLiteral("日记.html"), 0, 1).toStdString(),
              "单个网页 只看楼主 " + QDir::homePath().toStdString());
    EXPECT_EQ(viewer.Bar().Text().toStdString(), "本帖已导出，2 张图片在内：");

    forum.ClearRequests();
    OfflineOnly offline;
    QWebEngineProfile profile;
    profile.setUrlRequestInterceptor(&offline);
    QWebEngineView view;
    view.resize(390, 700);  // a phone's width
    view.show();
    auto* pPage = new QWebEnginePage(&profile, &view);
    view.setPage(pPage);
    view.load(QUrl::fromLocalFile(out.filePath(QStringLiteral("日记.html"))));
    QVariantList shown;
    EXPECT_TRUE(Soon([&] {
        shown = Evaluate(&view,
                         QStringLiteral("document.readyState=='complete'&&"
                                        "document.querySelector('.body')?[document.images.length,"
                                        "[].filter.call(document.images,function(i){"
                                        "return i.complete&&i.naturalWidth>0}).length,"
                                        "document.documentElement.scrollWidth<=innerWidth&&"
                                        "innerWidth==390,parseFloat(getComputedStyle("
                                        "document.querySelector('.body')).fontSize)]:null"))
                    .toList();
        return shown.size() == 4 && shown[1].toInt() == 3;
    })) << shown.value(0).toInt()
        << " " << shown.value(1).toInt();
    EXPECT_EQ(shown.value(0).toInt(), 3);  // floors 2, 5 and 9; floor 12 is not the starter's
    // Laid out on a phone: nothing wider than its screen, the text at least 16 px.
    EXPECT_TRUE(shown.value(2).toBool());
    EXPECT_GE(shown.value(3).toDouble(), 16.0);
    EXPECT_EQ(offline.nBlocked, 0);
    EXPECT_EQ(forum.RequestedPaths(), std::vector<std::string>{});

    EXPECT_EQ(exportAs(QStringLiteral("全部.md"), 2, 0).toStdString(),
              "单个网页 只看楼主 " + out.path().toStdString());
    EXPECT_EQ(viewer.Bar().Text().toStdString(),
              "本帖已导出，3 张图片在旁边的文件夹 全部_pictures 中：");
    EXPECT_EQ(QDir(out.filePath(QStringLiteral("全部_pictures"))).entryList(QDir::Files).size(), 3);
    // A book may carry the installed Chinese font the dialog offers (the test machine has one).
    exportAs(QStringLiteral("书.epub"), 1, 1, 1);
    EXPECT_NE(test::ReadFile(out.filePath(QStringLiteral("书.epub")).toStdString())
                  .find("OEBPS/fonts/book.ttf"),
              std::string::npos);
    // A thread the go kept in part (40 of its 44 pages) is exported in part, and the bar says so.
    ASSERT_TRUE(viewer.Fetch(Thread("/look,600036,1000004.html")));
    exportAs(QStringLiteral("部分.html"), 0, 0);
    EXPECT_TRUE(viewer.Bar().Text().startsWith(QStringLiteral("帖子库里只有本帖的前 2000 帖")))
        << viewer.Bar().Text().toStdString();
}

}  // namespace
}  // namespace vesk
