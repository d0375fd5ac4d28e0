#pragma once

#include "win_types.h"

namespace vesk::platform {

class DeviceContext;

inline constexpr UINT ODT_MENU = 1;
inline constexpr UINT ODT_BUTTON = 4;

// What a draw request is for, and the item's state.
inline constexpr UINT ODA_DRAWENTIRE = 0x0001;
inline constexpr UINT ODA_SELECT = 0x0002;
inline constexpr UINT ODS_SELECTED = 0x0001;
inline constexpr UINT ODS_GRAYED = 0x0002;
inline constexpr UINT ODS_DISABLED = 0x0004;
inline constexpr UINT ODS_CHECKED = 0x0008;
inline constexpr UINT ODS_FOCUS = 0x0010;

// What the system asks of an owner-drawn item's measure.
struct MEASUREITEMSTRUCT {
    UINT CtlType = ODT_MENU;
    UINT CtlID = 0;
    UINT itemID = 0;
    UINT itemWidth = 0;
    UINT itemHeight = 0;
    ULONG_PTR itemData = 0;
};

// What the system hands an owner-drawn item's painting: the context to draw into (valid for
// the one request) and the item's rectangle in it. For a menu item, hwndItem is the menu.
struct DRAWITEMSTRUCT {
    UINT CtlType = ODT_BUTTON;
    UINT CtlID = 0;
    UINT itemID = 0;
    UINT itemAction = ODA_DRAWENTIRE;
    UINT itemState = 0;
    HMENU hwndItem{};
    DeviceContext* hDC = nullptr;
    RECT rcItem;
    ULONG_PTR itemData = 0;
};

}  // namespace vesk::platform
