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
#include <vector>

namespace vesk::platform {
namespace {

constexpr COLORREF kPlain = RGB(0, 200, 0);
constexpr COLORREF kSelected = RGB(200, 0, 0);

struct DrawRecord {
    UINT itemID;
    UINT itemState;
    UINT itemAction;
    HMENU hMenu;
    RECT rcItem;
    ULONG_PTR itemData;
};

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
        drawn.push_back({pDraw->itemID, pDraw->itemState, pDraw->itemAction, pDraw->hwndItem,
                         pDraw->rcItem, pDraw->itemData});
        fontFaces.push_back(pDraw->hDC->GetCurrentFont()->GetLogFont().lfFaceName);
        pDraw->hDC->FillSolidRect(pDraw->rcItem,
                                  (pDraw->itemState & ODS_SELECTED) != 0 ? kSelected : kPlain);
    }
    std::vector<ULONG_PTR> measured;
    std::vector<DrawRecord> drawn;
    std::vector<std::u16string> fontFaces;
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
    std::vector<UINT> chars;
    std::vector<HMENU> menus;
    std::vector<UINT> commands;
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

    // Opens the pop-up at (x, y) and runs the script once it is on screen; a pop-up still open
    // after five seconds is closed so that a failing script cannot hang the test.
    int Track(UINT nFlags, const std::function<void(QWidget*)>& script, int x = 100, int y = 100) {
        QTimer::singleShot(0, [&script] {
            QWidget* pWindow = ActivePopupMenuWindow();
            ASSERT_NE(pWindow, nullptr);
            ASSERT_TRUE(QTest::qWaitForWindowExposed(pWindow));
            script(pWindow);
        });
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, [] {
            if (QWidget* pWindow = ActivePopupMenuWindow()) {
                pWindow->close();
            }
        });
        guard.start(5000);
        return TrackPopupMenu(menu.m_hMenu, nFlags, x, y, 0, &owner);
    }
    static QPoint ItemCentre(const DrawRecord& record) {
        return QPoint((record.rcItem.left + record.rcItem.right) / 2,
                      (record.rcItem.top + record.rcItem.bottom) / 2);
    }
    // The last draw record of an item's data.
    const DrawRecord& LastDrawOf(const RecordingMenu& m, ULONG_PTR nData) const {
        for (auto it = m.drawn.rbegin(); it != m.drawn.rend(); ++it) {
            if (it->itemData == nData) {
                return *it;
            }
        }
        static const DrawRecord none{};
        ADD_FAILURE() << "item " << nData << " never drawn";
        return none;
    }

    RecordingMenu menu;
    RecordingMenu inner;
    Owner owner;
};

