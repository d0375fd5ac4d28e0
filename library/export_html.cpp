// The HTML file of an export: one page in UTF-8 that reads well on a phone, its style and its kept
// pictures inside it.

#include "export_text.h"
#include "post_sanitiser.h"
#include "thread_export.h"

#include <algorithm>
#include <openssl/evp.h>

namespace vesk {

namespace {

// A page to read on a phone as well as a desktop: the text large, as wide as a narrow screen
// allows and no wider than a line reads well, a post's tables and long words kept inside the
// screen, the night's colours where the reader's system asks for them.
constexpr std::string_view kPhoneStyle =
    "html{-webkit-text-size-adjust:100%;text-size-adjust:100%}"
    "body{margin:0 auto;max-width:42em;padding:0 14px 24px;font-size:17px;line-height:1.75;"
    "font-family:sans-serif;color:#222;background:#fff;overflow-wrap:anywhere}"
    "h1{font-size:1.25em;line-height:1.45;margin:18px 0 4px}"
    ".meta{margin:0 0 10px;color:#666;font-size:.9em}"
    ".post{border-top:1px solid #e3e3e3;padding:10px 0 4px}"
    ".head{margin:0 0 4px;color:#666;font-size:.9em}.floor{color:#333}"
    ".starter .author{color:#B03A2E;font-weight:bold}"
    ".who{margin-left:2px;padding:0 5px;border-radius:3px;background:#B03A2E;color:#fff}"
    ".body img{max-width:100%;height:auto}"
    ".body table{display:block;max-width:100%;overflow-x:auto;border-collapse:collapse}"
    ".body td,.body th{border:1px solid #ddd;padding:4px 6px}"
    ".vk-ph{display:none}.vk-nopic{color:#777;font-size:.9em;word-break:break-all}"
    "@media (prefers-color-scheme:dark){body{background:#1E1F22;color:#D8D8D8}"
    ".meta,.head,.vk-nopic{color:#AAA}.floor{color:#DDD}.post{border-color:#3A3D42}"
    ".starter .author{color:#FF8A80}.who{background:#A83232}a{color:#8AB4F8}"
    ".body font,.body [style]{color:inherit!important}.body td,.body th{border-color:#3A3D42}}";

}  // namespace

std::string Base64(std::string_view bytes) {
    std::string out(4 * ((bytes.size() + 2) / 3), '\0');
    const int nWritten = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                         reinterpret_cast<const unsigned char*>(bytes.data()),
                                         static_cast<int>(bytes.size()));
    out.resize(static_cast<std::size_t>(std::max(nWritten, 0)));
    return out;
}

std::string ExportHtml(const StoredThread& thread, const std::vector<StoredPost>& posts,
                       const PostFilter& filter, bool bOnlyUnread, const PictureMap& pictures,
                       bool bPictures, const PictureSource& source) {
    using namespace exporting;
    const std::vector<const StoredPost*> shown = ShownPosts(thread, posts, filter, bOnlyUnread);
    const std::string title = Utf8(EscapeFieldText(BareTitle(thread)));
    std::string page;
    page.reserve(shown.size() * 400 + 4096);
    page.append("<!DOCTYPE html>\n<html lang=\"zh-CN\"><head><meta charset=\"utf-8\">\n")
        .append("<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n")
        .append("<title>")
        .append(title)
        .append("</title>\n<style>")
        .append(kPhoneStyle)
        .append("</style></head>\n<body><header><h1>")
        .append(title)
        .append("</h1><p class=meta>")
        .append(Utf8(EscapeFieldText(thread.strBoardName)))
        .append(" · 楼主 ")
        .append(Utf8(EscapeFieldText(thread.strStarter)))
        .append(" · ")
        .append(std::to_string(shown.size()))
        .append(" 帖</p></header>\n");
    const PictureForm form = bPictures ? PictureForm::kKept : PictureForm::kLinks;
    for (const StoredPost* pPost : shown) {
        // The starter's posts say so in words, not by colour alone.
        const bool bStarter = IsThreadStarter(pPost->strAuthor, thread.strStarter);
        page.append(bStarter ? "<article class=\"post starter\"" : "<article class=post");
        if (pPost->nFloor != 0) {
            page.append(" id=f").append(std::to_string(pPost->nFloor));
        }
        page.append("><p class=head><b class=floor>")
            .append(pPost->nFloor != 0 ? std::to_string(pPost->nFloor) + "楼" : "无楼层")
            .append("</b> <span class=author>")
            .append(Utf8(EscapeFieldText(pPost->strAuthor)))
            .append(bStarter ? "</span> <span class=who>楼主</span>" : "</span>")
            .append(" <span class=time>")
            .append(Utf8(EscapeFieldText(pPost->strTime)))
            .append("</span>")
            .append(Xml(Utf8(ExportMark(*pPost))))
            .append("</p><div class=body>")
            .append(Utf8(SanitiseBody(ShownBody(pPost->strBody), pictures, form)))
            .append("</div></article>\n");
    }
    page.append("</body></html>\n");
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
