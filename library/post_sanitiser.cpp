#include "post_sanitiser.h"

#include "code_page.h"
#include "text_cut.h"

#include <gumbo.h>
#include <strings.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <unordered_set>

namespace vesk {

namespace {

// What becomes of an element of the board's HTML.
enum class Keep {
    kElement,  // kept, with the attributes allowed for it
    kText,     // its tag goes, what it holds stays
    kNothing,  // it goes with all it holds
};

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

struct OutputDeleter {
    void operator()(GumboOutput* pOutput) const {
        gumbo_destroy_output(&kGumboDefaultOptions, pOutput);
    }
};
using Parsed = std::unique_ptr<GumboOutput, OutputDeleter>;

// The body parsed as the content of a div, in UTF-8.
Parsed ParseBody(const std::string& strUtf8) {
    GumboOptions options = kGumboDefaultOptions;
    options.fragment_context = GUMBO_TAG_DIV;
    options.max_errors = 0;
    return Parsed(gumbo_parse_with_options(&options, strUtf8.data(), strUtf8.size()));
}

// Walks the tree without recursion (a post can nest as deep as it likes): each text to text,
// each HTML element to element, which says whether the walk goes into its children (and then to
// leave after them). Comments, foreign elements and what is dropped with everything inside it
// are not seen.
template <typename Text, typename Element, typename Leave>
void Walk(const GumboNode* pRoot, Text text, Element element, Leave leave) {
    struct Step {
        const GumboNode* pNode;
        unsigned int nNext;
    };
    std::vector<Step> stack;
    const auto enter = [&](const GumboNode* pNode) {
        switch (pNode->type) {
            case GUMBO_NODE_TEXT:
            case GUMBO_NODE_WHITESPACE:
            case GUMBO_NODE_CDATA:
                text(std::string_view(pNode->v.text.text));
                break;
            case GUMBO_NODE_ELEMENT:
                if (pNode->v.element.tag_namespace == GUMBO_NAMESPACE_HTML &&
                    KeepOf(pNode->v.element.tag) != Keep::kNothing && element(pNode->v.element)) {
                    stack.push_back({pNode, 0});
                }
                break;
            default:
                break;
        }
    };
    for (unsigned int i = 0; i < pRoot->v.element.children.length; ++i) {
        enter(static_cast<const GumboNode*>(pRoot->v.element.children.data[i]));
        while (!stack.empty()) {
            Step& top = stack.back();
            const GumboVector& children = top.pNode->v.element.children;
            if (top.nNext >= children.length) {
                leave(top.pNode->v.element);
                stack.pop_back();
                continue;
            }
            enter(static_cast<const GumboNode*>(children.data[top.nNext++]));
        }
    }
}

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

// Markdown's own characters in a text, escaped, runs of white space one space.
void AppendMarkdownText(std::string& out, std::string_view text) {
    // A space the text begins with stays, unless a space or a line is there already.
    std::string words(out.empty() || out.back() == ' ' || out.back() == '\n' ? "" : "x");
    AppendWords(words, text);
    words.erase(0, out.empty() || out.back() == ' ' || out.back() == '\n' ? 0 : 1);
    for (const char c : words) {
        if (std::string_view("\\`*_[]<>#|").find(c) != std::string_view::npos) {
            out += '\\';
        }
        out += c;
    }
}

// An address as a Markdown link target: no blank, no parenthesis of its own.
std::string LinkTarget(std::string_view address) {
    std::string target;
    for (const char c : address) {
        target += c == ' '   ? std::string("%20")
                  : c == '(' ? std::string("%28")
                  : c == ')' ? std::string("%29")
                             : std::string(1, c);
    }
    return target;
}

class MarkdownWriter final {
public:
    explicit MarkdownWriter(const std::function<std::string(const std::string&)>& picture)
        : m_picture(picture) {}

    std::string Run(std::string_view body) {
        const Parsed parsed = ParseBody(GbkToUtf8Lenient(body));
        Walk(
            parsed->root, [this](std::string_view text) { Text(text); },
            [this](const GumboElement& element) { return Visit(element); },
            [this](const GumboElement& element) { Leave(element); });
        // No blank lines at either end, none more than one in a row.
        std::string text;
        for (const char c : m_out) {
            if (c == '\n' && (text.empty() || text.ends_with("\n\n"))) {
                continue;
            }
            text += c;
        }
        while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
            text.pop_back();
        }
        return text;
    }

private:
    void Text(std::string_view text) { AppendMarkdownText(m_out, text); }

