// The items' painting, pixel by pixel, with the fixed system colours.

#include "lumo_menu.h"
#include "menu_memory_dc.h"
#include "system.h"

#include <gtest/gtest.h>

#include <QImage>
#include <algorithm>

namespace vesk {
namespace {

using namespace platform;

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kHighlight = RGB(0, 120, 215);     // COLOR_HIGHLIGHT
constexpr COLORREF kMenu = RGB(240, 240, 240);        // COLOR_MENU, COLOR_BTNFACE
constexpr COLORREF kStrip = RGB(243, 243, 243);       // the face 25 % toward white
constexpr COLORREF kSelection = RGB(216, 234, 249);   // the highlight 85 % toward white
constexpr COLORREF kShadowEdge = RGB(160, 160, 160);  // COLOR_BTNSHADOW

// One item of a menu drawn into an image of its own, 200 x 22 unless told.
class DrawTest : public ::testing::Test {
protected:
    void SetUp() override { menu.CreatePopupMenu(); }
    void TearDown() override { LumoMenu::ResetSettings(); }
    // Draws item nPos in the state given; the image is white where nothing was drawn.
    void Draw(int nPos, UINT nState, bool bPalette = false) {
        image = QImage(200, 22, QImage::Format_RGB32);
        image.fill(0xFFFFFFFFu);
        DeviceContext dc(&image);
        dc.SetPaletteDeviceForTesting(bPalette);
        const std::unique_ptr<Font> pFont = CreateMenuFont();
        dc.SelectObject(pFont.get());
        DRAWITEMSTRUCT draw;
        draw.CtlType = ODT_MENU;
        draw.itemID = menu.GetMenuItemID(nPos);
        draw.itemState = nState;
        draw.hwndItem = menu.m_hMenu;
        draw.hDC = &dc;
        draw.rcItem = {0, 0, 200, 22};
        draw.itemData = GetMenuItemData(menu.m_hMenu, static_cast<UINT>(nPos), MF_BYPOSITION);
        menu.DrawItem(&draw);
    }
    COLORREF At(int x, int y) const { return FromQRgb(image.pixel(x, y)); }
    // Of the pixels between columns x0 and x1 (rows 1 to h - 2) that are not the background:
    // the first and last column, and the darkest and lightest red channel.
    struct Ink {
        int nFirst = -1, nLast = -1, nDark = 256, nLight = -1;
    };
    Ink InkOf(int x0, int x1, COLORREF background) const {
        Ink ink;
        for (int x = x0; x < x1; ++x) {
            for (int y = 1; y < image.height() - 1; ++y) {
                if (At(x, y) != background) {
                    ink.nFirst = ink.nFirst < 0 ? x : ink.nFirst;
                    ink.nLast = x;
                    ink.nDark = std::min(ink.nDark, static_cast<int>(GetRValue(At(x, y))));
                    ink.nLight = std::max(ink.nLight, static_cast<int>(GetRValue(At(x, y))));
                }
            }
        }
        return ink;
    }

