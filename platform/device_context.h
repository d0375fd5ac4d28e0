#pragma once

#include "font.h"
#include "gdi_objects.h"
#include "win_types.h"

#include <QImage>
#include <memory>
#include <string_view>
#include <vector>

namespace vesk::platform {

// Raster operations of BitBlt and PatBlt: the ternary truth table (pattern, source,
// destination) in bits 16 to 23.
inline constexpr DWORD SRCCOPY = 0x00CC0020;
inline constexpr DWORD SRCPAINT = 0x00EE0086;
inline constexpr DWORD SRCAND = 0x008800C6;
inline constexpr DWORD WHITENESS = 0x00FF0062;

inline constexpr int TRANSPARENT = 1;
inline constexpr int OPAQUE = 2;

// DrawText flags.
inline constexpr UINT DT_LEFT = 0x0000;
inline constexpr UINT DT_CENTER = 0x0001;
inline constexpr UINT DT_RIGHT = 0x0002;
inline constexpr UINT DT_VCENTER = 0x0004;
inline constexpr UINT DT_BOTTOM = 0x0008;
inline constexpr UINT DT_WORDBREAK = 0x0010;
inline constexpr UINT DT_SINGLELINE = 0x0020;
inline constexpr UINT DT_CALCRECT = 0x0400;
inline constexpr UINT DT_NOPREFIX = 0x0800;

// DrawEdge.
inline constexpr UINT BDR_RAISEDOUTER = 0x0001;
inline constexpr UINT BDR_SUNKENOUTER = 0x0002;
inline constexpr UINT BDR_RAISEDINNER = 0x0004;
inline constexpr UINT BDR_SUNKENINNER = 0x0008;
inline constexpr UINT EDGE_ETCHED = BDR_SUNKENOUTER | BDR_RAISEDINNER;
inline constexpr UINT BF_LEFT = 0x0001;
inline constexpr UINT BF_TOP = 0x0002;
inline constexpr UINT BF_RIGHT = 0x0004;
inline constexpr UINT BF_BOTTOM = 0x0008;
inline constexpr UINT BF_RECT = BF_LEFT | BF_TOP | BF_RIGHT | BF_BOTTOM;

// DrawState.
inline constexpr UINT DST_ICON = 0x0003;
inline constexpr UINT DST_BITMAP = 0x0004;
inline constexpr UINT DSS_NORMAL = 0x0000;
inline constexpr UINT DSS_DISABLED = 0x0020;

// DrawIconEx.
inline constexpr UINT DI_MASK = 0x0001;
inline constexpr UINT DI_IMAGE = 0x0002;
inline constexpr UINT DI_NORMAL = 0x0003;

// GetDeviceCaps.
inline constexpr int BITSPIXEL = 12;
inline constexpr int RASTERCAPS = 38;
inline constexpr int RC_BITBLT = 0x0001;
inline constexpr int RC_PALETTE = 0x0100;

// A device context drawing onto a QImage with the platform's exact integer geometry: rectangles
// leave out their right and bottom edges, a line leaves out its end point, block transfers combine
// pattern, source and destination by the raster operation's truth table and convert between
// colour and monochrome as the platform does. Text may be anti-aliased; geometry is not.
class DeviceContext {
public:
    // Draws onto a colour image that must outlive the context.
    explicit DeviceContext(QImage* pTarget);
    virtual ~DeviceContext() = default;
    DeviceContext(const DeviceContext&) = delete;
    DeviceContext& operator=(const DeviceContext&) = delete;

    // Selection returns what was selected; the caller keeps every object alive while selected.
    const Font* SelectObject(const Font* pFont);
    const Pen* SelectObject(const Pen* pPen);
    const Brush* SelectObject(const Brush* pBrush);
    // Only into a memory context; null when the bitmap cannot be selected.
    Bitmap* SelectObject(Bitmap* pBitmap);
    const Font* GetCurrentFont() const { return m_pFont; }

    COLORREF SetTextColor(COLORREF colour);
    COLORREF SetBkColor(COLORREF colour);
    COLORREF GetBkColor() const { return m_bkColour; }
    int SetBkMode(int nMode);
    // Logical point (x, y) is drawn at device pixel (x - origin.x, y - origin.y).
    POINT SetWindowOrg(int x, int y);

    int GetDeviceCaps(int nIndex) const;
    bool IsMonochrome() const;
    bool IsPrinting() const { return m_bPrinting; }
    // For tests: a palette display, a printer.
    void SetPaletteDeviceForTesting(bool bPalette) { m_bPalette = bPalette; }
    void SetPrintingForTesting(bool bPrinting) { m_bPrinting = bPrinting; }

