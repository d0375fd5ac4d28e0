#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vesk {

// The src of each picture a body shows (UTF-8, references read, in order, each once): addresses
// of http and https, and relative ones.
std::vector<std::string> PictureSources(std::string_view body);

// Where a picture's src, found on a page at strPageAddress, points: an http or https address, or
// empty when it is something else (data:, javascript:).
std::string ResolvePictureAddress(std::string_view src, std::string_view strPageAddress);

}  // namespace vesk
