// What the sanitiser and the writers of a body share: what becomes of each element of the
// board's HTML, the attributes they may keep, escaping, and the body's tree with its text.

#include "body_tree.h"

#include "code_page.h"
#include "text_cut.h"

#include <strings.h>

#include <algorithm>
#include <cctype>

namespace vesk::body {

Keep KeepOf(GumboTag tag) {
    switch (tag) {
        case GUMBO_TAG_P:
        case GUMBO_TAG_BR:
        case GUMBO_TAG_B:
        case GUMBO_TAG_I:
        case GUMBO_TAG_U:
        case GUMBO_TAG_STRONG:
        case GUMBO_TAG_EM:
        case GUMBO_TAG_FONT:
        case GUMBO_TAG_SPAN:
        case GUMBO_TAG_DIV:
        case GUMBO_TAG_BLOCKQUOTE:
        case GUMBO_TAG_TABLE:
        case GUMBO_TAG_TBODY:
        case GUMBO_TAG_THEAD:
        case GUMBO_TAG_TR:
        case GUMBO_TAG_TD:
        case GUMBO_TAG_TH:
        case GUMBO_TAG_IMG:
        case GUMBO_TAG_A:
            return Keep::kElement;
        case GUMBO_TAG_SCRIPT:
        case GUMBO_TAG_STYLE:
        case GUMBO_TAG_IFRAME:
        case GUMBO_TAG_FRAME:
        case GUMBO_TAG_FRAMESET:
        case GUMBO_TAG_NOFRAMES:
        case GUMBO_TAG_NOSCRIPT:
        case GUMBO_TAG_NOEMBED:
        case GUMBO_TAG_OBJECT:
        case GUMBO_TAG_EMBED:
        case GUMBO_TAG_APPLET:
        case GUMBO_TAG_PARAM:
        case GUMBO_TAG_HEAD:
        case GUMBO_TAG_META:
        case GUMBO_TAG_LINK:
        case GUMBO_TAG_BASE:
        case GUMBO_TAG_TEMPLATE:
        case GUMBO_TAG_SVG:
        case GUMBO_TAG_MATH:
        case GUMBO_TAG_FORM:
        case GUMBO_TAG_INPUT:
        case GUMBO_TAG_BUTTON:
        case GUMBO_TAG_SELECT:
        case GUMBO_TAG_AUDIO:
        case GUMBO_TAG_VIDEO:
        case GUMBO_TAG_SOURCE:
        case GUMBO_TAG_CANVAS:
            return Keep::kNothing;
        default:
            return Keep::kText;
    }
}

bool IsVoid(GumboTag tag) {
    return tag == GUMBO_TAG_BR || tag == GUMBO_TAG_IMG;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           strncasecmp(text.data(), prefix.data(), prefix.size()) == 0;
}

bool IsWebAddress(std::string_view address) {
    return StartsWithNoCase(address, "http://") || StartsWithNoCase(address, "https://");
}

std::string ValidUri(std::string_view address) {
    static constexpr std::string_view kAllowed =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~:/?#[]@!$&'()*+,;=";
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string uri;
    for (std::size_t i = 0; i < address.size(); ++i) {
        const auto c = static_cast<unsigned char>(address[i]);
        const bool bEscape = c == '%' && i + 2 < address.size() &&
                             std::isxdigit(static_cast<unsigned char>(address[i + 1])) != 0 &&
                             std::isxdigit(static_cast<unsigned char>(address[i + 2])) != 0;
        if (bEscape || kAllowed.find(static_cast<char>(c)) != std::string_view::npos) {
            uri += static_cast<char>(c);
        } else {
            uri.append("%").append(1, kHex[c >> 4]).append(1, kHex[c & 0x0F]);
        }
    }
    return uri;
}

// "#rgb", "#rrggbb" or a colour's name.
bool IsColour(std::string_view value) {
    if (!value.empty() && value.front() == '#') {
        value.remove_prefix(1);
        return (value.size() == 3 || value.size() == 6) &&
               std::all_of(value.begin(), value.end(),
                           [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); });
    }
    return !value.empty() && value.size() <= 20 &&
           std::all_of(value.begin(), value.end(),
                       [](char c) { return std::isalpha(static_cast<unsigned char>(c)); });
}

