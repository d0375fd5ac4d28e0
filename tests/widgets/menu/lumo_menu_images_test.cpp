// Item images from toolbars made here and the bitmaps in data/ (see make_bitmaps.py).

#include "bitmap_resources.h"
#include "lumo_menu.h"
#include "resource_builders.h"
#include "system.h"

#include <gtest/gtest.h>

#include <QFile>

namespace vesk {
namespace {

using namespace platform;

constexpr UINT kToolbar16 = 900;     // 16 x 15: separator, 501, 502, separator, 503, 777
constexpr UINT kToolbar20 = 901;     // 20 x 20: 601, 602 (a true-colour bitmap)
constexpr UINT kToolbarSmall = 902;  // 16 x 16: 501, on the 16 x 15 bitmap
constexpr UINT kNoBitmap = 903;      // a toolbar without its bitmap
constexpr UINT kTruncated = 904;     // a toolbar whose count runs past its bytes
constexpr UINT kTooWide = 905;       // 64 x 24 images on the 48-pixel bitmap

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);

std::string BitmapFileDib(const char* pszPath) {
    QFile file(pszPath);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << pszPath;
    // The resource holds the file without its 14-byte file header.
    return file.readAll().mid(14).toStdString();
}

// A menu bar whose pop-up holds 501, 502, an inner pop-up (502 again, 503) and 999.
class MenuImagesTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string toolbar16 = BitmapFileDib(":/test/toolbar16.bmp");
        const std::tuple<UINT, std::string, std::string> toolbars[] = {
            {kToolbar16, test::BuildToolbarResource(16, 15, {0, 501, 502, 0, 503, 777}), toolbar16},
            {kToolbar20, test::BuildToolbarResource(20, 20, {601, 602}),
             BitmapFileDib(":/test/toolbar20.bmp")},
            {kToolbarSmall, test::BuildToolbarResource(16, 16, {501}), toolbar16},
            {kTooWide, test::BuildToolbarResource(64, 24, {501}), toolbar16},
            {kNoBitmap, test::BuildToolbarResource(24, 24, {501}), ""},
            {kTruncated, test::BuildToolbarResource(16, 15, {501, 502}).substr(0, 10), ""},
        };
        for (const auto& [nId, toolbar, bitmap] : toolbars) {
            RegisterResource(RT_TOOLBAR, nId, toolbar);
            if (!bitmap.empty()) {
                RegisterResource(RT_BITMAP, nId, bitmap);
            }
        }
        // clang-format off
        RegisterResource(RT_MENU, std::string("IMAGES"), BuildMenuTemplate({{0, 0, u"Bar", {
            {0, 501, u"One", {}},
            {0, 502, u"Two", {}},
            {0, 0, u"Inner", {{0, 502, u"Two again", {}}, {0, 503, u"Three", {}}}},
            {0, 999, u"None", {}}}}}));
        // clang-format on
        ASSERT_TRUE(menu.LoadTemplate("IMAGES"));
        pPopup = dynamic_cast<LumoMenu*>(menu.SubMenuAt(0));
        ASSERT_NE(pPopup, nullptr);
        pInner = dynamic_cast<LumoMenu*>(pPopup->SubMenuAt(2));
        ASSERT_NE(pInner, nullptr);
    }
    void TearDown() override { LumoMenu::ResetSettings(); }
    static const ImageList::Image& Shared(int nImage) {
        return LumoMenu::settings.sharedImages->images[static_cast<std::size_t>(nImage)];
    }
    static COLORREF SharedPixel(int nImage, int x, int y) {
        return FromQRgb(Shared(nImage).colour.pixel(x, y));
    }
    static bool SharedTransparent(int nImage, int x, int y) {
        return (Shared(nImage).mask.pixel(x, y) & 0xFFFFFF) != 0;
    }
    static int ImageCount() {
        return ImageList_GetImageCount(LumoMenu::settings.sharedImages.get());
    }

    LumoMenu menu;
    LumoMenu* pPopup = nullptr;
    LumoMenu* pInner = nullptr;
};

