#include "result_page.h"

#include "text_cut.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace vesk {

namespace {

constexpr std::string_view kPageHead =
    "<html xmlns=\"http://www.w3.org/1999/xhtml\"><head><meta http-equiv=\"Content-Type\" "
    "content=\"text/html; charset=GB2312\" /><title></title>"
    "<link href=\"vesk3.css\" rel=\"stylesheet\" type=\"text/css\" />\r\n"
    "<style type=\"text/css\">body{font-size:12px; line-height:22px; margin:2px;}"
    "td{font-size:12px; line-height:22px;}</style>";
constexpr std::string_view kHeadEnd =
    "</head>"
    "<body><table width=100% cellspacing=0>"
    "<tr><td style=border-bottom-width:1px;border-bottom-color:#8EC3EB;border-bottom-style:solid;"
    "color:#3568BB;font-weight:bold;height:24px;line-height:24px;padding-left:10px;"
    "margin-bottom:5px;>";
constexpr std::string_view kTitleEnd = "</td></tr>";
constexpr std::string_view kRowStart = "<tr><td><div style=";
constexpr std::string_view kRowCell = "><td><div style=";
constexpr std::string_view kStarterColour = "color:red;";
constexpr std::string_view kOtherColour = "color:#42B475;";
constexpr std::string_view kFloorStart =
    "padding-left:10px;><div style=float:left;margin-right:6px;>";
// 楼 and a blank, in GB2312.
constexpr std::string_view kFloorSuffix = "\xC2\xA5 ";
constexpr std::string_view kAuthorEnd = "</div>";
constexpr std::string_view kBodyStart = "</div><div style=padding-left:20px;>";
constexpr std::string_view kRowEnd = "</div></td></tr>\r\n";
constexpr std::string_view kPageEnd = "</table></body></html>";

std::string_view FieldText(const char* pszField, std::size_t nSize) {
    return {pszField, strnlen(pszField, nSize)};
}

// The process's umask, read without changing it (umask() would, for every thread at once).
mode_t CurrentUmask() {
    std::FILE* pStatus = std::fopen("/proc/self/status", "r");
    mode_t nMask = 022;
    if (pStatus != nullptr) {
        char szLine[128];
        while (std::fgets(szLine, sizeof szLine, pStatus) != nullptr) {
            unsigned int nValue = 0;
            if (std::sscanf(szLine, "Umask: %o", &nValue) == 1) {
                nMask = static_cast<mode_t>(nValue);
                break;
            }
        }
        std::fclose(pStatus);
    }
    return nMask;
}

// The elements whose content a browser reads as text up to their end tag (or, for plaintext, to
// the page's end): one left open in a post would swallow every post after it.
constexpr std::string_view kRawTextElements[] = {"script",   "style",    "textarea", "title",
                                                 "xmp",      "iframe",   "noscript", "noembed",
                                                 "noframes", "plaintext"};

// Whether the tag at text[n] ("<name" or "</name") opens or closes a raw-text element.
bool RawTextTagAt(std::string_view text, std::size_t n) {
    const std::size_t nName = n + 1 < text.size() && text[n + 1] == '/' ? n + 2 : n + 1;
    return std::any_of(std::begin(kRawTextElements), std::end(kRawTextElements),
                       [&](std::string_view name) { return IsTagAt(text, nName, name); });
}

// The body with the "<" of every raw-text element's tags written as "&lt;"; every other byte
// as it stands. Most bodies hold none, and come back as they are.
std::string_view MendRawText(std::string_view body, std::string& strMended) {
    std::size_t nDone = 0;
    bool bMended = false;
    for (std::size_t n = body.find('<'); n != std::string_view::npos; n = body.find('<', n + 1)) {
        if (!RawTextTagAt(body, n)) {
            continue;
        }
        if (!bMended) {
            strMended.clear();
            bMended = true;
        }
        strMended.append(body.substr(nDone, n - nDone)).append("&lt;");
        nDone = n + 1;
    }
    if (!bMended) {
        return body;
    }
    strMended.append(body.substr(nDone));
    return strMended;
}

}  // namespace

bool IsThreadStarter(std::string_view author, std::string_view starter) {
    return !author.empty() && author == starter;
}

std::vector<std::string_view> PostFilter::Names() const {
    std::vector<std::string_view> names;
    if (mode != Mode::kNames) {
        return names;
    }
    std::string_view list = strNameList;
    while (true) {
        const std::size_t nComma = list.find(',');
        names.push_back(list.substr(0, nComma));
        if (nComma == std::string_view::npos) {
            return names;
        }
        list.remove_prefix(nComma + 1);
    }
}

bool PassesFilter(std::string_view author, bool bStarter, const PostFilter& filter) {
    switch (filter.mode) {
        case PostFilter::Mode::kAll:
            return true;
        case PostFilter::Mode::kStarter:
            return bStarter;
        case PostFilter::Mode::kNames:
            break;
        case PostFilter::Mode::kNone:
            return false;
    }
    // An empty name occurs in every author.
    for (const std::string_view name : filter.Names()) {
        if (author.find(name) != std::string_view::npos) {
            return true;
        }
    }
    return false;
}

