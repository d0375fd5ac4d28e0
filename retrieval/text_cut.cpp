#include "text_cut.h"

#include <strings.h>

#include <limits>

namespace vesk {

namespace {

bool IsLeadByte(unsigned char c) {
    return c >= 0x81 && c <= 0xFE;
}

bool IsWhiteSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

}  // namespace

std::size_t FindMarker(std::string_view text, std::string_view marker, std::size_t nFrom) {
    if (marker.empty()) {
        return std::string_view::npos;
    }
    // The library's find (first byte, then the rest) beats memmem on these short markers.
    return text.find(marker, nFrom);
}

std::string_view ExtractBetween(std::string_view text, std::string_view strStart,
                                std::string_view strEnd) {
    const std::size_t nStart = FindMarker(text, strStart);
    if (nStart == std::string_view::npos) {
        return {};
    }
    const std::size_t nFrom = nStart + strStart.size();
    const std::size_t nEnd = FindMarker(text, strEnd, nFrom);
    if (nEnd == std::string_view::npos) {
        return {};
    }
    return text.substr(nFrom, nEnd - nFrom);
}

std::size_t FitLength(std::string_view text, std::size_t nMax) {
    if (text.size() <= nMax) {
        return text.size();
    }
    std::size_t n = 0;
    while (n < nMax) {
        const std::size_t nWidth = IsLeadByte(static_cast<unsigned char>(text[n])) ? 2 : 1;
        if (n + nWidth > nMax) {
            break;
        }
        n += nWidth;
    }
    return n;
}

void CopyToField(char* pszField, std::size_t nSize, std::string_view text) {
    if (nSize == 0) {
        return;
    }
    // text.copy, unlike memcpy, takes the null data of an empty view.
    const std::size_t n = text.copy(pszField, FitLength(text, nSize - 1));
    pszField[n] = '\0';
}

void StoreContent(char (&szContent)[2048], std::string_view body) {
    static constexpr std::string_view kEllipsis = "......";
    if (body.size() < sizeof szContent) {
        szContent[body.copy(szContent, body.size())] = '\0';
        return;
    }
    const std::size_t n = body.copy(szContent, FitLength(body, 2038));
    kEllipsis.copy(szContent + n, kEllipsis.size());
    szContent[n + kEllipsis.size()] = '\0';
}

std::int32_t ParseFloor(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsWhiteSpace(text[i])) {
        ++i;
    }
    bool bNegative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        bNegative = text[i] == '-';
        ++i;
    }
    constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
    std::int64_t nValue = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        nValue = nValue * 10 + (text[i] - '0');
        if (nValue > kMax + 1) {
            nValue = kMax + 1;
        }
    }
    if (bNegative) {
        return static_cast<std::int32_t>(-nValue);
    }
    return static_cast<std::int32_t>(nValue > kMax ? kMax : nValue);
}

bool IsTagAt(std::string_view text, std::size_t n, std::string_view name) {
    if (n > text.size() || text.size() - n < name.size() ||
        strncasecmp(text.data() + n, name.data(), name.size()) != 0) {
        return false;
    }
    if (text.size() == n + name.size()) {
        return true;
    }
    const char c = text[n + name.size()];
    return c == '>' || c == '/' || (IsWhiteSpace(c) && c != '\v');
}

std::string_view TrimWhiteSpace(std::string_view text) {
    while (!text.empty() && IsWhiteSpace(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsWhiteSpace(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

}  // namespace vesk