bool IsNumber(std::string_view value, std::size_t nMaxDigits) {
    return !value.empty() && value.size() <= nMaxDigits &&
           std::all_of(value.begin(), value.end(),
                       [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
}

// The colour a style declares, empty when it declares none that is allowed.
std::string_view StyleColour(std::string_view style) {
    while (!style.empty()) {
        const std::size_t nEnd = std::min(style.find(';'), style.size());
        const std::string_view declaration = style.substr(0, nEnd);
        style.remove_prefix(std::min(nEnd + 1, style.size()));
        const std::size_t nColon = declaration.find(':');
        if (nColon == std::string_view::npos) {
            continue;
        }
        const std::string_view name = TrimWhiteSpace(declaration.substr(0, nColon));
        const std::string_view value = TrimWhiteSpace(declaration.substr(nColon + 1));
        if (name.size() == 5 && strncasecmp(name.data(), "color", 5) == 0 && IsColour(value)) {
            return value;
        }
    }
    return {};
}

void AppendEscaped(std::string& out, std::string_view text) {
    while (!text.empty()) {
        const std::size_t nSpecial = std::min(text.find_first_of("&<>\""), text.size());
        out.append(text.substr(0, nSpecial));
        if (nSpecial == text.size()) {
            return;
        }
        switch (text[nSpecial]) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            default:
                out += "&quot;";
        }
        text.remove_prefix(nSpecial + 1);
    }
}

void AppendAttribute(std::string& out, std::string_view name, std::string_view value) {
    out.append(" ").append(name).append("=\"");
    AppendEscaped(out, value);
    out += '"';
}

std::string_view Attribute(const GumboElement& element, const char* pszName) {
    const GumboAttribute* pAttribute = gumbo_get_attribute(&element.attributes, pszName);
    return pAttribute != nullptr ? std::string_view(pAttribute->value) : std::string_view();
}

void OutputDeleter::operator()(GumboOutput* pOutput) const {
    gumbo_destroy_output(&kGumboDefaultOptions, pOutput);
}

// The body parsed as the content of a div, in UTF-8.
Parsed ParseBody(const std::string& strUtf8) {
    GumboOptions options = kGumboDefaultOptions;
    options.fragment_context = GUMBO_TAG_DIV;
    options.max_errors = 0;
    return Parsed(gumbo_parse_with_options(&options, strUtf8.data(), strUtf8.size()));
}

// Whether a body can hold nothing but text: no markup, no reference.
bool IsPlainText(std::string_view body) {
    return body.find_first_of("<&") == std::string_view::npos;
}

// Appends text with every run of white space (no-break spaces too) as one space, none at the start.
void AppendWords(std::string& out, std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool bNoBreak = c == '\xC2' && i + 1 < text.size() && text[i + 1] == '\xA0';
        if (bNoBreak || c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\0') {
            i += bNoBreak ? 1 : 0;
            if (!out.empty() && out.back() != ' ') {
                out += ' ';
            }
        } else {
            out += c;
        }
    }
}

bool IsBlock(GumboTag tag) {
    switch (tag) {
        case GUMBO_TAG_BR:
        case GUMBO_TAG_P:
        case GUMBO_TAG_DIV:
        case GUMBO_TAG_BLOCKQUOTE:
        case GUMBO_TAG_TABLE:
        case GUMBO_TAG_TR:
        case GUMBO_TAG_TD:
        case GUMBO_TAG_TH:
        case GUMBO_TAG_LI:
            return true;
        default:
            return false;
    }
}

std::string TextOf(const std::string& strUtf8) {
    std::string out;
    out.reserve(strUtf8.size());
    const Parsed parsed = ParseBody(strUtf8);
    const auto gap = [&out] {
        if (!out.empty() && out.back() != ' ') {
            out += ' ';
        }
    };
    const auto block = [&](const GumboElement& element) {
        if (IsBlock(element.tag)) {
            gap();
        }
        return true;
    };
    Walk(
        parsed->root, [&](std::string_view text) { AppendWords(out, text); }, block, block);
    if (!out.empty() && out.back() == ' ') {
        out.pop_back();
    }
    return out;
}

std::string PlainWords(std::string_view text) {
    std::string out;
    AppendWords(out, GbkToUtf8Lenient(text));
    if (!out.empty() && out.back() == ' ') {
        out.pop_back();
    }
    return out;
}

}  // namespace vesk::body
