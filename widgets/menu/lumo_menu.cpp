#include "lumo_menu.h"

#include "code_page.h"
#include "device_context.h"
#include "system.h"

#include <QChar>
#include <algorithm>
#include <cstring>

namespace vesk {

using namespace platform;

LumoMenu::Settings LumoMenu::settings;
std::vector<HMENU> LumoMenu::ownedMenuHandles;

void LumoMenu::ResetSettings() {
    settings = Settings{};
}

namespace {

constexpr UINT kSeparatorFlags = MF_SEPARATOR | MF_OWNERDRAW;
constexpr UINT kSeparatorByPosition = MF_BYPOSITION | MF_SEPARATOR | MF_OWNERDRAW;
constexpr UINT kOwnerDrawnByPosition = MF_BYPOSITION | MF_OWNERDRAW;
constexpr UINT kOwnerDrawnPopupByPosition = MF_BYPOSITION | MF_OWNERDRAW | MF_POPUP;
constexpr UINT kBarPopup = MF_BYPOSITION | MF_POPUP;
constexpr UINT kBarString = MF_BYPOSITION | MF_STRING;

void EraseAll(std::vector<HMENU>& handles, HMENU hMenu) {
    handles.erase(std::remove(handles.begin(), handles.end(), hMenu), handles.end());
}

void EraseLast(std::vector<HMENU>& handles, HMENU hMenu) {
    const auto it = std::find(handles.rbegin(), handles.rend(), hMenu);
    if (it != handles.rend()) {
        handles.erase(std::next(it).base());
    }
}

int TextWidth(const DeviceContext& dc, const std::string& strText) {
    SIZE size;
    return dc.GetTextExtentPoint32A(strText.data(), static_cast<int>(strText.size()), &size)
               ? size.cx
               : 0;
}

std::u16string NativeText(HMENU hMenu, int nPos) {
    const int nLength = GetMenuStringW(hMenu, static_cast<UINT>(nPos), nullptr, 0, MF_BYPOSITION);
    std::u16string text(static_cast<std::size_t>(nLength) + 1, u'\0');
    const int nCopied =
        GetMenuStringW(hMenu, static_cast<UINT>(nPos), text.data(), nLength + 1, MF_BYPOSITION);
    text.resize(static_cast<std::size_t>(nCopied));
    return text;
}

// Reads a MENU template front to back, never past its end.
class TemplateReader {
public:
    explicit TemplateReader(std::string_view bytes) : m_bytes(bytes) {}

    bool Word(std::uint16_t& nValue) {
        if (m_nPos + 2 > m_bytes.size()) {
            return false;
        }
        nValue = static_cast<std::uint16_t>(static_cast<unsigned char>(m_bytes[m_nPos]) |
                                            static_cast<unsigned char>(m_bytes[m_nPos + 1]) << 8);
        m_nPos += 2;
        return true;
    }
    bool Text(std::u16string& text) {
        text.clear();
        for (std::uint16_t c; Word(c);) {
            if (c == 0) {
                return true;
            }
            text.push_back(static_cast<char16_t>(c));
        }
        return false;
    }
    bool Skip(std::size_t nBytes) {
        if (m_nPos + nBytes > m_bytes.size()) {
            return false;
        }
        m_nPos += nBytes;
        return true;
    }

private:
    std::string_view m_bytes;
    std::size_t m_nPos = 0;
};

}  // namespace

LumoMenu::~LumoMenu() {
    ReleaseAll();
}

int LumoMenu::DetectOsVersion() {
    const DWORD dwVersion = GetVersion();
    const bool bWindows9x = (dwVersion & 0x80000000) != 0;
    // Every branch but the last answer (1) is reached only with an old version tests inject.
    if (bWindows9x && (dwVersion & 0xFF) < 4) {
        return 0;
    }
    const auto pInfo = std::make_unique<OSVERSIONINFOA>();
    pInfo->dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
    GetVersionExA(pInfo.get());
    const DWORD dwMajor = pInfo->dwMajorVersion;
    const DWORD dwMinor = pInfo->dwMinorVersion;
    if (bWindows9x) {
        if (dwMajor == 4 && dwMinor == 10) {
            return 3;
        }
        if (dwMajor == 4 && dwMinor == 90) {
            return 4;
        }
        return 2;
    }
    if (dwMajor == 4) {
        return 5;
    }
    if (dwMajor == 5 && dwMinor == 0) {
        return 6;
    }
    if (dwMajor == 5 && dwMinor == 1) {
        return 7;
    }
    return 1;
}

BOOL LumoMenu::HasModernShell() {
    return settings.osVersionCode > 1;
}

BOOL LumoMenu::IsThemedXP() {
    // True only for the old system version, which tests inject; at run time the code is 1.
    return settings.osVersionCode == 7 && !IsClassicTheme();
}

BOOL LumoMenu::IsFlatStyle() {
    return (IsThemedXP() ? settings.drawModeThemed : settings.drawModeOther) == 1;
}

BOOL LumoMenu::IsClassicTheme() {
    // Reached only when the version query reports the old system (code 7), as tests inject it.
    if (settings.classicThemeComputed) {
        return settings.classicThemeActive;
    }
    settings.classicThemeComputed = TRUE;
    HKEY hKey{};
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Plus!\\Themes\\Current", 0, KEY_READ,
                      &hKey) != ERROR_SUCCESS) {
        return FALSE;
    }
    unsigned char buffer[260] = {};
    DWORD dwSize = sizeof buffer;
    if (RegQueryValueExA(hKey, nullptr, nullptr, nullptr, buffer, &dwSize) == ERROR_SUCCESS) {
        const std::string strValue(reinterpret_cast<const char*>(buffer),
                                   strnlen(reinterpret_cast<const char*>(buffer), sizeof buffer));
        constexpr std::string_view kClassic = "Windows Classic.theme";
        if (strValue.size() >= kClassic.size() &&
            std::equal(kClassic.begin(), kClassic.end(), strValue.end() - kClassic.size(),
                       [](char a, char b) {
                           const auto lower = [](char c) {
                               return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
                           };
                           return lower(a) == lower(b);
                       })) {
            settings.classicThemeActive = TRUE;
        }
    }
    RegCloseKey(hKey);
    return settings.classicThemeActive;
}

