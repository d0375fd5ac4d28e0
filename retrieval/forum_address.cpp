#include "forum_address.h"

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

}  // namespace vesk
