#include "popup_menu.h"

#include "device_context.h"
#include "font.h"
#include "gdi_objects.h"
#include "system.h"

#include <QEventLoop>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <memory>
#include <vector>

namespace vesk::platform {

void PopupMenuOwner::OnMeasureItem(HMENU hMenu, MEASUREITEMSTRUCT* pMeasure) {
    if (CMenu* pMenu = CMenu::FromHandle(hMenu)) {
        pMenu->MeasureItem(pMeasure);
    }
}

LRESULT PopupMenuOwner::OnMenuChar(UINT /*nChar*/, UINT /*nFlags*/, HMENU /*hMenu*/) {
    return 0;
}

void PopupMenuOwner::OnCommand(UINT /*nId*/) {}

namespace {

// The frame drawn around the items.
constexpr int kBorder = 1;
// The platform widens an owner-drawn item by the width of a check mark, less one pixel.
constexpr int kOwnerDrawExtraWidth = 12;
// Plain items: the margins around their text and a separator's height.
constexpr int kPlainTextMargin = 16;
constexpr int kPlainSeparatorHeight = 8;
// How long the pointer rests on a pop-up item before its sub-menu opens.
constexpr int kSubMenuDelayMs = 300;

bool IsEnabled(UINT nState) {
    return (nState & (MF_GRAYED | MF_DISABLED)) == 0;
}

class Tracker;

// One level of the pop-up: a menu's items stacked in a frame, painted into an image that the
// window shows.
class PopupLevel final : public QWidget {
public:
    PopupLevel(Tracker& tracker, HMENU hMenu, QScreen* pScreen);

    HMENU Menu() const { return m_hMenu; }
    int ItemCount() const { return static_cast<int>(m_items.size()); }
    int Selected() const { return m_nSelected; }
    UINT StateOf(int nPos) const { return GetMenuState(m_hMenu, nPos, MF_BYPOSITION); }
    bool IsPopupItem(int nPos) const { return GetSubMenu(m_hMenu, nPos) != kNoMenu; }
    // The type flags, which the state leaves out for a pop-up item.
    UINT TypeOf(int nPos) const {
        MENUITEMINFO info;
        info.fMask = MIIM_FTYPE;
        return GetMenuItemInfo(m_hMenu, static_cast<UINT>(nPos), TRUE, &info) ? info.fType : 0;
    }
    bool IsOwnerDrawn(int nPos) const { return (TypeOf(nPos) & MF_OWNERDRAW) != 0; }
    bool CanSelect(int nPos) const { return (TypeOf(nPos) & MF_SEPARATOR) == 0; }
    // The item under a point on the screen, or -1.
    int ItemAtGlobal(QPoint global) const;
    bool ContainsGlobal(QPoint global) const { return ScreenRect().contains(global); }
    QRect ScreenRect() const { return QRect(mapToGlobal(QPoint(0, 0)), size()); }
    // The item's rectangle on the screen.
    QRect ItemScreenRect(int nPos) const;

    // Moves the selection and repaints the two items whose state changed.
    void Select(int nPos);
    // The next item that keyboard movement can reach in the direction, or -1.
    int NextEnabled(int nFrom, int nStep) const;
    void Place(QPoint topLeft);
    void CloseByTracker();

protected:
    void paintEvent(QPaintEvent* pEvent) override;
    void mouseMoveEvent(QMouseEvent* pEvent) override;
    void mousePressEvent(QMouseEvent* pEvent) override;
    void mouseReleaseEvent(QMouseEvent* pEvent) override;
    void keyPressEvent(QKeyEvent* pEvent) override;
    void closeEvent(QCloseEvent* pEvent) override;

private:
    void MeasureItems();
    void PaintItem(int nPos, UINT nAction);
    void PaintPlainItem(int nPos, const RECT& rect, UINT nState, bool bSelected);