BOOL LumoMenu::IsOwnedMenu(const CMenu* pMenu) {
    return pMenu != nullptr && IsOwnedMenu(pMenu->m_hMenu);
}

BOOL LumoMenu::IsOwnedMenu(HMENU hMenu) {
    return std::find(ownedMenuHandles.begin(), ownedMenuHandles.end(), hMenu) !=
           ownedMenuHandles.end();
}

int LumoMenu::SharedImageIndexOf(UINT nCommand) {
    const auto it = std::find(settings.sharedImageCommands.begin(),
                              settings.sharedImageCommands.end(), nCommand);
    return it == settings.sharedImageCommands.end()
               ? -1
               : static_cast<int>(std::distance(settings.sharedImageCommands.begin(), it));
}

void LumoMenu::SetImageSize(int nWidth, int nHeight) {
    imageWidth = nWidth;
    imageHeight = nHeight;
}

void LumoMenu::SetImageBackground(COLORREF colour) {
    imageBackground = colour;
    imageBackgroundSet = TRUE;
}

CMenu* LumoMenu::SubMenuAt(int nPos) const {
    return CMenu::FromHandle(platform::GetSubMenu(m_hMenu, nPos));
}

void LumoMenu::ReleaseAll() {
    EraseAll(ownedMenuHandles, m_hMenu);
    // Pop-ups are owned through their handles: each LumoMenu behind one goes with its own tree.
    for (auto it = subMenus.rbegin(); it != subMenus.rend(); ++it) {
        EraseAll(ownedMenuHandles, *it);
        delete dynamic_cast<LumoMenu*>(CMenu::FromHandle(*it));
    }
    subMenus.clear();
    items.clear();
    DestroyMenu();
}

BOOL LumoMenu::LoadTemplate(UINT nId) {
    const std::optional<std::string_view> bytes = FindResource(nId, RT_MENU);
    return bytes ? BuildFromTemplate(*bytes) : FALSE;
}

BOOL LumoMenu::LoadTemplate(const char* pszName) {
    if (pszName == nullptr) {
        return FALSE;
    }
    const std::optional<std::string_view> bytes = FindResource(std::string(pszName), RT_MENU);
    return bytes ? BuildFromTemplate(*bytes) : FALSE;
}

