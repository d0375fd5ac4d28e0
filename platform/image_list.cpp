#include "image_list.h"

namespace vesk::platform {

namespace {

constexpr QRgb kWhite = 0xFFFFFFFFu;
constexpr QRgb kBlack = 0xFF000000u;

// An image of the list's size: what lies outside the source is transparent.
ImageList::Image Fit(const ImageList& list, const QImage& colour, const QImage& mask) {
    ImageList::Image image{QImage(list.Width(), list.Height(), QImage::Format_RGB32),
                           QImage(list.Width(), list.Height(), QImage::Format_RGB32)};
    for (int y = 0; y < list.Height(); ++y) {
        for (int x = 0; x < list.Width(); ++x) {
            const bool bInside = colour.valid(x, y);
            const bool bTransparent = !bInside || (mask.pixel(x, y) & 0xFFFFFF) != 0;
            image.mask.setPixel(x, y, bTransparent ? kWhite : kBlack);
            image.colour.setPixel(x, y, bTransparent ? kBlack : (colour.pixel(x, y) | kBlack));
        }
    }
    return image;
}

}  // namespace

std::unique_ptr<ImageList> ImageList_Create(int cx, int cy, UINT /*nFlags*/, int, int) {
    if (cx <= 0 || cy <= 0) {
        return nullptr;
    }
    return std::make_unique<ImageList>(cx, cy);
}

int ImageList_GetImageCount(const ImageList* pList) {
    return pList == nullptr ? 0 : static_cast<int>(pList->images.size());
}

int ImageList_AddMasked(ImageList* pList, const Bitmap* pBitmap, COLORREF maskColour) {
    if (pList == nullptr || pBitmap == nullptr || pBitmap->Width() < pList->Width()) {
        return -1;
    }
    const int nFirst = static_cast<int>(pList->images.size());
    const QRgb key = ToQRgb(maskColour) & 0xFFFFFF;
    const QImage& source = pBitmap->Image();
    for (int nLeft = 0; nLeft + pList->Width() <= source.width(); nLeft += pList->Width()) {
        const QImage colour = source.copy(nLeft, 0, pList->Width(), source.height());
        QImage mask(colour.size(), QImage::Format_RGB32);
        for (int y = 0; y < colour.height(); ++y) {
            for (int x = 0; x < colour.width(); ++x) {
                mask.setPixel(x, y, (colour.pixel(x, y) & 0xFFFFFF) == key ? kWhite : kBlack);
            }
        }
        pList->images.push_back(Fit(*pList, colour, mask));
    }
    return nFirst;
}

int ImageList_ReplaceIcon(ImageList* pList, int nIndex, const Icon* pIcon) {
    if (pList == nullptr || pIcon == nullptr || nIndex < -1 ||
        nIndex >= static_cast<int>(pList->images.size())) {
        return -1;
    }
    const QImage colour = pIcon->Colour().scaled(pList->Width(), pList->Height());
    const QImage mask = pIcon->Mask().scaled(pList->Width(), pList->Height());
    ImageList::Image image = Fit(*pList, colour, mask);
    if (nIndex == -1) {
        pList->images.push_back(std::move(image));
        return static_cast<int>(pList->images.size()) - 1;
    }
    pList->images[static_cast<std::size_t>(nIndex)] = std::move(image);
    return nIndex;
}

std::unique_ptr<Icon> ImageList_GetIcon(const ImageList* pList, int nIndex, UINT) {
    if (pList == nullptr || nIndex < 0 || nIndex >= static_cast<int>(pList->images.size())) {
        return nullptr;
    }
    const ImageList::Image& image = pList->images[static_cast<std::size_t>(nIndex)];
    return std::make_unique<Icon>(image.colour, image.mask);
}

BOOL ImageList_Draw(const ImageList* pList, int nIndex, DeviceContext* pDC, int x, int y, UINT) {
    const std::unique_ptr<Icon> pIcon = ImageList_GetIcon(pList, nIndex, ILD_NORMAL);
    if (pIcon == nullptr || pDC == nullptr) {
        return FALSE;
    }
    return pDC->DrawIconEx(x, y, pIcon.get(), 0, 0, nullptr, DI_NORMAL);
}

}  // namespace vesk::platform
