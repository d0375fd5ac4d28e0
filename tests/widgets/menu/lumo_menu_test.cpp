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
using Strings = std::vector<std::u16string>;

// A menu created as an empty pop-up.
struct EmptyPopup : LumoMenu {
    EmptyPopup() { CreatePopupMenu(); }
};

// Every test starts from the program's defaults and leaves them so, with no menu left behind.
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

    // One record per native item, each owner-drawn item's data naming its own record.
    static void ExpectInStep(const LumoMenu& menu) {
        ASSERT_EQ(static_cast<std::size_t>(menu.GetMenuItemCount()), menu.items.size());
        for (UINT i = 0; i < menu.items.size(); ++i) {
            const UINT nState = menu.GetMenuState(i, MF_BYPOSITION);
            if ((nState & MF_POPUP) == 0 && (nState & MF_OWNERDRAW) != 0) {
                EXPECT_EQ(GetMenuItemData(menu.m_hMenu, i, MF_BYPOSITION),
                          reinterpret_cast<ULONG_PTR>(menu.items[i].get()))
                    << "position " << i;
            }
        }
    }
    static Strings Texts(const LumoMenu& menu) {
        Strings texts;
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
    static LumoMenu& Sub(const LumoMenu& menu, int nPos) {
        auto* pSub = dynamic_cast<LumoMenu*>(menu.SubMenuAt(nPos));
        EXPECT_NE(pSub, nullptr) << "no pop-up at " << nPos;
        return *pSub;
    }
    static void LoadBytes(LumoMenu& menu, const std::vector<MenuTemplateItem>& items) {
        RegisterResource(RT_MENU, std::string("TEST"), BuildMenuTemplate(items));
        ASSERT_TRUE(menu.LoadTemplate("TEST"));
    }
    static Font MenuFont() {
        NONCLIENTMETRICS metrics;  // cbSize 340
        SystemParametersInfo(SPI_GETNONCLIENTMETRICS, 340, &metrics, 0);
        return Font(metrics.lfMenuFont);
    }

    std::size_t nMenusBefore = 0;
};

TEST_F(LumoMenuTest, TheSystemVersionAndThemeDecideTheLook) {
    const std::tuple<DWORD, DWORD, DWORD, int> versions[] = {
        {0x80000003, 3, 10, 0}, {0x80000004, 4, 0, 2}, {0x80000A04, 4, 10, 3},
        {0x80005A04, 4, 90, 4}, {0x05650004, 4, 0, 5}, {0x08930005, 5, 0, 6},
        {0x0A280105, 5, 1, 7},  {0x0ECE0205, 5, 2, 1}, {0x23F00206, 6, 2, 1},
        {0x1DB10106, 6, 1, 1},
    };
    for (const auto& [dwVersion, dwMajor, dwMinor, nCode] : versions) {
        SetVersionForTesting(dwVersion, {0, dwMajor, dwMinor, 0, 0, {}});
        EXPECT_EQ(LumoMenu::DetectOsVersion(), nCode) << std::hex << dwVersion;
    }
    ResetVersion();
    EXPECT_EQ(LumoMenu::DetectOsVersion(), 1);
    EXPECT_FALSE(LumoMenu::HasModernShell() || LumoMenu::IsThemedXP() || LumoMenu::IsFlatStyle());
    LumoMenu::settings.drawModeOther = 1;  // not themed XP, so the other draw mode decides
    EXPECT_TRUE(LumoMenu::IsFlatStyle());

    const auto classic = [](std::optional<std::string> value) {
        ClearRegistryForTesting();
        if (value) {
            SetRegistryKeyForTesting("Software\\Microsoft\\Plus!\\Themes\\Current", *value);
        }
        LumoMenu::settings.classicThemeComputed = FALSE;
        LumoMenu::settings.classicThemeActive = FALSE;
        return LumoMenu::IsClassicTheme();
    };
    const std::pair<std::optional<std::string>, BOOL> themes[] = {
        {std::nullopt, FALSE},
        {"C:\\WINDOWS\\Resources\\Themes\\Windows Classic.theme", TRUE},
        {"c:\\themes\\WINDOWS CLASSIC.THEME", TRUE},
        {"Windows Classic.theme", TRUE},
        {"indows Classic.theme", FALSE},
        {"C:\\Themes\\Luna.theme", FALSE},
        // Longer than the 260-byte buffer: unreadable, so not classic.
        {std::string(300, 'x') + "Windows Classic.theme", FALSE},
    };
    for (const auto& [value, bClassic] : themes) {
        EXPECT_EQ(classic(value), bClassic) << value.value_or("<none>");
    }
    // Computed once: a later change of the setting is not seen.
    EXPECT_TRUE(classic("Windows Classic.theme"));
    ClearRegistryForTesting();
    EXPECT_TRUE(LumoMenu::IsClassicTheme());

    LumoMenu::settings.osVersionCode = 7;
    EXPECT_FALSE(LumoMenu::IsThemedXP());
    EXPECT_FALSE(classic(std::nullopt));
    EXPECT_TRUE(LumoMenu::IsThemedXP() && LumoMenu::HasModernShell());
    EXPECT_TRUE(LumoMenu::IsFlatStyle());  // themed draw mode 1
}

