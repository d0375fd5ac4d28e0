#include "post_extraction.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

// Counts the allocations of this test program, to show that storing posts allocates nothing.
namespace {
std::atomic<long> g_nAllocations{0};
}  // namespace

void* operator new(std::size_t nSize) {
    ++g_nAllocations;
    if (void* p = std::malloc(nSize == 0 ? 1 : nSize)) {
        return p;
    }
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace vesk {
namespace {

// GB2312 bytes of the page's labels and of a few names.
const std::string kAuthor = "\xD7\xF7\xD5\xDF\xA3\xBA";                // 作者：
const std::string kTime = "\xB7\xA2\xB1\xED\xCA\xB1\xBC\xE4\xA3\xBA";  // 发表时间：
const std::string kWang = "\xC0\xCF\xCD\xF5";                          // 老王
const std::string kFloorWord = "\xC2\xA5";                             // 楼

std::string Region(const std::string& strPosts) {
    return "<html><div class=louceng>outside</div><div class=cl></div>"
           "<div id=pinglun_fenye></div>" +
           strPosts + "<script>function arrJoin() {}</script><div class=louceng>after</div>";
}

std::string Post(const std::string& strFloor, const std::string& strAuthorSection,
                 const std::string& strBody) {
    return "<div class=louceng>" + strFloor + "</div>" + strAuthorSection + strBody +
           "<div class=cl></div>\r\n";
}

std::string SpanAuthor(const std::string& strName, const std::string& strWhen) {
    return "<div class=zuozhe>" + kAuthor + "<span id=u1>" + strName + "</span>&nbsp;" + kTime +
           "<span>" + strWhen + "</span></div>";
}

class ExtractPostsTest : public ::testing::Test {
protected:
    int Extract(const std::string& strPage, int nLastRecord = -1) {
        return ExtractPosts(strPage, table.data(), nLastRecord);
    }
    PostTable table;
};

TEST_F(ExtractPostsTest, ReadsOnlyPostsInsideTheRegionAfterTheRecordsOfEarlierPages) {
    const std::string page = Region(Post("1" + kFloorWord, SpanAuthor(kWang, "2024-03-05 10:21"),
                                         "<div class=huifu>plain words</div>") +
                                    Post("2" + kFloorWord, SpanAuthor("bob", "2024-03-05 10:22"),
                                         "<div class=huifu>second</div>"));
    ASSERT_EQ(Extract(page), 1);
    EXPECT_EQ(table[0].nFloor, 1);
    EXPECT_STREQ(table[0].szAuthor, kWang.c_str());
    EXPECT_STREQ(table[0].szTime, "2024-03-05 10:21");
    EXPECT_STREQ(table[0].szContent, "plain words");
    EXPECT_EQ(table[1].nFloor, 2);
    EXPECT_STREQ(table[1].szAuthor, "bob");
    EXPECT_STREQ(table[2].szAuthor, "");
    ASSERT_EQ(Extract(page, 49), 51);
    EXPECT_EQ(table[50].nFloor, 1);
    EXPECT_EQ(table[49].nFloor, 0);

    // Without either region marker: nothing, and the last record stays where it was.
    const std::string post = Post("1", SpanAuthor("a", "t"), "<div class=huifu>x</div>");
    EXPECT_EQ(Extract("<div id=pinglun_fenye></div>" + post), -1);
    EXPECT_EQ(Extract(post + "function arrJoin()"), -1);
    EXPECT_EQ(Extract("<div id=pinglun_fenye></div>" + post, 4), 4);
    // Every post marker costs one record, even an empty one.
    EXPECT_EQ(Extract(Region("<div class=louceng<div class=cl></div><div class=louceng><div "
                             "class=cl></div>junk")),
              1);
}

TEST_F(ExtractPostsTest, ReadsTheFloorNumberFromTheStartOfTheFloorText) {
    const std::string page = Region(Post("12abc", "", "") + Post("<b>3</b>", "", "") +
                                    Post("floor 4", "", "") + Post(" 7" + kFloorWord, "", ""));
    ASSERT_EQ(Extract(page), 3);
    // The floor text ends at the first "</div>": here "<b>3</b>".
    for (const auto& [i, nFloor] : {std::pair{0, 12}, {1, 0}, {2, 0}, {3, 7}}) {
        EXPECT_EQ(table[i].nFloor, nFloor) << i;
    }
}

TEST_F(ExtractPostsTest, CutsEachFormOfBody) {
    const std::string page = Region(
        Post("1", "", "<div class=huifu>plain words</div>") +
        Post("2", "", "<div class=huifu><P>words</P></div>") +
        Post("3", "",
             "<div class=huifu>before<TABLE class=q><TR><TD>q</TD></TR></TABLE>after</div>") +
        Post("4", "", "<div class=huifu><span class=reply_this>re 3</span>text</div>") +
        Post("5", "", "<div class=huifu><p class=MsoNormal>office</p></div>") +
        Post("6", "", "<div class=huifu>line one<br>line two&nbsp;!</div>") +
        Post("7", "", "<div class=other>no body here</div>") +
        Post("8", "", "<div class=huifu MsoNormal>div>"));
    ASSERT_EQ(Extract(page), 7);
    // A marked body with no tag of its own stays whole (the last).
    const char* const bodies[] = {"plain words",
                                  "<P>words</P></",
                                  "<TABLE class=q><TR><TD>q</TD></TR></TABLE>after</",
                                  "<span class=reply_this>re 3</span>text</",
                                  "<p class=MsoNormal>office</p></",
                                  "line one<br>line two&nbsp;!",
                                  "",
                                  " MsoNormal>"};
    for (int i = 0; i < 8; ++i) {
        EXPECT_STREQ(table[i].szContent, bodies[i]) << i;
    }
}

TEST_F(ExtractPostsTest, CutsLongBodiesTo2038BytesAndDots) {
    const std::string page =
        Region(Post("1", "", "<div class=huifu>" + std::string(2048, 'b') + "</div>") +
               Post("2", "", "<div class=huifu><P>" + std::string(5000, 'c') + "</P></div>"));
    ASSERT_EQ(Extract(page), 1);
    EXPECT_EQ(std::string(table[0].szContent), std::string(2038, 'b') + "......");
    EXPECT_EQ(std::string(table[1].szContent), "<P>" + std::string(2035, 'c') + "......");
}

TEST_F(ExtractPostsTest, ReadsEachFormOfAuthorAndTime) {
    const std::string page = Region(
        // A user name in a span of its own.
        Post("1", SpanAuthor(kWang, "2024-01-01 09:30"), "") +
        // An anonymous poster: an address fragment in a plain span.
        Post("2",
             "<div>" + kAuthor + "<span class=ip>222.71.*.*</span>&nbsp;" + kTime +
                 "<span>2024-01-02 10:00</span></div>",
             "") +
        // An author link without any span: author up to &nbsp;, time up to </div>.
        Post("3",
             "<div>" + kAuthor + "<a href=\"/u/7\" target=_blank>" + kWang + "</a>&nbsp;&nbsp;" +
                 kTime + "2024-01-03 11:00</div>",
             "") +
        // A span id holding a link yields nothing the first way, so the second way is taken.
        Post("4",
             "<div>" + kAuthor + "<span id=u9><a href=\"/u/9\">lin</a></span>&nbsp;" + kTime +
                 "<span>ignored</span></div>",
             "") +
        // No author section at all: the post is stored with empty fields.
        Post("5", "<div>nothing</div>", ""));
    ASSERT_EQ(Extract(page), 4);
    // "<span id=u9><a href=..>lin</a></span>" reduced to the text of its first tag pair: empty.
    const std::pair<std::string, std::string> expected[] = {{kWang, "2024-01-01 09:30"},
                                                            {"222.71.*.*", "2024-01-02 10:00"},
                                                            {kWang, "2024-01-03 11:00"},
                                                            {"", "<span>ignored</span>"},
                                                            {"", ""}};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(table[i].szAuthor, expected[i].first) << i;
        EXPECT_EQ(table[i].szTime, expected[i].second) << i;
    }
    EXPECT_EQ(table[4].nFloor, 5);
}

TEST_F(ExtractPostsTest, CutsOverLongAuthorAndTimeAtAWholeCharacter) {
    // 1 + 30 characters of two bytes: 61 bytes for a 50-byte field.
    std::string strName = "x";
    for (int i = 0; i < 30; ++i) {
        strName += "\xB9\xC9";
    }
    const std::string page = Region(Post("1", SpanAuthor(strName, std::string(40, '9')), ""));
    ASSERT_EQ(Extract(page), 0);
    EXPECT_EQ(std::string(table[0].szAuthor), strName.substr(0, 49));
    EXPECT_EQ(std::string(table[0].szTime), std::string(20, '9'));
}

TEST_F(ExtractPostsTest, APostWithoutItsEndMarkerRunsToTheRegionEndAndEndsTheScan) {
    const std::string page =
        Region(Post("1", "", "<div class=huifu>a</div>") + "<div class=louceng>2</div>" +
               SpanAuthor("last", "t") + "<div class=huifu>tail</div><div class=louceng>3</div>");
    ASSERT_EQ(Extract(page), 1);
    EXPECT_EQ(table[1].nFloor, 2);
    EXPECT_STREQ(table[1].szAuthor, "last");
    EXPECT_STREQ(table[1].szContent, "tail");
    EXPECT_EQ(table[2].nFloor, 0);
}

TEST_F(ExtractPostsTest, DropsPostsOnceTheTableIsFull) {
    std::string posts;
    for (int i = 1; i <= 5; ++i) {
        posts += Post(std::to_string(i), "", "<div class=huifu>p</div>");
    }
    const int nLast = PostTable::kCapacity - 1;
    EXPECT_EQ(Extract(Region(posts), nLast - 2), nLast);
    EXPECT_EQ(table[nLast - 1].nFloor, 1);
    EXPECT_EQ(table[nLast].nFloor, 2);
    EXPECT_EQ(Extract(Region(posts), nLast), nLast);
}

TEST_F(ExtractPostsTest, StoresPostsWithoutAllocating) {
    std::string posts;
    for (int i = 1; i <= 200; ++i) {
        posts += Post(std::to_string(i) + kFloorWord, SpanAuthor(kWang, "2024-03-05 10:21"),
                      "<div class=huifu><P>" + std::string(3000, 'w') + "</P></div>");
    }
    const std::string page = Region(posts);
    const long nBefore = g_nAllocations.load();
    const int nLast = Extract(page);
    EXPECT_EQ(g_nAllocations.load() - nBefore, 0);
    EXPECT_EQ(nLast, 199);
    // The counter does see this program's allocations.
    const std::string strCopy = page;
    EXPECT_GT(g_nAllocations.load() - nBefore, 0);
}

}  // namespace
}  // namespace vesk
