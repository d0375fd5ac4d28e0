#include "text_cut.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace vesk {
namespace {

TEST(ExtractBetweenTest, CutsStrictlyBetweenFirstStartAndNextEndOrGivesEmpty) {
    struct Case {
        std::string_view text, start, end, expected;
    };
    const Case cases[] = {
        {"x<b>bold</b><b>two</b>", "<b>", "</b>", "bold"},
        {"ab", "a", "b", ""},
        // The end marker is searched from just past the start marker, never inside it.
        {"a>b>c", ">", ">", "b"},
        {"<<x<", "<", "<", ""},
        {"end<start>", "start", "end", ""},
        {"only [start", "[", "]", ""},
        {"<TITLE>x</TITLE>", "<title>", "</title>", ""},
        {{}, "a", "b", ""},
        {"ab", "a", "bc", ""},
        // Bytes match inside GB2312 text: 作者： then a name and a span's end.
        {"\xD7\xF7\xD5\xDF\xA3\xBA<span>\xC0\xCF\xCD\xF5</span>", "\xD7\xF7\xD5\xDF\xA3\xBA",
         "/span", "<span>\xC0\xCF\xCD\xF5<"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ExtractBetween(c.text, c.start, c.end), c.expected) << c.text;
    }
    EXPECT_EQ(FindMarker("abcabc", "bc"), 1u);
    EXPECT_EQ(FindMarker("abcabc", "bc", 2), 4u);
    EXPECT_EQ(FindMarker("abcabc", "bc", 5), std::string_view::npos);
    EXPECT_EQ(FindMarker("abc", "c", 9), std::string_view::npos);
}

TEST(FitLengthTest, NeverSplitsADoubleByteCharacter) {
    const std::string text = "a\xC0\xCF\xCD\xF5";  // a + two characters
    for (const auto& [nMax, nFit] :
         {std::pair{10u, 5u}, {5u, 5u}, {4u, 3u}, {3u, 3u}, {2u, 1u}, {0u, 0u}}) {
        EXPECT_EQ(FitLength(text, nMax), nFit) << nMax;
    }
    // 0x80 and 0xFF lead nothing.
    EXPECT_EQ(FitLength("\x80\x80\x80", 2), 2u);
    EXPECT_EQ(FitLength("\xFF\xFF\xFF", 2), 2u);

    char szField[6];
    std::memset(szField, 'Z', sizeof szField);
    for (const auto& [pszText, pszKept] : {std::pair{"abc", "abc"},
                                           {"abc\xC0\xCF\xCD\xF5", "abc\xC0\xCF"},
                                           {"ab\xC0\xCF\xCD\xF5", "ab\xC0\xCF"},
                                           {"a\xC0\xCF\xCD\xF5x", "a\xC0\xCF\xCD\xF5"},
                                           {"", ""}}) {
        CopyToField(szField, pszText);
        EXPECT_STREQ(szField, pszKept);
    }
}

TEST(StoreContentTest, KeepsBodiesUpTo2047BytesAndCutsLongerOnesTo2038BytesAndDots) {
    // Characters of two bytes from a given offset on.
    const auto withCharacters = [](std::size_t nSingle) {
        std::string body(nSingle, 'a');
        while (body.size() < 3000) {
            body += "\xB9\xC9";
        }
        return body;
    };
    const std::pair<std::string, std::string> cases[] = {
        {std::string(2047, 'x'), std::string(2047, 'x')},
        {std::string(2048, 'y'), std::string(2038, 'y') + "......"},
        {std::string(100000, 'z'), std::string(2038, 'z') + "......"},
        // The 2038th byte leads a character: cut one byte earlier rather than split it.
        {withCharacters(2037), std::string(2037, 'a') + "......"},
        {withCharacters(2036), std::string(2036, 'a') + "\xB9\xC9......"},
    };
    char szContent[2048];
    for (const auto& [body, kept] : cases) {
        StoreContent(szContent, body);
        EXPECT_EQ(std::string(szContent), kept) << body.size();
    }
}

TEST(ParseFloorTest, ReadsLeadingDecimalLikeAtoi) {
    const std::pair<std::string_view, int> cases[] = {
        {"12", 12},
        {"12\xC2\xA5", 12},  // 12楼
        {"  \t7th", 7},
        {"-3", -3},
        {"+5x", 5},
        {"<b>3</b>", 0},
        {"", 0},
        {"- 3", 0},
        // Out of range: held at the ends instead of overflowing.
        {"99999999999999999999", 2147483647},
        {"-99999999999999999999", -2147483647 - 1},
        // Digits stop at the view's end even when the bytes behind it are digits.
        {std::string_view("4567").substr(0, 2), 45},
    };
    for (const auto& [text, nFloor] : cases) {
        EXPECT_EQ(ParseFloor(text), nFloor) << text;
    }
    EXPECT_EQ(TrimWhiteSpace("  a b \r\n\t"), "a b");
    EXPECT_EQ(TrimWhiteSpace(" \t\r\n\v\f"), "");
}

}  // namespace
}  // namespace vesk
