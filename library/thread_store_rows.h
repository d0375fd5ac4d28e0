#pragma once

#include <cstdint>

// What the thread store's files share about its rows.
namespace vesk::store {

// The kinds of change kept: an edit's earlier body, a deleted post's last.
inline constexpr int kEdit = 1;
inline constexpr int kDeletion = 2;

// The posts above an id (the new posts a page added, or with 0 all) counted into their threads'
// weeks.
inline constexpr const char* kCountWeeks =
    "INSERT INTO activity(thread, week, posts, starter)"
    " SELECT p.thread, vesk_week(p.time), count(*),"
    "  sum(length(t.starter) > 0 AND p.author = t.starter)"
    " FROM post p JOIN thread t ON t.id = p.thread WHERE p.id > ? GROUP BY 1, 2"
    " ON CONFLICT(thread, week) DO UPDATE SET posts = posts + excluded.posts,"
    " starter = starter + excluded.starter";

// A count or a page number read from a row.
inline int ToInt(std::int64_t nValue) {
    return static_cast<int>(nValue);
}

}  // namespace vesk::store
