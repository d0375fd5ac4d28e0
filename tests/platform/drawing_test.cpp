#include "bitmap_resources.h"
#include "device_context.h"
#include "image_list.h"
#include "menu.h"
#include "pixel_rows.h"
#include "resource_builders.h"
#include "system.h"

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QPainter>

namespace vesk::platform {
namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
using test::Rows;

// A small colour surface and its context, read back as rows: '.' white (the 3-D highlight too),
// '?' any colour not in the legend (red r, blue b, black k, green g, the 3-D shadow s).
struct Surface {
    explicit Surface(int nWidth, int nHeight, COLORREF fill = kWhite)
        : image(nWidth, nHeight, QImage::Format_RGB32) {
        image.fill(ToQRgb(fill));
    }
    Rows Pixels() const {
        return test::ReadRows(image, {{kWhite, '.'},
                                      {kRed, 'r'},
                                      {kBlue, 'b'},
                                      {kBlack, 'k'},
                                      {kGreen, 'g'},
                                      {GetSysColor(COLOR_3DSHADOW), 's'},
                                      {GetSysColor(COLOR_3DHILIGHT), 'h'}});
    }
    QImage image;
    DeviceContext dc{&image};
};

// The window origin moves what is drawn; an ellipse stays inside its box, symmetric; edges take
// the system colours of their rings, the right edge drawn last.
TEST(DrawingTest, ShapesFollowThePixelRules) {
    const auto pRed = CreateSolidBrush(kRed);
    Surface t(4, 3);
    t.dc.SetWindowOrg(10, 20);
    t.dc.FillRect({11, 21, 13, 22}, pRed.get());
    EXPECT_EQ(t.Pixels(), (Rows{"....", ".rr.", "...."}));
    EXPECT_EQ(t.dc.GetPixel(11, 21), kRed);
    EXPECT_EQ(t.dc.GetPixel(0, 0), 0xFFFFFFFFu);  // outside the surface

    // The pen's outline around the brush's inside.
    Surface round(8, 8);
    const auto pBluePen = CreatePen(PS_SOLID, 0, kBlue);
    round.dc.SelectObject(pRed.get());
    round.dc.SelectObject(pBluePen.get());
    round.dc.Ellipse(1, 1, 7, 7);
    EXPECT_EQ(round.Pixels(), (Rows{"........", "..bbbb..", ".brrrrb.", ".brrrrb.", ".brrrrb.",
                                    ".brrrrb.", "..bbbb..", "........"}));

    Surface etched(6, 4, kGreen);
    ASSERT_TRUE(etched.dc.DrawEdge({0, 1, 6, 4}, EDGE_ETCHED, BF_TOP));
    EXPECT_EQ(etched.Pixels(), (Rows{"gggggg", "ssssss", "......", "gggggg"}));
    Surface sunken(5, 4, kGreen);
    ASSERT_TRUE(sunken.dc.DrawEdge({0, 0, 5, 4}, BDR_SUNKENOUTER, BF_RECT));
    EXPECT_EQ(sunken.Pixels(), (Rows{"ssss.", "sggg.", "sggg.", "....."}));
}

// Memory contexts start monochrome; blocks combine by their raster operation.
TEST(DrawingTest, BlocksCombineAndConvertBetweenColourAndMonochrome) {
    Surface screen(4, 1, RGB(0x3C, 0x3C, 0x3C));
    const auto pMemory = CreateCompatibleDC(&screen.dc);
    EXPECT_TRUE(pMemory->IsMonochrome());
    EXPECT_TRUE(CreateCompatibleBitmap(pMemory.get(), 4, 4)->IsMonochrome());
    auto pColour = CreateCompatibleBitmap(&screen.dc, 4, 1);
    EXPECT_FALSE(pColour->IsMonochrome());
    Bitmap* pStock = pMemory->SelectObject(pColour.get());
    ASSERT_NE(pStock, nullptr);
    EXPECT_FALSE(pMemory->IsMonochrome());
    EXPECT_FALSE(CreateCompatibleBitmap(pMemory.get(), 4, 4)->IsMonochrome());
    EXPECT_EQ(screen.dc.SelectObject(pColour.get()), nullptr) << "a window's context takes none";
    BITMAP info;
    ASSERT_TRUE(GetObject(pColour.get(), &info));
    EXPECT_EQ(info.bmBitsPixel, 24);

    const COLORREF source[] = {RGB(0xF0, 0x0F, 0x00), RGB(0x0F, 0xF0, 0xFF), kWhite, kBlack};
    for (int x = 0; x < 4; ++x) {
        pColour->Image().setPixel(x, 0, ToQRgb(source[x]));
    }
    screen.dc.BitBlt(0, 0, 4, 1, pMemory.get(), 0, 0, SRCAND);
    EXPECT_EQ(screen.dc.GetPixel(0, 0), RGB(0x30, 0x0C, 0x00));
    EXPECT_EQ(screen.dc.GetPixel(2, 0), RGB(0x3C, 0x3C, 0x3C));
    screen.dc.BitBlt(0, 0, 4, 1, pMemory.get(), 0, 0, SRCPAINT);
    EXPECT_EQ(screen.dc.GetPixel(0, 0), RGB(0xF0, 0x0F, 0x00) | RGB(0x30, 0x0C, 0x00));
    EXPECT_EQ(screen.dc.GetPixel(1, 0), RGB(0x0F, 0xF0, 0xFF) | RGB(0x0C, 0x30, 0x3C));
    screen.dc.BitBlt(1, 0, 2, 1, pMemory.get(), 2, 0, SRCCOPY);
    EXPECT_EQ(screen.dc.GetPixel(1, 0), kWhite);
    EXPECT_EQ(screen.dc.GetPixel(2, 0), kBlack);
    screen.dc.BitBlt(0, 0, 1, 1, pMemory.get(), 9, 0, SRCCOPY);  // outside the source: no copy
    EXPECT_NE(screen.dc.GetPixel(0, 0), kBlack);

    auto pMonoDC = CreateCompatibleDC(nullptr);
    auto pMono = CreateCompatibleBitmap(pMonoDC.get(), 3, 1);
    pMonoDC->SelectObject(pMono.get());
    pMonoDC->PatBlt(0, 0, 3, 1, WHITENESS);
    EXPECT_EQ(pMono->GetPixel(1, 0), kWhite);
    pMonoDC->PatBlt(0, 0, 1, 1, 0x00000042);  // BLACKNESS
    EXPECT_EQ(pMono->GetPixel(0, 0), kBlack);
}

// 4 x 4: a transparent border and a 2 x 2 heart of red and white. Drawn through its mask, over a
// background brush, or disabled: the embossed shape of what is not white.
TEST(DrawingTest, IconsDrawThroughTheirMaskOrEmbossed) {
    const auto pIcon = Icon::FromImage(test::ImageFromRows(
        {"    ", " rr ", " rw ", "    "}, {{'r', 0xFFFF0000u}, {'w', 0xFFFFFFFFu}}));
    Surface s(6, 6, kBlue);
    ASSERT_TRUE(s.dc.DrawIconEx(1, 1, pIcon.get(), 0, 0, nullptr, DI_NORMAL));
    EXPECT_EQ(s.Pixels(), (Rows{"bbbbbb", "bbbbbb", "bbrrbb", "bbr.bb", "bbbbbb", "bbbbbb"}));
    const auto pFace = CreateSolidBrush(kBlack);
    s.dc.DrawIconEx(0, 0, pIcon.get(), 0, 0, pFace.get(), DI_NORMAL);
    EXPECT_EQ(s.dc.GetPixel(0, 0), kBlack);
    EXPECT_EQ(s.dc.GetPixel(1, 1), kRed);

    Surface disabled(6, 6, kBlue);
    ASSERT_TRUE(disabled.dc.DrawState(1, 1, 0, 0, pIcon.get(), DST_ICON | DSS_DISABLED));
    EXPECT_EQ(disabled.Pixels(),
              (Rows{"bbbbbb", "bbbbbb", "bbssbb", "bbs..b", "bbb.bb", "bbbbbb"}));
}

TEST(DrawingTest, TextIsPlacedByItsFormat) {
    Surface s(120, 30);
    LOGFONT logFont;
    logFont.lfHeight = -12;
    const auto pFont = CreateFontIndirect(logFont);
    s.dc.SelectObject(pFont.get());
    const QFontMetrics metrics(pFont->GetQFont());

    RECT measure{5, 5, 5, 5};
    EXPECT_EQ(s.dc.DrawText(u"&Help", &measure, DT_SINGLELINE | DT_CALCRECT), metrics.height());
    EXPECT_EQ(measure.right, 5 + metrics.horizontalAdvance("Help"));
    EXPECT_EQ(s.Pixels()[10], std::string(120, '.'));  // measuring draws nothing

    s.dc.SetBkMode(TRANSPARENT);
    s.dc.SetTextColor(kBlack);
    RECT box{0, 0, 100, 30};
    s.dc.DrawText(u"Help", &box, DT_SINGLELINE | DT_VCENTER | DT_RIGHT);
    QRect drawn;
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 120; ++x) {
            drawn |= s.dc.GetPixel(x, y) != kWhite ? QRect(x, y, 1, 1) : QRect();
        }
    }
    ASSERT_FALSE(drawn.isEmpty()) << "no text drawn";
    EXPECT_LT(drawn.right(), 100);
    EXPECT_GE(drawn.left(), 100 - metrics.horizontalAdvance("Help") - 1);
    const int nBoxTop = (30 - metrics.height()) / 2;
    EXPECT_GE(drawn.top(), nBoxTop);
    EXPECT_LT(drawn.bottom(), nBoxTop + metrics.height());

    // Word breaks: a caption wider than its box takes more lines.
    RECT narrow{0, 0, metrics.horizontalAdvance("Help") + 2, 0};
    EXPECT_EQ(s.dc.DrawText(u"Help Help Help", &narrow, DT_WORDBREAK | DT_CENTER | DT_CALCRECT),
              3 * metrics.lineSpacing() - metrics.leading());
}

