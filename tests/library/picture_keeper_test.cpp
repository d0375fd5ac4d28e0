// Pictures kept with their threads: once per content, only what is a picture and small enough,
// failures tried again at the next refresh, gone with the last thread that shows them.

#include "picture_keeper.h"

#include "demo_forum.h"
#include "process.h"
#include "thread_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>

namespace vesk {
namespace {

// The thread's pictures by src, in order, each kept (+) or not (-).
std::string Pictures(ThreadStore& store, const ThreadKey& key) {
    std::vector<std::string> shown;
    for (const auto& [src, ref] : store.Pictures(store.Find(key)->nId)) {
        shown.push_back(src + (ref.strHash.empty() ? "-" : "+"));
    }
    std::sort(shown.begin(), shown.end());
    std::string strShown;
    for (const std::string& picture : shown) {
        strShown += picture + " ";
    }
    return strShown;
}

TEST(PictureKeeperTest, PicturesAreKeptOnceRefusedWhenNoneOrTooLargeAndTriedAgainLater) {
    // Floors 2 to 7 of the first thread show a picture each, floor 2 of the second the first's.
    const std::map<int, std::string> shown = {
        {2, "/pic/a.png"},    {3, "pic/a.png"},      {4, "/pic/big.png"},
        {5, "/pic/fake.png"}, {6, "/pic/later.png"}, {7, "http://127.0.0.1:1/copy.png"}};
    demo::DemoForum forum;
    for (const char* pszThread : {"1000001", "1000002"}) {
        forum.ChangeThread(pszThread, [&](demo::SampleThread& thread) {
            for (demo::SamplePost& post : thread.pages[0]) {
                if (shown.contains(post.nFloor) && (post.nFloor == 2 || pszThread[6] == '1')) {
                    post.strPicture = shown.at(post.nFloor);
                }
            }
        });
    }
    ASSERT_TRUE(forum.Start());
    const std::string strPicture = demo::SamplePicture(1);
    forum.SetPage("/pic/a.png", strPicture);
    forum.SetPage("/pic/big.png", strPicture + std::string(kMaxPictureBytes, 'x'));
    forum.SetPage("/pic/fake.png", "<html>not a picture</html>");
    test::TempDir dir;
    ThreadStore store(dir.File("library.sqlite3"));
    PageFetcher fetcher;
    ASSERT_TRUE(fetcher.OpenSession());
    RefreshSettings settings;
    settings.strBaseAddress = forum.BaseAddress();
    const ThreadKey first{"600519", "1000001"};
    const ThreadKey second{"601318", "1000002"};
    const auto asked = [&](const std::string& strPath) {
        const std::vector<std::string> paths = forum.RequestedPaths();
        return std::count(paths.begin(), paths.end(), strPath);
    };

    std::pair<int, int> told;  // the last progress: done, wanted
    settings.pictureProgress = [&](int nDone, int nWanted) { told = {nDone, nWanted}; };
    const PicturesKept kept = RefreshThread(store, fetcher, first, settings).pictures;
    settings.pictureProgress = {};
    EXPECT_EQ(told, std::make_pair(6, 6));
    EXPECT_EQ(kept.nKept, 2);  // a.png, asked once for both its addresses
    EXPECT_EQ(kept.nRefused, 2);
    EXPECT_EQ(kept.nFailed, 2);  // later.png is not there yet, nothing listens at port 1
    EXPECT_EQ(kept.nBytes, static_cast<std::int64_t>(strPicture.size()));
    EXPECT_EQ(asked("/pic/a.png"), 1);
    EXPECT_EQ(Pictures(store, first),
              "/pic/a.png+ /pic/big.png- /pic/fake.png- /pic/later.png- "
              "http://127.0.0.1:1/copy.png- pic/a.png+ ");
    EXPECT_EQ(store.Picture(Sha256Hex(strPicture))->strType, "image/png");

    // The next refresh asks again for what failed, not for what was refused; a busy answer waits
    // for its Retry-After.
    forum.SetPage("/pic/later.png", demo::SamplePicture(2));
    forum.SetFault("/pic/later.png", {503, {}, "1", 1});
    forum.ClearRequests();
    EXPECT_EQ(RefreshThread(store, fetcher, first, settings).pictures.nKept, 1);
    EXPECT_EQ(asked("/pic/later.png"), 2);
    EXPECT_EQ(asked("/pic/big.png") + asked("/pic/fake.png"), 0);
    // Another thread showing a kept picture's address has it without a request; without
    // pictures, nothing is asked.
    settings.bPictures = false;
    RefreshThread(store, fetcher, second, settings);
    EXPECT_EQ(asked("/pic/a.png"), 0);
    settings.bPictures = true;
    RefreshThread(store, fetcher, second, settings);
    EXPECT_EQ(asked("/pic/a.png"), 0);
    EXPECT_EQ(Pictures(store, second), "/pic/a.png+ ");
    EXPECT_EQ(store.List()[0].nPictureBytes, static_cast<std::int64_t>(strPicture.size()));

    // Forgotten, a thread takes the pictures that no other thread shows with it.
    store.Forget(store.Find(first)->nId);
    EXPECT_TRUE(store.Picture(Sha256Hex(strPicture)));
    EXPECT_FALSE(store.Picture(Sha256Hex(demo::SamplePicture(2))));
    store.Forget(store.Find(second)->nId);
    EXPECT_FALSE(store.Picture(Sha256Hex(strPicture)));
    store.Vacuum();
}

}  // namespace
}  // namespace vesk
