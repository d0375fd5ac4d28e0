#pragma once

#include "font.h"
#include "win_types.h"

#include <QImage>
#include <memory>
#include <string_view>

namespace vesk::platform {

// A device context drawing onto a QImage, with the platform's integer geometry.
class DeviceContext {
public:
    // Draws onto the image, which must outlive the context.
    explicit DeviceContext(QImage* pTarget);
    virtual ~DeviceContext() = default;
    DeviceContext(const DeviceContext&) = delete;
    DeviceContext& operator=(const DeviceContext&) = delete;

    // Selects a font and returns the one selected before; the caller keeps both alive while they
    // are selected.
    const Font* SelectObject(const Font* pFont);
    const Font* GetCurrentFont() const { return m_pFont; }

    // The width of the text in the selected font and the font's height.
    BOOL GetTextExtentPoint32W(const char16_t* pszText, int nLength, SIZE* pSize) const;
    // Narrow text, converted with the ANSI code page.
    BOOL GetTextExtentPoint32A(const char* pszText, int nLength, SIZE* pSize) const;

protected:
    QImage* m_pTarget;

private:
    const Font* m_pFont = &Font::SystemFont();
};

// The screen's device context, for measuring text: the platform's GetDC of a window or of the
// desktop, released when it goes.
std::unique_ptr<DeviceContext> GetDC();

}  // namespace vesk::platform
