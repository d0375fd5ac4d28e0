#include "image_button.h"

#include "image_button_test_access.h"
#include "pixel_rows.h"
#include "system.h"
#include "viewer_resources.h"

#include <gtest/gtest.h>

#include <QPainter>
#include <QTest>
#include <string>
#include <vector>

namespace vesk {
namespace {

using namespace platform;
using test::Rows;

const COLORREF kFace = GetSysColor(COLOR_BTNFACE);
const COLORREF kText = GetSysColor(COLOR_BTNTEXT);
const COLORREF kShadow = GetSysColor(COLOR_BTNSHADOW);
const COLORREF kHighlight = GetSysColor(COLOR_BTNHIGHLIGHT);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);

std::unique_ptr<Icon> SolidIcon(int nSize, QRgb colour) {
    QImage image(nSize, nSize, QImage::Format_ARGB32);
    image.fill(colour);
    return Icon::FromImage(image);
}

// The button painted for an item state, read as rows of letters (x: the inverted focus dots).
struct Painted {
    QImage image;
    COLORREF At(int x, int y) const { return FromQRgb(image.pixel(x, y)); }
    Rows Pixels() const {
        // clang-format off
        return test::ReadRows(image, {{kFace, '.'}, {kHighlight, 'h'}, {kShadow, 's'},
                                      {GetSysColor(COLOR_3DLIGHT), 'l'},
                                      {GetSysColor(COLOR_3DDKSHADOW), 'd'}, {kBlack, 'k'},
                                      {RGB(15, 15, 15), 'x'}, {kRed, 'r'}, {kBlue, 'b'}});
        // clang-format on
    }
    // The first pixel of the colour, row by row; (-1, -1) when there is none.
    POINT Find(COLORREF colour) const {
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (At(x, y) == colour) {
                    return {x, y};
                }
            }
        }
        return {-1, -1};
    }
};

// A button of the given size.
struct SizedButton : ImageButton {
    SizedButton(int nWidth, int nHeight) { resize(nWidth, nHeight); }
};

Painted Paint(ImageButton& button, UINT nState) {
    Painted painted{QImage(button.size(), QImage::Format_RGB32)};
    painted.image.fill(0xFF123456u);
    DeviceContext dc(&painted.image);
    DRAWITEMSTRUCT item{
        .itemState = nState, .hDC = &dc, .rcItem = {0, 0, button.width(), button.height()}};
    button.DrawItem(&item);
    return painted;
}

TEST(ImageButtonPaintTest, FlatAndStandardLooksInEveryState) {
    // clang-format off
    const std::tuple<const char*, BOOL, BOOL, BOOL, UINT, Rows> cases[] = {
        {"flat idle", TRUE, FALSE, FALSE, 0,
         {"........", "........", "........", "........", "........", "........"}},
        {"flat hovered: raised", TRUE, TRUE, FALSE, 0,
         {"hhhhhhhs", "h......s", "h......s", "h......s", "h......s", "ssssssss"}},
        {"flat pressed: sunken", TRUE, FALSE, FALSE, ODS_SELECTED,
         {"sssssssh", "s......h", "s......h", "s......h", "s......h", "hhhhhhhh"}},
        {"flat focused: no focus rectangle", TRUE, FALSE, FALSE, ODS_FOCUS,
         {"........", "........", "........", "........", "........", "........"}},
        {"standard: four pens", FALSE, FALSE, FALSE, 0,
         {"hhhhhhhd", "hlllllsd", "hl....sd", "hl....sd", "hssssssd", "dddddddd"}},
        {"standard pressed: a shadow frame", FALSE, FALSE, FALSE, ODS_SELECTED,
         {"ssssssss", "s......s", "s......s", "s......s", "s......s", "ssssssss"}},
        {"standard default: black frame, pens inside", FALSE, FALSE, TRUE, 0,
         {"kkkkkkkk", "khhhhhdk", "khlllsdk", "khssssdk", "kddddddk", "kkkkkkkk"}},
    };
    // clang-format on
    for (const auto& [pszName, bFlat, bHovering, bDefault, nState, expected] : cases) {
        SizedButton button(8, 6);
        button.SetFlat(bFlat, FALSE);
        ImageButtonTestAccess(button).Hovering() = bHovering;
        ImageButtonTestAccess(button).Default() = bDefault;
        EXPECT_EQ(Paint(button, nState).Pixels(), expected) << pszName;
    }

    // Focus dots three pixels in: inside a standard button's black frame; flat only if flat focus.
    SizedButton standard(14, 12);
    standard.SetFlat(FALSE, FALSE);
    const Rows focused = Paint(standard, ODS_FOCUS).Pixels();
    EXPECT_EQ(focused[0], std::string(14, 'k'));
    EXPECT_EQ(focused[4].substr(4, 6), "x.x.x.");
    EXPECT_EQ(focused[3].substr(4, 6), "......");
    EXPECT_EQ(focused[7][4], '.');
    EXPECT_EQ(focused[6][4], 'x');
    SizedButton flat(14, 12);
    flat.SetFlatFocus(TRUE, FALSE);
    const Rows flatFocused = Paint(flat, ODS_FOCUS).Pixels();
    EXPECT_EQ(flatFocused[3].substr(3, 8), "x.x.x.x.");
    EXPECT_EQ(flatFocused[0], std::string(14, '.'));
}

