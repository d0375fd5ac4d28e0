#include "book_cover.h"

#include "code_page.h"
#include "picture_convert.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace vesk {

namespace {

constexpr int kWidth = 600;
constexpr int kHeight = 900;
constexpr int kMargin = 50;

// A grey picture being drawn on: white, and text in shades of grey from black.
class Canvas final {
public:
    explicit Canvas(FT_Face pFace) : m_pFace(pFace), m_pixels(kWidth * kHeight, 255) {}

    // Writes the text from the top at y, wrapped within the margins, at most nLines lines (the last
    // ending in "…" when it is cut); where the next text may begin.
    int Write(const std::string& text, int nSize, int y, std::uint8_t shade, int nLines) {
        FT_Set_Pixel_Sizes(m_pFace, 0, static_cast<FT_UInt>(nSize));
        const int nLineHeight = nSize * 3 / 2;
        std::vector<char32_t> line;
        int nWidth = 0;
        int nLine = 0;
        const std::vector<char32_t> characters = Utf8CodePoints(text);
        for (std::size_t i = 0; i <= characters.size(); ++i) {
            const bool bEnd = i == characters.size();
            const int nAdvance = bEnd ? 0 : Advance(characters[i]);
            if (bEnd || nWidth + nAdvance > kWidth - 2 * kMargin) {
                if (!bEnd && nLine + 1 == nLines && !line.empty()) {
                    line.back() = U'\u2026';
                }
                Line(line, kMargin, y + nLine * nLineHeight + nSize, shade);
                ++nLine;
                line.clear();
                nWidth = 0;
                if (bEnd || nLine == nLines) {
                    break;
                }
            }
            line.push_back(characters[i]);
            nWidth += nAdvance;
        }
        return y + nLine * nLineHeight;
    }

    void Fill(int x, int y, int nWidth, int nHeight, std::uint8_t shade) {
        for (int row = y; row < y + nHeight; ++row) {
            std::fill_n(m_pixels.begin() + row * kWidth + x, nWidth, shade);
        }
    }

    const std::vector<std::uint8_t>& Pixels() const { return m_pixels; }

private:
    int Advance(char32_t code) {
        return FT_Load_Char(m_pFace, code, FT_LOAD_DEFAULT) == 0
                   ? static_cast<int>(m_pFace->glyph->advance.x >> 6)
                   : 0;
    }

    void Line(const std::vector<char32_t>& line, int x, int nBaseline, std::uint8_t shade) {
        for (const char32_t code : line) {
            if (FT_Load_Char(m_pFace, code, FT_LOAD_RENDER) != 0) {
                continue;
            }
            const FT_GlyphSlot pGlyph = m_pFace->glyph;
            const FT_Bitmap& bitmap = pGlyph->bitmap;
            for (unsigned int row = 0; row < bitmap.rows; ++row) {
                for (unsigned int column = 0; column < bitmap.width; ++column) {
                    const int px = x + pGlyph->bitmap_left + static_cast<int>(column);
                    const int py = nBaseline - pGlyph->bitmap_top + static_cast<int>(row);
                    if (px < 0 || py < 0 || px >= kWidth || py >= kHeight) {
                        continue;
                    }
                    const int nCover =
                        bitmap.buffer[row * static_cast<unsigned int>(bitmap.pitch) + column];
                    std::uint8_t& pixel = m_pixels[static_cast<std::size_t>(py * kWidth + px)];
                    pixel =
                        static_cast<std::uint8_t>((pixel * (255 - nCover) + shade * nCover) / 255);
                }
            }
            x += static_cast<int>(pGlyph->advance.x >> 6);
        }
    }

    FT_Face m_pFace;
    std::vector<std::uint8_t> m_pixels;
};

}  // namespace

