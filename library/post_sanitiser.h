#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vesk {

// The scheme our pages name kept pictures by: "vesk-picture:" and the picture's SHA-256 in hex.
inline constexpr std::string_view kPictureScheme = "vesk-picture";

// A picture a post shows, as the library knows it: the address it was fetched from (empty until a
// refresh has tried) and its hash in hex (empty while it is not kept).
struct PictureRef {
    std::string strAddress;
    std::string strHash;
};
// A thread's pictures by their src as the posts write it (UTF-8, character references read).
using PictureMap = std::unordered_map<std::string, PictureRef>;

// How a body's pictures are shown.
enum class PictureForm {
    kKept,   // a kept picture by our scheme, with a placeholder beside it for the picture-less mode
    kLinks,  // a link to its address, for pages read outside the window
    kText,   // the word "[图片]", for text made of a body (a notification's first words)
};

// A post's body (GB2312 bytes, the board's HTML) as markup safe to show inside one post of our
// pages (GB2312, characters beyond it as references): parsed as HTML5 does, only an allow-list of
// elements and attributes kept, colours the only style, links only to http and https, every
// element closed inside the body. Scripts, styles, frames, embeds and forms go with what they hold;
// other elements not allowed leave their text.
std::string SanitiseBody(std::string_view body, const PictureMap& pictures,
                         PictureForm form = PictureForm::kKept);

// A field that is text (a title, an author, a time; GB2312) for our pages: markup in it is shown
// as it stands, a character reference is read as one.
std::string EscapeFieldText(std::string_view text);

// A body as the words a reader sees in it (UTF-8): the markup gone, references read, what
// scripts, styles and the like hold left out, blocks and line breaks a space apart, runs of white
// space one space.
std::string BodyText(std::string_view body);
// A field (a title, an author; GB2312) as the words it shows (UTF-8): references read, markup
// kept as the text it is.
std::string FieldText(std::string_view field);

// Text as HTML or XML text: &, <, > and " written as references.
void AppendEscapedText(std::string& out, std::string_view text);
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
// breaks; what scripts and the like hold left out. A picture is shown from the path picture(src)
// gives, or, when that is empty, linked to its address.
std::string BookBody(std::string_view body,
                     const std::function<std::string(const std::string& src)>& picture);

// The src of each picture a body shows (UTF-8, references read, in order, each once): addresses
// of http and https, and relative ones.
std::vector<std::string> PictureSources(std::string_view body);

// Where a picture's src, found on a page at strPageAddress, points: an http or https address, or
// empty when it is something else (data:, javascript:).
std::string ResolvePictureAddress(std::string_view src, std::string_view strPageAddress);

}  // namespace vesk
