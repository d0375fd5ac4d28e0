#include "image_button.h"

#include "bitmap_resources.h"
#include "shell.h"
#include "sound.h"
#include "system.h"

#include <QApplication>
#include <QEvent>
#include <QFontInfo>
#include <QMouseEvent>
#include <QPainter>
#include <QRegion>
#include <cstring>

namespace vesk {

using namespace platform;

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
// Destination AND NOT source: clears the destination where the source is white.
constexpr DWORD kAndNotSource = 0x00220326;

}  // namespace

ImageButton::ImageButton(QWidget* pParent, DWORD dwStyle)
    : QPushButton(pParent), m_dwStyle(dwStyle) {
    // Every paint covers the whole button, so nothing needs to be painted beneath it.
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Moves without a button held are what the hover follows.
    setMouseTracking(true);
    SetPushOffset(0, FALSE);
    ResetColors(FALSE);
    UpdateFont();
    SetLinkUrl(nullptr);
    // Connected first, so the click action runs before the parent hears of the click.
    connect(this, &QAbstractButton::clicked, this, &ImageButton::OnClicked);
}

ImageButton::~ImageButton() {
    FreeImages();
    m_cursor.reset();
    if (m_menu.m_hMenu != kNoMenu) {
        m_menu.ReleaseAll();
    }
    DropBackgroundCache();
}

void ImageButton::PreSubclassWindow() {
    const DWORD dwStyle = m_dwStyle & 0xFF;
    // BS_CHECKBOX, BS_AUTOCHECKBOX and the other types with this bit toggle.
    if ((dwStyle & 0x02) != 0) {
        m_bCheckBox = TRUE;
    }
    if ((dwStyle & BS_TYPEMASK) == BS_DEFPUSHBUTTON) {
        m_bDefault = TRUE;
    }
    // Owner-drawn whatever the template said.
    m_dwStyle = (m_dwStyle & ~BS_TYPEMASK) | BS_OWNERDRAW;
    setDefault(m_bDefault != FALSE);
    update();
}

ImageButton::PaintState ImageButton::PaintStateFor(UINT nItemState, const RECT& item) const {
    PaintState state;
    state.item = item;
    state.clientWidth = width();
    state.isCheckBox = m_bCheckBox != FALSE;
    state.pressed = (nItemState & ODS_SELECTED) != 0 ||
                    (state.isCheckBox ? m_bChecked != FALSE
                                      : m_menu.m_hMenu != kNoMenu && m_bMenuShowing != FALSE);
    state.focused = (nItemState & ODS_FOCUS) != 0;
    state.disabled = (nItemState & ODS_DISABLED) != 0;
    state.hovering = m_bHovering != FALSE;
    state.isDefault = m_bDefault != FALSE;
    state.look = m_look;
    if (m_icons[0].handle != nullptr) {
        state.pIcon = &m_icons[ImageIndex(m_icons[1].handle != nullptr, state.pressed)];
    }
    if (m_bitmaps[0].handle != nullptr) {
        state.pBitmap = &m_bitmaps[ImageIndex(m_bitmaps[1].handle != nullptr, state.pressed)];
    }
    state.caption = text().toStdU16String();
    return state;
}

void ImageButton::DrawItem(DRAWITEMSTRUCT* pDrawItem) {
    DeviceContext* pDC = pDrawItem->hDC;
    const PaintState state = PaintStateFor(pDrawItem->itemState, pDrawItem->rcItem);

    RECT work = state.item;
    pDC->SetBkMode(TRANSPARENT);
    if (state.look.transparent) {
        PaintParentBackground(pDC);
    } else {
        DrawBackground(pDC, state, &work);
    }
    DrawBorder(pDC, state, &work);

    RECT captionRect = state.item;
    if (state.pIcon != nullptr) {
        DrawIconImage(pDC, state, &captionRect);
    }
    if (state.pBitmap != nullptr) {
        pDC->SetBkColor(kWhite);
        DrawBitmapImage(pDC, state, &captionRect);
    }
    if (!state.caption.empty()) {
        DrawCaption(pDC, state, &captionRect);
    }
    if ((!state.look.flat || state.look.flatFocus) && state.focused) {
        RECT focus = work;
        InflateRect(&focus, -3, -3);
        pDC->DrawFocusRect(focus);
    }
}

void ImageButton::DrawBackground(DeviceContext* pDC, const PaintState& state, RECT* pRect) {
    if (!state.look.flat && (state.focused || state.isDefault)) {
        const Brush black(RGB(0, 0, 0));
        pDC->FrameRect(*pRect, &black);
        InflateRect(pRect, -1, -1);
    }
    COLORREF colour = state.look.colors[2];
    if (state.hovering || state.pressed) {
        colour = state.look.colors[0];
    } else if (state.focused) {
        colour = state.look.colors[4];
    }
    const Brush brush(colour);
    pDC->FillRect(*pRect, &brush);
}