    LumoMenu menu;
    QImage image;
};

TEST_F(DrawTest, FlatItemsHaveTheStripTextColumnAndSeparatorOfTheProgramsDefaults) {
    LumoMenu::settings.drawModeOther = 1;
    menu.AppendItem(u"打开\tCtrl+O", 0, 1);
    menu.AppendItem(u"", 0, 0);

    Draw(0, 0);
    EXPECT_EQ(At(5, 10), kStrip);
    EXPECT_EQ(At(22, 10), kStrip);
    EXPECT_EQ(At(23, 10), kWhite);
    // The label starts at left + 31; the accelerator ends iw (16) pixels before the right edge.
    const Ink label = InkOf(23, 200, kWhite);
    EXPECT_TRUE(label.nFirst >= 31 && label.nFirst <= 33) << label.nFirst;
    EXPECT_TRUE(label.nLast >= 181 && label.nLast < 184) << label.nLast;

    Draw(1, 0);
    EXPECT_EQ(At(29, 11), kWhite);
    EXPECT_EQ(At(30, 11), kShadowEdge) << "the line starts at left + 30, half way down";
    EXPECT_EQ(At(199, 11), kShadowEdge);
    EXPECT_EQ(At(30, 12), kWhite);
    EXPECT_EQ(At(10, 11), kStrip);
}

TEST_F(DrawTest, FlatSelectionDisabledLookAndCheckBoxes) {
    LumoMenu::settings.drawModeOther = 1;
    menu.AppendItem(u"帮助", 0, 1);
    menu.AppendItem(u"关于", MF_CHECKED, 2);
    menu.AppendItem(u"单选", MF_CHECKED, 3);
    Bitmap dot(8, 8, true);
    ASSERT_TRUE(SetMenuItemBitmaps(menu.m_hMenu, 3, MF_BYCOMMAND, nullptr, &dot));

    Draw(0, ODS_SELECTED);
    EXPECT_EQ(At(0, 0), kHighlight);
    EXPECT_EQ(At(199, 21), kHighlight);
    EXPECT_EQ(At(1, 1), kSelection);
    EXPECT_EQ(At(100, 2), kSelection);

    // Disabled: never the selection, grey text 40 % toward white when not themed.
    Draw(0, ODS_SELECTED | ODS_GRAYED);
    EXPECT_EQ(At(5, 5), kStrip);
    EXPECT_EQ(At(100, 2), kWhite);
    // Text is anti-aliased: its darkest pixels come within a few steps of COLOR_GRAYTEXT (109)
    // 40 % toward white.
    const Ink grey = InkOf(23, 200, kWhite);
    EXPECT_TRUE(grey.nDark >= 167 && grey.nDark <= 171) << grey.nDark;
    EXPECT_LT(grey.nLight, 255);

    // The 16 x 16 box at (left + 4, top + 3) in a 22-pixel item, a tick in it.
    Draw(1, ODS_CHECKED);
    EXPECT_EQ(At(4, 3), kHighlight);
    EXPECT_EQ(At(19, 18), kHighlight);
    EXPECT_EQ(At(3, 3), kStrip);
    EXPECT_EQ(At(20, 18), kStrip);
    EXPECT_EQ(At(5, 4), kSelection);
    EXPECT_EQ(At(9, 9), kBlack);
    EXPECT_EQ(At(9, 12), kSelection);
    EXPECT_EQ(At(15, 7), kBlack) << "the tick's last stroke";
    // An item with a checked-state bitmap gets the dot instead.
    Draw(2, ODS_CHECKED);
    EXPECT_EQ(At(12, 10), kBlack);
    EXPECT_EQ(At(15, 7), kSelection);
}

TEST_F(DrawTest, TheClassicLookEmbossesDisabledLabelsAndKeepsADisabledHighlight) {
    menu.AppendItem(u"帮助", 0, 1);
    Draw(0, 0);
    EXPECT_EQ(At(5, 10), kMenu);
    EXPECT_LE(InkOf(0, 200, kMenu).nDark, 3) << "black label";

    Draw(0, ODS_SELECTED);
    EXPECT_EQ(At(1, 1), kHighlight) << "no image, not checked: the whole item";
    EXPECT_GE(InkOf(0, 200, kHighlight).nLight, 250) << "highlight text";

    // Disabled and selected: the highlight stays, the label is in the background colour.
    Draw(0, ODS_SELECTED | ODS_GRAYED);
    EXPECT_EQ(At(1, 1), kHighlight);
    const int nLabel = InkOf(0, 200, kHighlight).nLight;
    EXPECT_TRUE(nLabel >= 225 && nLabel <= 240) << nLabel;

    // Disabled: white one pixel down-right, grey text on top.
    Draw(0, ODS_GRAYED);
    const Ink embossed = InkOf(0, 200, kMenu);
    EXPECT_TRUE(embossed.nDark >= 109 && embossed.nDark <= 115) << embossed.nDark;
    EXPECT_GE(embossed.nLight, 250);

    // A palette device is classic whatever the draw mode says.
    LumoMenu::settings.drawModeOther = 1;
    Draw(0, 0, true);
    EXPECT_EQ(At(5, 10), kMenu);
    Draw(0, 0, false);
    EXPECT_EQ(At(5, 10), kStrip);
}

TEST(MenuColourTest, BlendsTowardWhiteByTheFactor) {
    const struct {
        COLORREF colour;
        double dFactor;
        COLORREF expected;
    } cases[] = {
        {kBlack, 0.85, RGB(216, 216, 216)},
        {RGB(10, 20, 30), 0.0, RGB(10, 20, 30)},
        {RGB(10, 20, 30), 1.5, RGB(10, 20, 30)},
        {RGB(10, 20, 30), -0.5, RGB(10, 20, 30)},
        {kBlack, 1.0, kWhite},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LumoMenu::BlendTowardWhite(c.colour, c.dFactor), c.expected) << c.dFactor;
    }
}

// A 16 x 15 bitmap on the face colour with a 4 x 4 block of the colour at (4, 4).
std::unique_ptr<Bitmap> BlockOnFace(COLORREF block) {
    auto pBitmap = std::make_unique<Bitmap>(16, 15, false);
    pBitmap->Image().fill(ToQRgb(kMenu));
    for (int y = 4; y < 8; ++y) {
        for (int x = 4; x < 8; ++x) {
            pBitmap->Image().setPixel(x, y, ToQRgb(block));
        }
    }
    return pBitmap;
}

TEST(MenuBitmapEffectsTest, VariantsChangeOnlyWhatIsNotTheFace) {
    const auto pFaded = BlockOnFace(kBlack);
    pFaded->Image().setPixel(0, 0, ToQRgb(kWhite));
    LumoMenu::MakeFadedBitmap(*pFaded);
    EXPECT_EQ(pFaded->GetPixel(5, 5), RGB(76, 76, 76));
    EXPECT_EQ(pFaded->GetPixel(0, 0), kWhite);
    EXPECT_EQ(pFaded->GetPixel(10, 10), kMenu);

    const auto pShadow = BlockOnFace(RGB(10, 200, 30));
    LumoMenu::MakeShadowBitmap(*pShadow);
    EXPECT_EQ(pShadow->GetPixel(5, 5), RGB(206, 206, 206)) << "160 blended 49 % toward white";
    EXPECT_EQ(pShadow->GetPixel(10, 10), kMenu);
}

TEST(MenuBitmapEffectsTest, TheDisabledImageIsTheSilhouetteInShadowOverItsHighlight) {
    constexpr COLORREF kBackground = RGB(200, 0, 0);
    QImage screen(40, 40, QImage::Format_RGB32);
    screen.fill(0xFF000000u);
    DeviceContext dc(&screen);
    const auto at = [&](int x, int y) { return FromQRgb(screen.pixel(x, y)); };

    const auto pSource = BlockOnFace(kBlack);
    LumoMenu::DrawDisabledImage(&dc, 10, 10, 16, 15, pSource.get(), 0, 0, kBackground);
    EXPECT_EQ(at(10, 10), kBackground);
    EXPECT_EQ(at(14, 14), kShadowEdge);
    EXPECT_EQ(at(17, 17), kShadowEdge);
    EXPECT_EQ(at(18, 18), kWhite) << "the highlight, one pixel down-right";
    EXPECT_EQ(at(18, 14), kBackground);
    EXPECT_EQ(at(19, 19), kBackground);
    // Step 6's copy reaches one column and one row further than the last.
    EXPECT_EQ(at(26, 12), kBackground);
    EXPECT_EQ(at(12, 25), kBackground);
    EXPECT_EQ(at(27, 12), kBlack);

    // Nothing but face and highlight: the plain background.
    screen.fill(0xFF000000u);
    const auto pPlain = BlockOnFace(kWhite);
    LumoMenu::DrawDisabledImage(&dc, 10, 10, 16, 15, pPlain.get(), 0, 0, kBackground);
    for (const auto& [x, y] : {std::pair{10, 10}, {15, 15}, {18, 18}, {25, 24}}) {
        EXPECT_EQ(at(x, y), kBackground) << x << "," << y;
    }
}

TEST(MenuMemoryDCTest, CopiesItsRectangleWhenItGoesAndDrawsStraightOnAPrinter) {
    QImage screen(20, 20, QImage::Format_RGB32);
    screen.fill(0xFFFFFFFFu);
    DeviceContext dc(&screen);
    {
        MenuMemoryDC memory(&dc, {5, 5, 15, 10});
        ASSERT_TRUE(memory.IsOffScreen());
        memory.Get()->FillSolidRect(RECT{0, 0, 20, 20}, kBlack);
        EXPECT_EQ(FromQRgb(screen.pixel(7, 7)), kWhite) << "not before it goes";
    }
    EXPECT_EQ(FromQRgb(screen.pixel(5, 5)), kBlack);
    EXPECT_EQ(FromQRgb(screen.pixel(14, 9)), kBlack);
    EXPECT_EQ(FromQRgb(screen.pixel(15, 9)), kWhite);
    EXPECT_EQ(FromQRgb(screen.pixel(4, 5)), kWhite);

    dc.SetPrintingForTesting(true);
    MenuMemoryDC printing(&dc, {0, 0, 4, 4});
    EXPECT_FALSE(printing.IsOffScreen());
    EXPECT_EQ(printing.Get(), &dc);
}

}  // namespace
}  // namespace vesk
