#include "bitmap_resources.h"
#include "device_context.h"
#include "image_list.h"
#include "menu.h"
#include "resource_builders.h"
#include "system.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QFontMetrics>
#include <QPainter>

namespace vesk::platform {
namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);

// A small colour surface, white, and its context.
struct Surface {
    explicit Surface(int nWidth = 12, int nHeight = 10)
        : image(nWidth, nHeight, QImage::Format_RGB32) {
        image.fill(0xFFFFFFFFu);
    }
    // The surface as rows of characters: '.' white, and one letter per colour given.
    std::vector<std::string> Rows(const std::vector<std::pair<COLORREF, char>>& legend) const {
        std::vector<std::string> rows;
        for (int y = 0; y < image.height(); ++y) {
            std::string row;
            for (int x = 0; x < image.width(); ++x) {
                const COLORREF c = FromQRgb(image.pixel(x, y));
                char ch = c == kWhite ? '.' : '?';
                for (const auto& [colour, letter] : legend) {
                    if (c == colour) {
                        ch = letter;
                    }
                }
                row += ch;
            }
            rows.push_back(row);
        }
        return rows;
    }
    QImage image;
    DeviceContext dc{&image};
};

using Rows = std::vector<std::string>;

TEST(DrawingTest, RectanglesLeaveOutTheirRightAndBottomEdges) {
    Surface s(8, 6);
    const auto pRed = CreateSolidBrush(kRed);
    s.dc.FillRect({1, 1, 4, 3}, pRed.get());
    s.dc.FrameRect({4, 2, 8, 6}, pRed.get());
    EXPECT_EQ(s.Rows({{kRed, 'r'}}),
              (Rows{"........", ".rrr....", ".rrrrrrr", "....r..r", "....r..r", "....rrrr"}));
    // The window origin moves what is drawn.
    Surface t(4, 3);
    t.dc.SetWindowOrg(10, 20);
    t.dc.FillRect({11, 21, 13, 22}, pRed.get());
    EXPECT_EQ(t.Rows({{kRed, 'r'}}), (Rows{"....", ".rr.", "...."}));
    EXPECT_EQ(t.dc.GetPixel(11, 21), kRed);
    EXPECT_EQ(t.dc.GetPixel(0, 0), 0xFFFFFFFFu);  // outside the surface
}

TEST(DrawingTest, EdgesTakeTheSystemColoursOfTheirRings) {
    const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
    const COLORREF light = GetSysColor(COLOR_BTNHIGHLIGHT);
    Surface s(6, 4);
    s.image.fill(0xFF00FF00u);  // highlight is white: start from green
    ASSERT_TRUE(s.dc.DrawEdge({0, 1, 6, 4}, EDGE_ETCHED, BF_TOP));
    EXPECT_EQ(s.Rows({{shadow, 's'}, {light, 'h'}, {RGB(0, 255, 0), 'g'}}),
              (Rows{"gggggg", "ssssss", "hhhhhh", "gggggg"}));

    Surface t(5, 4);
    t.image.fill(0xFF00FF00u);
    ASSERT_TRUE(t.dc.DrawEdge({0, 0, 5, 4}, BDR_SUNKENOUTER, BF_RECT));
    EXPECT_EQ(t.Rows({{shadow, 's'}, {light, 'h'}, {RGB(0, 255, 0), 'g'}}),
              (Rows{"ssssh", "sgggh", "sgggh", "hhhhh"}));  // right edge drawn last
}

TEST(DrawingTest, LinesLeaveOutTheirEndPoint) {
    Surface s(6, 5);
    const auto pPen = CreatePen(PS_SOLID, 0, kRed);
    const Pen* pOld = s.dc.SelectObject(pPen.get());
    s.dc.MoveTo(0, 4);
    s.dc.LineTo(0, 0);
    s.dc.LineTo(4, 0);
    // A stroke of the tick mark: three pixels down from y + t.
    s.dc.MoveTo(3, 1);
    s.dc.LineTo(3, 4);
    // The start point is painted, the end point is not.
    EXPECT_EQ(s.Rows({{kRed, 'r'}}), (Rows{"rrrr..", "r..r..", "r..r..", "r..r..", "r....."}));
    s.dc.SelectObject(pOld);
}

TEST(DrawingTest, AnEllipseStaysInsideItsBoxAndIsSymmetric) {
    Surface s(8, 8);
    const auto pBrush = CreateSolidBrush(kRed);
    const auto pPen = CreatePen(PS_SOLID, 0, kRed);
    s.dc.SelectObject(pBrush.get());
    s.dc.SelectObject(pPen.get());
    s.dc.Ellipse(1, 1, 7, 7);
    const Rows rows = s.Rows({{kRed, 'r'}});
    for (std::size_t y = 0; y < 8; ++y) {
        EXPECT_EQ(rows[y], std::string(rows[y].rbegin(), rows[y].rend())) << y;
        EXPECT_EQ(rows[y], rows[7 - y]) << y;
        EXPECT_TRUE(rows[y].front() == '.' && (y % 7 != 0 || rows[y] == "........")) << y;
    }
    EXPECT_EQ(rows[3], ".rrrrrr.");
}

