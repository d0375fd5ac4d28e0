#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vesk {

// Conversions between UTF-8, UTF-16 and the forum's narrow code page, GB2312 (read and written as
// GBK, its superset), through iconv.

// Strict: an empty optional when the text cannot be converted whole.
std::optional<std::string> Utf8ToGbk(std::string_view text);
std::optional<std::string> GbkToUtf8(std::string_view text);

// Lenient, as a desktop's narrow/wide conversion is: a byte sequence that is no GBK character
// becomes U+FFFD, and a character that GBK cannot hold becomes '?'.
std::u16string GbkToUtf16(std::string_view text);
std::string GbkToUtf8Lenient(std::string_view text);
std::string Utf16ToGbk(std::u16string_view text);
// For markup: a character that GBK cannot hold becomes a numeric character reference ("&#128512;"),
// a byte that is no UTF-8 the reference of U+FFFD.
std::string Utf8ToGbkMarkup(std::string_view text);

// The characters of UTF-8 text, each as its code point; a byte that starts no character is passed
// over.
std::vector<char32_t> Utf8CodePoints(std::string_view text);

}  // namespace vesk
