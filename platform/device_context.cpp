#include "device_context.h"

#include "code_page.h"
#include "system.h"

#include <QFontMetrics>
#include <QPainter>
#include <QString>
#include <algorithm>
#include <cmath>
#include <optional>

namespace vesk::platform {

namespace {

constexpr QRgb kWhite = 0xFFFFFFFFu;
constexpr QRgb kBlack = 0xFF000000u;
constexpr QRgb kColourBits = 0x00FFFFFFu;

// The screen's context: a colour surface of its own, for measuring and for tests.
class ScreenDC final : public DeviceContext {
public:
    ScreenDC() : DeviceContext(&m_image) {}

private:
    QImage m_image{1, 1, QImage::Format_RGB32};
};

// The raster operation's result for every bit at once: the truth table's index is
// (pattern << 2 | source << 1 | destination).
QRgb Ternary(std::uint8_t nRop3, QRgb p, QRgb s, QRgb d) {
    QRgb result = 0;
    for (int nIndex = 0; nIndex < 8; ++nIndex) {
        if ((nRop3 >> nIndex & 1) == 0) {
            continue;
        }
        const QRgb bits =
            ((nIndex & 4) ? p : ~p) & ((nIndex & 2) ? s : ~s) & ((nIndex & 1) ? d : ~d);
        result |= bits;
    }
    return (result & kColourBits) | 0xFF000000u;
}

// '&' marks the next character and is not shown; "&&" shows one '&'.
QString StripPrefixes(const QString& text) {
    QString result;
    result.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u'&') {
            result.append(text[i]);
        } else if (i + 1 < text.size()) {
            result.append(text[++i]);
        }
    }
    return result;
}

// The shape the disabled look draws, one byte per pixel of a w x h block: 1 where isWhite(i, j)
// is false.
template <typename IsWhite>
std::vector<std::uint8_t> Silhouette(int nWidth, int nHeight, IsWhite isWhite) {
    std::vector<std::uint8_t> shape(static_cast<std::size_t>(std::max(nWidth, 0)) *
                                    static_cast<std::size_t>(std::max(nHeight, 0)));
    for (int j = 0; j < nHeight; ++j) {
        for (int i = 0; i < nWidth; ++i) {
            shape[static_cast<std::size_t>(j) * nWidth + i] = isWhite(i, j) ? 0 : 1;
        }
    }
    return shape;
}

}  // namespace

DeviceContext::DeviceContext(QImage* pTarget) : m_pTarget(pTarget) {}

// A memory context starts with the platform's 1 x 1 monochrome bitmap.
DeviceContext::DeviceContext() : m_pStockBitmap(std::make_unique<Bitmap>(1, 1, true)) {
    m_pBitmap = m_pStockBitmap.get();
}

QImage* DeviceContext::Target() const {
    return m_pBitmap != nullptr ? &m_pBitmap->Image() : m_pTarget;
}

bool DeviceContext::IsMonochrome() const {
    return m_pBitmap != nullptr && m_pBitmap->IsMonochrome();
}

const Font* DeviceContext::SelectObject(const Font* pFont) {
    const Font* pOld = m_pFont;
    if (pFont != nullptr) {
        m_pFont = pFont;
    }
    return pOld;
}

const Pen* DeviceContext::SelectObject(const Pen* pPen) {
    const Pen* pOld = m_pPen;
    if (pPen != nullptr) {
        m_pPen = pPen;
    }
    return pOld;
}

const Brush* DeviceContext::SelectObject(const Brush* pBrush) {
    const Brush* pOld = m_pBrush;
    if (pBrush != nullptr) {
        m_pBrush = pBrush;
    }
    return pOld;
}

Bitmap* DeviceContext::SelectObject(Bitmap* pBitmap) {
    if (pBitmap == nullptr || m_pBitmap == nullptr) {
        return nullptr;
    }
    Bitmap* pOld = m_pBitmap;
    m_pBitmap = pBitmap;
    return pOld;
}

