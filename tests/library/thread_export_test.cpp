// Exports written whole or not at all: each format with its kept picture, and nothing of any
// format once the export is stopped while its pictures are packed.

#include "thread_export.h"

#include "long_thread.h"
#include "process.h"

#include <gtest/gtest.h>

#include <hb.h>
#include <zip.h>

#include <filesystem>
#include <map>
#include <regex>
#include <set>
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

// A book made again after the thread grew keeps its earlier chapters as they were, file and name,
// so that a reader's place in them holds; the last one grows and new ones follow.
TEST(ThreadExportTest, ABookMadeAgainKeepsItsEarlierChapters) {
    test::TempDir dir;
    ThreadStore store(dir.File("library.sqlite3"));
    const ThreadKey key{"600519", "1"};
    const auto chapters = [&] {
        ExportChoice choice;
        choice.format = ExportFormat::kEpub;
        const std::string strBook = dir.File("diary.epub");
        EXPECT_EQ(WriteThreadExport(store, *store.Find(key), choice, strBook), "");
        std::map<std::string, std::string> files;
        int nError = 0;
        zip_t* pBook = zip_open(strBook.c_str(), ZIP_RDONLY, &nError);
        for (zip_int64_t i = 0; pBook != nullptr && i < zip_get_num_entries(pBook, 0); ++i) {
            const std::string strName = zip_get_name(pBook, static_cast<zip_uint64_t>(i), 0);
            zip_file_t* pFile = zip_fopen_index(pBook, static_cast<zip_uint64_t>(i), 0);
            char buffer[4096];
            for (zip_int64_t n; (n = zip_fread(pFile, buffer, sizeof buffer)) > 0;) {
                files[strName].append(buffer, static_cast<std::size_t>(n));
            }
            zip_fclose(pFile);
        }
        zip_close(pBook);
        return files;
    };
    test::KeepThreadPages(store, key, 1, 5);  // 250 posts: chapters of 100, 100 and 50
    std::map<std::string, std::string> before = chapters();
    store.MarkRead(store.Find(key)->nId);
    test::KeepThreadPages(store, key, 6, 9, 2);  // 200 more, new to the reader
    std::map<std::string, std::string> after = chapters();
    EXPECT_EQ(after["OEBPS/c1.xhtml"], before["OEBPS/c1.xhtml"]);
    EXPECT_EQ(after["OEBPS/c2.xhtml"], before["OEBPS/c2.xhtml"]);
    EXPECT_NE(after["OEBPS/c3.xhtml"], before["OEBPS/c3.xhtml"]);
    EXPECT_FALSE(before.contains("OEBPS/c4.xhtml"));
    EXPECT_TRUE(after.contains("OEBPS/c5.xhtml"));
}

// The characters of UTF-8 text.
std::set<hb_codepoint_t> Characters(const std::string& strText) {
    hb_buffer_t* pBuffer = hb_buffer_create();
    hb_buffer_add_utf8(pBuffer, strText.data(), static_cast<int>(strText.size()), 0, -1);
    unsigned int nCount = 0;
    const hb_glyph_info_t* pInfo = hb_buffer_get_glyph_infos(pBuffer, &nCount);
    std::set<hb_codepoint_t> characters;
    for (unsigned int i = 0; i < nCount; ++i) {
        characters.insert(pInfo[i].codepoint);
    }
    hb_buffer_destroy(pBuffer);
    return characters;
}

std::set<hb_codepoint_t> FontCharacters(const std::string& strData, unsigned int nFace) {
    hb_blob_t* pBlob = hb_blob_create(strData.data(), static_cast<unsigned int>(strData.size()),
                                      HB_MEMORY_MODE_READONLY, nullptr, nullptr);
    hb_face_t* pFace = hb_face_create(pBlob, nFace);
    hb_set_t* pSet = hb_set_create();
    hb_face_collect_unicodes(pFace, pSet);
    std::set<hb_codepoint_t> characters;
    for (hb_codepoint_t code = HB_SET_VALUE_INVALID; hb_set_next(pSet, &code);) {
        characters.insert(code);
    }
    hb_set_destroy(pSet);
    hb_face_destroy(pFace);
    hb_blob_destroy(pBlob);
    return characters;
}

// A book of posts whose addresses and markup are hostile or broken, with a WebP picture: every
// address in it a valid URI, the picture as PNG, and Debian's epubcheck finds nothing wrong, with a
// font inside it or without. The font holds every character of the book its file has.
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
    // The page's fields are views: their texts live as long as it does.
    std::vector<std::string> times;
    for (std::size_t i = 0; i < std::size(bodies); ++i) {
        times.push_back("2024-03-0" + std::to_string(i + 1) + " 09:00");
    }
    for (std::size_t i = 0; i < std::size(bodies); ++i) {
        page.posts.push_back({static_cast<std::int32_t>(i + 1), i % 2 == 0 ? "starter" : "other",
                              times[i], bodies[i]});
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
    const std::string strFont = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc";
    for (const std::string& strFontFile : {std::string(), strFont}) {
        SCOPED_TRACE(strFontFile);
        ExportChoice choice;
        choice.format = ExportFormat::kEpub;
        choice.strFontFile = strFontFile;
        const std::string strBook = dir.File("hostile.epub");
        ASSERT_EQ(WriteThreadExport(store, *store.Find(key), choice, strBook), "");
        const test::ProcessResult checked =
            test::RunProcess({"/usr/bin/java", "-jar", "/usr/share/java/epubcheck.jar", strBook});
        EXPECT_EQ(checked.nExitCode, 0) << checked.strOut << checked.strErr;
        EXPECT_NE(checked.strOut.find("No errors or warnings"), std::string::npos)
            << checked.strOut;
        if (strFontFile.empty()) {
            continue;
        }
        int nError = 0;
        zip_t* pBook = zip_open(strBook.c_str(), ZIP_RDONLY, &nError);
        ASSERT_NE(pBook, nullptr);
        const auto entry = [&](const char* pszName) {
            std::string strBytes;
            if (zip_file_t* pFile = zip_fopen(pBook, pszName, 0)) {
                char buffer[4096];
                for (zip_int64_t n; (n = zip_fread(pFile, buffer, sizeof buffer)) > 0;) {
                    strBytes.append(buffer, static_cast<std::size_t>(n));
                }
                zip_fclose(pFile);
            }
            return strBytes;
        };
        const std::set<hb_codepoint_t> embedded = FontCharacters(entry("OEBPS/fonts/book.ttf"), 0);
        const std::set<hb_codepoint_t> inFile = FontCharacters(test::ReadFile(strFont), 0);
        std::size_t nChecked = 0;
        for (const char* pszName : {"OEBPS/c1.xhtml", "OEBPS/nav.xhtml"}) {
            for (const hb_codepoint_t code :
                 Characters(std::regex_replace(entry(pszName), std::regex("<[^>]*>"), ""))) {
                if (inFile.contains(code)) {
                    EXPECT_TRUE(embedded.contains(code)) << std::hex << code;
                    ++nChecked;
                }
            }
        }
        EXPECT_GT(nChecked, 20U);
        EXPECT_NE(entry("OEBPS/style.css").find("url(fonts/book.ttf)"), std::string::npos);
        zip_close(pBook);
    }
}

}  // namespace
}  // namespace vesk
