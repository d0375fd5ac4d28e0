// vesk-watch on a private session bus, against the demo forum on 127.0.0.1 and a stand-in
// notification service.

#include "command_test.h"
#include "notification_service.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <future>
#include <string>
#include <sys/stat.h>
#include <thread>

namespace vesk {
namespace {

using test::ProcessResult;
using test::RunProcess;

constexpr char kPingan[] = "look,601318,1000002.html";
constexpr char kMoutai[] = "look,600519,1000001.html";

class VeskWatchTest : public test::CommandTest {
protected:
    void SetUp() override {
        CommandTest::SetUp();
        for (const char* pszThread : {kPingan, kMoutai}) {
            ASSERT_EQ(Run(VESK_LIBRARY_PATH, {"refresh", Url(pszThread)}).nExitCode, 0);
            ASSERT_EQ(Run(VESK_LIBRARY_PATH, {"watch", Url(pszThread)}).nExitCode, 0);
        }
    }
    void Append(const char* pszThread, int nCount, bool bByStarter) {
        forum.ChangeThread(pszThread, [=](demo::SampleThread& thread) {
            demo::AppendSamplePosts(thread, nCount, bByStarter);
        });
    }
};

// The starter's new posts give one notification (title, count, the newest post's first words),
// others' none; choosing it starts the viewer on the thread; its closing ends the watcher.
TEST_F(VeskWatchTest, TheStartersPostsGiveOneNotificationThatStartsTheViewer) {
    test::NotificationService service;
    ASSERT_TRUE(service.Running());
    const std::string strViewer = dir.File("viewer.sh");
    std::ofstream(strViewer) << "#!/bin/sh\necho \"$@\" > " << dir.File("viewer.args") << "\n";
    chmod(strViewer.c_str(), 0755);
    Append("1000002", 3, true);
    Append("1000001", 2, false);
    // The title's and the newest post's markup is left out, their entities read once, no space put
    // where an inline tag was; the post is cut after 60 characters.
    std::string strRises;
    for (int i = 0; i < 70; ++i) {
        strRises += "涨";
    }
    forum.ChangeThread("1000002", [&](demo::SampleThread& thread) {
        thread.strTitle = "平安&amp;五粮液 &lt;b&gt;重仓<font color=red>!</font>";
        demo::EditSamplePost(thread, 603, "<P>买<b>入</b>&amp;持有</P>\n<P>" + strRises + "</P>");
    });

    auto watch = std::async(std::launch::async, [&] {
        return Run(VESK_WATCH_PATH, {"--linger", "60", "--viewer", strViewer});
    });
    for (int i = 0; i < 400 && service.Notifications().empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_EQ(service.Notifications().size(), 1U);
    const std::string strCall = service.Notifications()[0];
    EXPECT_NE(strCall.find("\"「平安&五粮液 <b>重仓!」楼主发了 3 条新帖\""), std::string::npos)
        << strCall;
    EXPECT_NE(strCall.find("\"买入&amp;持有 " + strRises.substr(0, 54 * 3) + "…\""),
              std::string::npos)
        << strCall;
    EXPECT_NE(strCall.find("[\"default\""), std::string::npos) << strCall;

    ASSERT_TRUE(service.Emit("ActionInvoked", 1));
    for (int i = 0; i < 200 && test::ReadFile(dir.File("viewer.args")).empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_EQ(test::ReadFile(dir.File("viewer.args")), "--open " + Url(kPingan) + "\n");
    ASSERT_TRUE(service.Emit("NotificationClosed", 1));
    ASSERT_EQ(watch.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    const ProcessResult result = watch.get();
    EXPECT_EQ(result.nExitCode, 0) << result.strErr;
    EXPECT_NE(result.strOut.find("\t3\t3\n"), std::string::npos);
    EXPECT_NE(result.strOut.find("\t2\t0\n"), std::string::npos);
}

// Without a service, or without a bus, nothing is shown and nothing fails; the exit codes are
// the library command's.
TEST_F(VeskWatchTest, WithoutAServiceNothingFailsAndTheExitCodesHold) {
    Append("1000002", 1, true);
    const ProcessResult unserved = Run(VESK_WATCH_PATH, {"--linger", "30"});
    EXPECT_EQ(unserved.nExitCode, 0);
    EXPECT_EQ(unserved.strErr, "");
    EXPECT_NE(unserved.strOut.find("\t1\t1\n"), std::string::npos);
    Append("1000002", 1, true);
    const ProcessResult busless = Run(VESK_WATCH_PATH, {"--linger", "30"},
                                      {{"DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent"}});
    EXPECT_EQ(busless.nExitCode, 0);
    EXPECT_NE(busless.strOut.find("\t1\t1\n"), std::string::npos);

    forum.Stop();
    EXPECT_EQ(Run(VESK_WATCH_PATH, {}).nExitCode, 6);
    std::ofstream(dir.File("text.txt")) << "not a library\n";
    EXPECT_EQ(RunProcess({VESK_WATCH_PATH, "--db", dir.File("text.txt")}).nExitCode, 5);
    EXPECT_EQ(Run(VESK_WATCH_PATH, {"--linger", "-1"}).nExitCode, 2);
}

}  // namespace
}  // namespace vesk