TEST(DrawingTest, MemoryContextsStartMonochromeAndMakeBitmapsLikeTheirSurface) {
    Surface screen;
    const auto pMemory = CreateCompatibleDC(&screen.dc);
    EXPECT_TRUE(pMemory->IsMonochrome());
    EXPECT_TRUE(CreateCompatibleBitmap(pMemory.get(), 4, 4)->IsMonochrome());
    EXPECT_FALSE(CreateCompatibleBitmap(&screen.dc, 4, 4)->IsMonochrome());
    auto pColour = CreateCompatibleBitmap(&screen.dc, 4, 4);
    Bitmap* pStock = pMemory->SelectObject(pColour.get());
    ASSERT_NE(pStock, nullptr);
    EXPECT_FALSE(pMemory->IsMonochrome());
    EXPECT_FALSE(CreateCompatibleBitmap(pMemory.get(), 4, 4)->IsMonochrome());
    EXPECT_EQ(pMemory->SelectObject(pStock), pColour.get());
    // A window's context takes no bitmap.
    EXPECT_EQ(screen.dc.SelectObject(pColour.get()), nullptr);
    BITMAP info;
    ASSERT_TRUE(GetObject(pColour.get(), &info));
    EXPECT_EQ(info.bmBitsPixel, 24);
}

TEST(DrawingTest, BlocksCombineByTheirRasterOperation) {
    Surface target(4, 1);
    auto pSource = CreateCompatibleDC(&target.dc);
    Bitmap source(4, 1, false);
    source.Image().setPixel(0, 0, ToQRgb(RGB(0xF0, 0x0F, 0x00)));
    source.Image().setPixel(1, 0, ToQRgb(RGB(0x0F, 0xF0, 0xFF)));
    source.Image().setPixel(2, 0, ToQRgb(kWhite));
    source.Image().setPixel(3, 0, ToQRgb(kBlack));
    pSource->SelectObject(&source);
    target.image.fill(ToQRgb(RGB(0x3C, 0x3C, 0x3C)));
    target.dc.BitBlt(0, 0, 4, 1, pSource.get(), 0, 0, SRCAND);
    EXPECT_EQ(target.dc.GetPixel(0, 0), RGB(0x30, 0x0C, 0x00));
    EXPECT_EQ(target.dc.GetPixel(2, 0), RGB(0x3C, 0x3C, 0x3C));
    target.dc.BitBlt(0, 0, 4, 1, pSource.get(), 0, 0, SRCPAINT);
    EXPECT_EQ(target.dc.GetPixel(0, 0), RGB(0xF0, 0x0F, 0x00) | RGB(0x30, 0x0C, 0x00));
    EXPECT_EQ(target.dc.GetPixel(1, 0), RGB(0x0F, 0xF0, 0xFF) | RGB(0x0C, 0x30, 0x3C));
    target.dc.BitBlt(1, 0, 2, 1, pSource.get(), 2, 0, SRCCOPY);
    EXPECT_EQ(target.dc.GetPixel(1, 0), kWhite);
    EXPECT_EQ(target.dc.GetPixel(2, 0), kBlack);
    // Source pixels outside the source are not copied.
    target.dc.BitBlt(0, 0, 1, 1, pSource.get(), 9, 0, SRCCOPY);
    EXPECT_NE(target.dc.GetPixel(0, 0), kBlack);
}