// The program's pop-up from its template, then the edits the window makes before each showing.
TEST_F(LumoMenuTest, ThePopupFromItsTemplateKeepsOneRecordPerItemThroughItsEdits) {
    LumoMenu menu;
    menu.ReleaseAll();  // an empty menu: no harm
    EXPECT_FALSE(menu.LoadTemplate(999u));
    ASSERT_TRUE(menu.LoadTemplate(res::IDR_POPUP));
    EXPECT_TRUE(menu.builtFromTemplate);
    ASSERT_EQ(menu.GetMenuItemCount(), 1);  // the bar: one string pop-up
    EXPECT_EQ(menu.GetMenuState(0, MF_BYPOSITION), 6u << 8 | MF_POPUP);
    EXPECT_EQ(menu.items[0]->menuFlags, MF_BYPOSITION | MF_POPUP);
    char szText[16];
    GetMenuStringA(menu.m_hMenu, 0, szText, sizeof szText, MF_BYPOSITION);
    EXPECT_STREQ(szText, "POP");

    LumoMenu& popup = Sub(menu, 0);
    EXPECT_TRUE(LumoMenu::IsOwnedMenu(&popup));
    EXPECT_EQ(menu.subMenus, std::vector<HMENU>{popup.m_hMenu});
    EXPECT_FALSE(popup.builtFromTemplate);
    EXPECT_EQ(Commands(popup), (std::vector<UINT>{32771, 32773, 0, 32776, 32774, 32775}));
    EXPECT_EQ(Texts(popup),
              (Strings{u"查看帖子原文", u"浏览【】吧", u"", u"帖子库", u"帮助", u"关于"}));
    EXPECT_EQ(popup.items[2]->menuFlags, MF_SEPARATOR | MF_OWNERDRAW);
    EXPECT_EQ(popup.items[2]->commandId, 0u);
    ExpectInStep(popup);

    for (const char* pszBoard : {"浏览【贵州茅台吧】", "浏览【中国平安吧】"}) {
        popup.RemoveItem(res::ID_VIEW_THREAD, MF_BYCOMMAND);
        popup.RemoveItem(res::ID_BROWSE_BOARD, MF_BYCOMMAND);
        popup.RemoveItem(0, MF_BYPOSITION);
        EXPECT_EQ(Texts(popup), (Strings{u"帖子库", u"帮助", u"关于"}));
        ExpectInStep(popup);
        popup.InsertItem(0, static_cast<const char*>(nullptr), MF_BYPOSITION | MF_SEPARATOR, 0, -1);
        popup.InsertItem(0, Utf8ToGbk(pszBoard).value().c_str(), MF_BYPOSITION,
                         res::ID_BROWSE_BOARD, -1);
        popup.InsertItem(0, Utf8ToGbk("查看帖子原文").value().c_str(), MF_BYPOSITION,
                         res::ID_VIEW_THREAD, -1);
        EXPECT_EQ(Commands(popup), (std::vector<UINT>{32771, 32773, 0, 32776, 32774, 32775}));
        EXPECT_EQ(Texts(popup), (Strings{u"查看帖子原文", GbkToUtf16(*Utf8ToGbk(pszBoard)),
                                         u"<none>", u"帖子库", u"帮助", u"关于"}));
        EXPECT_EQ(popup.items[2]->menuFlags, MF_BYPOSITION | MF_SEPARATOR | MF_OWNERDRAW);
        EXPECT_EQ(popup.items[0]->menuFlags, MF_BYPOSITION | MF_OWNERDRAW);
        ExpectInStep(popup);
    }

    // Building again replaces the whole tree.
    const HMENU hOldPopup = popup.m_hMenu;
    ASSERT_TRUE(menu.LoadTemplate(res::IDR_POPUP));
    EXPECT_FALSE(IsMenu(hOldPopup));
    EXPECT_EQ(LumoMenu::ownedMenuHandles.size(), 1u);
}

