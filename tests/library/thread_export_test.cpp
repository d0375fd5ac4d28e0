// Exports written whole or not at all: each format with its kept picture, and nothing of any
// format once the export is stopped while its pictures are packed.

#include "thread_export.h"

#include "process.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <webp/encode.h>

namespace vesk {
namespace {

TEST(ThreadExportTest, EachFormatCarriesItsPictureAndAStoppedExportWritesNothing) {
    test::TempDir dir;
    ThreadStore store(dir.File("library.sqlite3"));
    const ThreadKey key{"600519", "1"};
    ReadPage page{1, {}, ThreadHeading{"title", "board"}};
    page.posts.push_back({1, "starter", "2024-03-05 09:00", "see <img src=\"/p/a.png\">"});
    store.StorePage(key, page, 1);
    const StoredThread thread = *store.Find(key);
    const std::string strPicture = "\x89PNG\r\n\x1a\n-picture-";
    store.KeepPicture(thread.nId, "/p/a.png", "http://f.cn/p/a.png", "ab12", "image/png",
                      strPicture);
    const std::pair<ExportFormat, const char*> formats[] = {{ExportFormat::kHtml, "t.html"},
                                                            {ExportFormat::kEpub, "t.epub"},
                                                            {ExportFormat::kMarkdown, "t.md"}};
    for (const auto& [format, pszName] : formats) {
        SCOPED_TRACE(pszName);
        ExportChoice choice;
        choice.format = format;
        for (const bool bStop : {true, false}) {
            const std::string strPath = dir.File(std::string(bStop ? "stopped-" : "") + pszName);
            int nAsked = 0;
            const PictureSource source = [&](std::string_view hash) {
                ++nAsked;
                return store.Picture(hash);
            };
            EXPECT_EQ(WriteThreadExport(store, thread, choice, strPath, source,
                                        [&] { return bStop && nAsked > 0; }),
                      "");
            EXPECT_EQ(std::filesystem::exists(strPath), !bStop);
            EXPECT_EQ(nAsked, 1);  // one picture, shown once
        }
        const std::string strText = test::ReadFile(dir.File(pszName));
        if (format == ExportFormat::kMarkdown) {
            EXPECT_EQ(test::ReadFile(dir.File("t_pictures/ab12.png")), strPicture);
            EXPECT_FALSE(std::filesystem::exists(dir.File("stopped-t_pictures")));
        } else if (format == ExportFormat::kHtml) {
            EXPECT_NE(strText.find("data:image/png;base64," + Base64(strPicture)),
                      std::string::npos);
        } else {
            EXPECT_NE(strText.find("OEBPS/images/ab12.png"), std::string::npos);
        }
    }
}

// A book of posts whose addresses and markup are hostile or broken, with a WebP picture: every
// address in it a valid URI, the picture as PNG, and Debian's epubcheck finds nothing wrong.
TEST(ThreadExportTest, ABookOfHostilePostsPassesEpubcheck) {
    if (!std::filesystem::exists("/usr/share/java/epubcheck.jar")) {
        GTEST_SKIP() << "epubcheck is not installed";
    }
    test::TempDir dir;
    ThreadStore store(dir.File("library.sqlite3"));
    const ThreadKey key{"600519", "1"};
    ReadPage page{1, {}, ThreadHeading{"t<i>itle &amp; \"x\"", "board"}};
    const char* bodies[] = {
        "<a href=\"http://foo.bar/#x=`y\">backtick</a>",
        "<a href=\"http://a.cn/a b?q=\xD6\xD0&x=%zz|{}^\">space, GB2312, a stray %</a>",
        "<img src=\"http://p.cn/a b.png\"><img src=\"javascript:alert(1)\"><a href=x>y</a>",
        "<table><tr><td>cell<div>block<p>para</table><b><i>misnested</b></i>",
        "<svg><script>alert(1)</script></svg><math><mi>x</mi></math>&#0;&#xD800;\x01",
        "<img src=\"/p/w.webp\">",
    };
    int nFloor = 0;
    for (const char* pszBody : bodies) {
        ++nFloor;
        page.posts.push_back({nFloor, nFloor % 2 == 1 ? "starter" : "other",
                              "2024-03-0" + std::to_string(nFloor) + " 09:00", pszBody});
    }
    store.StorePage(key, page, 1);
    const std::uint8_t rgba[2 * 2 * 4] = {255, 0, 0,   255, 0, 255, 0, 255,
                                          0,   0, 255, 255, 9, 9,   9, 0};
    std::uint8_t* pWebp = nullptr;
    const std::size_t nWebp = WebPEncodeLosslessRGBA(rgba, 2, 2, 8, &pWebp);
    ASSERT_GT(nWebp, 0U);
    store.KeepPicture(store.Find(key)->nId, "/p/w.webp", "http://f.cn/p/w.webp", "cd34",
                      "image/webp", std::string(reinterpret_cast<char*>(pWebp), nWebp));
    WebPFree(pWebp);
    ExportChoice choice;
    choice.format = ExportFormat::kEpub;
    const std::string strBook = dir.File("hostile.epub");
    ASSERT_EQ(WriteThreadExport(store, *store.Find(key), choice, strBook), "");
    const test::ProcessResult checked =
        test::RunProcess({"/usr/bin/java", "-jar", "/usr/share/java/epubcheck.jar", strBook});
    EXPECT_EQ(checked.nExitCode, 0) << checked.strOut << checked.strErr;
    EXPECT_NE(checked.strOut.find("No errors or warnings"), std::string::npos) << checked.strOut;
}

}  // namespace
}  // namespace vesk
