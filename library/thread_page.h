#pragma once

#include "post_sanitiser.h"
#include "result_page.h"
#include "thread_store.h"

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vesk {

// The marks after a post's time, GB2312: " [已删除]", " [已修改]", " [新]".
inline constexpr std::string_view kDeletedMark = "\x20\x5B\xD2\xD1\xC9\xBE\xB3\xFD\x5D";
inline constexpr std::string_view kEditedMark = "\x20\x5B\xD2\xD1\xD0\xDE\xB8\xC4\x5D";
inline constexpr std::string_view kNewMark = "\x20\x5B\xD0\xC2\x5D";

// The mark a post's time carries: deleted always, edited or new while unread.
std::string_view MarkOf(const StoredPost& post);

// The result page of a kept thread: every post, deleted ones too, fields whole, each with its
// mark; with bOnlyUnread only those not read yet. Titles, authors and times are text, bodies go
// through the sanitiser, pictures are links to their addresses (the page is read elsewhere).
// headExtra is put at the end of the page's head; with kKept, kept pictures are named by our
// scheme.
ResultPage ComposeThreadPage(const StoredThread& thread, const std::vector<StoredPost>& posts,
                             const PostFilter& filter, bool bOnlyUnread,
                             const PictureMap& pictures = {},
                             PictureForm form = PictureForm::kLinks,
                             std::string_view headExtra = {});

// The bodies that edits replaced, by floor, the latest first; deletions are not among them.
using EarlierBodies = std::map<std::int32_t, std::vector<std::string>>;
EarlierBodies EarlierBodiesOf(const std::vector<ThreadChange>& history);

// What the line under the title of a kept thread's page counts: the new posts in the filter
// shown, the starter's among them, and the index of the first of each (-1 when none).
struct ReadingNews {
    int nNew = 0;
    int nStarterNew = 0;
    int nFirst = -1;
    int nFirstStarter = -1;
    // Unread posts before the first an update brought, when the page opened at that one, and the
    // index of the first of them (-1 when none).
    int nEarlier = 0;
    int nFirstEarlier = -1;
    // When every page was last read again, as the line says it (GB2312 text); empty when unknown.
    std::string strChecked;
    // The starter's posts a week, the last of them this week; none when a time could not be read.
    std::optional<std::vector<ActivityWeek>> starterWeeks;
};

// Rows of the window's page of a kept thread, in the library's page format: post i stands at
// index indices[i] of the thread as shown, and its row's id is "p<index>"; a post not read yet
// carries the class "vk-u" and its kind ("vk-new", "vk-edited", "vk-deleted"; a deleted post
// always has the latter) with its mark in a coloured label and a bar on its left; an edited post
// folds its earlier texts under "修改前". Fields are text and bodies sanitised, as on every page of
// ours; kept pictures are named by our scheme.
std::string ComposeReadingRows(const StoredThread& thread, std::span<const StoredPost> posts,
                               std::span<const int> indices, const EarlierBodies& earlier,
                               const PictureMap& pictures);

// The news line's markup: the new posts' counts when there are some, and when the whole thread
// was checked; empty when there is neither.
std::string ReadingNewsLine(const ReadingNews& news);

// A post's row as the window's pages of kept posts mark it: its attributes (its id "p<index>",
// and for a post not read "vk-u" and its kind, a deleted post always "vk-deleted"), and its mark
// as a coloured label (empty when it has none).
std::string ReadingRowAttributes(const StoredPost& post, int nIndex);
std::string ReadingMarkLabel(const StoredPost& post);

// The styles of the window's pages of kept posts: the marks, the bar of a post not read, the
// names' links, pictures kept and their placeholders.
std::string ReadingStyles();

// The window's page of a kept thread: the title, the news line unless it is empty (each
// count a link to "#p<index>" of its first), then the rows between two spacers, "vk-above" and
// "vk-below", standing for the posts not in the page.
ResultPage ComposeReadingPage(const StoredThread& thread, const ReadingNews& news,
                              std::string_view rows, int nShown, int nBeforePx, int nAfterPx);

}  // namespace vesk
