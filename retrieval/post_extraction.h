#pragma once

#include "post_table.h"

#include <string_view>

namespace vesk {

// Cuts the posts of one thread page into the table, after record nLastRecord (-1 when the table
// is still empty), and returns the index of the last record stored. Posts that find the table
// full are dropped.
int ExtractPosts(std::string_view strPage, PostRecord* pPosts, int nLastRecord);

}  // namespace vesk