void ImageButton::DrawBorder(DeviceContext* pDC, const PaintState& state, RECT* pRect) {
    const Look& look = state.look;
    if (state.pressed) {
        if (look.flat) {
            if (look.drawBorder) {
                pDC->Draw3dRect(*pRect, GetSysColor(COLOR_BTNSHADOW),
                                GetSysColor(COLOR_BTNHIGHLIGHT));
            }
        } else {
            const Brush shadow(GetSysColor(COLOR_BTNSHADOW));
            pDC->FrameRect(*pRect, &shadow);
        }
        return;
    }
    if (look.flat) {
        if (state.hovering && look.drawBorder) {
            pDC->Draw3dRect(*pRect, GetSysColor(COLOR_BTNHIGHLIGHT), GetSysColor(COLOR_BTNSHADOW));
        }
        return;
    }
    const RECT& r = *pRect;
    struct Stroke {
        int nColour;
        POINT from;
        POINT corner;
        POINT to;
    };
    const Stroke strokes[] = {
        {COLOR_BTNHIGHLIGHT, {r.left, r.bottom - 1}, {r.left, r.top}, {r.right, r.top}},
        {COLOR_3DLIGHT, {r.left + 1, r.bottom - 1}, {r.left + 1, r.top + 1}, {r.right, r.top + 1}},
        {COLOR_3DDKSHADOW,
         {r.left, r.bottom - 1},
         {r.right - 1, r.bottom - 1},
         {r.right - 1, r.top - 1}},
        {COLOR_BTNSHADOW,
         {r.left + 1, r.bottom - 2},
         {r.right - 2, r.bottom - 2},
         {r.right - 2, r.top}},
    };
    for (const Stroke& stroke : strokes) {
        const Pen pen(PS_SOLID, 1, GetSysColor(stroke.nColour));
        const Pen* pOld = pDC->SelectObject(&pen);
        pDC->MoveTo(stroke.from.x, stroke.from.y);
        pDC->LineTo(stroke.corner.x, stroke.corner.y);
        pDC->LineTo(stroke.to.x, stroke.to.y);
        pDC->SelectObject(pOld);
    }
}

int ImageButton::ImageIndex(bool bHasSecond, bool bPressed) const {
    const bool bMain = m_bCheckBox ? bPressed : (bPressed || m_bHovering != FALSE);
    return bMain || !bHasSecond ? 0 : 1;
}

void ImageButton::DrawIconImage(DeviceContext* pDC, const PaintState& state, RECT* pCaption) {
    const IconImage& icon = *state.pIcon;
    const RECT image = LayoutImage(state, pCaption, icon.width, icon.height);
    pDC->DrawState(image.left, image.top, image.Width(), image.Height(), icon.handle.get(),
                   DST_ICON | (state.disabled ? DSS_DISABLED : DSS_NORMAL));
}

void ImageButton::DrawBitmapImage(DeviceContext* pDC, const PaintState& state, RECT* pCaption) {
    const BitmapImage& bitmap = *state.pBitmap;
    const RECT image = LayoutImage(state, pCaption, bitmap.width, bitmap.height);
    const int nWidth = static_cast<int>(bitmap.width);
    const int nHeight = static_cast<int>(bitmap.height);

    const std::unique_ptr<DeviceContext> pImageDC = CreateCompatibleDC(pDC);
    Bitmap* pOldImage = pImageDC->SelectObject(bitmap.handle.get());
    const std::unique_ptr<DeviceContext> pScreen = GetDC();
    const std::unique_ptr<DeviceContext> pMaskDC = CreateCompatibleDC(pScreen.get());
    Bitmap* pOldMask = pMaskDC->SelectObject(bitmap.mask.get());

    if (state.disabled && state.look.grayDisabledBitmap) {
        const std::unique_ptr<DeviceContext> pGrayDC = CreateCompatibleDC(pDC);
        const std::unique_ptr<Bitmap> pGray = CreateCompatibleBitmap(pDC, nWidth, nHeight);
        Bitmap* pOldGray = pGrayDC->SelectObject(pGray.get());
        pGrayDC->FillSolidRect(0, 0, nWidth, nHeight, kWhite);
        const COLORREF oldBk = pGrayDC->SetBkColor(kWhite);
        pGrayDC->BitBlt(0, 0, nWidth, nHeight, pMaskDC.get(), 0, 0, SRCAND);
        pGrayDC->BitBlt(0, 0, nWidth, nHeight, pImageDC.get(), 0, 0, SRCPAINT);
        pGrayDC->SetBkColor(oldBk);
        pGrayDC->SelectObject(pOldGray);
        pDC->DrawState(image.left, image.top, nWidth, nHeight, pGray.get(),
                       DST_BITMAP | DSS_DISABLED);
    } else {
        pDC->BitBlt(image.left, image.top, nWidth, nHeight, pMaskDC.get(), 0, 0, SRCAND);
        pDC->BitBlt(image.left, image.top, nWidth, nHeight, pImageDC.get(), 0, 0, SRCPAINT);
    }
    pImageDC->SelectObject(pOldImage);
    pMaskDC->SelectObject(pOldMask);
}