TEST(ImageButtonPaintTest, BackgroundColourGoesByHoverOrPressThenFocusThenNormal) {
    const std::tuple<BOOL, UINT, COLORREF> cases[] = {{TRUE, ODS_FOCUS, kRed},
                                                      {FALSE, ODS_SELECTED | ODS_FOCUS, kRed},
                                                      {FALSE, ODS_FOCUS, kBlue},
                                                      {FALSE, 0, kBlack}};
    for (const auto& [bHovering, nState, expected] : cases) {
        SizedButton button(10, 8);
        button.SetDrawBorder(FALSE, FALSE);
        EXPECT_EQ(button.SetColor(0, kRed, FALSE) + button.SetColor(4, kBlue, FALSE) +
                      button.SetColor(2, kBlack, FALSE),
                  0);
        EXPECT_EQ(button.SetColor(6, kBlack, FALSE), 1);
        ImageButtonTestAccess(button).Hovering() = bHovering;
        EXPECT_EQ(Paint(button, nState).At(5, 4), expected) << nState;
    }
    ImageButton plain;
    EXPECT_EQ(ImageButtonTestAccess(plain).Look().colors,
              (std::array{kFace, kText, kFace, kText, kFace, kText}));
}

TEST(ImageButtonPaintTest, TheStateChoosesTheImageAndMovesItByThePushOffset) {
    SizedButton button(12, 10);
    ASSERT_EQ(button.SetIcon(SolidIcon(4, 0xFFFF0000u)), 0);
    EXPECT_EQ(Paint(button, 0).Find(kRed), (POINT{4, 3}));
    EXPECT_EQ(Paint(button, ODS_SELECTED).Find(kRed), (POINT{5, 4}));
    EXPECT_EQ(button.SetPushOffset(1, FALSE), 0);
    EXPECT_EQ(Paint(button, ODS_SELECTED).Find(kRed), (POINT{4, 5}));
    EXPECT_EQ(button.SetPushOffset(2, FALSE), 6);
    EXPECT_EQ(button.SetPushOffset(0x100, FALSE), 0);  // only the low byte counts
    EXPECT_EQ(ImageButtonTestAccess(button).Look().pushOffsetX, 1);

    // A checked check box is painted pressed (sunken) without the offset.
    ImageButtonTestAccess(button).CheckBox() = TRUE;
    ImageButtonTestAccess(button).Checked() = TRUE;
    const Painted checked = Paint(button, 0);
    EXPECT_EQ(checked.Find(kRed), (POINT{4, 3}));
    EXPECT_EQ(checked.Pixels()[0], std::string(11, 's') + 'h');

    // While the attached menu is on screen the button is painted pressed.
    res::RegisterViewerResources();
    SizedButton menuButton(12, 10);
    ImageButtonTestAccess menuAccess(menuButton);
    menuAccess.MenuShowing() = TRUE;
    EXPECT_FALSE(menuButton.PaintStateFor(0, {0, 0, 12, 10}).pressed);  // no menu attached
    ASSERT_TRUE(menuAccess.Menu().LoadTemplate(res::IDR_POPUP));
    EXPECT_EQ(Paint(menuButton, 0).Pixels()[0], std::string(11, 's') + 'h');

    // The first image shows hovered or pressed (a check box: pressed), else the second.
    const std::tuple<BOOL, BOOL, UINT, COLORREF> cases[] = {{FALSE, FALSE, 0, kBlue},
                                                            {FALSE, TRUE, 0, kRed},
                                                            {FALSE, FALSE, ODS_SELECTED, kRed},
                                                            {TRUE, TRUE, 0, kBlue},
                                                            {TRUE, FALSE, ODS_SELECTED, kRed}};
    for (const auto& [bCheckBox, bHovering, nState, expected] : cases) {
        SizedButton two(12, 10);
        ASSERT_EQ(two.SetIcon(SolidIcon(4, 0xFFFF0000u), SolidIcon(4, 0xFF0000FFu)), 0);
        ImageButtonTestAccess(two).CheckBox() = bCheckBox;
        ImageButtonTestAccess(two).Hovering() = bHovering;
        EXPECT_NE(Paint(two, nState).Find(expected).x, -1) << bCheckBox << bHovering << nState;
    }
}

