#pragma once

#include "system.h"

#include <QFont>
#include <memory>

namespace vesk::platform {

// A font made from a LOGFONT: the platform's HFONT, owned by whoever made it.
class Font final {
public:
    explicit Font(const LOGFONT& logFont);
    const QFont& GetQFont() const { return m_font; }
    const LOGFONT& GetLogFont() const { return m_logFont; }

    // The font a device context holds before any other is selected.
    static const Font& SystemFont();

private:
    LOGFONT m_logFont;
    QFont m_font;
};

// Null when there is no face to make the font from.
std::unique_ptr<Font> CreateFontIndirect(const LOGFONT& logFont);
// The desktop's menu font, from SPI_GETNONCLIENTMETRICS; null when it cannot be had.
std::unique_ptr<Font> CreateMenuFont();

}  // namespace vesk::platform
