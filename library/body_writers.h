#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace vesk {

// A body or a field of the board (GB2312, its HTML) as the words a reader sees in it (UTF-8),
// the one way board text is shown as text: the markup gone (an inline tag adds no space), every
// reference read once, what scripts, styles and the like hold left out, blocks and line breaks a
// space apart, runs of white space (no-break spaces too) one space.
std::string ShownText(std::string_view bytes);
// ShownText as the text of our pages (GB2312 markup, characters beyond it as references).
std::string ShownMarkup(std::string_view bytes);
// A field (a title, an author; GB2312) as the words it shows (UTF-8): references read, markup
// kept as the text it is.
std::string FieldText(std::string_view field);

// Text (UTF-8) as Markdown text: runs of white space one space, Markdown's own characters escaped.
void AppendMarkdownWords(std::string& out, std::string_view text);

// A body as Markdown (UTF-8): paragraphs and line breaks kept, bold and italics, links to http and
// https, quotes; what scripts and the like hold left out, other markup gone, the text's own
// Markdown characters escaped. A picture is written as picture(src) names it: a path of the
// picture kept beside the text, or, when that is empty, a link to its address.
std::string MarkdownBody(std::string_view body,
                         const std::function<std::string(const std::string& src)>& picture);

// A body as XHTML for a book (UTF-8, phrasing content only, to stand inside one div): text, bold,
// italics, underlines, colours, links to http and https and line breaks; blocks become line
// breaks; what scripts and the like hold left out. A picture is shown from the path in the book
// picture(src) gives; linked to the web address it gives instead, or to src when that is one.
std::string BookBody(std::string_view body,
                     const std::function<std::string(const std::string& src)>& picture);

}  // namespace vesk
