#pragma once

#include "forum_address.h"
#include "sqlite_db.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vesk {

// What a reader looks for across the library: words as typed (UTF-8; several, split by spaces,
// must all be found; nothing in them is query syntax), and which posts may hold them.
struct SearchQuery {
    std::string strText;
    std::optional<ThreadKey> thread;  // only this thread's posts
    bool bStarter = false;            // only each thread's starter's
    std::string strAuthor;            // only authors holding this (GB2312), when not empty
    std::string strSince;             // only posts of this time or later (GB2312, "2024-03-05")
    bool bEarlier = false;            // also the texts that edits replaced
    int nLimit = 50;
};

// A post found: where it is, who wrote it when, and the words around what was found
// (UTF-8) with the places of the words found in them (byte offset, length).
struct SearchHit {
    enum class Where { kBody, kAuthor, kTitle, kEarlier };
    std::int64_t nPost = 0;
    ThreadKey key;
    std::string strTitle;      // GB2312
    std::string strBoardName;  // GB2312
    std::int32_t nFloor = 0;
    std::string strAuthor;  // GB2312
    std::string strTime;    // GB2312
    bool bDeleted = false;
    bool bStarter = false;
    Where where = Where::kBody;
    std::string strContext;
    std::vector<std::pair<std::size_t, std::size_t>> marks;
};

// The words of a query: split at white space (the ideographic space too), each once.
std::vector<std::string> SearchWords(std::string_view text);

// The words around the first of the words found in text (UTF-8), about nChars characters, with
// every place a word is found in them (ASCII letters in any case).
std::pair<std::string, std::vector<std::pair<std::size_t, std::size_t>>> SearchContext(
    std::string_view text, const std::vector<std::string>& words, std::size_t nChars = 80);

// The posts that hold every word of the query, at most its limit: the threads whose titles hold
// them first (at their first posts), then the posts, then with bEarlier the texts edits replaced,
// each newest first. With a complete index (search_index.h) they are found through it, else by
// reading every post.
std::vector<SearchHit> SearchPosts(Database& db, const SearchQuery& query);

}  // namespace vesk
