#include "viewer_dialog.h"

#include "image_button_test_access.h"
#include "request_checks.h"
#include "shell.h"
#include "viewer_harness.h"

#include <QPushButton>
#include <QStandardPaths>

namespace vesk {
namespace {

using namespace std::chrono_literals;
using namespace res;

class ViewerDialogTest : public ViewerTest {};

TEST_F(ViewerDialogTest, StartsEmptyWithTheTemplatesControlsInPlaceAndResizesAroundThem) {
    Viewer viewer(forum);
    ViewerDialog& d = viewer.dialog;
    ASSERT_TRUE(d.IsReady());
    EXPECT_TRUE(viewer.Radio(IDC_SHOW_ALL)->isChecked());
    EXPECT_FALSE(viewer.Edit(IDC_NAMES)->isVisible());
    EXPECT_TRUE(Access(d).m_btnGo->QPushButton::isDefault());  // the dialog's default button
    EXPECT_NE(ImageButtonTestAccess(*Access(d).m_btnGo).Icon(0).handle, nullptr);
    EXPECT_NE(ImageButtonTestAccess(*Access(d).m_btnMenu).Icon(0).handle, nullptr);
    EXPECT_FALSE(d.windowIcon().isNull());
    EXPECT_TRUE(d.windowTitle().startsWith(QStringLiteral("vesk辅助查看器 ")));
    EXPECT_EQ(QFileInfo(QString::fromStdString(Access(d).m_strOutputPath)).fileName(), "post.htm");
    EXPECT_TRUE(QFileInfo::exists(viewer.folder.filePath(QStringLiteral("vesk3.css"))));
    // Dialog units in the font's base units: the go button is 37 x 22 units.
    const platform::SIZE base = d.BaseUnits();
    EXPECT_EQ(Access(d).m_btnGo->width(), (37 * base.cx + 2) / 4);
    EXPECT_EQ(Access(d).m_btnGo->height(), (22 * base.cy + 4) / 8);
    // Template order is the tab order: from the address edit on to the go button.
    EXPECT_EQ(viewer.Edit(IDC_URL)->nextInFocusChain(), viewer.Radio(IDC_SHOW_ALL));
    // Resized, the stretched controls keep eight pixels from the edges; the others stay.
    const QRect go = Access(d).m_btnGo->geometry();
    const QRect radio = viewer.Radio(IDC_PARTIAL)->geometry();
    for (const QSize size : {QSize(1000, 760), QSize(500, 400)}) {
        d.resize(size);
        for (const int nId : {IDC_URL, IDC_NAMES, IDC_BROWSER}) {
            EXPECT_EQ(d.GetDlgItem(nId)->geometry().right() + 1, size.width() - 8) << nId;
        }
        EXPECT_EQ(d.GetDlgItem(IDC_BROWSER)->geometry().bottom() + 1, size.height() - 8);
        EXPECT_EQ(d.GetDlgItem(IDC_NAMES)->height(), d.GetDlgItem(IDC_URL)->height());
        EXPECT_EQ(Access(d).m_btnGo->geometry(), go);
        EXPECT_EQ(viewer.Radio(IDC_PARTIAL)->geometry(), radio);
    }
}

TEST_F(ViewerDialogTest, RejectsBadAddressesAndEmptyNameListsWithTheFocusOnTheEditAtFault) {
    Viewer viewer(forum);
    ViewerDialog& d = viewer.dialog;
    Access(d).m_pPosts->data()[0].nFloor = 77;  // the table must stay as it is
    Prompts prompts;
    const std::string strRejected = AddressRejectedMessage(forum.BaseAddress());
    for (const std::string& strUrl :
         {std::string("   "), std::string("http://example.org/look,600519,1000001.html"),
          Thread("/topic,600519.html"), Thread("/look,600519,") + std::string(200, '1')}) {
        viewer.Type(IDC_URL, QString::fromStdString(strUrl));
        viewer.Radio(IDC_SHOW_ALL)->setFocus();
        QTest::mouseClick(Access(d).m_btnGo, Qt::LeftButton);
        EXPECT_FALSE(d.IsFetching()) << strUrl;
        EXPECT_EQ(d.focusWidget(), viewer.Edit(IDC_URL)) << strUrl;
    }
    ASSERT_EQ(prompts.texts.size(), 4);
    EXPECT_EQ(prompts.texts[0], QString::fromStdString(strRejected));
    EXPECT_EQ(prompts.captions[0], QStringLiteral("提示"));
    EXPECT_EQ(prompts.icons[0], QMessageBox::Warning);

    // The partial mode with a blank list: at the go button and at Enter in the name edit.
    QTest::mouseClick(viewer.Radio(IDC_PARTIAL), Qt::LeftButton);
    EXPECT_TRUE(viewer.Edit(IDC_NAMES)->isVisible());
    EXPECT_EQ(d.focusWidget(), viewer.Edit(IDC_NAMES));
    viewer.Type(IDC_NAMES, QStringLiteral("   "));
    viewer.Type(IDC_URL, QStringLiteral("  %1  ").arg(Address("/look,600519,1000001.html")));
    QTest::mouseClick(Access(d).m_btnGo, Qt::LeftButton);
    EXPECT_FALSE(d.IsFetching());
    EXPECT_EQ(d.focusWidget(), viewer.Edit(IDC_NAMES));
    QTest::keyClick(viewer.Edit(IDC_NAMES), Qt::Key_Return);
    ASSERT_EQ(prompts.texts.size(), 6);
    EXPECT_EQ(prompts.texts[4], QString::fromUtf8(kNameListEmptyMessage.data()));
    EXPECT_EQ(prompts.texts[5], prompts.texts[4]);
    EXPECT_EQ(Access(d).m_pPosts->data()[0].nFloor, 77);
    EXPECT_TRUE(forum.RequestedPaths().empty());

    // Esc closes nothing, wherever the focus is.
    for (QWidget* pFocus : std::initializer_list<QWidget*>{
             viewer.Edit(IDC_URL), viewer.Edit(IDC_NAMES), Access(d).m_btnGo}) {
        pFocus->setFocus();
        QTest::keyClick(pFocus, Qt::Key_Escape);
        EXPECT_TRUE(d.isVisible());
    }
}

TEST_F(ViewerDialogTest, ARetrievalShowsThePageAndTheFiltersRecomposeItWithoutDownloading) {
    Viewer viewer(forum);
    ViewerDialog& d = viewer.dialog;
    viewer.StartFetch(Thread("/look,600519,1000001.html"));
    EXPECT_TRUE(d.IsFetching());
    EXPECT_FALSE(Access(d).m_btnGo->isEnabled());
    EXPECT_EQ(d.cursor().shape(), Qt::BusyCursor);
    ASSERT_TRUE(viewer.Done());
    EXPECT_TRUE(Access(d).m_btnGo->isEnabled());
    EXPECT_EQ(Access(d).m_bLoaded, 1);
    EXPECT_EQ(Access(d).m_bMenuDirty, 1);
    EXPECT_GT(Access(d).m_nLastIndex, 10);
    EXPECT_STREQ(Access(d).m_results.szBoardCode, "600519");
    EXPECT_EQ(d.cursor().shape(), Qt::ArrowCursor);
    EXPECT_TRUE(d.windowTitle().startsWith(QStringLiteral("vesk辅助查看器 ")));
    EXPECT_EQ(Access(d).m_browser->Url(),
              QUrl::fromLocalFile(QString::fromStdString(Access(d).m_strOutputPath)));

    const QString all = viewer.Page();
    const int nPosts = Access(d).m_nLastIndex + 1;
    EXPECT_EQ(all.count("<tr><td><div style="), nPosts);
    const QString starter = QString::fromStdString(*GbkToUtf8(Access(d).m_results.szStarter));
    const std::size_t nRequests = forum.RequestedPaths().size();

    QTest::mouseClick(viewer.Radio(IDC_ONLY_STARTER), Qt::LeftButton);
    const QString only = viewer.Page();
    EXPECT_GT(only.count("color:red;"), 0);
    EXPECT_EQ(only.count("<tr><td><div style="), only.count("color:red;"));
    EXPECT_EQ(only.count("color:red;"), all.count("color:red;"));

    // The partial mode composes only at Enter; an item that GB2312 cannot hold matches nobody
    // while the others still match.
    QTest::mouseClick(viewer.Radio(IDC_PARTIAL), Qt::LeftButton);
    EXPECT_EQ(viewer.Page(), only);
    viewer.Enter(IDC_NAMES, QStringLiteral("😀,") + starter);
    EXPECT_EQ(viewer.Page().count("<tr><td><div style="), only.count("color:red;"));
    viewer.Enter(IDC_NAMES, QStringLiteral("😀"));
    EXPECT_EQ(viewer.Page().count("<tr><td><div style="), 0);

    QTest::mouseClick(viewer.Radio(IDC_SHOW_ALL), Qt::LeftButton);
    EXPECT_EQ(viewer.Page(), all);
    EXPECT_FALSE(viewer.Edit(IDC_NAMES)->isVisible());
    EXPECT_EQ(forum.RequestedPaths().size(), nRequests);
}

TEST_F(ViewerDialogTest, FiltersDuringARetrievalWaitForItsAnswerWhichComesEvenInAMessageBox) {
    Viewer viewer(forum);
    ViewerDialog& d = viewer.dialog;
    ASSERT_TRUE(viewer.Fetch(Thread("/look,600519,1000001.html")));
    const QString before = viewer.Page();

    forum.SetLatency(150ms);
    viewer.StartFetch(Thread("/look,601318,1000002.html"));
    ASSERT_TRUE(d.IsFetching());
    QTest::mouseClick(viewer.Radio(IDC_ONLY_STARTER), Qt::LeftButton);
    EXPECT_EQ(Access(d).m_bOnlyStarter, 1);
    EXPECT_EQ(viewer.Page(), before);  // nothing composed while the table is rewritten
    // A prompt stays open until the answer has arrived and brought the go button back.
    Prompts prompts;
    bool bEnabledUnderPrompt = false;
    prompts.closeWhen = [&] { return bEnabledUnderPrompt = Access(d).m_btnGo->isEnabled(); };
    QTest::mouseClick(viewer.Radio(IDC_PARTIAL), Qt::LeftButton);
    viewer.Enter(IDC_NAMES, QString());
    EXPECT_TRUE(bEnabledUnderPrompt);
    EXPECT_FALSE(d.IsFetching());
    EXPECT_STREQ(Access(d).m_results.szBoardCode, "601318");
    QTest::mouseClick(viewer.Radio(IDC_ONLY_STARTER), Qt::LeftButton);
    EXPECT_NE(viewer.Page(), before);
    EXPECT_EQ(viewer.Page().count("<tr><td><div style="), viewer.Page().count("color:red;"));
}

TEST_F(ViewerDialogTest, NoPostsOrNoSessionLeaveThePageAsItWasAndTheGoButtonEnabled) {
    Viewer viewer(forum);
    ViewerDialog& d = viewer.dialog;
    ASSERT_TRUE(viewer.Fetch(Thread("/look,600519,9999999.html")));  // not there: no post
    EXPECT_EQ(Access(d).m_bLoaded, 1);
    EXPECT_EQ(Access(d).m_nLastIndex, -1);
    EXPECT_TRUE(Access(d).m_btnGo->isEnabled());
    EXPECT_TRUE(viewer.Page().isEmpty());
    EXPECT_EQ(Access(d).m_browser->Url().scheme(), QStringLiteral("qrc"));

    ASSERT_TRUE(viewer.Fetch(Thread("/look,600519,1000001.html")));
    const QString page = viewer.Page();
    // The internet session could not be opened: the message, then the empty state, in which
    // the filters compose nothing.
    Prompts prompts;
    Access(d).m_btnGo->setEnabled(false);
    QCoreApplication::postEvent(&d, new FetchEvent(FetchEvent::kNotify, 0, -1));
    ASSERT_TRUE(Soon([&] { return !prompts.texts.isEmpty(); }));
    EXPECT_EQ(prompts.texts[0], QString::fromUtf8(kRetrievalFailedMessage.data()));
    EXPECT_EQ(Access(d).m_nLastIndex, -1);
    EXPECT_TRUE(Access(d).m_btnGo->isEnabled());
    QTest::mouseClick(viewer.Radio(IDC_ONLY_STARTER), Qt::LeftButton);
    EXPECT_EQ(viewer.Page(), page);
}

TEST_F(ViewerDialogTest, ClosingDuringAStalledRetrievalEndsAtOnce) {
    forum.SetFault("/look,600519,1000001_2.html", {200, 3000ms});
    auto pViewer = std::make_unique<Viewer>(forum);
    pViewer->StartFetch(Thread("/look,600519,1000001.html"));
    ASSERT_TRUE(Soon([&] { return forum.RequestedPaths().size() >= 2; }));
    const auto start = std::chrono::steady_clock::now();
    pViewer->dialog.close();
    pViewer.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    QTest::qWait(100);  // nothing arrives for the window that is gone
}

// The bar says how a reading ended (with a read-again action where that helps) and that a filter
// shows nobody, the page moving under it; Enter in the address edit reads, and reads again.
TEST_F(ViewerDialogTest, TheBarSaysHowAReadingEndedAndEnterReadsAgain) {
    Viewer viewer(forum);
    ViewerDialog& d = viewer.dialog;
    const int nBrowserTop = Access(d).m_browser->geometry().top();
    forum.SetFault("/look,300750,1000003_7.html", {500, 0ms});
    viewer.Type(IDC_URL, Address("/look,300750,1000003.html"));
    // First with the mouse on the go button, then with Enter where the focus was left.
    for (int nReading = 1; nReading <= 2; ++nReading) {
        if (nReading == 1) {
            QTest::mouseClick(Access(d).m_btnGo, Qt::LeftButton);
        } else {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        }
        ASSERT_TRUE(d.IsFetching()) << nReading;
        EXPECT_TRUE(viewer.Bar().isHidden());
        EXPECT_EQ(Access(d).m_browser->geometry().top(), nBrowserTop);
        ASSERT_TRUE(viewer.Done());
        EXPECT_EQ(viewer.Bar().Text(),
                  QStringLiteral("第7页读取失败（HTTP 500），只显示了前6页的300帖"));
        EXPECT_EQ(viewer.Bar().ActionText(), QStringLiteral("重新读取"));
        EXPECT_EQ(Access(d).m_browser->geometry().top(), viewer.Bar().geometry().bottom() + 5);
        EXPECT_EQ(Access(d).m_browser->geometry().bottom() + 1, d.height() - 8);
        ASSERT_EQ(d.focusWidget(), viewer.Edit(IDC_URL)) << "Enter would open the pop-up";
    }
    EXPECT_GE(forum.RequestedPaths().size(), 14u);

    QTest::mouseClick(viewer.Radio(IDC_PARTIAL), Qt::LeftButton);
    const QString starter = QString::fromStdString(*GbkToUtf8(Access(d).m_results.szStarter));
    // Names are matched as typed: a blank before one is part of it.
    for (const QString& names : {QStringLiteral("nobody"), QStringLiteral("nobody, ") + starter}) {
        viewer.Enter(IDC_NAMES, names);
        EXPECT_FALSE(viewer.Bar().isHidden()) << names.toStdString();
        EXPECT_EQ(viewer.Bar().Text(), QStringLiteral("没有符合的帖子"));
    }
    // The input method's full-width comma separates names too.
    viewer.Enter(IDC_NAMES, QStringLiteral("nobody，") + starter);
    EXPECT_TRUE(viewer.Bar().isHidden());
    EXPECT_EQ(Access(d).m_browser->geometry().top(), nBrowserTop);

    // A first page that fails says why; its action reads again, now with the forum back.
    forum.SetFault("/look,300750,1000003_1.html", {404, 0ms});
    ASSERT_TRUE(viewer.Fetch(Thread("/look,300750,1000003.html")));
    EXPECT_EQ(viewer.Bar().Text(), QStringLiteral("没有读到帖子：第1页读取失败（HTTP 404）"));
    forum.SetFault("/look,300750,1000003_1.html", {200, 0ms});
    forum.SetFault("/look,300750,1000003_7.html", {200, 0ms});
    viewer.Bar().findChild<QPushButton*>()->click();
    ASSERT_TRUE(viewer.Done());
    EXPECT_EQ(viewer.Bar().Text(), QStringLiteral("本帖至少有40页，只显示了前40页的2000帖。"
                                                  "本帖已在帖子库中，2000 条未读"));
}

// A filter switch keeps the post at the top of the view in view when it is still shown; a new
// thread opens at its top.
TEST_F(ViewerDialogTest, AFilterSwitchKeepsTheTopPostAndANewThreadOpensAtItsTop) {
    Viewer viewer(forum);
    ViewerDialog& d = viewer.dialog;
    QWebEngineView* pView = Access(d).m_browser->View();
    // The rows of the page once it has loaded whole (its pictures too, which move what follows).
    const auto rows = [&] {
        return Evaluate(pView, QStringLiteral("document.readyState == 'complete' ? "
                                              "document.querySelector('table').rows.length : 0"))
            .toInt();
    };
    const QString topRow = QStringLiteral(
        "(function(){var r=document.querySelector('table').rows;for(var i=1;i<r.length;i++){"
        "if(r[i].getBoundingClientRect().bottom>1)return r[i].cells[0].querySelector('div>div')"
        ".textContent;}return '';})()");
    ASSERT_TRUE(viewer.Fetch(Thread("/look,600519,1000001.html")));
    ASSERT_TRUE(Soon([&] { return rows() == 124; }));
    // The 20th of the starter's posts at the top.
    const QString post =
        Evaluate(pView, QStringLiteral("(function(){var d=document.querySelectorAll("
                                       "'td>div[style^=\"color:red\"]')[19];"
                                       "d.scrollIntoView();return d.firstChild.textContent;})()"))
            .toString();
    ASSERT_EQ(Evaluate(pView, topRow).toString(), post);
    QTest::mouseClick(viewer.Radio(IDC_ONLY_STARTER), Qt::LeftButton);
    ASSERT_TRUE(Soon([&] { return rows() < 124 && rows() > 1; }));
    EXPECT_TRUE(QTest::qWaitFor([&] { return Evaluate(pView, topRow).toString() == post; }, 5000))
        << Evaluate(pView, topRow).toString().toStdString();
    ASSERT_TRUE(viewer.Fetch(Thread("/look,601318,1000002.html")));
    ASSERT_TRUE(Soon([&] { return Evaluate(pView, topRow).toString() != post && rows() > 1; }));
    EXPECT_EQ(Evaluate(pView, QStringLiteral("window.scrollY")).toInt(), 0);
}

// A second viewer on the same folder writes a page of its own; a command that finds no browser
// shows its address for copying.
TEST_F(ViewerDialogTest, TwoViewersKeepTheirPagesAndACommandWithoutABrowserShowsItsAddress) {
    QTemporaryDir folder;
    ViewerDialog first(Viewer::Settings(forum), folder.path());
    ViewerDialog second(Viewer::Settings(forum), folder.path());
    EXPECT_EQ(QFileInfo(QString::fromStdString(Access(first).m_strOutputPath)).fileName(),
              "post.htm");
    EXPECT_NE(Access(second).m_strOutputPath, Access(first).m_strOutputPath);
    EXPECT_EQ(QFileInfo(QString::fromStdString(Access(second).m_strOutputPath)).path(),
              QFileInfo(QString::fromStdString(Access(first).m_strOutputPath)).path());
    // A folder nobody may write, root neither: the pages go to the user's data folder instead.
    const ShownPage elsewhere(QStringLiteral("/proc/self"));
    EXPECT_EQ(QFileInfo(QString::fromStdString(elsewhere.OutputPath())).path(),
              QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation));
    platform::SetShellOpenHookForTesting([](const QUrl&) { return false; });
    Access(second).OnHelpPage();
    platform::SetShellOpenHookForTesting({});
    EXPECT_EQ(Access(second).m_pBar->Text(), QStringLiteral("无法打开浏览器，请复制地址："));
    EXPECT_TRUE(Access(second).m_pBar->Detail().startsWith(QStringLiteral("file:///")));
}

// F5 brings the kept thread up to date, Ctrl+L selects the address, Ctrl+F finds in the page; the
// window cannot be made so small that a control is lost.
TEST_F(ViewerDialogTest, TheReadersKeysAndTheSmallestWindow) {
    Viewer viewer(forum);
    ViewerDialog& d = viewer.dialog;
    ASSERT_TRUE(viewer.Fetch(Thread("/look,600519,1000001.html")));
    viewer.Radio(IDC_SHOW_ALL)->setFocus();
    QTest::keyClick(&d, Qt::Key_F5);
    EXPECT_TRUE(d.IsFetching());
    ASSERT_TRUE(viewer.Done());
    // The thread is kept: F5 brought it up to date through the library.
    ASSERT_TRUE(Soon([&] { return viewer.Bar().Text() == "没有新帖"; }));
    viewer.Bar().hide();
    QTest::keyClick(&d, Qt::Key_L, Qt::ControlModifier);
    EXPECT_EQ(d.focusWidget(), viewer.Edit(IDC_URL));
    EXPECT_EQ(viewer.Edit(IDC_URL)->selectedText(), viewer.Edit(IDC_URL)->text());
    QTest::keyClick(&d, Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(d.focusWidget(), Access(d).m_browser->FindEdit());
    d.resize(10, 10);
    EXPECT_GE(d.width(), Access(d).m_btnMenu->geometry().right() + 120);
    EXPECT_GE(Access(d).m_browser->height(), 100);
}

}  // namespace
}  // namespace vesk
