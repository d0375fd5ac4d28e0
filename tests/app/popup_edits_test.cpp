// The pop-up's edits, from the window's state alone, on the menu of the viewer's resources.

#include "popup_edits.h"

#include "code_page.h"
#include "lumo_menu.h"
#include "viewer_resources.h"

#include <gtest/gtest.h>

#include <vector>

namespace vesk {
namespace {

using namespace res;

// The pop-up's commands top to bottom, 0 for a separator; the board item's text.
struct Shown {
    std::vector<platform::UINT> commands;
    std::u16string board;
};

Shown Show(LumoMenu& popup) {
    Shown shown;
    for (int i = 0; i < popup.GetMenuItemCount(); ++i) {
        shown.commands.push_back(popup.GetMenuItemID(i));
    }
    for (const auto& pRecord : popup.items) {
        if (pRecord->text && pRecord->text->starts_with(u"浏览")) {
            shown.board = *pRecord->text;
        }
    }
    return shown;
}

// The thread items come with a thread, are rebuilt for another, go without one; ours stand
// before 帖子库 for a thread shown, the watch item as the library has it.
TEST(PopupEditsTest, TheThreadItemsAndOursFollowTheWindowsState) {
    RegisterViewerResources();
    LumoMenu menu;
    ASSERT_TRUE(menu.LoadTemplate(IDR_POPUP));
    auto* pPopup = dynamic_cast<LumoMenu*>(menu.SubMenuAt(0));
    ASSERT_NE(pPopup, nullptr);
    // The menu's template holds the thread items: the first opening without a thread takes them.
    ASSERT_EQ(pPopup->GetMenuItemID(0), ID_VIEW_THREAD);
    EditPopup(*pPopup, {0, 1, "", std::nullopt});
    const std::vector<platform::UINT> bare = Show(*pPopup).commands;
    ASSERT_EQ(bare.front(), ID_LIBRARY_HOME);
    const std::vector<platform::UINT> thread = {ID_VIEW_THREAD, ID_BROWSE_BOARD, 0};
    const auto with = [&](std::vector<platform::UINT> ours) {
        std::vector<platform::UINT> commands = thread;
        commands.insert(commands.end(), ours.begin(), ours.end());
        commands.insert(commands.end(), bare.begin(), bare.end());
        return commands;
    };
    const struct {
        MenuState state;
        std::vector<platform::UINT> commands;
        const char16_t* pszBoard;
    } cases[] = {
        {{1, 1, Utf16ToGbk(u"贵州茅台吧"), std::nullopt},
         with({ID_READ_WHOLE}),
         u"浏览【贵州茅台吧】"},
        // Not dirty: the items stay as they were, whatever the board says now.
        {{1, 0, Utf16ToGbk(u"别的吧"), false},
         with(
             {ID_READ_WHOLE, ID_UPDATE_THREAD, ID_CHECK_THREAD, ID_WATCH_THREAD, ID_EXPORT_THREAD}),
         u"浏览【贵州茅台吧】"},
        {{1, 1, Utf16ToGbk(u"中国平安吧"), true},
         with({ID_READ_WHOLE, ID_UPDATE_THREAD, ID_CHECK_THREAD, ID_UNWATCH_THREAD,
               ID_EXPORT_THREAD}),
         u"浏览【中国平安吧】"},
        {{0, 1, "", true}, bare, u""},
        {{0, 0, "", std::nullopt}, bare, u""},
    };
    for (const auto& c : cases) {
        EditPopup(*pPopup, c.state);
        const Shown shown = Show(*pPopup);
        EXPECT_EQ(shown.commands, c.commands) << c.state.bLoaded << c.state.bMenuDirty;
        EXPECT_EQ(shown.board, c.pszBoard);
    }
    // The night item says what choosing it does.
    for (const bool bNight : {true, false}) {
        EditPopup(*pPopup, {0, 0, "", std::nullopt, bNight});
        std::u16string text;
        for (const auto& pRecord : pPopup->items) {
            text = pRecord->commandId == ID_NIGHT_PAGE && pRecord->text ? *pRecord->text : text;
        }
        EXPECT_EQ(text, bNight ? u"关闭夜间模式" : u"夜间模式");
    }
    menu.ReleaseAll();
}

}  // namespace
}  // namespace vesk
