// The window when its post table cannot be had (its mapping refused by our own mmap, all others
// passed on): the user is told, and the window is not shown.

#include "post_table.h"
#include "viewer_harness.h"

#include <dlfcn.h>

#include <atomic>
#include <cerrno>
#include <sys/mman.h>

namespace {
std::atomic<bool> g_bRefuseTable{false};
}

// Refuses a readable, writable private anonymous mapping of the table's size (rounded up to whole
// huge pages, with room to align it) while asked to.
extern "C" void* mmap(void* pAddress, std::size_t nLength, int nProtection, int nFlags, int nFile,
                      off_t nOffset) {
    using Mmap = void* (*)(void*, std::size_t, int, int, int, off_t);
    static const auto pNext = reinterpret_cast<Mmap>(dlsym(RTLD_NEXT, "mmap"));
    constexpr std::size_t kTable = sizeof(vesk::PostRecord) * vesk::PostTable::kCapacity;
    if (g_bRefuseTable.load(std::memory_order_relaxed) && nLength >= kTable &&
        nLength <= kTable + (std::size_t{8} << 20) && nProtection == (PROT_READ | PROT_WRITE) &&
        nFlags == (MAP_PRIVATE | MAP_ANONYMOUS)) {
        errno = ENOMEM;
        return MAP_FAILED;
    }
    return pNext(pAddress, nLength, nProtection, nFlags, nFile, nOffset);
}

namespace vesk {
namespace {

TEST(ViewerNoMemoryTest, ATableThatCannotBeHadIsToldAndTheWindowIsNotShown) {
    QTemporaryDir folder;
    Prompts prompts;
    g_bRefuseTable = true;
    {
        ViewerDialog dialog({}, folder.path());
        g_bRefuseTable = false;
        EXPECT_FALSE(dialog.IsReady());
        EXPECT_EQ(Access(dialog).m_pPosts, nullptr);
        EXPECT_FALSE(dialog.isVisible());
    }
    ASSERT_EQ(prompts.texts, QStringList{QStringLiteral("内存不足，无法启动。")});
    EXPECT_EQ(prompts.captions, QStringList{QStringLiteral("提示")});
    EXPECT_EQ(prompts.icons, std::vector{QMessageBox::Warning});

    // With memory, the same start is ready and says nothing.
    ViewerDialog dialog({}, folder.path());
    EXPECT_TRUE(dialog.IsReady());
    EXPECT_NE(Access(dialog).m_pPosts, nullptr);
    EXPECT_EQ(prompts.texts.size(), 1);
}

}  // namespace
}  // namespace vesk
