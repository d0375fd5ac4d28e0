#pragma once

#include "win_types.h"

#include <optional>
#include <string>

// System colours, metrics, the menu font, the version query and the theme setting: the one place
// where the desktop's settings are fixed. Tests may replace metrics, the version and the theme.
namespace vesk::platform {

// GetSysColor indices, with the platform's values.
inline constexpr int COLOR_MENU = 4;
inline constexpr int COLOR_WINDOW = 5;
inline constexpr int COLOR_MENUTEXT = 7;
inline constexpr int COLOR_WINDOWTEXT = 8;
inline constexpr int COLOR_HIGHLIGHT = 13;
inline constexpr int COLOR_HIGHLIGHTTEXT = 14;
inline constexpr int COLOR_BTNFACE = 15;
inline constexpr int COLOR_3DFACE = COLOR_BTNFACE;
inline constexpr int COLOR_BTNSHADOW = 16;
inline constexpr int COLOR_3DSHADOW = COLOR_BTNSHADOW;
inline constexpr int COLOR_GRAYTEXT = 17;
inline constexpr int COLOR_BTNTEXT = 18;
inline constexpr int COLOR_BTNHIGHLIGHT = 20;
inline constexpr int COLOR_3DHILIGHT = COLOR_BTNHIGHLIGHT;
inline constexpr int COLOR_3DDKSHADOW = 21;
inline constexpr int COLOR_3DLIGHT = 22;
inline constexpr int COLOR_INFOTEXT = 23;
inline constexpr int COLOR_INFOBK = 24;

// A modern desktop's defaults; an index outside the table is black.
COLORREF GetSysColor(int nIndex);

// GetSystemMetrics indices.
inline constexpr int SM_CXICON = 11;
inline constexpr int SM_CYICON = 12;
inline constexpr int SM_CYMENU = 15;

int GetSystemMetrics(int nIndex);
// For tests: replaces one metric until ResetSystemMetrics.
void SetSystemMetricForTesting(int nIndex, int nValue);
void ResetSystemMetrics();

// A font description, as the platform's LOGFONT: a negative height is the character height in
// pixels.
struct LOGFONT {
    LONG lfHeight = 0;
    LONG lfWeight = 400;
    bool lfItalic = false;
    std::u16string lfFaceName;
};

struct NONCLIENTMETRICS {
    UINT cbSize = 340;
    LOGFONT lfMenuFont;
};

inline constexpr UINT SPI_GETNONCLIENTMETRICS = 0x0029;

// Only SPI_GETNONCLIENTMETRICS: the menu font is the desktop's general font at 9 points (12
// pixels). FALSE for anything else.
BOOL SystemParametersInfo(UINT uiAction, UINT uiParam, NONCLIENTMETRICS* pvParam, UINT fWinIni);

// The version query. By default a modern NT system (6.2); tests inject others.
struct OSVERSIONINFOA {
    DWORD dwOSVersionInfoSize = 0;
    DWORD dwMajorVersion = 0;
    DWORD dwMinorVersion = 0;
    DWORD dwBuildNumber = 0;
    DWORD dwPlatformId = 0;
    char szCSDVersion[128] = {};
};
static_assert(sizeof(OSVERSIONINFOA) == 148);

inline constexpr DWORD VER_PLATFORM_WIN32_WINDOWS = 1;
inline constexpr DWORD VER_PLATFORM_WIN32_NT = 2;

// Major version in the low byte, minor in the next, the high bit set for the 9x family.
DWORD GetVersion();
// FALSE unless dwOSVersionInfoSize is 148.
BOOL GetVersionExA(OSVERSIONINFOA* pInfo);
void SetVersionForTesting(DWORD dwVersion, const OSVERSIONINFOA& info);
void ResetVersion();

// The registry, read only, as far as the theme test reads it: keys under HKEY_CURRENT_USER with
// their default (unnamed) string values. Empty here, so no classic theme is in force; tests
// inject keys and values.
enum class HKEY : std::uintptr_t {};
inline constexpr HKEY HKEY_CURRENT_USER = HKEY{0x80000001};
inline constexpr DWORD KEY_READ = 0x20019;
inline constexpr LONG ERROR_SUCCESS = 0;
inline constexpr LONG ERROR_FILE_NOT_FOUND = 2;
inline constexpr LONG ERROR_INVALID_HANDLE = 6;
inline constexpr LONG ERROR_MORE_DATA = 234;
inline constexpr DWORD REG_SZ = 1;

LONG RegOpenKeyExA(HKEY hKey, const char* pszSubKey, DWORD ulOptions, DWORD samDesired,
                   HKEY* phkResult);
// Only the default value (pszValueName null or empty): its bytes with the terminating zero.
// ERROR_MORE_DATA, with the size needed, when they do not fit cbData.
LONG RegQueryValueExA(HKEY hKey, const char* pszValueName, DWORD* pReserved, DWORD* pType,
                      unsigned char* pData, DWORD* pcbData);
LONG RegCloseKey(HKEY hKey);
// For tests: a key under HKEY_CURRENT_USER and its default value (none: the key without value).
void SetRegistryKeyForTesting(const std::string& strSubKey, std::optional<std::string> value);
void ClearRegistryForTesting();

}  // namespace vesk::platform
