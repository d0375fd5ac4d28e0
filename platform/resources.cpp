#include "resources.h"

#include "menu.h"

#include <map>

namespace vesk::platform {

namespace {

std::map<std::pair<UINT, ResourceName>, std::string>& Resources() {
    static std::map<std::pair<UINT, ResourceName>, std::string> resources;
    return resources;
}

void PutWord(std::string& bytes, std::uint16_t nValue) {
    bytes.push_back(static_cast<char>(nValue & 0xFF));
    bytes.push_back(static_cast<char>(nValue >> 8));
}

void PutItems(std::string& bytes, const std::vector<MenuTemplateItem>& items) {
    for (std::size_t i = 0; i < items.size(); ++i) {
        const MenuTemplateItem& item = items[i];
        UINT nFlags = item.nFlags & ~(MF_POPUP | MF_END);
        if (!item.children.empty()) {
            nFlags |= MF_POPUP;
        }
        if (i + 1 == items.size()) {
            nFlags |= MF_END;
        }
        PutWord(bytes, static_cast<std::uint16_t>(nFlags));
        if (item.children.empty()) {
            PutWord(bytes, item.nId);
        }
        for (const char16_t c : item.text) {
            PutWord(bytes, c);
        }
        PutWord(bytes, 0);
        PutItems(bytes, item.children);
    }
}

}  // namespace

void RegisterResource(UINT nType, ResourceName name, std::string bytes) {
    Resources()[{nType, std::move(name)}] = std::move(bytes);
}

std::optional<std::string_view> FindResource(const ResourceName& name, UINT nType) {
    const auto it = Resources().find({nType, name});
    if (it == Resources().end()) {
        return std::nullopt;
    }
    return std::string_view(it->second);
}

std::string BuildMenuTemplate(const std::vector<MenuTemplateItem>& items) {
    std::string bytes;
    PutWord(bytes, 0);  // version
    PutWord(bytes, 0);  // header size
    PutItems(bytes, items);
    return bytes;
}

}  // namespace vesk::platform
