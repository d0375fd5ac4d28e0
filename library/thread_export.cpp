#include "thread_export.h"

#include "body_writers.h"
#include "code_page.h"
#include "post_sanitiser.h"
#include "result_page.h"
#include "result_style.h"

#include <zip.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <deque>
#include <filesystem>
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

// A zip file made in memory; the entries' bytes live as long as it does.
class Container final {
public:
    Container() {
        zip_error_init(&m_error);
        m_pSource = zip_source_buffer_create(nullptr, 0, 0, &m_error);
        m_pZip = m_pSource != nullptr ? zip_open_from_source(m_pSource, ZIP_TRUNCATE, &m_error)
                                      : nullptr;
        if (m_pZip == nullptr && m_pSource != nullptr) {
            zip_source_free(m_pSource);
            m_pSource = nullptr;
        }
        if (m_pSource != nullptr) {
            zip_source_keep(m_pSource);
        }
    }
    ~Container() {
        if (m_pZip != nullptr) {
            zip_discard(m_pZip);
        }
        if (m_pSource != nullptr) {
            zip_source_free(m_pSource);
        }
        zip_error_fini(&m_error);
    }
    Container(const Container&) = delete;
    Container& operator=(const Container&) = delete;

    void Add(const std::string& strName, std::string strBytes, bool bStored = false) {
        if (m_pZip == nullptr) {
            return;
        }
        const std::string& bytes = m_bytes.emplace_back(std::move(strBytes));
        zip_source_t* pEntry = zip_source_buffer(m_pZip, bytes.data(), bytes.size(), 0);
        const zip_int64_t nIndex =
            pEntry != nullptr ? zip_file_add(m_pZip, strName.c_str(), pEntry, ZIP_FL_ENC_UTF_8)
                              : -1;
        if (nIndex < 0) {
            zip_source_free(pEntry);
            m_bFailed = true;
            return;
        }
        zip_set_file_compression(m_pZip, static_cast<zip_uint64_t>(nIndex),
                                 bStored ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 0);
    }

    // The container's bytes, or empty when it could not be made.
    std::string Finish() {
        if (m_pZip == nullptr || m_bFailed || zip_close(m_pZip) != 0) {
            return {};
        }
        m_pZip = nullptr;
        std::string out;
        if (zip_source_open(m_pSource) != 0) {
            return {};
        }
        char buffer[65536];
        for (zip_int64_t nRead; (nRead = zip_source_read(m_pSource, buffer, sizeof buffer)) > 0;) {
            out.append(buffer, static_cast<std::size_t>(nRead));
        }
        zip_source_close(m_pSource);
        return out;
    }

private:
    zip_error_t m_error;
    zip_source_t* m_pSource = nullptr;
    zip_t* m_pZip = nullptr;
    std::deque<std::string> m_bytes;
    bool m_bFailed = false;
};

constexpr std::string_view kBookStyle =
    "body{font-family:sans-serif;line-height:1.6}h2{font-size:1.1em;color:#3568BB}"
    ".head{color:#42B475;margin:1em 0 0.2em;font-size:0.9em}.starter .head{color:#c00}"
    ".body{margin:0 0 0.8em 0.8em}img{max-width:100%}";

}  // namespace