COLORREF DeviceContext::SetTextColor(COLORREF colour) {
    return std::exchange(m_textColour, colour & 0xFFFFFF);
}

COLORREF DeviceContext::SetBkColor(COLORREF colour) {
    return std::exchange(m_bkColour, colour & 0xFFFFFF);
}

int DeviceContext::SetBkMode(int nMode) {
    return std::exchange(m_nBkMode, nMode);
}

POINT DeviceContext::SetWindowOrg(int x, int y) {
    return std::exchange(m_origin, POINT{x, y});
}

int DeviceContext::GetDeviceCaps(int nIndex) const {
    switch (nIndex) {
        case RASTERCAPS:
            return RC_BITBLT | (m_bPalette ? RC_PALETTE : 0);
        case BITSPIXEL:
            return IsMonochrome() ? 1 : (m_bPalette ? 8 : 32);
        default:
            return 0;
    }
}

bool DeviceContext::DevicePoint(int& x, int& y) const {
    x -= m_origin.x;
    y -= m_origin.y;
    const QImage* pImage = Target();
    return pImage != nullptr && pImage->valid(x, y);
}

QRgb DeviceContext::Canonical(QRgb colour) const {
    if (!IsMonochrome()) {
        return colour | 0xFF000000u;
    }
    const int nLevel = (qRed(colour) * 30 + qGreen(colour) * 59 + qBlue(colour) * 11) / 100;
    return nLevel >= 128 ? kWhite : kBlack;
}

void DeviceContext::PutPixel(int x, int y, QRgb colour) {
    if (DevicePoint(x, y)) {
        Target()->setPixel(x, y, Canonical(colour));
    }
}

void DeviceContext::FillDevice(int x0, int y0, int x1, int y1, QRgb colour) {
    QImage* pImage = Target();
    if (pImage == nullptr) {
        return;
    }
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, pImage->width());
    y1 = std::min(y1, pImage->height());
    const QRgb value = Canonical(colour);
    for (int y = y0; y < y1; ++y) {
        auto* pLine = reinterpret_cast<QRgb*>(pImage->scanLine(y));
        std::fill(pLine + x0, pLine + std::max(x0, x1), value);
    }
}

template <typename Fn>
void DeviceContext::Combine(int x, int y, int nWidth, int nHeight, Fn fn) {
    QImage* pImage = Target();
    if (pImage == nullptr) {
        return;
    }
    // The part of the block that lies on the surface, walked row by row.
    const int dx = x - m_origin.x;
    const int dy = y - m_origin.y;
    const int i0 = std::max(0, -dx);
    const int j0 = std::max(0, -dy);
    const int i1 = std::min(nWidth, pImage->width() - dx);
    const int j1 = std::min(nHeight, pImage->height() - dy);
    const bool bMonochrome = IsMonochrome();
    for (int j = j0; j < j1; ++j) {
        auto* pLine = reinterpret_cast<QRgb*>(pImage->scanLine(dy + j)) + dx;
        for (int i = i0; i < i1; ++i) {
            if (const std::optional<QRgb> result = fn(i, j, pLine[i] & kColourBits)) {
                pLine[i] = bMonochrome ? Canonical(*result) : (*result | 0xFF000000u);
            }
        }
    }
}

COLORREF DeviceContext::GetPixel(int x, int y) const {
    if (!DevicePoint(x, y)) {
        return 0xFFFFFFFF;  // CLR_INVALID
    }
    return FromQRgb(Target()->pixel(x, y));
}

COLORREF DeviceContext::SetPixel(int x, int y, COLORREF colour) {
    PutPixel(x, y, ToQRgb(colour));
    return GetPixel(x, y);
}

BOOL DeviceContext::FillRect(const RECT& rect, const Brush* pBrush) {
    if (pBrush == nullptr) {
        return FALSE;
    }
    if (!pBrush->IsNull()) {
        FillDevice(rect.left - m_origin.x, rect.top - m_origin.y, rect.right - m_origin.x,
                   rect.bottom - m_origin.y, ToQRgb(pBrush->Colour()));
    }
    return TRUE;
}