std::optional<std::string> DrawCover(const CoverText& text, const std::string& strFontFile) {
    FT_Library pLibrary = nullptr;
    if (FT_Init_FreeType(&pLibrary) != 0) {
        return std::nullopt;
    }
    const std::unique_ptr<FT_LibraryRec_, FT_Error (*)(FT_Library)> library(pLibrary,
                                                                            FT_Done_FreeType);
    FT_Face pFace = nullptr;
    if (FT_New_Face(pLibrary, strFontFile.c_str(), 0, &pFace) != 0) {
        return std::nullopt;
    }
    Canvas canvas(pFace);
    canvas.Fill(0, 0, kWidth, 24, 40);
    int y = canvas.Write(text.strTitle, 44, 110, 0, 6);
    canvas.Fill(kMargin, y + 30, 120, 6, 40);
    y = canvas.Write("楼主：" + text.strStarter, 28, y + 70, 40, 2);
    if (!text.strDays.empty()) {
        y = canvas.Write(text.strDays, 26, y + 10, 70, 1);
    }
    canvas.Write(text.strBoard, 24, kHeight - 110, 90, 1);
    canvas.Fill(0, kHeight - 24, kWidth, 24, 40);
    FT_Done_Face(pFace);
    return EncodeGreyPng(canvas.Pixels().data(), kWidth, kHeight);
}

std::vector<InstalledFont> InstalledChineseFonts() {
    std::vector<InstalledFont> fonts;
    FcConfig* pConfig = FcInitLoadConfigAndFonts();
    if (pConfig == nullptr) {
        return fonts;
    }
    FcPattern* pPattern = FcNameParse(reinterpret_cast<const FcChar8*>(":lang=zh-cn"));
    FcObjectSet* pObjects = FcObjectSetBuild(FC_FAMILY, FC_FAMILYLANG, FC_FILE, nullptr);
    if (FcFontSet* pSet = FcFontList(pConfig, pPattern, pObjects)) {
        for (int i = 0; i < pSet->nfont; ++i) {
            FcChar8* pszFile = nullptr;
            if (FcPatternGetString(pSet->fonts[i], FC_FILE, 0, &pszFile) != FcResultMatch) {
                continue;
            }
            // The family's name in Chinese when the font names itself so, else its first.
            std::string name;
            FcChar8* pszFamily = nullptr;
            FcChar8* pszLanguage = nullptr;
            for (int n = 0;
                 FcPatternGetString(pSet->fonts[i], FC_FAMILY, n, &pszFamily) == FcResultMatch;
                 ++n) {
                const bool bChinese =
                    FcPatternGetString(pSet->fonts[i], FC_FAMILYLANG, n, &pszLanguage) ==
                        FcResultMatch &&
                    std::string_view(reinterpret_cast<const char*>(pszLanguage)).starts_with("zh");
                if (name.empty() || bChinese) {
                    name = reinterpret_cast<const char*>(pszFamily);
                }
                if (bChinese) {
                    break;
                }
            }
            const std::string file = reinterpret_cast<const char*>(pszFile);
            if (std::none_of(fonts.begin(), fonts.end(),
                             [&](const InstalledFont& font) { return font.strFile == file; })) {
                fonts.push_back({name, file});
            }
        }
        FcFontSetDestroy(pSet);
    }
    FcObjectSetDestroy(pObjects);
    FcPatternDestroy(pPattern);
    FcConfigDestroy(pConfig);
    std::sort(fonts.begin(), fonts.end(),
              [](const InstalledFont& a, const InstalledFont& b) { return a.strName < b.strName; });
    return fonts;
}

std::string InstalledChineseFont() {
    FcConfig* pConfig = FcInitLoadConfigAndFonts();
    if (pConfig == nullptr) {
        return {};
    }
    std::string file;
    FcPattern* pPattern = FcNameParse(reinterpret_cast<const FcChar8*>(":lang=zh-cn"));
    FcConfigSubstitute(pConfig, pPattern, FcMatchPattern);
    FcDefaultSubstitute(pPattern);
    FcResult result = FcResultNoMatch;
    if (FcPattern* pMatch = FcFontMatch(pConfig, pPattern, &result)) {
        FcChar8* pszFile = nullptr;
        FcLangSet* pLanguages = nullptr;
        // The best match may have no Chinese at all when nothing installed has.
        if (FcPatternGetString(pMatch, FC_FILE, 0, &pszFile) == FcResultMatch &&
            FcPatternGetLangSet(pMatch, FC_LANG, 0, &pLanguages) == FcResultMatch &&
            FcLangSetHasLang(pLanguages, reinterpret_cast<const FcChar8*>("zh-cn")) !=
                FcLangDifferentLang) {
            file = reinterpret_cast<const char*>(pszFile);
        }
        FcPatternDestroy(pMatch);
    }
    FcPatternDestroy(pPattern);
    FcConfigDestroy(pConfig);
    return file;
}

}  // namespace vesk