std::string ExportEpub(const StoredThread& thread, const std::vector<StoredPost>& posts,
                       const PostFilter& filter, bool bOnlyUnread, const PictureMap& pictures,
                       bool bPictures, const PictureSource& source) {
    std::vector<const StoredPost*> shown;
    for (const StoredPost& post : posts) {
        if ((!bOnlyUnread || post.state != PostState::kRead) &&
            PassesFilter(post.strAuthor, IsThreadStarter(post.strAuthor, thread.strStarter),
                         filter)) {
            shown.push_back(&post);
        }
    }
    Container book;
    book.Add("mimetype", "application/epub+zip", true);
    book.Add("META-INF/container.xml",
             "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
             "<container version=\"1.0\" xmlns=\"urn:oasis:names:tc:opendocument:xmlns:container\">"
             "<rootfiles><rootfile full-path=\"OEBPS/content.opf\""
             " media-type=\"application/oebps-package+xml\"/></rootfiles></container>\n");
    book.Add("OEBPS/style.css", std::string(kBookStyle));
    const std::string title = XmlField(thread.strTitle);
    std::string manifest;
    std::string spine;
    std::string contents;
    std::set<std::string> kept;
    const auto picture = [&](const std::string& src) -> std::string {
        const auto found = pictures.find(src);
        if (!bPictures || found == pictures.end() || !source || found->second.strHash.empty() ||
            found->second.strHash.find_first_not_of("0123456789abcdef") != std::string::npos) {
            return {};
        }
        const std::string& hash = found->second.strHash;
        const std::optional<KeptPicture> image = source(hash);
        if (!image) {
            return {};
        }
        const std::string path = "images/" + hash + "." + std::string(Extension(image->strType));
        if (kept.insert(hash).second) {
            manifest += "<item id=\"i" + hash + "\" href=\"" + path + "\" media-type=\"" +
                        Xml(image->strType) + "\"/>\n";
            book.Add("OEBPS/" + path, image->strData);
        }
        return path;
    };
    const std::size_t nChapters =
        std::max<std::size_t>(1, (shown.size() + kPostsPerChapter - 1) / kPostsPerChapter);
    for (std::size_t c = 0; c < nChapters; ++c) {
        const std::size_t nFrom = c * kPostsPerChapter;
        const std::size_t nTo = std::min(shown.size(), nFrom + kPostsPerChapter);
        const auto floor = [](const StoredPost* pPost) {
            return pPost->nFloor != 0 ? std::to_string(pPost->nFloor) + "\xE6\xA5\xBC"
                                      : std::string("\xE6\x97\xA0\xE6\xA5\xBC\xE5\xB1\x82");
        };
        const std::string heading =
            nFrom < nTo ? floor(shown[nFrom]) + " \xE2\x80\x93 " + floor(shown[nTo - 1])
                        : std::string("\xE6\xB2\xA1\xE6\x9C\x89\xE5\xB8\x96\xE5\xAD\x90");
        std::string chapter =
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE html>\n"
            "<html xmlns=\"http://www.w3.org/1999/xhtml\" xml:lang=\"zh-CN\" lang=\"zh-CN\"><head>"
            "<meta charset=\"utf-8\"/><title>" +
            heading +
            "</title>"
            "<link rel=\"stylesheet\" type=\"text/css\" href=\"style.css\"/></head><body>\n"
            "<h2>" +
            heading + "</h2>\n";
        for (std::size_t i = nFrom; i < nTo; ++i) {
            const StoredPost& post = *shown[i];
            const bool bStarter = IsThreadStarter(post.strAuthor, thread.strStarter);
            chapter += std::string("<div class=\"post") + (bStarter ? " starter" : "") +
                       "\"><p class=\"head\">" + floor(&post) + " \xC2\xB7 " +
                       XmlField(post.strAuthor) + " \xC2\xB7 " + XmlField(post.strTime) +
                       Xml(Utf8(MarkOf(post))) + "</p><div class=\"body\">" +
                       BookBody(post.strBody, picture) + "</div></div>\n";
        }
        chapter += "</body></html>\n";
        const std::string name = "c" + std::to_string(c + 1) + ".xhtml";
        book.Add("OEBPS/" + name, std::move(chapter));
        manifest += "<item id=\"c" + std::to_string(c + 1) + "\" href=\"" + name +
                    "\" media-type=\"application/xhtml+xml\"/>\n";
        spine += "<itemref idref=\"c" + std::to_string(c + 1) + "\"/>";
        contents += "<li><a href=\"" + name + "\">" + heading + "</a></li>";
    }
    book.Add(
        "OEBPS/nav.xhtml",
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE html>\n"
        "<html xmlns=\"http://www.w3.org/1999/xhtml\" xmlns:epub=\"http://www.idpf.org/2007/ops\""
        " xml:lang=\"zh-CN\" lang=\"zh-CN\"><head><meta charset=\"utf-8\"/><title>" +
            title + "</title></head><body><nav epub:type=\"toc\" id=\"toc\"><h1>" + title +
            "</h1><ol>" + contents + "</ol></nav></body></html>\n");
    // When the book was made is when the thread was last read: the same thread makes the same
    // book.
    char szModified[32];
    const auto nRefreshed = static_cast<std::time_t>(thread.nRefreshed);
    std::tm utc{};
    gmtime_r(&nRefreshed, &utc);
    std::strftime(szModified, sizeof szModified, "%Y-%m-%dT%H:%M:%SZ", &utc);
    const std::string first = shown.empty() ? std::string() : DayOf(shown.front()->strTime);
    const std::string last = shown.empty() ? std::string() : DayOf(shown.back()->strTime);
    std::string metadata = "<dc:identifier id=\"id\">urn:vesk:" + Xml(thread.key.strBoardCode) +
                           ":" + Xml(thread.key.strThreadId) + "</dc:identifier><dc:title>" +
                           title + "</dc:title><dc:language>zh-CN</dc:language><dc:creator>" +
                           XmlField(thread.strStarter) + "</dc:creator><dc:publisher>" +
                           XmlField(thread.strBoardName) + "</dc:publisher>";
    if (!first.empty()) {
        metadata += "<dc:date>" + first + "</dc:date>";
        if (!last.empty()) {
            metadata += "<dc:coverage>" + first + " \xE2\x80\x93 " + last + "</dc:coverage>";
        }
    }
    metadata += std::string("<meta property=\"dcterms:modified\">") + szModified + "</meta>";
    book.Add("OEBPS/content.opf",
             "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
             "<package xmlns=\"http://www.idpf.org/2007/opf\" version=\"3.0\""
             " unique-identifier=\"id\" xml:lang=\"zh-CN\">\n"
             "<metadata xmlns:dc=\"http://purl.org/dc/elements/1.1/\">" +
                 metadata +
                 "</metadata>\n<manifest>\n<item id=\"nav\" href=\"nav.xhtml\""
                 " media-type=\"application/xhtml+xml\" properties=\"nav\"/>\n"
                 "<item id=\"css\" href=\"style.css\" media-type=\"text/css\"/>\n" +
                 manifest + "</manifest>\n<spine>" + spine + "</spine>\n</package>\n");
    return book.Finish();
}