    bool Visit(const GumboElement& element) {
        switch (element.tag) {
            case GUMBO_TAG_BR:
                m_out += "  \n";
                return false;
            case GUMBO_TAG_P:
            case GUMBO_TAG_DIV:
            case GUMBO_TAG_TABLE:
            case GUMBO_TAG_TR:
                m_out += "\n\n";
                break;
            case GUMBO_TAG_TD:
            case GUMBO_TAG_TH:
                m_out += ' ';
                break;
            case GUMBO_TAG_BLOCKQUOTE:
                m_out += "\n\n";
                m_quotes.push_back(m_out.size());
                break;
            case GUMBO_TAG_B:
            case GUMBO_TAG_STRONG:
                m_out += "**";
                break;
            case GUMBO_TAG_I:
            case GUMBO_TAG_EM:
                m_out += '*';
                break;
            case GUMBO_TAG_A:
                if (IsWebAddress(TrimWhiteSpace(Attribute(element, "href")))) {
                    m_out += '[';
                }
                break;
            case GUMBO_TAG_IMG: {
                const std::string src(TrimWhiteSpace(Attribute(element, "src")));
                const std::string path = m_picture ? m_picture(src) : std::string();
                if (!path.empty()) {
                    m_out.append("![\xE5\x9B\xBE\xE7\x89\x87](").append(path).append(")");
                } else if (IsWebAddress(src)) {
                    m_out.append("[\xE5\x9B\xBE\xE7\x89\x87](").append(LinkTarget(src)).append(")");
                } else {
                    m_out += "[\xE5\x9B\xBE\xE7\x89\x87]";
                }
                return false;
            }
            default:
                break;
        }
        return true;
    }

    void Leave(const GumboElement& element) {
        switch (element.tag) {
            case GUMBO_TAG_P:
            case GUMBO_TAG_DIV:
            case GUMBO_TAG_TABLE:
            case GUMBO_TAG_TR:
                m_out += "\n\n";
                break;
            case GUMBO_TAG_BLOCKQUOTE: {
                // Every line the quote wrote begins with "> ".
                const std::size_t nStart = m_quotes.back();
                m_quotes.pop_back();
                std::string quoted = "> ";
                for (std::size_t i = nStart; i < m_out.size(); ++i) {
                    quoted += m_out[i];
                    if (m_out[i] == '\n' && i + 1 < m_out.size()) {
                        quoted += "> ";
                    }
                }
                m_out.resize(nStart);
                m_out.append(quoted).append("\n\n");
                break;
            }
            case GUMBO_TAG_B:
            case GUMBO_TAG_STRONG:
                m_out += "**";
                break;
            case GUMBO_TAG_I:
            case GUMBO_TAG_EM:
                m_out += '*';
                break;
            case GUMBO_TAG_A: {
                const std::string_view href = TrimWhiteSpace(Attribute(element, "href"));
                if (IsWebAddress(href)) {
                    m_out.append("](").append(LinkTarget(href)).append(")");
                }
                break;
            }
            default:
                break;
        }
    }

    const std::function<std::string(const std::string&)>& m_picture;
    std::string m_out;
    std::vector<std::size_t> m_quotes;
};

class BookWriter final {
public:
    explicit BookWriter(const std::function<std::string(const std::string&)>& picture)
        : m_picture(picture) {}