TEST_F(MenuImagesTest, AToolbarGivesEachOfItsCommandsInTheMenuItsOwnImage) {
    ASSERT_TRUE(menu.LoadToolbarImages(kToolbar16));
    // Classic look: one image per command; 777 is not in the menu.
    EXPECT_EQ(LumoMenu::settings.sharedImageCommands, (std::vector<UINT>{501, 502, 503}));
    ASSERT_EQ(ImageCount(), 3);
    // 502 in both places; 999 has none.
    EXPECT_EQ((std::array{pPopup->items[0]->sharedImageIndex, pPopup->items[1]->sharedImageIndex,
                          pInner->items[0]->sharedImageIndex, pInner->items[1]->sharedImageIndex,
                          pPopup->items[3]->sharedImageIndex}),
              (std::array{0, 1, 1, 2, -1}));
    // Each command its own button's image, also behind the leading separator and the second one.
    EXPECT_EQ(SharedPixel(0, 8, 6), kRed);
    EXPECT_EQ(SharedPixel(1, 8, 6), kGreen);
    EXPECT_EQ(SharedPixel(2, 8, 6), kBlue);
    // The 16-colour bitmap's button colours follow the system's; its face is transparent.
    EXPECT_EQ(SharedPixel(0, 13, 2), GetSysColor(COLOR_BTNSHADOW));
    EXPECT_EQ(SharedPixel(0, 5, 12), GetSysColor(COLOR_BTNTEXT));
    EXPECT_TRUE(SharedTransparent(0, 0, 0));
    EXPECT_FALSE(SharedTransparent(0, 8, 6));

    // Loading again replaces the images in place.
    ASSERT_TRUE(menu.LoadToolbarImages(kToolbar16));
    EXPECT_EQ(ImageCount(), 3);
    EXPECT_EQ(LumoMenu::settings.sharedImageCommands.size(), 3u);
    EXPECT_EQ(pInner->items[1]->sharedImageIndex, 2);

    // An item added with the toolbar as its image resource takes its button's image.
    ASSERT_TRUE(pPopup->AppendItem(u"Three too", 0, 503, static_cast<int>(kToolbar16)));
    EXPECT_EQ(pPopup->items.back()->sharedImageIndex, 2);
    ASSERT_TRUE(pPopup->AppendItem(u"Nothing", 0, 504, static_cast<int>(kNoBitmap)));
    EXPECT_EQ(pPopup->items.back()->sharedImageIndex, -1);
}

TEST_F(MenuImagesTest, TheFlatLookStoresTripletsAndReplacesThemInPlace) {
    // 501 is stored while the classic look is in force: it stays a single image.
    ASSERT_TRUE(menu.LoadToolbarImages(kToolbarSmall));
    LumoMenu::settings.drawModeOther = 1;
    ASSERT_TRUE(menu.LoadToolbarImages(kToolbar16));
    EXPECT_EQ(LumoMenu::settings.sharedImageCommands,
              (std::vector<UINT>{501, 502, 502, 502, 503, 503, 503}));
    ASSERT_EQ(ImageCount(), 7);
    EXPECT_FALSE(LumoMenu::HasImageTriplet(0));
    EXPECT_TRUE(LumoMenu::HasImageTriplet(1));
    EXPECT_EQ(pInner->items[1]->sharedImageIndex, 4);
    // Normal, faded (30 % toward white), shadow (the shadow colour 49 % toward white).
    EXPECT_EQ(SharedPixel(1, 8, 6), kGreen);
    EXPECT_EQ(SharedPixel(2, 8, 6), RGB(76, 255, 76));
    EXPECT_EQ(SharedPixel(3, 8, 6), LumoMenu::BlendTowardWhite(GetSysColor(COLOR_BTNSHADOW), 0.49));
    EXPECT_TRUE(SharedTransparent(2, 0, 0));
    EXPECT_TRUE(SharedTransparent(3, 0, 0));

    // Storing 502 again with the blue image replaces all three in place.
    const auto pList = ImageList_Create(16, 15, ILC_COLORDDB | ILC_MASK, 1, 1);
    ASSERT_TRUE(menu.AddBitmapToImageList(pList.get(), kToolbar16));
    // Three images, then the faded and shadow looks of the first.
    ASSERT_EQ(ImageList_GetImageCount(pList.get()), 5);
    EXPECT_EQ(FromQRgb(pList->images[3].colour.pixel(8, 6)), RGB(255, 76, 76));
    EXPECT_EQ(menu.AddImageToSharedList(pList.get(), 2, 502), 1);
    EXPECT_EQ(ImageCount(), 7);
    EXPECT_EQ(SharedPixel(1, 8, 6), kBlue);
    EXPECT_EQ(SharedPixel(2, 8, 6), RGB(76, 76, 255));
    // A new command takes three places; an image that is not there, none.
    EXPECT_EQ(menu.AddImageToSharedList(pList.get(), 0, 700), 7);
    EXPECT_EQ(ImageCount(), 10);
    EXPECT_EQ(menu.AddImageToSharedList(pList.get(), 9, 701), -1);
    EXPECT_EQ(LumoMenu::settings.sharedImageCommands.size(), 10u);

    // The shared list keeps its first image size: smaller looks cannot go in, and the command is
    // listed only for the image that did, so that later commands still name their own images.
    LumoMenu::settings.sharedImages.reset();
    LumoMenu::settings.sharedImageCommands.clear();
    LumoMenu wide;
    wide.SetImageSize(20, 20);
    const auto pWide = ImageList_Create(20, 20, ILC_COLORDDB | ILC_MASK, 1, 1);
    ASSERT_TRUE(wide.AddBitmapToImageList(pWide.get(), kToolbar20));
    EXPECT_EQ(wide.AddImageToSharedList(pWide.get(), 0, 800), 0);
    menu.SetImageSize(16, 15);
    EXPECT_EQ(menu.AddImageToSharedList(pList.get(), 1, 801), 3);
    EXPECT_EQ(wide.AddImageToSharedList(pWide.get(), 1, 802), 4);
    EXPECT_EQ(ImageCount(), static_cast<int>(LumoMenu::settings.sharedImageCommands.size()));
    EXPECT_EQ(SharedPixel(4, 10, 10), RGB(0, 255, 255));
}

