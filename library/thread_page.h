#pragma once

#include "result_page.h"
#include "thread_store.h"

#include <cstdint>
#include <map>
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
// mark; with bOnlyUnread only those not read yet.
ResultPage ComposeThreadPage(const StoredThread& thread, const std::vector<StoredPost>& posts,
                             const ResultFilter& filter, bool bOnlyUnread);

// The bodies that edits replaced, by floor, the latest first; deletions are not among them.
using EarlierBodies = std::map<std::int32_t, std::vector<std::string>>;
EarlierBodies EarlierBodiesOf(const std::vector<ThreadChange>& history);

// The window's page of a kept thread, in the library's page format: row i's id is "p<i>" (its
// index in posts); a post not read yet carries the class "vk-u" and its kind ("vk-new",
// "vk-edited", "vk-deleted"; a deleted post always has the latter) with its mark in a coloured
// label and a bar on its left; an edited post folds its earlier texts under "修改前". A line
// under the title counts the new posts shown, the starter's and all, with a link to the first of
// each.
ResultPage ComposeReadingPage(const StoredThread& thread, const std::vector<StoredPost>& posts,
                              const ResultFilter& filter, const EarlierBodies& earlier);

}  // namespace vesk
