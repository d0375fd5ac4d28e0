#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vesk {

// A font a book carries: the part of a font file its characters need.
struct BookFont {
    std::string strData;
    std::string strExtension;  // "ttf" or "otf"
    std::string strType;       // its media type
};

// The subset of the font file (.ttf, .otf, or a face of a .ttc collection: one named for
// Simplified Chinese, SC, CN or GB, when there is one, else the first) that holds the characters
// of the text (UTF-8), made with HarfBuzz's subsetter; nothing when the file holds no font it
// reads.
std::optional<BookFont> SubsetFont(const std::string& strFile, std::string_view text);

// Whether the font file (its face SubsetFont takes) is a font with Chinese characters in it.
bool HasChineseCharacters(const std::string& strFile);

}  // namespace vesk
