#pragma once

#include <cstdint>

// What the thread store's files share about its rows.
namespace vesk::store {

// The kinds of change kept: an edit's earlier body, a deleted post's last.
inline constexpr int kEdit = 1;
inline constexpr int kDeletion = 2;

// A count or a page number read from a row.
inline int ToInt(std::int64_t nValue) {
    return static_cast<int>(nValue);
}

}  // namespace vesk::store
