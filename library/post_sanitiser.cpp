#include "post_sanitiser.h"

#include "body_tree.h"
#include "code_page.h"
#include "text_cut.h"

#include <cctype>
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

}  // namespace

void AppendEscapedText(std::string& out, std::string_view text) {
    AppendEscaped(out, text);
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

}  // namespace vesk