void ImageButton::DrawCaption(DeviceContext* pDC, const PaintState& state, RECT* pCaption) {
    const std::u16string& caption = state.caption;
    if (state.pressed && !state.isCheckBox) {
        OffsetRect(pCaption, state.look.pushOffsetX, state.look.pushOffsetY);
    }
    const RECT box = *pCaption;
    pDC->DrawText(caption, pCaption, DT_WORDBREAK | DT_CENTER | DT_CALCRECT);
    OffsetRect(pCaption, (box.Width() - pCaption->Width()) / 2,
               (box.Height() - pCaption->Height()) / 2);
    pDC->SetBkMode(TRANSPARENT);
    if (state.disabled) {
        OffsetRect(pCaption, 1, 1);
        pDC->SetTextColor(GetSysColor(COLOR_3DHILIGHT));
        pDC->DrawText(caption, pCaption, DT_WORDBREAK | DT_CENTER);
        OffsetRect(pCaption, -1, -1);
        pDC->SetTextColor(GetSysColor(COLOR_3DSHADOW));
        pDC->DrawText(caption, pCaption, DT_WORDBREAK | DT_CENTER);
        return;
    }
    std::size_t nText = 3;
    if (state.hovering || state.pressed) {
        nText = 1;
    } else if (state.focused) {
        nText = 5;
    }
    pDC->SetTextColor(state.look.colors[nText]);
    pDC->SetBkColor(state.look.colors[nText - 1]);
    pDC->DrawText(caption, pCaption, DT_WORDBREAK | DT_CENTER);
}

int ImageButton::ResetColors(BOOL bRepaint) {
    for (std::size_t i = 0; i < m_look.colors.size(); i += 2) {
        m_look.colors[i] = GetSysColor(COLOR_BTNFACE);
        m_look.colors[i + 1] = GetSysColor(COLOR_BTNTEXT);
    }
    Repaint(bRepaint);
    return 0;
}

int ImageButton::SetPushOffset(int nStyle, BOOL bRepaint) {
    switch (nStyle & 0xFF) {
        case 0:
            m_look.pushOffsetX = 1;
            m_look.pushOffsetY = 1;
            break;
        case 1:
            m_look.pushOffsetX = 0;
            m_look.pushOffsetY = 2;
            break;
        default:
            return 6;
    }
    Repaint(bRepaint);
    return 0;
}

RECT ImageButton::LayoutImage(const PaintState& state, RECT* pCaption, DWORD w, DWORD h) {
    const Look& look = state.look;
    const bool bHasCaption = !state.caption.empty();
    const int nImageWidth = static_cast<int>(w);
    const int nImageHeight = static_cast<int>(h);
    const int W = state.item.Width();
    const int H = state.item.Height();
    RECT image = state.item;
    switch (look.alignment) {
        case 0:
            if (!bHasCaption) {
                image.left += (W - nImageWidth) / 2;
            } else {
                image.left += look.imageMarginX;
                pCaption->left += nImageWidth + look.imageMarginX;
            }
            image.top += (H - nImageHeight) / 2;
            break;
        case 1:
            image.left += (W - nImageWidth) / 2;
            if (!bHasCaption) {
                image.top += (H - nImageHeight) / 2;
            } else {
                image.top = look.imageMarginY;
                pCaption->top += nImageHeight;
            }
            break;
        case 2:
            if (!bHasCaption) {
                image.left += (W - nImageWidth) / 2;
            } else {
                pCaption->right = pCaption->Width() - nImageWidth - look.imageMarginX;
                pCaption->left = look.imageMarginX;
                image.left = state.clientWidth - nImageWidth - look.imageMarginX;
                image.top += (H - nImageHeight) / 2;
            }
            break;
        default:
            break;
    }
    if (state.pressed && !state.isCheckBox) {
        OffsetRect(&image, look.pushOffsetX, look.pushOffsetY);
    }
    return image;
}

