#include "viewer_dialog.h"

#include "code_page.h"
#include "demo_forum.h"
#include "image_button.h"
#include "image_button_test_access.h"
#include "message_bar.h"
#include "request_checks.h"
#include "shell.h"
#include "viewer_dialog_test_access.h"
#include "viewer_harness.h"
#include "viewer_resources.h"
#include "web_browser.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <cstring>
#include <functional>

namespace vesk {
namespace {

using namespace std::chrono_literals;
using namespace res;

int Count(const QString& text, const QString& what) {
    return static_cast<int>(text.count(what));
}

class ViewerDialogTest : public ViewerTest {};

TEST_F(ViewerDialogTest, StartsEmptyWithTheTemplatesControlsInPlace) {
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
    viewer.Type(IDC_URL, QStringLiteral("  %1  ").arg(
                             QString::fromStdString(Thread("/look,600519,1000001.html"))));
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
    for (QWidget* pFocus : {static_cast<QWidget*>(viewer.Edit(IDC_URL)),
                            static_cast<QWidget*>(viewer.Edit(IDC_NAMES)),
                            static_cast<QWidget*>(Access(d).m_btnGo)}) {
        pFocus->setFocus();
        QTest::keyClick(pFocus, Qt::Key_Escape);
        EXPECT_TRUE(d.isVisible());
    }
}

TEST_F(ViewerDialogTest, ARetrievalShowsThePageAndTheFiltersRecomposeItWithoutDownloading) {
    Viewer viewer(forum);
    ViewerDialog& d = viewer.dialog;
    viewer.Type(IDC_URL, QString::fromStdString(Thread("/look,600519,1000001.html")));
    QTest::mouseClick(Access(d).m_btnGo, Qt::LeftButton);
    EXPECT_TRUE(d.IsFetching());
    EXPECT_FALSE(Access(d).m_btnGo->isEnabled());
    EXPECT_EQ(d.cursor().shape(), Qt::BusyCursor);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !d.IsFetching(); }, kWait));
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
    EXPECT_EQ(Count(all, "<tr><td><div style="), nPosts);
    const QString starter = QString::fromStdString(*GbkToUtf8(Access(d).m_results.szStarter));
    const std::size_t nRequests = forum.RequestedPaths().size();

    QTest::mouseClick(viewer.Radio(IDC_ONLY_STARTER), Qt::LeftButton);
    const QString only = viewer.Page();
    EXPECT_GT(Count(only, "color:red;"), 0);
    EXPECT_EQ(Count(only, "<tr><td><div style="), Count(only, "color:red;"));
    EXPECT_EQ(Count(only, "color:red;"), Count(all, "color:red;"));

    // The partial mode composes only at Enter; an item that GB2312 cannot hold matches nobody
    // while the others still match.
    QTest::mouseClick(viewer.Radio(IDC_PARTIAL), Qt::LeftButton);
    EXPECT_EQ(viewer.Page(), only);
    viewer.Type(IDC_NAMES, QStringLiteral("😀,") + starter);
    QTest::keyClick(viewer.Edit(IDC_NAMES), Qt::Key_Return);
    EXPECT_EQ(Count(viewer.Page(), "<tr><td><div style="), Count(only, "color:red;"));
    viewer.Type(IDC_NAMES, QStringLiteral("😀"));
    QTest::keyClick(viewer.Edit(IDC_NAMES), Qt::Key_Return);
    EXPECT_EQ(Count(viewer.Page(), "<tr><td><div style="), 0);

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
    viewer.Type(IDC_URL, QString::fromStdString(Thread("/look,601318,1000002.html")));
    QTest::mouseClick(Access(d).m_btnGo, Qt::LeftButton);
    ASSERT_TRUE(d.IsFetching());
    QTest::mouseClick(viewer.Radio(IDC_ONLY_STARTER), Qt::LeftButton);
    EXPECT_EQ(Access(d).m_bOnlyStarter, 1);
    EXPECT_EQ(viewer.Page(), before);  // nothing composed while the table is rewritten
    // A prompt stays open until the answer has arrived and brought the go button back.
    Prompts prompts;
    bool bEnabledUnderPrompt = false;
    prompts.closeWhen = [&] { return bEnabledUnderPrompt = Access(d).m_btnGo->isEnabled(); };
    QTest::mouseClick(viewer.Radio(IDC_PARTIAL), Qt::LeftButton);
    viewer.Type(IDC_NAMES, QString());
    QTest::keyClick(viewer.Edit(IDC_NAMES), Qt::Key_Return);
    EXPECT_TRUE(bEnabledUnderPrompt);
    EXPECT_FALSE(d.IsFetching());
    EXPECT_STREQ(Access(d).m_results.szBoardCode, "601318");
    QTest::mouseClick(viewer.Radio(IDC_ONLY_STARTER), Qt::LeftButton);
    EXPECT_NE(viewer.Page(), before);
    EXPECT_EQ(Count(viewer.Page(), "<tr><td><div style="), Count(viewer.Page(), "color:red;"));
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
    ASSERT_TRUE(QTest::qWaitFor([&] { return !prompts.texts.isEmpty(); }, kWait));
    EXPECT_EQ(prompts.texts[0], QString::fromUtf8(kRetrievalFailedMessage.data()));
    EXPECT_EQ(Access(d).m_nLastIndex, -1);
    EXPECT_TRUE(Access(d).m_btnGo->isEnabled());
    QTest::mouseClick(viewer.Radio(IDC_ONLY_STARTER), Qt::LeftButton);
    EXPECT_EQ(viewer.Page(), page);
}