TEST(ImageListTest, CutsBitmapsIntoMaskedImages) {
    const auto pList = ImageList_Create(2, 2, ILC_COLORDDB | ILC_MASK, 1, 1);
    Bitmap strip(5, 2, false);  // two images and one column too few for a third
    strip.Image().fill(ToQRgb(RGB(192, 192, 192)));
    strip.Image().setPixel(0, 0, ToQRgb(kRed));
    strip.Image().setPixel(3, 1, ToQRgb(kBlue));
    EXPECT_EQ(ImageList_AddMasked(pList.get(), &strip, RGB(192, 192, 192)), 0);
    EXPECT_EQ(ImageList_GetImageCount(pList.get()), 2);
    Surface s(4, 2, kBlack);
    ASSERT_TRUE(ImageList_Draw(pList.get(), 1, &s.dc, 2, 0, ILD_TRANSPARENT));
    ASSERT_TRUE(ImageList_Draw(pList.get(), 0, &s.dc, 0, 0, ILD_TRANSPARENT));
    EXPECT_EQ(s.Pixels(), (Rows{"rkkk", "kkkb"}));
    EXPECT_FALSE(ImageList_Draw(pList.get(), 2, &s.dc, 0, 0, ILD_TRANSPARENT));

    // An icon out and back in, replacing and appending.
    const auto pIcon = ImageList_GetIcon(pList.get(), 1, ILD_NORMAL);
    ASSERT_NE(pIcon, nullptr);
    EXPECT_TRUE(pIcon->IsTransparentAt(0, 0));
    EXPECT_FALSE(pIcon->IsTransparentAt(1, 1));
    EXPECT_EQ(ImageList_ReplaceIcon(pList.get(), 0, pIcon.get()), 0);
    EXPECT_EQ(ImageList_ReplaceIcon(pList.get(), -1, pIcon.get()), 2);
    EXPECT_EQ(ImageList_ReplaceIcon(pList.get(), 7, pIcon.get()), -1);
    EXPECT_EQ(ImageList_GetIcon(pList.get(), 3, ILD_NORMAL), nullptr);
}

