// The EPUB book of an export: a zip container made in memory, its chapters, table of contents
// and package document.

#include "body_tree.h"
#include "body_writers.h"
#include "book_cover.h"
#include "book_font.h"
#include "export_text.h"
#include "picture_convert.h"
#include "thread_export.h"

#include <zip.h>

#include <algorithm>
#include <ctime>
#include <deque>
#include <set>
#include <span>

namespace vesk {

using namespace exporting;

namespace {

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

// The starter's posts are told by a word as well as a colour: e-ink shows no colour.
constexpr std::string_view kBookStyle =
    "body{font-family:sans-serif;line-height:1.6}h2{font-size:1.1em;color:#3568BB}"
    ".head{color:#42B475;margin:1em 0 0.2em;font-size:0.9em}.starter .head{color:#c00}"
    ".who{font-weight:bold;border:1px solid;border-radius:3px;padding:0 3px}"
    ".body{margin:0 0 0.8em 0.8em}img{max-width:100%}";

// More chapters than this are grouped by the month they begin in.
constexpr std::size_t kChaptersUngrouped = 12;

std::string FloorText(const StoredPost& post) {
    return post.nFloor != 0 ? std::to_string(post.nFloor) + "楼" : std::string("无楼层");
}

// A chapter's name by its days and floors: "2024-03-05 – 03-07 · 1–100楼"; the floors alone when
// the board's times name no day.
std::string ChapterName(std::span<const StoredPost* const> posts) {
    if (posts.empty()) {
        return "没有帖子";
    }
    const StoredPost& first = *posts.front();
    const StoredPost& last = *posts.back();
    const std::string floors =
        first.nFloor == 0 || last.nFloor == 0 ? FloorText(first) + " – " + FloorText(last)
        : first.nFloor == last.nFloor
            ? FloorText(first)
            : std::to_string(first.nFloor) + "–" + std::to_string(last.nFloor) + "楼";
    const std::string from = DayOf(first.strTime);
    const std::string to = DayOf(last.strTime);
    if (from.empty() || to.empty()) {
        return floors;
    }
    const std::string days = from == to                             ? from
                             : from.substr(0, 5) == to.substr(0, 5) ? from + " – " + to.substr(5)
                                                                    : from + " – " + to;
    return days + " · " + floors;
}

// The month a chapter begins in, "2024年3月", or empty.
std::string MonthName(std::span<const StoredPost* const> posts) {
    const std::string day = posts.empty() ? std::string() : DayOf(posts.front()->strTime);
    if (day.empty()) {
        return {};
    }
    return day.substr(0, 4) + "年" + std::to_string(std::stoi(day.substr(5, 2))) + "月";
}

// A book being made: what its package lists and its reading order grow as chapters and pictures
// are added.
class Book final {
public:
    Book(const StoredThread& thread, const PictureMap& pictures, bool bPictures,
         const PictureSource& source)
        : m_thread(thread), m_pictures(pictures), m_bPictures(bPictures), m_source(source) {
        m_zip.Add("mimetype", "application/epub+zip", true);
        m_zip.Add("META-INF/container.xml",
                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                  "<container version=\"1.0\" "
                  "xmlns=\"urn:oasis:names:tc:opendocument:xmlns:container\">"
                  "<rootfiles><rootfile full-path=\"OEBPS/content.opf\""
                  " media-type=\"application/oebps-package+xml\"/></rootfiles></container>\n");
    }

    // The chapter of number nNumber (from 1), of the posts given.
    void AddChapter(std::size_t nNumber, std::span<const StoredPost* const> posts);
    // The tables of contents, the style (with the font made of strFontFile, when given) and the
    // package document; the container's bytes, or empty.
    std::string Finish(std::span<const StoredPost* const> shown, const std::string& strFontFile);

private:
    // The path of the kept picture a src names, in the book once; empty when it does not come.
    std::string Picture(const std::string& src);
    std::string Metadata(std::span<const StoredPost* const> shown) const;
    std::string Identifier() const {
        return "urn:vesk:" + Xml(m_thread.key.strBoardCode) + ":" + Xml(m_thread.key.strThreadId);
    }

    const StoredThread& m_thread;
    const PictureMap& m_pictures;
    bool m_bPictures;
    const PictureSource& m_source;
    Container m_zip;
    // Each chapter's file, its name and the month it begins in, for the tables of contents.
    struct Chapter {
        std::string strFile;
        std::string strName;
        std::string strMonth;
    };
    std::string Contents() const;
    // The cover, drawn with the font file (when there is one): a picture readers show in their
    // library, and the book's first page.
    void AddCover(std::span<const StoredPost* const> shown, const std::string& strFontFile);
    bool m_bCover = false;
    std::string Ncx(const std::string& title) const;
    // The chapters as groups of (the group's name, or empty, and its chapters' indexes).
    std::vector<std::pair<std::string, std::vector<std::size_t>>> Groups() const;

