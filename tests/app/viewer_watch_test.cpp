// The watched threads' quiet refresh on a private session bus: the starter's posts told once,
// choosing that shows the thread, no service tells nothing, a go is never shared with it.

#include "notification_service.h"
#include "people_board.h"
#include "thread_page.h"
#include "viewer_harness.h"

#include <algorithm>

namespace vesk {
namespace {

using namespace std::chrono_literals;

class ViewerWatchTest : public ViewerLibraryTest {
protected:
    // The threads kept, read and watched; only the first page of those in firstPageOnly.
    void Watch(std::initializer_list<ThreadKey> keys, const char* pszFirstPageOnly = "") {
        forum.SetFault(pszFirstPageOnly, {500});
        for (const ThreadKey& key : keys) {
            KeepThread(key);
            ThreadStore store(DefaultLibraryFile());
            store.SetWatched(store.Find(key)->nId, true);
            store.MarkRead(store.Find(key)->nId);
        }
        forum.SetFault(pszFirstPageOnly, {});
        forum.ClearRequests();
    }
    // Whether the library comes to hold nUnread unread posts of the thread.
    static bool Unread(const char* pszThread, int nUnread) {
        return Soon([&] {
            const std::vector<ThreadListing> kept = Kept();
            return std::any_of(kept.begin(), kept.end(), [&](const ThreadListing& thread) {
                return thread.key.strThreadId == pszThread && thread.nUnread == nUnread;
            });
        });
    }
};

TEST_F(ViewerWatchTest, TheStartersPostsAreToldOnceAndChoosingThemShowsTheThread) {
    Watch({{"600519", "1000001"}, {"601318", "1000002"}});
    Viewer viewer(forum);
    ViewerDialog& d = viewer.dialog;
    d.SetWatchPeriod(300ms);

    // Without a service the refresh goes on and tells nothing; the home page on screen takes its
    // figures in at once.
    ASSERT_TRUE(viewer.Showing());
    Append("1000002", 1, true);
    ASSERT_TRUE(Unread("1000002", 1));
    EXPECT_TRUE(viewer.Bar().isHidden());
    EXPECT_TRUE(viewer.Comes(QStringLiteral("document.body.innerHTML.includes('>601<')"),
                             QStringLiteral("true")));
    // An edit alone too: one more post not read.
    forum.ChangeThread("1000002", [](demo::SampleThread& thread) {
        demo::EditSamplePost(thread, 2, "改过的内容");
    });
    ASSERT_TRUE(Unread("1000002", 2));
    EXPECT_TRUE(
        viewer.Comes(QStringLiteral("document.body.innerHTML.includes('class=\"n new\">2<')"),
                     QStringLiteral("true")));

    test::NotificationService service;
    ASSERT_TRUE(service.Running());
    Append("1000002", 2, true);
    Append("1000001", 2, false);
    ASSERT_TRUE(Unread("1000002", 4));  // the edit's too
    ASSERT_TRUE(Unread("1000001", 2));
    QTest::qWait(1000);
    ASSERT_EQ(service.Notifications().size(), 1U);
    EXPECT_NE(service.Notifications()[0].find("」楼主发了 2 条新帖\""), std::string::npos)
        << service.Notifications()[0];
    // The starter's next post replaces the notification still shown.
    Append("1000002", 1, true);
    ASSERT_TRUE(Soon([&] { return service.Notifications().size() == 2U; }));
    EXPECT_NE(service.Notifications()[1].find(" 1 \"\" \"「"), std::string::npos)
        << service.Notifications()[1];

    ASSERT_TRUE(service.Emit("ActionInvoked", 1));
    ASSERT_TRUE(Soon(
        [&] { return viewer.Edit(res::IDC_URL)->text().endsWith("look,601318,1000002.html"); }));
    EXPECT_EQ(viewer.Page().count(QString::fromStdString(GbkToUtf8(kNewMark).value())),
              4);  // the three and the one after

    // The command line's thread: a kept one is shown, another is told in the bar.
    EXPECT_TRUE(d.OpenThreadAddress(Address("/look,600519,1000001.html")));
    EXPECT_TRUE(viewer.Bar().isHidden());
    EXPECT_FALSE(d.OpenThreadAddress(Address("/look,600519,999.html")));
    EXPECT_FALSE(viewer.Bar().isHidden());
    EXPECT_EQ(viewer.Bar().Text(), QStringLiteral("帖子库里没有这个帖子："));
}

// A person followed who posts in a watched thread is told once a turn, whatever the starter does;
// choosing it shows their page.
TEST_F(ViewerWatchTest, APersonFollowedIsToldOnceATurnAndChoosingShowsTheirPage) {
    Watch({{"601318", "1000002"}});
    ThreadStore(DefaultLibraryFile()).Follow(Utf8ToGbk("观潮者").value(), 1);
    Viewer viewer(forum);
    test::NotificationService service;
    ASSERT_TRUE(service.Running());
    viewer.dialog.SetWatchPeriod(300ms);
    forum.ChangeThread("1000002", [](demo::SampleThread& thread) {
        demo::AppendSamplePosts(thread, 3, true);
        test::Poster(thread, test::LastFloor(thread), "观潮者");
        test::Poster(thread, test::LastFloor(thread) - 2, "观潮者");
    });
    ASSERT_TRUE(Soon([&] { return service.Notifications().size() == 2U; }));
    QTest::qWait(1000);
    ASSERT_EQ(service.Notifications().size(), 2U);
    EXPECT_NE(service.Notifications()[1].find(
                  "「观潮者」发了 2 条新帖（「平安的保险业务还能增长吗？长期跟踪帖」）"),
              std::string::npos)
        << service.Notifications()[1];
    ASSERT_TRUE(service.Emit("ActionInvoked", 2));
    EXPECT_TRUE(viewer.Showing(QFileInfo(Access(viewer.dialog).m_personPath).fileName()));
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
    ASSERT_TRUE(Soon([&] { return asked("/look,600519,1000005_3.html"); }));
    viewer.StartFetch(Thread("/look,601318,1000002.html"));
    forum.ClearRequests();
    ASSERT_TRUE(viewer.Done());
    const std::vector<std::string> paths = forum.RequestedPaths();
    EXPECT_GE(paths.size(), 12U);
    for (const std::string& path : paths) {
        EXPECT_NE(path.find("1000002"), std::string::npos) << path;
    }
}

}  // namespace
}  // namespace vesk
