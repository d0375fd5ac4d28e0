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

// The demo forum's pages hold the common forms (the fetch tool's fingerprints pin them); these
// are the edges: the region's markers, records after earlier pages, odd floors, bodies and
// author sections.
TEST_F(ExtractPostsTest, ReadsOnlyPostsInsideTheRegionAfterTheRecordsOfEarlierPages) {
    const std::string page = Region(Post("1" + kFloorWord, SpanAuthor(kWang, "2024-03-05 10:21"),
                                         "<div class=huifu>plain words</div>") +
                                    Post("2" + kFloorWord, SpanAuthor("bob", "t"), ""));
    ASSERT_EQ(Extract(page, 49), 51);
    EXPECT_EQ(table[49].nFloor, 0);
    EXPECT_EQ(std::tuple(table[50].nFloor, std::string(table[50].szAuthor),
                         std::string(table[50].szTime), std::string(table[50].szContent)),
              std::tuple(1, kWang, std::string("2024-03-05 10:21"), std::string("plain words")));
    EXPECT_STREQ(table[51].szAuthor, "bob");
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

// Odd floors, bodies and author sections; over-long author and time cut at a whole character;
// a last post without its end marker runs to the region's end and ends the scan.
TEST_F(ExtractPostsTest, CutsOddFloorsBodiesAuthorSectionsAndAnUnendedLastPost) {
    // 1 + 30 characters of two bytes: 61 bytes for a 50-byte field.
    std::string strName = "x";
    for (int i = 0; i < 30; ++i) {
        strName += "\xB9\xC9";
    }
    const std::string page = Region(
        Post("12abc", "", "<div class=huifu>before<TABLE class=q><TR></TABLE>after</div>") +
        // The floor text ends at the first "</div>": here "<b>3</b>".
        Post("<b>3</b>", "<div>nothing</div>", "<div class=huifu>line one<br>two&nbsp;!</div>") +
        Post(" 7" + kFloorWord, "", "<div class=other>no body here</div>") +
        // A marked body with no tag of its own stays whole.
        Post("floor 4", "", "<div class=huifu MsoNormal>div>") +
        Post("5", "", "<div class=huifu><P>" + std::string(5000, 'c') + "</P></div>") +
        // A span id holding a link yields nothing the first way, so the second way is taken.
        Post("6",
             "<div>" + kAuthor + "<span id=u9><a href=\"/u/9\">lin</a></span>&nbsp;" + kTime +
                 "<span>ignored</span></div>",
             "") +
        Post("1", SpanAuthor(strName, std::string(40, '9')), "") + "<div class=louceng>2</div>" +
        SpanAuthor("last", "t") + "<div class=huifu>tail</div><div class=louceng>3</div>");
    ASSERT_EQ(Extract(page), 7);
    const std::tuple<int, std::string, std::string, std::string> expected[] = {
        {12, "", "", "<TABLE class=q><TR></TABLE>after</"},
        {0, "", "", "line one<br>two&nbsp;!"},  // no author section: empty fields
        {7, "", "", ""},
        {0, "", "", " MsoNormal>"},
        {5, "", "", "<P>" + std::string(2035, 'c') + "......"},
        {6, "", "<span>ignored</span>", ""},
        {1, strName.substr(0, 49), std::string(20, '9'), ""},
        {2, "last", "t", "tail"},
    };
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(std::tuple(table[i].nFloor, std::string(table[i].szAuthor),
                             std::string(table[i].szTime), std::string(table[i].szContent)),
                  expected[i])
            << i;
    }
}

// The library keeps what the table's cut loses: after a link or bold words, nested blocks, the
// stray "</"; a reply block left open runs to the post's end.
TEST_F(ExtractPostsTest, WholeBodiesKeepWhatTheTablesCutLoses) {
    const std::pair<std::string, std::string> cases[] = {
        {"<div class=huifu>good <b>news</b> came, <a href=/x>hold</a> on</div><div "
         "class=bar>x</div>",
         "good <b>news</b> came, <a href=/x>hold</a> on"},
        {"<div class=huifu><DIV class=q>quote<div>inner</div></DIV>reply\r\n</div>",
         "<DIV class=q>quote<div>inner</div></DIV>reply"},
        {"<div class=huifu><P>a</P><P>b</P></div>", "<P>a</P><P>b</P>"},
        {"<div class=huifu>open <divx> to the end", "open <divx> to the end"},
    };
    for (const auto& [strBody, strWhole] : cases) {
        const std::string strPage = Region(Post("1", "", strBody));
        PostCutter cutter(strPage);
        PostFields post;
        ASSERT_TRUE(cutter.Next(post));
        EXPECT_EQ(CutWholeBody(post.block), strWhole);
    }
    // The table's cut, for comparison, ends at the first end tag.
    const std::string strPage = Region(Post("1", "", cases[0].first));
    PostCutter cutter(strPage);
    PostFields post;
    ASSERT_TRUE(cutter.Next(post));
    EXPECT_EQ(post.body, "good <b>news");
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
