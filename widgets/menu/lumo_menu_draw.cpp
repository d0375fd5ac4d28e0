// Painting of the owner-drawn items: the classic 3-D look, the flat look with its image strip,
// the check marks, and the images' faded, shadow and disabled looks.

#include "lumo_menu.h"
#include "menu_memory_dc.h"
#include "system.h"

#include <algorithm>
#include <optional>
#include <string_view>

namespace vesk {

using namespace platform;

namespace {

constexpr UINT kLabelFormat = DT_SINGLELINE | DT_VCENTER;                   // 0x24
constexpr UINT kAcceleratorFormat = DT_SINGLELINE | DT_VCENTER | DT_RIGHT;  // 0x26
// DSPDxax: the brush where the source is all ones, the destination elsewhere.
constexpr DWORD kBrushThroughMask = 0x00E20746;

// The item's text as label and accelerator: before the first tab, and after the last one.
struct LabelParts {
    std::u16string_view label;
    std::optional<std::u16string_view> accelerator;
};

LabelParts SplitText(const LumoMenuItem& record) {
    LabelParts split;
    if (!record.text) {
        return split;
    }
    const std::u16string_view text = *record.text;
    const std::size_t nFirst = text.find(u'\t');
    if (nFirst == std::u16string_view::npos) {
        split.label = text;
        return split;
    }
    split.label = text.substr(0, nFirst);
    split.accelerator = text.substr(text.rfind(u'\t') + 1);
    return split;
}

// A checked item shows a dot where it has a checked-state bitmap, else a tick.
bool HasRadioMark(const DRAWITEMSTRUCT& draw) {
    MENUITEMINFO info;
    info.cbSize = 44;
    info.fMask = MIIM_CHECKMARKS;
    return GetMenuItemInfo(draw.hwndItem, draw.itemID, FALSE, &info) && info.hbmpChecked != nullptr;
}

// One item's draw request, decoded once for either look. A grayed item shows no selection
// unless the look highlights disabled items.
struct ItemState {
    const LumoMenuItem& record;
    bool bSeparator;
    bool bSelected;
    bool bGrayed;
    bool bChecked;
    bool bHasImage;
};

ItemState DecodeItem(const DRAWITEMSTRUCT& draw, bool bHighlightsDisabled, bool bHasImages) {
    const auto& record = *reinterpret_cast<const LumoMenuItem*>(draw.itemData);
    const bool bGrayed = (draw.itemState & ODS_GRAYED) != 0;
    return ItemState{record,
                     (record.menuFlags & MF_SEPARATOR) != 0,
                     (draw.itemState & ODS_SELECTED) != 0 && (!bGrayed || bHighlightsDisabled),
                     bGrayed,
                     (draw.itemState & ODS_CHECKED) != 0,
                     record.sharedImageIndex >= 0 && bHasImages};
}

// The item's label at the left of the text rectangle and its accelerator at the right (the
// rectangle then narrowed by an image width), in one colour; embossed draws both one pixel
// down-right in the highlight colour first.
void DrawLabel(DeviceContext* pDC, const LumoMenuItem& record, RECT t, int nImageWidth,
               COLORREF colour, bool bEmbossed) {
    if (!record.text || record.text->empty()) {
        return;
    }
    const LabelParts text = SplitText(record);
    if (text.accelerator) {
        t.right -= nImageWidth;
    }
    const int nOldMode = pDC->SetBkMode(TRANSPARENT);
    const auto draw = [&](const RECT& at) {
        RECT r = at;
        pDC->DrawText(text.label, &r, kLabelFormat);
        if (text.accelerator) {
            r = at;
            pDC->DrawText(*text.accelerator, &r, kAcceleratorFormat);
        }
    };
    if (bEmbossed) {
        RECT raised = t;
        OffsetRect(&raised, 1, 1);
        pDC->SetTextColor(GetSysColor(COLOR_BTNHIGHLIGHT));
        draw(raised);
    }
    pDC->SetTextColor(colour);
    draw(t);
    pDC->SetBkMode(nOldMode);
}

int Half(double value) {
    return std::max(0, static_cast<int>(value * 0.5));
}

// The face colour as a bitmap like this one holds it.
COLORREF FaceSample(DeviceContext* pImageDC, int nWidth, int nHeight) {
    const std::unique_ptr<DeviceContext> pSampleDC = CreateCompatibleDC(nullptr);
    const std::unique_ptr<Bitmap> pSample = CreateCompatibleBitmap(pImageDC, nWidth, nHeight);
    Bitmap* pOld = pSampleDC->SelectObject(pSample.get());
    const std::unique_ptr<Brush> pFace = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
    pSampleDC->FillRect({0, 0, nWidth, nHeight}, pFace.get());
    const COLORREF face = pSampleDC->GetPixel(1, 1);
    pSampleDC->SelectObject(pOld);
    return face;
}

// Every pixel of the bitmap that is not the face colour, changed by fn.
template <typename Fn>
void ChangeNonFacePixels(Bitmap& bitmap, Fn fn) {
    BITMAP info;
    if (!GetObject(&bitmap, &info)) {
        return;
    }
    const std::unique_ptr<DeviceContext> pDC = CreateCompatibleDC(nullptr);
    Bitmap* pOld = pDC->SelectObject(&bitmap);
    const COLORREF face = FaceSample(pDC.get(), info.bmWidth, info.bmHeight);
    for (int x = 0; x < info.bmWidth; ++x) {
        for (int y = 0; y < info.bmHeight; ++y) {
            const COLORREF pixel = pDC->GetPixel(x, y);
            if (pixel != face) {
                pDC->SetPixel(x, y, fn(pixel));
            }
        }
    }
    pDC->SelectObject(pOld);
}

}  // namespace

COLORREF LumoMenu::BlendTowardWhite(COLORREF colour, double dFactor) {
    if (dFactor <= 0 || dFactor > 1) {
        return colour;
    }
    const auto blend = [dFactor](int v) { return static_cast<int>(v + dFactor * (255 - v)); };
    return RGB(blend(GetRValue(colour)), blend(GetGValue(colour)), blend(GetBValue(colour)));
}

BOOL LumoMenu::HasImageTriplet(int nIndex) {
    if (nIndex < 0 || static_cast<std::size_t>(nIndex) + 2 >= settings.sharedImageCommands.size()) {
        return FALSE;
    }
    const auto i = static_cast<std::size_t>(nIndex);
    return settings.sharedImageCommands[i] == settings.sharedImageCommands[i + 1] &&
           settings.sharedImageCommands[i] == settings.sharedImageCommands[i + 2];
}

void LumoMenu::DrawRadioMark(DeviceContext* pDC, int x, int y, COLORREF colour) {
    const std::unique_ptr<Brush> pBrush = CreateSolidBrush(colour);
    const std::unique_ptr<Pen> pPen = CreatePen(PS_SOLID, 0, colour);
    const Brush* pOldBrush = pDC->SelectObject(pBrush.get());
    const Pen* pOldPen = pDC->SelectObject(pPen.get());
    pDC->Ellipse(x, y, x + 6, y + 6);
    pDC->SelectObject(pOldBrush);
    pDC->SelectObject(pOldPen);
}

void LumoMenu::DrawTickMark(DeviceContext* pDC, int x, int y, COLORREF colour) {
    static constexpr int kRise[7] = {2, 3, 4, 3, 2, 1, 0};
    const std::unique_ptr<Pen> pPen = CreatePen(PS_SOLID, 0, colour);
    const Pen* pOldPen = pDC->SelectObject(pPen.get());
    for (int k = 0; k < 7; ++k) {
        pDC->MoveTo(x + k, y + kRise[k]);
        pDC->LineTo(x + k, y + kRise[k] + 3);
    }
    pDC->SelectObject(pOldPen);
}

void LumoMenu::DrawClassicCheckBox(DeviceContext* pDC, const RECT& box, BOOL bSelected,
                                   BOOL bRadio) {
    COLORREF colour = GetSysColor(IsThemedXP() ? COLOR_3DFACE : COLOR_MENU);
    if (!bSelected) {
        colour = BlendTowardWhite(colour, 0.6);
    }
    pDC->FillSolidRect(box, colour);
    if (HasModernShell()) {
        pDC->DrawEdge(box, BDR_SUNKENOUTER, BF_RECT);
    }
    if (bRadio) {
        DrawRadioMark(pDC, box.left + 5, box.top + 4, GetSysColor(COLOR_MENUTEXT));
    } else {
        DrawTickMark(pDC, box.left + 4, box.top + 4, GetSysColor(COLOR_MENUTEXT));
    }
}

void LumoMenu::DrawFlatCheckBox(DeviceContext* pDC, const RECT& box, BOOL bRadio,
                                COLORREF highlight) {
    pDC->FillSolidRect(box, BlendTowardWhite(highlight, 0.85));
    pDC->Draw3dRect(box, highlight, highlight);
    if (bRadio) {
        DrawRadioMark(pDC, box.left + 5, box.top + 4, GetSysColor(COLOR_MENUTEXT));
    } else {
        DrawTickMark(pDC, box.left + 5, box.top + 4, GetSysColor(COLOR_MENUTEXT));
    }
}

BOOL LumoMenu::RenderImageToBitmap(DeviceContext* pDC, const ImageList* pList, int nIndex,
                                   std::unique_ptr<Bitmap>& pBitmap) const {
    const std::unique_ptr<Icon> pIcon = ImageList_GetIcon(pList, nIndex, ILD_NORMAL);
    const std::unique_ptr<DeviceContext> pMemory = CreateCompatibleDC(pDC);
    pBitmap = CreateCompatibleBitmap(pDC, imageWidth, imageHeight);
    Bitmap* pOld = pMemory->SelectObject(pBitmap.get());
    const std::unique_ptr<Brush> pFace = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
    // The background also where there is no icon to draw, rather than a black block.
    pMemory->FillRect({0, 0, imageWidth, imageHeight}, pFace.get());
    pMemory->DrawIconEx(0, 0, pIcon.get(), imageWidth, imageHeight, pFace.get(), DI_NORMAL);
    pMemory->SelectObject(pOld);
    return TRUE;
}

void LumoMenu::MakeFadedBitmap(Bitmap& bitmap) {
    ChangeNonFacePixels(bitmap, [](COLORREF pixel) { return BlendTowardWhite(pixel, 0.3); });
}

void LumoMenu::MakeShadowBitmap(Bitmap& bitmap) {
    COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
    if (!IsThemedXP()) {
        shadow = BlendTowardWhite(shadow, 0.49);
    }
    ChangeNonFacePixels(bitmap, [shadow](COLORREF) { return shadow; });
}

void LumoMenu::DrawDisabledImage(DeviceContext* pDC, int x, int y, int nWidth, int nHeight,
                                 Bitmap* pSource, int xSource, int ySource, COLORREF background) {
    if (pSource == nullptr) {
        return;
    }
    // A: the mask, monochrome like a memory context of the screen.
    const std::unique_ptr<DeviceContext> pMaskDC = CreateCompatibleDC(nullptr);
    const std::unique_ptr<Bitmap> pMask = CreateCompatibleBitmap(pMaskDC.get(), nWidth, nHeight);
    Bitmap* pOldMask = pMaskDC->SelectObject(pMask.get());
    // B: the source, used as scratch once the mask is made.
    const std::unique_ptr<DeviceContext> pImageDC = CreateCompatibleDC(pDC);
    Bitmap* pOldImage = pImageDC->SelectObject(pSource);

    pMaskDC->PatBlt(0, 0, nWidth, nHeight, WHITENESS);
    pImageDC->SetBkColor(GetSysColor(COLOR_BTNFACE));
    pMaskDC->BitBlt(0, 0, nWidth, nHeight, pImageDC.get(), xSource, ySource, SRCCOPY);
    pImageDC->SetBkColor(GetSysColor(COLOR_BTNHIGHLIGHT));
    pMaskDC->BitBlt(0, 0, nWidth, nHeight, pImageDC.get(), xSource, ySource, SRCPAINT);

    pImageDC->FillSolidRect(0, 0, nWidth, nHeight, background);
    pImageDC->SetBkColor(RGB(0, 0, 0));
    pImageDC->SetTextColor(RGB(255, 255, 255));
    const std::unique_ptr<Brush> pHighlight = CreateSolidBrush(GetSysColor(COLOR_BTNHIGHLIGHT));
    const Brush* pOldBrush = pImageDC->SelectObject(pHighlight.get());
    pImageDC->BitBlt(0, 0, nWidth, nHeight, pMaskDC.get(), 0, 0, kBrushThroughMask);
    pDC->BitBlt(x + 1, y + 1, nWidth, nHeight, pImageDC.get(), 0, 0, SRCCOPY);
    pImageDC->BitBlt(1, 1, nWidth, nHeight, pMaskDC.get(), 0, 0, kBrushThroughMask);
    const std::unique_ptr<Brush> pShadow = CreateSolidBrush(GetSysColor(COLOR_BTNSHADOW));
    pImageDC->SelectObject(pShadow.get());
    pImageDC->BitBlt(0, 0, nWidth, nHeight, pMaskDC.get(), 0, 0, kBrushThroughMask);
    pDC->BitBlt(x, y, nWidth, nHeight, pImageDC.get(), 0, 0, SRCCOPY);

    pImageDC->SelectObject(pOldBrush);
    pImageDC->SelectObject(pOldImage);
    pMaskDC->SelectObject(pOldMask);
}

void LumoMenu::DrawItem(DRAWITEMSTRUCT* pDraw) {
    if (pDraw == nullptr || pDraw->hDC == nullptr || pDraw->itemData == 0) {
        return;
    }
    if ((pDraw->hDC->GetDeviceCaps(RASTERCAPS) & RC_PALETTE) != 0) {
        DrawClassicItem(pDraw);
    } else if ((IsThemedXP() ? settings.drawModeThemed : settings.drawModeOther) == 1) {
        DrawFlatItem(pDraw);
    } else {
        DrawClassicItem(pDraw);
    }
}

namespace {

// The classic look's image in its frame, raised or sunk by the item's state.
void DrawClassicImage(const LumoMenu& menu, DeviceContext* pDC, const RECT& r,
                      const ItemState& item, COLORREF bg) {
    const int iw = menu.imageWidth;
    const int ih = menu.imageHeight;
    const int dy = std::max(0, (r.bottom - r.top - ih - 4) / 2);
    const RECT frame{r.left + 1, r.top + dy + 1, r.left + iw + 3, r.top + dy + ih + 3};
    pDC->Draw3dRect(frame, bg, bg);
    const RECT box{r.left, r.top + dy, r.left + iw + 4, r.top + dy + ih + 4};
    const POINT at{r.left + 2, r.top + dy + 2};
    const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
    const COLORREF light = GetSysColor(COLOR_BTNHIGHLIGHT);
    const ImageList* pImages = LumoMenu::settings.sharedImages.get();
    if (item.bGrayed) {
        std::unique_ptr<Bitmap> pImage;
        menu.RenderImageToBitmap(pDC, pImages, item.record.sharedImageIndex, pImage);
        pDC->Draw3dRect(box, bg, bg);
        LumoMenu::DrawDisabledImage(pDC, at.x, at.y, iw, ih, pImage.get(), 0, 0, bg);
        return;
    }
    if (item.bSelected) {
        pDC->FillSolidRect(frame, bg);
        if (LumoMenu::HasModernShell()) {
            pDC->Draw3dRect(box, item.bChecked ? shadow : light, item.bChecked ? light : shadow);
        }
    } else if (item.bChecked) {
        pDC->FillSolidRect(frame, LumoMenu::BlendTowardWhite(bg, 0.6));
        if (LumoMenu::HasModernShell()) {
            pDC->Draw3dRect(box, shadow, light);
        }
    } else {
        pDC->FillSolidRect(frame, bg);
        pDC->Draw3dRect(box, bg, bg);
    }
    ImageList_Draw(pImages, item.record.sharedImageIndex, pDC, at.x, at.y, ILD_TRANSPARENT);
}

// The flat look's sizes and colours for one item: the image strip's width W (the image and its
// gap g), the strip, the window, the highlight and the selection.
struct FlatLook {
    int iw;
    int ih;
    int g;
    int W;
    COLORREF strip;
    COLORREF window;
    COLORREF hl;
    COLORREF selection;
};

FlatLook FlatLookOf(const LumoMenu& menu) {
    const int g = LumoMenu::iconShadows ? 7 : 4;
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    const COLORREF hl = GetSysColor(COLOR_HIGHLIGHT);
    return {menu.imageWidth,
            menu.imageHeight,
            g,
            menu.imageWidth + g,
            LumoMenu::IsThemedXP() ? face : LumoMenu::BlendTowardWhite(face, 0.25),
            GetSysColor(COLOR_WINDOW),
            hl,
            LumoMenu::BlendTowardWhite(hl, LumoMenu::IsThemedXP() ? 0.7 : 0.85)};
}

void DrawFlatSeparator(DeviceContext* pDC, RECT r, const FlatLook& look) {
    const std::unique_ptr<Brush> pWindow = CreateSolidBrush(look.window);
    pDC->FillRect(r, pWindow.get());
    const RECT stripRect{r.left, r.top, r.left + look.W, r.bottom};
    r.top += (r.bottom - r.top) >> 1;
    r.left = r.left + look.W + look.g;
    pDC->DrawEdge(r, EDGE_ETCHED, BF_TOP);
    pDC->FillSolidRect(stripRect, look.strip);
    pDC->Draw3dRect(stripRect, look.strip, look.strip);
}

void DrawFlatBackground(DeviceContext* pDC, const RECT& r, bool bSelected, const FlatLook& look) {
    const std::unique_ptr<Pen> pPen = CreatePen(PS_SOLID, 0, look.window);
    const std::unique_ptr<Brush> pSelection = CreateSolidBrush(look.selection);
    const Pen* pOldPen = pDC->SelectObject(pPen.get());
    if (!bSelected) {
        const RECT stripRect{r.left, r.top, r.left + look.W, r.bottom};
        pDC->FillSolidRect(r, look.window);
        pDC->FillSolidRect(stripRect, look.strip);
        pDC->SelectObject(pOldPen);
        pDC->Draw3dRect(r, look.window, look.window);
        pDC->Draw3dRect(stripRect, look.strip, look.strip);
    } else {
        pDC->FillRect(r, pSelection.get());
        pDC->Draw3dRect(r, look.hl, look.hl);
        pDC->SelectObject(pOldPen);
    }
}

// The flat look's image in the strip: embossed when grayed, raised with its shadow when
// selected, framed when checked.
void DrawFlatImage(const LumoMenu& menu, DeviceContext* pDC, const RECT& r, const ItemState& item,
                   const FlatLook& look) {
    const POINT at{r.left + Half(look.W - look.iw + 1),
                   r.top + Half(r.bottom - r.top - look.ih + 1)};
    const int nImage = item.record.sharedImageIndex;
    const bool bTriplet = LumoMenu::iconShadows && LumoMenu::HasImageTriplet(nImage);
    const RECT box{r.left + 1, r.top + 1, r.left + look.W - 1, r.bottom - 1};
    const ImageList* pImages = LumoMenu::settings.sharedImages.get();
    const auto draw = [&](int nIndex, int x, int y) {
        ImageList_Draw(pImages, nIndex, pDC, x, y, ILD_TRANSPARENT);
    };
    if (item.bGrayed) {
        std::unique_ptr<Bitmap> pImage;
        menu.RenderImageToBitmap(pDC, pImages, nImage, pImage);
        LumoMenu::DrawDisabledImage(pDC, at.x, at.y, look.iw, look.ih, pImage.get(), 0, 0,
                                    item.bSelected ? look.selection : look.strip);
        if (item.bSelected) {
            pDC->Draw3dRect(r, look.hl, look.hl);
        }
    } else if (item.bSelected) {
        pDC->FillSolidRect(box, look.selection);
        if (item.bChecked) {
            pDC->Draw3dRect(box, look.hl, look.hl);
            draw(nImage, at.x - 1, at.y - 1);
        } else if (bTriplet) {
            draw(nImage + 2, at.x + 1, at.y + 1);
            draw(nImage, at.x - 1, at.y - 1);
        } else {
            draw(nImage, at.x, at.y);
        }
    } else if (item.bChecked) {
        pDC->FillSolidRect(box, LumoMenu::BlendTowardWhite(look.hl, 0.85));
        pDC->Draw3dRect(box, look.hl, look.hl);
        draw(nImage, at.x - 1, at.y - 1);
    } else {
        pDC->FillSolidRect(box, look.strip);
        pDC->Draw3dRect(box, look.strip, look.strip);
        draw(bTriplet ? nImage + 1 : nImage, at.x, at.y);
    }
}

}  // namespace

void LumoMenu::DrawClassicItem(DRAWITEMSTRUCT* pDraw) {
    // Not reached at run time (the viewer's menu draws flat, mode 1); kept for draw mode 0.
    const ItemState item =
        DecodeItem(*pDraw, classicHighlightsDisabled != 0, settings.sharedImages != nullptr);
    DeviceContext* pDC = pDraw->hDC;
    const int iw = imageWidth;
    const int ih = imageHeight;
    const COLORREF bg = GetSysColor(IsThemedXP() ? COLOR_3DFACE : COLOR_MENU);
    const std::unique_ptr<Brush> pBackground = CreateSolidBrush(bg);

    RECT r = pDraw->rcItem;
    if (item.bSeparator) {
        pDC->FillRect(r, pBackground.get());
        r.top += (r.bottom - r.top) >> 1;
        pDC->DrawEdge(r, EDGE_ETCHED, BF_TOP);
        return;
    }

    COLORREF textColour = GetSysColor(COLOR_MENUTEXT);
    const std::unique_ptr<Pen> pPen = CreatePen(PS_SOLID, 0, bg);
    const std::unique_ptr<Brush> pHighlight = CreateSolidBrush(GetSysColor(COLOR_HIGHLIGHT));
    const Pen* pOldPen = pDC->SelectObject(pPen.get());
    if (!item.bSelected) {
        pDC->FillRect(r, pBackground.get());
        pDC->SelectObject(pOldPen);
        pDC->Draw3dRect(r, bg, bg);
    } else {
        const RECT fill =
            item.bHasImage || item.bChecked ? RECT{r.left + iw + 5, r.top, r.right, r.bottom} : r;
        pDC->FillRect(fill, pHighlight.get());
        pDC->SelectObject(pOldPen);
        textColour = GetSysColor(COLOR_HIGHLIGHTTEXT);
    }

    if (item.bHasImage) {
        DrawClassicImage(*this, pDC, r, item, bg);
    } else if (item.bChecked) {
        const int dy = std::max(0, (r.bottom - r.top - ih - 4) / 2);
        const RECT box{r.left + 1, r.top + dy + 2, r.left + iw + 1, r.top + dy + ih + 2};
        DrawClassicCheckBox(pDC, box, item.bSelected, HasRadioMark(*pDraw));
    }

    // Grayed: on the selection in the face colour, elsewhere embossed in gray.
    DrawLabel(pDC, item.record, RECT{r.left + iw + 9, r.top - 1, r.right, r.bottom - 1}, iw,
              !item.bGrayed    ? textColour
              : item.bSelected ? bg
                               : GetSysColor(COLOR_GRAYTEXT),
              item.bGrayed && !item.bSelected);
}

void LumoMenu::DrawFlatItem(DRAWITEMSTRUCT* pDraw) {
    const ItemState item =
        DecodeItem(*pDraw, flatHighlightsDisabled != 0, settings.sharedImages != nullptr);
    const FlatLook look = FlatLookOf(*this);
    DeviceContext* pDC = pDraw->hDC;
    const RECT r = pDraw->rcItem;
    // Disabled items are drawn off-screen, never selected, and copied in one step.
    std::optional<MenuMemoryDC> memory;
    std::unique_ptr<Font> pMenuFont;
    const Font* pOldFont = nullptr;
    if (item.bGrayed && flatHighlightsDisabled == 0) {
        memory.emplace(pDC, r);
        pDC = memory->Get();
        pMenuFont = CreateMenuFont();
        if (pMenuFont != nullptr) {
            pOldFont = pDC->SelectObject(pMenuFont.get());
        }
    }
    if (item.bSeparator) {
        DrawFlatSeparator(pDC, r, look);
    } else {
        DrawFlatBackground(pDC, r, item.bSelected, look);
        if (item.bHasImage) {
            DrawFlatImage(*this, pDC, r, item, look);
        } else if (item.bChecked) {
            const int x = r.left + Half(look.W - 16 + 1);
            const int y = r.top + Half(r.bottom - r.top - 16 + 1);
            DrawFlatCheckBox(pDC, RECT{x, y, x + 16, y + 16}, HasRadioMark(*pDraw), look.hl);
        }
        COLORREF colour = GetSysColor(COLOR_MENUTEXT);
        if (item.bGrayed) {
            colour = IsThemedXP() || item.bSelected
                         ? GetSysColor(COLOR_GRAYTEXT)
                         : BlendTowardWhite(GetSysColor(COLOR_GRAYTEXT), 0.4);
        }
        DrawLabel(pDC, item.record, RECT{r.left + look.W + 8, r.top - 1, r.right, r.bottom - 1},
                  look.iw, colour, false);
    }
    if (memory) {
        if (pOldFont != nullptr) {
            pDC->SelectObject(pOldFont);
        }
        memory.reset();  // copies the item to the screen
    }
}

MenuMemoryDC::MenuMemoryDC(DeviceContext* pTarget, const RECT& rect)
    : m_pTarget(pTarget), m_rect(rect), m_bOffScreen(!pTarget->IsPrinting()) {
    if (!m_bOffScreen) {
        return;
    }
    m_pMemory = CreateCompatibleDC(pTarget);
    m_pBitmap = CreateCompatibleBitmap(pTarget, rect.Width(), rect.Height());
    m_pOldBitmap = m_pMemory->SelectObject(m_pBitmap.get());
    m_pMemory->SetWindowOrg(rect.left, rect.top);
}

MenuMemoryDC::~MenuMemoryDC() {
    if (!m_bOffScreen) {
        return;
    }
    m_pTarget->BitBlt(m_rect.left, m_rect.top, m_rect.Width(), m_rect.Height(), m_pMemory.get(),
                      m_rect.left, m_rect.top, SRCCOPY);
    m_pMemory->SelectObject(m_pOldBitmap);
}

}  // namespace vesk