TEST_F(LumoMenuTest, TemplatesNestAndLineUpAcceleratorsInTheMenuFont) {
    LumoMenu menu;
    LoadBytes(menu, {{0, 0, u"File", {{0, 1, u"Open\tCtrl+O", {}}, {0, 2, u"Exit", {}}}}});
    LumoMenu& file = Sub(menu, 0);
    const QFontMetrics font(MenuFont().GetQFont());
    // The label is padded with blanks just to the widest label and one blank.
    const QString text = QString::fromStdU16String(*file.items[0]->text);
    const QString head = text.section('\t', 0, 0);
    const int nWidest = std::max(font.horizontalAdvance("Open "), font.horizontalAdvance("Exit "));
    EXPECT_TRUE(head.startsWith("Open ") && head.trimmed() == "Open") << text.toStdString();
    EXPECT_GE(font.horizontalAdvance(head), nWidest);
    EXPECT_LT(font.horizontalAdvance(head.chopped(1)), nWidest);
    EXPECT_EQ(text.section('\t', 1), "Ctrl+O");
    EXPECT_EQ(*file.items[1]->text, u"Exit");
    // The bar item is a plain string pop-up; the pop-up's items are owner-drawn.
    EXPECT_EQ(menu.GetMenuState(0, MF_BYPOSITION) & (MF_POPUP | MF_OWNERDRAW), MF_POPUP);
    EXPECT_NE(file.GetMenuState(0, MF_BYPOSITION) & MF_OWNERDRAW, 0u);

    // A { B { 1, C { 2 } } }, 3: item 2 closes C and B at once, then 3 follows at the top.
    LoadBytes(
        menu,
        {{0, 0, u"A", {{0, 0, u"B", {{0, 1, u"one", {}}, {0, 0, u"C", {{0, 2, u"two", {}}}}}}}},
         {0, 3, u"three", {}}});
    ASSERT_EQ(menu.GetMenuItemCount(), 2);
    EXPECT_EQ(menu.GetMenuItemID(1), 3u);
    EXPECT_EQ(menu.GetMenuState(1, MF_BYPOSITION), MF_STRING);
    LumoMenu& a = Sub(menu, 0);
    ASSERT_EQ(a.GetMenuItemCount(), 1);
    LumoMenu& b = Sub(a, 0);
    ASSERT_EQ(b.GetMenuItemCount(), 2);
    LumoMenu& c = Sub(b, 1);
    EXPECT_EQ(Commands(c), std::vector<UINT>{2});
    EXPECT_EQ(LumoMenu::ownedMenuHandles.size(), 3u);
    int nPos = -1;  // not reset between searches: each must set it
    for (const auto& [nId, pFound, nFoundAt] :
         {std::tuple<UINT, LumoMenu*, int>{2, &c, 0}, {3, &menu, 1}, {9, nullptr, -1}}) {
        EXPECT_EQ(menu.FindCommand(nId, nPos), pFound) << nId;
        EXPECT_EQ(nPos, nFoundAt) << nId;
    }
    std::string strText;
    EXPECT_TRUE(menu.ItemText(2, strText, MF_BYCOMMAND));
    EXPECT_EQ(strText, "two");
    EXPECT_FALSE(c.ItemText(1, strText, MF_BYPOSITION));
}

