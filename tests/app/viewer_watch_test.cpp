// The watched threads' quiet refresh in the window, on a private session bus: a short period,
// the starter's posts told once through the notification service, choosing it shows the thread,
// no service tells nothing, and a go is never shared with it.

#include "image_button.h"
#include "notification_service.h"
#include "process.h"
#include "thread_page.h"
#include "thread_reader.h"
#include "viewer_harness.h"
#include "web_browser.h"

#include <QFileInfo>
#include <algorithm>
#include <filesystem>

namespace vesk {
namespace {

using namespace std::chrono_literals;

class ViewerWatchTest : public ViewerTest {
protected:
    // The threads kept, read and watched; only the first page of those in firstPageOnly.
    void Watch(std::initializer_list<ThreadKey> keys, const char* pszFirstPageOnly = "") {
        forum.SetFault(pszFirstPageOnly, {500});
        ThreadStore store(DefaultLibraryFile());
        PageFetcher fetcher;
        ASSERT_TRUE(fetcher.OpenSession());
        for (const ThreadKey& key : keys) {
            RefreshSettings settings;
            settings.strBaseAddress = forum.BaseAddress();
            RefreshThread(store, fetcher, key, settings);
            store.SetWatched(store.Find(key)->nId, true);
            store.MarkRead(store.Find(key)->nId);
        }
        forum.SetFault(pszFirstPageOnly, {});
        forum.ClearRequests();
    }
    void TearDown() override {
        std::filesystem::remove_all(std::filesystem::path(DefaultLibraryFile()).parent_path());
    }
    void Append(const char* pszThread, int nCount, bool bByStarter) {
        forum.ChangeThread(pszThread, [=](demo::SampleThread& thread) {
            demo::AppendSamplePosts(thread, nCount, bByStarter);
        });
    }
    // Whether the library comes to hold nUnread unread posts of the thread.
    static bool Unread(const char* pszThread, int nUnread) {
        return QTest::qWaitFor(
            [&] {
                const std::vector<ThreadListing> kept = ThreadStore(DefaultLibraryFile()).List();
                return std::any_of(kept.begin(), kept.end(), [&](const ThreadListing& thread) {
                    return thread.key.strThreadId == pszThread && thread.nUnread == nUnread;
                });
            },
            kWait);
    }
};

TEST_F(ViewerWatchTest, TheStartersPostsAreToldOnceAndChoosingThemShowsTheThread) {
    Watch({{"600519", "1000001"}, {"601318", "1000002"}});
    Viewer viewer(forum);
    ViewerDialog& d = viewer.dialog;
    d.SetWatchPeriod(300ms);

    // Without a service the refresh goes on and tells nothing; the home page's figures follow.
    Append("1000002", 1, true);
    ASSERT_TRUE(Unread("1000002", 1));
    EXPECT_TRUE(Access(d).m_pBar->isHidden());
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return test::ReadFile(Access(d).m_homePath.toStdString()).find(">601<") !=
                   std::string::npos;
        },
        kWait));

    test::NotificationService service;
    ASSERT_TRUE(service.Running());
    Append("1000002", 2, true);
    Append("1000001", 2, false);
    ASSERT_TRUE(Unread("1000002", 3));
    ASSERT_TRUE(Unread("1000001", 2));
    QTest::qWait(1000);
    ASSERT_EQ(service.Notifications().size(), 1U);
    EXPECT_NE(service.Notifications()[0].find("」楼主发了 2 条新帖\""), std::string::npos)
        << service.Notifications()[0];
    // The starter's next post replaces the notification still shown.
    Append("1000002", 1, true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return service.Notifications().size() == 2U; }, kWait));
    EXPECT_NE(service.Notifications()[1].find(" 1 \"\" \"「"), std::string::npos)
        << service.Notifications()[1];

    ASSERT_TRUE(service.Emit("ActionInvoked", 1));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return viewer.Edit(res::IDC_URL)->text().endsWith("look,601318,1000002.html"); },
        kWait));
    EXPECT_EQ(viewer.Page().count(QString::fromStdString(GbkToUtf8(kNewMark).value())),
              4);  // the three and the one after

    // The command line's thread: a kept one is shown, another is told in the bar.
    EXPECT_TRUE(d.OpenThreadAddress(QString::fromStdString(Thread("/look,600519,1000001.html"))));
    EXPECT_TRUE(Access(d).m_pBar->isHidden());
    EXPECT_FALSE(d.OpenThreadAddress(QString::fromStdString(Thread("/look,600519,999.html"))));
    EXPECT_FALSE(Access(d).m_pBar->isHidden());
    EXPECT_EQ(Access(d).m_pBar->Text(), QStringLiteral("帖子库里没有这个帖子："));
}

// While a go reads, the watched threads wait: a long refresh under way stops for it.
TEST_F(ViewerWatchTest, AGoIsNeverSharedWithTheWatchedThreads) {
    // Only the first page of the long thread is kept: its refresh reads 119 pages more.
    Watch({{"600519", "1000005"}}, "/look,600519,1000005_2.html");
    Viewer viewer(forum);
    forum.SetLatency(50ms);
    viewer.dialog.SetWatchPeriod(50ms);
    const auto asked = [&](const char* pszPath) {
        const std::vector<std::string> paths = forum.RequestedPaths();
        return std::count(paths.begin(), paths.end(), std::string(pszPath)) > 0;
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return asked("/look,600519,1000005_3.html"); }, kWait));
    viewer.StartFetch(Thread("/look,601318,1000002.html"));
    forum.ClearRequests();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !viewer.dialog.IsFetching(); }, kWait));
    const std::vector<std::string> paths = forum.RequestedPaths();
    EXPECT_GE(paths.size(), 12U);
    for (const std::string& path : paths) {
        EXPECT_NE(path.find("1000002"), std::string::npos) << path;
    }
}

}  // namespace
}  // namespace vesk
