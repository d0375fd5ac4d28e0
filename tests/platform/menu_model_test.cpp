#include "menu.h"

#include <gtest/gtest.h>

#include <string>

namespace vesk::platform {
namespace {

// A popup with three items: command 10, a separator, a pop-up holding commands 20 and 21.
struct Tree {
    Tree() {
        AppendMenuW(hRoot, MF_STRING, 10, u"Ten");
        AppendMenuW(hRoot, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(hInner, MF_STRING, 20, u"Twenty");
        AppendMenuW(hInner, MF_OWNERDRAW | MF_CHECKED, 21, &nData);
        AppendMenuW(hRoot, MF_POPUP, ToId(hInner), u"Inner");
    }
    ~Tree() { DestroyMenu(hRoot); }
    HMENU hRoot = CreatePopupMenu();
    HMENU hInner = CreatePopupMenu();
    int nData = 0;
};

TEST(MenuModelTest, ItemsByPositionAndCommandsInsidePopups) {
    Tree tree;
    EXPECT_EQ(GetMenuItemCount(HMENU{12345}), -1);
    EXPECT_EQ(GetMenuItemID(tree.hRoot, 3), kNotFound);
    EXPECT_EQ(GetMenuState(tree.hRoot, 7, MF_BYPOSITION), kNotFound);
    EXPECT_EQ(GetMenuState(tree.hRoot, 99, MF_BYCOMMAND), kNotFound);
    // Inserting before a command goes into the pop-up that holds it.
    ASSERT_TRUE(InsertMenuW(tree.hRoot, 21, MF_STRING, 30, u"Thirty"));
    EXPECT_EQ(GetMenuItemID(tree.hInner, 1), 30u);
    ASSERT_TRUE(RemoveMenu(tree.hRoot, 20, MF_BYCOMMAND));
    EXPECT_FALSE(RemoveMenu(tree.hRoot, 20, MF_BYCOMMAND));
    EXPECT_FALSE(InsertMenuW(tree.hRoot, 99, MF_STRING, 31, u"x"));
    // By position, past the end appends.
    ASSERT_TRUE(InsertMenuW(tree.hRoot, 50, MF_BYPOSITION, 4, u"d"));
    EXPECT_EQ(GetMenuItemID(tree.hRoot, 3), 4u);
    // Narrow text is GB2312.
    ASSERT_TRUE(ModifyMenuA(tree.hRoot, 0, MF_BYPOSITION | MF_STRING, 10, "\xB0\xEF\xD6\xFA"));
    char narrow[16];
    EXPECT_EQ(GetMenuStringA(tree.hRoot, 10, narrow, 16, MF_BYCOMMAND), 4);
    EXPECT_STREQ(narrow, "\xB0\xEF\xD6\xFA");  // 帮助
    // Modifying a pop-up item into another destroys the pop-up.
    ASSERT_TRUE(ModifyMenuW(tree.hRoot, 2, MF_BYPOSITION | MF_STRING, 40, u"Forty"));
    EXPECT_FALSE(IsMenu(tree.hInner) || DestroyMenu(tree.hInner));

    // Check-mark bitmaps are reported to a caller of the right structure size only.
    MENUITEMINFO info;
    info.fMask = MIIM_CHECKMARKS;
    info.cbSize = 48;
    EXPECT_FALSE(GetMenuItemInfo(tree.hRoot, 10, FALSE, &info));
}

// An object is found by its handle while attached, and takes no second handle.
TEST(CMenuTest, ObjectsAttachToHandles) {
    CMenu menu;
    ASSERT_TRUE(menu.CreatePopupMenu());
    EXPECT_EQ(CMenu::FromHandle(menu.m_hMenu), &menu);
    const HMENU hOther = CreatePopupMenu();
    EXPECT_FALSE(menu.Attach(hOther));
    DestroyMenu(hOther);
}

}  // namespace
}  // namespace vesk::platform
