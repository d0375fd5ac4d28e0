#include "device_context.h"

#include "code_page.h"

#include <QFontMetrics>
#include <QString>

namespace vesk::platform {

namespace {

// The screen's context draws nowhere visible; it only measures.
class ScreenDC final : public DeviceContext {
public:
    ScreenDC() : DeviceContext(&m_image) {}

private:
    QImage m_image{1, 1, QImage::Format_RGB32};
};

}  // namespace

DeviceContext::DeviceContext(QImage* pTarget) : m_pTarget(pTarget) {}

const Font* DeviceContext::SelectObject(const Font* pFont) {
    const Font* pOld = m_pFont;
    if (pFont != nullptr) {
        m_pFont = pFont;
    }
    return pOld;
}

BOOL DeviceContext::GetTextExtentPoint32W(const char16_t* pszText, int nLength, SIZE* pSize) const {
    if (pSize == nullptr || nLength < 0 || (pszText == nullptr && nLength > 0)) {
        return FALSE;
    }
    const QFontMetrics metrics(m_pFont->GetQFont());
    const QString text = QString::fromUtf16(pszText, nLength);
    pSize->cx = metrics.horizontalAdvance(text);
    pSize->cy = metrics.height();
    return TRUE;
}

BOOL DeviceContext::GetTextExtentPoint32A(const char* pszText, int nLength, SIZE* pSize) const {
    if (nLength < 0 || (pszText == nullptr && nLength > 0)) {
        return FALSE;
    }
    const std::u16string wide = GbkToUtf16(std::string_view(pszText, nLength));
    return GetTextExtentPoint32W(wide.c_str(), static_cast<int>(wide.size()), pSize);
}

std::unique_ptr<DeviceContext> GetDC() {
    return std::make_unique<ScreenDC>();
}

}  // namespace vesk::platform