void LumoMenu::MakeBarOfStrings() {
    const int nCount = GetMenuItemCount();
    for (int nPos = 0; nPos < nCount && static_cast<std::size_t>(nPos) < items.size(); ++nPos) {
        LumoMenuItem& record = *items[static_cast<std::size_t>(nPos)];
        const std::string strText = record.GetItemTextA();
        if ((GetMenuState(static_cast<UINT>(nPos), MF_BYPOSITION) & MF_POPUP) != 0) {
            record.menuFlags = kBarPopup;
            ModifyMenuA(m_hMenu, static_cast<UINT>(nPos), kBarPopup,
                        ToId(platform::GetSubMenu(m_hMenu, nPos)), strText.c_str());
        } else {
            record.menuFlags = kBarString;
            ModifyMenuA(m_hMenu, static_cast<UINT>(nPos), kBarString, record.commandId,
                        strText.c_str());
        }
    }
}

BOOL LumoMenu::BuildFromTemplate(std::string_view bytes) {
    ReleaseAll();
    if (!CreateMenu()) {
        return FALSE;
    }
    TemplateReader reader(bytes);
    std::uint16_t nVersion = 0;
    std::uint16_t nHeaderSize = 0;
    if (!reader.Word(nVersion) || !reader.Word(nHeaderSize) || !reader.Skip(nHeaderSize)) {
        return FALSE;
    }
    // The levels being built, each with its end mark: set, the level ends with its current item.
    struct Level {
        LumoMenu* pMenu;
        bool bEnds;
    };
    std::vector<Level> levels{{this, false}};
    while (!levels.empty()) {
        std::uint16_t nFlags = 0;
        std::uint16_t nId = 0;
        std::u16string text;
        if (!reader.Word(nFlags) || ((nFlags & MF_POPUP) == 0 && !reader.Word(nId)) ||
            !reader.Text(text)) {
            return FALSE;  // cut short: what was built stays, and is released with the menu
        }
        const UINT nPassed = nFlags & ~MF_END;
        if ((nFlags & MF_POPUP) != 0) {
            if ((nFlags & MF_END) != 0) {
                levels.back().bEnds = true;
            }
            auto* pPopup = new LumoMenu;  // owned through its handle from the next line on
            pPopup->CreatePopupMenu();
            levels.back().pMenu->AppendItem(text.c_str(), nPassed, ToId(pPopup->m_hMenu));
            levels.push_back({pPopup, false});
            continue;
        }
        levels.back().pMenu->AppendItem(text.c_str(), nPassed, nId);
        if ((nFlags & MF_END) != 0) {
            levels.back().bEnds = true;
        }
        while (!levels.empty() && levels.back().bEnds) {
            levels.back().pMenu->AlignAccelerators();
            levels.pop_back();
        }
    }
    MakeBarOfStrings();
    builtFromTemplate = TRUE;
    return TRUE;
}

LumoMenuItem* LumoMenu::AddRecord(std::size_t nIndex, const char16_t* pszText, UINT nFlags,
                                  UINT_PTR nId, int nImageResource) {
    auto pRecord = std::make_unique<LumoMenuItem>();
    pRecord->SetItemText(pszText);
    // -1: the image registered for the command, if any; 0 or more: a toolbar (or bitmap)
    // resource that holds the item's image.
    if (nImageResource == -1) {
        pRecord->sharedImageIndex = SharedImageIndexOf(static_cast<UINT>(nId));
    } else if (nImageResource >= 0) {
        const UINT nResource = static_cast<UINT>(nImageResource);
        int nImage = 0;
        ToolbarImageIndexOf(static_cast<UINT>(nId), nResource, nImage);
        const std::unique_ptr<ImageList> pList =
            ImageList_Create(imageWidth, imageHeight, ILC_COLORDDB | ILC_MASK, 1, 1);
        if (AddBitmapToImageList(pList.get(), nResource)) {
            pRecord->sharedImageIndex =
                AddImageToSharedList(pList.get(), nImage, static_cast<UINT>(nId));
        }
    }
    pRecord->menuFlags = nFlags;
    pRecord->commandId = static_cast<UINT>(nId);
    LumoMenuItem* pRaw = pRecord.get();
    nIndex = std::min(nIndex, items.size());
    items.insert(items.begin() + static_cast<std::ptrdiff_t>(nIndex), std::move(pRecord));
    return pRaw;
}

void LumoMenu::TakeInPopup(HMENU hPopup) {
    ownedMenuHandles.push_back(hPopup);
    subMenus.push_back(hPopup);
}

void LumoMenu::DropPopup(HMENU hPopup) {
    EraseLast(ownedMenuHandles, hPopup);
    EraseLast(subMenus, hPopup);
}

void LumoMenu::DeleteRecord(const LumoMenuItem* pRecord) {
    const auto it = std::find_if(items.begin(), items.end(),
                                 [pRecord](const auto& p) { return p.get() == pRecord; });
    if (it != items.end()) {
        items.erase(it);
    }
}

