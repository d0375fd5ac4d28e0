// The Markdown text of an export, with its kept pictures in files beside it.

#include "body_writers.h"
#include "export_text.h"
#include "thread_export.h"

#include <set>

namespace vesk {

using namespace exporting;

MarkdownExport ExportMarkdown(const StoredThread& thread, const std::vector<StoredPost>& posts,
                              const PostFilter& filter, bool bOnlyUnread,
                              const PictureMap& pictures, bool bPictures,
                              const PictureSource& source, const std::string& strFolder) {
    MarkdownExport exported;
    std::set<std::string> written;
    const auto picture = [&](const std::string& src) -> std::string {
        const std::optional<CarriedPicture> carried = Carried(src, pictures, bPictures, source);
        if (!carried) {
            return {};
        }
        std::string path = strFolder + "/" + carried->strHash + "." +
                           std::string(Extension(carried->picture.strType));
        if (written.insert(path).second) {
            exported.files.emplace_back(path, carried->picture.strData);
        }
        return path;
    };
    std::string& text = exported.strText;
    text = "# " + FieldLine(BareTitle(thread)) + "\n\n";
    text += "\xE7\x89\x88\xE5\x9D\x97\xEF\xBC\x9A" + FieldLine(thread.strBoardName) +
            " \xC2\xB7 \xE6\xA5\xBC\xE4\xB8\xBB\xEF\xBC\x9A" + FieldLine(thread.strStarter) +
            "\n\n";
    for (const StoredPost* pPost : ShownPosts(thread, posts, filter, bOnlyUnread)) {
        text += "### ";
        if (pPost->nFloor != 0) {
            text += std::to_string(pPost->nFloor) + "\xE6\xA5\xBC \xC2\xB7 ";
        }
        text += FieldLine(pPost->strAuthor) + " \xC2\xB7 " + FieldLine(pPost->strTime) +
                Utf8(ExportMark(*pPost)) + "\n\n";
        text += MarkdownBody(pPost->strBody, picture) + "\n\n";
    }
    return exported;
}

}  // namespace vesk