TEST(ImageButtonPaintTest, DisabledButtonsEmbossTheIconAndDrawTheCaptionTwice) {
    SizedButton button(60, 30);
    ASSERT_EQ(button.SetIcon(SolidIcon(8, 0xFFFF0000u)), 0);
    button.setText(QStringLiteral("Go"));
    // The darkest green level of the caption area, and how many pixels are lighter than the face.
    const auto caption = [](const Painted& painted) {
        std::pair<int, int> levels{255, 0};
        for (int y = 0; y < 30; ++y) {
            for (int x = 12; x < 60; ++x) {
                levels.first = std::min(levels.first, int{GetGValue(painted.At(x, y))});
                levels.second += GetGValue(painted.At(x, y)) > GetGValue(kFace) ? 1 : 0;
            }
        }
        return levels;
    };
    const Painted disabled = Paint(button, ODS_DISABLED);
    // The 8 x 8 icon at (3, 11): its shape in shadow, the highlight copy one pixel down-right.
    EXPECT_EQ(disabled.Find(kRed).x, -1);
    EXPECT_EQ(disabled.At(3, 11), kShadow);
    EXPECT_EQ(disabled.At(10, 18), kShadow);
    EXPECT_EQ(disabled.At(11, 19), kHighlight);
    // The caption: highlight one pixel down-right and shadow on top; nothing darker.
    EXPECT_GE(caption(disabled).first, GetGValue(kShadow) - 1);
    EXPECT_GT(caption(disabled).second, 0);
    const Painted enabled = Paint(button, 0);
    EXPECT_EQ(enabled.Find(kRed).x, 3);  // image left, caption to its right
    EXPECT_LT(caption(enabled).first, 100);
}

// Records the order of the drawing steps, each drawn by the base class as well.
using Steps = std::vector<std::string>;
class RecordingButton final : public ImageButton {
public:
    Steps steps;

protected:
    void DrawBackground(DeviceContext* pDC, const PaintState& state, RECT* pRect) override {
        steps.push_back("background");
        ImageButton::DrawBackground(pDC, state, pRect);
    }
    void DrawBorder(DeviceContext* pDC, const PaintState& state, RECT* pRect) override {
        steps.push_back("border");
        ImageButton::DrawBorder(pDC, state, pRect);
    }
    void DrawIconImage(DeviceContext*, const PaintState&, RECT*) override {
        steps.push_back("icon");
    }
    void DrawBitmapImage(DeviceContext* pDC, const PaintState& state, RECT* pCaption) override {
        steps.push_back("bitmap " + std::to_string(pDC->GetBkColor()));
        ImageButton::DrawBitmapImage(pDC, state, pCaption);
    }
    void DrawCaption(DeviceContext*, const PaintState& state, RECT*) override {
        steps.push_back("caption " + QString::fromStdU16String(state.caption).toStdString());
    }
};

TEST(ImageButtonPaintTest, DrawItemCallsTheStepsThroughTheObjectInOrder) {
    RecordingButton button;
    button.resize(20, 12);
    ASSERT_EQ(button.SetIcon(SolidIcon(4, 0xFFFF0000u)), 0);
    button.setText(QStringLiteral("OK"));
    Paint(button, 0);
    EXPECT_EQ(button.steps, (Steps{"background", "border", "icon", "caption OK"}));

    button.steps.clear();
    ASSERT_EQ(button.SetBitmaps(std::make_unique<Bitmap>(4, 4, false), kRed), 0);
    EXPECT_EQ(ImageButtonTestAccess(button).Icon(0).handle, nullptr);
    button.setText(QString());
    Paint(button, 0);
    EXPECT_EQ(button.steps, (Steps{"background", "border", "bitmap " + std::to_string(0xFFFFFF)}));
}