MarkdownExport ExportMarkdown(const StoredThread& thread, const std::vector<StoredPost>& posts,
                              const PostFilter& filter, bool bOnlyUnread,
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

std::string_view ExportFormatName(ExportFormat format) {
    switch (format) {
        case ExportFormat::kEpub:
            return "epub";
        case ExportFormat::kMarkdown:
            return "md";
        case ExportFormat::kHtml:
            break;
    }
    return "html";
}

std::optional<ExportFormat> ExportFormatNamed(std::string_view name) {
    for (const ExportFormat format :
         {ExportFormat::kHtml, ExportFormat::kEpub, ExportFormat::kMarkdown}) {
        if (name == ExportFormatName(format)) {
            return format;
        }
    }
    return std::nullopt;
}

std::vector<StoredPost> PostsToShow(ThreadStore& store, const StoredThread& thread,
                                    const PostFilter& filter) {
    const bool bStarterOnly =
        filter.mode == PostFilter::Mode::kStarter && !thread.strStarter.empty();
    return store.Posts(thread.nId, bStarterOnly ? std::optional<std::string_view>(thread.strStarter)
                                                : std::nullopt);
}

std::string WriteThreadExport(ThreadStore& store, const StoredThread& thread,
                              const ExportChoice& choice, const std::string& strPath,
                              const PictureSource& source) {
    const PictureSource pictureSource =
        source ? source : [&store](std::string_view hash) { return store.Picture(hash); };
    const std::vector<StoredPost> posts = PostsToShow(store, thread, choice.filter);
    const PictureMap pictures = store.Pictures(thread.nId);
    switch (choice.format) {
        case ExportFormat::kHtml:
            return WriteResultFile(strPath,
                                   ExportHtml(thread, posts, choice.filter, choice.bOnlyUnread,
                                              pictures, choice.bPictures, pictureSource))
                       ? std::string()
                       : strPath;
        case ExportFormat::kEpub: {
            const std::string strBook = ExportEpub(thread, posts, choice.filter, choice.bOnlyUnread,
                                                   pictures, choice.bPictures, pictureSource);
            return !strBook.empty() && WriteResultFile(strPath, strBook) ? std::string() : strPath;
        }
        case ExportFormat::kMarkdown:
            break;
    }
    const std::filesystem::path out(strPath);
    const MarkdownExport exported =
        ExportMarkdown(thread, posts, choice.filter, choice.bOnlyUnread, pictures, choice.bPictures,
                       pictureSource, out.stem().string() + "_pictures");
    for (const auto& [path, data] : exported.files) {
        const std::filesystem::path file = out.parent_path() / path;
        std::error_code error;
        std::filesystem::create_directories(file.parent_path(), error);
        if (!WriteResultFile(file.string(), data)) {
            return file.string();
        }
    }
    return WriteResultFile(strPath, exported.strText) ? std::string() : strPath;
}

}  // namespace vesk