void DeviceContext::FillSolidRect(const RECT& rect, COLORREF colour) {
    SetBkColor(colour);
    const int x0 = std::min(rect.left, rect.right);
    const int x1 = std::max(rect.left, rect.right);
    const int y0 = std::min(rect.top, rect.bottom);
    const int y1 = std::max(rect.top, rect.bottom);
    FillDevice(x0 - m_origin.x, y0 - m_origin.y, x1 - m_origin.x, y1 - m_origin.y, ToQRgb(colour));
}

void DeviceContext::FillSolidRect(int x, int y, int cx, int cy, COLORREF colour) {
    FillSolidRect(RECT{x, y, x + cx, y + cy}, colour);
}

BOOL DeviceContext::FrameRect(const RECT& rect, const Brush* pBrush) {
    if (pBrush == nullptr || rect.IsEmpty()) {
        return FALSE;
    }
    FillRect({rect.left, rect.top, rect.right, rect.top + 1}, pBrush);
    FillRect({rect.left, rect.bottom - 1, rect.right, rect.bottom}, pBrush);
    FillRect({rect.left, rect.top, rect.left + 1, rect.bottom}, pBrush);
    FillRect({rect.right - 1, rect.top, rect.right, rect.bottom}, pBrush);
    return TRUE;
}

void DeviceContext::Draw3dRect(const RECT& rect, COLORREF topLeft, COLORREF bottomRight) {
    const int x = rect.left;
    const int y = rect.top;
    const int cx = rect.Width();
    const int cy = rect.Height();
    FillSolidRect(x, y, cx - 1, 1, topLeft);
    FillSolidRect(x, y, 1, cy - 1, topLeft);
    FillSolidRect(x + cx, y, -1, cy, bottomRight);
    FillSolidRect(x, y + cy, cx, -1, bottomRight);
}

BOOL DeviceContext::DrawEdge(const RECT& rect, UINT nEdge, UINT nFlags) {
    // Colours of the outer and inner rings, top-left and bottom-right.
    const auto colour = [](UINT nEdgeBits, bool bTopLeft) -> std::optional<COLORREF> {
        if ((nEdgeBits & BDR_SUNKENOUTER) != 0) {
            return GetSysColor(bTopLeft ? COLOR_BTNSHADOW : COLOR_BTNHIGHLIGHT);
        }
        if ((nEdgeBits & BDR_RAISEDOUTER) != 0) {
            return GetSysColor(bTopLeft ? COLOR_3DLIGHT : COLOR_3DDKSHADOW);
        }
        if ((nEdgeBits & BDR_SUNKENINNER) != 0) {
            return GetSysColor(bTopLeft ? COLOR_3DDKSHADOW : COLOR_3DLIGHT);
        }
        if ((nEdgeBits & BDR_RAISEDINNER) != 0) {
            return GetSysColor(bTopLeft ? COLOR_BTNHIGHLIGHT : COLOR_BTNSHADOW);
        }
        return std::nullopt;
    };
    const UINT nOuter = nEdge & (BDR_SUNKENOUTER | BDR_RAISEDOUTER);
    const UINT nInner = nEdge & (BDR_SUNKENINNER | BDR_RAISEDINNER);
    const int nLT = (nFlags & (BF_TOP | BF_LEFT)) == (BF_TOP | BF_LEFT) ? 1 : 0;
    const int nLB = (nFlags & (BF_BOTTOM | BF_LEFT)) == (BF_BOTTOM | BF_LEFT) ? 1 : 0;
    const int nRB = (nFlags & (BF_BOTTOM | BF_RIGHT)) == (BF_BOTTOM | BF_RIGHT) ? 1 : 0;
    const int nRT = (nFlags & (BF_TOP | BF_RIGHT)) == (BF_TOP | BF_RIGHT) ? 1 : 0;
    const RECT& r = rect;
    const POINT savedPosition = m_position;
    const Pen* pSavedPen = m_pPen;
    const auto line = [this](std::optional<COLORREF> c, int x0, int y0, int x1, int y1) {
        if (!c) {
            return;
        }
        const Pen pen(PS_SOLID, 0, *c);
        const Pen* pOld = SelectObject(&pen);
        MoveTo(x0, y0);
        LineTo(x1, y1);
        SelectObject(pOld);
    };
    if (nFlags & BF_TOP)
        line(colour(nOuter, true), r.left, r.top, r.right, r.top);
    if (nFlags & BF_LEFT)
        line(colour(nOuter, true), r.left, r.top, r.left, r.bottom);
    if (nFlags & BF_BOTTOM)
        line(colour(nOuter, false), r.right - 1, r.bottom - 1, r.left - 1, r.bottom - 1);
    if (nFlags & BF_RIGHT)
        line(colour(nOuter, false), r.right - 1, r.bottom - 1, r.right - 1, r.top - 1);
    if (nFlags & BF_TOP)
        line(colour(nInner, true), r.left + nLT, r.top + 1, r.right - nRT, r.top + 1);
    if (nFlags & BF_LEFT)
        line(colour(nInner, true), r.left + 1, r.top + nLT, r.left + 1, r.bottom - nLB);
    if (nFlags & BF_BOTTOM)
        line(colour(nInner, false), r.right - 1 - nRB, r.bottom - 2, r.left - 1 + nLB,
             r.bottom - 2);
    if (nFlags & BF_RIGHT)
        line(colour(nInner, false), r.right - 2, r.bottom - 1 - nRB, r.right - 2, r.top - 1 + nRT);
    m_pPen = pSavedPen;
    m_position = savedPosition;
    return TRUE;
}