TEST_F(MenuImagesTest, ImageSizeGrowsWithToolbarsAndFailuresAreReported) {
    ASSERT_TRUE(menu.LoadToolbarImages(kToolbar20));
    ASSERT_TRUE(menu.LoadToolbarImages(kToolbarSmall));
    EXPECT_EQ(std::pair(menu.imageWidth, menu.imageHeight), std::pair(20, 20));
    // A toolbar whose images cannot be cut from its bitmap still raises the size; a missing,
    // truncated or bitmap-less one changes nothing.
    EXPECT_FALSE(menu.LoadToolbarImages(kTooWide));
    EXPECT_EQ(std::pair(menu.imageWidth, menu.imageHeight), std::pair(64, 24));
    EXPECT_FALSE(menu.LoadToolbarImages(kNoBitmap));
    EXPECT_FALSE(menu.LoadToolbarImages(kTruncated));
    EXPECT_FALSE(menu.LoadToolbarImages(12345));
    EXPECT_EQ(menu.imageWidth, 64);
    EXPECT_EQ(LumoMenu::settings.sharedImageCommands, std::vector<UINT>{501});

    // A true-colour bitmap is loaded as it is: no mapping, its grey not transparent.
    EXPECT_EQ(LumoMenu::LoadMappedBitmap(kToolbar20), nullptr);
    const auto pList = ImageList_Create(20, 20, ILC_COLORDDB | ILC_MASK, 1, 1);
    ASSERT_TRUE(menu.AddBitmapToImageList(pList.get(), kToolbar20));
    ASSERT_EQ(ImageList_GetImageCount(pList.get()), 2);
    EXPECT_EQ(FromQRgb(pList->images[0].colour.pixel(1, 1)), RGB(128, 128, 128));
    EXPECT_EQ(FromQRgb(pList->images[1].colour.pixel(10, 10)), RGB(0, 255, 255));
    EXPECT_EQ(pList->images[0].mask.pixel(0, 0) & 0xFFFFFF, 0u);
    EXPECT_FALSE(menu.AddBitmapToImageList(pList.get(), 12345));
    EXPECT_EQ(LumoMenu::LoadMappedBitmap(12345), nullptr);

    // A button's image number, counted without separators; left as it is for a command without.
    for (const auto& [nCommand, bFound, nExpected] :
         {std::tuple{501u, TRUE, -5}, {502u, TRUE, 1}, {777u, TRUE, 3}, {999u, FALSE, -5}}) {
        int nImage = -5;
        EXPECT_EQ(LumoMenu::ToolbarImageIndexOf(nCommand, kToolbar16, nImage), bFound);
        EXPECT_EQ(nImage, nExpected) << nCommand;
    }
    int nImage = -5;
    EXPECT_FALSE(LumoMenu::ToolbarImageIndexOf(501, kTruncated, nImage));
}

}  // namespace
}  // namespace vesk
