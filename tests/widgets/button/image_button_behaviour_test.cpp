// The image button with real events: hover, tooltip, clicks, checks, menu, link, focus, colours.

#include "image_button.h"
#include "image_button_test_access.h"
#include "popup_menu.h"
#include "shell.h"
#include "sound.h"
#include "system.h"
#include "tooltip_test_access.h"
#include "viewer_resources.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>
#include <string>
#include <vector>

namespace vesk {
namespace {

using namespace platform;

constexpr UINT kMenuMessage = WM_USER + 100;

// A shown window with two flat buttons; it records its messages and can edit the menu's pop-up.
class Window final : public QWidget {
public:
    Window() {
        setGeometry(100, 100, 300, 100);
        first.setGeometry(10, 10, 60, 30);
        second.setGeometry(100, 10, 60, 30);
        show();
    }
    bool event(QEvent* pEvent) override {
        if (pEvent->type() != MessageEvent::EventType()) {
            return QWidget::event(pEvent);
        }
        const auto* pMessage = static_cast<MessageEvent*>(pEvent);
        messages.push_back({pMessage->message, pMessage->wParam, pMessage->lParam});
        if (pMessage->message == WM_COMMAND) {
            shownPressedAtCommand = ImageButtonTestAccess(first).MenuShowing();
        }
        auto* pPopup = reinterpret_cast<LumoMenu*>(pMessage->wParam);
        if (pMessage->message == kMenuMessage && bRemoveThreadItems &&
            pPopup->GetMenuItemID(0) == 32771) {
            pPopup->RemoveItem(32771, MF_BYCOMMAND);
            pPopup->RemoveItem(32773, MF_BYCOMMAND);
            pPopup->RemoveItem(0, MF_BYPOSITION);
        }
        return true;
    }
    struct Message {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    ImageButton first{this}, second{this};
    std::vector<Message> messages;
    bool bRemoveThreadItems = false;
    BOOL shownPressedAtCommand = TRUE;
};

// Shows the window and makes it the active one.
bool Activate(QWidget& window) {
    window.show();
    window.activateWindow();
    return QTest::qWaitForWindowActive(&window);
}

// A mouse move over the button with the buttons given held.
void MoveOver(ImageButton& button, QPoint at, Qt::MouseButtons held = Qt::NoButton) {
    QMouseEvent move(QEvent::MouseMove, at, button.mapToGlobal(at), Qt::NoButton, held,
                     Qt::NoModifier);
    QApplication::sendEvent(&button, &move);
}

class ImageButtonBehaviourTest : public ::testing::Test {
protected:
    void SetUp() override {
        res::RegisterViewerResources();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        ASSERT_TRUE(Activate(window));
        QObject::connect(&button, &QAbstractButton::clicked, [this] { ++nClicks; });
        SetPlaySoundHookForTesting(
            [this](const char* pszSound, std::uintptr_t, DWORD) { sounds.emplace_back(pszSound); });
    }
    void TearDown() override {
        SetPlaySoundHookForTesting({});
        SetShellOpenHookForTesting({});
        LumoMenu::ResetSettings();
    }
    Window window;
    ImageButton& button = window.first;
    ImageButtonTestAccess access{window.first};
    std::vector<std::string> sounds;
    int nClicks = 0;  // of the first button
};

TEST_F(ImageButtonBehaviourTest, HoverFollowsThePointerAndEndsAtOnce) {
    access.HoverSound().sound = "hover.wav";
    // Pressed elsewhere and dragged on: no highlight; moving again without the button held does.
    MoveOver(button, {5, 5}, Qt::LeftButton);
    EXPECT_FALSE(access.Hovering());
    MoveOver(button, {6, 5});
    EXPECT_TRUE(access.Hovering());
    MoveOver(button, {7, 5});
    EXPECT_EQ(sounds, std::vector<std::string>{"hover.wav"});

    // Each of these ends it at once.
    const auto deactivate = [&] {
        QWidget other;
        EXPECT_TRUE(Activate(other));
        EXPECT_TRUE(Activate(window));
    };
    const auto block = [&] {
        QEvent blocked(QEvent::WindowBlocked);
        QApplication::sendEvent(&button, &blocked);
    };
    // clang-format off
    const std::vector<std::pair<const char*, std::function<void()>>> enders = {
        {"leaving", [&] { QTest::mouseMove(&window.second, {5, 5}); }},
        {"a move over another window", [&] { MoveOver(button, {200, 5}); }},
        {"focus lost", [&] { button.setFocus(); window.second.setFocus(); }},
        {"a modal window", block},
        {"the window deactivated", deactivate},
        {"disabled", [&] { button.setEnabled(false); }},
    };
    // clang-format on
    int x = 5;
    for (const auto& [pszWhat, end] : enders) {
        button.setEnabled(true);
        // Each time elsewhere: a move to where the pointer already is does not count.
        QTest::mouseMove(&button, {++x, 5});
        ASSERT_TRUE(access.Hovering()) << pszWhat;
        end();
        EXPECT_FALSE(access.Hovering()) << pszWhat;
    }
    button.setEnabled(true);

    // A standard button never lights up; without alwaysTrack, not while its window is inactive.
    button.SetFlat(FALSE, FALSE);
    MoveOver(button, {5, 5});
    EXPECT_FALSE(access.Hovering());
    button.SetFlat(TRUE, FALSE);
    access.AlwaysTrack() = FALSE;
    QWidget other;
    ASSERT_TRUE(Activate(other));
    MoveOver(button, {5, 5});
    EXPECT_FALSE(access.Hovering());
}

TEST_F(ImageButtonBehaviourTest, TheTooltipKeepsTheAreaOfItsFirstText) {
    button.SetTooltipText(nullptr, TRUE);
    EXPECT_EQ(access.Tooltip(), nullptr);
    button.SetTooltipText(u"执行提交", TRUE);
    ASSERT_NE(access.Tooltip(), nullptr);
    EXPECT_TRUE(TooltipTestAccess::IsActive(*access.Tooltip()));

    button.resize(90, 40);
    button.SetTooltipText(u"单击按钮，提示更多操作", TRUE);
    EXPECT_EQ(access.Tooltip()->GetToolCount(), 1);
    EXPECT_EQ(TooltipTestAccess::ToolRect(*access.Tooltip(), 1), (RECT{0, 0, 60, 30}));
    EXPECT_EQ(TooltipTestAccess::ToolText(*access.Tooltip(), 1),
              QStringLiteral("单击按钮，提示更多操作"));

    // Resting over the tool shows the text; outside its area, it goes.
    TooltipTestAccess::SetDelayTimes(*access.Tooltip(), 20, 5000);
    MoveOver(button, {10, 10});
    ASSERT_TRUE(QTest::qWaitFor([&] { return access.Tooltip()->isVisible(); }, 2000));
    EXPECT_EQ(access.Tooltip()->text(), QStringLiteral("单击按钮，提示更多操作"));
    MoveOver(button, {80, 35});
    EXPECT_FALSE(access.Tooltip()->isVisible());
    // Inactive, it never shows.
    button.SetTooltipText(u"x", FALSE);
    MoveOver(button, {10, 10});
    QTest::qWait(60);
    EXPECT_FALSE(access.Tooltip()->isVisible());
}

TEST_F(ImageButtonBehaviourTest, ClicksChecksAndTheirMessages) {
    access.ClickSound().sound = "click.wav";
    // A double click is two clicks.
    QTest::mouseClick(&button, Qt::LeftButton, {}, {5, 5});
    QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(5, 5), button.mapToGlobal(QPointF(5, 5)),
                    Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&button, &dbl);
    QTest::mouseRelease(&button, Qt::LeftButton, {}, {5, 5});
    EXPECT_EQ(nClicks, 2);
    EXPECT_EQ(sounds.size(), 2u);
    EXPECT_TRUE(button.hasFocus());

