#pragma once

#include "thread_reader.h"

#include <optional>
#include <string>
#include <string_view>

namespace vesk {

// What a desktop notification says when a watched thread's starter has posted, in UTF-8.
struct WatchNotice {
    std::string strSummary;  // "「<title>」楼主发了 N 条新帖"
    std::string strBody;     // the first words of the newest, as plain text
};

// strNewestBody: the starter's newest post's body as kept (the board's HTML, GB2312).
WatchNotice MakeWatchNotice(const WatchReport& report, std::string_view strNewestBody);

// What a desktop notification says when a person followed has posted: "「NAME」发了 N 条新帖
// （「thread title」等 M 个帖子）", or only the title when it is one thread.
WatchNotice MakePersonNotice(const PersonNews& news);

// A page title without the suffix the board gives every page's title: cut at the first "_"
// followed by the board's code or name ("…_600519股吧_…", "…_贵州茅台吧_…"); whole when there is
// none, or when nothing would be left before it.
std::string_view ShortTitle(std::string_view strTitle, std::string_view strBoardCode,
                            std::string_view strBoardName);

// The first words of a post's body as ShownText gives them, cut after nMaxChars characters with
// an ellipsis.
std::string FirstWords(std::string_view strBody, std::size_t nMaxChars);

// A field of the board as ShownText gives it, on one line and safe on a terminal.
std::string OneLineUtf8(std::string_view bytes);
// The line `refresh --watched` writes for a thread with new posts: board code, thread number,
// title, new posts, the starter's new posts, separated by TABs, ending in a newline.
std::string WatchReportLine(const WatchReport& report);

// "board,thread", as a notification names the thread it is about, and back; an empty key when
// the text names none.
std::string WatchTag(const ThreadKey& key);
ThreadKey ThreadKeyOfTag(std::string_view tag);
// What a notification about a person carries, and back: nothing when the tag names a thread.
std::string PersonTag(std::string_view name);
std::optional<std::string> PersonOfTag(std::string_view tag);

}  // namespace vesk
