#include "post_sanitiser.h"

#include "body_tree.h"
#include "code_page.h"
#include "text_cut.h"

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <optional>
#include <unordered_set>

namespace vesk {

using namespace body;

namespace {

class Sanitiser final {
public:
    Sanitiser(const PictureMap& pictures, PictureForm form) : m_pictures(pictures), m_form(form) {}

    std::string Run(std::string_view body) {
        const std::string strUtf8 = GbkToUtf8Lenient(body);
        const Parsed parsed = ParseBody(strUtf8);
        m_out.reserve(strUtf8.size() + 32);
        Walk(
            parsed->root, [this](std::string_view text) { Text(text); },
            [this](const GumboElement& element) { return Visit(element); },
            [this](const GumboElement& element) { Leave(element); });
        return Utf8ToGbkMarkup(m_out);
    }

private:
    void Text(std::string_view text) { AppendEscaped(m_out, text); }

    // Whether the walk goes into the element's children.
    bool Visit(const GumboElement& element) {
        if (KeepOf(element.tag) == Keep::kText) {
            return true;
        }
        if (element.tag == GUMBO_TAG_IMG) {
            Picture(element);
            return false;
        }
        m_out.append("<").append(gumbo_normalized_tagname(element.tag));
        Attributes(element);
        m_out += '>';
        return !IsVoid(element.tag);
    }

    void Leave(const GumboElement& element) {
        if (KeepOf(element.tag) == Keep::kElement && !IsVoid(element.tag)) {
            m_out.append("</").append(gumbo_normalized_tagname(element.tag)).append(">");
        }
    }

    void Attributes(const GumboElement& element) {
        switch (element.tag) {
            case GUMBO_TAG_A: {
                const std::string_view href = TrimWhiteSpace(Attribute(element, "href"));
                if (IsWebAddress(href)) {
                    AppendAttribute(m_out, "href", href);
                }
                return;
            }
            case GUMBO_TAG_FONT: {
                if (const std::string_view colour = Attribute(element, "color"); IsColour(colour)) {
                    AppendAttribute(m_out, "color", colour);
                }
                const std::string_view size = Attribute(element, "size");
                if (size.size() == 1 && size[0] >= '1' && size[0] <= '7') {
                    AppendAttribute(m_out, "size", size);
                }
                break;
            }
            case GUMBO_TAG_TD:
            case GUMBO_TAG_TH:
                for (const char* pszName : {"colspan", "rowspan"}) {
                    if (const std::string_view value = Attribute(element, pszName);
                        IsNumber(value, 2)) {
                        AppendAttribute(m_out, pszName, value);
                    }
                }
                break;
            case GUMBO_TAG_TABLE:
                if (const std::string_view border = Attribute(element, "border");
                    IsNumber(border, 1)) {
                    AppendAttribute(m_out, "border", border);
                }
                break;
            default:
                break;
        }
        if (const std::string_view colour = StyleColour(Attribute(element, "style"));
            !colour.empty()) {
            m_out.append(" style=\"color:").append(colour).append("\"");
        }
    }

    void Picture(const GumboElement& element) {
        if (m_form == PictureForm::kText) {
            m_out += "[\xE5\x9B\xBE\xE7\x89\x87]";
            return;
        }
        const std::string src(TrimWhiteSpace(Attribute(element, "src")));
        const auto found = m_pictures.find(src);
        const PictureRef* pRef = found != m_pictures.end() ? &found->second : nullptr;
        const std::string_view address = pRef != nullptr && !pRef->strAddress.empty()
                                             ? std::string_view(pRef->strAddress)
                                             : std::string_view(src);
        const bool bWeb = IsWebAddress(address);
        if (m_form == PictureForm::kKept && pRef != nullptr && !pRef->strHash.empty()) {
            m_out.append("<img class=vk-pic src=\"")
                .append(kPictureScheme)
                .append(":")
                .append(pRef->strHash)
                .append("\"");
            for (const char* pszName : {"width", "height"}) {
                if (const std::string_view value = Attribute(element, pszName);
                    IsNumber(value, 4)) {
                    AppendAttribute(m_out, pszName, value);
                }
            }
            if (const std::string_view alt = Attribute(element, "alt"); !alt.empty()) {
                AppendAttribute(m_out, "alt", alt);
            }
            m_out += '>';
            Placeholder(address, bWeb, "vk-ph");
            return;
        }
        Placeholder(address, bWeb, "vk-nopic");
    }

    // "[图片] address", a link to it when it is a web address.
    void Placeholder(std::string_view address, bool bWeb, std::string_view kind) {
        m_out.append(bWeb ? "<a class=" : "<span class=").append(kind);
        if (bWeb) {
            AppendAttribute(m_out, "href", address);
        }
        m_out += ">[\xE5\x9B\xBE\xE7\x89\x87] ";
        AppendEscaped(m_out, address.substr(0, 200));
        m_out.append(bWeb ? "</a>" : "</span>");
    }