    Tracker& m_tracker;
    HMENU m_hMenu;
    std::vector<RECT> m_items;
    int m_nSelected = -1;
    bool m_bClosingByTracker = false;
    QImage m_image;
    std::unique_ptr<DeviceContext> m_pDC;
    std::unique_ptr<Font> m_pMenuFont;
};

// Runs one pop-up: its levels from the outermost to the innermost, the choice, the loop.
class Tracker final {
public:
    Tracker(HMENU hMenu, UINT nFlags, PopupMenuOwner* pOwner)
        : m_hRoot(hMenu), m_nFlags(nFlags), m_pOwner(pOwner) {
        m_subMenuTimer.setSingleShot(true);
        m_subMenuTimer.setInterval(kSubMenuDelayMs);
        QObject::connect(&m_subMenuTimer, &QTimer::timeout, [this] { OpenHoveredSubMenu(); });
    }
    ~Tracker() { CloseFrom(0); }
    Tracker(const Tracker&) = delete;
    Tracker& operator=(const Tracker&) = delete;

    PopupMenuOwner* Owner() const { return m_pOwner; }
    QWidget* Innermost() const { return m_levels.empty() ? nullptr : m_levels.back().get(); }

    // The chosen command, 0 when dismissed.
    UINT Run(QPoint topLeft, QScreen* pScreen) {
        if (!OpenLevel(m_hRoot, topLeft, pScreen)) {
            return 0;
        }
        if (!m_bDone) {
            m_loop.exec();
        }
        CloseFrom(0);
        return m_nChosen;
    }

    void OnMouseMove(QPoint global) {
        if (m_bDone || m_levels.empty()) {
            return;
        }
        const int nLevel = LevelAt(global);
        if (nLevel < 0) {
            // Off the pop-up, a selection stays only on an item whose sub-menu is open: in every
            // level but the innermost.
            m_levels.back()->Select(-1);
            m_subMenuTimer.stop();
            return;
        }
        PopupLevel& level = *m_levels[static_cast<std::size_t>(nLevel)];
        const int nPos = level.ItemAtGlobal(global);
        if (nPos < 0 || !level.CanSelect(nPos)) {
            if (!HasOpenSubMenu(nLevel)) {
                level.Select(-1);
            }
            return;
        }
        if (nPos == level.Selected()) {
            return;
        }
        CloseFrom(nLevel + 1);
        level.Select(nPos);
        if (level.IsPopupItem(nPos) && IsEnabled(level.StateOf(nPos))) {
            m_subMenuTimer.start();
        } else {
            m_subMenuTimer.stop();
        }
    }

    void OnMousePress(QPoint global, Qt::MouseButton button) {
        if (m_bDone || m_levels.empty()) {
            return;
        }
        // Any button pressed off the pop-up dismisses it.
        const int nLevel = LevelAt(global);
        if (nLevel < 0) {
            Finish(0);
            return;
        }
        if (!Accepts(button)) {
            return;
        }
        PopupLevel& level = *m_levels[static_cast<std::size_t>(nLevel)];
        const int nPos = level.ItemAtGlobal(global);
        if (nPos >= 0 && level.IsPopupItem(nPos) && IsEnabled(level.StateOf(nPos))) {
            level.Select(nPos);
            if (!HasOpenSubMenu(nLevel)) {
                OpenSubMenu(nLevel, false);
            }
        }
    }

    void OnMouseRelease(QPoint global, Qt::MouseButton button) {
        if (m_bDone || m_levels.empty()) {
            return;
        }
        if (!Accepts(button)) {
            return;
        }
        const int nLevel = LevelAt(global);
        if (nLevel < 0) {
            return;
        }
        PopupLevel& level = *m_levels[static_cast<std::size_t>(nLevel)];
        const int nPos = level.ItemAtGlobal(global);
        if (nPos >= 0 && !level.IsPopupItem(nPos)) {
            Choose(nLevel, nPos);
        }
    }

    void OnKey(QKeyEvent* pEvent) {
        if (m_bDone || m_levels.empty()) {
            return;
        }
        const int nLevel = static_cast<int>(m_levels.size()) - 1;
        PopupLevel& level = *m_levels.back();
        const int nSelected = level.Selected();
        switch (pEvent->key()) {
            case Qt::Key_Down:
                level.Select(level.NextEnabled(nSelected, 1));
                return;
            case Qt::Key_Up:
                level.Select(level.NextEnabled(nSelected, -1));
                return;
            case Qt::Key_Right:
                if (nSelected >= 0 && level.IsPopupItem(nSelected)) {
                    OpenSubMenu(nLevel, true);
                }
                return;
            case Qt::Key_Left:
                if (nLevel > 0) {
                    CloseFrom(nLevel);
                }
                return;
            case Qt::Key_Escape:
                if (nLevel > 0) {
                    CloseFrom(nLevel);
                } else {
                    Finish(0);
                }
                return;
            case Qt::Key_Return:
            case Qt::Key_Enter:
                if (nSelected >= 0) {
                    Choose(nLevel, nSelected);
                }
                return;
            default:
                break;
        }
        for (const QChar ch : pEvent->text()) {
            if (ch.isPrint()) {
                OnChar(nLevel, ch);
                return;
            }
        }
    }

