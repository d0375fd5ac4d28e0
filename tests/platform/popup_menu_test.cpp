// The pop-up menu on screen, driven with real key and mouse events while it tracks.

#include "popup_menu.h"

#include "device_context.h"
#include "system.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <tuple>
#include <vector>

namespace vesk::platform {
namespace {

constexpr COLORREF kPlain = RGB(0, 200, 0);
constexpr COLORREF kSelected = RGB(200, 0, 0);

// What one paint of an item was told: its command, state, action and box.
using Drawn = std::tuple<UINT, UINT, UINT, RECT>;

// A menu that measures every item 100 + 10 x data wide and 20 high (a separator 6), and paints it
// green, or red while selected, recording what it was asked.
class RecordingMenu final : public CMenu {
public:
    RecordingMenu() { CreatePopupMenu(); }
    void Add(UINT nFlags, UINT_PTR nId, ULONG_PTR nData) {
        AppendMenu(nFlags | MF_OWNERDRAW, nId, reinterpret_cast<const void*>(nData));
    }
    void MeasureItem(MEASUREITEMSTRUCT* pMeasure) override {
        measured.push_back(pMeasure->itemData);
        pMeasure->itemWidth = 100 + 10 * static_cast<UINT>(pMeasure->itemData);
        pMeasure->itemHeight = pMeasure->itemData == 0 ? 6 : 20;
    }
    void DrawItem(DRAWITEMSTRUCT* pDraw) override {
        EXPECT_EQ(pDraw->hwndItem, m_hMenu);
        drawn.emplace_back(pDraw->itemID, pDraw->itemState, pDraw->itemAction, pDraw->rcItem);
        data.push_back(pDraw->itemData);
        fontFace = pDraw->hDC->GetCurrentFont()->GetLogFont().lfFaceName;
        pDraw->hDC->FillSolidRect(pDraw->rcItem,
                                  (pDraw->itemState & ODS_SELECTED) != 0 ? kSelected : kPlain);
    }
    // The centre of the last paint of an item's data.
    QPoint Centre(ULONG_PTR nData) const {
        for (std::size_t i = data.size(); i-- > 0;) {
            if (data[i] == nData) {
                const RECT& r = std::get<3>(drawn[i]);
                return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
            }
        }
        ADD_FAILURE() << "item " << nData << " never drawn";
        return {};
    }
    std::vector<ULONG_PTR> measured, data;
    std::vector<Drawn> drawn;
    std::u16string fontFace;
};

// The owner: answers typed characters from a table and records the commands it is told.
class Owner final : public PopupMenuOwner {
public:
    LRESULT OnMenuChar(UINT nChar, UINT nFlags, HMENU hMenu) override {
        chars.push_back(nChar);
        EXPECT_EQ(nFlags, MF_POPUP);
        menus.push_back(hMenu);
        return nChar == 'e'   ? MAKELRESULT(3, MNC_EXECUTE)
               : nChar == 's' ? MAKELRESULT(3, MNC_SELECT)
               : nChar == 'q' ? MAKELRESULT(0, MNC_CLOSE)
               : nChar == 'x' ? MAKELRESULT(1, MNC_EXECUTE)  // the separator: ignored
                              : 0;
    }
    void OnCommand(UINT nId) override {
        commands.push_back(nId);
        openWhenTold.push_back(ActivePopupMenuWindow() != nullptr);
    }
    std::vector<UINT> chars, commands;
    std::vector<HMENU> menus;
    std::vector<bool> openWhenTold;
};

// Command 101 (data 1), a separator, 103 grayed (data 3), 104 checked (data 4), and a pop-up
// (data 5) holding 201 and 202.
class PopupMenuTest : public ::testing::Test {
protected:
    void SetUp() override {
        menu.Add(0, 101, 1);
        menu.Add(MF_SEPARATOR, 0, 0);
        menu.Add(MF_GRAYED, 103, 3);
        menu.Add(MF_CHECKED, 104, 4);
        inner.Add(0, 201, 1);
        inner.Add(0, 202, 2);
        menu.Add(MF_POPUP, ToId(inner.m_hMenu), 5);
    }
    void TearDown() override { menu.RemoveMenu(4, MF_BYPOSITION); }