    const PictureMap& m_pictures;
    PictureForm m_form;
    std::string m_out;
};

// The few tags a simple body may hold, in the order of their ids in SimpleTag.
enum class SimpleTag { kP, kBr, kB, kI, kU, kStrong, kEm, kSpan, kDiv, kTable, kTbody, kTr, kTd };
constexpr std::string_view kSimpleNames[] = {"p",    "br",  "b",     "i",     "u",  "strong", "em",
                                             "span", "div", "table", "tbody", "tr", "td"};

std::optional<SimpleTag> SimpleTagNamed(std::string_view name) {
    for (std::size_t i = 0; i < std::size(kSimpleNames); ++i) {
        if (name.size() == kSimpleNames[i].size() &&
            strncasecmp(name.data(), kSimpleNames[i].data(), name.size()) == 0) {
            return static_cast<SimpleTag>(i);
        }
    }
    return std::nullopt;
}

bool HoldsNoCase(std::string_view text, std::string_view word) {
    for (std::size_t i = 0; i + word.size() <= text.size(); ++i) {
        if (strncasecmp(text.data() + i, word.data(), word.size()) == 0) {
            return true;
        }
    }
    return false;
}

// Reads the body's simple markup as the parser would build it, element by element. Refuses what
// the parser would build otherwise than written (a block in a paragraph, a row outside a table,
// text between a table's rows, an end tag that closes no element it holds) and what the
// sanitiser would keep more of than the tag's name (a style, a border, a cell's span).
class SimpleReader final {
public:
    std::optional<std::string> Read(std::string_view body) {
        m_out.reserve(body.size() + 16);
        std::size_t i = 0;
        while (i < body.size()) {
            std::size_t nSpecial = i;
            while (nSpecial < body.size() && !IsSpecial(body[nSpecial])) {
                ++nSpecial;
            }
            if (nSpecial > i && !Text(body.substr(i, nSpecial - i))) {
                return std::nullopt;
            }
            i = nSpecial;
            if (i == body.size()) {
                break;
            }
            switch (body[i]) {
                case '>':
                case '"':
                    if (!Text(body.substr(i, 1))) {
                        return std::nullopt;
                    }
                    ++i;
                    break;
                case '\r':
                    i += i + 1 < body.size() && body[i + 1] == '\n' ? 2 : 1;
                    if (!Text("\n")) {
                        return std::nullopt;
                    }
                    break;
                case '<': {
                    const std::size_t nEnd = body.find('>', i);
                    if (nEnd == std::string_view::npos || !Tag(body.substr(i + 1, nEnd - i - 1))) {
                        return std::nullopt;
                    }
                    i = nEnd + 1;
                    break;
                }
                default:  // a reference is read by the parser
                    return std::nullopt;
            }
        }
        if (!m_open.empty()) {
            return std::nullopt;
        }
        return std::move(m_out);
    }

private:
    static bool IsSpecial(char c) {
        return c == '<' || c == '>' || c == '&' || c == '"' || c == '\r';
    }

    // An element the reader has open; tbody is marked when the parser would add it for a row.
    struct Open {
        SimpleTag tag;
        bool bAdded;
    };

    bool Text(std::string_view text) {
        const SimpleTag parent = m_open.empty() ? SimpleTag::kDiv : m_open.back().tag;
        if (parent == SimpleTag::kTable || parent == SimpleTag::kTbody ||
            parent == SimpleTag::kTr) {
            // The parser moves all but white space out of a table's rows.
            if (text.find_first_not_of(" \t\n\f") != std::string_view::npos) {
                return false;
            }
        }
        while (!text.empty()) {
            std::size_t nRun = 0;
            while (nRun < text.size() && text[nRun] != '>' && text[nRun] != '"' &&
                   text[nRun] != '\0') {
                ++nRun;
            }
            m_out.append(text.substr(0, nRun));
            if (nRun == text.size()) {
                break;
            }
            m_out += text[nRun] == '>' ? "&gt;" : text[nRun] == '"' ? "&quot;" : "";
            text.remove_prefix(nRun + 1);
        }
        return true;
    }