void DeviceContext::DrawFocusRect(const RECT& rect) {
    // A dotted frame drawn by inverting every other pixel, so that drawing it twice removes it.
    const auto invert = [this](int x, int y) {
        int dx = x;
        int dy = y;
        if (DevicePoint(dx, dy) && ((dx + dy) & 1) == 0) {
            QImage* pImage = Target();
            pImage->setPixel(dx, dy, (~pImage->pixel(dx, dy) & kColourBits) | 0xFF000000u);
        }
    };
    if (rect.IsEmpty()) {
        return;
    }
    for (int x = rect.left; x < rect.right; ++x) {
        invert(x, rect.top);
        if (rect.bottom - 1 > rect.top) {
            invert(x, rect.bottom - 1);
        }
    }
    for (int y = rect.top + 1; y < rect.bottom - 1; ++y) {
        invert(rect.left, y);
        if (rect.right - 1 > rect.left) {
            invert(rect.right - 1, y);
        }
    }
}

POINT DeviceContext::MoveTo(int x, int y) {
    return std::exchange(m_position, POINT{x, y});
}

BOOL DeviceContext::LineTo(int x, int y) {
    const POINT from = std::exchange(m_position, POINT{x, y});
    if (m_pPen->Style() == PS_NULL) {
        return TRUE;
    }
    const QRgb colour = ToQRgb(m_pPen->Colour());
    // Bresenham from the start point; the end point is not painted.
    int x0 = from.x;
    int y0 = from.y;
    const int dx = std::abs(x - x0);
    const int dy = -std::abs(y - y0);
    const int sx = x0 < x ? 1 : -1;
    const int sy = y0 < y ? 1 : -1;
    int nError = dx + dy;
    while (x0 != x || y0 != y) {
        PutPixel(x0, y0, colour);
        const int e2 = 2 * nError;
        if (e2 >= dy) {
            nError += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            nError += dx;
            y0 += sy;
        }
    }
    return TRUE;
}

