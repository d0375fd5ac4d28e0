#include "post_table.h"

#include <cstdint>
#include <cstring>
#include <new>
#include <sys/mman.h>

namespace vesk {

namespace {

constexpr std::size_t kTableBytes = sizeof(PostRecord) * PostTable::kCapacity;
// The block is mapped at a huge-page boundary, and its whole huge pages are taken as such where
// the system offers them: two of them are cheaper to fill and to give back than a thousand small
// pages, which cost a fault each when filled and a page-table entry each when unmapped. The rest
// is small pages, so that no more memory is zeroed than the table takes.
constexpr std::size_t kHugePage = std::size_t{2} << 20;
constexpr std::size_t kSmallPage = 4096;
constexpr std::size_t kMappedBytes = (kTableBytes + kSmallPage - 1) / kSmallPage * kSmallPage;
constexpr std::size_t kHugeBytes = kTableBytes / kHugePage * kHugePage;

// Maps zero-filled memory for the table at a huge-page boundary and takes its pages from the
// system in one call. Returns null when the system has no memory for it.
PostRecord* MapTable() {
    // Map one huge page more, then hand back the part before the boundary and the part after.
    const std::size_t nMapped = kMappedBytes + kHugePage;
    void* pMapped =
        mmap(nullptr, nMapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (pMapped == MAP_FAILED) {
        return nullptr;
    }
    const auto nStart = reinterpret_cast<std::uintptr_t>(pMapped);
    const std::uintptr_t nAligned = (nStart + kHugePage - 1) / kHugePage * kHugePage;
    if (nAligned > nStart) {
        munmap(pMapped, nAligned - nStart);
    }
    const std::uintptr_t nEnd = nAligned + kMappedBytes;
    if (nStart + nMapped > nEnd) {
        munmap(reinterpret_cast<void*>(nEnd), nStart + nMapped - nEnd);
    }
    auto* pBlock = reinterpret_cast<void*>(nAligned);
    // Advice only: without huge pages, or on an older kernel, the pages come one by one.
    madvise(pBlock, kHugeBytes, MADV_HUGEPAGE);
    madvise(pBlock, kMappedBytes, MADV_POPULATE_WRITE);
    return static_cast<PostRecord*>(pBlock);
}

}  // namespace

PostTable::PostTable() : m_pPosts(MapTable()) {
    if (m_pPosts == nullptr) {
        throw std::bad_alloc();
    }
}

void PostTable::Free::operator()(PostRecord* pPosts) const {
    munmap(pPosts, kMappedBytes);
}

void PostTable::Clear() {
    std::memset(m_pPosts.get(), 0, kTableBytes);
}

}  // namespace vesk
