#pragma once

// The demo forum's threads with one person's posts where a test wants them, and what the board
// then holds of them.

#include "sample_threads.h"

#include <string>
#include <vector>

namespace vesk::test {

// The post of this floor is the person's, written at this time (empty: as it was).
inline void Poster(demo::SampleThread& thread, int nFloor, const std::string& strAuthor,
                   const std::string& strTime = {}) {
    for (std::vector<demo::SamplePost>& page : thread.pages) {
        for (demo::SamplePost& post : page) {
            if (post.nFloor == nFloor) {
                post.strAuthor = strAuthor;
                // An anonymous poster is known by an address fragment.
                post.authorForm = strAuthor.find('*') != std::string::npos
                                      ? demo::SamplePost::AuthorForm::kAddress
                                      : demo::SamplePost::AuthorForm::kUserSpan;
                post.strTime = strTime.empty() ? post.strTime : strTime;
            }
        }
    }
}

// The person's posts the thread shows now.
inline int PostsBy(const demo::SampleThread& thread, const std::string& strAuthor) {
    int nPosts = 0;
    for (const std::vector<demo::SamplePost>& page : thread.pages) {
        for (const demo::SamplePost& post : page) {
            nPosts += post.strAuthor == strAuthor ? 1 : 0;
        }
    }
    return nPosts;
}

// The highest floor the thread shows.
inline int LastFloor(const demo::SampleThread& thread) {
    return thread.pages.empty() || thread.pages.back().empty() ? 0
                                                               : thread.pages.back().back().nFloor;
}

}  // namespace vesk::test
