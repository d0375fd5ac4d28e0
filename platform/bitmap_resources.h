#pragma once

#include "gdi_objects.h"
#include "resources.h"

#include <QIcon>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

// Bitmaps and icons from resources. A bitmap resource holds a device-independent bitmap as the
// resource script stores it (a BITMAPINFOHEADER, its colour table, the pixel rows bottom up); an
// icon resource holds the icon's image file (ICO or PNG).
namespace vesk::platform {

#pragma pack(push, 1)
struct BITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};
#pragma pack(pop)
static_assert(sizeof(BITMAPINFOHEADER) == 40);

inline constexpr DWORD BI_RGB = 0;

// The header at the start of a bitmap resource's bytes; none when they are too short.
std::optional<BITMAPINFOHEADER> ReadBitmapHeader(std::string_view dib);
// The bitmap of an uncompressed DIB of 1, 4, 8, 24 or 32 bits per pixel; null when malformed.
std::unique_ptr<Bitmap> LoadDib(std::string_view dib);
// As LoadDib, with the four standard button colours of the colour table (black, dark grey,
// light grey, white) mapped to the system's button text, shadow, face and highlight colours.
std::unique_ptr<Bitmap> LoadSysColorDib(std::string_view dib);
std::unique_ptr<Bitmap> LoadBitmapResource(const ResourceName& name);

// Every image of an icon resource, in the order its file holds them; none when it is absent or
// unreadable.
std::vector<QImage> IconResourceImages(const ResourceName& name);
// All of them as one icon for the toolkit (window frames, labels); empty when there are none.
QIcon IconResourceQIcon(const ResourceName& name);
// The icon resource at a size (0 x 0: the image's own); null when absent or unreadable.
std::unique_ptr<Icon> LoadIconResource(const ResourceName& name, int cx, int cy);

}  // namespace vesk::platform
