#pragma once

#include "result_page.h"
#include "thread_reader.h"
#include "window_bar.h"
#include "window_library.h"

#include <QIcon>
#include <QString>
#include <functional>
#include <memory>
#include <string>

class QWidget;

namespace vesk {

class CWebBrowser2;
class IndexBuilding;
class SearchBar;
class ShownPage;
class ViewerSettings;
class WindowExport;
class WindowSearch;
class WindowWatch;

// The library's rooms beside the reading, as the window has them: the library itself, its
// search, the export of a kept thread and the watched threads' quiet refresh; and the pop-up's
// commands on the thread shown that are the library's. What the library could not do is told in
// the window's bar, never taken for a thread not kept.
class LibraryRooms final {
public:
    // What the window answers for.
    struct Window {
        // Whether the window reads a thread itself (the watch waits).
        std::function<bool()> isBusy;
        // The watch found new posts.
        std::function<void()> changed;
        // The reader chose a notification about this thread.
        std::function<void(const ThreadKey& key)> chosen;
        // The reader chose a notification about a person followed.
        std::function<void(const std::string& strName)> personChosen;
    };
    // The pages the search shows; the window the export's dialogs belong to.
    struct Places {
        SearchBar& searchBar;
        ShownPage& shown;
        CWebBrowser2& browser;
        ViewerSettings& settings;
        WindowBar& bar;
        QWidget& window;
    };

    LibraryRooms(const std::string& strFile, Places places, const RefreshSettings& watchSettings,
                 const QIcon& icon, Window window);
    ~LibraryRooms();
    LibraryRooms(const LibraryRooms&) = delete;
    LibraryRooms& operator=(const LibraryRooms&) = delete;

    WindowLibrary& Library() const { return *m_pLibrary; }
    WindowSearch& Search() const { return *m_pSearch; }
    WindowWatch& Watch() const { return *m_pWatch; }
    // The watch stops before the rooms that share the library go.
    void StopWatch();

    // The thread, or nothing when it is not kept; the bar says why the library could not answer.
    LibraryAnswer<std::optional<StoredThread>> Kept(const ThreadKey& key);
    // 关注本帖 and 取消关注本帖.
    void SetWatched(const ThreadKey& key, bool bWatched);
    // 导出本帖…: the kept thread, with the posts the filter shows, to a file the reader chooses.
    void Export(const ThreadKey& key, const PostFilter& filter);
    // The pop-up's commands of the library's rooms, on the thread shown in the filter shown;
    // false for another.
    bool OnCommand(unsigned int nId, const ThreadKey& key, const PostFilter& filter);
    // The bar's action after an export: the folder the file went to.
    void OpenExportFolder();

private:
    Places m_places;
    std::unique_ptr<WindowLibrary> m_pLibrary;
    std::unique_ptr<WindowSearch> m_pSearch;
    std::unique_ptr<WindowExport> m_pExport;
    std::unique_ptr<WindowWatch> m_pWatch;
    std::unique_ptr<IndexBuilding> m_pIndexing;
    QString m_exportedPath;
};

}  // namespace vesk
