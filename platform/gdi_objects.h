#pragma once

#include "win_types.h"

#include <QImage>
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

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

// Counts the live objects of a kind, for tests that look for handles left behind.
template <typename T>
class LiveCounter {
public:
    LiveCounter() { ++s_nLive; }
    LiveCounter(const LiveCounter&) { ++s_nLive; }
    LiveCounter& operator=(const LiveCounter&) = default;
    ~LiveCounter() { --s_nLive; }
    static int Live() { return s_nLive; }

private:
    static inline std::atomic<int> s_nLive = 0;
};

// A bitmap: monochrome (each pixel black or white), colour, or colour with an alpha byte per
// pixel (32 bits). Its colour pixels are kept as 0xFFRRGGBB; drawing never touches the alpha
// bytes, as the platform's drawing ignores them.
class Bitmap final {
public:
    Bitmap(int nWidth, int nHeight, bool bMonochrome);
    // A colour bitmap of the image's pixels (alpha dropped).
    explicit Bitmap(const QImage& image);
    // A 32-bit bitmap: the image's colours and one alpha byte per pixel, row by row.
    Bitmap(const QImage& colour, std::vector<std::uint8_t> alpha);

    int Width() const { return m_image.width(); }
    int Height() const { return m_image.height(); }
    bool IsMonochrome() const { return m_nBitsPixel == 1; }
    WORD BitsPixel() const { return m_nBitsPixel; }
    QImage& Image() { return m_image; }
    const QImage& Image() const { return m_image; }
    COLORREF GetPixel(int x, int y) const;
    // Empty unless the bitmap has 32 bits per pixel.
    const std::vector<std::uint8_t>& Alpha() const { return m_alpha; }
    static int LiveCount() { return LiveCounter<Bitmap>::Live(); }

private:
    QImage m_image;
    WORD m_nBitsPixel;
    std::vector<std::uint8_t> m_alpha;
    LiveCounter<Bitmap> m_count;
};

// A new bitmap, all black, of one plane and 1 (monochrome), 24 or 32 bits per pixel; null for
// any other shape.
std::unique_ptr<Bitmap> CreateBitmap(int nWidth, int nHeight, UINT nPlanes, UINT nBitCount);

// BITMAP, as GetObject reports a bitmap.
struct BITMAP {
    LONG bmWidth = 0;
    LONG bmHeight = 0;
    WORD bmPlanes = 1;
    WORD bmBitsPixel = 0;
};
// FALSE for no bitmap.
BOOL GetObject(const Bitmap* pBitmap, BITMAP* pInfo);

// An icon: a colour image and a monochrome AND mask (white where the icon is transparent). An
// icon with an alpha channel is drawn blended by it; one without through its mask.
class Icon final {
public:
    // With bAlpha the colour image's alpha is the icon's alpha channel. The hot spot of an icon
    // is its centre unless one is given.
    Icon(QImage colour, QImage mask, bool bAlpha = false,
         std::optional<POINT> hotSpot = std::nullopt);
    // From an image with alpha: fully transparent pixels are transparent in the mask too.
    static std::unique_ptr<Icon> FromImage(const QImage& image);

    int Width() const { return m_colour.width(); }
    int Height() const { return m_colour.height(); }
    // ARGB32, not premultiplied; black wherever the icon is fully transparent. Its alpha is
    // opaque throughout for an icon without alpha channel.
    const QImage& Colour() const { return m_colour; }
    const QImage& Mask() const { return m_mask; }
    bool HasAlpha() const { return m_bAlpha; }
    POINT HotSpot() const { return m_hotSpot; }
    bool IsTransparentAt(int x, int y) const;
    // The icon's pixel drawn over a destination pixel (0xFFRRGGBB).
    QRgb Over(int x, int y, QRgb destination) const;
    static int LiveCount() { return LiveCounter<Icon>::Live(); }

private:
    QImage m_colour;
    QImage m_mask;  // RGB32, black or white
    bool m_bAlpha;
    POINT m_hotSpot;
    LiveCounter<Icon> m_count;
};

// ICONINFO: what an icon is made of. GetIconInfo hands the caller new bitmaps (a 32-bit colour
// bitmap carrying the icon's alpha, if any, and a monochrome mask) that the caller owns.
struct ICONINFO {
    BOOL fIcon = TRUE;
    DWORD xHotspot = 0;
    DWORD yHotspot = 0;
    std::unique_ptr<Bitmap> hbmMask;
    std::unique_ptr<Bitmap> hbmColor;
};
// FALSE for no icon or one without an image.
BOOL GetIconInfo(const Icon* pIcon, ICONINFO* pInfo);
// A new icon with its own copies of the bitmaps; its hot spot is its centre. A 32-bit colour
// bitmap with any alpha byte set gives an icon with alpha channel, any other one an icon drawn
// through the mask. Null without both bitmaps or with a mask smaller than the colour bitmap.
std::unique_ptr<Icon> CreateIconIndirect(const ICONINFO* pInfo);

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