    std::string Run(std::string_view body) {
        const Parsed parsed = ParseBody(GbkToUtf8Lenient(body));
        Walk(
            parsed->root, [this](std::string_view text) { Text(text); },
            [this](const GumboElement& element) { return Visit(element); },
            [this](const GumboElement& element) { Leave(element); });
        while (m_out.ends_with("<br/>")) {
            m_out.resize(m_out.size() - 5);
        }
        return m_out;
    }

private:
    static bool IsBlockTag(GumboTag tag) { return IsBlock(tag) && tag != GUMBO_TAG_BR; }
    // A block ends a line, once, and only after something was shown on it.
    void Break() {
        if (m_bShown) {
            m_out += "<br/>";
            m_bShown = false;
        }
    }
    // The end tag each element kept writes, by the element.
    std::string_view Element(const GumboElement& element) {
        switch (element.tag) {
            case GUMBO_TAG_B:
            case GUMBO_TAG_STRONG:
                m_out += "<b>";
                return "</b>";
            case GUMBO_TAG_I:
            case GUMBO_TAG_EM:
                m_out += "<i>";
                return "</i>";
            case GUMBO_TAG_U:
                m_out += "<u>";
                return "</u>";
            case GUMBO_TAG_A: {
                const std::string_view href = TrimWhiteSpace(Attribute(element, "href"));
                if (!IsWebAddress(href)) {
                    return {};
                }
                m_out += "<a";
                AppendAttribute(m_out, "href", href);
                m_out += '>';
                return "</a>";
            }
            case GUMBO_TAG_FONT:
            case GUMBO_TAG_SPAN: {
                std::string_view colour = element.tag == GUMBO_TAG_FONT
                                              ? Attribute(element, "color")
                                              : std::string_view();
                colour = IsColour(colour) ? colour : StyleColour(Attribute(element, "style"));
                if (colour.empty()) {
                    return {};
                }
                m_out.append("<span style=\"color:").append(colour).append("\">");
                return "</span>";
            }
            default:
                return {};
        }
    }

    void Text(std::string_view text) {
        std::string words(m_out.empty() || m_out.ends_with("<br/>") ? "" : "x");
        AppendWords(words, text);
        const std::string_view shown =
            std::string_view(words).substr(m_out.empty() || m_out.ends_with("<br/>") ? 0 : 1);
        AppendEscaped(m_out, shown);
        m_bShown = m_bShown || TrimWhiteSpace(shown).size() > 0;
    }

    bool Visit(const GumboElement& element) {
        if (element.tag == GUMBO_TAG_BR) {
            m_out += "<br/>";
            return false;
        }
        if (element.tag == GUMBO_TAG_IMG) {
            m_bShown = true;
            const std::string src(TrimWhiteSpace(Attribute(element, "src")));
            const std::string path = m_picture ? m_picture(src) : std::string();
            if (!path.empty()) {
                m_out += "<img";
                AppendAttribute(m_out, "src", path);
                m_out += " alt=\"\xE5\x9B\xBE\xE7\x89\x87\"/>";
            } else if (IsWebAddress(src)) {
                m_out += "<a";
                AppendAttribute(m_out, "href", src);
                m_out += ">[\xE5\x9B\xBE\xE7\x89\x87]</a>";
            } else {
                m_out += "[\xE5\x9B\xBE\xE7\x89\x87]";
            }
            return false;
        }
        if (IsBlockTag(element.tag)) {
            Break();
        }
        m_ends.emplace_back(Element(element));
        return true;
    }

    void Leave(const GumboElement& element) {
        m_out += m_ends.back();
        m_ends.pop_back();
        if (IsBlockTag(element.tag)) {
            Break();
        }
    }

    const std::function<std::string(const std::string&)>& m_picture;
    std::string m_out;
    std::vector<std::string_view> m_ends;
    bool m_bShown = false;
};

}  // namespace

void AppendEscapedText(std::string& out, std::string_view text) {
    AppendEscaped(out, text);
}

void AppendMarkdownWords(std::string& out, std::string_view text) {
    AppendMarkdownText(out, text);
}

std::string BookBody(std::string_view body,
                     const std::function<std::string(const std::string& src)>& picture) {
    return BookWriter(picture).Run(body);
}

std::string MarkdownBody(std::string_view body,
                         const std::function<std::string(const std::string& src)>& picture) {
    return MarkdownWriter(picture).Run(body);
}

std::string BodyText(std::string_view body) {
    return IsPlainText(body) ? PlainWords(body) : TextOf(GbkToUtf8Lenient(body));
}

std::string FieldText(std::string_view field) {
    if (field.find('&') == std::string_view::npos) {
        return PlainWords(field);
    }
    // Only references are read: markup stays the text it is.
    std::string strUtf8;
    for (const char c : GbkToUtf8Lenient(field)) {
        strUtf8 += c == '<' ? std::string_view("&lt;") : std::string_view(&c, 1);
    }
    return TextOf(strUtf8);
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
