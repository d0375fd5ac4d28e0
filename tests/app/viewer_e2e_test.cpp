// The viewer in a real X display: a typed address shown, a filter switched, the pop-up chosen
// from with the mouse (the thread handed to the shell, the About box opened and closed). Run
// under Xvfb by scripts/xvfb-run-test.sh; VESK_SCREENSHOT_DIR, when set, gets screenshots.

#include "about_dialog.h"
#include "image_button_test_access.h"
#include "popup_menu.h"
#include "shell.h"
#include "system.h"
#include "viewer_harness.h"

#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>

namespace vesk {
namespace {

// The pixels of the web view's area as the screen shows them, counted by colour: the starter's
// floors are red, the others green.
struct Colours {
    int nRed = 0;
    int nGreen = 0;
};

Colours OnScreen(const QWidget* pArea) {
    const QImage shot =
        pArea->screen()
            ->grabWindow(0, pArea->mapToGlobal(QPoint()).x(), pArea->mapToGlobal(QPoint()).y(),
                         pArea->width(), pArea->height())
            .toImage();
    Colours colours;
    for (int y = 0; y < shot.height(); ++y) {
        for (int x = 0; x < shot.width(); ++x) {
            const QColor c = shot.pixelColor(x, y);
            colours.nRed += c.red() > 200 && c.green() < 80 && c.blue() < 80 ? 1 : 0;
            // #42B475 and its anti-aliased edges
            colours.nGreen += c.green() > 150 && c.red() < 120 && c.blue() < 150 ? 1 : 0;
        }
    }
    return colours;
}

// Saves the screen around a window when VESK_SCREENSHOT_DIR is set.
void SaveShot(const QWidget* pWindow, const char* pszName) {
    const QString folder = qEnvironmentVariable("VESK_SCREENSHOT_DIR");
    if (!folder.isEmpty()) {
        const QRect around = pWindow->window()->frameGeometry().adjusted(-40, -40, 40, 40);
        pWindow->screen()
            ->grabWindow(0, around.x(), around.y(), around.width(), around.height())
            .save(folder + QLatin1Char('/') + QLatin1String(pszName));
    }
}

// Clicks the menu button and, in the pop-up, the item at a position from the top (negative:
// from the bottom) with the mouse.
void ChooseWithTheMouse(ViewerDialog& dialog, int nPos, const char* pszShot = nullptr) {
    QTimer::singleShot(0, [&dialog, nPos, pszShot] {
        QWidget* pPopup = platform::ActivePopupMenuWindow();
        ASSERT_NE(pPopup, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(pPopup));
        const int nItem = std::max(platform::GetSystemMetrics(platform::SM_CYMENU), 22);
        const int y = nPos >= 0 ? 1 + nPos * nItem + nItem / 2
                                : pPopup->height() - 1 + nPos * nItem + nItem / 2;
        QTest::mouseMove(pPopup, QPoint(pPopup->width() / 2, y));
        QTest::qWait(100);
        if (pszShot != nullptr) {
            SaveShot(&dialog, pszShot);
        }
        QTest::mouseClick(pPopup, Qt::LeftButton, {}, QPoint(pPopup->width() / 2, y));
    });
    QTest::mouseClick(Access(dialog).m_btnMenu, Qt::LeftButton);
}

TEST(ViewerEndToEndTest, ATypedAddressBecomesTheShownPageAndAFilterChangesIt) {
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    demo::DemoForum forum;
    ASSERT_TRUE(forum.Start());
    Viewer viewer(forum);
    ViewerDialog& dialog = viewer.dialog;
    QWebEngineView* pView = viewer.View();
    QSignalSpy loads(pView, &QWebEngineView::loadFinished);

    viewer.StartFetch(forum.BaseAddress() + "/look,600519,1000001.html");
    ASSERT_TRUE(QTest::qWaitFor([&] { return Access(dialog).m_bLoaded == 1; }, 20000));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return !loads.isEmpty() && pView->url().isLocalFile(); }, 20000));
    EXPECT_TRUE(QFile::exists(QString::fromStdString(Access(dialog).m_strOutputPath)));
    QTest::qWait(500);  // painted
    const Colours all = OnScreen(Access(dialog).m_browser);
    EXPECT_GT(all.nRed, 20);
    EXPECT_GT(all.nGreen, 20);

    loads.clear();
    QTest::mouseClick(viewer.Radio(res::IDC_ONLY_STARTER), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !loads.isEmpty(); }, 20000));
    QTest::qWait(500);
    const Colours starter = OnScreen(Access(dialog).m_browser);
    EXPECT_GT(starter.nRed, 20);
    EXPECT_EQ(starter.nGreen, 0);

    // The go button lights up under the pointer and shows its tooltip; leaving ends both.
    ImageButtonTestAccess go(*Access(dialog).m_btnGo);
    QTest::mouseMove(Access(dialog).m_btnGo, Access(dialog).m_btnGo->rect().center());
    EXPECT_TRUE(QTest::qWaitFor([&] { return go.Hovering() != 0; }, 2000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return go.Tooltip()->isVisible(); }, 5000));
    EXPECT_EQ(go.Tooltip()->text(), QStringLiteral("执行提交"));
    QTest::qWait(200);  // painted
    SaveShot(&dialog, "vesk-tooltip.png");
    QTest::mouseMove(Access(dialog).m_browser, QPoint(20, 20));
    EXPECT_TRUE(QTest::qWaitFor([&] { return go.Hovering() == 0; }, 2000));
    EXPECT_FALSE(go.Tooltip()->isVisible());

    // The pop-up: "查看帖子原文" hands the thread's first page to the shell.
    std::vector<QUrl> opened;
    platform::SetShellOpenHookForTesting([&](const QUrl& url) {
        opened.push_back(url);
        return true;
    });
    ChooseWithTheMouse(dialog, 0, "vesk-popup.png");
    QTest::qWait(50);
    platform::SetShellOpenHookForTesting({});
    EXPECT_EQ(opened, std::vector<QUrl>{QUrl(QString::fromStdString(forum.BaseAddress() +
                                                                    "/look,600519,1000001.html"))});

    // "关于", the last item: the About box, closed with its button.
    bool bAboutSeen = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        auto* pAbout = qobject_cast<AboutDialog*>(QApplication::activeModalWidget());
        if (pAbout == nullptr || bAboutSeen || !pAbout->isVisible()) {
            return;
        }
        bAboutSeen = true;
        QTest::qWait(200);
        SaveShot(pAbout, "vesk-about.png");
        QTest::mouseClick(pAbout->findChild<QPushButton*>(), Qt::LeftButton);
    });
    watch.start(20);
    ChooseWithTheMouse(dialog, -1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return bAboutSeen; }, 10000));
    EXPECT_TRUE(QTest::qWaitFor([] { return QApplication::activeModalWidget() == nullptr; }, 5000));
}

}  // namespace
}  // namespace vesk
