#include "gdi_objects.h"

namespace vesk::platform {

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
      m_bMonochrome(bMonochrome) {
    // A new bitmap's pixels are black.
    m_image.fill(0xFF000000u);
}

Bitmap::Bitmap(const QImage& image)
    : m_image(image.convertToFormat(QImage::Format_RGB32)), m_bMonochrome(false) {}

COLORREF Bitmap::GetPixel(int x, int y) const {
    if (!m_image.valid(x, y)) {
        return 0xFFFFFFFF;
    }
    return FromQRgb(m_image.pixel(x, y));
}

BITMAP GetBitmapInfo(const Bitmap& bitmap) {
    BITMAP info;
    info.bmWidth = bitmap.Width();
    info.bmHeight = bitmap.Height();
    info.bmBitsPixel = bitmap.IsMonochrome() ? 1 : 24;
    return info;
}

Icon::Icon(QImage colour, QImage mask, POINT hotSpot)
    : m_colour(colour.convertToFormat(QImage::Format_RGB32)),
      m_mask(mask.convertToFormat(QImage::Format_RGB32)),
      m_hotSpot(hotSpot) {}

std::unique_ptr<Icon> Icon::FromImage(const QImage& image) {
    if (image.isNull()) {
        return nullptr;
    }
    const QImage source = image.convertToFormat(QImage::Format_ARGB32);
    QImage colour(source.size(), QImage::Format_RGB32);
    QImage mask(source.size(), QImage::Format_RGB32);
    for (int y = 0; y < source.height(); ++y) {
        for (int x = 0; x < source.width(); ++x) {
            const QRgb pixel = source.pixel(x, y);
            const bool bTransparent = qAlpha(pixel) < 128;
            // Where the mask is white the colour image is black, so AND then XOR leaves the screen.
            colour.setPixel(x, y, bTransparent ? 0xFF000000u : (pixel | 0xFF000000u));
            mask.setPixel(x, y, bTransparent ? 0xFFFFFFFFu : 0xFF000000u);
        }
    }
    return std::make_unique<Icon>(colour, mask, POINT{source.width() / 2, source.height() / 2});
}

bool Icon::IsTransparentAt(int x, int y) const {
    return m_mask.valid(x, y) && (m_mask.pixel(x, y) & 0xFFFFFF) != 0;
}

}  // namespace vesk::platform