void ImageButton::PaintParentBackground(DeviceContext* pDC) {
    QWidget* pParent = parentWidget();
    if (pParent == nullptr) {
        return;
    }
    const int nWidth = width();
    const int nHeight = height();
    if (m_pBackgroundDC == nullptr) {
        // The parent's client context: the parent's own pixels under the button, its children
        // (this button among them) left out.
        const QRect window = geometry();
        QImage parentPixels(pParent->size(), QImage::Format_RGB32);
        parentPixels.fill(ToQRgb(GetSysColor(COLOR_BTNFACE)));
        pParent->render(&parentPixels, window.topLeft(), QRegion(window),
                        QWidget::DrawWindowBackground);
        DeviceContext parentDC(&parentPixels);
        m_pBackgroundDC = CreateCompatibleDC(&parentDC);
        m_pBackgroundBitmap = CreateCompatibleBitmap(&parentDC, nWidth, nHeight);
        m_pOldBackgroundBitmap = m_pBackgroundDC->SelectObject(m_pBackgroundBitmap.get());
        m_pBackgroundDC->BitBlt(0, 0, nWidth, nHeight, &parentDC, window.left(), window.top(),
                                SRCCOPY);
    }
    pDC->BitBlt(0, 0, nWidth, nHeight, m_pBackgroundDC.get(), 0, 0, SRCCOPY);
}

int ImageButton::SetIcon(int nIcon, int nIcon2) {
    return SetIcon(nIcon, 0, 0, nIcon2, 0, 0);
}

int ImageButton::SetIcon(int nIcon, int cxIcon, int cyIcon, int nIcon2, int cxIcon2, int cyIcon2) {
    // Resources are looked up by number among the program's own; one that is not there loads
    // as no icon.
    std::unique_ptr<Icon> pIcon = LoadIconResource(static_cast<UINT>(nIcon), cxIcon, cyIcon);
    SecondIcon second = nullptr;
    if (nIcon2 == DERIVE_DARKER || nIcon2 == DERIVE_GRAY) {
        second = static_cast<DeriveMarker>(nIcon2);
    } else if (nIcon2 != 0) {
        second = LoadIconResource(static_cast<UINT>(nIcon2), cxIcon2, cyIcon2);
    }
    return SetIcon(std::move(pIcon), std::move(second));
}

int ImageButton::SetIcon(std::unique_ptr<Icon> pIcon, SecondIcon second) {
    FreeImages();
    // The laid-out size of an icon is twice its hot spot, its centre.
    const auto takeSize = [](IconImage& image) {
        ICONINFO info;
        if (!GetIconInfo(image.handle.get(), &info)) {
            return false;
        }
        image.width = 2 * info.xHotspot;
        image.height = 2 * info.yHotspot;
        return true;
    };
    if (pIcon != nullptr) {
        m_icons[0].handle = std::move(pIcon);
        if (!takeSize(m_icons[0])) {
            FreeImages();
            return 1;
        }
        std::unique_ptr<Icon> pSecond;
        bool bSecond = false;
        if (const auto* pMarker = std::get_if<DeriveMarker>(&second)) {
            bSecond = *pMarker == DERIVE_DARKER || *pMarker == DERIVE_GRAY;
            if (*pMarker == DERIVE_DARKER) {
                pSecond = MakeDarkerIcon(m_icons[0].handle.get());
            } else if (*pMarker == DERIVE_GRAY) {
                pSecond = MakeGrayscaleIcon(m_icons[0].handle.get());
            }
        } else {
            pSecond = std::move(std::get<std::unique_ptr<Icon>>(second));
            bSecond = pSecond != nullptr;
        }
        // A derivation that made no icon fails here too.
        if (bSecond) {
            m_icons[1].handle = std::move(pSecond);
            if (!takeSize(m_icons[1])) {
                FreeImages();
                return 1;
            }
        }
    }
    update();
    return 0;
}

void ImageButton::FreeImages() {
    for (IconImage& icon : m_icons) {
        icon.handle.reset();
    }
    for (BitmapImage& bitmap : m_bitmaps) {
        bitmap.handle.reset();
    }
    for (BitmapImage& bitmap : m_bitmaps) {
        bitmap.mask.reset();
    }
    m_icons = {};
    m_bitmaps = {};
}

