#pragma once

#include "result_page.h"
#include "thread_store.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vesk {

// A name's bytes in hex, and back (nothing for what is no such hex).
std::string NameHex(std::string_view name);
std::optional<std::string> NameOfHex(std::string_view hex);
// The link a name carries on our pages, "?who=" and the name in hex: the page itself with a query
// the window takes for the name's menu. The name a link's query ("who=…") stands for, or nothing
// for another.
std::string PersonLink(std::string_view author);
std::optional<std::string> PersonOfLink(std::string_view query);

// How many posts a person's page holds at a time.
inline constexpr int kPersonPagePosts = 200;

// Which of a person's posts the page holds: from the nFrom-th newest (-1: the part of
// kPersonPagePosts that holds their first post not read), at most nCount (0: all); with
// bOnlyUnread only those not read yet.
struct PersonPart {
    int nFrom = 0;
    int nCount = kPersonPagePosts;
    bool bOnlyUnread = false;
};

// Where the page's links go (ASCII or GB2312, put in attributes as they are): a post in its
// thread; another part of the list (its first post's place); following the person or, when
// followed, no longer following them. An empty function: no such link.
struct PersonLinks {
    std::function<std::string(const ThreadKey& key, std::int64_t nPost)> post;
    std::function<std::string(int nFrom)> part;
    std::function<std::string(bool bFollowed)> follow;
};

// A person's page and what the window needs to read it: the ids of its posts, row "p<i>" holding
// ids[i - nFrom]; how many posts the person has in the selection, and kept at all; the first of
// them not read.
struct PersonPage {
    ResultPage page;
    std::vector<std::int64_t> ids;
    int nFrom = 0;
    int nTotal = 0;
    int nKept = 0;
    int nFirstUnread = -1;  // an index into the whole selection
};

// The newest week a person's or a thread's chart shows weeks up to, and how many.
inline constexpr int kChartWeeks = 26;

// "此人的帖子": every kept post of the author (the board's bytes, matched whole) across the kept
// threads, newest first, in the library's page format (GB2312): a line of their figures, their
// posts a week across the threads (the last kChartWeeks weeks up to nThisWeek) unless a time could
// not be read, the part of the list shown with links to the parts before and after, then each post
// with its thread's title after its time, linking to it in its thread, the name red where it is
// the thread's starter; posts not read carry their mark and "vk-u" as a thread's page does.
// Bodies go through the sanitiser, pictures named as form says.
PersonPage ComposePersonPage(ThreadStore& store, std::string_view author, const PersonPart& part,
                             const PersonLinks& links, PictureForm form, std::int64_t nThisWeek);

}  // namespace vesk