// Truncated DIBs read as nothing; icons from image files at the size asked for.
TEST(BitmapResourcesTest, ReadsDibsAndIconFiles) {
    QImage image(3, 2, QImage::Format_RGB32);
    image.fill(0xFFC0C0C0u);
    const std::string dib = test::MakeDib(image);
    ASSERT_NE(LoadDib(dib), nullptr);
    EXPECT_EQ(LoadDib(dib.substr(0, 50)), nullptr);
    EXPECT_EQ(LoadDib("short"), nullptr);

    QImage icon(32, 32, QImage::Format_ARGB32);
    icon.fill(Qt::transparent);
    RegisterResource(RT_GROUP_ICON, 800u, test::PngBytes(icon).toStdString());
    EXPECT_EQ(LoadIconResource(800u, 0, 0)->Width(), 32);
    EXPECT_EQ(LoadIconResource(800u, 16, 16)->Width(), 16);
    EXPECT_EQ(LoadIconResource(801u, 16, 16), nullptr);
}

TEST(MenuItemInfoTest, ReportsCheckMarkBitmaps) {
    const HMENU hMenu = CreatePopupMenu();
    AppendMenuW(hMenu, MF_STRING, 5, u"five");
    Bitmap checked(2, 2, true);
    MENUITEMINFO info;
    info.fMask = MIIM_CHECKMARKS;
    ASSERT_TRUE(GetMenuItemInfo(hMenu, 5, FALSE, &info));
    EXPECT_EQ(info.hbmpChecked, nullptr);
    ASSERT_TRUE(SetMenuItemBitmaps(hMenu, 0, MF_BYPOSITION, nullptr, &checked));
    ASSERT_TRUE(GetMenuItemInfo(hMenu, 5, FALSE, &info));
    EXPECT_EQ(info.hbmpChecked, &checked);
    info.cbSize = 48;
    EXPECT_FALSE(GetMenuItemInfo(hMenu, 5, FALSE, &info));
    DestroyMenu(hMenu);
}

}  // namespace
}  // namespace vesk::platform
