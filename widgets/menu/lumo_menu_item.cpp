#include "lumo_menu_item.h"

#include "code_page.h"

namespace vesk {

void LumoMenuItem::SetItemText(const char16_t* pszText) {
    if (pszText == nullptr) {
        text.reset();
    } else {
        text = pszText;
    }
}

void LumoMenuItem::SetItemText(const char* pszText) {
    if (pszText == nullptr) {
        text.reset();
    } else {
        text = GbkToUtf16(pszText);
    }
}

std::string LumoMenuItem::GetItemTextA() const {
    return text ? Utf16ToGbk(*text) : std::string();
}

}  // namespace vesk
