#include "lumo_menu.h"

#include "code_page.h"
#include "device_context.h"
#include "system.h"
#include "viewer_resources.h"

#include <gtest/gtest.h>

#include <QFontMetrics>

namespace vesk {
namespace {

using namespace platform;

// Every test starts from the program's defaults and leaves them so.
class LumoMenuTest : public ::testing::Test {
protected:
    void SetUp() override {
        res::RegisterViewerResources();
        nMenusBefore = LiveMenuCount();
    }
    void TearDown() override {
        ResetVersion();
        ResetSystemMetrics();
        ClearRegistryForTesting();
        LumoMenu::ResetSettings();
        EXPECT_TRUE(LumoMenu::ownedMenuHandles.empty());
        EXPECT_EQ(LiveMenuCount(), nMenusBefore) << "a menu was left behind";
    }

    // One record per native item, each native owner-drawn item's data naming its own record.
    static void ExpectInStep(const LumoMenu& menu) {
        ASSERT_EQ(static_cast<std::size_t>(menu.GetMenuItemCount()), menu.items.size());
        for (int i = 0; i < menu.GetMenuItemCount(); ++i) {
            const UINT nState = menu.GetMenuState(static_cast<UINT>(i), MF_BYPOSITION);
            if ((nState & MF_POPUP) == 0 && (nState & MF_OWNERDRAW) != 0) {
                EXPECT_EQ(
                    GetMenuItemData(menu.m_hMenu, static_cast<UINT>(i), MF_BYPOSITION),
                    reinterpret_cast<ULONG_PTR>(menu.items[static_cast<std::size_t>(i)].get()))
                    << "position " << i;
            }
        }
    }

    static std::vector<std::u16string> Texts(const LumoMenu& menu) {
        std::vector<std::u16string> texts;
        for (const auto& pRecord : menu.items) {
            texts.push_back(pRecord->text.value_or(u"<none>"));
        }
        return texts;
    }

    static std::vector<UINT> Commands(const LumoMenu& menu) {
        std::vector<UINT> commands;
        for (int i = 0; i < menu.GetMenuItemCount(); ++i) {
            commands.push_back(menu.GetMenuItemID(i));
        }
        return commands;
    }

    static void LoadBytes(LumoMenu& menu, const std::vector<MenuTemplateItem>& items) {
        RegisterResource(RT_MENU, std::string("TEST"), BuildMenuTemplate(items));
        ASSERT_TRUE(menu.LoadTemplate("TEST"));
    }

