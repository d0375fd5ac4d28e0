#include "shell.h"

#include "code_page.h"

#include <QDesktopServices>
#include <cstring>

namespace vesk::platform {

namespace {

std::function<bool(const QUrl&)>& OpenHook() {
    static std::function<bool(const QUrl&)> hook;
    return hook;
}

}  // namespace

std::intptr_t ShellExecuteA(QWidget* /*hwnd*/, const char* pszVerb, const char* pszFile,
                            const char* /*pszParameters*/, const char* /*pszDirectory*/,
                            int /*nShow*/) {
    if ((pszVerb != nullptr && std::strcmp(pszVerb, "open") != 0) || pszFile == nullptr) {
        return SE_ERR_NOASSOC;
    }
    const QUrl url(QString::fromStdU16String(GbkToUtf16(pszFile)), QUrl::StrictMode);
    const QString scheme = url.scheme();
    if (!url.isValid() || url.isRelative() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https") &&
         scheme != QLatin1String("file"))) {
        return SE_ERR_NOASSOC;
    }
    if (OpenHook()) {
        return OpenHook()(url) ? kShellSucceeded : SE_ERR_FNF;
    }
    return QDesktopServices::openUrl(url) ? kShellSucceeded : SE_ERR_FNF;
}

BOOL ShellExecuteExA(SHELLEXECUTEINFOA* pInfo) {
    if (pInfo == nullptr || pInfo->cbSize != 60) {
        return FALSE;
    }
    pInfo->hInstApp = ShellExecuteA(pInfo->hwnd, pInfo->lpVerb, pInfo->lpFile, pInfo->lpParameters,
                                    pInfo->lpDirectory, pInfo->nShow);
    return pInfo->hInstApp > 32 ? TRUE : FALSE;
}

void SetShellOpenHookForTesting(std::function<bool(const QUrl&)> hook) {
    OpenHook() = std::move(hook);
}

}  // namespace vesk::platform