    // Opens the pop-up at (x, y) and runs the script on it; closed after 5 s so no script hangs.
    int Track(UINT nFlags, const std::function<void(QWidget*)>& script, int x = 100, int y = 100) {
        QTimer::singleShot(0, [&script] {
            QWidget* pWindow = ActivePopupMenuWindow();
            ASSERT_NE(pWindow, nullptr);
            ASSERT_TRUE(QTest::qWaitForWindowExposed(pWindow));
            script(pWindow);
        });
        QObject guard;  // its end cancels the timer
        QTimer::singleShot(5000, &guard, [] {
            if (QWidget* pWindow = ActivePopupMenuWindow()) {
                pWindow->close();
            }
        });
        return TrackPopupMenu(menu.m_hMenu, nFlags, x, y, 0, &owner);
    }
    // Keys and characters ('\r' Enter) typed into the open pop-up, then Esc if still open.
    int Type(UINT nFlags, const std::vector<Qt::Key>& keys, const QString& typed = {}) {
        return Track(nFlags, [&](QWidget* pWindow) {
            for (const Qt::Key key : keys) {
                QTest::keyClick(ActivePopupMenuWindow(), key);
            }
            for (const QChar ch : typed) {
                ch == '\r' ? QTest::keyClick(pWindow, Qt::Key_Return)
                           : QTest::keyClicks(pWindow, QString(ch));
            }
            if (ActivePopupMenuWindow() != nullptr) {
                QTest::keyClick(pWindow, Qt::Key_Escape);
            }
        });
    }

