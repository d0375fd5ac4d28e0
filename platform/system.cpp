#include "system.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <cstring>
#include <map>

namespace vesk::platform {

namespace {

// Windows 8's report of itself (6.2, build 9200), as every later NT system reports by default.
constexpr DWORD kModernVersion = 0x23F00206;

struct VersionState {
    DWORD dwVersion = kModernVersion;
    OSVERSIONINFOA info{148, 6, 2, 9200, VER_PLATFORM_WIN32_NT, {}};
};

VersionState& Version() {
    static VersionState state;
    return state;
}

std::map<int, int>& MetricOverrides() {
    static std::map<int, int> overrides;
    return overrides;
}

// Keys by name; a key without a value maps to an empty optional.
std::map<std::string, std::optional<std::string>>& Registry() {
    static std::map<std::string, std::optional<std::string>> keys;
    return keys;
}

// Open keys by handle.
std::map<std::uintptr_t, std::string>& OpenKeys() {
    static std::map<std::uintptr_t, std::string> keys;
    return keys;
}

}  // namespace

COLORREF GetSysColor(int nIndex) {
    switch (nIndex) {
        case COLOR_MENU:
            return RGB(240, 240, 240);
        case COLOR_WINDOW:
            return RGB(255, 255, 255);
        case COLOR_MENUTEXT:
        case COLOR_WINDOWTEXT:
        case COLOR_BTNTEXT:
        case COLOR_INFOTEXT:
            return RGB(0, 0, 0);
        case COLOR_HIGHLIGHT:
            return RGB(0, 120, 215);
        case COLOR_HIGHLIGHTTEXT:
            return RGB(255, 255, 255);
        case COLOR_BTNFACE:
            return RGB(240, 240, 240);
        case COLOR_BTNSHADOW:
            return RGB(160, 160, 160);
        case COLOR_GRAYTEXT:
            return RGB(109, 109, 109);
        case COLOR_BTNHIGHLIGHT:
            return RGB(255, 255, 255);
        case COLOR_3DDKSHADOW:
            return RGB(105, 105, 105);
        case COLOR_3DLIGHT:
            return RGB(227, 227, 227);
        case COLOR_INFOBK:
            return RGB(255, 255, 225);
        default:
            return RGB(0, 0, 0);
    }
}

int GetSystemMetrics(int nIndex) {
    if (auto it = MetricOverrides().find(nIndex); it != MetricOverrides().end()) {
        return it->second;
    }
    switch (nIndex) {
        case SM_CXICON:
        case SM_CYICON:
            return 32;
        case SM_CYMENU:
            return 19;
        default:
            return 0;
    }
}

void SetSystemMetricForTesting(int nIndex, int nValue) {
    MetricOverrides()[nIndex] = nValue;
}

void ResetSystemMetrics() {
    MetricOverrides().clear();
}

BOOL SystemParametersInfo(UINT uiAction, UINT uiParam, NONCLIENTMETRICS* pvParam, UINT) {
    if (uiAction != SPI_GETNONCLIENTMETRICS || pvParam == nullptr || uiParam != 340 ||
        pvParam->cbSize != 340) {
        return FALSE;
    }
    LOGFONT font;
    font.lfHeight = -12;
    font.lfWeight = 400;
    if (QGuiApplication::instance() != nullptr) {
        font.lfFaceName =
            QFontDatabase::systemFont(QFontDatabase::GeneralFont).family().toStdU16String();
    }
    pvParam->lfMenuFont = font;
    return TRUE;
}

DWORD GetVersion() {
    return Version().dwVersion;
}

BOOL GetVersionExA(OSVERSIONINFOA* pInfo) {
    if (pInfo == nullptr || pInfo->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA)) {
        return FALSE;
    }
    *pInfo = Version().info;
    return TRUE;
}

void SetVersionForTesting(DWORD dwVersion, const OSVERSIONINFOA& info) {
    Version().dwVersion = dwVersion;
    Version().info = info;
    Version().info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
}

void ResetVersion() {
    Version() = VersionState{};
}

LONG RegOpenKeyExA(HKEY hKey, const char* pszSubKey, DWORD, DWORD, HKEY* phkResult) {
    static std::uintptr_t nNext = 0x100;
    if (hKey != HKEY_CURRENT_USER || pszSubKey == nullptr || phkResult == nullptr ||
        Registry().count(pszSubKey) == 0) {
        return ERROR_FILE_NOT_FOUND;
    }
    nNext += 4;
    OpenKeys()[nNext] = pszSubKey;
    *phkResult = HKEY{nNext};
    return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY hKey, const char* pszValueName, DWORD*, DWORD* pType,
                      unsigned char* pData, DWORD* pcbData) {
    const auto key = OpenKeys().find(static_cast<std::uintptr_t>(hKey));
    if (key == OpenKeys().end()) {
        return ERROR_INVALID_HANDLE;
    }
    const auto& value = Registry()[key->second];
    if ((pszValueName != nullptr && *pszValueName != '\0') || !value.has_value()) {
        return ERROR_FILE_NOT_FOUND;
    }
    const auto nNeeded = static_cast<DWORD>(value->size() + 1);
    if (pType != nullptr) {
        *pType = REG_SZ;
    }
    if (pData != nullptr && (pcbData == nullptr || *pcbData < nNeeded)) {
        if (pcbData != nullptr) {
            *pcbData = nNeeded;
        }
        return ERROR_MORE_DATA;
    }
    if (pData != nullptr) {
        std::memcpy(pData, value->c_str(), nNeeded);
    }
    if (pcbData != nullptr) {
        *pcbData = nNeeded;
    }
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY hKey) {
    return OpenKeys().erase(static_cast<std::uintptr_t>(hKey)) == 1 ? ERROR_SUCCESS
                                                                    : ERROR_INVALID_HANDLE;
}

void SetRegistryKeyForTesting(const std::string& strSubKey, std::optional<std::string> value) {
    Registry()[strSubKey] = std::move(value);
}

void ClearRegistryForTesting() {
    Registry().clear();
}

}  // namespace vesk::platform
