#include "font.h"

#include <QString>
#include <cstdlib>

namespace vesk::platform {

Font::Font(const LOGFONT& logFont) : m_logFont(logFont) {
    if (!logFont.lfFaceName.empty()) {
        m_font.setFamily(QString::fromStdU16String(logFont.lfFaceName));
    }
    // A negative height is the character height, a positive one the cell height; both are taken
    // as the pixel size here, 12 when none is given.
    m_font.setPixelSize(logFont.lfHeight == 0 ? 12 : std::abs(logFont.lfHeight));
    m_font.setWeight(static_cast<QFont::Weight>(logFont.lfWeight == 0 ? 400 : logFont.lfWeight));
    m_font.setItalic(logFont.lfItalic);
}

const Font& Font::SystemFont() {
    static const Font font([] {
        LOGFONT logFont;
        logFont.lfHeight = 16;
        logFont.lfWeight = 700;
        return logFont;
    }());
    return font;
}

std::unique_ptr<Font> CreateFontIndirect(const LOGFONT& logFont) {
    return std::make_unique<Font>(logFont);
}

std::unique_ptr<Font> CreateMenuFont() {
    NONCLIENTMETRICS metrics;
    metrics.cbSize = 340;
    if (!SystemParametersInfo(SPI_GETNONCLIENTMETRICS, 340, &metrics, 0)) {
        return nullptr;
    }
    return CreateFontIndirect(metrics.lfMenuFont);
}

}  // namespace vesk::platform