TEST(ImageButtonPaintTest, BitmapsDrawThroughTheirMask) {
    SizedButton button(8, 6);
    // A 4 x 2 bitmap: red with a magenta (transparent) left half.
    QImage picture(4, 2, QImage::Format_RGB32);
    picture.fill(0xFFFF0000u);
    QPainter(&picture).fillRect(0, 0, 2, 2, QColor(255, 0, 255));
    ASSERT_EQ(button.SetBitmaps(std::make_unique<Bitmap>(picture), RGB(255, 0, 255)), 0);
    const ImageButton::BitmapImage& bitmap = ImageButtonTestAccess(button).Bitmap(0);
    EXPECT_EQ(bitmap.mask->GetPixel(0, 0), RGB(255, 255, 255));
    EXPECT_EQ(bitmap.handle->GetPixel(0, 0), kBlack);
    EXPECT_EQ(bitmap.width, 4u);
    EXPECT_EQ(Paint(button, 0).Pixels()[2], "....rr..");
    // Disabled: the embossed shape of what is not transparent.
    const Rows disabled = Paint(button, ODS_DISABLED).Pixels();
    EXPECT_EQ(disabled[2], "....ss..");
    EXPECT_EQ(disabled[4], ".....hh.");
}

TEST(ImageButtonLayoutTest, ImagesArePlacedByAlignmentCaptionAndPress) {
    const RECT item{0, 0, 40, 20};
    // Alignment, caption, pressed, check box, push offset style, image size; image and caption.
    // clang-format off
    const std::tuple<std::uint8_t, bool, bool, bool, int, DWORD, DWORD, RECT, RECT> cases[] = {
        {0, false, false, false, 0, 16, 16, {12, 2, 40, 20}, item},
        {0, true, false, false, 0, 16, 16, {3, 2, 40, 20}, {19, 0, 40, 20}},
        {1, false, false, false, 0, 16, 10, {12, 5, 40, 20}, item},
        {1, true, false, false, 0, 16, 10, {12, 3, 40, 20}, {0, 10, 40, 20}},
        {2, false, false, false, 0, 16, 10, {12, 0, 40, 20}, item},
        {2, true, false, false, 0, 16, 10, {21, 5, 40, 20}, {3, 0, 21, 20}},
        {3, true, false, false, 0, 16, 10, item, item},
        // Larger than the button: the negative halves truncate toward zero.
        {0, false, false, false, 0, 43, 23, {-1, -1, 40, 20}, item},
        {0, false, true, false, 0, 16, 16, {13, 3, 41, 21}, item},
        // A pressed check box does not move its image; push offset style 1 moves by (0, 2).
        {0, false, true, true, 0, 16, 16, {12, 2, 40, 20}, item},
        {0, false, true, false, 1, 16, 16, {12, 4, 40, 22}, item},
    };
    // clang-format on
    for (const auto& [nAlign, bCaption, bPressed, bCheckBox, nPush, w, h, image, caption] : cases) {
        SizedButton button(40, 20);
        button.SetAlignment(nAlign, FALSE);
        button.SetPushOffset(nPush, FALSE);
        ImageButton::PaintState state = button.PaintStateFor(0, item);
        state.caption = bCaption ? u"Go" : u"";
        state.pressed = bPressed;
        state.isCheckBox = bCheckBox;
        RECT laidOut = item;
        EXPECT_EQ(ImageButton::LayoutImage(state, &laidOut, w, h), image)
            << int{nAlign} << bCaption << w << bCheckBox;
        EXPECT_EQ(laidOut, caption) << int{nAlign} << bCaption;
    }
}

