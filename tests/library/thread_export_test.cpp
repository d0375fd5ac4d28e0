// Exports written whole or not at all: each format with its kept picture, and nothing of any
// format once the export is stopped while its pictures are packed.

#include "thread_export.h"

#include "process.h"

#include <gtest/gtest.h>

#include <filesystem>

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

}  // namespace
}  // namespace vesk
