#include "menu.h"

#include "code_page.h"

#include <algorithm>
#include <vector>

namespace vesk::platform {

namespace {

// What an item stores: type and state flags (never MF_BYPOSITION), its command or its pop-up's
// handle, the text of a string item, the data of an owner-drawn one.
struct MenuItem {
    UINT nFlags = 0;
    UINT_PTR nId = 0;
    std::u16string text;
    ULONG_PTR nData = 0;
    const Bitmap* pChecked = nullptr;
    const Bitmap* pUnchecked = nullptr;
};

struct MenuObject {
    bool bPopup = false;
    std::vector<MenuItem> items;
};

// Handles are never used twice, so IsMenu stays false for a destroyed menu.
struct MenuStore {
    std::map<std::uint32_t, MenuObject> menus;
    std::uint32_t nNext = 0x1000;
};

MenuStore& Store() {
    static MenuStore store;
    return store;
}

MenuObject* Find(HMENU hMenu) {
    auto it = Store().menus.find(static_cast<std::uint32_t>(hMenu));
    return it == Store().menus.end() ? nullptr : &it->second;
}

HMENU Create(bool bPopup) {
    MenuStore& store = Store();
    store.nNext += 4;
    store.menus[store.nNext].bPopup = bPopup;
    return HMENU{store.nNext};
}

// The menu and index of an item: by position in this menu, or by command, looked for depth
// first, a pop-up's items before the pop-up item itself (whose command is its handle).
struct Located {
    MenuObject* pMenu = nullptr;
    HMENU hMenu = kNoMenu;
    std::size_t nIndex = 0;
};

Located Locate(HMENU hMenu, UINT nItem, UINT nFlags, int nDepth = 0) {
    MenuObject* pMenu = Find(hMenu);
    if (pMenu == nullptr) {
        return {};
    }
    if ((nFlags & MF_BYPOSITION) != 0) {
        if (nItem < pMenu->items.size()) {
            return {pMenu, hMenu, nItem};
        }
        return {};
    }
    for (std::size_t i = 0; i < pMenu->items.size(); ++i) {
        const MenuItem& item = pMenu->items[i];
        if ((item.nFlags & MF_POPUP) != 0 && nDepth < 64) {
            Located inner = Locate(MenuFromId(item.nId), nItem, nFlags, nDepth + 1);
            if (inner.pMenu != nullptr) {
                return inner;
            }
        }
        if (item.nId == nItem) {
            return {pMenu, hMenu, i};
        }
    }
    return {};
}

constexpr UINT kStoredFlags = ~MF_BYPOSITION;

MenuItem MakeItem(UINT nFlags, UINT_PTR nIdNewItem, const void* lpNewItem) {
    MenuItem item;
    item.nFlags = nFlags & kStoredFlags;
    item.nId = nIdNewItem;
    if ((nFlags & MF_OWNERDRAW) != 0) {
        item.nData = reinterpret_cast<ULONG_PTR>(lpNewItem);
    } else if ((nFlags & (MF_SEPARATOR | MF_BITMAP)) == 0 && lpNewItem != nullptr) {
        item.text = static_cast<const char16_t*>(lpNewItem);
    }
    return item;
}

bool IsStringItem(const MenuItem& item) {
    return (item.nFlags & (MF_OWNERDRAW | MF_SEPARATOR | MF_BITMAP)) == 0;
}

template <typename Char>
int CopyText(const std::basic_string<Char>& text, Char* pszString, int nMaxCount) {
    if (pszString == nullptr) {
        return static_cast<int>(text.size());
    }
    if (nMaxCount <= 0) {
        return 0;
    }
    const std::size_t n = std::min(text.size(), static_cast<std::size_t>(nMaxCount - 1));
    std::copy_n(text.begin(), n, pszString);
    pszString[n] = Char{};
    return static_cast<int>(n);
}

}  // namespace

HMENU CreateMenu() {
    return Create(false);
}

HMENU CreatePopupMenu() {
    return Create(true);
}

BOOL DestroyMenu(HMENU hMenu) {
    MenuObject* pMenu = Find(hMenu);
    if (pMenu == nullptr) {
        return FALSE;
    }
    const std::vector<MenuItem> items = std::move(pMenu->items);
    Store().menus.erase(static_cast<std::uint32_t>(hMenu));
    for (const MenuItem& item : items) {
        if ((item.nFlags & MF_POPUP) != 0) {
            DestroyMenu(MenuFromId(item.nId));
        }
    }
    return TRUE;
}

BOOL IsMenu(HMENU hMenu) {
    return Find(hMenu) != nullptr ? TRUE : FALSE;
}

BOOL AppendMenuW(HMENU hMenu, UINT nFlags, UINT_PTR nIdNewItem, const void* lpNewItem) {
    MenuObject* pMenu = Find(hMenu);
    if (pMenu == nullptr || ((nFlags & MF_POPUP) != 0 && !IsMenu(MenuFromId(nIdNewItem)))) {
        return FALSE;
    }
    pMenu->items.push_back(MakeItem(nFlags, nIdNewItem, lpNewItem));
    return TRUE;
}

BOOL InsertMenuW(HMENU hMenu, UINT nPosition, UINT nFlags, UINT_PTR nIdNewItem,
                 const void* lpNewItem) {
    if ((nFlags & MF_POPUP) != 0 && !IsMenu(MenuFromId(nIdNewItem))) {
        return FALSE;
    }
    if ((nFlags & MF_BYPOSITION) != 0) {
        MenuObject* pMenu = Find(hMenu);
        if (pMenu == nullptr) {
            return FALSE;
        }
        const std::size_t nAt = std::min<std::size_t>(nPosition, pMenu->items.size());
        pMenu->items.insert(pMenu->items.begin() + static_cast<std::ptrdiff_t>(nAt),
                            MakeItem(nFlags, nIdNewItem, lpNewItem));
        return TRUE;
    }
    const Located at = Locate(hMenu, nPosition, nFlags);
    if (at.pMenu == nullptr) {
        return FALSE;
    }
    at.pMenu->items.insert(at.pMenu->items.begin() + static_cast<std::ptrdiff_t>(at.nIndex),
                           MakeItem(nFlags, nIdNewItem, lpNewItem));
    return TRUE;
}

BOOL ModifyMenuW(HMENU hMenu, UINT nPosition, UINT nFlags, UINT_PTR nIdNewItem,
                 const void* lpNewItem) {
    const Located at = Locate(hMenu, nPosition, nFlags);
    if (at.pMenu == nullptr || ((nFlags & MF_POPUP) != 0 && !IsMenu(MenuFromId(nIdNewItem)))) {
        return FALSE;
    }
    MenuItem& item = at.pMenu->items[at.nIndex];
    const MenuItem old = item;
    item = MakeItem(nFlags, nIdNewItem, lpNewItem);
    // A pop-up that an item no longer opens is destroyed with the change.
    if ((old.nFlags & MF_POPUP) != 0 && (item.nFlags & MF_POPUP) == 0) {
        DestroyMenu(MenuFromId(old.nId));
    }
    return TRUE;
}

BOOL ModifyMenuA(HMENU hMenu, UINT nPosition, UINT nFlags, UINT_PTR nIdNewItem,
                 const char* pszNewItem) {
    if ((nFlags & (MF_OWNERDRAW | MF_SEPARATOR | MF_BITMAP)) != 0 || pszNewItem == nullptr) {
        return ModifyMenuW(hMenu, nPosition, nFlags, nIdNewItem, pszNewItem);
    }
    const std::u16string text = GbkToUtf16(pszNewItem);
    return ModifyMenuW(hMenu, nPosition, nFlags, nIdNewItem, text.c_str());
}

BOOL RemoveMenu(HMENU hMenu, UINT nPosition, UINT nFlags) {
    const Located at = Locate(hMenu, nPosition, nFlags);
    if (at.pMenu == nullptr) {
        return FALSE;
    }
    at.pMenu->items.erase(at.pMenu->items.begin() + static_cast<std::ptrdiff_t>(at.nIndex));
    return TRUE;
}

int GetMenuItemCount(HMENU hMenu) {
    const MenuObject* pMenu = Find(hMenu);
    return pMenu == nullptr ? -1 : static_cast<int>(pMenu->items.size());
}

UINT GetMenuItemID(HMENU hMenu, int nPos) {
    const Located at = Locate(hMenu, static_cast<UINT>(nPos), MF_BYPOSITION);
    if (nPos < 0 || at.pMenu == nullptr) {
        return kNotFound;
    }
    const MenuItem& item = at.pMenu->items[at.nIndex];
    return (item.nFlags & MF_POPUP) != 0 ? kNotFound : static_cast<UINT>(item.nId);
}

UINT GetMenuState(HMENU hMenu, UINT nId, UINT nFlags) {
    const Located at = Locate(hMenu, nId, nFlags);
    if (at.pMenu == nullptr) {
        return kNotFound;
    }
    const MenuItem& item = at.pMenu->items[at.nIndex];
    if ((item.nFlags & MF_POPUP) != 0) {
        const int nCount = GetMenuItemCount(MenuFromId(item.nId));
        return static_cast<UINT>(std::max(nCount, 0)) << 8 | (item.nFlags & 0xFF);
    }
    return item.nFlags;
}

HMENU GetSubMenu(HMENU hMenu, int nPos) {
    const Located at = Locate(hMenu, static_cast<UINT>(nPos), MF_BYPOSITION);
    if (nPos < 0 || at.pMenu == nullptr) {
        return kNoMenu;
    }
    const MenuItem& item = at.pMenu->items[at.nIndex];
    return (item.nFlags & MF_POPUP) != 0 ? MenuFromId(item.nId) : kNoMenu;
}

int GetMenuStringW(HMENU hMenu, UINT nIdItem, char16_t* pszString, int nMaxCount, UINT nFlags) {
    const Located at = Locate(hMenu, nIdItem, nFlags);
    if (at.pMenu == nullptr) {
        return 0;
    }
    const MenuItem& item = at.pMenu->items[at.nIndex];
    return CopyText(IsStringItem(item) ? item.text : std::u16string(), pszString, nMaxCount);
}

int GetMenuStringA(HMENU hMenu, UINT nIdItem, char* pszString, int nMaxCount, UINT nFlags) {
    const Located at = Locate(hMenu, nIdItem, nFlags);
    if (at.pMenu == nullptr) {
        return 0;
    }
    const MenuItem& item = at.pMenu->items[at.nIndex];
    return CopyText(IsStringItem(item) ? Utf16ToGbk(item.text) : std::string(), pszString,
                    nMaxCount);
}

ULONG_PTR GetMenuItemData(HMENU hMenu, UINT nIdItem, UINT nFlags) {
    const Located at = Locate(hMenu, nIdItem, nFlags);
    return at.pMenu == nullptr ? 0 : at.pMenu->items[at.nIndex].nData;
}

BOOL GetMenuItemInfo(HMENU hMenu, UINT nItem, BOOL bByPosition, MENUITEMINFO* pInfo) {
    const Located at = Locate(hMenu, nItem, bByPosition ? MF_BYPOSITION : MF_BYCOMMAND);
    if (at.pMenu == nullptr || pInfo == nullptr || pInfo->cbSize != 44) {
        return FALSE;
    }
    if ((pInfo->fMask & MIIM_CHECKMARKS) != 0) {
        pInfo->hbmpChecked = at.pMenu->items[at.nIndex].pChecked;
        pInfo->hbmpUnchecked = at.pMenu->items[at.nIndex].pUnchecked;
    }
    if ((pInfo->fMask & MIIM_FTYPE) != 0) {
        pInfo->fType =
            at.pMenu->items[at.nIndex].nFlags & (MF_OWNERDRAW | MF_SEPARATOR | MF_BITMAP);
    }
    return TRUE;
}

BOOL SetMenuItemBitmaps(HMENU hMenu, UINT nPosition, UINT nFlags, const Bitmap* pUnchecked,
                        const Bitmap* pChecked) {
    const Located at = Locate(hMenu, nPosition, nFlags);
    if (at.pMenu == nullptr) {
        return FALSE;
    }
    at.pMenu->items[at.nIndex].pChecked = pChecked;
    at.pMenu->items[at.nIndex].pUnchecked = pUnchecked;
    return TRUE;
}

std::size_t LiveMenuCount() {
    return Store().menus.size();
}

std::map<HMENU, CMenu*>& CMenu::PermanentMap() {
    static std::map<HMENU, CMenu*> map;
    return map;
}

CMenu::~CMenu() {
    DestroyMenu();
}

CMenu* CMenu::FromHandle(HMENU hMenu) {
    if (hMenu == kNoMenu) {
        return nullptr;
    }
    const auto it = PermanentMap().find(hMenu);
    return it == PermanentMap().end() ? nullptr : it->second;
}

void CMenu::DrawItem(DRAWITEMSTRUCT* /*pDraw*/) {}

void CMenu::MeasureItem(MEASUREITEMSTRUCT* /*pMeasure*/) {}

BOOL CMenu::Attach(HMENU hMenu) {
    if (hMenu == kNoMenu || m_hMenu != kNoMenu) {
        return FALSE;
    }
    m_hMenu = hMenu;
    PermanentMap()[hMenu] = this;
    return TRUE;
}

HMENU CMenu::Detach() {
    const HMENU hMenu = m_hMenu;
    if (hMenu != kNoMenu) {
        if (auto it = PermanentMap().find(hMenu);
            it != PermanentMap().end() && it->second == this) {
            PermanentMap().erase(it);
        }
    }
    m_hMenu = kNoMenu;
    return hMenu;
}

BOOL CMenu::CreateMenu() {
    return Attach(platform::CreateMenu());
}

BOOL CMenu::CreatePopupMenu() {
    return Attach(platform::CreatePopupMenu());
}

BOOL CMenu::DestroyMenu() {
    if (m_hMenu == kNoMenu) {
        return FALSE;
    }
    return platform::DestroyMenu(Detach());
}

BOOL CMenu::AppendMenu(UINT nFlags, UINT_PTR nIdNewItem, const void* lpNewItem) {
    return AppendMenuW(m_hMenu, nFlags, nIdNewItem, lpNewItem);
}

BOOL CMenu::InsertMenu(UINT nPosition, UINT nFlags, UINT_PTR nIdNewItem, const void* lpNewItem) {
    return InsertMenuW(m_hMenu, nPosition, nFlags, nIdNewItem, lpNewItem);
}

BOOL CMenu::RemoveMenu(UINT nPosition, UINT nFlags) {
    return platform::RemoveMenu(m_hMenu, nPosition, nFlags);
}

int CMenu::GetMenuItemCount() const {
    return platform::GetMenuItemCount(m_hMenu);
}

UINT CMenu::GetMenuItemID(int nPos) const {
    return platform::GetMenuItemID(m_hMenu, nPos);
}

UINT CMenu::GetMenuState(UINT nId, UINT nFlags) const {
    return platform::GetMenuState(m_hMenu, nId, nFlags);
}

CMenu* CMenu::GetSubMenu(int nPos) const {
    return FromHandle(platform::GetSubMenu(m_hMenu, nPos));
}

}  // namespace vesk::platform
