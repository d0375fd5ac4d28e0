#include "post_table.h"

#include <cstring>

namespace vesk {

PostTable::PostTable() : m_pPosts(std::make_unique<PostRecord[]>(kCapacity)) {}

void PostTable::Clear() {
    std::memset(m_pPosts.get(), 0, sizeof(PostRecord) * kCapacity);
}

}  // namespace vesk