const LumoMenuItem* LumoMenu::RecordOfItem(int nPosition) const {
    const ULONG_PTR nData = GetMenuItemData(m_hMenu, static_cast<UINT>(nPosition), MF_BYPOSITION);
    for (const auto& pRecord : items) {
        if (reinterpret_cast<ULONG_PTR>(pRecord.get()) == nData) {
            return pRecord.get();
        }
    }
    return nullptr;
}

BOOL LumoMenu::AppendItem(const char16_t* pszText, UINT nFlags, UINT_PTR nId, int nImageResource) {
    if (nId != 0) {
        nFlags |= MF_OWNERDRAW;
    } else {
        nFlags = (nFlags & MF_BYPOSITION) != 0 ? kSeparatorByPosition : kSeparatorFlags;
    }
    if ((nFlags & MF_POPUP) != 0) {
        TakeInPopup(MenuFromId(nId));
    }
    LumoMenuItem* pRecord = AddRecord(items.size(), pszText, nFlags, nId, nImageResource);
    return FinishAdd(AppendMenu(nFlags, nId, pRecord), pRecord);
}

BOOL LumoMenu::FinishAdd(BOOL bAdded, const LumoMenuItem* pRecord) {
    if (!bAdded) {
        // No native item, so no record either, and no pop-up taken in.
        if ((pRecord->menuFlags & MF_POPUP) != 0) {
            DropPopup(MenuFromId(pRecord->commandId));
        }
        DeleteRecord(pRecord);
    }
    if (builtFromTemplate) {
        RefreshBarPopups();
    }
    return bAdded;
}

BOOL LumoMenu::InsertItem(UINT nPosition, const char* pszText, UINT nFlags, UINT_PTR nId,
                          int nImageResource) {
    if (pszText == nullptr) {
        return InsertItem(nPosition, static_cast<const char16_t*>(nullptr), nFlags, nId,
                          nImageResource);
    }
    const std::u16string text = GbkToUtf16(pszText);
    return InsertItem(nPosition, text.c_str(), nFlags, nId, nImageResource);
}

BOOL LumoMenu::InsertItem(UINT nPosition, const char16_t* pszText, UINT nFlags, UINT_PTR nId,
                          int nImageResource) {
    if ((nFlags & MF_BYPOSITION) == 0) {
        int nFound = -1;
        LumoMenu* pMenu = FindCommand(nPosition, nFound);
        if (pMenu == nullptr) {
            return FALSE;
        }
        return pMenu->InsertItem(static_cast<UINT>(nFound), pszText, nFlags | MF_BYPOSITION, nId,
                                 nImageResource);
    }
    if (nId == 0) {
        nFlags = kSeparatorByPosition;
    } else {
        nFlags |= MF_OWNERDRAW;
    }
    UINT nOffset = 0;
    if ((nFlags & MF_POPUP) != 0) {
        if (builtFromTemplate) {
            nOffset = static_cast<UINT>(FirstItemPosition());
            if (nPosition < nOffset) {
                nOffset = 0;
            }
        }
        TakeInPopup(MenuFromId(nId));
    }
    if (nPosition == kNotFound) {
        nPosition = static_cast<UINT>(GetMenuItemCount());
    }
    LumoMenuItem* pRecord = AddRecord(nPosition - nOffset, pszText, nFlags, nId, nImageResource);
    return FinishAdd(InsertMenu(nPosition, nFlags, nId, pRecord), pRecord);
}

BOOL LumoMenu::ModifyItem(UINT nCommand, const char* pszText, const ImageList* pList, int nImage) {
    if (pszText == nullptr) {
        return ModifyItem(nCommand, static_cast<const char16_t*>(nullptr), pList, nImage);
    }
    const std::u16string text = GbkToUtf16(pszText);
    return ModifyItem(nCommand, text.c_str(), pList, nImage);
}