TEST(ImageButtonTest, TheTemplateStyleDecidesCheckBoxAndDefaultAndTheControlIsOwnerDrawn) {
    const std::tuple<DWORD, BOOL, BOOL> cases[] = {{BS_PUSHBUTTON, FALSE, FALSE},
                                                   {BS_DEFPUSHBUTTON | 0x00010000, FALSE, TRUE},
                                                   {BS_CHECKBOX, TRUE, FALSE},
                                                   {BS_AUTOCHECKBOX, TRUE, FALSE}};
    for (const auto& [dwStyle, bCheckBox, bDefault] : cases) {
        ImageButton button(nullptr, dwStyle);
        button.PreSubclassWindow();
        EXPECT_EQ(ImageButtonTestAccess(button).CheckBox(), bCheckBox) << dwStyle;
        EXPECT_EQ(ImageButtonTestAccess(button).Default(), bDefault) << dwStyle;
        EXPECT_EQ(button.QPushButton::isDefault(), bDefault != FALSE) << dwStyle;
        EXPECT_EQ(button.GetStyle(), (dwStyle & ~BS_TYPEMASK) | BS_OWNERDRAW);
    }
}

TEST(ImageButtonIconTest, IconsComeFromResourcesByNumber) {
    res::RegisterViewerResources();
    ImageButton button;
    ImageButtonTestAccess access(button);
    EXPECT_EQ(button.SetIcon(static_cast<int>(res::IDI_GO), 0), 0);
    ASSERT_NE(access.Icon(0).handle, nullptr);
    EXPECT_EQ(access.Icon(0).width, 32u);
    EXPECT_EQ(access.Icon(0).height, 32u);
    EXPECT_EQ(access.Icon(1).handle, nullptr);

    // A requested size, a second resource, and a missing second one.
    EXPECT_EQ(button.SetIcon(static_cast<int>(res::IDI_GO), 16, 16, static_cast<int>(res::IDI_MENU),
                             24, 24),
              0);
    EXPECT_EQ(access.Icon(0).width, 16u);
    EXPECT_EQ(access.Icon(1).width, 24u);
    EXPECT_EQ(button.SetIcon(static_cast<int>(res::IDI_MENU), 999), 0);
    EXPECT_NE(access.Icon(0).handle, nullptr);
    EXPECT_EQ(access.Icon(1).handle, nullptr);

    // A missing first icon leaves the button without images, whatever the second.
    const int nIcons = Icon::LiveCount();
    EXPECT_EQ(button.SetIcon(999, static_cast<int>(res::IDI_GO)), 0);
    EXPECT_EQ(access.Icon(0).handle, nullptr);
    EXPECT_EQ(Icon::LiveCount(), nIcons - 1);

    // Markers derive the second icon.
    EXPECT_EQ(button.SetIcon(static_cast<int>(res::IDI_GO), ImageButton::DERIVE_GRAY), 0);
    ASSERT_NE(access.Icon(1).handle, nullptr);
    EXPECT_EQ(access.Icon(1).width, 32u);
    const QRgb gray = access.Icon(1).handle->Colour().pixel(16, 16);
    EXPECT_TRUE(qRed(gray) == qGreen(gray) && qGreen(gray) == qBlue(gray));
}

TEST(ImageButtonIconTest, SettingIconsReleasesTheEarlierOnesAndFailuresKeepNone) {
    const int nIcons = Icon::LiveCount();
    {
        ImageButton button;
        ImageButtonTestAccess access(button);
        ASSERT_EQ(button.SetIcon(SolidIcon(8, 0xFFFF0000u), SolidIcon(8, 0xFF0000FFu)), 0);
        EXPECT_EQ(Icon::LiveCount(), nIcons + 2);
        ASSERT_EQ(button.SetIcon(SolidIcon(8, 0xFFFF0000u), ImageButton::DERIVE_DARKER), 0);
        EXPECT_EQ(Icon::LiveCount(), nIcons + 2);

        // The size is twice the hot spot, not the image's.
        QImage square(32, 32, QImage::Format_RGB32);
        square.fill(Qt::black);
        ASSERT_EQ(button.SetIcon(std::make_unique<Icon>(square, square, false, POINT{10, 12})), 0);
        EXPECT_EQ(access.Icon(0).width, 20u);
        EXPECT_EQ(access.Icon(0).height, 24u);

        // An icon whose information cannot be read, first or second: 1, and no images at all.
        const auto unreadable = [] { return std::make_unique<Icon>(QImage(), QImage()); };
        EXPECT_EQ(button.SetIcon(unreadable(), SolidIcon(8, 0xFF0000FFu)), 1);
        EXPECT_EQ(access.Icon(0).handle, nullptr);
        EXPECT_EQ(Icon::LiveCount(), nIcons);
        EXPECT_EQ(button.SetIcon(SolidIcon(8, 0xFFFF0000u), unreadable()), 1);
        EXPECT_EQ(access.Icon(0).handle, nullptr);
        EXPECT_EQ(access.Icon(1).handle, nullptr);
        EXPECT_EQ(Icon::LiveCount(), nIcons);

        // No first icon: the second is released too.
        EXPECT_EQ(button.SetIcon(nullptr, SolidIcon(8, 0xFF0000FFu)), 0);
        EXPECT_EQ(Icon::LiveCount(), nIcons);
        ASSERT_EQ(button.SetIcon(SolidIcon(8, 0xFFFF0000u)), 0);
    }
    EXPECT_EQ(Icon::LiveCount(), nIcons);
}

