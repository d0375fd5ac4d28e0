// Menu 130's pop-up on screen, measured and painted by the menu itself.

#include "device_context.h"
#include "lumo_menu.h"
#include "popup_menu.h"
#include "system.h"
#include "viewer_resources.h"

#include <gtest/gtest.h>

#include <QTest>
#include <QTimer>
#include <QWidget>

namespace vesk {
namespace {

using namespace platform;

// The owner answers typed characters as the image button does.
class MenuCharOwner final : public PopupMenuOwner {
public:
    LRESULT OnMenuChar(UINT nChar, UINT nFlags, HMENU hMenu) override {
        return LumoMenu::HandleMenuChar(nChar, nFlags, CMenu::FromHandle(hMenu));
    }
};

TEST(LumoMenuPopupTest, Menu130OpensInTheFlatLookAndIsChosenFrom) {
    res::RegisterViewerResources();
    LumoMenu::drawModeOther = 1;
    LumoMenu menu;
    ASSERT_TRUE(menu.LoadTemplate(res::IDR_POPUP));
    auto* pPopup = dynamic_cast<LumoMenu*>(menu.SubMenuAt(0));
    ASSERT_NE(pPopup, nullptr);
    ASSERT_TRUE(pPopup->ModifyItem(32774, u"&Help"));
    MenuCharOwner owner;

    QImage before;
    QImage after;
    QSize size;
    QTimer::singleShot(0, [&] {
        QWidget* pWindow = ActivePopupMenuWindow();
        ASSERT_NE(pWindow, nullptr);
        size = pWindow->size();
        before = pWindow->grab().toImage();
        QTest::keyClick(pWindow, Qt::Key_Down);
        after = pWindow->grab().toImage();
        QTest::keyClicks(pWindow, "H");
    });
    const int nChosen = TrackPopupMenu(
        pPopup->m_hMenu, TPM_LEFTALIGN | TPM_RIGHTBUTTON | TPM_NONOTIFY | TPM_RETURNCMD, 50, 50, 0,
        &owner);
    LumoMenu::drawModeOther = 0;
    EXPECT_EQ(nChosen, 32774);

    // Four text items of max(SM_CYMENU, 22) and a separator of max(SM_CYMENU / 2, 11), framed.
    const int nItem = std::max(GetSystemMetrics(SM_CYMENU), 22);
    const int nSeparator = std::max(GetSystemMetrics(SM_CYMENU) / 2, 11);
    EXPECT_EQ(size.height(), 4 * nItem + nSeparator + 2);
    ASSERT_FALSE(before.isNull());
    ASSERT_FALSE(after.isNull());
    const auto at = [](const QImage& image, int x, int y) { return FromQRgb(image.pixel(x, y)); };
    const COLORREF strip = LumoMenu::BlendTowardWhite(GetSysColor(COLOR_BTNFACE), 0.25);
    const COLORREF selection = LumoMenu::BlendTowardWhite(GetSysColor(COLOR_HIGHLIGHT), 0.85);
    // Unselected: the tinted strip on the left, the window colour behind the text.
    EXPECT_EQ(at(before, 10, 1 + nItem / 2), strip);
    EXPECT_EQ(at(before, size.width() - 4, 1 + nItem / 2), GetSysColor(COLOR_WINDOW));
    // Down selects the first item: filled with the selection colour inside a highlight frame;
    // the second item is untouched.
    EXPECT_EQ(at(after, 10, 1 + nItem / 2), selection);
    EXPECT_EQ(at(after, 10, 1), GetSysColor(COLOR_HIGHLIGHT));
    EXPECT_EQ(at(after, 10, 1 + nItem + nItem / 2), strip);
}

}  // namespace
}  // namespace vesk