    COLORREF GetPixel(int x, int y) const;
    COLORREF SetPixel(int x, int y, COLORREF colour);

    BOOL FillRect(const RECT& rect, const Brush* pBrush);
    // Fills with a colour; like the platform's, it leaves that colour as the background colour.
    void FillSolidRect(const RECT& rect, COLORREF colour);
    void FillSolidRect(int x, int y, int cx, int cy, COLORREF colour);
    BOOL FrameRect(const RECT& rect, const Brush* pBrush);
    // One-pixel lines: top and left in the first colour, bottom and right in the second.
    void Draw3dRect(const RECT& rect, COLORREF topLeft, COLORREF bottomRight);
    BOOL DrawEdge(const RECT& rect, UINT nEdge, UINT nFlags);
    void DrawFocusRect(const RECT& rect);
    POINT MoveTo(int x, int y);
    // Draws with the selected pen up to the point, which is left out.
    BOOL LineTo(int x, int y);
    BOOL Ellipse(int nLeft, int nTop, int nRight, int nBottom);

    BOOL PatBlt(int x, int y, int nWidth, int nHeight, DWORD dwRop);
    BOOL BitBlt(int x, int y, int nWidth, int nHeight, const DeviceContext* pSource, int xSrc,
                int ySrc, DWORD dwRop);

    // Returns the text's height; with DT_CALCRECT it only measures, setting the rectangle's
    // right and bottom. An '&' marks the next character (and is not drawn) unless DT_NOPREFIX.
    int DrawText(std::u16string_view text, RECT* pRect, UINT nFormat);
    int DrawText(std::string_view text, RECT* pRect, UINT nFormat);

    BOOL DrawIconEx(int x, int y, const Icon* pIcon, int cx, int cy, const Brush* pBackground,
                    UINT nFlags);
    // An icon or a bitmap at (x, y), clipped to cx x cy; DSS_DISABLED draws the embossed look.
    BOOL DrawState(int x, int y, int cx, int cy, const Icon* pIcon, UINT nFlags);
    BOOL DrawState(int x, int y, int cx, int cy, const Bitmap* pBitmap, UINT nFlags);

    // The width of the text in the selected font and the font's height.
    BOOL GetTextExtentPoint32W(const char16_t* pszText, int nLength, SIZE* pSize) const;
    // Narrow text, converted with the ANSI code page.
    BOOL GetTextExtentPoint32A(const char* pszText, int nLength, SIZE* pSize) const;

protected:
    DeviceContext();

private:
    friend std::unique_ptr<DeviceContext> CreateCompatibleDC(const DeviceContext* pDC);

    QImage* Target() const;
    bool DevicePoint(int& x, int& y) const;
    void FillDevice(int x0, int y0, int x1, int y1, QRgb colour);
    void PutPixel(int x, int y, QRgb colour);
    QRgb Canonical(QRgb colour) const;
    // The shape has one byte per pixel of a w x h block, 1 where the shape is.
    void DrawEmbossed(int x, int y, int nWidth, int nHeight,
                      const std::vector<std::uint8_t>& shape);
    // Calls fn(i, j, destination pixel) for every pixel of the w x h block at logical (x, y) that
    // lies on the surface, and writes what it returns (nothing for an empty optional).
    template <typename Fn>
    void Combine(int x, int y, int nWidth, int nHeight, Fn fn);

    QImage* m_pTarget = nullptr;
    std::unique_ptr<Bitmap> m_pStockBitmap;
    Bitmap* m_pBitmap = nullptr;
    const Font* m_pFont = &Font::SystemFont();
    const Pen* m_pPen = &Pen::Black();
    const Brush* m_pBrush = &Brush::White();
    COLORREF m_textColour = RGB(0, 0, 0);
    COLORREF m_bkColour = RGB(255, 255, 255);
    int m_nBkMode = OPAQUE;
    POINT m_origin;
    POINT m_position;
    bool m_bPalette = false;
    bool m_bPrinting = false;
};

// A memory context like the given one (or like the screen, for null), holding a 1 x 1
// monochrome bitmap until another is selected.
std::unique_ptr<DeviceContext> CreateCompatibleDC(const DeviceContext* pDC);
// A bitmap like the context's surface: monochrome for a memory context that holds a monochrome
// bitmap, colour otherwise.
std::unique_ptr<Bitmap> CreateCompatibleBitmap(const DeviceContext* pDC, int nWidth, int nHeight);

// The screen's device context, for measuring text: the platform's GetDC of a window or of the
// desktop, released when it goes.
std::unique_ptr<DeviceContext> GetDC();

}  // namespace vesk::platform