TEST(ImageButtonIconTest, GrayscaleAndDarkerCopiesGoPixelByPixelAndKeepBlackAndTransparency) {
    // A colour, its grey level and its darker level of each channel (-1: a mixed colour).
    const std::tuple<QRgb, int, int> cases[] = {{0xFFFFFFFFu, 255, 191}, {0xFFFF0000u, 76, -1},
                                                {0xFF00FF00u, 149, -1},  {0xFF0000FFu, 29, -1},
                                                {0xFF808080u, 128, 96},  {0xFF010101u, 1, 0},
                                                {0xFF000000u, 0, 0}};
    QImage picture(8, 2, QImage::Format_ARGB32);
    picture.fill(Qt::transparent);
    for (int i = 0; i < 7; ++i) {
        picture.setPixel(i, 0, std::get<0>(cases[i]));
    }
    const auto pSource = Icon::FromImage(picture);
    const auto pGray = ImageButton::MakeGrayscaleIcon(pSource.get());
    const auto pDarker = ImageButton::MakeDarkerIcon(pSource.get());
    ASSERT_NE(pGray, nullptr);
    ASSERT_NE(pDarker, nullptr);
    const auto grey = [](int nLevel) { return static_cast<QRgb>(nLevel * 0x010101); };
    for (int i = 0; i < 7; ++i) {
        const auto& [source, nGray, nDarker] = cases[i];
        EXPECT_EQ(pGray->Colour().pixel(i, 0) & 0xFFFFFFu, grey(nGray)) << i;
        if (nDarker >= 0) {
            EXPECT_EQ(pDarker->Colour().pixel(i, 0) & 0xFFFFFFu, grey(nDarker)) << i;
        }
        // Black inside the opaque part stays black and opaque.
        EXPECT_FALSE(pGray->IsTransparentAt(i, 0)) << i;
    }
    EXPECT_EQ(pDarker->Colour().pixel(1, 0) & 0xFFFFFFu, 0xBF0000u);
    EXPECT_TRUE(pGray->IsTransparentAt(7, 0));
    EXPECT_TRUE(pDarker->IsTransparentAt(3, 1));
    EXPECT_EQ(ImageButton::MakeGrayscaleIcon(nullptr), nullptr);

    const COLORREF colour = RGB(200, 100, 8);
    EXPECT_EQ(ImageButton::DarkenColor(colour, 0.25), RGB(150, 75, 6));
    EXPECT_EQ(ImageButton::DarkenColor(colour, 1.0), RGB(0, 0, 0));
    for (const double dFactor : {0.0, -0.5, 1.01}) {
        EXPECT_EQ(ImageButton::DarkenColor(colour, dFactor), colour) << dFactor;
    }
}

// A parent that paints itself in one colour.
class PlainParent final : public QWidget {
public:
    QColor colour = Qt::red;

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), colour); }
};

TEST(ImageButtonWidgetTest, TransparentButtonsShowTheParentsPixelsTakenOnce) {
    PlainParent parent;
    parent.resize(60, 40);
    ImageButton button(&parent);
    button.setGeometry(5, 5, 30, 20);
    button.SetTransparent(TRUE, FALSE);
    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    EXPECT_EQ(Painted{button.grab().toImage()}.At(15, 10), kRed);
    EXPECT_EQ(ImageButtonTestAccess(button).BackgroundBitmap()->Width(), 30);
    // Later paints reuse what was taken, even when the parent has changed since.
    parent.colour = Qt::blue;
    parent.update();
    EXPECT_EQ(Painted{button.grab().toImage()}.At(15, 10), kRed);
}

}  // namespace
}  // namespace vesk