// A pop-up lives while an item opens it; removing the last such item, by position or by its
// handle as command, deletes its whole tree. Foreign pop-ups leave the lists undeleted.
TEST_F(LumoMenuTest, APopupGoesWithTheLastItemThatOpensItAndTakesItsTree) {
    EmptyPopup menu;
    auto* pPopup = new EmptyPopup;  // owned through its handle once an item opens it
    auto* pDeep = new EmptyPopup;
    pDeep->AppendItem(u"deep", 0, 30);
    pPopup->AppendItem(u"five", 0, 5);
    pPopup->AppendItem(u"deeper", MF_POPUP, ToId(pDeep->m_hMenu));
    const HMENU hPopup = pPopup->m_hMenu;
    const HMENU hDeep = pDeep->m_hMenu;
    menu.AppendItem(u"one", MF_POPUP, ToId(hPopup));
    menu.AppendItem(u"two", MF_POPUP, ToId(hPopup));
    menu.AppendItem(u"end", 0, 3);
    ExpectInStep(menu);

    menu.RemoveItem(0, MF_BYPOSITION);
    ASSERT_TRUE(IsMenu(hPopup)) << "the other item still opens it";
    EXPECT_EQ(menu.SubMenuAt(0), pPopup);
    EXPECT_EQ(Texts(menu), (Strings{u"two", u"end"}));
    EXPECT_EQ(menu.subMenus, std::vector<HMENU>{hPopup});
    EXPECT_EQ(LumoMenu::ownedMenuHandles, (std::vector<HMENU>{hDeep, hPopup}));

    menu.RemoveItem(static_cast<UINT>(ToId(hPopup)), MF_BYCOMMAND);
    EXPECT_FALSE(IsMenu(hPopup) || IsMenu(hDeep));
    EXPECT_FALSE(LumoMenu::IsOwnedMenu(hDeep));
    EXPECT_EQ(Texts(menu), Strings{u"end"});
    EXPECT_TRUE(menu.subMenus.empty());
    ExpectInStep(menu);

    CMenu foreign;
    foreign.CreatePopupMenu();
    foreign.AppendMenu(MF_STRING, 50, u"foreign item");
    menu.AppendItem(u"foreign", MF_POPUP, ToId(foreign.m_hMenu));
    EXPECT_TRUE(LumoMenu::IsOwnedMenu(&foreign));
    EXPECT_EQ(menu.SubMenuAt(1), &foreign);
    int nPos = -1;
    EXPECT_EQ(menu.FindCommand(50, nPos), nullptr) << "its commands are not the menu's to find";
    menu.RemoveItem(1, MF_BYPOSITION);
    EXPECT_FALSE(LumoMenu::IsOwnedMenu(&foreign));
    EXPECT_EQ(menu.items.size(), 1u);
    EXPECT_TRUE(IsMenu(foreign.m_hMenu));
    {
        EmptyPopup holder;
        holder.AppendItem(u"foreign", MF_POPUP, ToId(foreign.m_hMenu));
        holder.RemoveMenu(0, MF_BYPOSITION);  // keeps the foreign pop-up alive past the release
        holder.items.clear();
    }
    EXPECT_FALSE(LumoMenu::IsOwnedMenu(&foreign));
    EXPECT_EQ(foreign.GetMenuItemID(0), 50u);
}

TEST_F(LumoMenuTest, ReleaseDeletesNestedPopupsAndEveryOwnedHandle) {
    const HMENU hTwice = CreatePopupMenu();
    (new LumoMenu)->Attach(hTwice);
    auto* pMenu = new LumoMenu;
    LoadBytes(*pMenu, {{0, 0, u"A", {{0, 0, u"B", {{0, 1, u"one", {}}}}}}});
    // One handle taken in twice, by two menus of the tree.
    Sub(*pMenu, 0).AppendItem(u"twice", MF_POPUP, ToId(hTwice));
    pMenu->AppendItem(u"twice again", MF_POPUP, ToId(hTwice));
    EXPECT_EQ(std::ranges::count(LumoMenu::ownedMenuHandles, hTwice), 2);
    delete pMenu;  // the sanitizer build sees any object or record left behind
    EXPECT_FALSE(IsMenu(hTwice));
}

