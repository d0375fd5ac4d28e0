#include "forum_address.h"

#include "text_cut.h"

#include <limits>

namespace vesk {

namespace {

std::string AddressSegment(std::string_view bytes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string segment;
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            c == '-' || c == '.' || c == '_' || c == '~') {
            segment += ch;
        } else {
            segment += '%';
            segment += kHex[c >> 4];
            segment += kHex[c & 0x0F];
        }
    }
    return segment;
}

}  // namespace

std::string ThreadPageAddress(std::string_view strBase, std::string_view code,
                              std::string_view id) {
    if (code.empty() || id.empty()) {
        return {};
    }
    return std::string(strBase) + "/look," + AddressSegment(code) + "," + AddressSegment(id) +
           ".html";
}

std::string BoardPageAddress(std::string_view strBase, std::string_view code) {
    if (code.empty()) {
        return {};
    }
    return std::string(strBase) + "/topic," + AddressSegment(code) + ".html";
}

ThreadKey CutThreadKey(std::string_view strUrl) {
    ThreadKey key;
    key.strBoardCode = ExtractBetween(strUrl, "look,", ",");
    const std::string_view id = ExtractBetween(strUrl, key.strBoardCode + ",", ".");
    key.strThreadId = id.substr(0, id.find('_'));
    return key;
}

std::string ThreadPageRequest(std::string_view strBase, const ThreadKey& key, int nPage) {
    std::string strUrl(strBase);
    strUrl.append("/look,").append(key.strBoardCode).append(",").append(key.strThreadId);
    strUrl.append("_").append(std::to_string(nPage)).append(".html");
    return strUrl;
}

int ThreadPageNumber(std::string_view strUrl, const ThreadKey& key) {
    strUrl = strUrl.substr(0, strUrl.find_first_of("?#"));
    std::string_view name = strUrl.substr(strUrl.rfind('/') + 1);
    const std::string strStem = "look," + key.strBoardCode + "," + key.strThreadId;
    if (!name.starts_with(strStem) || !name.ends_with(".html")) {
        return 0;
    }
    name = name.substr(strStem.size(), name.size() - strStem.size() - 5);
    if (name.empty()) {
        return 1;
    }
    if (name.size() < 2 || name.size() > 10 || name[0] != '_' ||
        name.find_first_not_of("0123456789", 1) != std::string_view::npos) {
        return 0;
    }
    const long nPage = std::stol(std::string(name.substr(1)));
    return nPage > 0 && nPage <= std::numeric_limits<int>::max() ? static_cast<int>(nPage) : 0;
}

}  // namespace vesk
