// Searching the library: words of any length found as typed, the filters, edits and deletions,
// and the index kept in step with every change and made for a library without one.

#include "post_search.h"

#include "code_page.h"
#include "process.h"
#include "search_index_checks.h"
#include "sqlite_db.h"
#include "thread_store.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

namespace vesk {
namespace {

struct Post {
    int nFloor;
    const char* pszAuthor;
    const char* pszTime;
    const char* pszBody;
};

// Pages as a board gives them, in GB2312, kept alive as long as the library reads them.
class Pages {
public:
    ReadPage Page(const char* pszTitle, const std::vector<Post>& posts) {
        ReadPage page{1, {}, ThreadHeading{Gbk(pszTitle), Gbk("board")}};
        for (const Post& post : posts) {
            page.posts.push_back(
                {post.nFloor, Gbk(post.pszAuthor), Gbk(post.pszTime), Gbk(post.pszBody)});
        }
        return page;
    }

private:
    std::string_view Gbk(const char* pszUtf8) {
        return m_texts.emplace_back(Utf8ToGbk(pszUtf8).value());
    }
    std::deque<std::string> m_texts;
};

const ThreadKey kMoutai{"600519", "1"};
const ThreadKey kPingan{"601318", "2"};

// The hits as "thread:floor" with what marks them, in order.
std::string Found(ThreadStore& store, const SearchQuery& query) {
    std::string strFound;
    for (const SearchHit& hit : store.Search(query)) {
        strFound += hit.key.strThreadId + ":" + std::to_string(hit.nFloor);
        strFound += hit.where == SearchHit::Where::kTitle     ? "t"
                    : hit.where == SearchHit::Where::kAuthor  ? "a"
                    : hit.where == SearchHit::Where::kEarlier ? "e"
                                                              : "";
        strFound += hit.bDeleted ? "x " : " ";
    }
    return strFound;
}

class PostSearchTest : public testing::Test {
protected:
    void SetUp() override {
        ThreadStore store(File());
        Keep(store);
    }
    std::string File() const { return dir.File("library.sqlite3"); }
    // The two threads; bLater: as a later reading finds them, 1:2 and 1:4 edited, 2:2 deleted.
    void Keep(ThreadStore& store, bool bLater = false) {
        store.StorePage(
            kMoutai,
            pages.Page("茅台减持公告讨论",
                       {{1, "老股民", "2024-03-01 09:00:00", "<p>今天聊聊<b>减持</b>的事。</p>"},
                        {2, "散户甲", "2024-03-02 10:00:00",
                         bLater ? "大股东增持了" : "大股东减持了，&lt;注意&gt;风险"},
                        {3, "老股民", "2024-03-05 11:00:00", "茅台ETF放量，MoutaiStock 上涨"},
                        {4, "散户乙", "2024-03-06 12:00:00",
                         bLater ? "无关内容"
                                : "<script>var a='减持';</script>无关<style>.x{}</style>内容"}}),
            bLater ? 2 : 1);
        std::vector<Post> pingan = {
            {1, "平安粉", "2024-03-03 09:00:00", "保险业务减持计划"},
            {2, "老股民", "2024-03-04 09:00:00", "测试\"引号\"与*星号 AND 其他"},
            {3, "平安粉", "2024-03-07 09:00:00", "收尾"}};
        if (bLater) {
            pingan.erase(pingan.begin() + 1);
        }
        store.StorePage(kPingan, pages.Page("平安保险", pingan), bLater ? 2 : 1);
        store.CatchUpSearchIndex();  // as a reading ends
    }
    static SearchQuery Query(const char* pszText) {
        SearchQuery query;
        query.strText = pszText;
        return query;
    }