TEST_F(LumoMenuTest, AddsInsertsModifiesAndRemovesOneRecordPerItem) {
    EmptyPopup menu;
    // An item that cannot be added leaves no record.
    EXPECT_FALSE(menu.AppendItem(u"no pop-up", MF_POPUP, 0x7777));
    EXPECT_FALSE(menu.InsertItem(0, u"no pop-up", MF_BYPOSITION | MF_POPUP, 0x7777));
    EXPECT_FALSE(menu.InsertItem(99, u"no such command", MF_BYCOMMAND, 5));
    EXPECT_FALSE(menu.ModifyItem(42, u"nothing there"));
    EXPECT_TRUE(menu.items.empty() && menu.subMenus.empty());
    // Before a command, and at the end.
    menu.AppendItem(u"a", 0, 1);
    menu.AppendItem(u"c", 0, 3);
    ASSERT_TRUE(menu.InsertItem(3, u"b", MF_BYCOMMAND, 2));
    ASSERT_TRUE(menu.InsertItem(kNotFound, u"d", MF_BYPOSITION, 4));
    EXPECT_EQ(Commands(menu), (std::vector<UINT>{1, 2, 3, 4}));
    EXPECT_EQ(Texts(menu), (Strings{u"a", u"b", u"c", u"d"}));
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
        EXPECT_EQ(*Sub(bar, i).items[0]->text, u"SEVEN");
        EXPECT_EQ(Sub(bar, i).items[0]->menuFlags, MF_OWNERDRAW);
        ExpectInStep(Sub(bar, i));
    }
}

// Items added behind the menu's back have no record of their own: removing or editing one must
// neither free nor share a record that another item names.
TEST_F(LumoMenuTest, ItemsWithoutARecordNeverTakeAnotherItemsRecord) {
    const auto dataOf = [](const LumoMenu& menu, int nPos) {
        return GetMenuItemData(menu.m_hMenu, static_cast<UINT>(nPos), MF_BYPOSITION);
    };
    for (const bool bSeparator : {false, true}) {
        EmptyPopup menu;
        const UINT nId = bSeparator ? 0 : 9;
        menu.AppendItem(bSeparator ? u"" : u"nine", 0, nId);
        AppendMenuW(menu.m_hMenu, bSeparator ? MF_SEPARATOR : MF_STRING, nId, u"native");
        menu.RemoveItem(1, MF_BYPOSITION);
        ASSERT_EQ(menu.items.size(), 1u);
        ExpectInStep(menu);
        // Measuring the twin reads its record: freed, this is a use after free.
        MEASUREITEMSTRUCT measure{.itemData = dataOf(menu, 0)};
        menu.MeasureItem(&measure);
        EXPECT_GT(measure.itemHeight, 0u);
    }

    EmptyPopup menu;
    menu.AppendItem(u"nine", 0, 9);
    InsertMenuW(menu.m_hMenu, 0, MF_BYPOSITION | MF_STRING, 9, u"native");
    ASSERT_TRUE(menu.ModifyItem(9, u"NINE"));
    EXPECT_NE(dataOf(menu, 0), dataOf(menu, 1)) << "two items share one record";
    EXPECT_EQ(menu.items.size(), 2u);
    for (int i = 0; i < 2; ++i) {
        ASSERT_NE(dataOf(menu, i), 0u);
        EXPECT_EQ(*reinterpret_cast<const LumoMenuItem*>(dataOf(menu, i))->text, u"NINE");
    }
}

