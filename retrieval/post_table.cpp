#include "post_table.h"

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <sys/mman.h>

namespace vesk {

namespace {

constexpr std::size_t kTableBytes = sizeof(PostRecord) * PostTable::kCapacity;

// Takes the block's pages from the system in one call. Storing posts into untouched pages costs a
// page fault each, a thousand of them for a long thread, which is more than all the cutting.
void Populate(void* pBlock) {
    const auto nPage = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const auto nStart = reinterpret_cast<std::uintptr_t>(pBlock);
    const std::uintptr_t nFirst = (nStart + nPage - 1) / nPage * nPage;
    const std::uintptr_t nLast = (nStart + kTableBytes) / nPage * nPage;
    if (nLast > nFirst) {
        // Advice only: an older kernel without it takes the faults one by one.
        madvise(reinterpret_cast<void*>(nFirst), nLast - nFirst, MADV_POPULATE_WRITE);
    }
}

}  // namespace

PostTable::PostTable()
    : m_pPosts(static_cast<PostRecord*>(std::calloc(kCapacity, sizeof(PostRecord)))) {
    if (m_pPosts == nullptr) {
        throw std::bad_alloc();
    }
    Populate(m_pPosts.get());
}

void PostTable::Free::operator()(PostRecord* pPosts) const {
    std::free(pPosts);
}

void PostTable::Clear() {
    std::memset(m_pPosts.get(), 0, kTableBytes);
}

}  // namespace vesk