    test::TempDir dir;
    Pages pages;
};

// Every length of word, mixed scripts, markup and references, the filters, what is no syntax.
TEST_F(PostSearchTest, FindsWordsOfEveryLengthAsTypedWithEachFilter) {
    ThreadStore store(File());
    const auto with = [](const char* pszText, auto change) {
        SearchQuery query = Query(pszText);
        change(query);
        return query;
    };
    struct Case {
        SearchQuery query;
        const char* pszFound;
    };
    const Case cases[] = {
        // The title finds its thread's first post; a script's words are no post's.
        {Query("减"), "1:1t 2:1 1:2 "},
        {Query("减持"), "1:1t 2:1 1:2 "},
        // Markup out: the words run on across the bold.
        {Query("减持的"), "1:1 "},
        {Query("减持计划"), "2:1 "},
        {Query("ETF放量"), "1:3 "},
        {Query("moutaistock"), "1:3 "},
        {Query("<注意>"), "1:2 "},
        {Query("茅台 放量"), "1:3 "},
        {Query("散户甲"), "1:2a "},
        {Query("平安"), "2:1t 2:3a "},
        // Quotes, stars and AND are text.
        {Query("\"引号\"与*"), "2:2 "},
        {Query("AND"), "2:2 "},
        {Query("减持 AND"), ""},
        {Query("减持*"), ""},
        {Query("无关内容"), "1:4 "},
        {Query("var"), ""},
        {Query("   "), ""},
        // LIKE's wildcards are text in short words: "A_" is not "AN".
        {Query("A_"), ""},
        {Query("%"), ""},
        {with("减持", [](SearchQuery& q) { q.bStarter = true; }), "1:1t 2:1 "},
        {with("减持", [](SearchQuery& q) { q.strAuthor = Utf8ToGbk("散户").value(); }), "1:2 "},
        {with("减持", [](SearchQuery& q) { q.strSince = "2024-03-03"; }), "2:1 "},
        {with("减持", [](SearchQuery& q) { q.thread = kMoutai; }), "1:1t 1:2 "},
        {with("减持", [](SearchQuery& q) { q.nLimit = 2; }), "1:1t 2:1 "},
        {Query("股"), "2:2a 1:3a 1:2 1:1a "},
    };
    for (const Case& test : cases) {
        EXPECT_EQ(Found(store, test.query), test.pszFound) << test.query.strText;
    }
    // The context marks what was found, ASCII in any case.
    const std::vector<SearchHit> hits = store.Search(Query("stock"));
    ASSERT_EQ(hits.size(), 1u);
    ASSERT_EQ(hits[0].marks.size(), 1u);
    EXPECT_EQ(hits[0].strContext.substr(hits[0].marks[0].first, hits[0].marks[0].second), "Stock");
    EXPECT_EQ(hits[0].strContext, "茅台ETF放量，MoutaiStock 上涨");
}

// An edit is found by its new text, and with earlier texts asked for by the one it replaced; a
// deleted post is found and marked; forgetting a thread takes it out of the index. The index
// stays in step with every change, and a library without one gets it when opened.
TEST_F(PostSearchTest, EditsDeletionsForgettingAndALibraryWithoutAnIndex) {
    {
        ThreadStore store(File());
        Keep(store, true);
        EXPECT_EQ(Found(store, Query("增持")), "1:2 ");
        EXPECT_EQ(Found(store, Query("大股东减持")), "");
        SearchQuery earlier = Query("大股东减持");
        earlier.bEarlier = true;
        EXPECT_EQ(Found(store, earlier), "1:2e ");
        EXPECT_EQ(Found(store, Query("星号")), "2:2x ");
    }
    EXPECT_EQ(test::IndexDifferences(File()), 0);

    // Without the index, every search reads the posts themselves and finds the same.
    const std::vector<const char*> queries = {"减", "减持", "减持的", "茅台 放量", "股", "星号"};
    std::vector<std::string> indexed;
    {
        ThreadStore store(File());
        for (const char* pszQuery : queries) {
            indexed.push_back(Found(store, Query(pszQuery)));
        }
        store.DropSearchIndex();
        EXPECT_FALSE(store.HasSearchIndex());
        for (std::size_t i = 0; i < queries.size(); ++i) {
            EXPECT_EQ(Found(store, Query(queries[i])), indexed[i]) << queries[i];
        }
    }
    // A library of the index before (runs of three characters beside a copy of every text, a
    // trigger for each post added): it gets this index as it opens, with its progress told.
    {
        Database old(File(), false, 1000);
        DefineSearchFunctions(old);
        old.Execute((std::string(test::kDropPeople) +  // the index dropped above
                     "CREATE VIRTUAL TABLE post_text USING fts5(body, author, tokenize='trigram');"
                     "CREATE TRIGGER post_text_added AFTER INSERT ON post BEGIN INSERT INTO"
                     " post_text(rowid, body, author) VALUES (NEW.id, NEW.body, NEW.author); END;"
                     "INSERT INTO post_text(rowid, body, author) SELECT id, body, author FROM post;"
                     "PRAGMA user_version=7")
                        .c_str());
    }
    std::int64_t nTold = 0;
    {
        ThreadStore store(File(), false, 1000,
                          [&](std::int64_t nDone, std::int64_t nTotal) { nTold = nDone + nTotal; });
        EXPECT_TRUE(store.HasSearchIndex());
        EXPECT_EQ(Found(store, Query("减持的")), "1:1 ");
        store.Forget(store.Find(kMoutai)->nId);
        EXPECT_EQ(Found(store, Query("减持")), "2:1 ");
        Keep(store);
        // Forgotten as the newest, its posts' ids are given again, to posts not indexed yet.
        store.Forget(store.Find(kMoutai)->nId);
        Keep(store);
    }
    EXPECT_EQ(nTold, 14);
    EXPECT_EQ(test::IndexDifferences(File()), 0);
}

// Words of every length are looked up in the index, not read in the posts: a post the index no
// longer holds is not found by them. An index made in steps while pages are stored, edited and
// deleted ends in step; until it is complete, searches read the posts.
TEST_F(PostSearchTest, WordsAreLookedUpAndAnIndexMadeInStepsEndsInStep) {
    Database db(File(), false, 1000);
    DefineSearchFunctions(db);
    ThreadStore store(File());
    const char* pszTakeOut =
        "INSERT INTO post_text(post_text, rowid, body, author) SELECT 'delete', id,"
        " vesk_text(body), vesk_field(author) FROM post WHERE body = ?";
    db.Prepare(pszTakeOut).Bind(1, Utf8ToGbk("保险业务减持计划").value()).Run();
    for (const char* pszWord : {"业", "业务", "险业务减"}) {
        EXPECT_EQ(Found(store, Query(pszWord)), "") << pszWord;
    }
    // A page stored since the index last took posts is read by the search itself.
    store.StorePage({"600000", "8"}, pages.Page("待办", {{1, "新人", "2024-03-08", "业务待定"}}),
                    2);
    EXPECT_EQ(Found(store, Query("业务")), "8:1 ");

    db.Execute("BEGIN");
    CreateSearchIndex(db);
    IndexMorePosts(db, 3);
    db.Execute("COMMIT");
    EXPECT_FALSE(store.HasSearchIndex());
    EXPECT_EQ(Found(store, Query("业务")), "8:1 2:1 ");
    Keep(store, true);  // edits below the mark (1:2, 1:4) and a deletion above it (2:2)
    store.StorePage({"600000", "9"}, pages.Page("新帖", {{1, "新人", "2024-03-08", "新的内容"}}),
                    3);
    EXPECT_TRUE(store.ContinueSearchIndex());
    EXPECT_EQ(test::IndexDifferences(File()), 0);
    EXPECT_EQ(Found(store, Query("新的")), "9:1 ");
}

}  // namespace
}  // namespace vesk
