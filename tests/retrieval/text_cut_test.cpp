#include "text_cut.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace vesk {
namespace {

TEST(ExtractBetweenTest, CutsStrictlyBetweenFirstStartAndNextEnd) {
    EXPECT_EQ(ExtractBetween("x<b>bold</b><b>two</b>", "<b>", "</b>"), "bold");
    EXPECT_EQ(ExtractBetween("<title>T</title>", "<title>", "</title>"), "T");
    EXPECT_EQ(ExtractBetween("ab", "a", "b"), "");
    // The end marker is searched from just past the start marker, never inside it.
    EXPECT_EQ(ExtractBetween("a>b>c", ">", ">"), "b");
    EXPECT_EQ(ExtractBetween("<<x<", "<", "<"), "");
    EXPECT_EQ(ExtractBetween("end<start>", "start", "end"), "");
}

TEST(ExtractBetweenTest, MissingMarkersAndCaseGiveEmpty) {
    EXPECT_EQ(ExtractBetween("no markers here", "[", "]"), "");
    EXPECT_EQ(ExtractBetween("only [start", "[", "]"), "");
    EXPECT_EQ(ExtractBetween("<TITLE>x</TITLE>", "<title>", "</title>"), "");
    EXPECT_EQ(ExtractBetween("", "a", "b"), "");
    EXPECT_EQ(ExtractBetween(std::string_view{}, "a", "b"), "");
    EXPECT_EQ(ExtractBetween("ab", "a", "bc"), "");
}

TEST(FindMarkerTest, SearchesFromAPosition) {
    EXPECT_EQ(FindMarker("abcabc", "bc"), 1u);
    EXPECT_EQ(FindMarker("abcabc", "bc", 2), 4u);
    EXPECT_EQ(FindMarker("abcabc", "bc", 5), std::string_view::npos);
    EXPECT_EQ(FindMarker("abc", "abc", 0), 0u);
    EXPECT_EQ(FindMarker("abc", "c", 3), std::string_view::npos);
    EXPECT_EQ(FindMarker("abc", "c", 9), std::string_view::npos);
}

TEST(ExtractBetweenTest, MatchesBytesInsideDoubleByteText) {
    // 作者： followed by a name and a span's end, all GB2312.
    const std::string text = "\xD7\xF7\xD5\xDF\xA3\xBA<span>\xC0\xCF\xCD\xF5</span>";
    EXPECT_EQ(ExtractBetween(text, "\xD7\xF7\xD5\xDF\xA3\xBA", "/span"), "<span>\xC0\xCF\xCD\xF5<");
}

TEST(FitLengthTest, NeverSplitsADoubleByteCharacter) {
    const std::string text = "a\xC0\xCF\xCD\xF5";  // a + two characters
    EXPECT_EQ(FitLength(text, 10), 5u);
    EXPECT_EQ(FitLength(text, 5), 5u);
    EXPECT_EQ(FitLength(text, 4), 3u);
    EXPECT_EQ(FitLength(text, 3), 3u);
    EXPECT_EQ(FitLength(text, 2), 1u);
    EXPECT_EQ(FitLength(text, 0), 0u);
    // 0x80 and 0xFF lead nothing.
    EXPECT_EQ(FitLength("\x80\x80\x80", 2), 2u);
    EXPECT_EQ(FitLength("\xFF\xFF\xFF", 2), 2u);
}

TEST(CopyToFieldTest, CutsAtAWholeCharacterAndAlwaysTerminates) {
    char szField[6];
    std::memset(szField, 'Z', sizeof szField);
    CopyToField(szField, "abc");
    EXPECT_STREQ(szField, "abc");

    // Five bytes fit; the last character would need the sixth.
    CopyToField(szField, "abc\xC0\xCF\xCD\xF5");
    EXPECT_STREQ(szField, "abc\xC0\xCF");
    CopyToField(szField, "ab\xC0\xCF\xCD\xF5");
    EXPECT_STREQ(szField, "ab\xC0\xCF");
    CopyToField(szField, "a\xC0\xCF\xCD\xF5x");
    EXPECT_STREQ(szField, "a\xC0\xCF\xCD\xF5");

    // A longer old value leaves nothing behind its new end.
    char szEmpty[4] = {'o', 'l', 'd', '\0'};
    CopyToField(szEmpty, "");
    EXPECT_STREQ(szEmpty, "");
}

TEST(StoreContentTest, KeepsBodiesUpTo2047BytesWhole) {
    char szContent[2048];
    const std::string body2047(2047, 'x');
    StoreContent(szContent, body2047);
    EXPECT_EQ(std::string(szContent), body2047);
}

TEST(StoreContentTest, CutsLongerBodiesTo2038BytesAndDots) {
    char szContent[2048];
    const std::string body(2048, 'y');
    StoreContent(szContent, body);
    EXPECT_EQ(std::string(szContent), std::string(2038, 'y') + "......");
    EXPECT_EQ(std::strlen(szContent), 2044u);

    StoreContent(szContent, std::string(100000, 'z'));
    EXPECT_EQ(std::string(szContent), std::string(2038, 'z') + "......");
}

TEST(StoreContentTest, CutsOneByteEarlierRatherThanSplitACharacter) {
    char szContent[2048];
    // 2037 single bytes, then characters: the 2038th byte leads a character.
    std::string body(2037, 'a');
    while (body.size() < 3000) {
        body += "\xB9\xC9";
    }
    StoreContent(szContent, body);
    EXPECT_EQ(std::string(szContent), std::string(2037, 'a') + "......");

    // 2036 single bytes: the character at 2037 and 2038 fits whole.
    body = std::string(2036, 'a');
    while (body.size() < 3000) {
        body += "\xB9\xC9";
    }
    StoreContent(szContent, body);
    EXPECT_EQ(std::string(szContent), std::string(2036, 'a') + "\xB9\xC9......");
}

TEST(ParseFloorTest, ReadsLeadingDecimalLikeAtoi) {
    EXPECT_EQ(ParseFloor("12"), 12);
    EXPECT_EQ(ParseFloor("12\xC2\xA5"), 12);  // 12楼
    EXPECT_EQ(ParseFloor("  \t7th"), 7);
    EXPECT_EQ(ParseFloor("-3"), -3);
    EXPECT_EQ(ParseFloor("+5x"), 5);
    EXPECT_EQ(ParseFloor("<b>3</b>"), 0);
    EXPECT_EQ(ParseFloor("floor 3"), 0);
    EXPECT_EQ(ParseFloor(""), 0);
    EXPECT_EQ(ParseFloor("- 3"), 0);
    // Out of range: held at the ends instead of overflowing.
    EXPECT_EQ(ParseFloor("99999999999999999999"), 2147483647);
    EXPECT_EQ(ParseFloor("-99999999999999999999"), -2147483647 - 1);
    // Digits stop at the view's end even when the bytes behind it are digits.
    const std::string text = "4567";
    EXPECT_EQ(ParseFloor(std::string_view(text).substr(0, 2)), 45);
}

TEST(TrimWhiteSpaceTest, RemovesBlanksAtBothEndsOnly) {
    EXPECT_EQ(TrimWhiteSpace("  a b \r\n\t"), "a b");
    EXPECT_EQ(TrimWhiteSpace(" \t\r\n\v\f"), "");
    EXPECT_EQ(TrimWhiteSpace("abc"), "abc");
}

}  // namespace
}  // namespace vesk
