#pragma once

#include "forum_address.h"
#include "sqlite_db.h"

#include <cstdint>
#include <functional>
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

// A post found, best first: where it is, who wrote it when, and the words around what was found
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

// The library's search index: the text of every post, its author and its thread's title, and the
// texts edits replaced, kept in step with them by the schema's triggers in the transaction that
// changes them. The connection must know the index's functions (DefineSearchFunctions) to change
// posts while the index is there.
void DefineSearchFunctions(Database& db);
bool HasSearchIndex(Database& db);
// Makes the index from what is kept, inside the caller's transaction; progress is told the posts
// indexed so far and in all, now and then.
using IndexProgress = std::function<void(std::int64_t nDone, std::int64_t nTotal)>;
void BuildSearchIndex(Database& db, const IndexProgress& progress);
void DropSearchIndex(Database& db);

// The posts that hold every word of the query, best first, at most its limit: with the index,
// found through it; words of one or two characters, which it cannot find, are looked for in the
// texts it keeps; without it, in the posts themselves.
std::vector<SearchHit> SearchPosts(Database& db, const SearchQuery& query);

}  // namespace vesk
