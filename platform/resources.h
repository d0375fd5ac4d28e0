#pragma once

#include "win_types.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

// Resources by type and by number or name, as the program's resource script gives them. The
// program registers its own at start-up; FindResource looks them up.
namespace vesk::platform {

inline constexpr UINT RT_BITMAP = 2;
inline constexpr UINT RT_MENU = 4;
inline constexpr UINT RT_GROUP_ICON = 14;
inline constexpr UINT RT_TOOLBAR = 241;

// A resource's number (MAKEINTRESOURCE) or name.
using ResourceName = std::variant<UINT, std::string>;

void RegisterResource(UINT nType, ResourceName name, std::string bytes);
// The resource's bytes; none when it is not there.
std::optional<std::string_view> FindResource(const ResourceName& name, UINT nType);

// One item of a MENU template as written: a pop-up item has children, a separator has flags 0,
// command 0 and no text.
struct MenuTemplateItem {
    UINT nFlags = 0;
    WORD nId = 0;
    std::u16string text;
    std::vector<MenuTemplateItem> children;
};

// The bytes of a standard (not extended) MENU template: version 0 and header size 0, then the
// items depth first, little-endian, MF_POPUP on items with children and MF_END on the last item
// of each level.
std::string BuildMenuTemplate(const std::vector<MenuTemplateItem>& items);

}  // namespace vesk::platform
