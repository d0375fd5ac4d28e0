#pragma once

#include "device_context.h"
#include "gdi_objects.h"

#include <memory>
#include <vector>

// Image lists: images of one size, each with a mask, drawn transparently.
namespace vesk::platform {

inline constexpr UINT ILC_MASK = 0x0001;
inline constexpr UINT ILC_COLORDDB = 0x00FE;
inline constexpr UINT ILD_NORMAL = 0x0000;
inline constexpr UINT ILD_TRANSPARENT = 0x0001;

class ImageList final {
public:
    ImageList(int cx, int cy) : m_cx(cx), m_cy(cy) {}
    int Width() const { return m_cx; }
    int Height() const { return m_cy; }

    struct Image {
        QImage colour;  // black where the mask is white
        QImage mask;    // white where the image is transparent
    };
    std::vector<Image> images;

private:
    int m_cx;
    int m_cy;
};

std::unique_ptr<ImageList> ImageList_Create(int cx, int cy, UINT nFlags, int nInitial, int nGrow);
int ImageList_GetImageCount(const ImageList* pList);
// Cuts the bitmap into images of the list's width, left to right; pixels of the mask colour are
// transparent. The index of the first image added, or -1.
int ImageList_AddMasked(ImageList* pList, const Bitmap* pBitmap, COLORREF maskColour);
// Replaces image nIndex with the icon, or appends it for -1; the index, or -1.
int ImageList_ReplaceIcon(ImageList* pList, int nIndex, const Icon* pIcon);
// A new icon of the image; null when there is no such image.
std::unique_ptr<Icon> ImageList_GetIcon(const ImageList* pList, int nIndex, UINT nFlags);
// Draws the image with its mask: transparent pixels leave the target as it is.
BOOL ImageList_Draw(const ImageList* pList, int nIndex, DeviceContext* pDC, int x, int y,
                    UINT nStyle);

}  // namespace vesk::platform
