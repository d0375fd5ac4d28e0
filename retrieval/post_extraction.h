#pragma once

#include "post_table.h"

#include <cstdint>
#include <span>
#include <string_view>

namespace vesk {

// One post's fields as cut from a page, whole: they view into the page's text.
struct PostFields {
    std::int32_t nFloor = 0;
    std::string_view author;
    std::string_view time;
    std::string_view body;        // as the fixed table cuts it
    std::string_view block = {};  // the post's whole block, between its markers
};

// A post's body whole, as the library keeps it: the content of its reply block, nested blocks
// balanced, up to the post block's end when the reply block is never closed.
std::string_view CutWholeBody(std::string_view block);

// Goes through the posts of one thread page, in page order, without allocating.
class PostCutter final {
public:
    explicit PostCutter(std::string_view strPage);
    // Cuts the next post; false when there is none.
    bool Next(PostFields& post);

private:
    std::string_view m_region;
    std::size_t m_nPost;
};

// Cuts the posts of one thread page into the table, after record nLastRecord (-1 when the table
// is still empty), and returns the index of the last record stored. Posts that find the table
// full are dropped. Each field is cut to its record's size as it is stored.
int ExtractPosts(std::string_view strPage, PostRecord* pPosts, int nLastRecord);
// The same for posts already cut from a page.
int StorePosts(std::span<const PostFields> posts, PostRecord* pPosts, int nLastRecord);

// What page 1 of a thread says of it beside its posts.
struct ThreadHeading {
    std::string_view title;
    std::string_view boardName;
};
// The title and the board's name, from the page's title element and its navigation bar's link to
// the board strBoardCode.
ThreadHeading CutThreadHeading(std::string_view strPage, std::string_view strBoardCode);

}  // namespace vesk
