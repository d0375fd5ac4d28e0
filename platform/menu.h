#pragma once

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

// A menu handle. It fits 32 bits, as menu handles do, so that it can stand where a command
// identifier stands.
enum class HMENU : std::uint32_t {};
inline constexpr HMENU kNoMenu = HMENU{0};

constexpr UINT_PTR ToId(HMENU hMenu) {
    return static_cast<UINT_PTR>(hMenu);
}
constexpr HMENU MenuFromId(UINT_PTR nId) {
    return HMENU{static_cast<std::uint32_t>(nId)};
}

// Menu flags.
inline constexpr UINT MF_STRING = 0x0000;
inline constexpr UINT MF_BYCOMMAND = 0x0000;
inline constexpr UINT MF_ENABLED = 0x0000;
inline constexpr UINT MF_UNCHECKED = 0x0000;
inline constexpr UINT MF_GRAYED = 0x0001;
inline constexpr UINT MF_DISABLED = 0x0002;
inline constexpr UINT MF_BITMAP = 0x0004;
inline constexpr UINT MF_CHECKED = 0x0008;
inline constexpr UINT MF_POPUP = 0x0010;
inline constexpr UINT MF_MENUBARBREAK = 0x0020;
inline constexpr UINT MF_MENUBREAK = 0x0040;
inline constexpr UINT MF_HILITE = 0x0080;
inline constexpr UINT MF_END = 0x0080;
inline constexpr UINT MF_OWNERDRAW = 0x0100;
inline constexpr UINT MF_BYPOSITION = 0x0400;
inline constexpr UINT MF_SEPARATOR = 0x0800;
inline constexpr UINT MF_DEFAULT = 0x1000;

// WM_MENUCHAR answers.
inline constexpr WORD MNC_IGNORE = 0;
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
// Returns the previous check state (MF_CHECKED or MF_UNCHECKED), kNotFound for no item.
UINT CheckMenuItem(HMENU hMenu, UINT nIdCheckItem, UINT nCheck);
// Returns the previous state (MF_ENABLED, MF_GRAYED, MF_DISABLED), kNotFound for no item.
UINT EnableMenuItem(HMENU hMenu, UINT nIdEnableItem, UINT nEnable);

// The check-mark bitmaps of an item, as GetMenuItemInfo reports them with MIIM_CHECKMARKS.
inline constexpr UINT MIIM_CHECKMARKS = 0x0008;
struct MENUITEMINFO {
    UINT cbSize = 44;
    UINT fMask = 0;
    const Bitmap* hbmpChecked = nullptr;
    const Bitmap* hbmpUnchecked = nullptr;
};
// FALSE for no item or a structure size other than 44.
BOOL GetMenuItemInfo(HMENU hMenu, UINT nItem, BOOL bByPosition, MENUITEMINFO* pInfo);
BOOL SetMenuItemBitmaps(HMENU hMenu, UINT nPosition, UINT nFlags, const Bitmap* pUnchecked,
                        const Bitmap* pChecked);

// The number of menus alive, for tests that look for menus left behind.
std::size_t LiveMenuCount();

// The platform's menu wrapper. An object attached to a handle is that handle's permanent object:
// FromHandle finds it. For a handle without one, FromHandle makes a temporary wrapper that lives
// until DeleteTempMap. Destroying an object destroys the menu still attached to it.
class CMenu {
public:
    CMenu() = default;
    virtual ~CMenu();
    CMenu(const CMenu&) = delete;
    CMenu& operator=(const CMenu&) = delete;

    HMENU m_hMenu = kNoMenu;

    static CMenu* FromHandle(HMENU hMenu);
    // Deletes the temporary wrappers (detached first: they own nothing).
    static void DeleteTempMap();

    BOOL Attach(HMENU hMenu);
    HMENU Detach();
    BOOL CreateMenu();
    BOOL CreatePopupMenu();
    BOOL DestroyMenu();

    BOOL AppendMenu(UINT nFlags, UINT_PTR nIdNewItem, const void* lpNewItem);
    BOOL InsertMenu(UINT nPosition, UINT nFlags, UINT_PTR nIdNewItem, const void* lpNewItem);
    BOOL ModifyMenu(UINT nPosition, UINT nFlags, UINT_PTR nIdNewItem, const void* lpNewItem);
    BOOL RemoveMenu(UINT nPosition, UINT nFlags);
    int GetMenuItemCount() const;
    UINT GetMenuItemID(int nPos) const;
    UINT GetMenuState(UINT nId, UINT nFlags) const;
    CMenu* GetSubMenu(int nPos) const;

private:
    static std::map<HMENU, CMenu*>& PermanentMap();
    static std::map<HMENU, std::unique_ptr<CMenu>>& TempMap();
};

}  // namespace vesk::platform
