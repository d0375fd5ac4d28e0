// The window's menu button: its set-up, the pop-up's two shapes across retrievals, and the four
// commands, with real clicks and keys on the demo forum.

#include "about_dialog.h"
#include "image_button_test_access.h"
#include "popup_menu.h"
#include "shell.h"
#include "tooltip_test_access.h"
#include "viewer_harness.h"

#include <QLabel>
#include <QPushButton>

namespace vesk {
namespace {

using namespace std::chrono_literals;
using namespace res;
using namespace platform;

// The window, with every address handed to the shell noted instead of opened.
struct MenuViewer : Viewer {
    explicit MenuViewer(demo::DemoForum& forum) : Viewer(forum) {
        SetShellOpenHookForTesting([this](const QUrl& url) {
            opened.push_back(url);
            return true;
        });
    }
    ~MenuViewer() { SetShellOpenHookForTesting({}); }
    // Opens the pop-up with a click on the menu button, notes its texts, then presses the keys
    // (Esc when none); the command chosen has been handled when this returns.
    std::vector<std::u16string> Menu(const std::vector<Qt::Key>& keys = {}) {
        std::vector<std::u16string> texts;
        QTimer::singleShot(0, [&] {
            QWidget* pPopup = ActivePopupMenuWindow();
            ASSERT_NE(pPopup, nullptr);
            for (const auto& pRecord :
                 static_cast<LumoMenu*>(
                     ImageButtonTestAccess(*Access(dialog).m_btnMenu).Menu().SubMenuAt(0))
                     ->items) {
                texts.push_back(pRecord->text.value_or(u"<none>"));
            }
            for (const Qt::Key key : keys) {
                QTest::keyClick(pPopup, key);
            }
            if (ActivePopupMenuWindow() != nullptr) {
                QTest::keyClick(pPopup, Qt::Key_Escape);
            }
        });
        QTest::mouseClick(Access(dialog).m_btnMenu, Qt::LeftButton);
        QCoreApplication::processEvents();
        return texts;
    }
    std::u16string BoardItem() const {
        return u"浏览【" + GbkToUtf16(Access(dialog).m_results.szBoardName) + u"】";
    }
    std::vector<QUrl> opened;
};

const std::vector<std::u16string> kWithoutThread = {u"帖子库",         u"夜间模式", u"无图模式",
                                                    u"更新时不取图片", u"帮助",     u"关于"};

// The pop-up with a thread of the board item given shown, the watch item as it says.
std::vector<std::u16string> WithThread(const std::u16string& board,
                                       const char16_t* pszWatch = u"关注本帖") {
    std::vector<std::u16string> texts = {u"查看帖子原文", board,       u"<none>", u"读取全帖",
                                         u"更新本帖",     u"核对全帖", pszWatch,  u"导出本帖…"};
    texts.insert(texts.end(), kWithoutThread.begin(), kWithoutThread.end());
    return texts;
}

class ViewerMenuTest : public ViewerTest {};

TEST_F(ViewerMenuTest, ThePopupShowsTheThreadItemsOnlyAfterASuccessfulRetrieval) {
    MenuViewer viewer(forum);
    ViewerDialog& d = viewer.dialog;
    // The set-up of the two buttons: the menu goes to the window, the tooltips' texts.
    EXPECT_EQ(ImageButtonTestAccess(*Access(d).m_btnMenu).MenuOwner(), &d);
    EXPECT_EQ(
        TooltipTestAccess::ToolText(*ImageButtonTestAccess(*Access(d).m_btnMenu).Tooltip(), 1),
        QStringLiteral("单击按钮，提示更多操作"));
    EXPECT_EQ(TooltipTestAccess::ToolText(*ImageButtonTestAccess(*Access(d).m_btnGo).Tooltip(), 1),
              QStringLiteral("执行提交"));
    EXPECT_TRUE(TooltipTestAccess::IsActive(*ImageButtonTestAccess(*Access(d).m_btnGo).Tooltip()));

    EXPECT_EQ(viewer.Menu(), kWithoutThread);
    EXPECT_EQ(viewer.Menu(), kWithoutThread);
    // The menu button has the focus now and with it the default role; the address edit gives
    // the role back to the go button.
    EXPECT_TRUE(ImageButtonTestAccess(*Access(d).m_btnMenu).Default());
    EXPECT_FALSE(ImageButtonTestAccess(*Access(d).m_btnGo).Default());
    d.GetDlgItem(IDC_URL)->setFocus();
    EXPECT_TRUE(ImageButtonTestAccess(*Access(d).m_btnGo).Default());
    EXPECT_FALSE(ImageButtonTestAccess(*Access(d).m_btnMenu).Default());
    EXPECT_EQ(Access(d).m_btnGo->GetStyle() & BS_TYPEMASK, BS_OWNERDRAW);

    ASSERT_TRUE(viewer.Fetch(Thread("/look,600519,1000001.html")));
    const std::u16string firstBoard = viewer.BoardItem();
    EXPECT_EQ(viewer.Menu(), WithThread(firstBoard));
    EXPECT_EQ(viewer.Menu(), WithThread(firstBoard));

    // Another board: its name is renewed once.
    ASSERT_TRUE(viewer.Fetch(Thread("/look,601318,1000002.html")));
    EXPECT_NE(viewer.BoardItem(), firstBoard);
    EXPECT_EQ(viewer.Menu(), WithThread(viewer.BoardItem()));
    // Watching the shown thread (eight items up from the bottom), and no longer.
    std::vector<Qt::Key> watch(8, Qt::Key_Up);
    watch.push_back(Qt::Key_Return);
    viewer.Menu(watch);
    EXPECT_EQ(viewer.Menu(), WithThread(viewer.BoardItem(), u"取消关注本帖"));
    viewer.Menu(watch);
    EXPECT_EQ(viewer.Menu(), WithThread(viewer.BoardItem()));

    // While a retrieval runs the thread items are gone.
    forum.SetFault("/look,600519,1000001_2.html", {200, 3000ms});
    viewer.StartFetch(Thread("/look,600519,1000001.html"));
    ASSERT_TRUE(d.IsFetching());
    EXPECT_EQ(viewer.Menu(), kWithoutThread);
}

TEST_F(ViewerMenuTest, TheCommandsOpenTheThreadTheBoardTheHelpAndTheAboutBox) {
    MenuViewer viewer(forum);
    ViewerDialog& d = viewer.dialog;
    ASSERT_TRUE(viewer.Fetch(Thread("/look,600519,1000001.html")));
    viewer.Menu({Qt::Key_Down, Qt::Key_Return});
    viewer.Menu({Qt::Key_Down, Qt::Key_Down, Qt::Key_Return});
    viewer.Menu({Qt::Key_Up, Qt::Key_Up, Qt::Key_Return});
    ASSERT_EQ(viewer.opened.size(), 3u);
    EXPECT_EQ(viewer.opened[0], QUrl(QString::fromStdString(Thread("/look,600519,1000001.html"))));
    EXPECT_EQ(viewer.opened[1], QUrl(QString::fromStdString(Thread("/topic,600519.html"))));
    // The bundled help page, written out without its way back to the start page.
    ASSERT_TRUE(viewer.opened[2].isLocalFile());
    QFile help(viewer.opened[2].toLocalFile());
    ASSERT_TRUE(help.open(QIODevice::ReadOnly));
    const QString page = QString::fromUtf8(help.readAll());
    EXPECT_TRUE(page.contains(QStringLiteral("使用帮助")));
    EXPECT_FALSE(page.contains(QStringLiteral("start.html")));
    EXPECT_TRUE(QFile::exists(viewer.folder.filePath(QStringLiteral("viewer.css"))));

    // The About box: modal over the window, closed with its button.
    QStringList labels;
    bool bWindowBlocked = false;
    bool bAboutSeen = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        auto* pAbout = qobject_cast<AboutDialog*>(QApplication::activeModalWidget());
        if (pAbout == nullptr || bAboutSeen) {
            return;
        }
        bAboutSeen = true;
        EXPECT_EQ(pAbout->windowTitle(), QStringLiteral("关于"));
        for (const QLabel* pLabel : pAbout->findChildren<QLabel*>()) {
            labels.push_back(pLabel->pixmap().isNull() ? pLabel->text() : QStringLiteral("<icon>"));
        }
        // A click on the window's go button, as the desktop delivers it, does not reach it.
        int nClicks = 0;
        const auto connection =
            QObject::connect(Access(d).m_btnGo, &QPushButton::clicked, [&] { ++nClicks; });
        QTest::mouseClick(d.windowHandle(), Qt::LeftButton, {},
                          Access(d).m_btnGo->mapTo(&d, Access(d).m_btnGo->rect().center()));
        QObject::disconnect(connection);
        bWindowBlocked = nClicks == 0 && !d.IsFetching();
        QTest::mouseClick(pAbout->findChild<QPushButton*>(), Qt::LeftButton);
    });
    watch.start(20);
    viewer.Menu({Qt::Key_Up, Qt::Key_Return});
    EXPECT_TRUE(bAboutSeen);
    EXPECT_EQ(labels,
              (QStringList{QStringLiteral("<icon>"), QStringLiteral("vesk辅助查看器 1.0716 版"),
                           QStringLiteral("意见与问题请到项目主页留言")}));
    EXPECT_TRUE(bWindowBlocked);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    // Once it has closed, a click there reaches the button again (the toolkit lifts the block
    // in its own time).
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            QTest::mouseClick(d.windowHandle(), Qt::LeftButton, {},
                              Access(d).m_btnGo->mapTo(&d, Access(d).m_btnGo->rect().center()), 50);
            return d.IsFetching();
        },
        5000));
    EXPECT_TRUE(Soon([&] { return !d.IsFetching(); }));
}

}  // namespace
}  // namespace vesk
