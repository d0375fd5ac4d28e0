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
    EXPECT_EQ(GetMenuItemCount(tree.hRoot), 3);
    EXPECT_EQ(GetMenuItemCount(HMENU{12345}), -1);
    const UINT ids[] = {10u, 0u, kNotFound, kNotFound};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(GetMenuItemID(tree.hRoot, i), ids[i]) << i;
    }
    EXPECT_EQ(GetSubMenu(tree.hRoot, 2), tree.hInner);
    EXPECT_EQ(GetSubMenu(tree.hRoot, 0), kNoMenu);
    EXPECT_EQ(GetMenuState(tree.hRoot, 1, MF_BYPOSITION), MF_SEPARATOR);
    // A pop-up item: its item count in the high byte, its flags' low byte below.
    EXPECT_EQ(GetMenuState(tree.hRoot, 2, MF_BYPOSITION), 2u << 8 | MF_POPUP);
    EXPECT_EQ(GetMenuState(tree.hRoot, 7, MF_BYPOSITION), kNotFound);
    EXPECT_EQ(GetMenuState(tree.hRoot, 21, MF_BYCOMMAND), MF_OWNERDRAW | MF_CHECKED);
    EXPECT_EQ(GetMenuItemData(tree.hRoot, 21, MF_BYCOMMAND),
              reinterpret_cast<ULONG_PTR>(&tree.nData));
    EXPECT_EQ(GetMenuState(tree.hRoot, 99, MF_BYCOMMAND), kNotFound);
    // Inserting before a command goes into the pop-up that holds it.
    ASSERT_TRUE(InsertMenuW(tree.hRoot, 21, MF_STRING, 30, u"Thirty"));
    EXPECT_EQ(GetMenuItemID(tree.hInner, 1), 30u);
    ASSERT_TRUE(RemoveMenu(tree.hRoot, 20, MF_BYCOMMAND));
    EXPECT_EQ(GetMenuItemID(tree.hInner, 0), 30u);
    EXPECT_FALSE(RemoveMenu(tree.hRoot, 20, MF_BYCOMMAND));
    EXPECT_FALSE(InsertMenuW(tree.hRoot, 99, MF_STRING, 31, u"x"));
    // By position, past the end appends.
    ASSERT_TRUE(InsertMenuW(tree.hRoot, 0, MF_BYPOSITION, 1, u"a"));
    ASSERT_TRUE(InsertMenuW(tree.hRoot, 50, MF_BYPOSITION, 4, u"d"));
    EXPECT_EQ(GetMenuItemID(tree.hRoot, 0), 1u);
    EXPECT_EQ(GetMenuItemID(tree.hRoot, 4), 4u);
    EXPECT_FALSE(InsertMenuW(tree.hRoot, 0, MF_BYPOSITION | MF_POPUP, 777, u"no such pop-up"));
}

TEST(MenuModelTest, ReadsTextOfStringItemsOnly) {
    Tree tree;
    char16_t wide[16];
    EXPECT_EQ(GetMenuStringW(tree.hRoot, 0, nullptr, 0, MF_BYPOSITION), 3);
    EXPECT_EQ(GetMenuStringW(tree.hRoot, 0, wide, 3, MF_BYPOSITION), 2);
    EXPECT_EQ(std::u16string(wide), u"Te");
    // Owner-drawn items and separators have no text of the menu's.
    EXPECT_EQ(GetMenuStringW(tree.hRoot, 21, wide, 16, MF_BYCOMMAND), 0);
    EXPECT_EQ(GetMenuStringW(tree.hRoot, 1, wide, 16, MF_BYPOSITION), 0);
    ASSERT_TRUE(ModifyMenuA(tree.hRoot, 0, MF_BYPOSITION | MF_STRING, 10, "\xB0\xEF\xD6\xFA"));
    char narrow[16];
    EXPECT_EQ(GetMenuStringA(tree.hRoot, 10, narrow, 16, MF_BYCOMMAND), 4);
    EXPECT_STREQ(narrow, "\xB0\xEF\xD6\xFA");  // 帮助
    EXPECT_EQ(GetMenuStringW(tree.hRoot, 10, wide, 16, MF_BYCOMMAND), 2);
    EXPECT_EQ(std::u16string(wide), u"帮助");
}

// Modifying a pop-up item into another destroys the pop-up, removing it does not; destroying a
// menu destroys its pop-ups, and no new menu takes an old handle.
TEST(MenuModelTest, WhatDestroysAPopup) {
    const std::size_t nBefore = LiveMenuCount();
    {
        Tree tree;
        ASSERT_TRUE(
            ModifyMenuW(tree.hRoot, 2, MF_BYPOSITION | MF_POPUP, ToId(tree.hInner), u"Same"));
        EXPECT_TRUE(IsMenu(tree.hInner));
        ASSERT_TRUE(ModifyMenuW(tree.hRoot, 2, MF_BYPOSITION | MF_STRING, 40, u"Forty"));
        EXPECT_FALSE(IsMenu(tree.hInner));
        const HMENU hPopup = CreatePopupMenu();
        AppendMenuW(tree.hRoot, MF_POPUP, ToId(hPopup), u"P");
        ASSERT_TRUE(RemoveMenu(tree.hRoot, 3, MF_BYPOSITION));
        EXPECT_TRUE(IsMenu(hPopup));
        DestroyMenu(hPopup);
    }
    const HMENU hRoot = CreateMenu();
    const HMENU hInner = CreatePopupMenu();
    const HMENU hDeep = CreatePopupMenu();
    AppendMenuW(hInner, MF_POPUP, ToId(hDeep), u"deep");
    AppendMenuW(hRoot, MF_POPUP, ToId(hInner), u"inner");
    EXPECT_EQ(LiveMenuCount(), nBefore + 3);
    EXPECT_TRUE(DestroyMenu(hRoot));
    EXPECT_EQ(LiveMenuCount(), nBefore);
    EXPECT_FALSE(IsMenu(hRoot) || IsMenu(hDeep) || DestroyMenu(hRoot));
    const HMENU hNew = CreateMenu();
    EXPECT_TRUE(hNew != hRoot && hNew != hDeep);
    DestroyMenu(hNew);
}

// An object is found by its handle while attached; it destroys what is attached when it goes,
// not what was detached.
TEST(CMenuTest, ObjectsAttachToHandles) {
    CMenu menu;
    ASSERT_TRUE(menu.CreatePopupMenu());
    EXPECT_EQ(CMenu::FromHandle(menu.m_hMenu), &menu);
    EXPECT_EQ(CMenu::FromHandle(kNoMenu), nullptr);
    const HMENU hOther = CreatePopupMenu();
    menu.AppendMenu(MF_POPUP, ToId(hOther), u"other");
    EXPECT_EQ(menu.GetSubMenu(0), nullptr) << "asking makes no object";
    HMENU hGone;
    {
        CMenu other;
        ASSERT_TRUE(other.Attach(hOther));
        EXPECT_EQ(menu.GetSubMenu(0), &other);
        EXPECT_FALSE(other.Attach(hOther));
        other.Detach();
        EXPECT_EQ(CMenu::FromHandle(hOther), nullptr);
        CMenu gone;
        gone.CreateMenu();
        hGone = gone.m_hMenu;
    }
    EXPECT_TRUE(IsMenu(hOther));
    EXPECT_FALSE(IsMenu(hGone));
}

}  // namespace
}  // namespace vesk::platform
