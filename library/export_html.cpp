// The HTML file of an export: the library's page of the thread with its style sheet and its kept
// pictures inside it.

#include "post_sanitiser.h"
#include "result_style.h"
#include "thread_export.h"

#include <algorithm>
#include <openssl/evp.h>

namespace vesk {

namespace {

constexpr std::string_view kStyleLink =
    "<link href=\"vesk3.css\" rel=\"stylesheet\" type=\"text/css\" />\r\n";

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
