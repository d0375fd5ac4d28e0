#pragma once

#include "win_types.h"

#include <optional>
#include <string>

namespace vesk {

// The record the menu keeps for each of its owner-drawn items; the native item's data is the
// record's address.
struct LumoMenuItem {
    // The text as shown, an optional tab and accelerator text included; none for no text.
    std::optional<std::u16string> text;
    int sharedImageIndex = -1;
    platform::UINT menuFlags = 0;
    // The command; for a pop-up item the pop-up's handle; 0 for a separator.
    platform::UINT commandId = 0;
    int syncMark = 0;

    // A copy of the text; null stores none.
    void SetItemText(const char16_t* pszText);
    // Narrow text, converted with the ANSI code page; null stores none.
    void SetItemText(const char* pszText);
    // The text as narrow text; none reads as empty.
    std::string GetItemTextA() const;
    // The text, or null.
};

}  // namespace vesk
