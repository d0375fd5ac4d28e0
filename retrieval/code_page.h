#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vesk {

// Conversions between UTF-8 and the forum's narrow code page, GB2312 (read and written as GBK,
// its superset). Empty optional when the text cannot be converted whole.
std::optional<std::string> Utf8ToGbk(std::string_view text);
std::optional<std::string> GbkToUtf8(std::string_view text);

}  // namespace vesk
