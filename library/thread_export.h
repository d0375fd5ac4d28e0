#pragma once

#include "thread_page.h"
#include "thread_store.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vesk {

// A kept picture by its hash, or nothing when it is not kept.
using PictureSource = std::function<std::optional<KeptPicture>(std::string_view hash)>;

// A kept thread as one HTML file that needs nothing beside it, to read on a phone as on a desktop:
// UTF-8, the thread's title, the posts the filter shows (with bOnlyUnread those not read) with the
// starter's marked by the word 楼主, bodies sanitised, the style inside it (large text, the
// screen's width, night colours when the system asks) and each kept picture inside it as a data
// address (bPictures; else the pictures are links to their addresses).
std::string ExportHtml(const StoredThread& thread, const std::vector<StoredPost>& posts,
                       const PostFilter& filter, bool bOnlyUnread, const PictureMap& pictures,
                       bool bPictures, const PictureSource& source);

// A kept thread as Markdown (UTF-8): its title, board and starter, then each post the filter
// shows as a heading line (floor, author, time, its mark) and its body; each kept picture
// (bPictures) in a file of the folder strFolder beside the text, named by its hash, the others
// links to their addresses. The files to write beside the text, each once: (path, bytes).
struct MarkdownExport {
    std::string strText;
    std::vector<std::pair<std::string, std::string>> files;
};
MarkdownExport ExportMarkdown(const StoredThread& thread, const std::vector<StoredPost>& posts,
                              const PostFilter& filter, bool bOnlyUnread,
                              const PictureMap& pictures, bool bPictures,
                              const PictureSource& source, const std::string& strFolder);

// A kept thread as an EPUB 3 book: title, board, starter and the dates of its first and last post
// shown in the metadata, a chapter for every 100 posts the filter shows named by its days and
// floors, tables of contents for EPUB 3 and 2, each kept picture (bPictures) inside it once (WebP
// as PNG); with a font file, the part of it the book's characters need inside it and its style's
// font. The container's bytes, or empty when it could not be made (or the font not read).
std::string ExportEpub(const StoredThread& thread, const std::vector<StoredPost>& posts,
                       const PostFilter& filter, bool bOnlyUnread, const PictureMap& pictures,
                       bool bPictures, const PictureSource& source,
                       const std::string& strFontFile = {});
inline constexpr int kPostsPerChapter = 100;

// What an export makes: one HTML file, an EPUB book, Markdown with its pictures beside it.
enum class ExportFormat { kHtml, kEpub, kMarkdown };

// The formats' names on the command line (html, epub, md) and their files' extensions.
std::string_view ExportFormatName(ExportFormat format);
std::optional<ExportFormat> ExportFormatNamed(std::string_view name);

// Which posts an export takes and whether its kept pictures go with it.
struct ExportChoice {
    ExportFormat format = ExportFormat::kHtml;
    PostFilter filter;
    bool bOnlyUnread = false;
    bool bPictures = true;
    std::string strFontFile;  // a book's font, or empty
    // The thread's first page at the forum: a picture never fetched links to the address its src
    // names from there (empty: to its src alone).
    std::string strPageAddress;
};

// The posts of a kept thread the filter may show, from the library: the starter's alone when
// only theirs are shown, else all.
std::vector<StoredPost> PostsToShow(ThreadStore& store, const StoredThread& thread,
                                    const PostFilter& filter);

// Exports a kept thread from the library to strPath, each file written whole or not at all, a
// Markdown text's pictures in the folder "<its name>_pictures" beside it; the pictures come from
// source (the library's when it is empty). Once stopped says so, no more pictures are asked for
// and nothing is written. Empty when everything was written (or it stopped), else the path that
// could not be.
std::string WriteThreadExport(ThreadStore& store, const StoredThread& thread,
                              const ExportChoice& choice, const std::string& strPath,
                              const PictureSource& source = {},
                              const std::function<bool()>& stopped = {});

// The thread's title as an export names it: without what the board adds after it
// ("_<board name>_<site>"), which the export shows apart.
std::string_view BareTitle(const StoredThread& thread);

// Base64 of bytes, as data addresses write them.
std::string Base64(std::string_view bytes);

}  // namespace vesk
