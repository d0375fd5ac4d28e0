#pragma once

#include "post_table.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vesk {

// Which posts are shown, wherever they are: all, the starter's, or those whose author holds one
// of the listed names; none without a mode.
struct PostFilter {
    enum class Mode { kAll, kStarter, kNames, kNone };
    Mode mode = Mode::kAll;
    // Names separated by ASCII commas, GB2312 bytes, each matched as typed; an empty name is in
    // every author.
    std::string strNameList;

    // The names listed, as typed; none but with kNames.
    std::vector<std::string_view> Names() const;
};

struct ResultPage {
    std::string strText;  // GB2312 HTML
    int nShown = 0;       // post rows in it
};

// Whether the author is the thread starter: not empty and equal, byte for byte, to szStarter.
bool IsThreadStarter(std::string_view author, std::string_view starter);

// Whether a post by this author is shown under the filter.
bool PassesFilter(std::string_view author, bool bStarter, const PostFilter& filter);

// One post as a row of the page: its fields, and a mark written right after its time; pages of
// the library's own may give the row attributes and add markup after the body.
struct PostRow {
    std::int32_t nFloor = 0;
    std::string_view author;
    std::string_view time;
    std::string_view mark;
    std::string_view body;
    std::string_view rowAttributes;  // written inside the row's <tr>, after a blank
    std::string_view afterBody;
    // Where the author's name links to (its menu on our pages), or nothing.
    std::string_view authorLink;
    // Whether the post is the starter's when the page does not tell it by the starter's name (a
    // page of posts from many threads).
    std::optional<bool> bStarter;
};

// Composes a result page row by row: the title row, then each post that passes the filter, the
// starter's in red, everybody else's in green.
class ResultPageComposer final {
public:
    // nReserve: the bytes the page is expected to take, to allocate once.
    // headExtra: markup put at the end of the page's head (a style of its own).
    ResultPageComposer(std::string_view title, std::string_view starter, PostFilter filter,
                       std::size_t nReserve = 0, std::string_view headExtra = {});
    // Whether a post by the author is shown, as Add would show it.
    bool Passes(std::string_view author) const;
    // A row of the page's own (markup, not a post) after the rows added so far.
    void AddLine(std::string_view html);
    // Rows of markup, as they stand.
    void AddRows(std::string_view html);
    void Add(const PostRow& row);
    ResultPage Finish();
    // The rows added so far, without the page around them.
    std::string TakeRows() &&;

private:
    std::string_view m_starter;
    PostFilter m_filter;
    ResultPage m_page;
    std::size_t m_nHead = 0;
};

// The page for records 0 to nLastIndex (which must be 0 or more): the title row, then one row per
// post that passes the filter, the starter's in red, everybody else's in green.
ResultPage BuildResultPage(const PostRecord* pPosts, int nLastIndex, std::string_view title,
                           std::string_view starter, const PostFilter& filter);

// Writes the page to the file: a regular file (or a new one) is written beside it and renamed into
// place, so that the path holds either the page before or the whole new one, never a part; any
// other file (a device) is written in place. False when it cannot be written whole.
bool WriteResultFile(const std::string& strPath, std::string_view text);

}  // namespace vesk
