#pragma once

#include <ctime>
#include <string>
#include <vector>

namespace vesk::demo {

// One post as the demo forum writes it; every text is UTF-8 and is turned into GB2312 with the
// whole page.
struct SamplePost {
    enum class AuthorForm {
        kUserSpan,  // 作者：<span id=u..>name</span>
        kAddress,   // an anonymous poster: a fragment of the network address in a span
        kLink,      // 作者：<a href=..>name</a>&nbsp; with the time up to </div>
    };
    enum class BodyForm { kPlain, kParagraphs, kQuote, kReplyThis, kMsoNormal };

    int nFloor = 0;
    std::string strAuthor;
    AuthorForm authorForm = AuthorForm::kUserSpan;
    std::string strTime;
    BodyForm bodyForm = BodyForm::kPlain;
    std::string strBody;     // the words; markup is added by the form
    std::string strPicture;  // a picture's src shown after the words, or empty
};

// A thread of the demo forum: its pages as the forum serves them, GB2312 bytes.
struct SampleThread {
    std::string strBoardCode;
    std::string strThreadId;
    std::string strTitle;      // UTF-8
    std::string strBoardName;  // UTF-8
    std::vector<std::vector<SamplePost>> pages;
    // Floors the board shows again above every page's own posts, as a pinned first post or a
    // block of "hot" replies.
    std::vector<int> topFloors;
};

// The threads the demo forum serves: a short one, a long one, one of exactly 40 pages, one of
// more pages than a retrieval reads, and one of 120 pages whose starter posts every few pages,
// a chart every 20 floors or so (kSamplePictures of them, some shown twice).
std::vector<SampleThread> MakeSampleThreads();
// The threads' posts dated anew as if they were written up to now: each thread's last post a day
// or a few before now, its posts spread evenly over weeks or months before it (a longer thread
// over longer), so that how busy each has been lately shows.
void MakeTimesRecent(std::vector<SampleThread>& threads, std::time_t now);

inline constexpr int kSamplePictures = 250;
// The path the forum serves sample picture n at ("/pic/chart-7.png"), and its bytes: a small
// chart, a PNG of its own for each n.
std::string SamplePicturePath(int n);
std::string SamplePicture(int n);

// Changes to a thread as its posters and moderators make them. Pages keep the first page's number
// of posts: appended posts fill the last page and then new ones; deleted posts leave no gap, so
// the posts after them move up, onto earlier pages.
void AppendSamplePosts(SampleThread& thread, int nCount, bool bByStarter);
bool EditSamplePost(SampleThread& thread, int nFloor, const std::string& strBody);
void DeleteSamplePosts(SampleThread& thread, const std::vector<int>& floors);

// A page of a thread in the forum's format, as UTF-8 text. nPage counts from 1; a page past the
// last holds no posts, as the forum answers it.
std::string RenderThreadPage(const SampleThread& thread, int nPage);

// The board's page and the forum's front page, as UTF-8 text.
std::string RenderBoardPage(const std::vector<SampleThread>& threads, const std::string& strCode);
std::string RenderIndexPage(const std::vector<SampleThread>& threads);

}  // namespace vesk::demo