namespace {

// A copy of the icon whose colour pixels went through the transform, pixel by pixel; pure
// black stays black, so what is transparent stays transparent.
template <typename Transform>
std::unique_ptr<Icon> DeriveIcon(const Icon* pSource, Transform transform) {
    ICONINFO info;
    if (!GetIconInfo(pSource, &info)) {
        return nullptr;
    }
    const std::unique_ptr<DeviceContext> pScreen = GetDC();
    const std::unique_ptr<DeviceContext> pSourceDC = CreateCompatibleDC(pScreen.get());
    const std::unique_ptr<DeviceContext> pTargetDC = CreateCompatibleDC(pScreen.get());
    BITMAP description;
    if (!GetObject(info.hbmColor.get(), &description)) {
        return nullptr;
    }
    const int nWidth = 2 * static_cast<int>(info.xHotspot);
    const int nHeight = 2 * static_cast<int>(info.yHotspot);
    std::unique_ptr<Bitmap> pDerived =
        CreateBitmap(nWidth, nHeight, description.bmPlanes, description.bmBitsPixel);
    if (pDerived == nullptr) {
        return nullptr;
    }
    Bitmap* pOldSource = pSourceDC->SelectObject(info.hbmColor.get());
    Bitmap* pOldTarget = pTargetDC->SelectObject(pDerived.get());
    for (int y = 0; y < nHeight; ++y) {
        for (int x = 0; x < nWidth; ++x) {
            const COLORREF c = pSourceDC->GetPixel(x, y);
            pTargetDC->SetPixel(x, y, c == 0 ? 0 : transform(c));
        }
    }
    pSourceDC->SelectObject(pOldSource);
    pTargetDC->SelectObject(pOldTarget);
    ICONINFO made;
    made.fIcon = TRUE;
    made.hbmMask = std::move(info.hbmMask);
    made.hbmColor = std::move(pDerived);
    return CreateIconIndirect(&made);
}

}  // namespace

std::unique_ptr<Icon> ImageButton::MakeGrayscaleIcon(const Icon* pSource) {
    return DeriveIcon(pSource, [](COLORREF c) {
        const double dLevel = GetGValue(c) * 0.587 + GetBValue(c) * 0.114 + GetRValue(c) * 0.299;
        const int v = static_cast<int>(dLevel);
        return RGB(v, v, v);
    });
}

std::unique_ptr<Icon> ImageButton::MakeDarkerIcon(const Icon* pSource) {
    return DeriveIcon(pSource, [](COLORREF c) { return DarkenColor(c, 0.25); });
}

COLORREF ImageButton::DarkenColor(COLORREF colour, double dFactor) {
    if (!(dFactor > 0.0 && dFactor <= 1.0)) {
        return colour;
    }
    const auto darken = [dFactor](int x) { return static_cast<int>(x - x * dFactor); };
    return RGB(darken(GetRValue(colour)), darken(GetGValue(colour)), darken(GetBValue(colour)));
}

void ImageButton::SetFlat(BOOL bFlat, BOOL bRepaint) {
    m_look.flat = bFlat ? TRUE : FALSE;
    Repaint(bRepaint);
}

void ImageButton::SetAlignment(std::uint8_t nAlignment, BOOL bRepaint) {
    m_look.alignment = nAlignment;
    Repaint(bRepaint);
}

void ImageButton::SetImageMargins(int nMarginX, int nMarginY, BOOL bRepaint) {
    m_look.imageMarginX = nMarginX;
    m_look.imageMarginY = nMarginY;
    Repaint(bRepaint);
}

int ImageButton::SetColor(int nIndex, COLORREF colour, BOOL bRepaint) {
    if (nIndex < 0 || nIndex >= static_cast<int>(m_look.colors.size())) {
        return 1;
    }
    m_look.colors[static_cast<std::size_t>(nIndex)] = colour;
    Repaint(bRepaint);
    return 0;
}

void ImageButton::SetDrawBorder(BOOL bDrawBorder, BOOL bRepaint) {
    m_look.drawBorder = bDrawBorder ? TRUE : FALSE;
    Repaint(bRepaint);
}

void ImageButton::SetFlatFocus(BOOL bFlatFocus, BOOL bRepaint) {
    m_look.flatFocus = bFlatFocus ? TRUE : FALSE;
    Repaint(bRepaint);
}

void ImageButton::SetTransparent(BOOL bTransparent, BOOL bRepaint) {
    m_look.transparent = bTransparent ? TRUE : FALSE;
    Repaint(bRepaint);
}

namespace {

// A bitmap image with its mask: white in the mask and black in the image wherever the image
// has the transparent colour.
ImageButton::BitmapImage MaskedImage(std::unique_ptr<Bitmap> pBitmap, COLORREF transparentColor) {
    ImageButton::BitmapImage image;
    if (pBitmap == nullptr) {
        return image;
    }
    const int nWidth = pBitmap->Width();
    const int nHeight = pBitmap->Height();
    const std::unique_ptr<DeviceContext> pScreen = GetDC();
    const std::unique_ptr<DeviceContext> pImageDC = CreateCompatibleDC(pScreen.get());
    const std::unique_ptr<DeviceContext> pMaskDC = CreateCompatibleDC(nullptr);
    std::unique_ptr<Bitmap> pMask = CreateBitmap(nWidth, nHeight, 1, 1);
    Bitmap* pOldImage = pImageDC->SelectObject(pBitmap.get());
    Bitmap* pOldMask = pMaskDC->SelectObject(pMask.get());
    pImageDC->SetBkColor(transparentColor);
    pMaskDC->BitBlt(0, 0, nWidth, nHeight, pImageDC.get(), 0, 0, SRCCOPY);
    pImageDC->SetBkColor(kWhite);
    pImageDC->SetTextColor(RGB(0, 0, 0));
    pImageDC->BitBlt(0, 0, nWidth, nHeight, pMaskDC.get(), 0, 0, kAndNotSource);
    pImageDC->SelectObject(pOldImage);
    pMaskDC->SelectObject(pOldMask);
    image.width = static_cast<DWORD>(nWidth);
    image.height = static_cast<DWORD>(nHeight);
    image.handle = std::move(pBitmap);
    image.mask = std::move(pMask);
    image.transparentColor = transparentColor;
    return image;
}

}  // namespace

