#include "popup_edits.h"

#include "code_page.h"
#include "lumo_menu.h"
#include "viewer_resources.h"

namespace vesk {

using namespace platform;
using namespace res;

namespace {

void RemoveThreadItems(LumoMenu& popup) {
    popup.RemoveItem(ID_VIEW_THREAD, MF_BYCOMMAND);
    popup.RemoveItem(ID_BROWSE_BOARD, MF_BYCOMMAND);
    popup.RemoveItem(0, MF_BYPOSITION);
}

void InsertThreadItems(LumoMenu& popup, const std::string& strBoardName) {
    const std::string board = Utf16ToGbk(u"浏览【") + strBoardName + Utf16ToGbk(u"】");
    popup.InsertItem(0, static_cast<const char*>(nullptr), MF_BYPOSITION | MF_SEPARATOR, 0, -1);
    popup.InsertItem(0, board.c_str(), MF_BYPOSITION, ID_BROWSE_BOARD, -1);
    popup.InsertItem(0, Utf16ToGbk(u"查看帖子原文").c_str(), MF_BYPOSITION, ID_VIEW_THREAD, -1);
}

// Ours: reading the shown thread whole, and for a kept one updating it, reading every page of it
// again, watching it (or no longer) and exporting it, before 帖子库.
void EditLibraryItems(LumoMenu& popup, const MenuState& state) {
    popup.RemoveItem(ID_READ_WHOLE, MF_BYCOMMAND);
    popup.RemoveItem(ID_UPDATE_THREAD, MF_BYCOMMAND);
    popup.RemoveItem(ID_CHECK_THREAD, MF_BYCOMMAND);
    popup.RemoveItem(ID_WATCH_THREAD, MF_BYCOMMAND);
    popup.RemoveItem(ID_UNWATCH_THREAD, MF_BYCOMMAND);
    popup.RemoveItem(ID_EXPORT_THREAD, MF_BYCOMMAND);
    if (state.bLoaded == 0) {
        return;
    }
    for (int i = 0; i < popup.GetMenuItemCount(); ++i) {
        if (popup.GetMenuItemID(i) != ID_LIBRARY_HOME) {
            continue;
        }
        const auto nAt = static_cast<UINT>(i);
        if (state.watched) {
            popup.InsertItem(nAt, Utf16ToGbk(u"导出本帖…").c_str(), MF_BYPOSITION, ID_EXPORT_THREAD,
                             -1);
            popup.InsertItem(
                nAt, Utf16ToGbk(*state.watched ? u"取消关注本帖" : u"关注本帖").c_str(),
                MF_BYPOSITION, *state.watched ? ID_UNWATCH_THREAD : ID_WATCH_THREAD, -1);
            popup.InsertItem(nAt, Utf16ToGbk(u"核对全帖").c_str(), MF_BYPOSITION, ID_CHECK_THREAD,
                             -1);
            popup.InsertItem(nAt, Utf16ToGbk(u"更新本帖").c_str(), MF_BYPOSITION, ID_UPDATE_THREAD,
                             -1);
        }
        popup.InsertItem(nAt, Utf16ToGbk(u"读取全帖").c_str(), MF_BYPOSITION, ID_READ_WHOLE, -1);
        return;
    }
}

void EditViewItems(LumoMenu& popup, const MenuState& state) {
    for (const UINT nId : {ID_NIGHT_PAGE, ID_NO_PICTURES, ID_SKIP_PICTURES}) {
        popup.RemoveItem(nId, MF_BYCOMMAND);
    }
    for (int i = 0; i < popup.GetMenuItemCount(); ++i) {
        if (popup.GetMenuItemID(i) == ID_LIBRARY_HOME) {
            const auto nAt = static_cast<UINT>(i + 1);
            popup.InsertItem(
                nAt, Utf16ToGbk(state.bSkipPictures ? u"更新时取图片" : u"更新时不取图片").c_str(),
                MF_BYPOSITION, ID_SKIP_PICTURES, -1);
            popup.InsertItem(nAt,
                             Utf16ToGbk(state.bNoPictures ? u"关闭无图模式" : u"无图模式").c_str(),
                             MF_BYPOSITION, ID_NO_PICTURES, -1);
            popup.InsertItem(nAt, Utf16ToGbk(state.bNight ? u"关闭夜间模式" : u"夜间模式").c_str(),
                             MF_BYPOSITION, ID_NIGHT_PAGE, -1);
            return;
        }
    }
}

}  // namespace

void EditPopup(LumoMenu& popup, const MenuState& state) {
    const bool bThreadItems = popup.GetMenuItemID(0) == ID_VIEW_THREAD;
    bool bInsert = false;
    if (state.bLoaded == 0) {
        if (bThreadItems) {
            RemoveThreadItems(popup);
        }
    } else if (state.bMenuDirty != 0) {
        if (bThreadItems) {
            RemoveThreadItems(popup);
        }
        bInsert = true;
    } else {
        bInsert = !bThreadItems;
    }
    if (bInsert) {
        InsertThreadItems(popup, state.strBoardName);
    }
    EditLibraryItems(popup, state);
    EditViewItems(popup, state);
}

}  // namespace vesk