BOOL DeviceContext::Ellipse(int nLeft, int nTop, int nRight, int nBottom) {
    if (nRight - nLeft < 1 || nBottom - nTop < 1) {
        return FALSE;
    }
    const double cx = (nLeft + nRight - 1) / 2.0;
    const double cy = (nTop + nBottom - 1) / 2.0;
    const double rx = std::max((nRight - nLeft) / 2.0, 0.5);
    const double ry = std::max((nBottom - nTop) / 2.0, 0.5);
    const auto inside = [&](int x, int y) {
        if (x < nLeft || x >= nRight || y < nTop || y >= nBottom) {
            return false;
        }
        const double u = (x - cx) / rx;
        const double v = (y - cy) / ry;
        return u * u + v * v <= 1.0;
    };
    for (int y = nTop; y < nBottom; ++y) {
        for (int x = nLeft; x < nRight; ++x) {
            if (!inside(x, y)) {
                continue;
            }
            const bool bEdge =
                !inside(x - 1, y) || !inside(x + 1, y) || !inside(x, y - 1) || !inside(x, y + 1);
            if (bEdge && m_pPen->Style() != PS_NULL) {
                PutPixel(x, y, ToQRgb(m_pPen->Colour()));
            } else if (!m_pBrush->IsNull()) {
                PutPixel(x, y, ToQRgb(m_pBrush->Colour()));
            }
        }
    }
    return TRUE;
}

BOOL DeviceContext::PatBlt(int x, int y, int nWidth, int nHeight, DWORD dwRop) {
    return BitBlt(x, y, nWidth, nHeight, nullptr, 0, 0, dwRop);
}

BOOL DeviceContext::BitBlt(int x, int y, int nWidth, int nHeight, const DeviceContext* pSource,
                           int xSrc, int ySrc, DWORD dwRop) {
    QImage* pTarget = Target();
    if (pTarget == nullptr) {
        return FALSE;
    }
    const auto nRop3 = static_cast<std::uint8_t>(dwRop >> 16 & 0xFF);
    const QImage* pSourceImage = pSource != nullptr ? pSource->Target() : nullptr;
    const bool bSourceMono = pSource != nullptr && pSource->IsMonochrome();
    const bool bTargetMono = IsMonochrome();
    const QRgb pattern = m_pBrush->IsNull() ? kBlack : Canonical(ToQRgb(m_pBrush->Colour()));
    const QRgb textColour = ToQRgb(m_textColour);
    const QRgb bkColour = ToQRgb(m_bkColour);
    const QRgb sourceBk = pSource != nullptr ? ToQRgb(pSource->m_bkColour) & kColourBits : 0;
    // Reading first and writing after keeps an overlapping copy within one context right.
    const QImage original = pSource == this ? pTarget->copy() : QImage();
    const QImage* pRead = pSource == this ? &original : pSourceImage;
    Combine(x, y, nWidth, nHeight, [&](int i, int j, QRgb d) -> std::optional<QRgb> {
        QRgb s = 0;
        if (pSource != nullptr) {
            const int sx = xSrc + i - pSource->m_origin.x;
            const int sy = ySrc + j - pSource->m_origin.y;
            if (pRead == nullptr || !pRead->valid(sx, sy)) {
                return std::nullopt;
            }
            s = pRead->pixel(sx, sy) & kColourBits;
            if (bSourceMono && !bTargetMono) {
                // White bits take the background colour, black bits the text colour.
                s = (s != 0 ? bkColour : textColour) & kColourBits;
            } else if (!bSourceMono && bTargetMono) {
                // The source's background colour becomes white, everything else black.
                s = s == sourceBk ? kColourBits : 0;
            }
        }
        const QRgb result = Ternary(nRop3, pattern, s, d);
        if (bTargetMono) {
            return (result & kColourBits) != 0 ? kWhite : kBlack;
        }
        return result;
    });
    return TRUE;
}

int DeviceContext::DrawText(std::string_view text, RECT* pRect, UINT nFormat) {
    return DrawText(GbkToUtf16(text), pRect, nFormat);
}

