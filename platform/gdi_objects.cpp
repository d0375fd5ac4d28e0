#include "gdi_objects.h"

#include <algorithm>

namespace vesk::platform {

namespace {

constexpr QRgb kWhite = 0xFFFFFFFFu;
constexpr QRgb kBlack = 0xFF000000u;

}  // namespace

const Pen& Pen::Null() {
    static const Pen pen(PS_NULL, 0, 0);
    return pen;
}

const Pen& Pen::Black() {
    static const Pen pen(PS_SOLID, 0, 0);
    return pen;
}

const Brush& Brush::Null() {
    static const Brush brush;
    return brush;
}

const Brush& Brush::White() {
    static const Brush brush(RGB(255, 255, 255));
    return brush;
}

std::unique_ptr<Pen> CreatePen(int nStyle, int nWidth, COLORREF colour) {
    return std::make_unique<Pen>(nStyle, nWidth, colour);
}

std::unique_ptr<Brush> CreateSolidBrush(COLORREF colour) {
    return std::make_unique<Brush>(colour);
}

Bitmap::Bitmap(int nWidth, int nHeight, bool bMonochrome)
    : m_image(std::max(nWidth, 1), std::max(nHeight, 1), QImage::Format_RGB32),
      m_nBitsPixel(bMonochrome ? 1 : 24) {
    // A new bitmap's pixels are black.
    m_image.fill(kBlack);
}

Bitmap::Bitmap(const QImage& image)
    : m_image(image.convertToFormat(QImage::Format_RGB32)), m_nBitsPixel(24) {}

Bitmap::Bitmap(const QImage& colour, std::vector<std::uint8_t> alpha)
    : m_image(colour.convertToFormat(QImage::Format_RGB32)),
      m_nBitsPixel(32),
      m_alpha(std::move(alpha)) {
    m_alpha.resize(static_cast<std::size_t>(m_image.width()) * m_image.height(), 0);
}

COLORREF Bitmap::GetPixel(int x, int y) const {
    if (!m_image.valid(x, y)) {
        return 0xFFFFFFFF;
    }
    return FromQRgb(m_image.pixel(x, y));
}

std::unique_ptr<Bitmap> CreateBitmap(int nWidth, int nHeight, UINT nPlanes, UINT nBitCount) {
    if (nWidth <= 0 || nHeight <= 0 || nPlanes != 1) {
        return nullptr;
    }
    switch (nBitCount) {
        case 1:
        case 24:
            return std::make_unique<Bitmap>(nWidth, nHeight, nBitCount == 1);
        case 32: {
            QImage black(nWidth, nHeight, QImage::Format_RGB32);
            black.fill(kBlack);
            return std::make_unique<Bitmap>(black, std::vector<std::uint8_t>());
        }
        default:
            return nullptr;
    }
}

BOOL GetObject(const Bitmap* pBitmap, BITMAP* pInfo) {
    if (pBitmap == nullptr || pInfo == nullptr) {
        return FALSE;
    }
    pInfo->bmWidth = pBitmap->Width();
    pInfo->bmHeight = pBitmap->Height();
    pInfo->bmPlanes = 1;
    pInfo->bmBitsPixel = pBitmap->BitsPixel();
    return TRUE;
}

Icon::Icon(QImage colour, QImage mask, bool bAlpha, std::optional<POINT> hotSpot)
    : m_colour(colour.convertToFormat(QImage::Format_ARGB32)),
      m_mask(mask.convertToFormat(QImage::Format_RGB32)),
      m_bAlpha(bAlpha),
      m_hotSpot(hotSpot.value_or(POINT{m_colour.width() / 2, m_colour.height() / 2})) {
    if (m_mask.size() != m_colour.size()) {
        // A mask of another size is cut or padded (opaque) to the image's.
        m_mask = m_mask.copy(m_colour.rect());
    }
    if (!m_bAlpha && !m_colour.isNull()) {
        // Without an alpha channel every pixel counts as opaque; the mask decides.
        for (int y = 0; y < m_colour.height(); ++y) {
            auto* pLine = reinterpret_cast<QRgb*>(m_colour.scanLine(y));
            for (int x = 0; x < m_colour.width(); ++x) {
                pLine[x] |= kBlack;
            }
        }
    }
}

std::unique_ptr<Icon> Icon::FromImage(const QImage& image) {
    if (image.isNull()) {
        return nullptr;
    }
    QImage colour = image.convertToFormat(QImage::Format_ARGB32);
    QImage mask(colour.size(), QImage::Format_RGB32);
    for (int y = 0; y < colour.height(); ++y) {
        auto* pLine = reinterpret_cast<QRgb*>(colour.scanLine(y));
        for (int x = 0; x < colour.width(); ++x) {
            // Where the mask is white the colour image is black, so AND then XOR leaves the screen.
            const bool bTransparent = qAlpha(pLine[x]) == 0;
            if (bTransparent) {
                pLine[x] = 0;
            }
            mask.setPixel(x, y, bTransparent ? kWhite : kBlack);
        }
    }
    return std::make_unique<Icon>(colour, mask, true);
}

bool Icon::IsTransparentAt(int x, int y) const {
    return m_mask.valid(x, y) && (m_mask.pixel(x, y) & 0xFFFFFF) != 0;
}

QRgb Icon::Over(int x, int y, QRgb destination) const {
    // Both images are 32 bits a pixel; reading the rows directly keeps drawing cheap.
    const QRgb c = reinterpret_cast<const QRgb*>(m_colour.constScanLine(y))[x];
    if (!m_bAlpha) {
        const QRgb m = reinterpret_cast<const QRgb*>(m_mask.constScanLine(y))[x];
        return ((destination & m) ^ c) | kBlack;
    }
    const int a = qAlpha(c);
    const auto blend = [a](int s, int d) { return (s * a + d * (255 - a) + 127) / 255; };
    return qRgb(blend(qRed(c), qRed(destination)), blend(qGreen(c), qGreen(destination)),
                blend(qBlue(c), qBlue(destination)));
}

BOOL GetIconInfo(const Icon* pIcon, ICONINFO* pInfo) {
    if (pIcon == nullptr || pInfo == nullptr || pIcon->Colour().isNull()) {
        return FALSE;
    }
    const QImage& colour = pIcon->Colour();
    std::vector<std::uint8_t> alpha(static_cast<std::size_t>(colour.width()) * colour.height(), 0);
    if (pIcon->HasAlpha()) {
        for (int y = 0; y < colour.height(); ++y) {
            for (int x = 0; x < colour.width(); ++x) {
                alpha[static_cast<std::size_t>(y) * colour.width() + x] =
                    static_cast<std::uint8_t>(qAlpha(colour.pixel(x, y)));
            }
        }
    }
    pInfo->fIcon = TRUE;
    pInfo->xHotspot = static_cast<DWORD>(pIcon->HotSpot().x);
    pInfo->yHotspot = static_cast<DWORD>(pIcon->HotSpot().y);
    pInfo->hbmColor = std::make_unique<Bitmap>(colour, std::move(alpha));
    pInfo->hbmMask = std::make_unique<Bitmap>(pIcon->Width(), pIcon->Height(), true);
    pInfo->hbmMask->Image() = pIcon->Mask().copy();
    return TRUE;
}

std::unique_ptr<Icon> CreateIconIndirect(const ICONINFO* pInfo) {
    if (pInfo == nullptr || pInfo->hbmColor == nullptr || pInfo->hbmMask == nullptr ||
        pInfo->hbmMask->Width() < pInfo->hbmColor->Width() ||
        pInfo->hbmMask->Height() < pInfo->hbmColor->Height()) {
        return nullptr;
    }
    const Bitmap& colour = *pInfo->hbmColor;
    const std::vector<std::uint8_t>& alpha = colour.Alpha();
    const bool bAlpha = std::any_of(alpha.begin(), alpha.end(), [](std::uint8_t a) { return a; });
    QImage image = colour.Image().convertToFormat(QImage::Format_ARGB32);
    if (bAlpha) {
        for (int y = 0; y < image.height(); ++y) {
            auto* pLine = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                const std::uint8_t a = alpha[static_cast<std::size_t>(y) * image.width() + x];
                pLine[x] = (pLine[x] & 0x00FFFFFFu) | static_cast<QRgb>(a) << 24;
            }
        }
    }
    const QImage mask = pInfo->hbmMask->Image().copy(0, 0, image.width(), image.height());
    return std::make_unique<Icon>(image, mask, bAlpha);
}

}  // namespace vesk::platform
