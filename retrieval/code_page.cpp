#include "code_page.h"

#include <iconv.h>

#include <cerrno>

namespace vesk {

namespace {

std::optional<std::string> Convert(const char* pszTo, const char* pszFrom, std::string_view text) {
    iconv_t cd = iconv_open(pszTo, pszFrom);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return std::nullopt;
    }
    std::string out(text.size() * 2 + 4, '\0');
    // iconv takes a non-const input pointer but does not write through it.
    char* pIn = const_cast<char*>(text.data());
    std::size_t nInLeft = text.size();
    std::size_t nDone = 0;
    bool bOk = true;
    while (nInLeft > 0) {
        char* pOut = out.data() + nDone;
        std::size_t nOutLeft = out.size() - nDone;
        const std::size_t nResult = iconv(cd, &pIn, &nInLeft, &pOut, &nOutLeft);
        nDone = out.size() - nOutLeft;
        if (nResult != static_cast<std::size_t>(-1)) {
            continue;
        }
        if (errno != E2BIG) {
            bOk = false;
            break;
        }
        out.resize(out.size() * 2);
    }
    iconv_close(cd);
    if (!bOk) {
        return std::nullopt;
    }
    out.resize(nDone);
    return out;
}

}  // namespace

std::optional<std::string> Utf8ToGbk(std::string_view text) {
    return Convert("GBK", "UTF-8", text);
}

std::optional<std::string> GbkToUtf8(std::string_view text) {
    return Convert("UTF-8", "GBK", text);
}

}  // namespace vesk
