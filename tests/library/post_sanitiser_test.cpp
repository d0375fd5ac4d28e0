// What the sanitiser makes of the bodies boards really carry, friendly and hostile, and of the
// fields that are text.

#include "post_sanitiser.h"

#include "body_writers.h"
#include "code_page.h"
#include "picture_sources.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace vesk {
namespace {

std::string Gbk(const std::string& strUtf8) {
    return Utf8ToGbk(strUtf8).value();
}

struct BodyCase {
    const char* pszBody;  // UTF-8
    std::vector<std::string> kept;
    std::vector<std::string> gone;
};

TEST(PostSanitiserTest, BodiesKeepTheirTextAndLoseWhatCouldReachBeyondTheirPost) {
    const BodyCase cases[] = {
        {"好<b>消息</b>来了，<a href=\"http://x.cn/a?b=1&amp;c=2\">继续</a>持有",
         {"好<b>消息</b>来了，", "<a href=\"http://x.cn/a?b=1&amp;c=2\">继续</a>持有"},
         {}},
        {"<TABLE class=yinyong><TR><TD>引用</TD></TR></TABLE>回<font color=red size=3>复</font>",
         {"<table><tbody><tr><td>引用</td></tr></tbody></table>回",
          "<font color=\"red\" size=\"3\">复</font>"},
         {"yinyong"}},
        // Cut open by the board's cut, or left open on purpose: closed inside the post.
        {"<textarea>表单里的字", {"表单里的字"}, {"textarea"}},
        {"前<script>document.title='x'</script>后<script>alert(1)",
         {"前", "后"},
         {"script", "alert"}},
        {"<style>body{display:none}</style>字<style>*{color:red", {"字"}, {"style", "display"}},
        {"<title>标题<style>body{background:#000}</style>",
         {"标题&lt;style&gt;"},
         {"<title", "<style"}},
        {"<plaintext>吞掉后面", {"吞掉后面"}, {"plaintext"}},
        {"<xmp><b>原样</b>", {"&lt;b&gt;原样"}, {"xmp"}},
        {"<img src=x onerror=alert(1)><b onclick=\"go()\" onmouseover=x>粗</b>",
         {"<b>粗</b>"},
         {"onerror", "onclick", "onmouseover", "alert"}},
        {"<a href=\"javascript:alert(1)\">链</a><a href=\" JavaScript:x\">接</a>"
         "<a href=\"data:text/html,x\">三</a>",
         {"<a>链</a><a>接</a><a>三</a>"},
         {"javascript", "JavaScript", "data:"}},
        {"<div style=\"position:fixed;top:0;left:0;width:100%;height:100%;z-index:9;"
         "color:#f00\" class=vk-u id=p3>盖住</div><span "
         "style=\"background:url(http://e.cn/t)\">钱</span>",
         {"<div style=\"color:#f00\">盖住</div>", "<span>钱</span>"},
         {"fixed", "z-index", "vk-u", "p3", "url("}},
        {"<meta http-equiv=refresh content=\"0;url=http://e.cn\"><link rel=prefetch "
         "href=http://e.cn/p><base href=http://e.cn/>字",
         {"字"},
         {"meta", "refresh", "link", "base", "e.cn"}},
        {"<iframe src=http://e.cn/f></iframe><frameset><frame src=http://e.cn/g></frameset>"
         "<object data=http://e.cn/o></object><embed src=http://e.cn/e>字",
         {"字"},
         {"iframe", "frame", "object", "embed", "e.cn"}},
        {"<form action=http://e.cn/post><input name=q value=密码><button>发</button></form>字",
         {"字"},
         {"form", "input", "button", "e.cn", "密码"}},
        {"<svg><a xlink:href=\"javascript:x\">s</a></svg><math><mi>m</mi></math>字",
         {"字"},
         {"svg", "javascript", "math"}},
        {"<!-- 注释 --><b>未闭合<i>斜体", {"<b>未闭合<i>斜体</i></b>"}, {"注释", "<!--"}},
        // Beyond GB2312, and markup that is text.
        {"涨&#128512; a &lt;b&gt; &amp; 3 > 2", {"涨&#128512; a &lt;b&gt; &amp; 3 &gt; 2"}, {}},
    };
    for (const BodyCase& c : cases) {
        SCOPED_TRACE(c.pszBody);
        const std::string strSafe = GbkToUtf8Lenient(SanitiseBody(Gbk(c.pszBody), {}));
        for (const std::string& strKept : c.kept) {
            EXPECT_NE(strSafe.find(strKept), std::string::npos) << strSafe;
        }
        for (const std::string& strGone : c.gone) {
            EXPECT_EQ(strSafe.find(strGone), std::string::npos) << strGone << " in " << strSafe;
        }
    }
}

// Bodies of text and plain tags skip the parser and come out as the parser would have made them;
// anything the parser would build otherwise than written, or keep more of, goes to it.
TEST(PostSanitiserTest, SimpleBodiesSkipTheParserWithTheParsersAnswer) {
    const struct {
        const char* pszBody;
        bool bSimple;
    } cases[] = {
        {"<P>期权隐含波动率在上升</P><P>跌破年线就止损</P>", true},
        {"<TABLE class=yinyong width=96%><TR><TD>引用：市场</TD></TR></TABLE>今天尾盘", true},
        {"一<br>二<BR/>三<br />\r\n四\r五 3 > 2 \"引\"", true},
        {"<div><span class=x>字</span></div><table>\n<tbody>\n<tr>\n<td>格</td>\n</tr>\n</tbody>"
         "\n</table><b>粗<i>斜</i></b>",
         true},
        {"<p><b>段</b></p><table><tr><td><p>格</p><table><tr><td>套</td></tr></table></td></tr>"
         "</table>",
         true},
        {"<p>段<div>块</div></p>", false},
        {"<p>段<table><tr><td>格</td></tr></table></p>", false},
        {"<tr><td>行</td></tr>", false},
        {"<table>字<tr><td>格</td></tr></table>", false},
        {"<table><td>格</td></table>", false},
        {"<b><i>交错</b></i>", false},
        {"<p>未闭合", false},
        {"<p style=color:red>色</p>", false},
        {"<table border=1><tr><td colspan=2>格</td></tr></table>", false},
        {"<p title=\"a>b\">引号</p>", false},
        {"<p/>x</p>", false},
        {"&lt;b&gt;", false},
        {"a < b", false},
        {"</br>", false},
        {"<font color=red>红</font><img src=x>", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszBody);
        const std::string strBody = Gbk(c.pszBody);
        const std::optional<std::string> simple = SanitiseSimpleBody(strBody);
        ASSERT_EQ(simple.has_value(), c.bSimple);
        // A comment is the parser's, and the parser drops it.
        ASSERT_FALSE(SanitiseSimpleBody(strBody + "<!---->"));
        if (simple) {
            EXPECT_EQ(GbkToUtf8Lenient(*simple),
                      GbkToUtf8Lenient(SanitiseBody(strBody + "<!---->", {})));
        }
    }
}

// Kept pictures are named by our scheme with a placeholder for the picture-less mode; others are
// a placeholder that links to their address; pages for elsewhere link every picture.
TEST(PostSanitiserTest, PicturesAreKeptOnesByHashOrPlaceholdersWithTheirAddress) {
    const std::string strBody =
        Gbk("<img src=\"/pic/a.png\" width=300 height=\"9999999\">图<img src='b.gif'>"
            "<IMG SRC=\"http://cdn.example/c.jpg\"><img src=\"data:image/png;base64,AAAA\">"
            "<img src=\"/pic/a.png\">");
    EXPECT_EQ(PictureSources(strBody),
              (std::vector<std::string>{"/pic/a.png", "b.gif", "http://cdn.example/c.jpg"}));
    const PictureMap pictures = {
        {"/pic/a.png", {"http://forum.cn/pic/a.png", "ab12"}},
        {"b.gif", {"http://forum.cn/b.gif", ""}},
    };
    const std::string strKept = SanitiseBody(strBody, pictures);
    EXPECT_NE(strKept.find("<img class=vk-pic src=\"vesk-picture:ab12\" width=\"300\">"
                           "<a class=vk-ph href=\"http://forum.cn/pic/a.png\">"),
              std::string::npos)
        << strKept;
    EXPECT_NE(strKept.find("<a class=vk-nopic href=\"http://forum.cn/b.gif\">"), std::string::npos);
    EXPECT_NE(strKept.find("<a class=vk-nopic href=\"http://cdn.example/c.jpg\">"),
              std::string::npos);
    EXPECT_NE(strKept.find("<span class=vk-nopic>"), std::string::npos);  // the data address
    EXPECT_EQ(strKept.find("9999999"), std::string::npos);
    // A kept picture keeps its size and words, nothing else the board gave it.
    EXPECT_NE(SanitiseBody(Gbk("<img src=\"/pic/a.png\" alt=\"涨\" title=t onerror=x() "
                               "onload=y() style=\"color:red\">"),
                           pictures)
                  .find(Gbk("<img class=vk-pic src=\"vesk-picture:ab12\" alt=\"涨\"><a ")),
              std::string::npos);
    const std::string strLinks = SanitiseBody(strBody, pictures, PictureForm::kLinks);
    EXPECT_EQ(strLinks.find("vesk-picture"), std::string::npos);
    EXPECT_NE(strLinks.find("<a class=vk-nopic href=\"http://forum.cn/pic/a.png\">"),
              std::string::npos);

    EXPECT_EQ(ResolvePictureAddress("/p/a.png", "http://f.cn:81/look,1,2.html"),
              "http://f.cn:81/p/a.png");
    EXPECT_EQ(ResolvePictureAddress("a.png", "http://f.cn/bbs/look,1,2.html?x=/y"),
              "http://f.cn/bbs/a.png");
    EXPECT_EQ(ResolvePictureAddress("a.png", "http://f.cn"), "http://f.cn/a.png");
    EXPECT_EQ(ResolvePictureAddress("//cdn.cn/a.png", "https://f.cn/x"), "https://cdn.cn/a.png");
    EXPECT_EQ(ResolvePictureAddress("javascript:x", "http://f.cn/"), "");
}

TEST(PostSanitiserTest, FieldsAreTextWhoseReferencesStayReferences) {
    EXPECT_EQ(EscapeFieldText("<style>x</style>A&amp;B &#39; & \"q\" &nbsp;"),
              "&lt;style&gt;x&lt;/style&gt;A&amp;B &#39; &amp; &quot;q&quot; &nbsp;");
}

// Markdown of a body: its shape kept, its own Markdown characters escaped, nothing hidden.
TEST(PostSanitiserTest, MarkdownKeepsTheShapeAndEscapesTheText) {
    const auto picture = [](const std::string& src) {
        return src == "kept.png" ? std::string("pics/kept.png") : std::string();
    };
    const struct {
        const char* pszBody;
        const char* pszMarkdown;
    } cases[] = {
        {"a<b>bold</b> <i>it</i><br>line", "a**bold** *it*  \nline"},
        {"<p>one</p><p>two</p>", "one\n\ntwo"},
        {"<blockquote>q1<br>q2</blockquote>after", "> q1  \n> q2\n\nafter"},
        {"<a href=\"http://x.example/a b\">link</a><a href=\"javascript:x\">js</a>",
         "[link](http://x.example/a%20b)js"},
        {"*not* _em_ #1 [x] &lt;y&gt;", "\\*not\\* \\_em\\_ \\#1 \\[x\\] \\<y\\>"},
        {"<script>var a;</script><style>p{}</style>text", "text"},
        {"<img src=kept.png><img src=http://x.example/p.png><img src=data:x>",
         "![图片](pics/kept.png)[图片](http://x.example/p.png)[图片]"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MarkdownBody(c.pszBody, picture), c.pszMarkdown) << c.pszBody;
    }
    // A book's body is phrasing content only, every element closed as XML closes it.
    const struct {
        const char* pszBody;
        const char* pszBook;
    } books[] = {
        {"<p>a&amp;b<br>c</p><img src=kept.png>",
         "a&amp;b<br/>c<br/><img src=\"pics/kept.png\" alt=\"图片\"/>"},
        {"<font color=red size=9><div>x</div></font>y<table><tr><td>t</td></tr></table>",
         "<span style=\"color:red\">x<br/></span>y<br/>t"},
        {"<b>bold<blockquote>q</blockquote></b><script>s</script><a href=javascript:x>j</a>",
         "<b>bold<br/>q<br/></b>j"},
    };
    for (const auto& c : books) {
        EXPECT_EQ(BookBody(c.pszBody, picture), c.pszBook) << c.pszBody;
    }
}

}  // namespace
}  // namespace vesk
