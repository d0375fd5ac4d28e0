#include "request_checks.h"

namespace vesk {

namespace {

constexpr std::string_view kSchemeSeparator = "://";

std::string_view HostAndPortOf(std::string_view strBaseAddress) {
    const std::size_t nScheme = strBaseAddress.find(kSchemeSeparator);
    if (nScheme == std::string_view::npos) {
        return {};
    }
    return strBaseAddress.substr(nScheme + kSchemeSeparator.size());
}

}  // namespace

std::string HostPrefixOf(std::string_view strBaseAddress) {
    std::string_view host = HostAndPortOf(strBaseAddress);
    host = host.substr(0, host.find_first_of(":/"));
    return std::string(host.substr(0, 9));
}

bool IsBaseAddress(std::string_view strBaseAddress) {
    const std::size_t nScheme = strBaseAddress.find(kSchemeSeparator);
    if (nScheme == 0 || nScheme == std::string_view::npos) {
        return false;
    }
    const std::string_view hostAndPort = HostAndPortOf(strBaseAddress);
    const std::string_view host = hostAndPort.substr(0, hostAndPort.find(':'));
    if (host.empty() || hostAndPort.find_first_of("/?# \t") != std::string_view::npos) {
        return false;
    }
    const std::size_t nColon = hostAndPort.find(':');
    if (nColon == std::string_view::npos) {
        return true;
    }
    const std::string_view port = hostAndPort.substr(nColon + 1);
    return !port.empty() && port.size() <= 5 &&
           port.find_first_not_of("0123456789") == std::string_view::npos;
}

bool IsThreadAddressAccepted(std::string_view strUrl, std::string_view strHostPrefix) {
    return !strUrl.empty() && strUrl.size() <= kMaxThreadUrlBytes &&
           strUrl.find(strHostPrefix) != std::string_view::npos &&
           strUrl.find("look,") != std::string_view::npos;
}

std::string AddressRejectedMessage(std::string_view strBaseAddress) {
    std::string strMessage = "请输入正确的vesk单帖网址！\r\n\r\n比如：";
    strMessage.append(strBaseAddress);
    strMessage.append("/look,xxxxx,xxxxxx_x.html");
    return strMessage;
}

std::string WithHalfWidthCommas(std::string_view strNames) {
    constexpr std::string_view kFullWidthComma = "\xEF\xBC\x8C";  // U+FF0C
    std::string strResult;
    for (std::size_t nPos = 0; nPos < strNames.size();) {
        if (strNames.substr(nPos).starts_with(kFullWidthComma)) {
            strResult += ',';
            nPos += kFullWidthComma.size();
        } else {
            strResult += strNames[nPos++];
        }
    }
    return strResult;
}

}  // namespace vesk
