#include "result_page.h"

#include "process.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <string>
#include <sys/resource.h>

namespace vesk {
namespace {

// The page's fixed head and foot, written out here as the browser receives them.
const std::string kHead =
    "<html xmlns=\"http://www.w3.org/1999/xhtml\"><head><meta http-equiv=\"Content-Type\" "
    "content=\"text/html; charset=GB2312\" /><title></title><link href=\"vesk3.css\" "
    "rel=\"stylesheet\" type=\"text/css\" />\r\n<style type=\"text/css\">body{font-size:12px; "
    "line-height:22px; margin:2px;}td{font-size:12px; line-height:22px;}</style></head><body>"
    "<table width=100% cellspacing=0><tr><td style=border-bottom-width:1px;border-bottom-color:"
    "#8EC3EB;border-bottom-style:solid;color:#3568BB;font-weight:bold;height:24px;"
    "line-height:24px;padding-left:10px;margin-bottom:5px;>";
const std::string kFoot = "</table></body></html>";

std::string Row(const std::string& strColour, const std::string& strFloor,
                const std::string& strAuthor, const std::string& strTime,
                const std::string& strContent) {
    return "<tr><td><div style=color:" + strColour +
           ";padding-left:10px;><div style=float:left;margin-right:6px;>" + strFloor + "\xC2\xA5 " +
           strAuthor + "</div>" + strTime + "</div><div style=padding-left:20px;>" + strContent +
           "</div></td></tr>\r\n";
}

void Fill(PostRecord& record, int nFloor, const char* pszAuthor, const char* pszTime,
          const char* pszContent) {
    record.nFloor = nFloor;
    std::strcpy(record.szAuthor, pszAuthor);
    std::strcpy(record.szTime, pszTime);
    std::strcpy(record.szContent, pszContent);
}

class ResultPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        Fill(table[0], 1, "\xC0\xCF\xCD\xF5", "2024-01-01", "<P>first</P></");
        Fill(table[1], 2, "xabcx", "2024-01-02", "second &nbsp;<b>bold</b>");
        Fill(table[2], 0, "222.71.*.*", "t3", "third");
        Fill(table[3], 4, "\xC0\xCF\xCD\xF5", "t4", "fourth");
        Fill(table[4], 5, "", "t5", "anonymous");
        Fill(table[5], 6, "ABC", "t6", "sixth");
    }

    ResultPage Build(const PostFilter& filter, int nLastIndex = 5) const {
        return BuildResultPage(table.data(), nLastIndex, "Thread <b>title</b>", kStarter, filter);
    }

    static PostFilter Names(const std::string& strList) {
        PostFilter filter;
        filter.mode = PostFilter::Mode::kNames;
        filter.strNameList = strList;
        return filter;
    }

    const char* kStarter = "\xC0\xCF\xCD\xF5";
    PostTable table;
};

TEST_F(ResultPageTest, EachModeWritesItsRowsWithTheStarterInRed) {
    // The records' rows, the starter's red.
    const auto row = [&](int i) {
        return Row(i == 0 || i == 3 ? "red" : "#42B475", std::to_string(table[i].nFloor),
                   table[i].szAuthor, table[i].szTime, table[i].szContent);
    };
    const std::string r1 = row(0), r2 = row(1), r3 = row(2), r4 = row(3), r5 = row(4), r6 = row(5);
    PostFilter starter;
    starter.mode = PostFilter::Mode::kStarter;
    struct Case {
        PostFilter filter;
        int nLastIndex;
        int nShown;
        std::string rows;
    };
    const Case cases[] = {
        {PostFilter{}, 5, 6, r1 + r2 + r3 + r4 + r5 + r6},
        {starter, 5, 2, r1 + r4},
        // Listed names match as case-sensitive substrings; the starter keeps red.
        {Names("abc,222.71"), 5, 2, r2 + r3},
        {Names("\xCD\xF5"), 5, 2, r1 + r4},
        {Names("ABC"), 5, 1, r6},
        // One record, and no passing record: pages with the title only.
        {PostFilter{}, 0, 1, r1},
        {Names("nobody"), 5, 0, ""},
        // Items are taken as typed: " abc" begins with a blank; an empty item is in every
        // author, the empty one too.
        {Names("zzz, abc"), 5, 0, ""},
        {Names("zzz,abc"), 5, 1, r2},
        {Names("zzz,,yyy"), 5, 6, r1 + r2 + r3 + r4 + r5 + r6},
        {Names(",zzz"), 5, 6, r1 + r2 + r3 + r4 + r5 + r6},
        {Names("zzz,"), 5, 6, r1 + r2 + r3 + r4 + r5 + r6},
    };
    for (const Case& c : cases) {
        const ResultPage page = Build(c.filter, c.nLastIndex);
        EXPECT_EQ(page.nShown, c.nShown) << c.filter.strNameList;
        EXPECT_EQ(page.strText, kHead + "Thread <b>title</b></td></tr>" + c.rows + kFoot)
            << c.filter.strNameList;
    }
}

