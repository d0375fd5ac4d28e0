#include "thread_export.h"

#include "code_page.h"
#include "post_sanitiser.h"
#include "result_style.h"

#include <algorithm>
#include <openssl/evp.h>
#include <set>

namespace vesk {

namespace {

constexpr std::string_view kStyleLink =
    "<link href=\"vesk3.css\" rel=\"stylesheet\" type=\"text/css\" />\r\n";

std::string Utf8(std::string_view gbk) {
    return GbkToUtf8Lenient(gbk);
}

// A field of the forum as Markdown text on one line.
std::string FieldLine(std::string_view gbk) {
    std::string line;
    for (const char c : FieldText(gbk)) {
        if (std::string_view("\\`*_[]<>#|").find(c) != std::string_view::npos) {
            line += '\\';
        }
        line += c == '\n' || c == '\r' ? ' ' : c;
    }
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

}  // namespace

MarkdownExport ExportMarkdown(const StoredThread& thread, const std::vector<StoredPost>& posts,
                              const ResultFilter& filter, bool bOnlyUnread,
                              const PictureMap& pictures, bool bPictures,
                              const PictureSource& source, const std::string& strFolder) {
    MarkdownExport exported;
    std::set<std::string> written;
    const auto picture = [&](const std::string& src) -> std::string {
        const auto found = pictures.find(src);
        if (!bPictures || found == pictures.end() || found->second.strHash.empty() || !source) {
            return {};
        }
        // The hash names a file: only what a hash can be.
        const std::string& hash = found->second.strHash;
        if (hash.find_first_not_of("0123456789abcdef") != std::string::npos) {
            return {};
        }
        const std::optional<KeptPicture> kept = source(hash);
        if (!kept) {
            return {};
        }
        std::string path = strFolder + "/" + hash + "." + std::string(Extension(kept->strType));
        if (written.insert(path).second) {
            exported.files.emplace_back(path, kept->strData);
        }
        return path;
    };
    std::string& text = exported.strText;
    text = "# " + FieldLine(thread.strTitle) + "\n\n";
    text += "\xE7\x89\x88\xE5\x9D\x97\xEF\xBC\x9A" + FieldLine(thread.strBoardName) +
            " \xC2\xB7 \xE6\xA5\xBC\xE4\xB8\xBB\xEF\xBC\x9A" + FieldLine(thread.strStarter) +
            "\n\n";
    for (const StoredPost& post : posts) {
        if ((bOnlyUnread && post.state == PostState::kRead) ||
            !PassesFilter(post.strAuthor, IsThreadStarter(post.strAuthor, thread.strStarter),
                          filter)) {
            continue;
        }
        text += "### ";
        if (post.nFloor != 0) {
            text += std::to_string(post.nFloor) + "\xE6\xA5\xBC \xC2\xB7 ";
        }
        text += FieldLine(post.strAuthor) + " \xC2\xB7 " + FieldLine(post.strTime) +
                Utf8(MarkOf(post)) + "\n\n";
        text += MarkdownBody(post.strBody, picture) + "\n\n";
    }
    return exported;
}

std::string Base64(std::string_view bytes) {
    std::string out(4 * ((bytes.size() + 2) / 3), '\0');
    const int nWritten = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                         reinterpret_cast<const unsigned char*>(bytes.data()),
                                         static_cast<int>(bytes.size()));
    out.resize(static_cast<std::size_t>(std::max(nWritten, 0)));
    return out;
}

std::string ExportHtml(const StoredThread& thread, const std::vector<StoredPost>& posts,
                       const ResultFilter& filter, bool bOnlyUnread, const PictureMap& pictures,
                       bool bPictures, const PictureSource& source) {
    const std::string style =
        std::string("<style type=\"text/css\">") + kResultStyleSheet + "</style>";
    std::string page =
        ComposeThreadPage(thread, posts, filter, bOnlyUnread, pictures,
                          bPictures ? PictureForm::kKept : PictureForm::kLinks, style)
            .strText;
    if (const std::size_t nLink = page.find(kStyleLink); nLink != std::string::npos) {
        page.erase(nLink, kStyleLink.size());
    }
    // Each kept picture named by our scheme comes inside the page, once per place it is shown.
    const std::string scheme = "src=\"" + std::string(kPictureScheme) + ":";
    std::string out;
    out.reserve(page.size());
    std::size_t nAt = 0;
    for (std::size_t n = page.find(scheme); n != std::string::npos; n = page.find(scheme, nAt)) {
        const std::size_t nHash = n + scheme.size();
        const std::size_t nEnd = page.find('"', nHash);
        if (nEnd == std::string::npos) {
            break;
        }
        out.append(page, nAt, n - nAt).append("src=\"");
        const std::optional<KeptPicture> picture =
            source ? source(std::string_view(page).substr(nHash, nEnd - nHash)) : std::nullopt;
        if (picture) {
            out.append("data:").append(picture->strType).append(";base64,");
            out.append(Base64(picture->strData));
        }
        nAt = nEnd;
    }
    return out.append(page, nAt, std::string::npos);
}

}  // namespace vesk