    // A push button has no check state.
    EXPECT_EQ(SendMessageA(&button, BM_SETCHECK, BST_CHECKED, 0), 0);
    EXPECT_EQ(SendMessageA(&button, BM_GETCHECK, 0, 0), 0);
    // A check box: the messages and the click toggle it.
    ImageButton box(&window, BS_AUTOCHECKBOX);
    box.PreSubclassWindow();
    for (const auto& [wParam, nExpected] : std::vector<std::pair<WPARAM, LRESULT>>{
             {BST_INDETERMINATE, 1}, {BST_UNCHECKED, 0}, {BST_CHECKED, 1}, {7, 0}}) {
        SendMessageA(&box, BM_SETCHECK, wParam, 0);
        EXPECT_EQ(SendMessageA(&box, BM_GETCHECK, 0, 0), nExpected) << wParam;
    }
    box.show();
    QTest::mouseClick(&box, Qt::LeftButton, {}, {2, 2});
    EXPECT_TRUE(box.IsChecked());
}

TEST_F(ImageButtonBehaviourTest, TheMenuOpensUnderTheButtonAndPostsTheChoice) {
    EXPECT_EQ(button.AttachMenu(4321, &window, 1, 0, 16, 16, 0xFF00FF, TRUE), 1);
    EXPECT_EQ(access.Menu().m_hMenu, kNoMenu);
    EXPECT_EQ(access.MenuOwner(), nullptr);
    ASSERT_EQ(button.AttachMenu(res::IDR_POPUP, &window, 1, 0, 16, 16, 0xFF00FF, TRUE), 0);
    EXPECT_EQ(LumoMenu::settings.drawModeOther, 1);
    EXPECT_EQ(button.SetMenuCallback(&window, kMenuMessage, 77), 0);
    window.bRemoveThreadItems = true;

    const std::pair<Qt::Key, std::vector<UINT>> cases[] = {{Qt::Key_Escape, {}},
                                                           {Qt::Key_Up, {32775}}};
    for (const auto& [key, expected] : cases) {
        window.messages.clear();
        QRect popup;
        int nItems = 0;
        BOOL bPressedLook = FALSE;
        QTimer::singleShot(0, [&, pressed = key] {
            QWidget* pPopup = ActivePopupMenuWindow();
            ASSERT_NE(pPopup, nullptr);
            popup = QRect(pPopup->pos(), pPopup->size());
            nItems = access.Menu().SubMenuAt(0)->GetMenuItemCount();
            bPressedLook = access.MenuShowing();
            QTest::keyClick(pPopup, pressed);
            if (ActivePopupMenuWindow() != nullptr) {
                QTest::keyClick(pPopup, Qt::Key_Return);
            }
        });
        QTest::mouseClick(&button, Qt::LeftButton, {}, {5, 5});
        // The callback was sent first, with the pop-up's menu object: its edit is what opened.
        ASSERT_GE(window.messages.size(), 1u);
        EXPECT_EQ(window.messages[0].message, kMenuMessage);
        EXPECT_EQ(window.messages[0].wParam, reinterpret_cast<WPARAM>(access.Menu().SubMenuAt(0)));
        EXPECT_EQ(window.messages[0].lParam, 77);
        EXPECT_EQ(nItems, 3);
        // Measured by the menu itself: three items of max(SM_CYMENU, 22) in the frame.
        EXPECT_EQ(popup.height(), 3 * std::max(GetSystemMetrics(SM_CYMENU), 22) + 2);
        EXPECT_TRUE(bPressedLook);
        EXPECT_FALSE(access.MenuShowing());
        EXPECT_EQ(popup.topLeft(), button.mapToGlobal(QPoint(0, button.height())));
        // The command is posted, not sent: it arrives after the button painted unpressed.
        EXPECT_EQ(window.messages.size(), 1u);
        QCoreApplication::processEvents();
        std::vector<UINT> commands;
        for (const auto& message : window.messages) {
            if (message.message == WM_COMMAND) {
                commands.push_back(static_cast<UINT>(message.wParam));
                EXPECT_EQ(message.lParam, 0);
                EXPECT_FALSE(window.shownPressedAtCommand);
            }
        }
        EXPECT_EQ(commands, expected);
    }
    // The parent heard every click.
    EXPECT_EQ(nClicks, 2);
    // Measure requests and typed characters of the menu's pop-ups go to the attached menu.
    auto* pPopup = static_cast<LumoMenu*>(access.Menu().SubMenuAt(0));
    MEASUREITEMSTRUCT measure{.CtlType = ODT_MENU,
                              .itemID = static_cast<UINT>(ToId(pPopup->m_hMenu)),
                              .itemData = reinterpret_cast<ULONG_PTR>(pPopup->items[0].get())};
    button.OnMeasureItem(access.Menu().m_hMenu, &measure);
    EXPECT_EQ(measure.itemHeight, static_cast<UINT>(std::max(GetSystemMetrics(SM_CYMENU), 22)));
    ASSERT_TRUE(pPopup->ModifyItem(32774, u"&Help"));
    EXPECT_EQ(button.OnMenuChar('h', MF_POPUP, pPopup->m_hMenu), MAKELRESULT(1, MNC_EXECUTE));
    EXPECT_EQ(button.OnMenuChar('h', MF_POPUP, HMENU{12345}), 0);

    // Menu resource 0 removes the menu.
    EXPECT_EQ(button.AttachMenu(0, nullptr, 1, 0, 16, 16, 0, FALSE), 0);
    EXPECT_EQ(access.Menu().m_hMenu, kNoMenu);
}

TEST_F(ImageButtonBehaviourTest, ALinkIsKeptWholeAndOpenedThroughTheShell) {
    const std::string chinese = "\xB0\xA1";  // one two-byte character
    const std::pair<std::string, std::size_t> cases[] = {{std::string(300, 'a'), 259},
                                                         {std::string(258, 'a') + chinese, 258},
                                                         {std::string(257, 'a') + chinese, 259},
                                                         {"abc\xB0", 3}};
    for (const auto& [url, nKept] : cases) {
        button.SetLinkUrl(url.c_str());
        EXPECT_EQ(std::strlen(access.LinkUrl()), nKept) << url.size();
        EXPECT_EQ(std::string(access.LinkUrl()), url.substr(0, nKept));
    }
    std::vector<QUrl> opened;
    SetShellOpenHookForTesting([&](const QUrl& url) {
        opened.push_back(url);
        return true;
    });
    for (const char* pszUrl : {"http://127.0.0.1:8088/topic,600519.html", "not an address",
                               static_cast<const char*>(nullptr)}) {
        button.SetLinkUrl(pszUrl);
        QTest::mouseClick(&button, Qt::LeftButton, {}, {5, 5});
    }
    EXPECT_EQ(opened, std::vector<QUrl>{QUrl("http://127.0.0.1:8088/topic,600519.html")});
}

TEST_F(ImageButtonBehaviourTest, DisablingTheFocusedButtonMovesTheFocusAndColoursAreTakenAgain) {
    window.first.setFocus();
    ASSERT_TRUE(window.first.hasFocus());
    window.first.setEnabled(false);
    EXPECT_TRUE(window.second.hasFocus());
    // Disabling a button without the focus leaves the focus where it is.
    window.first.setEnabled(true);
    window.first.setEnabled(false);
    EXPECT_TRUE(window.second.hasFocus());
    // No tab stop left: the parent takes it.
    window.second.setEnabled(false);
    EXPECT_EQ(QApplication::focusWidget(), &window);

    // A change of the desktop's colours drops the parent-background cache and the colours.
    ImageButtonTestAccess second(window.second);
    second.BackgroundDC() = CreateCompatibleDC(nullptr);
    second.BackgroundBitmap() = CreateCompatibleBitmap(nullptr, 4, 4);
    second.Look().colors[2] = RGB(1, 2, 3);
    QEvent change(QEvent::ThemeChange);
    QApplication::sendEvent(&window.second, &change);
    EXPECT_EQ(second.BackgroundDC(), nullptr);
    EXPECT_EQ(second.BackgroundBitmap(), nullptr);
    EXPECT_EQ(second.Look().colors[2], GetSysColor(COLOR_BTNFACE));
}

}  // namespace
}  // namespace vesk