    std::string m_manifest;
    std::string m_spine;
    std::vector<Chapter> m_chapters;
    std::string m_text;  // every text the book shows, for its font
    std::set<std::string> m_kept;
};

std::string Book::Picture(const std::string& src) {
    std::optional<CarriedPicture> carried = Carried(src, m_pictures, m_bPictures, m_source);
    if (!carried) {
        // Not in the book: linked to where it was fetched from, when that is known.
        const auto found = m_pictures.find(src);
        return found != m_pictures.end() && body::IsWebAddress(found->second.strAddress)
                   ? found->second.strAddress
                   : std::string();
    }
    // Many readers show no WebP: the book carries it as PNG, or not at all.
    if (carried->picture.strType == "image/webp") {
        std::optional<std::string> png = WebpToPng(carried->picture.strData);
        if (!png) {
            return {};
        }
        carried->picture.strData = *std::move(png);
        carried->picture.strType = "image/png";
    }
    const std::string& hash = carried->strHash;
    const std::string path =
        "images/" + hash + "." + std::string(Extension(carried->picture.strType));
    if (m_kept.insert(hash).second) {
        m_manifest += "<item id=\"i" + hash + "\" href=\"" + path + "\" media-type=\"" +
                      Xml(carried->picture.strType) + "\"/>\n";
        m_zip.Add("OEBPS/" + path, carried->picture.strData);
    }
    return path;
}

void Book::AddChapter(std::size_t nNumber, std::span<const StoredPost* const> posts) {
    const std::string heading = Xml(ChapterName(posts));
    std::string chapter =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE html>\n"
        "<html xmlns=\"http://www.w3.org/1999/xhtml\" xml:lang=\"zh-CN\" lang=\"zh-CN\"><head>"
        "<meta charset=\"utf-8\"/><title>" +
        heading +
        "</title>"
        "<link rel=\"stylesheet\" type=\"text/css\" href=\"style.css\"/></head><body>\n"
        "<h2>" +
        heading + "</h2>\n";
    const auto picture = [this](const std::string& src) { return Picture(src); };
    for (const StoredPost* pPost : posts) {
        const bool bStarter = IsThreadStarter(pPost->strAuthor, m_thread.strStarter);
        chapter +=
            std::string("<div class=\"post") + (bStarter ? " starter" : "") +
            "\"><p class=\"head\">" + FloorText(*pPost) + " \xC2\xB7 " +
            XmlField(pPost->strAuthor) + (bStarter ? " <span class=\"who\">楼主</span>" : "") +
            " \xC2\xB7 " + XmlField(pPost->strTime) + Xml(Utf8(ExportMark(*pPost))) +
            "</p><div class=\"body\">" + BookBody(pPost->strBody, picture) + "</div></div>\n";
    }
    chapter += "</body></html>\n";
    const std::string id = "c" + std::to_string(nNumber);
    const std::string name = id + ".xhtml";
    m_text += chapter;
    m_zip.Add("OEBPS/" + name, std::move(chapter));
    m_manifest +=
        "<item id=\"" + id + "\" href=\"" + name + "\" media-type=\"application/xhtml+xml\"/>\n";
    m_spine += "<itemref idref=\"" + id + "\"/>";
    m_chapters.push_back({name, heading, Xml(MonthName(posts))});
}

std::vector<std::pair<std::string, std::vector<std::size_t>>> Book::Groups() const {
    std::vector<std::pair<std::string, std::vector<std::size_t>>> groups;
    const bool bGrouped = m_chapters.size() > kChaptersUngrouped;
    for (std::size_t i = 0; i < m_chapters.size(); ++i) {
        // A chapter whose first day is unknown stays in the month before it.
        const std::string& month = m_chapters[i].strMonth;
        if (groups.empty() || (bGrouped && !month.empty() && month != groups.back().first)) {
            groups.emplace_back(bGrouped ? month : std::string(), std::vector<std::size_t>{});
        }
        groups.back().second.push_back(i);
    }
    return groups;
}

std::string Book::Contents() const {
    std::string contents;
    for (const auto& [month, chapters] : Groups()) {
        const auto item = [&](std::size_t i) {
            return "<li><a href=\"" + m_chapters[i].strFile + "\">" + m_chapters[i].strName +
                   "</a></li>";
        };
        if (month.empty()) {
            for (const std::size_t i : chapters) {
                contents += item(i);
            }
            continue;
        }
        contents +=
            "<li><a href=\"" + m_chapters[chapters.front()].strFile + "\">" + month + "</a><ol>";
        for (const std::size_t i : chapters) {
            contents += item(i);
        }
        contents += "</ol></li>";
    }
    return contents;
}

// The table of contents of EPUB 2, which many readers read for a side-loaded book: the same
// entries as the navigation document's, in the same order.
std::string Book::Ncx(const std::string& title) const {
    std::string points;
    const auto point = [&](const std::string& id, std::size_t nChapter, const std::string& name) {
        return "<navPoint id=\"" + id + "\" playOrder=\"" + std::to_string(nChapter + 1) +
               "\"><navLabel><text>" + name + "</text></navLabel><content src=\"" +
               m_chapters[nChapter].strFile + "\"/>";
    };
    bool bNested = false;
    for (const auto& [month, chapters] : Groups()) {
        if (!month.empty()) {
            bNested = true;
            points += point("m" + std::to_string(chapters.front() + 1), chapters.front(), month);
        }
        for (const std::size_t i : chapters) {
            points += point("n" + std::to_string(i + 1), i, m_chapters[i].strName) + "</navPoint>";
        }
        if (!month.empty()) {
            points += "</navPoint>";
        }
    }
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<ncx xmlns=\"http://www.daisy.org/z3986/2005/ncx/\" version=\"2005-1\""
           " xml:lang=\"zh-CN\"><head><meta name=\"dtb:uid\" content=\"" +
           Identifier() + "\"/><meta name=\"dtb:depth\" content=\"" + (bNested ? "2" : "1") +
           "\"/><meta name=\"dtb:totalPageCount\" content=\"0\"/>"
           "<meta name=\"dtb:maxPageNumber\" content=\"0\"/></head><docTitle><text>" +
           title + "</text></docTitle><navMap>" + points + "</navMap></ncx>\n";
}

void Book::AddCover(std::span<const StoredPost* const> shown, const std::string& strFontFile) {
    if (strFontFile.empty()) {
        return;
    }
    const std::string first = shown.empty() ? std::string() : DayOf(shown.front()->strTime);
    const std::string last = shown.empty() ? std::string() : DayOf(shown.back()->strTime);
    const CoverText text{FieldText(BareTitle(m_thread)), FieldText(m_thread.strStarter),
                         first.empty() || last.empty() ? std::string()
                         : first == last               ? first
                                                       : first + " – " + last,
                         FieldText(m_thread.strBoardName)};
    const std::optional<std::string> cover = DrawCover(text, strFontFile);
    if (!cover) {
        return;
    }
    m_bCover = true;
    m_zip.Add("OEBPS/images/cover.png", *cover);
    m_zip.Add("OEBPS/cover.xhtml",
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE html>\n"
              "<html xmlns=\"http://www.w3.org/1999/xhtml\" xml:lang=\"zh-CN\" lang=\"zh-CN\">"
              "<head><meta charset=\"utf-8\"/><title>封面</title>"
              "<style type=\"text/css\">body{margin:0;text-align:center}"
              "img{max-width:100%;max-height:100%}</style></head>"
              "<body><img src=\"images/cover.png\" alt=\"" +
                  XmlField(BareTitle(m_thread)) + "\"/></body></html>\n");
    m_manifest =
        "<item id=\"cover-image\" href=\"images/cover.png\" media-type=\"image/png\""
        " properties=\"cover-image\"/>\n"
        "<item id=\"cover\" href=\"cover.xhtml\" media-type=\"application/xhtml+xml\"/>\n" +
        m_manifest;
    m_spine = "<itemref idref=\"cover\"/>" + m_spine;
}

std::string Book::Metadata(std::span<const StoredPost* const> shown) const {
    // When the book was made is when the thread was last read: the same thread makes the same
    // book.
    char szModified[32];
    const auto nRefreshed = static_cast<std::time_t>(m_thread.nRefreshed);
    std::tm utc{};
    gmtime_r(&nRefreshed, &utc);
    std::strftime(szModified, sizeof szModified, "%Y-%m-%dT%H:%M:%SZ", &utc);
    const std::string first = shown.empty() ? std::string() : DayOf(shown.front()->strTime);
    const std::string last = shown.empty() ? std::string() : DayOf(shown.back()->strTime);
    std::string metadata = "<dc:identifier id=\"id\">" + Identifier() +
                           "</dc:identifier><dc:title>" + XmlField(BareTitle(m_thread)) +
                           "</dc:title><dc:language>zh-CN</dc:language><dc:creator>" +
                           XmlField(m_thread.strStarter) + "</dc:creator><dc:publisher>" +
                           XmlField(m_thread.strBoardName) + "</dc:publisher>";
    if (!first.empty()) {
        metadata += "<dc:date>" + first + "</dc:date>";
        if (!last.empty()) {
            metadata += "<dc:coverage>" + first + " \xE2\x80\x93 " + last + "</dc:coverage>";
        }
    }
    // Readers of EPUB 2 find the cover by this.
    if (m_bCover) {
        metadata += "<meta name=\"cover\" content=\"cover-image\"/>";
    }
    return metadata + "<meta property=\"dcterms:modified\">" + szModified + "</meta>";
}

std::string Book::Finish(std::span<const StoredPost* const> shown, const std::string& strFontFile) {
    const std::string title = XmlField(BareTitle(m_thread));
    const std::string nav =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE html>\n"
        "<html xmlns=\"http://www.w3.org/1999/xhtml\" xmlns:epub=\"http://www.idpf.org/2007/ops\""
        " xml:lang=\"zh-CN\" lang=\"zh-CN\"><head><meta charset=\"utf-8\"/><title>" +
        title + "</title></head><body><nav epub:type=\"toc\" id=\"toc\"><h1>" + title +
        "</h1><ol>" + Contents() + "</ol></nav></body></html>\n";
    m_text += nav;
    m_zip.Add("OEBPS/nav.xhtml", nav);
    m_zip.Add("OEBPS/toc.ncx", Ncx(title));
    std::string style(kBookStyle);
    if (!strFontFile.empty()) {
        // E-readers without a Chinese font show boxes: the book brings the glyphs it needs.
        const std::optional<BookFont> font = SubsetFont(strFontFile, m_text);
        if (!font) {
            return {};
        }
        const std::string path = "fonts/book." + font->strExtension;
        m_manifest +=
            "<item id=\"font\" href=\"" + path + "\" media-type=\"" + font->strType + "\"/>\n";
        m_zip.Add("OEBPS/" + path, font->strData);
        style = "@font-face{font-family:\"vesk-book\";src:url(" + path + ")}" + style;
        style.replace(style.find("font-family:sans-serif"), 22,
                      "font-family:\"vesk-book\",sans-serif");
    }
    m_zip.Add("OEBPS/style.css", style);
    AddCover(shown, strFontFile.empty() ? InstalledChineseFont() : strFontFile);
    m_zip.Add("OEBPS/content.opf",
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<package xmlns=\"http://www.idpf.org/2007/opf\" version=\"3.0\""
              " unique-identifier=\"id\" xml:lang=\"zh-CN\">\n"
              "<metadata xmlns:dc=\"http://purl.org/dc/elements/1.1/\">" +
                  Metadata(shown) +
                  "</metadata>\n<manifest>\n<item id=\"nav\" href=\"nav.xhtml\""
                  " media-type=\"application/xhtml+xml\" properties=\"nav\"/>\n"
                  "<item id=\"ncx\" href=\"toc.ncx\" media-type=\"application/x-dtbncx+xml\"/>\n"
                  "<item id=\"css\" href=\"style.css\" media-type=\"text/css\"/>\n" +
                  m_manifest + "</manifest>\n<spine toc=\"ncx\">" + m_spine +
                  "</spine>\n</package>\n");
    return m_zip.Finish();
}

}  // namespace

std::string ExportEpub(const StoredThread& thread, const std::vector<StoredPost>& posts,
                       const PostFilter& filter, bool bOnlyUnread, const PictureMap& pictures,
                       bool bPictures, const PictureSource& source,
                       const std::string& strFontFile) {
    const std::vector<const StoredPost*> shown = ShownPosts(thread, posts, filter, bOnlyUnread);
    Book book(thread, pictures, bPictures, source);
    const std::span<const StoredPost* const> all(shown);
    const std::size_t nChapters =
        std::max<std::size_t>(1, (shown.size() + kPostsPerChapter - 1) / kPostsPerChapter);
    for (std::size_t c = 0; c < nChapters; ++c) {
        const std::size_t nFrom = std::min(shown.size(), c * kPostsPerChapter);
        book.AddChapter(c + 1, all.subspan(nFrom, std::min(shown.size() - nFrom,
                                                           std::size_t{kPostsPerChapter})));
    }
    return book.Finish(all, strFontFile);
}

}  // namespace vesk
