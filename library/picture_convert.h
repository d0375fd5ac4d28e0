#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vesk {

// A WebP picture as PNG, for readers that show no WebP (many e-readers); nothing when the bytes
// are not a WebP picture that can be read.
std::optional<std::string> WebpToPng(std::string_view webp);

// Grey pixels (a byte each, row by row) as PNG; nothing when libpng fails.
std::optional<std::string> EncodeGreyPng(const std::uint8_t* pPixels, int nWidth, int nHeight);

}  // namespace vesk
