#pragma once

#include <optional>
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

// A body as the board's cut left it may end in an end tag begun ("</", "</di"), which would take
// the markup after it for part of that tag: what a reader sees ends before it.
std::string_view ShownBody(std::string_view body);

// The sanitiser's markup for a body of text and a few plain tags nested as written (paragraphs,
// breaks, bold and the like, tables of rows and cells), made without parsing it; nothing when the
// body needs the parser. SanitiseBody tries it first.
std::optional<std::string> SanitiseSimpleBody(std::string_view body);

// A field that is text (a title, an author, a time; GB2312) for our pages: markup in it is shown
// as it stands, a character reference is read as one.
std::string EscapeFieldText(std::string_view text);

// Text as HTML or XML text: &, <, > and " written as references.
void AppendEscapedText(std::string& out, std::string_view text);

}  // namespace vesk
