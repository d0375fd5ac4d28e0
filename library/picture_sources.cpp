#include "picture_sources.h"

#include "body_tree.h"
#include "code_page.h"
#include "text_cut.h"

#include <algorithm>
#include <unordered_set>

namespace vesk {

using namespace body;

std::vector<std::string> PictureSources(std::string_view body) {
    std::vector<std::string> sources;
    // Most bodies show no picture, and are not parsed for one.
    const auto found = std::search(
        body.begin(), body.end(), std::begin("<img"), std::end("<img") - 1,
        [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
    if (found == body.end()) {
        return sources;
    }
    const Parsed parsed = ParseBody(GbkToUtf8Lenient(body));
    std::unordered_set<std::string> seen;
    Walk(
        parsed->root, [](std::string_view) {},
        [&](const GumboElement& element) {
            if (element.tag == GUMBO_TAG_IMG) {
                std::string src(TrimWhiteSpace(Attribute(element, "src")));
                const bool bRelative = !src.empty() && src.find(':') == std::string::npos;
                if ((IsWebAddress(src) || bRelative) && seen.insert(src).second) {
                    sources.push_back(std::move(src));
                }
            }
            return true;
        },
        [](const GumboElement&) {});
    return sources;
}

std::string ResolvePictureAddress(std::string_view src, std::string_view strPageAddress) {
    src = TrimWhiteSpace(src);
    if (IsWebAddress(src)) {
        return std::string(src);
    }
    if (src.empty() || src.find(':') != std::string_view::npos || !IsWebAddress(strPageAddress)) {
        return {};
    }
    const std::size_t nScheme = strPageAddress.find("://");
    if (src.substr(0, 2) == "//") {
        return std::string(strPageAddress.substr(0, nScheme + 1)).append(src);
    }
    const std::size_t nPath =
        std::min(strPageAddress.find('/', nScheme + 3), strPageAddress.size());
    if (src.front() == '/') {
        return std::string(strPageAddress.substr(0, nPath)).append(src);
    }
    // Beside the page: its address up to the last slash of its path.
    std::string_view folder = strPageAddress.substr(0, strPageAddress.find_first_of("?#"));
    const std::size_t nSlash = folder.rfind('/');
    folder =
        nSlash != std::string_view::npos && nSlash >= nPath ? folder.substr(0, nSlash + 1) : folder;
    std::string address(folder);
    if (address.back() != '/') {
        address += '/';
    }
    return address.append(src);
}

}  // namespace vesk