TEST_F(ViewerDialogTest, ClosingDuringAStalledRetrievalEndsAtOnce) {
    forum.SetFault("/look,600519,1000001_2.html", {200, 3000ms});
    auto pViewer = std::make_unique<Viewer>(forum);
    pViewer->Type(IDC_URL, QString::fromStdString(Thread("/look,600519,1000001.html")));
    QTest::mouseClick(Access(pViewer->dialog).m_btnGo, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return forum.RequestedPaths().size() >= 2; }, kWait));
    const auto start = std::chrono::steady_clock::now();
    pViewer->dialog.close();
    pViewer.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    QTest::qWait(100);  // nothing arrives for the window that is gone
}

TEST_F(ViewerDialogTest, ResizingKeepsTheStretchedControlsEightPixelsFromTheEdges) {
    Viewer viewer(forum);
    ViewerDialog& d = viewer.dialog;
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

// The bar says how a reading ended, with the action that reads again where that may help, and
// that a filter shows nobody; the page moves down under it and back. Enter in the address edit
// reads, and reads again: the focus stays there, also after a click on the go button.
TEST_F(ViewerDialogTest, TheBarSaysHowAReadingEndedAndEnterReadsAgain) {
    Viewer viewer(forum);
    ViewerDialog& d = viewer.dialog;
    const int nBrowserTop = Access(d).m_browser->geometry().top();
    forum.SetFault("/look,300750,1000003_7.html", {500, 0ms});
    viewer.Type(IDC_URL, QString::fromStdString(Thread("/look,300750,1000003.html")));
    // First with the mouse on the go button, then with Enter where the focus was left.
    for (int nReading = 1; nReading <= 2; ++nReading) {
        if (nReading == 1) {
            QTest::mouseClick(Access(d).m_btnGo, Qt::LeftButton);
        } else {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        }
        ASSERT_TRUE(d.IsFetching()) << nReading;
        EXPECT_TRUE(Access(d).m_pBar->isHidden());
        EXPECT_EQ(Access(d).m_browser->geometry().top(), nBrowserTop);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !d.IsFetching(); }, kWait));
        EXPECT_EQ(Access(d).m_pBar->Text(),
                  QStringLiteral("第7页读取失败（HTTP 500），只显示了前6页的300帖"));
        EXPECT_EQ(Access(d).m_pBar->ActionText(), QStringLiteral("重新读取"));
        EXPECT_EQ(Access(d).m_browser->geometry().top(), Access(d).m_pBar->geometry().bottom() + 5);
        EXPECT_EQ(Access(d).m_browser->geometry().bottom() + 1, d.height() - 8);
        ASSERT_EQ(d.focusWidget(), viewer.Edit(IDC_URL)) << "Enter would open the pop-up";
    }
    EXPECT_GE(forum.RequestedPaths().size(), 14u);

    QTest::mouseClick(viewer.Radio(IDC_PARTIAL), Qt::LeftButton);
    const QString starter = QString::fromStdString(*GbkToUtf8(Access(d).m_results.szStarter));
    // Names are matched as typed: a blank before one is part of it.
    for (const QString& names : {QStringLiteral("nobody"), QStringLiteral("nobody, ") + starter}) {
        viewer.Type(IDC_NAMES, names);
        QTest::keyClick(viewer.Edit(IDC_NAMES), Qt::Key_Return);
        EXPECT_FALSE(Access(d).m_pBar->isHidden()) << names.toStdString();
        EXPECT_EQ(Access(d).m_pBar->Text(), QStringLiteral("没有符合的帖子"));
    }
    // The input method's full-width comma separates names too.
    viewer.Type(IDC_NAMES, QStringLiteral("nobody，") + starter);
    QTest::keyClick(viewer.Edit(IDC_NAMES), Qt::Key_Return);
    EXPECT_TRUE(Access(d).m_pBar->isHidden());
    EXPECT_EQ(Access(d).m_browser->geometry().top(), nBrowserTop);

    // A first page that fails says why; its action reads again, now with the forum back.
    forum.SetFault("/look,300750,1000003_1.html", {404, 0ms});
    ASSERT_TRUE(viewer.Fetch(Thread("/look,300750,1000003.html")));
    EXPECT_EQ(Access(d).m_pBar->Text(), QStringLiteral("没有读到帖子：第1页读取失败（HTTP 404）"));
    forum.SetFault("/look,300750,1000003_1.html", {200, 0ms});
    forum.SetFault("/look,300750,1000003_7.html", {200, 0ms});
    Access(d).m_pBar->findChild<QPushButton*>()->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !d.IsFetching(); }, kWait));
    EXPECT_EQ(Access(d).m_pBar->Text(), QStringLiteral("本帖至少有40页，只显示了前40页的2000帖"));
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
    ASSERT_TRUE(QTest::qWaitFor([&] { return rows() == 124; }, kWait));
    // The 20th of the starter's posts at the top.
    const QString post =
        Evaluate(pView, QStringLiteral("(function(){var d=document.querySelectorAll("
                                       "'td>div[style^=\"color:red\"]')[19];"
                                       "d.scrollIntoView();return d.firstChild.textContent;})()"))
            .toString();
    ASSERT_EQ(Evaluate(pView, topRow).toString(), post);
    QTest::mouseClick(viewer.Radio(IDC_ONLY_STARTER), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return rows() < 124 && rows() > 1; }, kWait));
    EXPECT_TRUE(QTest::qWaitFor([&] { return Evaluate(pView, topRow).toString() == post; }, 5000))
        << Evaluate(pView, topRow).toString().toStdString();
    ASSERT_TRUE(viewer.Fetch(Thread("/look,601318,1000002.html")));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return Evaluate(pView, topRow).toString() != post && rows() > 1; }, kWait));
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
    ASSERT_TRUE(QTest::qWaitFor([&] { return !d.IsFetching(); }, kWait));
    // The thread is kept: F5 brought it up to date through the library.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return Access(d).m_pBar->Text() == QStringLiteral("没有新帖"); }, kWait));
    Access(d).m_pBar->hide();
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