TEST_F(PopupMenuTest, KeysMoveOverEnabledItemsAndChoose) {
    struct Case {
        std::vector<Qt::Key> keys;
        int nResult;
    };
    const std::vector<Case> cases = {
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
    for (const Case& c : cases) {
        const int nResult = Track(TPM_RETURNCMD, [&c](QWidget*) {
            for (const Qt::Key key : c.keys) {
                QTest::keyClick(ActivePopupMenuWindow(), key);
            }
        });
        EXPECT_EQ(nResult, c.nResult) << "case ending with " << c.nResult;
        EXPECT_EQ(ActivePopupMenuWindow(), nullptr);
    }
    EXPECT_TRUE(owner.commands.empty());
}

TEST_F(PopupMenuTest, MeasuresThroughTheOwnerAndDrawsEachItemWithItsState) {
    std::vector<DrawRecord> firstPaint;
    QSize size;
    QImage shown;
    const int nResult = Track(TPM_RETURNCMD, [&](QWidget* pWindow) {
        firstPaint = menu.drawn;
        size = pWindow->size();
        shown = pWindow->grab().toImage();
        QTest::keyClick(pWindow, Qt::Key_Escape);
    });
    EXPECT_EQ(nResult, 0);
    EXPECT_EQ(menu.measured, (std::vector<ULONG_PTR>{1, 0, 3, 4, 5}));
    EXPECT_TRUE(inner.measured.empty());
    // The widest item (150) and the platform's check-mark allowance of 12, inside a 1-pixel frame.
    EXPECT_EQ(size, QSize(150 + 12 + 2, 4 * 20 + 6 + 2));
    ASSERT_EQ(firstPaint.size(), 5u);
    const UINT states[] = {0, 0, ODS_GRAYED, ODS_CHECKED, 0};
    const UINT ids[] = {101, 0, 103, 104, static_cast<UINT>(ToId(inner.m_hMenu))};
    int nTop = 1;
    for (std::size_t i = 0; i < 5; ++i) {
        const DrawRecord& record = firstPaint[i];
        EXPECT_EQ(record.itemID, ids[i]);
        EXPECT_EQ(record.itemState, states[i]);
        EXPECT_EQ(record.itemAction, ODA_DRAWENTIRE);
        EXPECT_EQ(record.hMenu, menu.m_hMenu);
        const int nHeight = i == 1 ? 6 : 20;
        EXPECT_EQ(record.rcItem, (RECT{1, nTop, 163, nTop + nHeight})) << "item " << i;
        nTop += nHeight;
    }
    EXPECT_EQ(menu.fontFaces.front(), CreateMenuFont()->GetLogFont().lfFaceName);
    // What the window shows is what the items painted, in a frame of the shadow colour.
    ASSERT_FALSE(shown.isNull());
    EXPECT_EQ(FromQRgb(shown.pixel(50, 10)), kPlain);
    EXPECT_EQ(FromQRgb(shown.pixel(0, 10)), GetSysColor(COLOR_BTNSHADOW));
    EXPECT_EQ(FromQRgb(shown.pixel(163, 87)), GetSysColor(COLOR_BTNSHADOW));
}

TEST_F(PopupMenuTest, TheMouseSelectsOnlyChangedItemsAndChooses) {
    std::vector<DrawRecord> afterHover;
    std::vector<DrawRecord> afterMove;
    QImage shown;
    const int nResult = Track(TPM_RETURNCMD, [&](QWidget* pWindow) {
        const std::size_t nFirst = menu.drawn.size();
        QTest::mouseMove(pWindow, ItemCentre(menu.drawn[0]));
        afterHover.assign(menu.drawn.begin() + static_cast<long>(nFirst), menu.drawn.end());
        const std::size_t nSecond = menu.drawn.size();
        // Over the separator the selection goes; over the checked item it comes back.
        QTest::mouseMove(pWindow, ItemCentre(menu.drawn[3]));
        afterMove.assign(menu.drawn.begin() + static_cast<long>(nSecond), menu.drawn.end());
        shown = pWindow->grab().toImage();
        // A click on the grayed item chooses nothing; on the checked one, it does.
        QTest::mouseClick(pWindow, Qt::LeftButton, {}, ItemCentre(menu.drawn[2]));
        QTest::mouseClick(pWindow, Qt::LeftButton, {}, ItemCentre(LastDrawOf(menu, 4)));
    });
    EXPECT_EQ(nResult, 104);
    ASSERT_EQ(afterHover.size(), 1u);
    EXPECT_EQ(afterHover[0].itemID, 101u);
    EXPECT_EQ(afterHover[0].itemState, ODS_SELECTED);
    EXPECT_EQ(afterHover[0].itemAction, ODA_SELECT);
    ASSERT_EQ(afterMove.size(), 2u);
    EXPECT_EQ(afterMove[0].itemID, 101u);
    EXPECT_EQ(afterMove[0].itemState, 0u);
    EXPECT_EQ(afterMove[1].itemID, 104u);
    EXPECT_EQ(afterMove[1].itemState, ODS_CHECKED | ODS_SELECTED);
    EXPECT_EQ(FromQRgb(shown.pixel(50, 1 + 20 + 6 + 20 + 10)), kSelected);
    EXPECT_EQ(FromQRgb(shown.pixel(50, 10)), kPlain);

    // A click outside the pop-up dismisses it, with either button; the right button chooses
    // only with TPM_RIGHTBUTTON.
    for (const Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton}) {
        EXPECT_EQ(Track(TPM_RETURNCMD,
                        [button](QWidget* pWindow) {
                            QTest::mouseClick(pWindow, button, {},
                                              QPoint(pWindow->width() + 40, 10));
                        }),
                  0);
    }
    for (const UINT nFlags : {TPM_RETURNCMD, TPM_RETURNCMD | TPM_RIGHTBUTTON}) {
        EXPECT_EQ(Track(nFlags,
                        [this](QWidget* pWindow) {
                            QTest::mouseClick(pWindow, Qt::RightButton, {},
                                              ItemCentre(LastDrawOf(menu, 1)));
                            if (ActivePopupMenuWindow() != nullptr) {
                                QTest::keyClick(pWindow, Qt::Key_Escape);
                            }
                        }),
                  (nFlags & TPM_RIGHTBUTTON) != 0 ? 101 : 0);
    }
}

