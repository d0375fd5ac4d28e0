#pragma once

#include "result_page.h"
#include "thread_store.h"

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

}  // namespace vesk
