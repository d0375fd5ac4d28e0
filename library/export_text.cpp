#include "export_text.h"

#include "body_writers.h"
#include "code_page.h"
#include "post_sanitiser.h"

#include <algorithm>

namespace vesk::exporting {

std::string Utf8(std::string_view gbk) {
    return GbkToUtf8Lenient(gbk);
}

// A field of the forum as Markdown text on one line.
std::string FieldLine(std::string_view gbk) {
    std::string line;
    AppendMarkdownWords(line, FieldText(gbk));
    return line;
}

std::string_view Extension(std::string_view type) {
    if (type == "image/jpeg") {
        return "jpg";
    }
    if (type == "image/gif") {
        return "gif";
    }
    if (type == "image/webp") {
        return "webp";
    }
    return "png";
}

std::string Xml(std::string_view text) {
    std::string out;
    AppendEscapedText(out, text);
    return out;
}

// A field of the forum as XML text.
std::string XmlField(std::string_view gbk) {
    return Xml(FieldText(gbk));
}

// The day a post's time names ("2024-03-05"), or empty.
std::string DayOf(std::string_view time) {
    const std::string text = FieldText(time);
    const bool bDay = text.size() >= 10 && text[4] == '-' && text[7] == '-' &&
                      std::all_of(text.begin(), text.begin() + 10,
                                  [](char c) { return (c >= '0' && c <= '9') || c == '-'; });
    return bDay ? text.substr(0, 10) : std::string();
}

std::string_view ExportMark(const StoredPost& post) {
    return post.bDeleted || post.state == PostState::kEdited ? MarkOf(post) : std::string_view();
}

std::vector<const StoredPost*> ShownPosts(const StoredThread& thread,
                                          const std::vector<StoredPost>& posts,
                                          const PostFilter& filter, bool bOnlyUnread) {
    std::vector<const StoredPost*> shown;
    for (const StoredPost& post : posts) {
        if ((!bOnlyUnread || post.state != PostState::kRead) &&
            PassesFilter(post.strAuthor, IsThreadStarter(post.strAuthor, thread.strStarter),
                         filter)) {
            shown.push_back(&post);
        }
    }
    return shown;
}

std::optional<CarriedPicture> Carried(const std::string& src, const PictureMap& pictures,
                                      bool bPictures, const PictureSource& source) {
    const auto found = pictures.find(src);
    if (!bPictures || found == pictures.end() || !source || found->second.strHash.empty() ||
        found->second.strHash.find_first_not_of("0123456789abcdef") != std::string::npos) {
        return std::nullopt;
    }
    std::optional<KeptPicture> kept = source(found->second.strHash);
    if (!kept) {
        return std::nullopt;
    }
    return CarriedPicture{found->second.strHash, *std::move(kept)};
}

}  // namespace vesk::exporting