namespace {

// Where one line of text goes in the rectangle, placed by the format's alignment flags.
QRect SingleLineBox(const QFontMetrics& metrics, const QString& string, const RECT& rect,
                    UINT nFormat) {
    const int nTextWidth = metrics.horizontalAdvance(string);
    const int nTextHeight = metrics.height();
    int x = rect.left;
    if (nFormat & DT_CENTER) {
        x = rect.left + (rect.Width() - nTextWidth) / 2;
    } else if (nFormat & DT_RIGHT) {
        x = rect.right - nTextWidth;
    }
    int y = rect.top;
    if (nFormat & DT_VCENTER) {
        y = rect.top + (rect.Height() - nTextHeight) / 2;
    } else if (nFormat & DT_BOTTOM) {
        y = rect.bottom - nTextHeight;
    }
    return QRect(x, y, nTextWidth, nTextHeight);
}

}  // namespace

int DeviceContext::DrawText(std::u16string_view text, RECT* pRect, UINT nFormat) {
    if (pRect == nullptr) {
        return 0;
    }
    QString string = QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
    if ((nFormat & DT_NOPREFIX) == 0) {
        string = StripPrefixes(string);
    }
    const QFont& font = m_pFont->GetQFont();
    const QFontMetrics metrics(font);
    const int nWidth = pRect->Width();
    const int nHeight = pRect->Height();
    int nAlign = (nFormat & DT_CENTER)  ? Qt::AlignHCenter
                 : (nFormat & DT_RIGHT) ? Qt::AlignRight
                                        : Qt::AlignLeft;
    QRect box;
    if ((nFormat & DT_SINGLELINE) != 0) {
        box = SingleLineBox(metrics, string, *pRect, nFormat);
        nAlign = Qt::AlignLeft;
    } else {
        // Lines broken at words to fit the width; the box is as wide as the widest line.
        nAlign |= (nFormat & DT_WORDBREAK) ? Qt::TextWordWrap : 0;
        const QRect bounds =
            metrics.boundingRect(QRect(0, 0, std::max(nWidth, 1), 1 << 20), nAlign, string);
        box = QRect(pRect->left, pRect->top, std::max(nWidth, bounds.width()), bounds.height());
        if ((nFormat & DT_CALCRECT) != 0) {
            box.setWidth(bounds.width());
        }
    }
    if ((nFormat & DT_CALCRECT) != 0) {
        pRect->right = pRect->left + box.width();
        pRect->bottom = pRect->top + box.height();
        return box.height();
    }
    QImage* pImage = Target();
    if (pImage == nullptr) {
        return 0;
    }
    QPainter painter(pImage);
    painter.translate(-m_origin.x, -m_origin.y);
    painter.setClipRect(QRect(pRect->left, pRect->top, nWidth, nHeight));
    if (m_nBkMode == OPAQUE) {
        painter.fillRect(box, QColor::fromRgb(Canonical(ToQRgb(m_bkColour))));
    }
    painter.setFont(font);
    painter.setPen(QColor::fromRgb(Canonical(ToQRgb(m_textColour))));
    painter.drawText(box, nAlign, string);
    return box.height();
}

BOOL DeviceContext::DrawIconEx(int x, int y, const Icon* pIcon, int cx, int cy,
                               const Brush* pBackground, UINT nFlags) {
    if (pIcon == nullptr) {
        return FALSE;
    }
    const int nWidth = cx > 0 ? cx : pIcon->Width();
    const int nHeight = cy > 0 ? cy : pIcon->Height();
    std::optional<Icon> scaled;
    if (nWidth != pIcon->Width() || nHeight != pIcon->Height()) {
        scaled.emplace(pIcon->Colour().scaled(nWidth, nHeight),
                       pIcon->Mask().scaled(nWidth, nHeight), pIcon->HasAlpha());
        pIcon = &*scaled;
    }
    if (pBackground != nullptr) {
        FillRect({x, y, x + nWidth, y + nHeight}, pBackground);
    }
    const QImage& colour = pIcon->Colour();
    const QImage& mask = pIcon->Mask();
    Combine(x, y, nWidth, nHeight, [&](int i, int j, QRgb d) -> std::optional<QRgb> {
        if ((nFlags & DI_NORMAL) == DI_NORMAL) {
            return pIcon->Over(i, j, d);
        }
        if (nFlags & DI_MASK) {
            return d & mask.pixel(i, j) & kColourBits;
        }
        if (nFlags & DI_IMAGE) {
            return colour.pixel(i, j) & kColourBits;
        }
        return d;
    });
    return TRUE;
}