BOOL LumoMenu::ModifyItem(UINT nCommand, const char16_t* pszText, const ImageList* pList,
                          int nImage) {
    int nPos = -1;
    LumoMenu* pMenu = FindCommand(nCommand, nPos);
    if (pMenu == nullptr) {
        // A record without a native item would be out of step with the menu: nothing to modify.
        return FALSE;
    }
    std::vector<Place> done;
    BOOL bOk = TRUE;
    while (pMenu != nullptr) {
        // Each occurrence keeps its own record, found through its item data where it has one.
        // An occurrence without one takes the record at its index only where no other item
        // names that record, else a new one.
        auto* pRecord = const_cast<LumoMenuItem*>(pMenu->RecordOfItem(nPos));
        if (pRecord == nullptr && static_cast<std::size_t>(nPos) < pMenu->items.size() &&
            !pMenu->IsNamedByAnItem(pMenu->items[static_cast<std::size_t>(nPos)].get(), nPos)) {
            pRecord = pMenu->items[static_cast<std::size_t>(nPos)].get();
        }
        if (pRecord == nullptr) {
            pRecord = pMenu->AddRecord(static_cast<std::size_t>(nPos), nullptr, 0, nCommand, -1);
        }
        if (pszText != nullptr) {
            pRecord->SetItemText(pszText);
        }
        if (pList != nullptr) {
            pRecord->sharedImageIndex = AddImageToSharedList(pList, nImage, nCommand);
        }
        pRecord->commandId = nCommand;
        pRecord->menuFlags = (pRecord->menuFlags & ~MF_BYPOSITION) | MF_OWNERDRAW;
        bOk = ModifyMenuW(pMenu->m_hMenu, static_cast<UINT>(nPos),
                          pRecord->menuFlags | MF_BYPOSITION, nCommand, pRecord) &&
              bOk;
        done.emplace_back(pMenu, nPos);
        pMenu = FindNextCommand(nCommand, nPos, done);
    }
    return bOk;
}

void LumoMenu::RemoveItem(UINT nPosition, UINT nFlags) {
    if ((nFlags & MF_BYPOSITION) == 0) {
        int nFound = -1;
        LumoMenu* pMenu = FindCommand(nPosition, nFound);
        if (pMenu == nullptr) {
            // A pop-up item's command is its pop-up's handle.
            pMenu = FindPopupItem(MenuFromId(nPosition), nFound);
        }
        if (pMenu != nullptr) {
            pMenu->RemoveItem(static_cast<UINT>(nFound), MF_BYPOSITION);
            return;
        }
        RemoveMenu(nPosition, nFlags);
        return;
    }
    const UINT nState = GetMenuState(nPosition, MF_BYPOSITION);
    const int nPos = static_cast<int>(nPosition);
    if (nState == kNotFound) {
        // Nothing there.
    } else if ((nState & MF_POPUP) != 0) {
        const HMENU hPopup = platform::GetSubMenu(m_hMenu, nPos);
        const LumoMenuItem* pRecord = RecordOfItem(nPos);
        if (pRecord == nullptr) {
            pRecord = UnnamedRecord(static_cast<UINT>(ToId(hPopup)), nPos);
        }
        DeleteRecord(pRecord);
        EraseLast(subMenus, hPopup);
        EraseLast(ownedMenuHandles, hPopup);
        // The pop-up goes with the last item of the menu that opens it. Only a LumoMenu's items
        // and object are ours; a plain menu is the platform's.
        if (!OpensPopup(hPopup, nPos)) {
            if (auto* pPopup = dynamic_cast<LumoMenu*>(SubMenuAt(nPos)); pPopup != nullptr) {
                EraseAll(subMenus, hPopup);
                EraseAll(ownedMenuHandles, hPopup);
                for (int i = pPopup->GetMenuItemCount() - 1; i >= 0; --i) {
                    pPopup->RemoveItem(static_cast<UINT>(i), MF_BYPOSITION);
                }
                delete pPopup;
            }
        }
    } else {
        // The item's own record, found through its item data; for an item without one, a
        // record that no other item names.
        const LumoMenuItem* pRecord = RecordOfItem(nPos);
        if (pRecord == nullptr) {
            const UINT nCommand = (nState & MF_SEPARATOR) != 0 ? 0 : GetMenuItemID(nPos);
            pRecord = UnnamedRecord(nCommand, nPos);
        }
        DeleteRecord(pRecord);
    }
    RemoveMenu(nPosition, nFlags);
}

bool LumoMenu::IsNamedByAnItem(const LumoMenuItem* pRecord, int nExceptPosition) const {
    const int nCount = GetMenuItemCount();
    for (int i = 0; i < nCount; ++i) {
        if (i != nExceptPosition && GetMenuItemData(m_hMenu, static_cast<UINT>(i), MF_BYPOSITION) ==
                                        reinterpret_cast<ULONG_PTR>(pRecord)) {
            return true;
        }
    }
    return false;
}

