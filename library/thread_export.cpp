#include "thread_export.h"

#include "picture_sources.h"
#include "result_page.h"

#include <filesystem>
#include <system_error>

namespace vesk {

std::string_view ExportFormatName(ExportFormat format) {
    switch (format) {
        case ExportFormat::kEpub:
            return "epub";
        case ExportFormat::kMarkdown:
            return "md";
        case ExportFormat::kHtml:
            break;
    }
    return "html";
}

std::optional<ExportFormat> ExportFormatNamed(std::string_view name) {
    for (const ExportFormat format :
         {ExportFormat::kHtml, ExportFormat::kEpub, ExportFormat::kMarkdown}) {
        if (name == ExportFormatName(format)) {
            return format;
        }
    }
    return std::nullopt;
}

std::vector<StoredPost> PostsToShow(ThreadStore& store, const StoredThread& thread,
                                    const PostFilter& filter) {
    const bool bStarterOnly =
        filter.mode == PostFilter::Mode::kStarter && !thread.strStarter.empty();
    return store.Posts(thread.nId, bStarterOnly ? std::optional<std::string_view>(thread.strStarter)
                                                : std::nullopt);
}

std::string_view BareTitle(const StoredThread& thread) {
    const std::string_view title = thread.strTitle;
    const std::string suffix = "_" + thread.strBoardName + "_";
    const std::size_t nAt = title.rfind(suffix);
    if (thread.strBoardName.empty() || nAt == std::string_view::npos || nAt == 0 ||
        title.find('_', nAt + suffix.size()) != std::string_view::npos) {
        return title;
    }
    return title.substr(0, nAt);
}

std::string WriteThreadExport(ThreadStore& store, const StoredThread& thread,
                              const ExportChoice& choice, const std::string& strPath,
                              const PictureSource& source, const std::function<bool()>& stopped) {
    const auto stop = [&stopped] { return stopped && stopped(); };
    const PictureSource pictureSource = [&](std::string_view hash) -> std::optional<KeptPicture> {
        if (stop()) {
            return std::nullopt;
        }
        return source ? source(hash) : store.Picture(hash);
    };
    // Written whole or not at all: nothing once stopped.
    const auto write = [&](const std::string& strFile, const std::string& strBytes) {
        return stop() || WriteResultFile(strFile, strBytes);
    };
    const std::vector<StoredPost> posts = PostsToShow(store, thread, choice.filter);
    PictureMap pictures = store.Pictures(thread.nId);
    if (!choice.strPageAddress.empty()) {
        for (auto& [src, ref] : pictures) {
            ref.strAddress = ref.strAddress.empty()
                                 ? ResolvePictureAddress(src, choice.strPageAddress)
                                 : ref.strAddress;
        }
    }
    switch (choice.format) {
        case ExportFormat::kHtml:
            return write(strPath, ExportHtml(thread, posts, choice.filter, choice.bOnlyUnread,
                                             pictures, choice.bPictures, pictureSource))
                       ? std::string()
                       : strPath;
        case ExportFormat::kEpub: {
            const std::string strBook =
                ExportEpub(thread, posts, choice.filter, choice.bOnlyUnread, pictures,
                           choice.bPictures, pictureSource, choice.strFontFile);
            return stop() || (!strBook.empty() && write(strPath, strBook)) ? std::string()
                                                                           : strPath;
        }
        case ExportFormat::kMarkdown:
            break;
    }
    const std::filesystem::path out(strPath);
    const MarkdownExport exported =
        ExportMarkdown(thread, posts, choice.filter, choice.bOnlyUnread, pictures, choice.bPictures,
                       pictureSource, out.stem().string() + "_pictures");
    if (stop()) {
        return {};
    }
    for (const auto& [path, data] : exported.files) {
        const std::filesystem::path file = out.parent_path() / path;
        std::error_code error;
        std::filesystem::create_directories(file.parent_path(), error);
        if (!write(file.string(), data)) {
            return file.string();
        }
    }
    return write(strPath, exported.strText) ? std::string() : strPath;
}

}  // namespace vesk