int ImageButton::SetBitmaps(std::unique_ptr<Bitmap> pBitmap, COLORREF transparentColor,
                            std::unique_ptr<Bitmap> pBitmap2, COLORREF transparentColor2) {
    FreeImages();
    m_bitmaps[0] = MaskedImage(std::move(pBitmap), transparentColor);
    if (m_bitmaps[0].handle != nullptr) {
        m_bitmaps[1] = MaskedImage(std::move(pBitmap2), transparentColor2);
    }
    update();
    return 0;
}

void ImageButton::Repaint(BOOL bRepaint) {
    if (bRepaint) {
        update();
    }
}

void ImageButton::UpdateFont() {
    const QFontInfo info(font());
    LOGFONT logFont;
    logFont.lfHeight = -info.pixelSize();
    logFont.lfWeight = info.weight();
    logFont.lfItalic = info.italic();
    logFont.lfFaceName = info.family().toStdU16String();
    m_pFont = CreateFontIndirect(logFont);
}

void ImageButton::changeEvent(QEvent* pEvent) {
    if (pEvent->type() == QEvent::FontChange) {
        UpdateFont();
    }
    QPushButton::changeEvent(pEvent);
    if (pEvent->type() == QEvent::EnabledChange && !isEnabled()) {
        // The focus goes on to the next tab stop, or to the parent when there is none. (The
        // toolkit has moved it already where it found a next one.)
        QWidget* pFocus = QApplication::focusWidget();
        if (pFocus == this || (pFocus == nullptr && window()->isActiveWindow())) {
            const auto isTabStop = [this](const QWidget* p) {
                return (p->focusPolicy() & Qt::TabFocus) == Qt::TabFocus && p->isEnabled() &&
                       p->isVisible() && parentWidget() != nullptr &&
                       parentWidget()->isAncestorOf(p);
            };
            QWidget* pNext = nextInFocusChain();
            while (pNext != this && !isTabStop(pNext)) {
                pNext = pNext->nextInFocusChain();
            }
            if (pNext != this) {
                pNext->setFocus(Qt::TabFocusReason);
            } else if (parentWidget() != nullptr) {
                parentWidget()->setFocus(Qt::OtherFocusReason);
            }
        }
        CancelHover();
    }
}

bool ImageButton::event(QEvent* pEvent) {
    switch (pEvent->type()) {
        case QEvent::MouseMove:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Leave:
        case QEvent::Wheel:
            EnsureTooltip();
            m_pTooltip->RelayEvent(this, pEvent);
            break;
        default:
            break;
    }
    if (pEvent->type() == QEvent::MouseButtonDblClick) {
        // A fast second click is a second click.
        const auto* pMouse = static_cast<QMouseEvent*>(pEvent);
        QMouseEvent press(QEvent::MouseButtonPress, pMouse->position(), pMouse->scenePosition(),
                          pMouse->globalPosition(), pMouse->button(), pMouse->buttons(),
                          pMouse->modifiers(), pMouse->pointingDevice());
        return QPushButton::event(&press);
    }
    if (pEvent->type() == platform::MessageEvent::EventType()) {
        auto* pMessage = static_cast<platform::MessageEvent*>(pEvent);
        pMessage->result = OnMessage(*pMessage);
        return true;
    }
    if (pEvent->type() == QEvent::ThemeChange) {
        OnSysColorChange();
    } else if (pEvent->type() == QEvent::WindowBlocked ||
               pEvent->type() == QEvent::WindowDeactivate) {
        // A modal window took over (the platform's cancel mode), or the window is no longer
        // the active one.
        CancelHover();
    }
    return QPushButton::event(pEvent);
}

LRESULT ImageButton::OnMessage(const MessageEvent& message) {
    switch (message.message) {
        case BM_SETCHECK:
            ApplyCheck(message.wParam == BST_CHECKED || message.wParam == BST_INDETERMINATE, TRUE);
            return 0;
        case BM_GETCHECK:
            return IsChecked();
        case BM_SETSTYLE: {
            const DWORD dwType = static_cast<DWORD>(message.wParam) & BS_TYPEMASK;
            if (dwType == BS_DEFPUSHBUTTON) {
                m_bDefault = TRUE;
            } else if (dwType == BS_PUSHBUTTON) {
                m_bDefault = FALSE;
            }
            // The control stays owner-drawn; the dialog's default role follows.
            m_dwStyle = (m_dwStyle & ~BS_TYPEMASK) | BS_OWNERDRAW;
            setDefault(m_bDefault != FALSE);
            if (message.lParam != 0) {
                update();
            }
            return 0;
        }
        default:
            return 0;
    }
}