LumoMenuItem* LumoMenu::UnnamedRecord(UINT nCommand, int nPosition) const {
    // A separator's record is the one at its index, as the records are ordered.
    if (nCommand == 0) {
        if (nPosition >= 0 && static_cast<std::size_t>(nPosition) < items.size()) {
            LumoMenuItem* pRecord = items[static_cast<std::size_t>(nPosition)].get();
            return pRecord->commandId == 0 && !IsNamedByAnItem(pRecord, nPosition) ? pRecord
                                                                                   : nullptr;
        }
        return nullptr;
    }
    for (const auto& pRecord : items) {
        if (pRecord->commandId == nCommand && !IsNamedByAnItem(pRecord.get(), nPosition)) {
            return pRecord.get();
        }
    }
    return nullptr;
}

bool LumoMenu::OpensPopup(HMENU hPopup, int nExceptPosition) const {
    const int nCount = GetMenuItemCount();
    for (int i = 0; i < nCount; ++i) {
        if (i != nExceptPosition && platform::GetSubMenu(m_hMenu, i) == hPopup) {
            return true;
        }
    }
    return false;
}

LumoMenu* LumoMenu::FindPopupItem(HMENU hPopup, int& nPosition) {
    const int nCount = GetMenuItemCount();
    for (int i = 0; i < nCount; ++i) {
        const HMENU hSub = platform::GetSubMenu(m_hMenu, i);
        if (hSub == kNoMenu) {
            continue;
        }
        if (hSub == hPopup) {
            nPosition = i;
            return this;
        }
        if (auto* pPopup = dynamic_cast<LumoMenu*>(SubMenuAt(i)); pPopup != nullptr) {
            if (LumoMenu* pFound = pPopup->FindPopupItem(hPopup, nPosition)) {
                return pFound;
            }
        }
    }
    nPosition = -1;
    return nullptr;
}

LumoMenu* LumoMenu::FindCommand(UINT nCommand, int& nPosition) {
    return FindNextCommand(nCommand, nPosition, {});
}

LumoMenu* LumoMenu::FindNextCommand(UINT nCommand, int& nPosition, const std::vector<Place>& skip) {
    const int nCount = GetMenuItemCount();
    for (int i = 0; i < nCount; ++i) {
        const UINT nState = GetMenuState(static_cast<UINT>(i), MF_BYPOSITION);
        if (nState != kNotFound && (nState & MF_POPUP) != 0) {
            if (auto* pPopup = dynamic_cast<LumoMenu*>(SubMenuAt(i)); pPopup != nullptr) {
                if (LumoMenu* pFound = pPopup->FindNextCommand(nCommand, nPosition, skip)) {
                    return pFound;
                }
            }
        } else if (GetMenuItemID(i) == nCommand &&
                   std::find(skip.begin(), skip.end(), Place{this, i}) == skip.end()) {
            nPosition = i;
            return this;
        }
    }
    nPosition = -1;
    return nullptr;
}

BOOL LumoMenu::ItemText(UINT nItem, std::string& strText, UINT nFlags) {
    if ((nFlags & MF_BYPOSITION) != 0) {
        if (nItem >= items.size()) {
            return FALSE;
        }
        strText = items[nItem]->GetItemTextA();
        return TRUE;
    }
    int nPos = -1;
    LumoMenu* pMenu = FindCommand(nItem, nPos);
    return pMenu != nullptr ? pMenu->ItemText(static_cast<UINT>(nPos), strText, MF_BYPOSITION)
                            : FALSE;
}

void LumoMenu::AlignAccelerators() {
    const std::unique_ptr<Font> pFont = CreateMenuFont();
    const std::unique_ptr<DeviceContext> pDC = GetDC();
    const Font* pOldFont = pDC->SelectObject(pFont.get());
    const std::size_t nCount =
        std::min(items.size(), static_cast<std::size_t>(std::max(GetMenuItemCount(), 0)));
    int nWidest = 0;
    for (std::size_t i = 0; i < nCount; ++i) {
        std::string strText = items[i]->GetItemTextA();
        strText = strText.substr(0, strText.find('\t')) + " ";
        nWidest = std::max(nWidest, TextWidth(*pDC, strText));
    }
    for (std::size_t i = 0; i < nCount; ++i) {
        const std::string strText = items[i]->GetItemTextA();
        const std::size_t nTab = strText.find('\t');
        if (nTab == std::string::npos) {
            continue;
        }
        std::string strHead = strText.substr(0, nTab);
        // Bounded, in case a font gives the blank no width.
        for (int nSpaces = 0; TextWidth(*pDC, strHead) < nWidest && nSpaces < 256; ++nSpaces) {
            strHead += ' ';
        }
        items[i]->SetItemText((strHead + strText.substr(nTab)).c_str());
    }
    pDC->SelectObject(pOldFont);
}