    // The pop-up window was closed from outside (the desktop took the pointer away, for one).
    void OnClosedFromOutside() { Finish(0); }

private:
    bool Accepts(Qt::MouseButton button) const {
        return button == Qt::LeftButton ||
               (button == Qt::RightButton && (m_nFlags & TPM_RIGHTBUTTON) != 0);
    }

    bool OpenLevel(HMENU hMenu, QPoint topLeft, QScreen* pScreen) {
        if (!IsMenu(hMenu) || GetMenuItemCount(hMenu) <= 0) {
            return false;
        }
        auto pLevel = std::make_unique<PopupLevel>(*this, hMenu, pScreen);
        pLevel->Place(topLeft);
        PopupLevel* pShown = pLevel.get();
        m_levels.push_back(std::move(pLevel));
        pShown->show();
        return true;
    }

    void OpenSubMenu(int nLevel, bool bSelectFirst) {
        m_subMenuTimer.stop();
        PopupLevel& level = *m_levels[static_cast<std::size_t>(nLevel)];
        const int nPos = level.Selected();
        if (nPos < 0 || !IsEnabled(level.StateOf(nPos))) {
            return;
        }
        CloseFrom(nLevel + 1);
        const QRect item = level.ItemScreenRect(nPos);
        const QRect outer = level.ScreenRect();
        if (!OpenLevel(GetSubMenu(level.Menu(), nPos),
                       QPoint(outer.right() + 1, item.top() - kBorder), level.screen())) {
            return;
        }
        PopupLevel& child = *m_levels.back();
        // Beside the item: to the right of the level, or to its left where the screen ends.
        const QRect area = child.screen()->availableGeometry();
        if (child.ScreenRect().left() < outer.right() + 1 &&
            outer.left() - child.width() >= area.left()) {
            child.Place(QPoint(outer.left() - child.width(), item.top() - kBorder));
        }
        if (bSelectFirst) {
            child.Select(child.NextEnabled(-1, 1));
        }
    }

    void OpenHoveredSubMenu() {
        if (m_levels.empty() || m_bDone) {
            return;
        }
        // The hovered item is the selection of the innermost level that has one.
        for (int i = static_cast<int>(m_levels.size()) - 1; i >= 0; --i) {
            PopupLevel& level = *m_levels[static_cast<std::size_t>(i)];
            if (level.Selected() >= 0) {
                if (level.IsPopupItem(level.Selected()) && !HasOpenSubMenu(i)) {
                    OpenSubMenu(i, false);
                }
                return;
            }
        }
    }

    void OnChar(int nLevel, QChar ch) {
        PopupLevel& level = *m_levels[static_cast<std::size_t>(nLevel)];
        const LRESULT answer = m_pOwner->OnMenuChar(ch.unicode(), MF_POPUP, level.Menu());
        const WORD nAction = HIWORD(static_cast<DWORD>(answer));
        const int nPos = LOWORD(static_cast<DWORD>(answer));
        if (nAction == MNC_CLOSE) {
            Finish(0);
            return;
        }
        if ((nAction != MNC_EXECUTE && nAction != MNC_SELECT) || nPos >= level.ItemCount() ||
            !level.CanSelect(nPos)) {
            return;
        }
        CloseFrom(nLevel + 1);
        level.Select(nPos);
        if (nAction == MNC_EXECUTE) {
            Choose(nLevel, nPos);
        }
    }

    // A command item ends the pop-up with its command; a pop-up item opens its sub-menu.
    void Choose(int nLevel, int nPos) {
        PopupLevel& level = *m_levels[static_cast<std::size_t>(nLevel)];
        if (!IsEnabled(level.StateOf(nPos)) || !level.CanSelect(nPos)) {
            return;
        }
        if (level.IsPopupItem(nPos)) {
            level.Select(nPos);
            OpenSubMenu(nLevel, true);
            return;
        }
        Finish(GetMenuItemID(level.Menu(), nPos));
    }