    RecordingMenu menu;
    RecordingMenu inner;
    Owner owner;
};

TEST_F(PopupMenuTest, KeysMoveOverEnabledItemsAndChoose) {
    const std::vector<std::pair<std::vector<Qt::Key>, int>> cases = {
        {{Qt::Key_Down, Qt::Key_Return}, 101},
        // The separator and the grayed item are passed over.
        {{Qt::Key_Down, Qt::Key_Down, Qt::Key_Enter}, 104},
        // From the top, up wraps to the last item: the pop-up item opens, first item selected.
        {{Qt::Key_Up, Qt::Key_Return, Qt::Key_Return}, 201},
        {{Qt::Key_Up, Qt::Key_Right, Qt::Key_Down, Qt::Key_Return}, 202},
        // Left closes the sub-menu; the selection stays on its item in the outer level.
        {{Qt::Key_Up, Qt::Key_Right, Qt::Key_Left, Qt::Key_Up, Qt::Key_Return}, 104},
        {{Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Return}, 101},
        // Esc closes a sub-menu first, then the pop-up.
        {{Qt::Key_Up, Qt::Key_Right, Qt::Key_Escape, Qt::Key_Escape}, 0},
        {{Qt::Key_Return, Qt::Key_Escape}, 0},
    };
    for (const auto& [keys, nResult] : cases) {
        EXPECT_EQ(Type(TPM_RETURNCMD, keys), nResult) << "case ending with " << nResult;
        EXPECT_EQ(ActivePopupMenuWindow(), nullptr);
    }
    EXPECT_TRUE(owner.commands.empty());
}

// With TPM_RETURNCMD the command comes back and the owner is told nothing; without it, the
// result is TRUE or FALSE and the owner is told the command once the pop-up has closed.
TEST_F(PopupMenuTest, TypedCharactersDoWhatTheOwnerAnswers) {
    const std::tuple<UINT, QString, int, std::vector<UINT>> cases[] = {
        {TPM_RETURNCMD, "e", 104, {}}, {TPM_RETURNCMD, "s\r", 104, {}},  // selected, then Enter
        {TPM_RETURNCMD, "q", 0, {}},   {TPM_RETURNCMD, "zx\r", 0, {}},   // ignored: no selection
        {0, "e", TRUE, {104}},         {0, "q", FALSE, {}},
    };
    for (const auto& [nFlags, typed, nResult, told] : cases) {
        owner.commands.clear();
        owner.openWhenTold.clear();
        EXPECT_EQ(Type(nFlags, {}, typed), nResult) << typed.toStdString();
        EXPECT_EQ(owner.commands, told) << typed.toStdString();
        EXPECT_EQ(owner.openWhenTold, std::vector<bool>(told.size(), false));
    }
    EXPECT_EQ(owner.chars, (std::vector<UINT>{'e', 's', 'q', 'z', 'x', 'e', 'q'}));
    EXPECT_EQ(owner.menus, std::vector<HMENU>(7, menu.m_hMenu));
}

// Measured through the owner, each item drawn with its state in the menu font inside a frame of
// the shadow colour; the mouse repaints only the items whose selection changes, and chooses.
TEST_F(PopupMenuTest, MeasuresDrawsAndFollowsTheMouse) {
    std::vector<Drawn> firstPaint, afterHover, afterMove;
    QSize size;
    QImage first, hovered;
    const int nResult = Track(TPM_RETURNCMD, [&](QWidget* pWindow) {
        firstPaint = menu.drawn;
        size = pWindow->size();
        first = pWindow->grab().toImage();
        // The paints that a move to an item's centre causes.
        const auto moveTo = [&](ULONG_PTR nData) {
            const auto n = static_cast<std::ptrdiff_t>(menu.drawn.size());
            QTest::mouseMove(pWindow, menu.Centre(nData));
            return std::vector(menu.drawn.begin() + n, menu.drawn.end());
        };
        afterHover = moveTo(1);
        // Over the separator the selection goes; over the checked item it comes back.
        afterMove = moveTo(4);
        hovered = pWindow->grab().toImage();
        // A click on the grayed item chooses nothing; on the checked one, it does.
        QTest::mouseClick(pWindow, Qt::LeftButton, {}, menu.Centre(3));
        QTest::mouseClick(pWindow, Qt::LeftButton, {}, menu.Centre(4));
    });
    EXPECT_EQ(nResult, 104);
    EXPECT_EQ(menu.measured, (std::vector<ULONG_PTR>{1, 0, 3, 4, 5}));
    EXPECT_TRUE(inner.measured.empty());
    // The widest item (150) and the platform's check-mark allowance of 12, inside a 1-pixel frame.
    EXPECT_EQ(size, QSize(150 + 12 + 2, 4 * 20 + 6 + 2));
    const UINT nPopup = static_cast<UINT>(ToId(inner.m_hMenu));
    EXPECT_EQ(firstPaint, (std::vector<Drawn>{{101, 0, ODA_DRAWENTIRE, {1, 1, 163, 21}},
                                              {0, 0, ODA_DRAWENTIRE, {1, 21, 163, 27}},
                                              {103, ODS_GRAYED, ODA_DRAWENTIRE, {1, 27, 163, 47}},
                                              {104, ODS_CHECKED, ODA_DRAWENTIRE, {1, 47, 163, 67}},
                                              {nPopup, 0, ODA_DRAWENTIRE, {1, 67, 163, 87}}}));
    EXPECT_EQ(menu.fontFace, CreateMenuFont()->GetLogFont().lfFaceName);
    EXPECT_EQ(afterHover, (std::vector<Drawn>{{101, ODS_SELECTED, ODA_SELECT, {1, 1, 163, 21}}}));
    ASSERT_EQ(afterMove.size(), 2u);
    EXPECT_EQ(std::get<1>(afterMove[0]), 0u);
    EXPECT_EQ(std::get<0>(afterMove[1]), 104u);
    EXPECT_EQ(std::get<1>(afterMove[1]), ODS_CHECKED | ODS_SELECTED);
    ASSERT_FALSE(first.isNull() || hovered.isNull());
    EXPECT_EQ(FromQRgb(first.pixel(50, 10)), kPlain);
    EXPECT_EQ(FromQRgb(first.pixel(0, 10)), GetSysColor(COLOR_BTNSHADOW));
    EXPECT_EQ(FromQRgb(first.pixel(163, 87)), GetSysColor(COLOR_BTNSHADOW));
    EXPECT_EQ(FromQRgb(hovered.pixel(50, 57)), kSelected);
    EXPECT_EQ(FromQRgb(hovered.pixel(50, 10)), kPlain);

    // A click outside dismisses it (either button); a right click chooses only with RIGHTBUTTON.
    for (const Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton}) {
        const auto clickOutside = [button](QWidget* pWindow) {
            QTest::mouseClick(pWindow, button, {}, QPoint(pWindow->width() + 40, 10));
        };
        EXPECT_EQ(Track(TPM_RETURNCMD, clickOutside), 0);
    }
    const auto rightClickFirst = [this](QWidget* pWindow) {
        QTest::mouseClick(pWindow, Qt::RightButton, {}, menu.Centre(1));
        if (ActivePopupMenuWindow() != nullptr) {
            QTest::keyClick(pWindow, Qt::Key_Escape);
        }
    };
    EXPECT_EQ(Track(TPM_RETURNCMD, rightClickFirst), 0);
    EXPECT_EQ(Track(TPM_RETURNCMD | TPM_RIGHTBUTTON, rightClickFirst), 101);
}

// A pop-up item opens its sub-menu beside it, on a click or when the pointer rests on it; the
// pop-up stays on the screen; a handle that is no menu opens nothing.
TEST_F(PopupMenuTest, SubMenusOpenBesideTheirItemAndPopupsStayOnTheScreen) {
    QRect outer, child;
    const int nResult = Track(TPM_RETURNCMD, [&](QWidget* pWindow) {
        outer = QRect(pWindow->pos(), pWindow->size());
        QTest::mouseClick(pWindow, Qt::LeftButton, {}, menu.Centre(5));
        QWidget* pChild = ActivePopupMenuWindow();
        ASSERT_NE(pChild, pWindow);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(pChild));
        child = QRect(pChild->pos(), pChild->size());
        QTest::mouseClick(pChild, Qt::LeftButton, {}, inner.Centre(2));
    });
    EXPECT_EQ(nResult, 202);
    EXPECT_EQ(inner.measured, (std::vector<ULONG_PTR>{1, 2}));
    EXPECT_EQ(child.left(), outer.right() + 1);
    EXPECT_EQ(child.top(), outer.top() + 1 + 3 * 20 + 6 - 1);

    QWidget* pOpened = nullptr;
    Track(TPM_RETURNCMD, [&](QWidget* pWindow) {
        QTest::mouseMove(pWindow, menu.Centre(5));
        if (QTest::qWaitFor([&] { return ActivePopupMenuWindow() != pWindow; }, 2000)) {
            pOpened = ActivePopupMenuWindow();
            QTest::keyClick(pOpened, Qt::Key_Escape);
        }
        QTest::keyClick(pWindow, Qt::Key_Escape);
    });
    EXPECT_NE(pOpened, nullptr);

    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    QRect placed;
    const auto place = [&placed](QWidget* pWindow) {
        placed = QRect(pWindow->pos(), pWindow->size());
        QTest::keyClick(pWindow, Qt::Key_Escape);
    };
    Track(TPM_RETURNCMD, place, area.right() - 10, area.bottom() - 10);
    EXPECT_EQ(placed.bottomRight(), area.bottomRight());
    EXPECT_TRUE(area.contains(placed));
    EXPECT_EQ(TrackPopupMenu(HMENU{54321}, TPM_RETURNCMD, 0, 0, 0, &owner), 0);
}

}  // namespace
}  // namespace vesk::platform
