#pragma once

#include "owner_draw.h"
#include "win_types.h"

#include <map>
#include <memory>
#include <string>
#include <string_view>

// The native menu model, with the platform's semantics: items by position or by command (a
// command is looked for in sub-menus too), item data of owner-drawn items, pop-up items that
// report their item count in the high byte of their state, handles that can be tested with
// IsMenu after they were destroyed.
namespace vesk::platform {

class Bitmap;

// Menu flags.
inline constexpr UINT MF_STRING = 0x0000;
inline constexpr UINT MF_BYCOMMAND = 0x0000;
inline constexpr UINT MF_GRAYED = 0x0001;
inline constexpr UINT MF_DISABLED = 0x0002;
inline constexpr UINT MF_BITMAP = 0x0004;
inline constexpr UINT MF_CHECKED = 0x0008;
inline constexpr UINT MF_POPUP = 0x0010;
inline constexpr UINT MF_END = 0x0080;
inline constexpr UINT MF_OWNERDRAW = 0x0100;
inline constexpr UINT MF_BYPOSITION = 0x0400;
inline constexpr UINT MF_SEPARATOR = 0x0800;

// WM_MENUCHAR answers.
inline constexpr WORD MNC_EXECUTE = 2;

inline constexpr UINT kNotFound = 0xFFFFFFFF;

HMENU CreateMenu();
HMENU CreatePopupMenu();
// Destroys the menu and, first, the pop-ups its items open.
BOOL DestroyMenu(HMENU hMenu);
BOOL IsMenu(HMENU hMenu);

// lpNewItem is the item's text for a string item and its item data for an owner-drawn one;
// a pop-up item's nIdNewItem is the pop-up's handle.
BOOL AppendMenuW(HMENU hMenu, UINT nFlags, UINT_PTR nIdNewItem, const void* lpNewItem);
// Inserts in front of the item at a position (past the end: at the end) or holding a command.
BOOL InsertMenuW(HMENU hMenu, UINT nPosition, UINT nFlags, UINT_PTR nIdNewItem,
                 const void* lpNewItem);
BOOL ModifyMenuW(HMENU hMenu, UINT nPosition, UINT nFlags, UINT_PTR nIdNewItem,
                 const void* lpNewItem);
// The same with narrow text, converted with the ANSI code page.
BOOL ModifyMenuA(HMENU hMenu, UINT nPosition, UINT nFlags, UINT_PTR nIdNewItem,
                 const char* pszNewItem);
// Removes the item; a pop-up it opened is not destroyed.
BOOL RemoveMenu(HMENU hMenu, UINT nPosition, UINT nFlags);

int GetMenuItemCount(HMENU hMenu);
// The command of the item at a position; kNotFound for a pop-up item or no item.
UINT GetMenuItemID(HMENU hMenu, int nPos);
// The item's flags; for a pop-up item the item count of the pop-up in the high byte and the
// flags' low byte; kNotFound for no item.
UINT GetMenuState(HMENU hMenu, UINT nId, UINT nFlags);
HMENU GetSubMenu(HMENU hMenu, int nPos);
// The text of a string item (empty for others), as narrow text; with no buffer, its length.
int GetMenuStringA(HMENU hMenu, UINT nIdItem, char* pszString, int nMaxCount, UINT nFlags);
int GetMenuStringW(HMENU hMenu, UINT nIdItem, char16_t* pszString, int nMaxCount, UINT nFlags);
// The item data of an owner-drawn item (0 for others or for no item).
ULONG_PTR GetMenuItemData(HMENU hMenu, UINT nIdItem, UINT nFlags);
// What GetMenuItemInfo reports: with MIIM_CHECKMARKS the check-mark bitmaps, with MIIM_FTYPE the
// item's type flags (MF_OWNERDRAW, MF_SEPARATOR, MF_BITMAP), which GetMenuState leaves out for
// a pop-up item.
inline constexpr UINT MIIM_CHECKMARKS = 0x0008;
inline constexpr UINT MIIM_FTYPE = 0x0100;
struct MENUITEMINFO {
    UINT cbSize = 44;
    UINT fMask = 0;
    UINT fType = 0;
    const Bitmap* hbmpChecked = nullptr;
    const Bitmap* hbmpUnchecked = nullptr;
};
// FALSE for no item or a structure size other than 44.
BOOL GetMenuItemInfo(HMENU hMenu, UINT nItem, BOOL bByPosition, MENUITEMINFO* pInfo);
// Gives an item its check-mark bitmaps, which GetMenuItemInfo reports.
BOOL SetMenuItemBitmaps(HMENU hMenu, UINT nPosition, UINT nFlags, const Bitmap* pUnchecked,
                        const Bitmap* pChecked);

// The number of menus alive, for tests that look for menus left behind.
std::size_t LiveMenuCount();

// The platform's menu wrapper. An object attached to a handle is that handle's object: FromHandle
// finds it, and a pop-up on screen asks it to measure and draw the handle's owner-drawn items.
// Destroying an object destroys the menu still attached to it.
class CMenu {
public:
    CMenu() = default;
    virtual ~CMenu();
    CMenu(const CMenu&) = delete;
    CMenu& operator=(const CMenu&) = delete;

    HMENU m_hMenu = kNoMenu;

    // The object attached to the handle, or null.
    static CMenu* FromHandle(HMENU hMenu);

    BOOL Attach(HMENU hMenu);
    HMENU Detach();
    BOOL CreateMenu();
    BOOL CreatePopupMenu();
    BOOL DestroyMenu();

    BOOL AppendMenu(UINT nFlags, UINT_PTR nIdNewItem, const void* lpNewItem);
    BOOL InsertMenu(UINT nPosition, UINT nFlags, UINT_PTR nIdNewItem, const void* lpNewItem);
    BOOL RemoveMenu(UINT nPosition, UINT nFlags);
    int GetMenuItemCount() const;
    UINT GetMenuItemID(int nPos) const;
    UINT GetMenuState(UINT nId, UINT nFlags) const;
    // The object attached to the pop-up at a position, or null.
    CMenu* GetSubMenu(int nPos) const;

    // The owner-draw requests of the menu's items; a plain menu draws and measures nothing.
    virtual void DrawItem(DRAWITEMSTRUCT* pDraw);
    virtual void MeasureItem(MEASUREITEMSTRUCT* pMeasure);

private:
    static std::map<HMENU, CMenu*>& PermanentMap();
};

}  // namespace vesk::platform
