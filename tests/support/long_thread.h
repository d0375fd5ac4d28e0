#pragma once

// Long threads made in a library directly, without a forum: 50 posts a page, floors from 1, by
// seven authors in turn ("author0", the starter, wrote floors 1, 8, 15...), each body
// "post <floor>".

#include "thread_store.h"

#include <string>
#include <vector>

namespace vesk::test {

// Stores pages nFirst to nLast of the thread at nWhen.
inline void KeepThreadPages(ThreadStore& store, const ThreadKey& key, int nFirst, int nLast,
                            std::int64_t nWhen = 1) {
    constexpr int kPerPage = 50;
    std::vector<std::string> authors;
    for (int i = 0; i < 7; ++i) {
        authors.push_back("author" + std::to_string(i));
    }
    // A page holds views: its texts live until it is stored.
    std::vector<std::string> bodies(kPerPage);
    for (int nPage = nFirst; nPage <= nLast; ++nPage) {
        ReadPage page{nPage, {}, {}};
        if (nPage == 1) {
            page.heading = ThreadHeading{"diary", "board"};
        }
        for (int i = 0; i < kPerPage; ++i) {
            const int nFloor = (nPage - 1) * kPerPage + i + 1;
            bodies[static_cast<std::size_t>(i)] = "post " + std::to_string(nFloor);
            page.posts.push_back({nFloor, authors[static_cast<std::size_t>((nFloor - 1) % 7)],
                                  "2024-03-04 09:30:00", bodies[static_cast<std::size_t>(i)]});
        }
        store.StorePage(key, page, nWhen);
    }
    store.CatchUpSearchIndex();  // as a reading ends
}

// A thread of nPages full pages.
inline void KeepLongThread(ThreadStore& store, const ThreadKey& key, int nPages) {
    KeepThreadPages(store, key, 1, nPages);
}

}  // namespace vesk::test
