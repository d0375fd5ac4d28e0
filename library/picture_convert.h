#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vesk {

// A WebP picture as PNG, for readers that show no WebP (many e-readers); nothing when the bytes
// are not a WebP picture that can be read.
std::optional<std::string> WebpToPng(std::string_view webp);

}  // namespace vesk
