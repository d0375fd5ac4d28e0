#include "device_context.h"
#include "gdi_objects.h"
#include "pixel_rows.h"

#include <gtest/gtest.h>

namespace vesk::platform {
namespace {

// 4 x 2: opaque red, half-transparent blue, transparent, opaque white; then opaque black,
// and three transparent.
QImage SmallPicture() {
    return test::ImageFromRows(
        {"rb w", "k   "},
        {{'r', 0xFFFF0000u}, {'b', 0x800000FFu}, {'w', 0xFFFFFFFFu}, {'k', 0xFF000000u}});
}

TEST(IconTest, BitmapsAreBlackOfOnePlaneAndKnownDepths) {
    for (const UINT nBits : {1u, 24u, 32u}) {
        const auto pBitmap = CreateBitmap(3, 2, 1, nBits);
        ASSERT_NE(pBitmap, nullptr) << nBits;
        BITMAP info;
        ASSERT_TRUE(GetObject(pBitmap.get(), &info));
        EXPECT_EQ(std::tuple(info.bmWidth, info.bmHeight, info.bmPlanes, info.bmBitsPixel),
                  std::tuple(3, 2, 1, nBits));
        EXPECT_EQ(pBitmap->GetPixel(2, 1), RGB(0, 0, 0));
        EXPECT_EQ(pBitmap->Alpha().size(), nBits == 32 ? 6u : 0u);
    }
    EXPECT_EQ(CreateBitmap(3, 2, 2, 24), nullptr);
    EXPECT_EQ(CreateBitmap(3, 2, 1, 7), nullptr);
    EXPECT_EQ(CreateBitmap(0, 2, 1, 24), nullptr);
}

// The icon's information: the hot spot, its alpha in the colour bitmap, a mask white only where
// fully transparent; a context draws into the colour bitmap and leaves the alpha alone; made
// again from its parts it keeps its alpha, or without one goes through its mask.
TEST(IconTest, IconInfoRoundTripsThroughBitmapsAContextCanReadAndWrite) {
    const int nIcons = Icon::LiveCount();
    const int nBitmaps = Bitmap::LiveCount();
    {
        const auto pIcon = Icon::FromImage(SmallPicture());
        ASSERT_NE(pIcon, nullptr);
        ICONINFO info;
        ASSERT_TRUE(GetIconInfo(pIcon.get(), &info));
        EXPECT_TRUE(info.fIcon);
        EXPECT_EQ(std::pair(info.xHotspot, info.yHotspot), std::pair(2u, 1u));
        ASSERT_TRUE(info.hbmColor != nullptr && info.hbmMask != nullptr);
        EXPECT_EQ(info.hbmColor->BitsPixel(), 32);
        EXPECT_TRUE(info.hbmMask->IsMonochrome());
        EXPECT_EQ(info.hbmColor->Alpha()[1], 0x80);
        EXPECT_EQ(info.hbmMask->GetPixel(1, 0), RGB(0, 0, 0));
        EXPECT_EQ(info.hbmMask->GetPixel(2, 0), RGB(255, 255, 255));

        const auto pDC = CreateCompatibleDC(nullptr);
        ASSERT_NE(pDC->SelectObject(info.hbmColor.get()), nullptr);
        EXPECT_EQ(pDC->GetPixel(0, 0), RGB(255, 0, 0));
        EXPECT_EQ(pDC->GetPixel(1, 0), RGB(0, 0, 255));
        EXPECT_EQ(pDC->GetPixel(2, 0), RGB(0, 0, 0));
        pDC->SetPixel(1, 0, RGB(1, 2, 3));
        pDC->FillSolidRect(0, 1, 4, 1, RGB(9, 9, 9));
        EXPECT_EQ(pDC->GetPixel(1, 0), RGB(1, 2, 3));
        EXPECT_EQ(info.hbmColor->Alpha()[1], 0x80);
        EXPECT_EQ(info.hbmColor->Alpha()[4], 0xFF);

        const auto pAgain = CreateIconIndirect(&info);
        ASSERT_NE(pAgain, nullptr);
        info.hbmColor.reset();  // the icon took its own copies
        EXPECT_TRUE(pAgain->HasAlpha());
        EXPECT_EQ(qAlpha(pAgain->Colour().pixel(1, 0)), 0x80);
        EXPECT_EQ(pAgain->HotSpot(), (POINT{2, 1}));

        ICONINFO plain;
        plain.hbmColor = CreateBitmap(4, 2, 1, 32);  // alpha bytes all zero
        plain.hbmMask = std::move(info.hbmMask);
        const auto pPlain = CreateIconIndirect(&plain);
        ASSERT_NE(pPlain, nullptr);
        EXPECT_FALSE(pPlain->HasAlpha());
        EXPECT_TRUE(pPlain->IsTransparentAt(2, 0));
        EXPECT_FALSE(pPlain->IsTransparentAt(1, 0));

        // A mask smaller than the image, or none, makes no icon; no image has no information.
        plain.hbmMask = CreateBitmap(2, 2, 1, 1);
        EXPECT_EQ(CreateIconIndirect(&plain), nullptr);
        plain.hbmMask.reset();
        EXPECT_EQ(CreateIconIndirect(&plain), nullptr);
        const Icon empty{QImage(), QImage()};
        EXPECT_FALSE(GetIconInfo(&empty, &info) || GetIconInfo(nullptr, &info));
    }
    EXPECT_EQ(Icon::LiveCount(), nIcons);
    EXPECT_EQ(Bitmap::LiveCount(), nBitmaps);
}

// With alpha an icon blends, also stretched; without, the mask is AND-ed and the colour XOR-ed,
// so a pixel white in both inverts.
TEST(IconTest, IconsWithAlphaBlendAndOthersGoThroughTheirMask) {
    QImage target(4, 2, QImage::Format_RGB32);
    target.fill(0xFF00FF00u);  // green
    DeviceContext dc(&target);
    const auto pIcon = Icon::FromImage(SmallPicture());
    ASSERT_TRUE(dc.DrawState(0, 0, 0, 0, pIcon.get(), DST_ICON | DSS_NORMAL));
    EXPECT_EQ(dc.GetPixel(0, 0), RGB(255, 0, 0));
    EXPECT_EQ(dc.GetPixel(1, 0), RGB(0, 127, 128));  // half blue over green
    EXPECT_EQ(dc.GetPixel(2, 0), RGB(0, 255, 0));
    EXPECT_EQ(dc.GetPixel(0, 1), RGB(0, 0, 0));

    QImage large(8, 4, QImage::Format_RGB32);
    large.fill(0xFF00FF00u);
    DeviceContext largeDC(&large);
    ASSERT_TRUE(largeDC.DrawIconEx(0, 0, pIcon.get(), 8, 4, nullptr, DI_NORMAL));
    EXPECT_EQ(largeDC.GetPixel(1, 1), RGB(255, 0, 0));
    EXPECT_EQ(largeDC.GetPixel(5, 1), RGB(0, 255, 0));

    QImage colour(2, 1, QImage::Format_RGB32);
    colour.setPixel(0, 0, 0xFFFF0000u);
    colour.setPixel(1, 0, 0xFFFFFFFFu);
    QImage mask(2, 1, QImage::Format_RGB32);
    mask.setPixel(0, 0, 0xFF000000u);
    mask.setPixel(1, 0, 0xFFFFFFFFu);
    const Icon masked(colour, mask);
    EXPECT_FALSE(masked.HasAlpha());
    ASSERT_TRUE(dc.DrawState(2, 1, 0, 0, &masked, DST_ICON | DSS_NORMAL));
    EXPECT_EQ(dc.GetPixel(2, 1), RGB(255, 0, 0));
    EXPECT_EQ(dc.GetPixel(3, 1), RGB(255, 0, 255));
}

}  // namespace
}  // namespace vesk::platform
