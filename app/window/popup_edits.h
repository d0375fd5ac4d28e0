#pragma once

#include <optional>
#include <string>

namespace vesk {

class LumoMenu;

// What the menu button's pop-up shows of the window.
struct MenuState {
    int bLoaded = 0;           // a thread is shown
    int bMenuDirty = 1;        // since the pop-up was last edited, another thread came
    std::string strBoardName;  // GB2312 bytes, the board of the thread shown
    // Whether the thread shown is watched; nothing when it is not kept (or the library cannot
    // tell).
    std::optional<bool> watched;
    bool bNight = false;         // the night page is on
    bool bNoPictures = false;    // the picture-less mode is on
    bool bSkipPictures = false;  // updates leave pictures for later
};

// Edits the pop-up to the window's state before it opens: the thread items (查看帖子原文, the
// board's, a separator) at its top once a thread is shown, taken away when none is, rebuilt
// after another came; and ours before 帖子库, for a thread shown: 读取全帖, and 更新本帖 and
// 关注本帖 or 取消关注本帖 and 导出本帖… for a kept one; after 帖子库, 夜间模式 (关闭夜间模式 while
// it is on), 无图模式 (关闭无图模式) and 更新时不取图片 (更新时取图片).
void EditPopup(LumoMenu& popup, const MenuState& state);

}  // namespace vesk
