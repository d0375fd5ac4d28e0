#pragma once

#include <string>
#include <string_view>

namespace vesk {

// The addresses of a thread's first page and of its board's list at the forum (strBase:
// scheme://host[:port]), from the board code and the thread number as the typed address and the
// forum's pages give them. Every byte of a value but letters, digits and "-._~" is
// percent-encoded, so that no value can change the address's shape. Empty when a value the
// address needs is missing.
std::string ThreadPageAddress(std::string_view strBase, std::string_view code, std::string_view id);
std::string BoardPageAddress(std::string_view strBase, std::string_view code);

}  // namespace vesk
