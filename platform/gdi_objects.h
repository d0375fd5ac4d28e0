#pragma once

#include "win_types.h"

#include <QImage>
#include <memory>

// The drawing objects a device context selects: pens, brushes, bitmaps; and icons. Each is owned
// by whoever made it (the platform's handles, as RAII objects).
namespace vesk::platform {

inline constexpr int PS_SOLID = 0;
inline constexpr int PS_NULL = 5;

// A cosmetic pen: one pixel wide, whatever width it was asked for.
class Pen final {
public:
    Pen(int nStyle, int nWidth, COLORREF colour)
        : m_nStyle(nStyle), m_nWidth(nWidth), m_colour(colour) {}
    int Style() const { return m_nStyle; }
    int Width() const { return m_nWidth; }
    COLORREF Colour() const { return m_colour; }
    static const Pen& Null();
    static const Pen& Black();

private:
    int m_nStyle;
    int m_nWidth;
    COLORREF m_colour;
};

// A solid brush, or the null brush that paints nothing.
class Brush final {
public:
    explicit Brush(COLORREF colour) : m_colour(colour) {}
    COLORREF Colour() const { return m_colour; }
    bool IsNull() const { return m_bNull; }
    static const Brush& Null();
    static const Brush& White();

private:
    Brush() : m_colour(0), m_bNull(true) {}
    COLORREF m_colour;
    bool m_bNull = false;
};

std::unique_ptr<Pen> CreatePen(int nStyle, int nWidth, COLORREF colour);
std::unique_ptr<Brush> CreateSolidBrush(COLORREF colour);

// A bitmap: colour (24 bits) or monochrome (each pixel black or white). Its pixels are kept as
// 0xFFRRGGBB.
class Bitmap final {
public:
    Bitmap(int nWidth, int nHeight, bool bMonochrome);
    // A colour bitmap of the image's pixels (alpha dropped).
    explicit Bitmap(const QImage& image);

    int Width() const { return m_image.width(); }
    int Height() const { return m_image.height(); }
    bool IsMonochrome() const { return m_bMonochrome; }
    QImage& Image() { return m_image; }
    const QImage& Image() const { return m_image; }
    COLORREF GetPixel(int x, int y) const;

private:
    QImage m_image;
    bool m_bMonochrome;
};

// BITMAP, as GetObject reports a bitmap.
struct BITMAP {
    LONG bmWidth = 0;
    LONG bmHeight = 0;
    WORD bmPlanes = 1;
    WORD bmBitsPixel = 0;
};
BITMAP GetBitmapInfo(const Bitmap& bitmap);

// An icon: a colour image and a monochrome AND mask (white where the icon is transparent).
class Icon final {
public:
    Icon(QImage colour, QImage mask, POINT hotSpot = {});
    // From an image with alpha: pixels less than half opaque are transparent.
    static std::unique_ptr<Icon> FromImage(const QImage& image);

    int Width() const { return m_colour.width(); }
    int Height() const { return m_colour.height(); }
    const QImage& Colour() const { return m_colour; }
    const QImage& Mask() const { return m_mask; }
    POINT HotSpot() const { return m_hotSpot; }
    bool IsTransparentAt(int x, int y) const;

private:
    QImage m_colour;  // RGB32
    QImage m_mask;    // RGB32, black or white
    POINT m_hotSpot;
};

// Colour conversions between COLORREF (0x00BBGGRR) and Qt's 0xAARRGGBB.
constexpr QRgb ToQRgb(COLORREF c) {
    return 0xFF000000u | static_cast<QRgb>(GetRValue(c)) << 16 |
           static_cast<QRgb>(GetGValue(c)) << 8 | static_cast<QRgb>(GetBValue(c));
}
constexpr COLORREF FromQRgb(QRgb c) {
    return RGB(static_cast<int>(c >> 16 & 0xFF), static_cast<int>(c >> 8 & 0xFF),
               static_cast<int>(c & 0xFF));
}

}  // namespace vesk::platform
