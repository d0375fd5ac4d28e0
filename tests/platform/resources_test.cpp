#include "resources.h"

#include "menu.h"

#include <gtest/gtest.h>

namespace vesk::platform {
namespace {

TEST(ResourcesTest, FindsResourcesByTypeAndNumberOrName) {
    RegisterResource(RT_MENU, 900u, "menu bytes");
    RegisterResource(RT_MENU, std::string("NAMED"), "named bytes");
    EXPECT_EQ(FindResource(900u, RT_MENU).value(), "menu bytes");
    EXPECT_EQ(FindResource(std::string("NAMED"), RT_MENU).value(), "named bytes");
    EXPECT_FALSE(FindResource(900u, RT_BITMAP).has_value());
    EXPECT_FALSE(FindResource(901u, RT_MENU).has_value());
}

TEST(ResourcesTest, WritesMenuTemplatesInTheStandardFormat) {
    // POPUP "F" { MENUITEM "O", 5; MENUITEM SEPARATOR }, MENUITEM "X", 6
    const std::string bytes = BuildMenuTemplate({
        {0, 0, u"F", {{0, 5, u"O", {}}, {0, 0, u"", {}}}},
        {MF_GRAYED, 6, u"X", {}},
    });
    const std::string expected = std::string(
        "\x00\x00\x00\x00"  // version, header size
        "\x10\x00"
        "F\x00\x00\x00"  // pop-up "F"
        "\x00\x00\x05\x00"
        "O\x00\x00\x00"             // item 5 "O"
        "\x80\x00\x00\x00\x00\x00"  // separator, last of the pop-up
        "\x81\x00\x06\x00"
        "X\x00\x00\x00",  // item 6 "X", grayed, last of the menu
        32);
    EXPECT_EQ(bytes, expected);
}

}  // namespace
}  // namespace vesk::platform
