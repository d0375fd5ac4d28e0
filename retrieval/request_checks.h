#pragma once

#include <string>
#include <string_view>

namespace vesk {

// The longest thread address a retrieval takes: its job keeps 204 bytes, the zero included.
inline constexpr std::size_t kMaxThreadUrlBytes = 203;

// Messages of a retrieval, in UTF-8; the window shows them in message boxes.
inline constexpr std::string_view kNameListEmptyMessage =
    "请指定需要显示的发帖人名字！名字用半角逗号分隔，支持模糊匹配。\r\n\r\n比如：高手1,高手2,192."
    "168.1,...";
inline constexpr std::string_view kRetrievalFailedMessage = "网络连接失败！";
inline constexpr std::string_view kCreateFileFailedMessage = "创建文件失败。";

// The fragment of the forum's host that a thread address must contain: the first nine
// characters of the host named by a base address (scheme://host[:port]).
std::string HostPrefixOf(std::string_view strBaseAddress);

// Whether strBaseAddress has the form scheme://host[:port], without a path or trailing slash.
bool IsBaseAddress(std::string_view strBaseAddress);

// The go button's test of an address that is already trimmed: not empty, holds the host prefix
// and "look,", and fits the job's address field.
bool IsThreadAddressAccepted(std::string_view strUrl, std::string_view strHostPrefix);

// The message for a rejected address, with an example under the forum's base address.
std::string AddressRejectedMessage(std::string_view strBaseAddress);

// A name list (UTF-8) with every full-width comma, as the Chinese input method types it, made the
// half-width comma that separates names; nothing else changes.
std::string WithHalfWidthCommas(std::string_view strNames);

}  // namespace vesk