    void Finish(UINT nCommand) {
        if (m_bDone) {
            return;
        }
        m_bDone = true;
        m_nChosen = nCommand;
        m_subMenuTimer.stop();
        m_loop.quit();
    }

    // Closes the levels from nLevel inward. A closed level may be the one whose event is being
    // handled, so it is kept until the pop-up ends.
    void CloseFrom(int nLevel) {
        while (static_cast<int>(m_levels.size()) > std::max(nLevel, 0)) {
            m_levels.back()->CloseByTracker();
            m_closed.push_back(std::move(m_levels.back()));
            m_levels.pop_back();
        }
    }

    int LevelAt(QPoint global) const {
        for (int i = static_cast<int>(m_levels.size()) - 1; i >= 0; --i) {
            if (m_levels[static_cast<std::size_t>(i)]->ContainsGlobal(global)) {
                return i;
            }
        }
        return -1;
    }

    bool HasOpenSubMenu(int nLevel) const {
        return nLevel >= 0 && static_cast<std::size_t>(nLevel) + 1 < m_levels.size();
    }

    HMENU m_hRoot;
    UINT m_nFlags;
    PopupMenuOwner* m_pOwner;
    std::vector<std::unique_ptr<PopupLevel>> m_levels;
    std::vector<std::unique_ptr<PopupLevel>> m_closed;
    QEventLoop m_loop;
    QTimer m_subMenuTimer;
    UINT m_nChosen = 0;
    bool m_bDone = false;
};

Tracker* g_pTracker = nullptr;

PopupLevel::PopupLevel(Tracker& tracker, HMENU hMenu, QScreen* pScreen)
    : QWidget(nullptr, Qt::Popup | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint),
      m_tracker(tracker),
      m_hMenu(hMenu),
      m_pMenuFont(CreateMenuFont()) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    if (pScreen != nullptr) {
        setScreen(pScreen);
    }
    MeasureItems();
}

void PopupLevel::MeasureItems() {
    const int nCount = GetMenuItemCount(m_hMenu);
    const std::unique_ptr<DeviceContext> pScreenDC = GetDC();
    const Font* pOldFont = pScreenDC->GetCurrentFont();
    if (m_pMenuFont) {
        pScreenDC->SelectObject(m_pMenuFont.get());
    }
    int nWidth = 0;
    int y = kBorder;
    for (int i = 0; i < nCount; ++i) {
        int cx = 0;
        int cy = 0;
        if (IsOwnerDrawn(i)) {
            MEASUREITEMSTRUCT measure;
            measure.CtlType = ODT_MENU;
            measure.itemID = GetMenuItemID(m_hMenu, i);
            if (IsPopupItem(i)) {
                measure.itemID = static_cast<UINT>(ToId(GetSubMenu(m_hMenu, i)));
            }
            measure.itemData = GetMenuItemData(m_hMenu, static_cast<UINT>(i), MF_BYPOSITION);
            m_tracker.Owner()->OnMeasureItem(m_hMenu, &measure);
            cx = static_cast<int>(std::min<UINT>(measure.itemWidth, 4096)) + kOwnerDrawExtraWidth;
            cy = static_cast<int>(std::min<UINT>(measure.itemHeight, 1024));
        } else if (!CanSelect(i)) {
            cy = kPlainSeparatorHeight;
        } else {
            char16_t text[256] = {};
            GetMenuStringW(m_hMenu, static_cast<UINT>(i), text, 256, MF_BYPOSITION);
            RECT rect;
            pScreenDC->DrawText(std::u16string_view(text), &rect, DT_SINGLELINE | DT_CALCRECT);
            cx = rect.Width() + 2 * kPlainTextMargin;
            cy = std::max(GetSystemMetrics(SM_CYMENU), rect.Height());
        }
        nWidth = std::max(nWidth, cx);
        m_items.push_back(RECT{kBorder, y, kBorder, y + cy});
        y += cy;
    }
    pScreenDC->SelectObject(pOldFont);
    for (RECT& rect : m_items) {
        rect.right = kBorder + nWidth;
    }
    resize(std::max(nWidth, 1) + 2 * kBorder, std::max(y, 1) + kBorder);

    m_image = QImage(size(), QImage::Format_RGB32);
    m_pDC = std::make_unique<DeviceContext>(&m_image);
    if (m_pMenuFont) {
        m_pDC->SelectObject(m_pMenuFont.get());
    }
    m_pDC->FillSolidRect(0, 0, width(), height(), GetSysColor(COLOR_MENU));
    const Brush frame(GetSysColor(COLOR_BTNSHADOW));
    m_pDC->FrameRect(RECT{0, 0, width(), height()}, &frame);
    for (int i = 0; i < nCount; ++i) {
        PaintItem(i, ODA_DRAWENTIRE);
    }
}

void PopupLevel::PaintItem(int nPos, UINT nAction) {
    if (nPos < 0 || nPos >= ItemCount()) {
        return;
    }
    const RECT& rect = m_items[static_cast<std::size_t>(nPos)];
    const UINT nState = StateOf(nPos);
    const bool bSelected = nPos == m_nSelected;
    m_pDC->SetTextColor(GetSysColor(COLOR_MENUTEXT));
    m_pDC->SetBkColor(GetSysColor(COLOR_MENU));
    m_pDC->SetBkMode(OPAQUE);
    if (IsOwnerDrawn(nPos)) {
        DRAWITEMSTRUCT draw;
        draw.CtlType = ODT_MENU;
        draw.itemID = IsPopupItem(nPos) ? static_cast<UINT>(ToId(GetSubMenu(m_hMenu, nPos)))
                                        : GetMenuItemID(m_hMenu, nPos);
        draw.itemAction = nAction;
        draw.itemState = (bSelected ? ODS_SELECTED : 0) | ((nState & MF_GRAYED) ? ODS_GRAYED : 0) |
                         ((nState & MF_DISABLED) ? ODS_DISABLED : 0) |
                         ((nState & MF_CHECKED) ? ODS_CHECKED : 0);
        draw.hwndItem = m_hMenu;
        draw.hDC = m_pDC.get();
        draw.rcItem = rect;
        draw.itemData = GetMenuItemData(m_hMenu, static_cast<UINT>(nPos), MF_BYPOSITION);
        if (CMenu* pMenu = CMenu::FromHandle(m_hMenu)) {
            pMenu->DrawItem(&draw);
        }
    } else {
        PaintPlainItem(nPos, rect, nState, bSelected);
    }
    update(QRect(rect.left, rect.top, rect.Width(), rect.Height()));
}

void PopupLevel::PaintPlainItem(int nPos, const RECT& rect, UINT nState, bool bSelected) {
    if (!CanSelect(nPos)) {
        m_pDC->FillSolidRect(rect, GetSysColor(COLOR_MENU));
        RECT line = rect;
        line.top += rect.Height() / 2;
        m_pDC->DrawEdge(line, EDGE_ETCHED, BF_TOP);
        return;
    }
    m_pDC->FillSolidRect(rect, GetSysColor(bSelected ? COLOR_HIGHLIGHT : COLOR_MENU));
    m_pDC->SetBkMode(TRANSPARENT);
    m_pDC->SetTextColor(GetSysColor(!IsEnabled(nState) ? COLOR_GRAYTEXT
                                    : bSelected        ? COLOR_HIGHLIGHTTEXT
                                                       : COLOR_MENUTEXT));
    char16_t text[256] = {};
    GetMenuStringW(m_hMenu, static_cast<UINT>(nPos), text, 256, MF_BYPOSITION);
    RECT textRect = rect;
    textRect.left += kPlainTextMargin;
    m_pDC->DrawText(std::u16string_view(text), &textRect, DT_SINGLELINE | DT_VCENTER | DT_LEFT);
}

int PopupLevel::ItemAtGlobal(QPoint global) const {
    const QPoint local = mapFromGlobal(global);
    for (int i = 0; i < ItemCount(); ++i) {
        const RECT& rect = m_items[static_cast<std::size_t>(i)];
        if (local.x() >= rect.left && local.x() < rect.right && local.y() >= rect.top &&
            local.y() < rect.bottom) {
            return i;
        }
    }
    return -1;
}

QRect PopupLevel::ItemScreenRect(int nPos) const {
    const RECT& rect = m_items[static_cast<std::size_t>(nPos)];
    return QRect(mapToGlobal(QPoint(rect.left, rect.top)), QSize(rect.Width(), rect.Height()));
}

void PopupLevel::Select(int nPos) {
    if (nPos < -1 || nPos >= ItemCount() || nPos == m_nSelected) {
        return;
    }
    const int nOld = m_nSelected;
    m_nSelected = nPos;
    PaintItem(nOld, ODA_SELECT);
    PaintItem(m_nSelected, ODA_SELECT);
}

int PopupLevel::NextEnabled(int nFrom, int nStep) const {
    const int nCount = ItemCount();
    if (nCount == 0) {
        return -1;
    }
    int nPos = nFrom < 0 ? (nStep > 0 ? -1 : nCount) : nFrom;
    for (int i = 0; i < nCount; ++i) {
        nPos = ((nPos + nStep) % nCount + nCount) % nCount;
        if (CanSelect(nPos) && IsEnabled(StateOf(nPos))) {
            return nPos;
        }
    }
    return nFrom;
}

void PopupLevel::Place(QPoint topLeft) {
    QScreen* pScreen = screen();
    if (pScreen == nullptr) {
        pScreen = QGuiApplication::primaryScreen();
    }
    QPoint at = topLeft;
    if (pScreen != nullptr) {
        const QRect area = pScreen->availableGeometry();
        at.setX(std::max(area.left(), std::min(at.x(), area.right() + 1 - width())));
        at.setY(std::max(area.top(), std::min(at.y(), area.bottom() + 1 - height())));
    }
    move(at);
}

void PopupLevel::CloseByTracker() {
    m_bClosingByTracker = true;
    close();
}

void PopupLevel::paintEvent(QPaintEvent* pEvent) {
    QPainter painter(this);
    painter.drawImage(pEvent->rect(), m_image, pEvent->rect());
}

void PopupLevel::mouseMoveEvent(QMouseEvent* pEvent) {
    m_tracker.OnMouseMove(pEvent->globalPosition().toPoint());
}

void PopupLevel::mousePressEvent(QMouseEvent* pEvent) {
    m_tracker.OnMousePress(pEvent->globalPosition().toPoint(), pEvent->button());
}

void PopupLevel::mouseReleaseEvent(QMouseEvent* pEvent) {
    m_tracker.OnMouseRelease(pEvent->globalPosition().toPoint(), pEvent->button());
}

void PopupLevel::keyPressEvent(QKeyEvent* pEvent) {
    m_tracker.OnKey(pEvent);
}

void PopupLevel::closeEvent(QCloseEvent* pEvent) {
    QWidget::closeEvent(pEvent);
    if (!m_bClosingByTracker) {
        m_tracker.OnClosedFromOutside();
    }
}

}  // namespace

