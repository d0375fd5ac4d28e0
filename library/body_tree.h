#pragma once

// What the sanitiser and the writers of a body (its text, Markdown, a book's XHTML) share.

#include <gumbo.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vesk::body {

// What becomes of an element of the board's HTML.
enum class Keep {
    kElement,  // kept, with the attributes allowed for it
    kText,     // its tag goes, what it holds stays
    kNothing,  // it goes with all it holds
};
Keep KeepOf(GumboTag tag);
bool IsVoid(GumboTag tag);
bool IsBlock(GumboTag tag);

bool IsWebAddress(std::string_view address);
// An address as a valid URI: every byte a URI may not hold as it is (space, quotes, angle brackets,
// a backtick, a stray %, anything beyond ASCII) percent-encoded, the rest as it stands.
std::string ValidUri(std::string_view address);
// "#rgb", "#rrggbb" or a colour's name.
bool IsColour(std::string_view value);
bool IsNumber(std::string_view value, std::size_t nMaxDigits);
// The colour a style declares, empty when it declares none that is allowed.
std::string_view StyleColour(std::string_view style);

// Text as HTML text or an attribute's value: & < > " as references.
void AppendEscaped(std::string& out, std::string_view text);
void AppendAttribute(std::string& out, std::string_view name, std::string_view value);
std::string_view Attribute(const GumboElement& element, const char* pszName);

struct OutputDeleter {
    void operator()(GumboOutput* pOutput) const;
};
using Parsed = std::unique_ptr<GumboOutput, OutputDeleter>;
// The body parsed as the content of a div, in UTF-8.
Parsed ParseBody(const std::string& strUtf8);

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

// Whether a body can hold nothing but text: no markup, no reference.
bool IsPlainText(std::string_view body);
// Appends text with every run of white space (no-break spaces too) as one space, none at the
// start.
void AppendWords(std::string& out, std::string_view text);
// The words of a body (UTF-8), blocks apart.
std::string TextOf(const std::string& strUtf8);
std::string PlainWords(std::string_view text);

}  // namespace vesk::body