TEST_F(LumoMenuTest, MnemonicsAndResynchronisingTakeInNativeItems) {
    EmptyPopup menu;
    menu.AppendItem(u"&Open", 0, 1);
    menu.AppendItem(u"", 0, 0);
    menu.AppendItem(u"E&xit", 0, 2);
    menu.AppendItem(u"&\u00D6l", 0, 4);
    const auto execute = [](WORD nPos) { return MAKELRESULT(nPos, MNC_EXECUTE); };
    EXPECT_EQ(LumoMenu::HandleMenuChar('x', MF_POPUP, &menu), execute(2));
    EXPECT_EQ(LumoMenu::HandleMenuChar('O', MF_POPUP, &menu), execute(0));
    EXPECT_EQ(LumoMenu::HandleMenuChar('q', MF_POPUP, &menu), 0);
    EXPECT_EQ(LumoMenu::HandleMenuChar('o', 0, &menu), 0);
    EXPECT_EQ(LumoMenu::HandleMenuChar('o', MF_POPUP, nullptr), 0);
    // The whole UTF-16 character counts: U+0148 is not 'H' (0x48), and case folds beyond ASCII.
    EXPECT_EQ(LumoMenu::HandleMenuChar(0x00F6, MF_POPUP, &menu), execute(3));
    // An item added behind the menu's back is taken in first.
    AppendMenuW(menu.m_hMenu, MF_STRING, 3, u"&Help");
    EXPECT_EQ(LumoMenu::HandleMenuChar('h', MF_POPUP, &menu), execute(4));
    EXPECT_EQ(LumoMenu::HandleMenuChar(0x0148, MF_POPUP, &menu), 0);
    ExpectInStep(menu);

    // Behind the menu's back: items 2 and 4 go, a string item and a pop-up come.
    RemoveMenu(menu.m_hMenu, 2, MF_BYCOMMAND);
    RemoveMenu(menu.m_hMenu, 4, MF_BYCOMMAND);
    InsertMenuW(menu.m_hMenu, 0, MF_BYPOSITION | MF_STRING, 5, u"five");
    const HMENU hPopup = CreatePopupMenu();
    AppendMenuW(menu.m_hMenu, MF_POPUP, ToId(hPopup), u"popup");
    menu.Resynchronise();
    EXPECT_EQ(Commands(menu), (std::vector<UINT>{5, 1, 0, 3, kNotFound}));
    EXPECT_EQ(Texts(menu), (Strings{u"five", u"&Open", u"", u"&Help", u"popup"}));
    EXPECT_EQ(menu.items[0]->menuFlags, MF_BYPOSITION | MF_OWNERDRAW);
    EXPECT_EQ(menu.items[4]->commandId, ToId(hPopup));
    ExpectInStep(menu);
    for (int i = 0; i < 4; ++i) {
        EXPECT_NE(menu.GetMenuState(static_cast<UINT>(i), MF_BYPOSITION) & MF_OWNERDRAW, 0u);
    }
}

// Flat items in the screen's font with the wide gap; classic ones (older shell) in the menu font.
TEST_F(LumoMenuTest, MeasuresItemsForEachLook) {
    LumoMenu menu;
    const auto measure = [&menu](const std::u16string& text, UINT nFlags = 0) {
        LumoMenuItem item;
        item.menuFlags = nFlags;
        if (!text.empty()) {
            item.SetItemText(text.c_str());
        }
        MEASUREITEMSTRUCT m{.itemData = reinterpret_cast<ULONG_PTR>(&item)};
        menu.MeasureItem(&m);
        return std::pair{m.itemWidth, m.itemHeight};
    };
    const auto width = [](const Font& font, const QString& text) {
        return static_cast<UINT>(QFontMetrics(font.GetQFont()).horizontalAdvance(text));
    };
    const auto separator = MF_SEPARATOR | MF_OWNERDRAW;

    LumoMenu::settings.drawModeOther = 1;
    EXPECT_EQ(measure(u"查看帖子原文\tCtrl+V"),
              std::pair(width(Font::SystemFont(), "查看帖子原文\tCtrl+V") + 31, 22u));
    EXPECT_EQ(measure(u"", separator), std::pair(0u, 11u));
    SetSystemMetricForTesting(SM_CYMENU, 30);
    EXPECT_EQ(measure(u"x").second, 30u);
    EXPECT_EQ(measure(u"", separator).second, 15u);  // 30 / 2 against (15 + 7) / 2
    ResetSystemMetrics();

    LumoMenu::settings.drawModeOther = 0;
    LumoMenu::settings.osVersionCode = 6;  // 2000: a modern shell, not themed XP
    EXPECT_EQ(measure(u"Help"), std::pair(width(MenuFont(), "Help") + 33, 19u));
    EXPECT_EQ(measure(u"", MF_SEPARATOR).second, 9u);
    EXPECT_EQ(measure(u"").first, 33u);  // no text: only the fixed parts
}

}  // namespace
}  // namespace vesk
