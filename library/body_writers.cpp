// A body written again for elsewhere: its text for the search index, Markdown, and a book's
// XHTML.

#include "body_writers.h"

#include "body_tree.h"
#include "code_page.h"
#include "text_cut.h"

#include <functional>

namespace vesk {

using namespace body;

namespace {

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
                AppendAttribute(m_out, "href", ValidUri(href));
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
            const std::string& address = IsWebAddress(path) ? path : src;
            if (!path.empty() && !IsWebAddress(path)) {
                m_out += "<img";
                AppendAttribute(m_out, "src", path);
                m_out += " alt=\"\xE5\x9B\xBE\xE7\x89\x87\"/>";
            } else if (IsWebAddress(address)) {
                m_out += "<a";
                AppendAttribute(m_out, "href", ValidUri(address));
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

std::string ShownText(std::string_view bytes) {
    return IsPlainText(bytes) ? PlainWords(bytes) : TextOf(GbkToUtf8Lenient(bytes));
}

std::string ShownMarkup(std::string_view bytes) {
    std::string markup;
    AppendEscaped(markup, ShownText(bytes));
    return Utf8ToGbkMarkup(markup);
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

}  // namespace vesk
