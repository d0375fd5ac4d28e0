#include "post_extraction.h"

#include "text_cut.h"

#include <string>

namespace vesk {

namespace {

// The forum's markers. The Chinese ones are GB2312 bytes: 作者： and 发表时间：.
constexpr std::string_view kRegionStart = "<div id=pinglun_fenye></div>";
constexpr std::string_view kRegionEnd = "function arrJoin()";
constexpr std::string_view kPostStart = "<div class=louceng";
constexpr std::string_view kPostEnd = "<div class=cl></div>";
constexpr std::string_view kAuthorLabel = "\xD7\xF7\xD5\xDF\xA3\xBA";
constexpr std::string_view kTimeLabel = "\xB7\xA2\xB1\xED\xCA\xB1\xBC\xE4\xA3\xBA";

bool Contains(std::string_view text, std::string_view marker) {
    return FindMarker(text, marker) != std::string_view::npos;
}

// The body of a post, cut from its block.
std::string_view CutBody(std::string_view block) {
    // Ends just before the first "div>", so a body closed by "</div>" keeps a trailing "</".
    std::string_view body = ExtractBetween(block, "<div class=huifu", "div>");
    const std::size_t nTable = FindMarker(body, "<TABLE");
    if (nTable != std::string_view::npos) {
        return body.substr(nTable);
    }
    if (Contains(body, "class=reply_this") || Contains(body, "MsoNormal") ||
        Contains(body, "<P>")) {
        // A body with none of its own "<" stays whole.
        const std::size_t nTag = FindMarker(body, "<");
        return nTag == std::string_view::npos ? body : body.substr(nTag);
    }
    return ExtractBetween(body, ">", "</");
}

// The author of a post whose author section is a span; empty when it is something else.
std::string_view CutSpanAuthor(std::string_view block) {
    const std::string_view section = ExtractBetween(block, kAuthorLabel, "/span");
    if (!Contains(section, "<span id")) {
        return ExtractBetween(section, ">", "<");
    }
    // The inner span's text up to its first "<", then the name behind its first ">". The inner
    // text holds no "<", so the name runs to its end.
    const std::string_view inner = ExtractBetween(section, "<span id", "<");
    const std::size_t nClose = inner.find('>');
    return nClose == std::string_view::npos ? std::string_view{} : inner.substr(nClose + 1);
}

PostFields CutPost(std::string_view block) {
    PostFields post;
    post.block = block;
    post.nFloor = ParseFloor(ExtractBetween(block, ">", "</div>"));
    post.body = CutBody(block);
    post.author = CutSpanAuthor(block);
    post.time = ExtractBetween(ExtractBetween(block, kTimeLabel, "/span"), ">", "<");
    if (post.author.empty()) {
        post.author = ExtractBetween(block, kAuthorLabel, "&nbsp;");
        post.time = ExtractBetween(block, kTimeLabel, "</div>");
    }
    if (Contains(post.author, "<a")) {
        post.author = ExtractBetween(post.author, ">", "<");
    }
    return post;
}

void StoreRecord(PostRecord& record, const PostFields& post) {
    record.nFloor = post.nFloor;
    CopyToField(record.szAuthor, post.author);
    StoreContent(record.szContent, post.body);
    CopyToField(record.szTime, post.time);
}

}  // namespace

std::string_view CutWholeBody(std::string_view block) {
    const std::size_t nOpen = FindMarker(block, "<div class=huifu");
    if (nOpen == std::string_view::npos) {
        return {};
    }
    const std::size_t nStart = block.find('>', nOpen);
    if (nStart == std::string_view::npos) {
        return {};
    }
    int nDepth = 1;
    for (std::size_t n = block.find('<', nStart + 1); n != std::string_view::npos;
         n = block.find('<', n + 1)) {
        if (IsTagAt(block, n, "<div")) {
            ++nDepth;
        } else if (IsTagAt(block, n, "</div") && --nDepth == 0) {
            return TrimWhiteSpace(block.substr(nStart + 1, n - nStart - 1));
        }
    }
    return TrimWhiteSpace(block.substr(nStart + 1));
}

PostCutter::PostCutter(std::string_view strPage)
    : m_region(ExtractBetween(strPage, kRegionStart, kRegionEnd)),
      m_nPost(FindMarker(m_region, kPostStart)) {}

bool PostCutter::Next(PostFields& post) {
    if (m_nPost == std::string_view::npos) {
        return false;
    }
    const std::size_t nBlock = m_nPost + kPostStart.size();
    const std::size_t nEnd = FindMarker(m_region, kPostEnd, nBlock);
    // A post without its end marker runs to the end of the region and ends the scan.
    post = CutPost(nEnd == std::string_view::npos ? m_region.substr(nBlock)
                                                  : m_region.substr(nBlock, nEnd - nBlock));
    m_nPost = nEnd == std::string_view::npos ? nEnd : FindMarker(m_region, kPostStart, nEnd);
    return true;
}

int ExtractPosts(std::string_view strPage, PostRecord* pPosts, int nLastRecord) {
    PostCutter cutter(strPage);
    PostFields post;
    while (nLastRecord + 1 < PostTable::kCapacity && cutter.Next(post)) {
        StoreRecord(pPosts[++nLastRecord], post);
    }
    return nLastRecord;
}

int StorePosts(std::span<const PostFields> posts, PostRecord* pPosts, int nLastRecord) {
    for (const PostFields& post : posts) {
        if (nLastRecord + 1 >= PostTable::kCapacity) {
            break;
        }
        StoreRecord(pPosts[++nLastRecord], post);
    }
    return nLastRecord;
}

ThreadHeading CutThreadHeading(std::string_view strPage, std::string_view strBoardCode) {
    std::string_view nav = ExtractBetween(strPage, "daohanglan1", "cksshq");
    nav = ExtractBetween(nav, std::string(strBoardCode) + ".html", "<div");
    return {ExtractBetween(strPage, "<title>", "</title>"), ExtractBetween(nav, ">", "<")};
}

}  // namespace vesk