TEST_F(PopupMenuTest, APopupItemOpensItsSubMenuBesideIt) {
    QRect outer;
    QRect child;
    const int nResult = Track(TPM_RETURNCMD, [&](QWidget* pWindow) {
        outer = QRect(pWindow->pos(), pWindow->size());
        QTest::mouseClick(pWindow, Qt::LeftButton, {}, ItemCentre(LastDrawOf(menu, 5)));
        QWidget* pChild = ActivePopupMenuWindow();
        ASSERT_NE(pChild, pWindow);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(pChild));
        child = QRect(pChild->pos(), pChild->size());
        // The sub-menu was measured and drawn by its own menu object.
        ASSERT_EQ(inner.drawn.size(), 2u);
        QTest::mouseClick(pChild, Qt::LeftButton, {}, ItemCentre(inner.drawn[1]));
    });
    EXPECT_EQ(nResult, 202);
    EXPECT_EQ(inner.measured, (std::vector<ULONG_PTR>{1, 2}));
    EXPECT_EQ(child.left(), outer.right() + 1);
    EXPECT_EQ(child.top(), outer.top() + 1 + 3 * 20 + 6 - 1);

    // Resting the pointer on the pop-up item opens the sub-menu too.
    QWidget* pOpened = nullptr;
    Track(TPM_RETURNCMD, [&](QWidget* pWindow) {
        QTest::mouseMove(pWindow, ItemCentre(LastDrawOf(menu, 5)));
        if (QTest::qWaitFor([&] { return ActivePopupMenuWindow() != pWindow; }, 2000)) {
            pOpened = ActivePopupMenuWindow();
            QTest::keyClick(pOpened, Qt::Key_Escape);
        }
        QTest::keyClick(pWindow, Qt::Key_Escape);
    });
    EXPECT_NE(pOpened, nullptr);
}

// With TPM_RETURNCMD the command comes back and the owner is told nothing; without it, the
// result is TRUE or FALSE and the owner is told the command once the pop-up has closed.
TEST_F(PopupMenuTest, TypedCharactersDoWhatTheOwnerAnswers) {
    struct Case {
        UINT nFlags;
        QString typed;
        int nResult;
        std::vector<UINT> told;
    };
    const std::vector<Case> cases = {
        {TPM_RETURNCMD, "e", 104, {}},
        {TPM_RETURNCMD, "s\r", 104, {}},  // selected, then Enter
        {TPM_RETURNCMD, "q", 0, {}},
        {TPM_RETURNCMD, "zx\r", 0, {}},  // ignored keys leave nothing selected
        {0, "e", TRUE, {104}},
        {0, "q", FALSE, {}},
    };
    for (const Case& c : cases) {
        owner.commands.clear();
        owner.openWhenTold.clear();
        const int nResult = Track(c.nFlags, [&c](QWidget* pWindow) {
            for (const QChar ch : c.typed) {
                if (ch == '\r') {
                    QTest::keyClick(pWindow, Qt::Key_Return);
                } else {
                    QTest::keyClicks(pWindow, QString(ch));
                }
            }
            if (ActivePopupMenuWindow() != nullptr) {
                QTest::keyClick(pWindow, Qt::Key_Escape);
            }
        });
        EXPECT_EQ(nResult, c.nResult) << c.typed.toStdString();
        EXPECT_EQ(owner.commands, c.told) << c.typed.toStdString();
        EXPECT_EQ(owner.openWhenTold, std::vector<bool>(c.told.size(), false));
    }
    EXPECT_EQ(owner.chars, (std::vector<UINT>{'e', 's', 'q', 'z', 'x', 'e', 'q'}));
    EXPECT_EQ(owner.menus, std::vector<HMENU>(7, menu.m_hMenu));
}

TEST_F(PopupMenuTest, StaysOnTheScreen) {
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    QRect placed;
    Track(
        TPM_RETURNCMD,
        [&placed](QWidget* pWindow) {
            placed = QRect(pWindow->pos(), pWindow->size());
            QTest::keyClick(pWindow, Qt::Key_Escape);
        },
        area.right() - 10, area.bottom() - 10);
    EXPECT_TRUE(area.contains(placed)) << placed.x() << "," << placed.y();
    EXPECT_EQ(placed.right(), area.right());
    EXPECT_EQ(placed.bottom(), area.bottom());

    // Not a menu: nothing opens.
    EXPECT_EQ(TrackPopupMenu(HMENU{54321}, TPM_RETURNCMD, 0, 0, 0, &owner), 0);
}

}  // namespace
}  // namespace vesk::platform