TEST(DrawingTest, ColourAndMonochromeConvertByBackgroundAndTextColours) {
    Surface screen(3, 1);
    // Colour to monochrome: the source's background colour becomes white, the rest black.
    auto pColourDC = CreateCompatibleDC(&screen.dc);
    Bitmap colour(3, 1, false);
    colour.Image().setPixel(0, 0, ToQRgb(kRed));
    colour.Image().setPixel(1, 0, ToQRgb(kBlue));
    colour.Image().setPixel(2, 0, ToQRgb(kWhite));
    pColourDC->SelectObject(&colour);
    pColourDC->SetBkColor(kRed);
    auto pMonoDC = CreateCompatibleDC(nullptr);
    auto pMono = CreateCompatibleBitmap(pMonoDC.get(), 3, 1);
    ASSERT_TRUE(pMono->IsMonochrome());
    pMonoDC->SelectObject(pMono.get());
    pMonoDC->BitBlt(0, 0, 3, 1, pColourDC.get(), 0, 0, SRCCOPY);
    EXPECT_EQ(pMono->GetPixel(0, 0), kWhite);
    EXPECT_EQ(pMono->GetPixel(1, 0), kBlack);
    EXPECT_EQ(pMono->GetPixel(2, 0), kBlack);

    // Monochrome to colour: white takes the target's background colour, black its text colour.
    screen.dc.SetBkColor(kBlue);
    screen.dc.SetTextColor(kRed);
    screen.dc.BitBlt(0, 0, 3, 1, pMonoDC.get(), 0, 0, SRCCOPY);
    EXPECT_EQ(screen.dc.GetPixel(0, 0), kBlue);
    EXPECT_EQ(screen.dc.GetPixel(1, 0), kRed);

    // PatBlt whiteness on the monochrome bitmap.
    pMonoDC->PatBlt(0, 0, 3, 1, WHITENESS);
    EXPECT_EQ(pMono->GetPixel(1, 0), kWhite);
    pMonoDC->PatBlt(0, 0, 1, 1, 0x00000042);  // BLACKNESS
    EXPECT_EQ(pMono->GetPixel(0, 0), kBlack);
}

std::unique_ptr<Icon> TwoColourIcon() {
    // 4 x 4: a transparent border and a 2 x 2 heart of red and white.
    QImage image(4, 4, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    image.setPixel(1, 1, 0xFFFF0000u);
    image.setPixel(2, 1, 0xFFFF0000u);
    image.setPixel(1, 2, 0xFFFF0000u);
    image.setPixel(2, 2, 0xFFFFFFFFu);
    return Icon::FromImage(image);
}

TEST(DrawingTest, IconsDrawThroughTheirMask) {
    Surface s(6, 6);
    s.image.fill(ToQRgb(kBlue));
    const auto pIcon = TwoColourIcon();
    ASSERT_TRUE(s.dc.DrawIconEx(1, 1, pIcon.get(), 0, 0, nullptr, DI_NORMAL));
    EXPECT_EQ(s.Rows({{kBlue, 'b'}, {kRed, 'r'}}),
              (Rows{"bbbbbb", "bbbbbb", "bbrrbb", "bbr.bb", "bbbbbb", "bbbbbb"}));
    // With a background brush the icon's box is filled first.
    const auto pFace = CreateSolidBrush(kBlack);
    s.dc.DrawIconEx(0, 0, pIcon.get(), 0, 0, pFace.get(), DI_NORMAL);
    EXPECT_EQ(s.dc.GetPixel(0, 0), kBlack);
    EXPECT_EQ(s.dc.GetPixel(1, 1), kRed);
}

TEST(DrawingTest, TheDisabledStateEmbossesWhatIsNotWhite) {
    const COLORREF highlight = GetSysColor(COLOR_3DHILIGHT);
    const COLORREF shadow = GetSysColor(COLOR_3DSHADOW);
    Surface s(6, 6);
    s.image.fill(ToQRgb(kBlue));
    const auto pIcon = TwoColourIcon();
    ASSERT_TRUE(s.dc.DrawState(1, 1, 0, 0, pIcon.get(), DST_ICON | DSS_DISABLED));
    // The red pixels are the shape; the white one and the transparent ones are not.
    EXPECT_EQ(s.Rows({{kBlue, 'b'}, {shadow, 's'}, {highlight, 'h'}}),
              (Rows{"bbbbbb", "bbbbbb", "bbssbb", "bbshhb", "bbbhbb", "bbbbbb"}));
    Surface t(6, 6);
    t.image.fill(ToQRgb(kBlue));
    ASSERT_TRUE(t.dc.DrawState(1, 1, 0, 0, pIcon.get(), DST_ICON | DSS_NORMAL));
    EXPECT_EQ(t.dc.GetPixel(2, 2), kRed);
    EXPECT_EQ(t.dc.GetPixel(3, 3), kWhite);
    EXPECT_EQ(t.dc.GetPixel(1, 1), kBlue);
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
    EXPECT_EQ(s.Rows({})[10], std::string(120, '.'));  // measuring draws nothing

    s.dc.SetBkMode(TRANSPARENT);
    s.dc.SetTextColor(kBlack);
    RECT box{0, 0, 100, 30};
    s.dc.DrawText(u"Help", &box, DT_SINGLELINE | DT_VCENTER | DT_RIGHT);
    int nLeftmost = 1000, nRightmost = -1, nTop = 1000, nBottom = -1;
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 120; ++x) {
            if (s.dc.GetPixel(x, y) != kWhite) {
                nLeftmost = std::min(nLeftmost, x), nRightmost = std::max(nRightmost, x);
                nTop = std::min(nTop, y), nBottom = std::max(nBottom, y);
            }
        }
    }
    ASSERT_GE(nRightmost, 0) << "no text drawn";
    EXPECT_LT(nRightmost, 100);
    EXPECT_GE(nLeftmost, 100 - metrics.horizontalAdvance("Help") - 1);
    const int nBoxTop = (30 - metrics.height()) / 2;
    EXPECT_GE(nTop, nBoxTop);
    EXPECT_LT(nBottom, nBoxTop + metrics.height());

    // Word breaks: a caption wider than its box takes more lines.
    RECT narrow{0, 0, metrics.horizontalAdvance("Help") + 2, 0};
    const int nLines =
        s.dc.DrawText(u"Help Help Help", &narrow, DT_WORDBREAK | DT_CENTER | DT_CALCRECT);
    EXPECT_EQ(nLines, 3 * metrics.lineSpacing() - metrics.leading());
}

