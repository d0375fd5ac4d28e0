#include "code_page.h"

#include <gtest/gtest.h>

namespace vesk {
namespace {

TEST(CodePageTest, ConvertsBetweenUtf8AndGbkStrictlyAndWhole) {
    EXPECT_EQ(Utf8ToGbk("股吧 abc").value(), "\xB9\xC9\xB0\xC9 abc");
    EXPECT_EQ(GbkToUtf8("\xB9\xC9\xB0\xC9 abc").value(), "股吧 abc");
    EXPECT_EQ(Utf8ToGbk("").value(), "");
    // A character GBK cannot hold, and bytes that are no UTF-8.
    EXPECT_FALSE(Utf8ToGbk("snow ☃").has_value());
    EXPECT_FALSE(Utf8ToGbk("\xFF\xFE").has_value());
    EXPECT_FALSE(GbkToUtf8("\x81").has_value());
    // Long text whole.
    std::string strUtf8;
    for (int i = 0; i < 5000; ++i) {
        strUtf8 += "楼";
    }
    const std::string strGbk = Utf8ToGbk(strUtf8).value();
    EXPECT_EQ(strGbk.size(), 10000u);
    EXPECT_EQ(GbkToUtf8(strGbk).value(), strUtf8);
    EXPECT_EQ(GbkToUtf16(strGbk), std::u16string(5000, u'楼'));
}

TEST(CodePageTest, ConvertsBetweenGbkAndUtf16Leniently) {
    EXPECT_EQ(GbkToUtf16("\xB9\xC9\xB0\xC9 abc"), u"股吧 abc");
    EXPECT_EQ(Utf16ToGbk(u"股吧 abc"), "\xB9\xC9\xB0\xC9 abc");
    EXPECT_EQ(GbkToUtf16(""), u"");
    EXPECT_EQ(Utf16ToGbk(u""), "");
    // A lead byte without its trail byte at the end, and one before an ASCII letter.
    EXPECT_EQ(GbkToUtf16("a\x81"), u"a\uFFFD");
    EXPECT_EQ(GbkToUtf16("\x81\x20x"), u"\uFFFD x");
    // Characters outside GBK, an unpaired surrogate among them.
    EXPECT_EQ(Utf16ToGbk(u"a☃b"), "a?b");
    EXPECT_EQ(Utf16ToGbk(std::u16string(u"x") + char16_t(0xD800) + u"y"), "x?y");
}

}  // namespace
}  // namespace vesk
