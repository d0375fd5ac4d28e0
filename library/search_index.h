#pragma once

#include "sqlite_db.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vesk {

// The library's search index: for every post (its text as a page of ours shows it, and its
// author), every text an edit replaced and every thread's title, the characters and the pairs of
// neighbouring characters they hold (ASCII letters in small letters), and no copy of the texts.
// Any word is found by its characters: one of one character, one of two by their pair, longer
// ones by all their pairs (then read in the texts themselves).
//
// Posts are indexed in the order of their ids: those up to the index's mark are in it, and every
// change of them reaches it in its transaction (triggers take out the old text's pairs). New
// posts join it a batch at a time as pages are stored, and the rest when a reading ends: a search
// reads the few above the mark itself. A library made before the index is indexed a step at a
// time up to its last post, when the index becomes complete.

// The index's functions for a connection: the texts it indexes (vesk_text, vesk_field) and its
// tokenizer. A connection must know them to change posts while the index is there.
void DefineSearchFunctions(Database& db);

struct SearchIndexState {
    bool bPresent = false;
    bool bComplete = false;
    bool bCaughtUp = false;  // every post indexed: none above the mark
    std::int64_t nDone = 0;  // posts indexed (with bCount)
    std::int64_t nTotal = 0;
};
SearchIndexState ReadSearchIndex(Database& db, bool bCount = false);
// Present and complete: a search may look its words up in it.
bool HasSearchIndex(Database& db);

// How far the making of the index has come: posts indexed, and in all.
using IndexProgress = std::function<void(std::int64_t nDone, std::int64_t nTotal)>;

// Makes the index's tables, with the titles and the earlier texts in them, and no post yet
// unless there is none: in the caller's transaction. An earlier index is dropped first.
void CreateSearchIndex(Database& db);
// Indexes the next posts, at most nStep, in the caller's transaction; whether none is left.
bool IndexMorePosts(Database& db, std::int64_t nStep);
// Whether the library has the index's tables (1) or not (0).
inline constexpr char kSearchIndexPresent[] =
    "SELECT count(*) FROM sqlite_schema WHERE name = 'search_state'";
// Before a page adds posts, the last post's id: ids above it are free again when posts above it
// went, and none of them is in the index.
inline constexpr char kMarkBelowNewPosts[] =
    "UPDATE search_state SET indexed_to = ?1 WHERE indexed_to > ?1";
// The posts above the mark of a complete index: their number (about; at most), then these two
// join them to it.
inline constexpr char kPostsAboveMark[] =
    "SELECT coalesce((SELECT max(id) FROM post), 0) - indexed_to FROM search_state WHERE complete";
inline constexpr char kIndexPostsAboveMark[] =
    "INSERT INTO post_text(rowid, body, author)"
    " SELECT id, vesk_text(body), vesk_field(author) FROM post"
    " WHERE id > (SELECT indexed_to FROM search_state WHERE complete)";
inline constexpr char kMarkPostsIndexed[] =
    "UPDATE search_state SET indexed_to = (SELECT coalesce(max(id), 0) FROM post) WHERE complete";
// How many new posts a complete index lets wait for the next page before it takes them: fewer,
// larger writes of the index while a thread is read.
inline constexpr std::int64_t kIndexBatch = 2000;
void DropSearchIndex(Database& db);

// A word as the index's query: its characters, or the pairs in it (quoted, so that nothing in it
// is syntax); all must be found.
std::string IndexTerms(std::string_view word);

}  // namespace vesk
