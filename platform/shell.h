#pragma once

#include "win_types.h"

#include <QUrl>
#include <functional>

class QWidget;

// Opening an address in the desktop's default browser: the platform's ShellExecute with the
// verb "open", for addresses only; nothing is ever run as a command line.
namespace vesk::platform {

inline constexpr int SW_SHOWNORMAL = 1;
inline constexpr int SW_SHOWMAXIMIZED = 3;
inline constexpr ULONG SEE_MASK_FLAG_NO_UI = 0x00000400;

// The values ShellExecuteA answers: above 32 on success.
inline constexpr std::intptr_t SE_ERR_FNF = 2;
inline constexpr std::intptr_t SE_ERR_NOASSOC = 31;
inline constexpr std::intptr_t kShellSucceeded = 42;

struct SHELLEXECUTEINFOA {
    DWORD cbSize = 60;
    ULONG fMask = 0;
    QWidget* hwnd = nullptr;
    const char* lpVerb = nullptr;
    const char* lpFile = nullptr;
    const char* lpParameters = nullptr;
    const char* lpDirectory = nullptr;
    int nShow = 0;
    std::intptr_t hInstApp = 0;
};

// The address is narrow text (the ANSI code page) and must be a well-formed absolute http,
// https or file address; anything else, or a verb other than "open" (or none), opens nothing
// and answers SE_ERR_NOASSOC. The window, parameters, directory and show state are not used.
std::intptr_t ShellExecuteA(QWidget* hwnd, const char* pszVerb, const char* pszFile,
                            const char* pszParameters, const char* pszDirectory, int nShow);
// The same; TRUE on success, with hInstApp set to what ShellExecuteA answers.
BOOL ShellExecuteExA(SHELLEXECUTEINFOA* pInfo);

// For tests: every address opened goes to the hook instead of the desktop, which answers whether
// it could be opened; an empty hook restores the desktop.
void SetShellOpenHookForTesting(std::function<bool(const QUrl&)> hook);

}  // namespace vesk::platform
