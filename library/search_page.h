#pragma once

#include "post_search.h"
#include "result_page.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vesk {

// The page of a search's hits, in the library's page format (GB2312): the query as its title, a
// line that counts the hits, then the hits grouped by thread in the order of each thread's best,
// a line naming the thread above its own; each hit's floor, author and time, a mark for a deleted
// post, a title, an author or an earlier text found, and the words around what was found, that
// highlighted. link gives the address a hit opens (ASCII or GB2312, put in an attribute as it is);
// a thread's line opens its first hit.
using HitLink = std::function<std::string(const SearchHit& hit)>;
ResultPage ComposeSearchPage(std::string_view query, const std::vector<SearchHit>& hits, int nLimit,
                             const HitLink& link);

// A hit's words around what was found as one line of text (UTF-8), each place found between
// open and close.
std::string MarkedContext(const SearchHit& hit, std::string_view open, std::string_view close);

}  // namespace vesk