    bool Tag(std::string_view tag) {
        const bool bEnd = !tag.empty() && tag.front() == '/';
        tag.remove_prefix(bEnd ? 1 : 0);
        std::size_t nName = 0;
        while (nName < tag.size() && std::isalpha(static_cast<unsigned char>(tag[nName])) != 0) {
            ++nName;
        }
        const std::optional<SimpleTag> found = SimpleTagNamed(tag.substr(0, nName));
        const std::string_view attributes = tag.substr(nName);
        if (!found ||
            (!attributes.empty() && attributes.front() != ' ' && attributes.front() != '\t' &&
             attributes.front() != '\n' && attributes.front() != '/')) {
            return false;
        }
        const SimpleTag name = *found;
        const std::string_view trimmed = TrimWhiteSpace(attributes);
        if (name == SimpleTag::kBr && !bEnd && (trimmed.empty() || trimmed == "/")) {
            m_out += "<br>";
            return true;
        }
        if (name == SimpleTag::kBr || (bEnd && !trimmed.empty()) || HasKeptAttribute(attributes)) {
            return false;
        }
        return bEnd ? Close(name) : Start(name);
    }

    // Quotes and slashes make the end of a tag the parser's to find; a style, a border and a
    // cell's spans are kept by the sanitiser.
    static bool HasKeptAttribute(std::string_view attributes) {
        return attributes.find_first_of("\"'/<`") != std::string_view::npos ||
               HoldsNoCase(attributes, "style") || HoldsNoCase(attributes, "border") ||
               HoldsNoCase(attributes, "span");
    }

    bool Start(SimpleTag tag) {
        const SimpleTag parent = m_open.empty() ? SimpleTag::kDiv : m_open.back().tag;
        const bool bInParagraph = std::any_of(m_open.begin(), m_open.end(), [](const Open& open) {
            return open.tag == SimpleTag::kP;
        });
        const bool bTablePart =
            parent == SimpleTag::kTable || parent == SimpleTag::kTbody || parent == SimpleTag::kTr;
        switch (tag) {
            case SimpleTag::kP:
            case SimpleTag::kDiv:
            case SimpleTag::kTable:
                if (bInParagraph || bTablePart) {
                    return false;
                }
                break;
            case SimpleTag::kTbody:
                if (parent != SimpleTag::kTable) {
                    return false;
                }
                break;
            case SimpleTag::kTr:
                if (parent == SimpleTag::kTable) {
                    m_out += "<tbody>";
                    m_open.push_back({SimpleTag::kTbody, true});
                } else if (parent != SimpleTag::kTbody) {
                    return false;
                }
                break;
            case SimpleTag::kTd:
                if (parent != SimpleTag::kTr) {
                    return false;
                }
                break;
            default:
                if (bTablePart) {
                    return false;
                }
        }
        if (m_open.size() >= kDeepest) {
            return false;
        }
        m_out.append("<").append(kSimpleNames[static_cast<std::size_t>(tag)]).append(">");
        m_open.push_back({tag, false});
        return true;
    }

    bool Close(SimpleTag tag) {
        if (tag == SimpleTag::kTable && !m_open.empty() && m_open.back().bAdded) {
            m_out += "</tbody>";
            m_open.pop_back();
        }
        if (m_open.empty() || m_open.back().tag != tag || m_open.back().bAdded) {
            return false;
        }
        m_out.append("</").append(kSimpleNames[static_cast<std::size_t>(tag)]).append(">");
        m_open.pop_back();
        return true;
    }

    static constexpr std::size_t kDeepest = 64;
    std::string m_out;
    std::vector<Open> m_open;
};

}  // namespace

void AppendEscapedText(std::string& out, std::string_view text) {
    AppendEscaped(out, text);
}

std::string_view ShownBody(std::string_view body) {
    const std::size_t nOpen = body.rfind("</");
    if (nOpen != std::string_view::npos &&
        std::all_of(body.begin() + static_cast<std::ptrdiff_t>(nOpen) + 2, body.end(),
                    [](char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; })) {
        body = body.substr(0, nOpen);
    }
    return body;
}

std::optional<std::string> SanitiseSimpleBody(std::string_view body) {
    return SimpleReader().Read(body);
}

std::string SanitiseBody(std::string_view body, const PictureMap& pictures, PictureForm form) {
    if (IsPlainText(body)) {
        std::string out;
        out.reserve(body.size());
        for (const char c : body) {
            if (c == '>') {
                out += "&gt;";
            } else if (c != '\0') {
                out += c;
            }
        }
        return out;
    }
    if (std::optional<std::string> simple = SanitiseSimpleBody(body)) {
        return std::move(*simple);
    }
    return Sanitiser(pictures, form).Run(body);
}

std::string EscapeFieldText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '&') {
            // A reference stays one: "&amp;", "&#39;".
            std::size_t n = i + 1;
            while (n < text.size() && n - i <= 10 &&
                   (std::isalnum(static_cast<unsigned char>(text[n])) || text[n] == '#')) {
                ++n;
            }
            out += n > i + 1 && n < text.size() && text[n] == ';' ? "&" : "&amp;";
        } else if (c == '<') {
            out += "&lt;";
        } else if (c == '>') {
            out += "&gt;";
        } else if (c == '"') {
            out += "&quot;";
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace vesk