void ImageButton::mouseMoveEvent(QMouseEvent* pEvent) {
    QPushButton::mouseMoveEvent(pEvent);
    const QWidget* pUnder = QApplication::widgetAt(pEvent->globalPosition().toPoint());
    // No hover starts while the left button is held.
    if ((pEvent->buttons() & Qt::LeftButton) != 0 && !m_bHovering) {
        return;
    }
    if (!m_look.flat) {
        return;
    }
    const QWidget* pReference = m_bAlwaysTrack ? this : QApplication::activeWindow();
    if (pUnder == this && pReference != nullptr) {
        if (m_bHovering) {
            return;
        }
        m_bHovering = TRUE;
        update();
        if (m_hoverSound.sound != nullptr) {
            PlaySoundA(m_hoverSound.sound, m_hoverSound.module, m_hoverSound.flags);
        }
        // The toolkit tells the button when the pointer leaves it (leaveEvent).
        return;
    }
    CancelHover();
}

void ImageButton::enterEvent(QEnterEvent* pEvent) {
    if (m_cursor) {
        setCursor(*m_cursor);
    } else {
        unsetCursor();
    }
    QPushButton::enterEvent(pEvent);
}

void ImageButton::leaveEvent(QEvent* pEvent) {
    QPushButton::leaveEvent(pEvent);
    CancelHover();
}

void ImageButton::focusOutEvent(QFocusEvent* pEvent) {
    QPushButton::focusOutEvent(pEvent);
    CancelHover();
}

void ImageButton::CancelHover() {
    if (m_look.flat && m_bHovering) {
        m_bHovering = FALSE;
        update();
    }
}

void ImageButton::DropBackgroundCache() {
    if (m_pOldBackgroundBitmap != nullptr && m_pBackgroundDC != nullptr) {
        m_pBackgroundDC->SelectObject(m_pOldBackgroundBitmap);
    }
    m_pOldBackgroundBitmap = nullptr;
    m_pBackgroundDC.reset();
    m_pBackgroundBitmap.reset();
}

void ImageButton::OnSysColorChange() {
    DropBackgroundCache();
    ResetColors(TRUE);
}

void ImageButton::EnsureTooltip() {
    if (m_pTooltip == nullptr) {
        m_pTooltip = std::make_unique<CToolTipCtrl>();
        m_pTooltip->Create(this, 0);
        m_pTooltip->Activate(FALSE);
        m_pTooltip->SetMaxTipWidth(400);
    }
}

void ImageButton::SetTooltipText(const char16_t* pszText, BOOL bActivate) {
    if (pszText == nullptr) {
        return;
    }
    EnsureTooltip();
    const QString text = QString::fromUtf16(pszText);
    if (m_pTooltip->GetToolCount() == 0) {
        m_pTooltip->AddTool(this, text, RECT{0, 0, width(), height()}, 1);
    }
    m_pTooltip->UpdateTipText(text, this, 1);
    m_pTooltip->Activate(bActivate);
}

int ImageButton::AttachMenu(UINT nMenu, QWidget* pOwner, BOOL bFlatMenuStyle, UINT nToolbar,
                            int cxImage, int cyImage, COLORREF imageBackground, BOOL bRepaint) {
    if (m_menu.m_hMenu != kNoMenu) {
        m_menu.ReleaseAll();
        m_menuOwner = nullptr;
        m_bMenuShowing = FALSE;
    }
    if (nMenu != 0) {
        // The draw modes are the class's: every menu of the program follows them.
        LumoMenu::settings.drawModeThemed = bFlatMenuStyle;
        LumoMenu::settings.drawModeOther = bFlatMenuStyle;
        if (!m_menu.LoadTemplate(nMenu)) {
            return 1;
        }
        if (nToolbar != 0) {
            m_menu.SetImageBackground(imageBackground);
            m_menu.SetImageSize(cxImage, cyImage);
            if (!m_menu.LoadToolbarImages(nToolbar)) {
                m_menu.ReleaseAll();
                return 1;
            }
        }
        m_menuOwner = pOwner;
    }
    Repaint(bRepaint);
    return 0;
}

int ImageButton::SetMenuCallback(QObject* pWnd, UINT nMessage, LPARAM lParam) {
    m_menuCallback.window = pWnd;
    m_menuCallback.message = nMessage;
    m_menuCallback.lParam = lParam;
    return 0;
}