TEST(ImageListTest, CutsBitmapsIntoMaskedImages) {
    const auto pList = ImageList_Create(2, 2, ILC_COLORDDB | ILC_MASK, 1, 1);
    Bitmap strip(5, 2, false);  // two images and one column too few for a third
    strip.Image().fill(ToQRgb(RGB(192, 192, 192)));
    strip.Image().setPixel(0, 0, ToQRgb(kRed));
    strip.Image().setPixel(3, 1, ToQRgb(kBlue));
    EXPECT_EQ(ImageList_AddMasked(pList.get(), &strip, RGB(192, 192, 192)), 0);
    EXPECT_EQ(ImageList_GetImageCount(pList.get()), 2);

    Surface s(4, 2);
    s.image.fill(ToQRgb(kBlack));
    ASSERT_TRUE(ImageList_Draw(pList.get(), 1, &s.dc, 2, 0, ILD_TRANSPARENT));
    ASSERT_TRUE(ImageList_Draw(pList.get(), 0, &s.dc, 0, 0, ILD_TRANSPARENT));
    EXPECT_EQ(s.Rows({{kBlack, 'k'}, {kRed, 'r'}, {kBlue, 'b'}}), (Rows{"rkkk", "kkkb"}));
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

TEST(BitmapResourcesTest, ReadsDibsAndMapsButtonColoursOfSixteenColourOnes) {
    QImage image(3, 2, QImage::Format_RGB32);
    image.fill(0xFFC0C0C0u);
    image.setPixel(0, 0, 0xFF102030u);
    const std::string dib = test::MakeDib(image);
    const auto pBitmap = LoadDib(dib);
    ASSERT_NE(pBitmap, nullptr);
    EXPECT_EQ(pBitmap->GetPixel(0, 0), RGB(0x10, 0x20, 0x30));
    EXPECT_EQ(pBitmap->GetPixel(2, 1), RGB(192, 192, 192));
    EXPECT_EQ(ReadBitmapHeader(dib)->biBitCount, 24);
    EXPECT_EQ(LoadDib(dib.substr(0, 50)), nullptr);
    EXPECT_EQ(LoadDib("short"), nullptr);

    // A 4-bit DIB of 2 x 1 pixels: light grey and dark red from its colour table.
    BITMAPINFOHEADER header{40, 2, 1, 1, 4, BI_RGB, 0, 0, 0, 16, 0};
    std::string four(reinterpret_cast<const char*>(&header), sizeof header);
    for (int i = 0; i < 16; ++i) {
        const char entry[4] = {i == 7 ? '\xC0' : '\x00', i == 7 ? '\xC0' : '\x00',
                               static_cast<char>(i == 7 ? 0xC0 : (i == 1 ? 0x80 : 0)), 0};
        four.append(entry, 4);
    }
    four.append("\x71\x00\x00\x00", 4);
    EXPECT_EQ(LoadDib(four)->GetPixel(0, 0), RGB(192, 192, 192));
    EXPECT_EQ(LoadDib(four)->GetPixel(1, 0), RGB(128, 0, 0));
    EXPECT_EQ(LoadSysColorDib(four)->GetPixel(0, 0), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(LoadSysColorDib(four)->GetPixel(1, 0), RGB(128, 0, 0));

    RegisterResource(RT_BITMAP, 700u, dib);
    EXPECT_NE(LoadBitmapResource(700u), nullptr);
    EXPECT_EQ(LoadBitmapResource(701u), nullptr);
}

TEST(BitmapResourcesTest, LoadsIconsFromImageFilesAtTheSizeAskedFor) {
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    RegisterResource(RT_GROUP_ICON, 800u, png.toStdString());
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
    info.cbSize = 44;
    EXPECT_FALSE(GetMenuItemInfo(hMenu, 6, FALSE, &info));
    DestroyMenu(hMenu);
}

}  // namespace
}  // namespace vesk::platform
