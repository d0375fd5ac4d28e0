// The window when its post table cannot be had: the user is told, and the window is not shown.
// The table's one block is refused by the process's own calloc while the test asks for it; every
// other allocation goes to the C library as usual.

#include "post_table.h"
#include "viewer_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <atomic>
#include <cstdlib>

extern "C" void* __libc_calloc(std::size_t nCount, std::size_t nSize);

namespace {
std::atomic<bool> g_bRefuseTable{false};
}

extern "C" void* calloc(std::size_t nCount, std::size_t nSize) {
    if (g_bRefuseTable.load(std::memory_order_relaxed) &&
        nCount == static_cast<std::size_t>(vesk::PostTable::kCapacity) &&
        nSize == sizeof(vesk::PostRecord)) {
        return nullptr;
    }
    return __libc_calloc(nCount, nSize);
}

namespace vesk {
namespace {

TEST(ViewerNoMemoryTest, ATableThatCannotBeHadIsToldAndTheWindowIsNotShown) {
    QTemporaryDir folder;
    QStringList texts;
    QStringList captions;
    QTimer answer;
    answer.setInterval(20);
    QObject::connect(&answer, &QTimer::timeout, [&] {
        if (auto* pBox = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            texts.push_back(pBox->text());
            captions.push_back(pBox->windowTitle());
            EXPECT_EQ(pBox->icon(), QMessageBox::Warning);
            pBox->done(QMessageBox::Ok);
        }
    });
    answer.start();

    g_bRefuseTable = true;
    {
        ViewerDialog dialog({}, folder.path());
        g_bRefuseTable = false;
        EXPECT_FALSE(dialog.IsReady());
        EXPECT_EQ(dialog.m_pPosts, nullptr);
        EXPECT_FALSE(dialog.isVisible());
    }
    ASSERT_EQ(texts, QStringList{QStringLiteral("内存不足，无法启动。")});
    EXPECT_EQ(captions, QStringList{QStringLiteral("提示")});

    // With memory, the same start is ready and says nothing.
    ViewerDialog dialog({}, folder.path());
    EXPECT_TRUE(dialog.IsReady());
    EXPECT_NE(dialog.m_pPosts, nullptr);
    EXPECT_EQ(texts.size(), 1);
}

}  // namespace
}  // namespace vesk
