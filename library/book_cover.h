#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vesk {

// What a book's cover says (UTF-8).
struct CoverText {
    std::string strTitle;
    std::string strStarter;
    std::string strDays;  // "2024-03-05 – 2024-06-30", or empty
    std::string strBoard;
};

// A cover as a PNG picture 600 by 900, the title large, the starter, the days and the board below
// it, drawn with the font file (a face of a collection: the first); nothing when the file is no
// font FreeType reads.
std::optional<std::string> DrawCover(const CoverText& text, const std::string& strFontFile);

// An installed font that has Chinese, as fontconfig finds one; empty when there is none.
std::string InstalledChineseFont();

// The installed fonts that have Chinese, each as its family's name (in Chinese when the font
// gives one) and its file, one a file, by name.
struct InstalledFont {
    std::string strName;
    std::string strFile;
};
std::vector<InstalledFont> InstalledChineseFonts();

}  // namespace vesk