    std::size_t nMenusBefore = 0;
};

TEST_F(LumoMenuTest, DetectsEveryVersionCode) {
    struct Case {
        DWORD dwVersion;
        DWORD dwMajor, dwMinor;
        int nCode;
    };
    const Case cases[] = {
        {0x80000003, 3, 10, 0},  // Win32s
        {0x80000004, 4, 0, 2},   // Windows 95
        {0x80000A04, 4, 10, 3},  // Windows 98
        {0x80005A04, 4, 90, 4},  // Windows Me
        {0x05650004, 4, 0, 5},   // NT 4
        {0x08930005, 5, 0, 6},   // 2000
        {0x0A280105, 5, 1, 7},   // XP
        {0x0ECE0205, 5, 2, 1},   // Server 2003
        {0x23F00206, 6, 2, 1},   // 8 and every later system
        {0x1DB10106, 6, 1, 1},   // 7
    };
    for (const Case& c : cases) {
        SetVersionForTesting(c.dwVersion, {0, c.dwMajor, c.dwMinor, 0, 0, {}});
        EXPECT_EQ(LumoMenu::DetectOsVersion(), c.nCode) << std::hex << c.dwVersion;
    }
    ResetVersion();
    EXPECT_EQ(LumoMenu::DetectOsVersion(), 1);
    LumoMenu::settings.osVersionCode = 1;
    EXPECT_FALSE(LumoMenu::HasModernShell());
    EXPECT_FALSE(LumoMenu::IsThemedXP());
    // Not themed XP, so the other draw mode decides.
    EXPECT_FALSE(LumoMenu::IsFlatStyle());
    LumoMenu::settings.drawModeOther = 1;
    EXPECT_TRUE(LumoMenu::IsFlatStyle());
}

TEST_F(LumoMenuTest, TellsTheClassicThemeByItsFileName) {
    const auto classic = [](std::optional<std::string> value) {
        ClearRegistryForTesting();
        if (value) {
            SetRegistryKeyForTesting("Software\\Microsoft\\Plus!\\Themes\\Current", *value);
        }
        LumoMenu::settings.classicThemeComputed = FALSE;
        LumoMenu::settings.classicThemeActive = FALSE;
        return LumoMenu::IsClassicTheme();
    };
    EXPECT_FALSE(classic(std::nullopt));
    EXPECT_TRUE(classic("C:\\WINDOWS\\Resources\\Themes\\Windows Classic.theme"));
    EXPECT_TRUE(classic("c:\\themes\\WINDOWS CLASSIC.THEME"));
    EXPECT_TRUE(classic("Windows Classic.theme"));
    EXPECT_FALSE(classic("indows Classic.theme"));
    EXPECT_FALSE(classic("C:\\Themes\\Luna.theme"));
    // Longer than the 260-byte buffer: unreadable, so not classic.
    EXPECT_FALSE(classic(std::string(300, 'x') + "Windows Classic.theme"));

    // Computed once: a later change of the setting is not seen.
    EXPECT_TRUE(classic("Windows Classic.theme"));
    ClearRegistryForTesting();
    EXPECT_TRUE(LumoMenu::IsClassicTheme());

    LumoMenu::settings.osVersionCode = 7;
    EXPECT_FALSE(LumoMenu::IsThemedXP());
    EXPECT_FALSE(classic(std::nullopt));
    EXPECT_TRUE(LumoMenu::IsThemedXP());
    EXPECT_TRUE(LumoMenu::HasModernShell());
    EXPECT_TRUE(LumoMenu::IsFlatStyle());  // themed draw mode 1
}

TEST_F(LumoMenuTest, BuildsMenu130FromItsTemplate) {
    LumoMenu menu;
    menu.ReleaseAll();  // an empty menu: no harm
    EXPECT_FALSE(menu.LoadTemplate(999u));
    ASSERT_TRUE(menu.LoadTemplate(res::IDR_POPUP));
    EXPECT_TRUE(menu.builtFromTemplate);
    // The bar: one string pop-up.
    ASSERT_EQ(menu.GetMenuItemCount(), 1);
    EXPECT_EQ(menu.GetMenuState(0, MF_BYPOSITION), 5u << 8 | MF_POPUP);
    EXPECT_EQ(menu.items[0]->menuFlags, MF_BYPOSITION | MF_POPUP);
    char szText[16];
    GetMenuStringA(menu.m_hMenu, 0, szText, sizeof szText, MF_BYPOSITION);
    EXPECT_STREQ(szText, "POP");

    auto* pPopup = dynamic_cast<LumoMenu*>(menu.SubMenuAt(0));
    ASSERT_NE(pPopup, nullptr);
    EXPECT_TRUE(LumoMenu::IsOwnedMenu(pPopup));
    EXPECT_EQ(menu.subMenus, std::vector<HMENU>{pPopup->m_hMenu});
    EXPECT_FALSE(pPopup->builtFromTemplate);
    EXPECT_EQ(Commands(*pPopup), (std::vector<UINT>{32771, 32773, 0, 32774, 32775}));
    EXPECT_EQ(Texts(*pPopup),
              (std::vector<std::u16string>{u"查看帖子原文", u"浏览【】吧", u"", u"帮助", u"关于"}));
    ExpectInStep(*pPopup);
    // The separator: owner-drawn, command 0, empty text.
    EXPECT_EQ(pPopup->items[2]->menuFlags, MF_SEPARATOR | MF_OWNERDRAW);
    EXPECT_EQ(pPopup->items[2]->commandId, 0u);

    // Building again replaces the whole tree.
    const HMENU hOldPopup = pPopup->m_hMenu;
    ASSERT_TRUE(menu.LoadTemplate(res::IDR_POPUP));
    EXPECT_FALSE(IsMenu(hOldPopup));
    EXPECT_EQ(LumoMenu::ownedMenuHandles.size(), 1u);
}

TEST_F(LumoMenuTest, LinesUpAcceleratorsInTheMenuFont) {
    LumoMenu menu;
    LoadBytes(menu, {{0, 0, u"File", {{0, 1, u"Open\tCtrl+O", {}}, {0, 2, u"Exit", {}}}}});
    auto* pFile = dynamic_cast<LumoMenu*>(menu.SubMenuAt(0));
    ASSERT_NE(pFile, nullptr);

    NONCLIENTMETRICS metrics;
    metrics.cbSize = 340;
    SystemParametersInfo(SPI_GETNONCLIENTMETRICS, 340, &metrics, 0);
    const QFontMetrics font(Font(metrics.lfMenuFont).GetQFont());
    // The label is padded with blanks just to the widest label and one blank.
    const QString text = QString::fromStdU16String(*pFile->items[0]->text);
    const QString head = text.section('\t', 0, 0);
    const int nWidest = std::max(font.horizontalAdvance("Open "), font.horizontalAdvance("Exit "));
    EXPECT_TRUE(head.startsWith("Open ") && head.trimmed() == "Open") << text.toStdString();
    EXPECT_GE(font.horizontalAdvance(head), nWidest);
    EXPECT_LT(font.horizontalAdvance(head.chopped(1)), nWidest);
    EXPECT_EQ(text.section('\t', 1), "Ctrl+O");
    EXPECT_EQ(*pFile->items[1]->text, u"Exit");
    // The bar item is a plain string pop-up; the pop-up's items are owner-drawn.
    EXPECT_EQ(menu.GetMenuState(0, MF_BYPOSITION) & (MF_POPUP | MF_OWNERDRAW), MF_POPUP);
    EXPECT_NE(pFile->GetMenuState(0, MF_BYPOSITION) & MF_OWNERDRAW, 0u);
}

TEST_F(LumoMenuTest, ALastItemClosesEveryLevelItEnds) {
    LumoMenu menu;
    // A { B { 1, C { 2 } } }, 3: item 2 closes C and B at once, then 3 follows at the top.
    LoadBytes(
        menu,
        {{0, 0, u"A", {{0, 0, u"B", {{0, 1, u"one", {}}, {0, 0, u"C", {{0, 2, u"two", {}}}}}}}},
         {0, 3, u"three", {}}});
    ASSERT_EQ(menu.GetMenuItemCount(), 2);
    EXPECT_EQ(menu.GetMenuItemID(1), 3u);
    EXPECT_EQ(menu.GetMenuState(1, MF_BYPOSITION), MF_STRING);
    auto* pA = dynamic_cast<LumoMenu*>(menu.SubMenuAt(0));
    ASSERT_NE(pA, nullptr);
    ASSERT_EQ(pA->GetMenuItemCount(), 1);
    auto* pB = dynamic_cast<LumoMenu*>(pA->SubMenuAt(0));
    ASSERT_NE(pB, nullptr);
    ASSERT_EQ(pB->GetMenuItemCount(), 2);
    auto* pC = dynamic_cast<LumoMenu*>(pB->SubMenuAt(1));
    ASSERT_NE(pC, nullptr);
    EXPECT_EQ(Commands(*pC), std::vector<UINT>{2});
    EXPECT_EQ(LumoMenu::ownedMenuHandles.size(), 3u);
    int nPos = -1;
    EXPECT_EQ(menu.FindCommand(2, nPos), pC);
    EXPECT_EQ(nPos, 0);
    EXPECT_EQ(menu.FindCommand(3, nPos), &menu);
    EXPECT_EQ(nPos, 1);
    EXPECT_EQ(menu.FindCommand(9, nPos), nullptr);
    EXPECT_EQ(nPos, -1);
    std::string strText;
    EXPECT_TRUE(menu.ItemText(2, strText, MF_BYCOMMAND));
    EXPECT_EQ(strText, "two");
    EXPECT_FALSE(pC->ItemText(1, strText, MF_BYPOSITION));
}

// The edits the main window makes before each showing of the pop-up.
void RemoveThreadItems(LumoMenu& popup) {
    popup.RemoveItem(res::ID_VIEW_THREAD, MF_BYCOMMAND);
    popup.RemoveItem(res::ID_BROWSE_BOARD, MF_BYCOMMAND);
    popup.RemoveItem(0, MF_BYPOSITION);
}

void InsertThreadItems(LumoMenu& popup, const char* pszBoard) {
    popup.InsertItem(0, static_cast<const char*>(nullptr), MF_BYPOSITION | MF_SEPARATOR, 0, -1);
    popup.InsertItem(0, pszBoard, MF_BYPOSITION, res::ID_BROWSE_BOARD, -1);
    popup.InsertItem(0, Utf8ToGbk("查看帖子原文").value().c_str(), MF_BYPOSITION,
                     res::ID_VIEW_THREAD, -1);
}

TEST_F(LumoMenuTest, ThePopupEditsKeepOneRecordPerItem) {
    LumoMenu menu;
    ASSERT_TRUE(menu.LoadTemplate(res::IDR_POPUP));
    auto* pPopup = dynamic_cast<LumoMenu*>(menu.SubMenuAt(0));
    ASSERT_NE(pPopup, nullptr);

    // From the template's shape: the thread items go...
    RemoveThreadItems(*pPopup);
    EXPECT_EQ(Commands(*pPopup), (std::vector<UINT>{32774, 32775}));
    ExpectInStep(*pPopup);
    EXPECT_EQ(Texts(*pPopup), (std::vector<std::u16string>{u"帮助", u"关于"}));

    // ...and come back with the board's name, from the shape without them.
    InsertThreadItems(*pPopup, Utf8ToGbk("浏览【贵州茅台吧】").value().c_str());
    EXPECT_EQ(Commands(*pPopup), (std::vector<UINT>{32771, 32773, 0, 32774, 32775}));
    EXPECT_EQ(Texts(*pPopup), (std::vector<std::u16string>{u"查看帖子原文", u"浏览【贵州茅台吧】",
                                                           u"<none>", u"帮助", u"关于"}));
    EXPECT_EQ(pPopup->items[2]->menuFlags, MF_BYPOSITION | MF_SEPARATOR | MF_OWNERDRAW);
    EXPECT_EQ(pPopup->items[0]->menuFlags, MF_BYPOSITION | MF_OWNERDRAW);
    ExpectInStep(*pPopup);

    // A second retrieval renews the board's name.
    RemoveThreadItems(*pPopup);
    InsertThreadItems(*pPopup, Utf8ToGbk("浏览【中国平安吧】").value().c_str());
    EXPECT_EQ(*pPopup->items[1]->text, u"浏览【中国平安吧】");
    EXPECT_EQ(pPopup->items.size(), 5u);
    ExpectInStep(*pPopup);
}

TEST_F(LumoMenuTest, RemovingAPopupTakesItsWholeTree) {
    LumoMenu menu;
    menu.CreatePopupMenu();
    menu.AppendItem(u"first", 0, 1);
    auto* pInner = new LumoMenu;
    pInner->CreatePopupMenu();
    auto* pDeep = new LumoMenu;
    pDeep->CreatePopupMenu();
    pDeep->AppendItem(u"deep", 0, 30);
    pInner->AppendItem(u"inner item", 0, 20);
    pInner->AppendItem(u"deeper", MF_POPUP, ToId(pDeep->m_hMenu));
    menu.AppendItem(u"inner", MF_POPUP, ToId(pInner->m_hMenu));
    const HMENU hInner = pInner->m_hMenu;
    const HMENU hDeep = pDeep->m_hMenu;
    ExpectInStep(menu);
    EXPECT_TRUE(LumoMenu::IsOwnedMenu(hDeep));

    menu.RemoveItem(1, MF_BYPOSITION);
    EXPECT_FALSE(LumoMenu::IsOwnedMenu(hInner));
    EXPECT_FALSE(LumoMenu::IsOwnedMenu(hDeep));
    EXPECT_FALSE(IsMenu(hInner));
    EXPECT_FALSE(IsMenu(hDeep));
    EXPECT_TRUE(menu.subMenus.empty());
    EXPECT_EQ(Commands(menu), std::vector<UINT>{1});
    ExpectInStep(menu);
}

TEST_F(LumoMenuTest, ReleaseDeletesNestedPopupsAndEveryOwnedHandle) {
    const HMENU hTwice = CreatePopupMenu();
    auto* pTwice = new LumoMenu;
    pTwice->Attach(hTwice);
    auto* pMenu = new LumoMenu;
    LoadBytes(*pMenu, {{0, 0, u"A", {{0, 0, u"B", {{0, 1, u"one", {}}}}}}});
    auto* pA = dynamic_cast<LumoMenu*>(pMenu->SubMenuAt(0));
    ASSERT_NE(pA, nullptr);
    // One handle taken in twice, by two menus of the tree.
    pA->AppendItem(u"twice", MF_POPUP, ToId(hTwice));
    pMenu->AppendItem(u"twice again", MF_POPUP, ToId(hTwice));
    EXPECT_EQ(
        std::count(LumoMenu::ownedMenuHandles.begin(), LumoMenu::ownedMenuHandles.end(), hTwice),
        2);
    delete pMenu;  // the sanitizer build sees any object or record left behind
    EXPECT_FALSE(IsMenu(hTwice));
}

TEST_F(LumoMenuTest, ForeignPopupsLeaveTheListsWithoutBeingDeleted) {
    CMenu foreign;
    foreign.CreatePopupMenu();
    foreign.AppendMenu(MF_STRING, 50, u"foreign item");
    {
        LumoMenu menu;
        menu.CreatePopupMenu();
        menu.AppendItem(u"foreign", MF_POPUP, ToId(foreign.m_hMenu));
        EXPECT_TRUE(LumoMenu::IsOwnedMenu(&foreign));
        EXPECT_EQ(menu.SubMenuAt(0), &foreign);
        // Its commands are not the menu's to find.
        int nPos = -1;
        EXPECT_EQ(menu.FindCommand(50, nPos), nullptr);
        menu.RemoveMenu(0, MF_BYPOSITION);  // keeps the foreign pop-up alive past the release
        menu.items.clear();
    }
    EXPECT_FALSE(LumoMenu::IsOwnedMenu(&foreign));
    EXPECT_TRUE(IsMenu(foreign.m_hMenu));
    EXPECT_EQ(foreign.GetMenuItemID(0), 50u);

    // Removing a foreign pop-up's item drops the handle and keeps the wrapper.
    LumoMenu menu;
    menu.CreatePopupMenu();
    menu.AppendItem(u"foreign", MF_POPUP, ToId(foreign.m_hMenu));
    menu.RemoveItem(0, MF_BYPOSITION);
    EXPECT_FALSE(LumoMenu::IsOwnedMenu(&foreign));
    EXPECT_TRUE(menu.items.empty());
    EXPECT_TRUE(IsMenu(foreign.m_hMenu));
}

TEST_F(LumoMenuTest, AddsInsertsModifiesAndRemovesOneRecordPerItem) {
    LumoMenu menu;
    menu.CreatePopupMenu();
    // An item that cannot be added leaves no record.
    EXPECT_FALSE(menu.AppendItem(u"no pop-up", MF_POPUP, 0x7777));
    EXPECT_FALSE(menu.InsertItem(0, u"no pop-up", MF_BYPOSITION | MF_POPUP, 0x7777));
    EXPECT_FALSE(menu.InsertItem(99, u"no such command", MF_BYCOMMAND, 5));
    EXPECT_FALSE(menu.ModifyItem(42, u"nothing there"));
    EXPECT_TRUE(menu.items.empty());
    EXPECT_TRUE(menu.subMenus.empty());
    // Before a command, and at the end.
    menu.AppendItem(u"a", 0, 1);
    menu.AppendItem(u"c", 0, 3);
    ASSERT_TRUE(menu.InsertItem(3, u"b", MF_BYCOMMAND, 2));
    ASSERT_TRUE(menu.InsertItem(kNotFound, u"d", MF_BYPOSITION, 4));
    EXPECT_EQ(Commands(menu), (std::vector<UINT>{1, 2, 3, 4}));
    EXPECT_EQ(Texts(menu), (std::vector<std::u16string>{u"a", u"b", u"c", u"d"}));
    ExpectInStep(menu);
    // Of two twins, the record of the one removed goes.
    menu.AppendItem(u"first", 0, 9);
    menu.AppendItem(u"second", 0, 9);
    menu.RemoveItem(5, MF_BYPOSITION);
    EXPECT_EQ(Texts(menu).back(), u"first");
    ExpectInStep(menu);

    // A command is modified in every pop-up that holds it.
    LumoMenu bar;
    LoadBytes(bar, {{0, 0, u"A", {{0, 7, u"seven", {}}}}, {0, 0, u"B", {{0, 7, u"seven", {}}}}});
    ASSERT_TRUE(bar.ModifyItem(7, u"SEVEN"));
    for (int i = 0; i < 2; ++i) {
        auto* pPopup = dynamic_cast<LumoMenu*>(bar.SubMenuAt(i));
        ASSERT_NE(pPopup, nullptr);
        EXPECT_EQ(*pPopup->items[0]->text, u"SEVEN");
        EXPECT_EQ(pPopup->items[0]->menuFlags, MF_OWNERDRAW);
        ExpectInStep(*pPopup);
    }
}

// Items added behind the menu's back have no record of their own: removing or editing one must
// neither free nor share a record that another item names.
TEST_F(LumoMenuTest, ItemsWithoutARecordNeverTakeAnotherItemsRecord) {
    const auto dataOf = [](const LumoMenu& menu, int nPos) {
        return GetMenuItemData(menu.m_hMenu, static_cast<UINT>(nPos), MF_BYPOSITION);
    };
    for (const bool bSeparator : {false, true}) {
        LumoMenu menu;
        menu.CreatePopupMenu();
        const UINT nId = bSeparator ? 0 : 9;
        menu.AppendItem(bSeparator ? u"" : u"nine", 0, nId);
        AppendMenuW(menu.m_hMenu, bSeparator ? MF_SEPARATOR : MF_STRING, nId, u"native");
        menu.RemoveItem(1, MF_BYPOSITION);
        ASSERT_EQ(menu.items.size(), 1u);
        ExpectInStep(menu);
        // Measuring the twin reads its record: freed, this is a use after free.
        MEASUREITEMSTRUCT measure;
        measure.itemData = dataOf(menu, 0);
        menu.MeasureItem(&measure);
        EXPECT_GT(measure.itemHeight, 0u);
    }

    LumoMenu menu;
    menu.CreatePopupMenu();
    menu.AppendItem(u"nine", 0, 9);
    InsertMenuW(menu.m_hMenu, 0, MF_BYPOSITION | MF_STRING, 9, u"native");
    ASSERT_TRUE(menu.ModifyItem(9, u"NINE"));
    EXPECT_NE(dataOf(menu, 0), 0u);
    EXPECT_NE(dataOf(menu, 1), 0u);
    EXPECT_NE(dataOf(menu, 0), dataOf(menu, 1)) << "two items share one record";
    EXPECT_EQ(menu.items.size(), 2u);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(*reinterpret_cast<const LumoMenuItem*>(dataOf(menu, i))->text, u"NINE");
    }
}

TEST_F(LumoMenuTest, APopupGoesWithTheLastItemThatOpensItAndByItsHandle) {
    LumoMenu menu;
    menu.CreatePopupMenu();
    auto* pPopup = new LumoMenu;  // owned through its handle once an item opens it
    pPopup->CreatePopupMenu();
    pPopup->AppendItem(u"five", 0, 5);
    const HMENU hPopup = pPopup->m_hMenu;
    menu.AppendItem(u"one", MF_POPUP, ToId(hPopup));
    menu.AppendItem(u"two", MF_POPUP, ToId(hPopup));
    menu.AppendItem(u"end", 0, 3);

    menu.RemoveItem(0, MF_BYPOSITION);
    ASSERT_TRUE(IsMenu(hPopup)) << "the other item still opens it";
    EXPECT_EQ(menu.SubMenuAt(0), pPopup);
    EXPECT_EQ(pPopup->items.size(), 1u);
    EXPECT_EQ(Texts(menu), (std::vector<std::u16string>{u"two", u"end"}));
    EXPECT_EQ(menu.subMenus, std::vector<HMENU>{hPopup});
    EXPECT_EQ(LumoMenu::ownedMenuHandles, std::vector<HMENU>{hPopup});

    // By command, a pop-up item is named by its pop-up's handle.
    menu.RemoveItem(static_cast<UINT>(ToId(hPopup)), MF_BYCOMMAND);
    EXPECT_FALSE(IsMenu(hPopup));
    EXPECT_EQ(Texts(menu), std::vector<std::u16string>{u"end"});
    EXPECT_TRUE(menu.subMenus.empty());
    EXPECT_TRUE(LumoMenu::ownedMenuHandles.empty());
    ExpectInStep(menu);
}

TEST_F(LumoMenuTest, AnswersMnemonicsWithExecute) {
    LumoMenu menu;
    menu.CreatePopupMenu();
    menu.AppendItem(u"&Open", 0, 1);
    menu.AppendItem(u"", 0, 0);
    menu.AppendItem(u"E&xit", 0, 2);
    EXPECT_EQ(LumoMenu::HandleMenuChar('x', MF_POPUP, &menu), MAKELRESULT(2, MNC_EXECUTE));
    EXPECT_EQ(LumoMenu::HandleMenuChar('O', MF_POPUP, &menu), MAKELRESULT(0, MNC_EXECUTE));
    EXPECT_EQ(LumoMenu::HandleMenuChar('q', MF_POPUP, &menu), 0);
    EXPECT_EQ(LumoMenu::HandleMenuChar('o', 0, &menu), 0);
    EXPECT_EQ(LumoMenu::HandleMenuChar('o', MF_POPUP, nullptr), 0);
    // The whole UTF-16 character counts: U+0148 is not 'H' (0x48), and case folds beyond ASCII.
    menu.AppendItem(u"&\u00D6l", 0, 4);
    EXPECT_EQ(LumoMenu::HandleMenuChar(0x0148, MF_POPUP, &menu), 0);
    EXPECT_EQ(LumoMenu::HandleMenuChar(0x00F6, MF_POPUP, &menu), MAKELRESULT(3, MNC_EXECUTE));

    // An item added behind the menu's back is taken in first.
    AppendMenuW(menu.m_hMenu, MF_STRING, 3, u"&Help");
    EXPECT_EQ(LumoMenu::HandleMenuChar('h', MF_POPUP, &menu), MAKELRESULT(4, MNC_EXECUTE));
    EXPECT_EQ(LumoMenu::HandleMenuChar(0x0148, MF_POPUP, &menu), 0);
    ExpectInStep(menu);
}

TEST_F(LumoMenuTest, ResynchronisingAdoptsNativeItemsAndDropsStaleRecords) {
    LumoMenu menu;
    menu.CreatePopupMenu();
    menu.AppendItem(u"one", 0, 1);
    menu.AppendItem(u"", 0, 0);
    menu.AppendItem(u"two", 0, 2);
    // Behind the menu's back: item 2 goes, a string item and a pop-up come.
    RemoveMenu(menu.m_hMenu, 2, MF_BYCOMMAND);
    InsertMenuW(menu.m_hMenu, 0, MF_BYPOSITION | MF_STRING, 5, u"five");
    const HMENU hPopup = CreatePopupMenu();
    AppendMenuW(menu.m_hMenu, MF_POPUP, ToId(hPopup), u"popup");
    menu.Resynchronise();
    EXPECT_EQ(Commands(menu), (std::vector<UINT>{5, 1, 0, kNotFound}));
    EXPECT_EQ(Texts(menu), (std::vector<std::u16string>{u"five", u"one", u"", u"popup"}));
    EXPECT_EQ(menu.items[0]->menuFlags, MF_BYPOSITION | MF_OWNERDRAW);
    EXPECT_EQ(menu.items[3]->commandId, ToId(hPopup));
    ExpectInStep(menu);
    for (int i = 0; i < 3; ++i) {
        EXPECT_NE(menu.GetMenuState(static_cast<UINT>(i), MF_BYPOSITION) & MF_OWNERDRAW, 0u);
    }
}

class MeasureTest : public LumoMenuTest {
protected:
    MEASUREITEMSTRUCT Measure(LumoMenu& menu, const LumoMenuItem& record) {
        MEASUREITEMSTRUCT measure;
        measure.itemData = reinterpret_cast<ULONG_PTR>(&record);
        menu.MeasureItem(&measure);
        return measure;
    }
    static int Width(const Font& font, const QString& text) {
        return QFontMetrics(font.GetQFont()).horizontalAdvance(text);
    }
};

TEST_F(MeasureTest, MeasuresFlatItemsWithTheWideGap) {
    LumoMenu::settings.drawModeOther = 1;  // flat, as the program attaches its menu
    LumoMenu menu;
    LumoMenuItem item;
    item.SetItemText(u"查看帖子原文\tCtrl+V");
    // A modern system: the screen's own font measures.
    MEASUREITEMSTRUCT measure = Measure(menu, item);
    EXPECT_EQ(measure.itemWidth,
              static_cast<UINT>(Width(Font::SystemFont(), "查看帖子原文\tCtrl+V") + 31));
    EXPECT_EQ(measure.itemHeight, 22u);
    SetSystemMetricForTesting(SM_CYMENU, 30);
    EXPECT_EQ(Measure(menu, item).itemHeight, 30u);

    LumoMenuItem separator;
    separator.menuFlags = MF_SEPARATOR | MF_OWNERDRAW;
    EXPECT_EQ(Measure(menu, separator).itemHeight, 15u);  // 30 / 2 against (15 + 7) / 2
    ResetSystemMetrics();
    EXPECT_EQ(Measure(menu, separator).itemHeight, 11u);
    EXPECT_EQ(Measure(menu, separator).itemWidth, 0u);
}

TEST_F(MeasureTest, MeasuresClassicItemsInTheMenuFontOnAnOlderShell) {
    LumoMenu::settings.drawModeOther = 0;
    LumoMenu::settings.osVersionCode = 6;  // 2000: a modern shell, not themed XP
    LumoMenu menu;
    LumoMenuItem item;
    item.SetItemText(u"Help");
    NONCLIENTMETRICS metrics;
    metrics.cbSize = 340;
    SystemParametersInfo(SPI_GETNONCLIENTMETRICS, 340, &metrics, 0);
    const MEASUREITEMSTRUCT measure = Measure(menu, item);
    EXPECT_EQ(measure.itemWidth, static_cast<UINT>(Width(Font(metrics.lfMenuFont), "Help") + 33));
    EXPECT_EQ(measure.itemHeight, 19u);

    LumoMenuItem separator;
    separator.menuFlags = MF_SEPARATOR;
    EXPECT_EQ(Measure(menu, separator).itemHeight, 9u);

    // No text: only the fixed parts.
    LumoMenuItem empty;
    EXPECT_EQ(Measure(menu, empty).itemWidth, 33u);
}

}  // namespace
}  // namespace vesk