ResultPageComposer::ResultPageComposer(std::string_view title, std::string_view starter,
                                       PostFilter filter, std::size_t nReserve,
                                       std::string_view headExtra)
    : m_starter(starter), m_filter(std::move(filter)) {
    m_page.strText.reserve(kPageHead.size() + headExtra.size() + kHeadEnd.size() + title.size() +
                           kTitleEnd.size() + kPageEnd.size() + nReserve);
    m_page.strText.append(kPageHead).append(headExtra).append(kHeadEnd).append(title).append(
        kTitleEnd);
    m_nHead = m_page.strText.size();
}

bool ResultPageComposer::Passes(std::string_view author) const {
    return PassesFilter(author, IsThreadStarter(author, m_starter), m_filter);
}

void ResultPageComposer::AddLine(std::string_view html) {
    m_page.strText.append("<tr><td>").append(html).append("</td></tr>\r\n");
}

void ResultPageComposer::AddRows(std::string_view html) {
    m_page.strText.append(html);
}

std::string ResultPageComposer::TakeRows() && {
    m_page.strText.erase(0, m_nHead);
    return std::move(m_page.strText);
}

void ResultPageComposer::Add(const PostRow& row) {
    const bool bStarter = row.bStarter.value_or(IsThreadStarter(row.author, m_starter));
    if (!PassesFilter(row.author, bStarter, m_filter)) {
        return;
    }
    char szFloor[16];
    const auto [pEnd, ec] = std::to_chars(szFloor, szFloor + sizeof szFloor, row.nFloor);
    if (row.rowAttributes.empty()) {
        m_page.strText.append(kRowStart);
    } else {
        m_page.strText.append("<tr ").append(row.rowAttributes).append(kRowCell);
    }
    m_page.strText.append(bStarter ? kStarterColour : kOtherColour)
        .append(kFloorStart)
        .append(szFloor, static_cast<std::size_t>(pEnd - szFloor))
        .append(kFloorSuffix);
    if (row.authorLink.empty()) {
        m_page.strText.append(row.author);
    } else {
        m_page.strText.append("<a class=vk-who href=\"")
            .append(row.authorLink)
            .append("\">")
            .append(row.author)
            .append("</a>");
    }
    m_page.strText.append(kAuthorEnd)
        .append(row.time)
        .append(row.mark)
        .append(kBodyStart)
        .append(row.body)
        .append(row.afterBody)
        .append(kRowEnd);
    ++m_page.nShown;
}

ResultPage ResultPageComposer::Finish() {
    m_page.strText.append(kPageEnd);
    return std::move(m_page);
}

ResultPage BuildResultPage(const PostRecord* pPosts, int nLastIndex, std::string_view title,
                           std::string_view starter, const PostFilter& filter) {
    const int nLast = std::min(nLastIndex, PostTable::kCapacity - 1);
    std::size_t nReserve = 0;
    for (int i = 0; i <= nLast; ++i) {
        nReserve += 200 + strnlen(pPosts[i].szContent, sizeof pPosts[i].szContent);
    }
    ResultPageComposer composer(title, starter, filter, nReserve);
    std::string strMended;
    for (int i = 0; i <= nLast; ++i) {
        const PostRecord& record = pPosts[i];
        composer.Add({record.nFloor,
                      FieldText(record.szAuthor, sizeof record.szAuthor),
                      FieldText(record.szTime, sizeof record.szTime),
                      {},
                      MendRawText(FieldText(record.szContent, sizeof record.szContent), strMended),
                      {},
                      {},
                      {},
                      {}});
    }
    return composer.Finish();
}

bool WriteResultFile(const std::string& strPath, std::string_view text) {
    struct stat existing {};
    const bool bExists = stat(strPath.c_str(), &existing) == 0;
    if (bExists && S_ISDIR(existing.st_mode)) {
        return false;
    }
    if (bExists && !S_ISREG(existing.st_mode)) {
        std::FILE* pFile = std::fopen(strPath.c_str(), "wb");
        if (pFile == nullptr) {
            return false;
        }
        const bool bWritten = std::fwrite(text.data(), 1, text.size(), pFile) == text.size();
        return std::fclose(pFile) == 0 && bWritten;
    }
    // A page the user may not write stays as it is, as it would when opened for writing.
    if (bExists && access(strPath.c_str(), W_OK) != 0) {
        return false;
    }
    std::string strTemporary = strPath + ".XXXXXX";
    const int nFile = mkstemp(strTemporary.data());
    if (nFile < 0) {
        return false;
    }
    // The new page gets the old one's permissions, or a new file's.
    fchmod(nFile, bExists ? existing.st_mode & 07777 : 0666 & ~CurrentUmask());
    bool bWritten = true;
    for (std::size_t nDone = 0; bWritten && nDone < text.size();) {
        const ssize_t nWrote = write(nFile, text.data() + nDone, text.size() - nDone);
        if (nWrote < 0 && errno == EINTR) {
            continue;
        }
        bWritten = nWrote > 0;
        nDone += bWritten ? static_cast<std::size_t>(nWrote) : 0;
    }
    bWritten = close(nFile) == 0 && bWritten;
    if (!bWritten || std::rename(strTemporary.c_str(), strPath.c_str()) != 0) {
        unlink(strTemporary.c_str());
        return false;
    }
    return true;
}

}  // namespace vesk
