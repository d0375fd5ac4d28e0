#pragma once

// What the export's writers share: the forum's fields as UTF-8, XML and Markdown text, the posts
// an export shows, and each kept picture it carries.

#include "thread_export.h"

#include <string>
#include <string_view>
#include <vector>

namespace vesk::exporting {

std::string Utf8(std::string_view gbk);
// A field of the forum as Markdown text on one line.
std::string FieldLine(std::string_view gbk);
// A picture's file extension by its type.
std::string_view Extension(std::string_view type);
std::string Xml(std::string_view text);
// A field of the forum as XML text.
std::string XmlField(std::string_view gbk);
// The day a post's time names ("2024-03-05"), or empty.
std::string DayOf(std::string_view time);
// A post's mark in an export: a deletion or an edit is a fact of the post; being new is only news
// of the day, and would change a file made again (a book's chapter a reader is in) for nothing.
std::string_view ExportMark(const StoredPost& post);
// The posts the filter shows, with bOnlyUnread those not read.
std::vector<const StoredPost*> ShownPosts(const StoredThread& thread,
                                          const std::vector<StoredPost>& posts,
                                          const PostFilter& filter, bool bOnlyUnread);
// The kept picture a src names, with its hash, when pictures go with the export; the hash names
// a file, so only what a hash can be is taken.
struct CarriedPicture {
    std::string strHash;
    KeptPicture picture;
};
std::optional<CarriedPicture> Carried(const std::string& src, const PictureMap& pictures,
                                      bool bPictures, const PictureSource& source);

}  // namespace vesk::exporting