int LumoMenu::FirstItemPosition() const {
    if (!builtFromTemplate) {
        return 0;
    }
    const int nCount = GetMenuItemCount();
    for (int i = 0; i < nCount; ++i) {
        const int nLength =
            GetMenuStringA(m_hMenu, static_cast<UINT>(i), nullptr, 0, MF_BYPOSITION);
        std::string strNative(static_cast<std::size_t>(nLength) * 2 + 2, '\0');
        const int nCopied = GetMenuStringA(m_hMenu, static_cast<UINT>(i), strNative.data(),
                                           static_cast<int>(strNative.size()), MF_BYPOSITION);
        strNative.resize(static_cast<std::size_t>(nCopied));
        if (strNative.empty()) {
            continue;
        }
        for (std::size_t j = 0; j < items.size(); ++j) {
            if (strNative == items[j]->GetItemTextA()) {
                return static_cast<std::size_t>(i) >= j ? i - static_cast<int>(j) : 0;
            }
        }
    }
    return 0;
}

void LumoMenu::RefreshBarPopups() {
    const int nOffset = FirstItemPosition();
    const int nCount = GetMenuItemCount();
    for (int i = 0; nOffset + i < nCount && static_cast<std::size_t>(i) < items.size(); ++i) {
        const UINT nPos = static_cast<UINT>(nOffset + i);
        const UINT nState = GetMenuState(nPos, MF_BYPOSITION);
        if (nState == kNotFound || (nState & MF_POPUP) == 0) {
            continue;
        }
        LumoMenuItem& record = *items[static_cast<std::size_t>(i)];
        record.menuFlags = kBarPopup;
        ModifyMenuA(m_hMenu, nPos, kBarPopup, ToId(platform::GetSubMenu(m_hMenu, nOffset + i)),
                    record.GetItemTextA().c_str());
    }
}

LumoMenuItem* LumoMenu::Adopt(int nPosition, const std::u16string& text, UINT nFlags,
                              UINT_PTR nId) {
    auto pRecord = std::make_unique<LumoMenuItem>();
    pRecord->SetItemText(text.c_str());
    pRecord->menuFlags = nFlags;
    pRecord->commandId = static_cast<UINT>(nId);
    ModifyMenuW(m_hMenu, static_cast<UINT>(nPosition), nFlags, nId,
                (nFlags & MF_OWNERDRAW) != 0 ? pRecord.get() : nullptr);
    return pRecord.release();
}

LumoMenuItem* LumoMenu::TakeUnmarked(UINT nCommand) {
    for (const auto& pRecord : items) {
        if (pRecord->syncMark == 0 && pRecord->commandId == nCommand) {
            pRecord->syncMark = 1;
            return pRecord.get();
        }
    }
    return nullptr;
}

LumoMenuItem* LumoMenu::SyncItem(int nPos, std::vector<std::unique_ptr<LumoMenuItem>>& adopted) {
    const auto nUPos = static_cast<UINT>(nPos);
    const UINT nState = GetMenuState(nUPos, MF_BYPOSITION);
    const auto adopt = [&](const std::u16string& text, UINT nFlags, UINT_PTR nId) {
        adopted.emplace_back(Adopt(nPos, text, nFlags, nId));
        return adopted.back().get();
    };
    if ((nState & MF_POPUP) != 0) {
        const HMENU hPopup = platform::GetSubMenu(m_hMenu, nPos);
        const std::u16string text = NativeText(m_hMenu, nPos);
        LumoMenuItem* pRecord = TakeUnmarked(static_cast<UINT>(ToId(hPopup)));
        if (pRecord == nullptr) {
            return adopt(text, (nState & 0xFF & ~MF_POPUP) | kOwnerDrawnPopupByPosition,
                         ToId(hPopup));
        }
        if (!text.empty()) {
            pRecord->SetItemText(text.c_str());
        }
        return pRecord;
    }
    if ((nState & MF_SEPARATOR) != 0) {
        LumoMenuItem* pRecord = TakeUnmarked(0);
        if (pRecord == nullptr) {
            return adopt(u"", nState | kSeparatorByPosition, 0);
        }
        ModifyMenuW(m_hMenu, nUPos, pRecord->menuFlags | MF_BYPOSITION, 0, pRecord);
        return pRecord;
    }
    const UINT nCommand = GetMenuItemID(nPos);
    const UINT nItemFlags = nState | kOwnerDrawnByPosition;
    const std::u16string text = NativeText(m_hMenu, nPos);
    LumoMenuItem* pRecord = TakeUnmarked(nCommand);
    if (pRecord == nullptr) {
        return adopt(text, nItemFlags, nCommand);
    }
    pRecord->menuFlags = nItemFlags;
    if (!text.empty()) {
        pRecord->SetItemText(text.c_str());
    }
    ModifyMenuW(m_hMenu, nUPos, nItemFlags, nCommand, pRecord);
    return pRecord;
}

