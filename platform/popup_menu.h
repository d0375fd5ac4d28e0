#pragma once

#include "menu.h"
#include "owner_draw.h"
#include "win_types.h"

class QWidget;

// The pop-up menu on screen: TrackPopupMenu opens a real pop-up window for a menu handle and
// runs until an item is chosen or the pop-up is dismissed.
namespace vesk::platform {

inline constexpr UINT TPM_LEFTALIGN = 0x0000;
inline constexpr UINT TPM_RIGHTBUTTON = 0x0002;
inline constexpr UINT TPM_NONOTIFY = 0x0080;
inline constexpr UINT TPM_RETURNCMD = 0x0100;

inline constexpr WORD MNC_CLOSE = 1;
inline constexpr WORD MNC_SELECT = 3;

// The window that owns a pop-up while it is open: the platform asks it to measure owner-drawn
// items (WM_MEASUREITEM), hands it typed characters that are no item's mnemonic (WM_MENUCHAR),
// and tells it the command chosen (WM_COMMAND) unless the caller asked for it back.
class PopupMenuOwner {
public:
    virtual ~PopupMenuOwner() = default;
    // The pop-up is placed on this window's screen and is its child; may be null.
    virtual QWidget* PopupParent() const { return nullptr; }
    // By default, the menu object attached to the handle measures the item.
    virtual void OnMeasureItem(HMENU hMenu, MEASUREITEMSTRUCT* pMeasure);
    // The answer of WM_MENUCHAR: MAKELRESULT(position, MNC_EXECUTE or MNC_SELECT), MNC_CLOSE in
    // the high word to dismiss, or 0 to ignore the key (the default).
    virtual LRESULT OnMenuChar(UINT nChar, UINT nFlags, HMENU hMenu);
    virtual void OnCommand(UINT nId);
};

// Opens the pop-up with its top-left corner at (x, y) in screen coordinates (moved to stay on
// the screen) and returns when it closes. Owner-drawn items are measured by the owner and
// painted by the menu object attached to their menu (CMenu::DrawItem), with the menu font
// selected. With TPM_RETURNCMD the result is the chosen command, 0 when dismissed, and the owner
// is told nothing; otherwise the result is TRUE when a command was chosen, which the owner then
// receives through OnCommand after the pop-up has closed.
int TrackPopupMenu(HMENU hMenu, UINT nFlags, int x, int y, int nReserved, PopupMenuOwner* pOwner,
                   const RECT* pRect = nullptr);

// For tests: the pop-up window open now (the innermost one when a sub-menu is open), or null.
QWidget* ActivePopupMenuWindow();

}  // namespace vesk::platform