int ImageButton::SetLinkUrl(const char* pszUrl) {
    std::memset(m_szLinkUrl, 0, sizeof m_szLinkUrl);
    if (pszUrl == nullptr) {
        return 0;
    }
    // GBK's two-byte characters begin with a byte from 0x81 to 0xFE.
    std::size_t i = 0;
    while (pszUrl[i] != '\0') {
        const auto lead = static_cast<unsigned char>(pszUrl[i]);
        const std::size_t n = lead >= 0x81 && lead <= 0xFE ? 2 : 1;
        if (i + n > sizeof m_szLinkUrl - 1 || (n == 2 && pszUrl[i + 1] == '\0')) {
            break;
        }
        std::memcpy(m_szLinkUrl + i, pszUrl + i, n);
        i += n;
    }
    return 0;
}

int ImageButton::ApplyCheck(BOOL bCheck, BOOL bRepaint) {
    if (m_bCheckBox) {
        m_bChecked = bCheck ? TRUE : FALSE;
        Repaint(bRepaint);
    }
    return 0;
}

void ImageButton::OnMeasureItem(HMENU hMenu, MEASUREITEMSTRUCT* pMeasure) {
    const HMENU hItem = MenuFromId(pMeasure->itemID);
    if (pMeasure->CtlType == ODT_MENU && IsMenu(hItem) && LumoMenu::IsOwnedMenu(hItem)) {
        m_menu.MeasureItem(pMeasure);
        return;
    }
    PopupMenuOwner::OnMeasureItem(hMenu, pMeasure);
}

LRESULT ImageButton::OnMenuChar(UINT nChar, UINT nFlags, HMENU hMenu) {
    CMenu* pMenu = CMenu::FromHandle(hMenu);
    if (pMenu != nullptr && LumoMenu::IsOwnedMenu(pMenu)) {
        return LumoMenu::HandleMenuChar(nChar, nFlags, pMenu);
    }
    return PopupMenuOwner::OnMenuChar(nChar, nFlags, hMenu);
}

void ImageButton::OnClicked() {
    setFocus(Qt::MouseFocusReason);
    if (m_clickSound.sound != nullptr) {
        PlaySoundA(m_clickSound.sound, m_clickSound.module, m_clickSound.flags);
    }
    if (m_bCheckBox) {
        m_bChecked = m_bChecked ? FALSE : TRUE;
        update();
        return;
    }
    if (m_menu.m_hMenu != kNoMenu) {
        const QPoint topLeft = mapToGlobal(QPoint(0, 0));
        m_bMenuShowing = TRUE;
        update();
        CMenu* pPopup = m_menu.SubMenuAt(0);
        if (m_menuCallback.window != nullptr) {
            SendMessageA(m_menuCallback.window, m_menuCallback.message,
                         reinterpret_cast<WPARAM>(pPopup), m_menuCallback.lParam);
        }
        int nCommand = 0;
        if (pPopup != nullptr) {
            nCommand = TrackPopupMenu(
                pPopup->m_hMenu, TPM_LEFTALIGN | TPM_RIGHTBUTTON | TPM_NONOTIFY | TPM_RETURNCMD,
                topLeft.x(), topLeft.y() + height(), 0, this, nullptr);
        }
        // Unpressed on screen before the owner hears of the command.
        m_bMenuShowing = FALSE;
        repaint();
        if (nCommand != 0) {
            PostMessageA(m_menuOwner, WM_COMMAND, static_cast<WPARAM>(nCommand) & 0xFFFF, 0);
        }
        return;
    }
    if (m_szLinkUrl[0] != '\0') {
        SHELLEXECUTEINFOA info;
        info.fMask = SEE_MASK_FLAG_NO_UI;
        info.lpVerb = "open";
        info.lpFile = m_szLinkUrl;
        info.nShow = SW_SHOWMAXIMIZED;
        ShellExecuteExA(&info);
    }
}

void ImageButton::paintEvent(QPaintEvent*) {
    if (m_frame.size() != size()) {
        m_frame = QImage(size(), QImage::Format_RGB32);
        m_frame.fill(ToQRgb(GetSysColor(COLOR_BTNFACE)));
    }
    DeviceContext dc(&m_frame);
    dc.SelectObject(m_pFont.get());
    DRAWITEMSTRUCT item;
    item.CtlType = ODT_BUTTON;
    item.itemAction = ODA_DRAWENTIRE;
    item.itemState = (isDown() ? ODS_SELECTED : 0) | (hasFocus() ? ODS_FOCUS : 0) |
                     (isEnabled() ? 0 : ODS_DISABLED);
    item.hDC = &dc;
    item.rcItem = {0, 0, width(), height()};
    DrawItem(&item);
    QPainter(this).drawImage(0, 0, m_frame);
}

}  // namespace vesk
