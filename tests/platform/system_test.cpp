#include "system.h"

#include "device_context.h"
#include "menu.h"
#include "resources.h"

#include <gtest/gtest.h>

#include <QFontDatabase>
#include <QFontMetrics>

namespace vesk::platform {
namespace {

TEST(SystemTest, GivesTheFixedColoursAndMetricsAndTheMenuFontAtNinePoints) {
    const std::pair<int, COLORREF> colours[] = {
        {COLOR_3DDKSHADOW, RGB(105, 105, 105)},
        {COLOR_3DLIGHT, RGB(227, 227, 227)},
        {COLOR_INFOBK, RGB(255, 255, 225)},
        {COLOR_3DFACE, GetSysColor(COLOR_BTNFACE)},
    };
    for (const auto& [nIndex, colour] : colours) {
        EXPECT_EQ(GetSysColor(nIndex), colour) << nIndex;
    }

    NONCLIENTMETRICS metrics;
    metrics.cbSize = 340;
    ASSERT_TRUE(SystemParametersInfo(SPI_GETNONCLIENTMETRICS, 340, &metrics, 0));
    EXPECT_EQ(metrics.lfMenuFont.lfHeight, -12);
    EXPECT_EQ(QString::fromStdU16String(metrics.lfMenuFont.lfFaceName),
              QFontDatabase::systemFont(QFontDatabase::GeneralFont).family());
    EXPECT_FALSE(SystemParametersInfo(SPI_GETNONCLIENTMETRICS, 500, &metrics, 0));
    EXPECT_FALSE(SystemParametersInfo(0x1234, 340, &metrics, 0));

    // The registry reads only a value that fits, and says how much it needs.
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

// Fonts from their description measure text in the context they are selected into, the same
// text as wide characters or GB2312 bytes, whole or in part.
TEST(SystemTest, FontsMeasureTextInTheContext) {
    LOGFONT logFont;
    logFont.lfHeight = -20;
    logFont.lfWeight = 700;
    logFont.lfItalic = true;
    logFont.lfFaceName = u"DejaVu Sans";
    const std::unique_ptr<Font> pFont = CreateFontIndirect(logFont);
    EXPECT_EQ(pFont->GetQFont().pixelSize(), 20);
    EXPECT_EQ(pFont->GetQFont().weight(), QFont::Bold);
    EXPECT_TRUE(pFont->GetQFont().italic());
    EXPECT_EQ(pFont->GetQFont().family(), QStringLiteral("DejaVu Sans"));
    EXPECT_EQ(pFont->GetLogFont().lfHeight, -20);

    const std::unique_ptr<DeviceContext> pDC = GetDC();
    const Font* pOld = pDC->SelectObject(pFont.get());
    EXPECT_EQ(pOld, &Font::SystemFont());
    SIZE size, narrow;
    ASSERT_TRUE(pDC->GetTextExtentPoint32W(u"帮助 Help\tF1", 10, &size));
    const QFontMetrics metrics(pFont->GetQFont());
    EXPECT_EQ(size,
              (SIZE{metrics.horizontalAdvance(QStringLiteral("帮助 Help\tF1")), metrics.height()}));
    ASSERT_TRUE(pDC->GetTextExtentPoint32A("\xB0\xEF\xD6\xFA Help\tF1", 12, &narrow));
    EXPECT_EQ(narrow, size);
    ASSERT_TRUE(pDC->GetTextExtentPoint32W(u"帮助 Help", 2, &size));
    EXPECT_EQ(size.cx, metrics.horizontalAdvance(QStringLiteral("帮助")));
    ASSERT_TRUE(pDC->GetTextExtentPoint32W(nullptr, 0, &size));
    EXPECT_EQ(size.cx, 0);
    EXPECT_FALSE(pDC->GetTextExtentPoint32W(u"x", -1, &size));
    EXPECT_EQ(pDC->SelectObject(pOld), pFont.get());
    EXPECT_EQ(pDC->GetCurrentFont(), &Font::SystemFont());
}

TEST(ResourcesTest, FindsResourcesAndWritesMenuTemplatesInTheStandardFormat) {
    RegisterResource(RT_MENU, 900u, "menu bytes");
    RegisterResource(RT_MENU, std::string("NAMED"), "named bytes");
    EXPECT_EQ(FindResource(900u, RT_MENU).value(), "menu bytes");
    EXPECT_EQ(FindResource(std::string("NAMED"), RT_MENU).value(), "named bytes");
    EXPECT_FALSE(FindResource(900u, RT_BITMAP).has_value());
    EXPECT_FALSE(FindResource(901u, RT_MENU).has_value());

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
