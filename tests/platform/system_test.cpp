#include "system.h"

#include <gtest/gtest.h>

#include <QFontDatabase>

namespace vesk::platform {
namespace {

TEST(SystemTest, GivesTheFixedSystemColours) {
    EXPECT_EQ(GetSysColor(COLOR_MENU), RGB(240, 240, 240));
    EXPECT_EQ(GetSysColor(COLOR_HIGHLIGHT), 0x00D77800u);  // 0x00BBGGRR
    EXPECT_EQ(GetSysColor(COLOR_3DFACE), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(GetSysColor(COLOR_3DSHADOW), RGB(160, 160, 160));
    EXPECT_EQ(GetSysColor(COLOR_GRAYTEXT), RGB(109, 109, 109));
    EXPECT_EQ(GetSysColor(COLOR_3DDKSHADOW), RGB(105, 105, 105));
    EXPECT_EQ(GetSysColor(COLOR_3DLIGHT), RGB(227, 227, 227));
    EXPECT_EQ(GetSysColor(COLOR_INFOBK), RGB(255, 255, 225));
    EXPECT_EQ(GetSystemMetrics(SM_CYMENU), 19);
    EXPECT_EQ(GetRValue(RGB(1, 2, 3)), 1);
    EXPECT_EQ(GetGValue(RGB(1, 2, 3)), 2);
    EXPECT_EQ(GetBValue(RGB(1, 2, 3)), 3);
}

TEST(SystemTest, TheMenuFontIsTheDesktopsFontAtNinePoints) {
    NONCLIENTMETRICS metrics;
    metrics.cbSize = 340;
    ASSERT_TRUE(SystemParametersInfo(SPI_GETNONCLIENTMETRICS, 340, &metrics, 0));
    EXPECT_EQ(metrics.lfMenuFont.lfHeight, -12);
    EXPECT_EQ(QString::fromStdU16String(metrics.lfMenuFont.lfFaceName),
              QFontDatabase::systemFont(QFontDatabase::GeneralFont).family());
    NONCLIENTMETRICS wrong;
    wrong.cbSize = 500;
    EXPECT_FALSE(SystemParametersInfo(SPI_GETNONCLIENTMETRICS, 500, &wrong, 0));
    EXPECT_FALSE(SystemParametersInfo(0x1234, 340, &metrics, 0));
}

TEST(SystemTest, TheRegistryReadsOnlyAValueThatFits) {
    SetRegistryKeyForTesting("Software\\X", "a longer value");
    HKEY hKey{};
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\X", 0, KEY_READ, &hKey), ERROR_SUCCESS);
    unsigned char buffer[8];
    DWORD dwSize = sizeof buffer;
    EXPECT_EQ(RegQueryValueExA(hKey, nullptr, nullptr, nullptr, buffer, &dwSize), ERROR_MORE_DATA);
    EXPECT_EQ(dwSize, 15u);
    RegCloseKey(hKey);
    ClearRegistryForTesting();
}

}  // namespace
}  // namespace vesk::platform
