// The viewer in a real window of a real X display: an address typed, the go button pressed, the
// result page written and shown by the web view, then a filter switched. Run under Xvfb by
// scripts/xvfb-run-test.sh.

#include "demo_forum.h"
#include "image_button.h"
#include "viewer_dialog.h"
#include "viewer_resources.h"
#include "web_browser.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QGuiApplication>
#include <QLineEdit>
#include <QRadioButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEngineView>

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

TEST(ViewerEndToEndTest, ATypedAddressBecomesTheShownPageAndAFilterChangesIt) {
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    demo::DemoForum forum;
    ASSERT_TRUE(forum.Start());
    FetchSettings settings;
    settings.strBaseAddress = forum.BaseAddress();
    QTemporaryDir folder;
    ViewerDialog dialog(settings, folder.path());
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog, 10000));
    QWebEngineView* pView = dialog.m_browser->View();
    QSignalSpy loads(pView, &QWebEngineView::loadFinished);

    auto* pEdit = static_cast<QLineEdit*>(dialog.GetDlgItem(res::IDC_URL));
    QTest::keyClicks(pEdit,
                     QString::fromStdString(forum.BaseAddress() + "/look,600519,1000001.html"));
    QTest::mouseClick(dialog.m_btnGo, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.m_bLoaded == 1; }, 20000));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return !loads.isEmpty() && pView->url().isLocalFile(); }, 20000));
    EXPECT_TRUE(QFile::exists(QString::fromStdString(dialog.m_strOutputPath)));
    QTest::qWait(500);  // painted
    const Colours all = OnScreen(dialog.m_browser);
    EXPECT_GT(all.nRed, 20);
    EXPECT_GT(all.nGreen, 20);

    loads.clear();
    QTest::mouseClick(static_cast<QRadioButton*>(dialog.GetDlgItem(res::IDC_ONLY_STARTER)),
                      Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !loads.isEmpty(); }, 20000));
    QTest::qWait(500);
    const Colours starter = OnScreen(dialog.m_browser);
    EXPECT_GT(starter.nRed, 20);
    EXPECT_EQ(starter.nGreen, 0);
}

}  // namespace
}  // namespace vesk
