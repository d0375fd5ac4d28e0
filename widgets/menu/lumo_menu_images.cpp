// Item images from toolbar and bitmap resources, stored in the shared image list.

#include "lumo_menu.h"
#include "system.h"
#include "toolbar.h"

#include <algorithm>

namespace vesk {

using namespace platform;

namespace {

constexpr UINT kImageListFlags = ILC_COLORDDB | ILC_MASK;

// A toolbar for one load, that also keeps the image size its resource gives.
class ToolbarLoader final : public CToolBar {
public:
    BOOL LoadToolbarResource(UINT nId) {
        if (!LoadToolBar(nId)) {
            return FALSE;
        }
        imageWidth = ImageSize().cx;
        imageHeight = ImageSize().cy;
        return TRUE;
    }
    int imageWidth = 0;
    int imageHeight = 0;
};

// The faded and shadow images at nAt and nAt + 1 of the list become the two bitmaps given.
void ReplaceVariants(ImageList* pList, int nAt, SIZE size, const Bitmap& faded,
                     const Bitmap& shadow, COLORREF face) {
    const std::unique_ptr<ImageList> pVariants =
        ImageList_Create(size.cx, size.cy, kImageListFlags, 1, 1);
    ImageList_AddMasked(pVariants.get(), &faded, face);
    ImageList_AddMasked(pVariants.get(), &shadow, face);
    const std::unique_ptr<Icon> pFadedIcon = ImageList_GetIcon(pVariants.get(), 0, ILD_NORMAL);
    const std::unique_ptr<Icon> pShadowIcon = ImageList_GetIcon(pVariants.get(), 1, ILD_NORMAL);
    ImageList_ReplaceIcon(pList, nAt, pFadedIcon.get());
    ImageList_ReplaceIcon(pList, nAt + 1, pShadowIcon.get());
}

}  // namespace

BOOL LumoMenu::LoadToolbarImages(UINT nToolbar) {
    // Not reached at run time (the viewer attaches its menu with toolbar 0); kept for callers
    // that give item images from a toolbar.
    ToolbarLoader toolbar;
    if (!toolbar.LoadToolbarResource(nToolbar)) {
        return FALSE;
    }
    imageWidth = std::max(imageWidth, toolbar.imageWidth);
    imageHeight = std::max(imageHeight, toolbar.imageHeight);
    const std::unique_ptr<ImageList> pList =
        ImageList_Create(imageWidth, imageHeight, kImageListFlags, 1, 1);
    if (!AddBitmapToImageList(pList.get(), nToolbar)) {
        return FALSE;
    }
    for (int i = 0; i < toolbar.GetCount(); ++i) {
        const UINT nCommand = toolbar.GetItemID(i);
        if (nCommand == 0 || GetMenuState(nCommand, MF_BYCOMMAND) == kNotFound) {
            continue;
        }
        // The button's own image number: the bitmap holds no images for separators, so the
        // entry's index would name the image of a later button.
        UINT nId = 0;
        UINT nStyle = 0;
        int nImage = -1;
        toolbar.GetButtonInfo(i, nId, nStyle, nImage);
        if (nImage >= 0) {
            ModifyItem(nCommand, static_cast<const char16_t*>(nullptr), pList.get(), nImage);
        }
    }
    return TRUE;
}

BOOL LumoMenu::AddBitmapToImageList(ImageList* pList, UINT nResource) const {
    const COLORREF mask = imageBackgroundSet ? imageBackground : GetSysColor(COLOR_BTNFACE);
    std::unique_ptr<Bitmap> pBitmap = LoadMappedBitmap(nResource);
    if (pBitmap == nullptr) {
        pBitmap = LoadBitmapResource(nResource);
    }
    if (pBitmap == nullptr || ImageList_AddMasked(pList, pBitmap.get(), mask) < 0) {
        return FALSE;
    }
    if (IsFlatStyle() && iconShadows) {
        const std::unique_ptr<DeviceContext> pDC = GetDC();
        const COLORREF face = GetSysColor(COLOR_BTNFACE);
        std::unique_ptr<Bitmap> pVariant;
        RenderImageToBitmap(pDC.get(), pList, 0, pVariant);
        MakeFadedBitmap(*pVariant);
        ImageList_AddMasked(pList, pVariant.get(), face);
        RenderImageToBitmap(pDC.get(), pList, 0, pVariant);
        MakeShadowBitmap(*pVariant);
        ImageList_AddMasked(pList, pVariant.get(), face);
    }
    return TRUE;
}

int LumoMenu::AddImageToSharedList(const ImageList* pList, int nIndex, UINT nCommand) const {
    if (settings.sharedImages == nullptr) {
        settings.sharedImages = ImageList_Create(imageWidth, imageHeight, kImageListFlags, 1, 1);
        if (settings.sharedImages == nullptr) {
            return -1;
        }
    }
    const std::unique_ptr<Icon> pIcon = ImageList_GetIcon(pList, nIndex, ILD_NORMAL);
    if (pIcon == nullptr) {
        return -1;
    }
    std::unique_ptr<Bitmap> pFaded;
    std::unique_ptr<Bitmap> pShadow;
    if (IsFlatStyle() && iconShadows) {
        const std::unique_ptr<DeviceContext> pDC = GetDC();
        RenderImageToBitmap(pDC.get(), pList, nIndex, pFaded);
        MakeFadedBitmap(*pFaded);
        RenderImageToBitmap(pDC.get(), pList, nIndex, pShadow);
        MakeShadowBitmap(*pShadow);
    }
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    ImageList* pShared = settings.sharedImages.get();
    const auto it = std::find(settings.sharedImageCommands.begin(),
                              settings.sharedImageCommands.end(), nCommand);
    if (it != settings.sharedImageCommands.end()) {
        const auto j =
            static_cast<std::size_t>(std::distance(settings.sharedImageCommands.begin(), it));
        ImageList_ReplaceIcon(pShared, static_cast<int>(j), pIcon.get());
        if (pFaded && j + 2 < settings.sharedImageCommands.size() &&
            settings.sharedImageCommands[j + 1] == nCommand &&
            settings.sharedImageCommands[j + 2] == nCommand) {
            ReplaceVariants(pShared, static_cast<int>(j) + 1, SIZE{imageWidth, imageHeight},
                            *pFaded, *pShadow, face);
        }
        return static_cast<int>(j);
    }
    // The command is listed once for each image the list gains, so that the two stay in step
    // whatever an addition does (a variant bitmap of a size other than the list's, for one).
    const int nPlace = static_cast<int>(settings.sharedImageCommands.size());
    const auto listGains = [pShared, nCommand] {
        while (static_cast<std::size_t>(ImageList_GetImageCount(pShared)) >
               settings.sharedImageCommands.size()) {
            settings.sharedImageCommands.push_back(nCommand);
        }
    };
    if (ImageList_ReplaceIcon(pShared, -1, pIcon.get()) < 0) {
        return -1;
    }
    listGains();
    if (pFaded) {
        ImageList_AddMasked(pShared, pFaded.get(), face);
        listGains();
        ImageList_AddMasked(pShared, pShadow.get(), face);
        listGains();
    }
    return nPlace;
}

BOOL LumoMenu::ToolbarImageIndexOf(UINT nCommand, UINT nToolbar, int& nImage) {
    CToolBar toolbar;
    if (!toolbar.LoadToolBar(nToolbar)) {
        return FALSE;
    }
    const int nIndex = toolbar.CommandToIndex(nCommand);
    if (nIndex < 0) {
        return FALSE;
    }
    UINT nId = 0;
    UINT nStyle = 0;
    int iImage = 0;
    toolbar.GetButtonInfo(nIndex, nId, nStyle, iImage);
    if (iImage > 0) {
        nImage = iImage;
    }
    return TRUE;
}

std::unique_ptr<Bitmap> LumoMenu::LoadMappedBitmap(UINT nResource) {
    const std::optional<std::string_view> dib = FindResource(nResource, RT_BITMAP);
    if (!dib) {
        return nullptr;
    }
    const std::optional<BITMAPINFOHEADER> header = ReadBitmapHeader(*dib);
    if (!header || static_cast<WORD>(ColorTableSize(&*header)) != 16) {
        return nullptr;
    }
    return LoadSysColorDib(*dib);
}

int LumoMenu::ColorTableSize(const BITMAPINFOHEADER* pHeader) {
    if (pHeader->biClrUsed != 0) {
        return static_cast<int>(pHeader->biClrUsed);
    }
    switch (pHeader->biBitCount) {
        case 1:
            return 2;
        case 4:
            return 16;
        case 8:
            return 256;
        default:
            return 0;
    }
}

}  // namespace vesk
