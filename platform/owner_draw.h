#pragma once

#include "win_types.h"

namespace vesk::platform {

class DeviceContext;

inline constexpr UINT ODT_MENU = 1;

// What the system asks of an owner-drawn item's measure.
struct MEASUREITEMSTRUCT {
    UINT CtlType = ODT_MENU;
    UINT CtlID = 0;
    UINT itemID = 0;
    UINT itemWidth = 0;
    UINT itemHeight = 0;
    ULONG_PTR itemData = 0;
};

}  // namespace vesk::platform
