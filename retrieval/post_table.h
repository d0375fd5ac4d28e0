#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace vesk {

// One post (a floor) of a thread, as cut from the forum's GB2312 pages. A record whose bytes are
// all zero is an empty post.
struct PostRecord {
    std::int32_t nFloor;
    char szContent[2048];
    char szAuthor[51];
    char szTime[21];
};

// Every post of the thread last retrieved, in page order. One block, allocated once and reused by
// every retrieval: storing a post is a copy into a record, never an allocation.
class PostTable final {
public:
    static constexpr int kCapacity = 2050;

    // Throws std::bad_alloc when the block cannot be had.
    PostTable();
    PostTable(const PostTable&) = delete;
    PostTable& operator=(const PostTable&) = delete;

    // Zero-fills all records, as at the start of every retrieval.
    void Clear();

    PostRecord* data() { return m_pPosts.get(); }
    const PostRecord* data() const { return m_pPosts.get(); }
    PostRecord& operator[](int nIndex) { return m_pPosts[static_cast<std::size_t>(nIndex)]; }
    const PostRecord& operator[](int nIndex) const {
        return m_pPosts[static_cast<std::size_t>(nIndex)];
    }

private:
    struct Free {
        void operator()(PostRecord* pPosts) const;
    };
    std::unique_ptr<PostRecord[], Free> m_pPosts;
};

}  // namespace vesk
