#include "device_context.h"

#include <gtest/gtest.h>

#include <QFontMetrics>

namespace vesk::platform {
namespace {

TEST(DeviceContextTest, MeasuresTextInTheSelectedFont) {
    const std::unique_ptr<DeviceContext> pDC = GetDC();
    LOGFONT logFont;
    logFont.lfHeight = -20;
    const std::unique_ptr<Font> pFont = CreateFontIndirect(logFont);
    const Font* pOld = pDC->SelectObject(pFont.get());
    EXPECT_EQ(pOld, &Font::SystemFont());
    EXPECT_EQ(pDC->GetCurrentFont(), pFont.get());

    SIZE size;
    ASSERT_TRUE(pDC->GetTextExtentPoint32W(u"帮助 Help\tF1", 10, &size));
    const QFontMetrics metrics(pFont->GetQFont());
    EXPECT_EQ(size.cx, metrics.horizontalAdvance(QStringLiteral("帮助 Help\tF1")));
    EXPECT_EQ(size.cy, metrics.height());
    EXPECT_GT(size.cx, 0);

    // The same text as narrow GB2312 bytes measures the same.
    SIZE narrow;
    ASSERT_TRUE(pDC->GetTextExtentPoint32A("\xB0\xEF\xD6\xFA Help\tF1", 12, &narrow));
    EXPECT_EQ(narrow, size);

    // Only part of the text, and none of it.
    ASSERT_TRUE(pDC->GetTextExtentPoint32W(u"帮助 Help", 2, &size));
    EXPECT_EQ(size.cx, metrics.horizontalAdvance(QStringLiteral("帮助")));
    ASSERT_TRUE(pDC->GetTextExtentPoint32W(nullptr, 0, &size));
    EXPECT_EQ(size.cx, 0);
    EXPECT_FALSE(pDC->GetTextExtentPoint32W(u"x", -1, &size));

    EXPECT_EQ(pDC->SelectObject(pOld), pFont.get());
    EXPECT_EQ(pDC->GetCurrentFont(), &Font::SystemFont());
}

TEST(DeviceContextTest, MakesFontsFromTheirDescription) {
    LOGFONT logFont;
    logFont.lfHeight = -12;
    logFont.lfWeight = 700;
    logFont.lfItalic = true;
    logFont.lfFaceName = u"DejaVu Sans";
    const Font font(logFont);
    EXPECT_EQ(font.GetQFont().pixelSize(), 12);
    EXPECT_EQ(font.GetQFont().weight(), QFont::Bold);
    EXPECT_TRUE(font.GetQFont().italic());
    EXPECT_EQ(font.GetQFont().family(), QStringLiteral("DejaVu Sans"));
    EXPECT_EQ(font.GetLogFont().lfHeight, -12);
}

}  // namespace
}  // namespace vesk::platform