void DeviceContext::DrawEmbossed(int x, int y, int nWidth, int nHeight,
                                 const std::vector<std::uint8_t>& shape) {
    // The shape in the highlight colour one pixel down-right, then in the shadow colour on top.
    const QRgb highlight = ToQRgb(GetSysColor(COLOR_3DHILIGHT));
    const QRgb shadow = ToQRgb(GetSysColor(COLOR_3DSHADOW));
    for (const auto& [nOffset, colour] : {std::pair{1, highlight}, std::pair{0, shadow}}) {
        const QRgb paint = colour;
        Combine(x + nOffset, y + nOffset, nWidth, nHeight,
                [&](int i, int j, QRgb) -> std::optional<QRgb> {
                    if (shape[static_cast<std::size_t>(j) * nWidth + i] == 0) {
                        return std::nullopt;
                    }
                    return paint;
                });
    }
}

BOOL DeviceContext::DrawState(int x, int y, int cx, int cy, const Icon* pIcon, UINT nFlags) {
    if (pIcon == nullptr) {
        return FALSE;
    }
    const int nWidth = cx > 0 ? std::min(cx, pIcon->Width()) : pIcon->Width();
    const int nHeight = cy > 0 ? std::min(cy, pIcon->Height()) : pIcon->Height();
    if ((nFlags & DSS_DISABLED) == 0) {
        Combine(x, y, nWidth, nHeight,
                [&](int i, int j, QRgb d) -> std::optional<QRgb> { return pIcon->Over(i, j, d); });
        return TRUE;
    }
    // The icon drawn on white: everything that is not white belongs to the shape.
    DrawEmbossed(x, y, nWidth, nHeight, Silhouette(nWidth, nHeight, [&](int i, int j) {
                     return (pIcon->Over(i, j, kWhite) & kColourBits) == kColourBits;
                 }));
    return TRUE;
}

BOOL DeviceContext::DrawState(int x, int y, int cx, int cy, const Bitmap* pBitmap, UINT nFlags) {
    if (pBitmap == nullptr) {
        return FALSE;
    }
    const int nWidth = cx > 0 ? std::min(cx, pBitmap->Width()) : pBitmap->Width();
    const int nHeight = cy > 0 ? std::min(cy, pBitmap->Height()) : pBitmap->Height();
    const QImage& image = pBitmap->Image();
    if ((nFlags & DSS_DISABLED) != 0) {
        DrawEmbossed(x, y, nWidth, nHeight, Silhouette(nWidth, nHeight, [&](int i, int j) {
                         return (image.pixel(i, j) & kColourBits) == kColourBits;
                     }));
        return TRUE;
    }
    Combine(x, y, nWidth, nHeight,
            [&](int i, int j, QRgb) -> std::optional<QRgb> { return image.pixel(i, j); });
    return TRUE;
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

std::unique_ptr<DeviceContext> CreateCompatibleDC(const DeviceContext* pDC) {
    std::unique_ptr<DeviceContext> pMemory(new DeviceContext());
    if (pDC != nullptr) {
        pMemory->m_bPalette = pDC->m_bPalette;
    }
    return pMemory;
}

std::unique_ptr<Bitmap> CreateCompatibleBitmap(const DeviceContext* pDC, int nWidth, int nHeight) {
    return std::make_unique<Bitmap>(nWidth, nHeight, pDC != nullptr && pDC->IsMonochrome());
}

std::unique_ptr<DeviceContext> GetDC() {
    return std::make_unique<ScreenDC>();
}

}  // namespace vesk::platform