int TrackPopupMenu(HMENU hMenu, UINT nFlags, int x, int y, int /*nReserved*/,
                   PopupMenuOwner* pOwner, const RECT* /*pRect*/) {
    // One pop-up at a time, as the platform tracks one menu per thread.
    if (g_pTracker != nullptr || !IsMenu(hMenu)) {
        return 0;
    }
    // Without an owner, the platform's default answers: measured by the menu object, typed
    // characters ignored, no command told.
    PopupMenuOwner defaultOwner;
    if (pOwner == nullptr) {
        pOwner = &defaultOwner;
    }
    QWidget* pParent = pOwner->PopupParent();
    QScreen* pScreen = QGuiApplication::screenAt(QPoint(x, y));
    if (pScreen == nullptr && pParent != nullptr) {
        pScreen = pParent->screen();
    }
    UINT nChosen = 0;
    {
        Tracker tracker(hMenu, nFlags, pOwner);
        g_pTracker = &tracker;
        nChosen = tracker.Run(QPoint(x, y), pScreen);
        g_pTracker = nullptr;
    }
    if ((nFlags & TPM_RETURNCMD) != 0) {
        return static_cast<int>(nChosen);
    }
    if (nChosen == 0) {
        return FALSE;
    }
    pOwner->OnCommand(nChosen);
    return TRUE;
}

QWidget* ActivePopupMenuWindow() {
    return g_pTracker != nullptr ? g_pTracker->Innermost() : nullptr;
}

}  // namespace vesk::platform