// A raw-text element a body holds would swallow the posts after it: its tags' "<" are written as
// text, every other byte as it stands.
TEST_F(ResultPageTest, RawTextElementsInABodyAreWrittenAsText) {
    const std::pair<const char*, const char*> cases[] = {
        {"a<textarea>b", "a&lt;textarea>b"},
        {"<SCRIPT src=x>y</script ><b>z</b>", "&lt;SCRIPT src=x>y&lt;/script ><b>z</b>"},
        {"<style>*{}</style><titlex><title/><xmp>",
         "&lt;style>*{}&lt;/style><titlex>&lt;title/>&lt;xmp>"},
        {"<iframe><noscript><noembed><noframes><plaintext",
         "&lt;iframe>&lt;noscript>&lt;noembed>"
         "&lt;noframes>&lt;plaintext"},
        {"<p>plain</p><scripts>", "<p>plain</p><scripts>"},
    };
    for (const auto& [pszBody, pszWritten] : cases) {
        Fill(table[0], 1, "a", "t", pszBody);
        EXPECT_EQ(Build(PostFilter{}, 0).strText, kHead + "Thread <b>title</b></td></tr>" +
                                                      Row("#42B475", "1", "a", "t", pszWritten) +
                                                      kFoot);
    }
}

TEST_F(ResultPageTest, AnEmptyAuthorIsNeverTheStarterAndNoModeShowsNothing) {
    EXPECT_FALSE(IsThreadStarter("", ""));
    EXPECT_TRUE(IsThreadStarter("a", "a"));
    EXPECT_FALSE(IsThreadStarter("a", "A"));
    EXPECT_FALSE(IsThreadStarter("ab", "a"));
    PostFilter filter{PostFilter::Mode::kStarter, ""};
    EXPECT_EQ(BuildResultPage(table.data(), 5, "", "", filter).nShown, 0);
    filter.mode = PostFilter::Mode::kNone;
    EXPECT_FALSE(PassesFilter("x", true, filter));
}

TEST_F(ResultPageTest, ReadsAFullTableAndNoFurther) {
    for (int i = 0; i < PostTable::kCapacity; ++i) {
        Fill(table[i], i + 1, "a", "t", "c");
    }
    EXPECT_EQ(Build(PostFilter{}, PostTable::kCapacity - 1).nShown, PostTable::kCapacity);
    EXPECT_EQ(Build(PostFilter{}, PostTable::kCapacity + 10).nShown, PostTable::kCapacity);
}

// The page replaces the file, its bytes as they stand; a path that cannot be created or a page
// not written whole is reported.
TEST(WriteResultFileTest, ReplacesTheFileByteForByteOrReportsWhyNot) {
    test::TempDir dir;
    // /dev/full takes the open but no byte.
    EXPECT_FALSE(WriteResultFile("/dev/full", std::string(100000, 'x')));
    EXPECT_FALSE(WriteResultFile(dir.File("missing/post.htm"), "x"));
    EXPECT_FALSE(WriteResultFile(dir.Path(), "x"));
    EXPECT_TRUE(std::filesystem::is_directory(dir.Path()));

    // A disk that fills up midway, as files limited to 4 KiB make it: the page before stays, and
    // nothing is left beside it.
    const std::string strPath = dir.File("post.htm");
    const std::string strBefore = "the page\r\nbefore\n\xC2\xA5";
    ASSERT_TRUE(WriteResultFile(strPath, std::string(5000, 'x')));
    ASSERT_TRUE(WriteResultFile(strPath, strBefore));
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    const rlimit small{4096, old.rlim_max};
    const auto onSignal = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
    const bool bWritten = WriteResultFile(strPath, std::string(100000, 'x'));
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, onSignal);
    EXPECT_FALSE(bWritten);
    EXPECT_EQ(test::ReadFile(strPath), strBefore);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

}  // namespace
}  // namespace vesk