void LumoMenu::Resynchronise() {
    for (const auto& pRecord : items) {
        pRecord->syncMark = 0;
    }
    // The new order; adopted records are not in items yet and are owned here until the end.
    std::vector<LumoMenuItem*> order;
    std::vector<std::unique_ptr<LumoMenuItem>> adopted;
    const int nCount = GetMenuItemCount();
    for (int nPos = 0; nPos < nCount; ++nPos) {
        order.push_back(SyncItem(nPos, adopted));
    }
    std::vector<std::unique_ptr<LumoMenuItem>> newItems;
    for (LumoMenuItem* pRecord : order) {
        for (auto* pPool : {&items, &adopted}) {
            const auto it = std::find_if(pPool->begin(), pPool->end(),
                                         [pRecord](const auto& p) { return p.get() == pRecord; });
            if (it != pPool->end()) {
                newItems.push_back(std::move(*it));
                pPool->erase(it);
                break;
            }
        }
    }
    // What is left in items matched no native item.
    items = std::move(newItems);
}

LRESULT LumoMenu::HandleMenuChar(UINT nChar, UINT nFlags, CMenu* pMenu) {
    auto* pLumo = dynamic_cast<LumoMenu*>(pMenu);
    if (pLumo == nullptr || (nFlags & MF_POPUP) == 0) {
        return 0;
    }
    // The whole UTF-16 character, compared without regard to case.
    const QChar key = QChar(static_cast<char16_t>(nChar & 0xFFFF)).toCaseFolded();
    if (pLumo->GetMenuItemCount() != static_cast<int>(pLumo->items.size())) {
        pLumo->Resynchronise();
    }
    const int nCount = std::min(pLumo->GetMenuItemCount(), static_cast<int>(pLumo->items.size()));
    for (int i = 0; i < nCount; ++i) {
        const std::u16string text =
            pLumo->items[static_cast<std::size_t>(i)]->text.value_or(std::u16string());
        for (std::size_t j = 0; j + 1 < text.size(); ++j) {
            if (text[j] == u'&' && QChar(text[j + 1]).toCaseFolded() == key) {
                return MAKELRESULT(static_cast<WORD>(i), MNC_EXECUTE);
            }
        }
    }
    return 0;
}

void LumoMenu::MeasureItem(MEASUREITEMSTRUCT* pMeasure) {
    const auto* pRecord = reinterpret_cast<const LumoMenuItem*>(pMeasure->itemData);
    if (pRecord == nullptr) {
        return;
    }
    const int nGap = IsFlatStyle() && iconShadows ? 7 : 4;
    if ((pRecord->menuFlags & MF_SEPARATOR) != 0) {
        pMeasure->itemWidth = 0;
        pMeasure->itemHeight =
            static_cast<UINT>(std::max(GetSystemMetrics(SM_CYMENU) >> 1, (imageHeight + nGap) / 2));
        return;
    }
    const std::unique_ptr<Font> pFont = CreateMenuFont();
    const std::unique_ptr<DeviceContext> pDC = GetDC();
    const Font* pOldFont = nullptr;
    if (HasModernShell()) {
        pOldFont = pDC->SelectObject(pFont.get());
    }
    SIZE size;
    const std::u16string text = pRecord->text.value_or(std::u16string());
    if (!pDC->GetTextExtentPoint32W(text.c_str(), static_cast<int>(text.size()), &size)) {
        size.cx = 0;
    }
    if (pOldFont != nullptr) {
        pDC->SelectObject(pOldFont);
    }
    const int nFixed = IsFlatStyle() ? imageWidth + nGap + 8 : 2 * imageWidth + 1;
    pMeasure->itemWidth = static_cast<UINT>(size.cx + nFixed);
    pMeasure->itemHeight =
        static_cast<UINT>(std::max(GetSystemMetrics(SM_CYMENU), imageHeight + nGap));
}

}  // namespace vesk
