#include "library_rooms.h"

#include "index_building.h"
#include "viewer_resources.h"
#include "window_export.h"
#include "window_search.h"
#include "window_watch.h"

#include <QFileInfo>
#include <QUrl>

namespace vesk {

LibraryRooms::LibraryRooms(const std::string& strFile, Places places,
                           const RefreshSettings& watchSettings, const QIcon& icon, Window window)
    : m_places(places),
      m_pLibrary(std::make_unique<WindowLibrary>(strFile)),
      m_pSearch(
          std::make_unique<WindowSearch>(strFile, places.searchBar, places.shown, places.browser)),
      m_pExport(std::make_unique<WindowExport>(strFile, places.settings, places.window,
                                               watchSettings.strBaseAddress)),
      m_pWatch(
          std::make_unique<WindowWatch>(strFile, watchSettings, std::move(window.isBusy), icon)) {
    m_pExport->told = [this](const WindowExport::Told& told) {
        m_exportedPath = told.path;
        m_places.bar.Show(
            WindowBar::Cause::kExport,
            told.path.isEmpty() ? MessageBar::Level::kError : MessageBar::Level::kInformation,
            told.text, told.path.isEmpty() ? QString() : QStringLiteral("打开所在文件夹"),
            told.path);
    };
    m_pWatch->changed = std::move(window.changed);
    m_pWatch->chosen = std::move(window.chosen);
    m_pWatch->personChosen = std::move(window.personChosen);
    // An older library's index, in the bar while nothing else is said there, until the reader
    // closes it; a search shown while it was made is made again when it is done.
    m_pIndexing = std::make_unique<IndexBuilding>(
        strFile, &places.window,
        [this](std::int64_t nDone, std::int64_t nTotal) {
            const WindowBar::Cause shown = m_places.bar.Showing();
            if ((shown == WindowBar::Cause::kNone || shown == WindowBar::Cause::kIndex) &&
                !m_places.bar.ClosedByReader(WindowBar::Cause::kIndex)) {
                m_places.bar.Show(
                    WindowBar::Cause::kIndex, MessageBar::Level::kInformation,
                    QStringLiteral("正在为搜索建立索引：%1 / %2 帖").arg(nDone).arg(nTotal));
            }
        },
        [this] {
            m_places.bar.Hide(WindowBar::Cause::kIndex);
            m_pSearch->IndexCompleted();
        });
}

// The index's making and the watch, declared last, go first: a step or a turn that runs ends
// before the rooms beside it go.
LibraryRooms::~LibraryRooms() = default;

void LibraryRooms::StopWatch() {
    // A turn that runs ends within a moment; every page it kept stays kept.
    m_pWatch.reset();
}

LibraryAnswer<std::optional<StoredThread>> LibraryRooms::Kept(const ThreadKey& key) {
    LibraryAnswer<std::optional<StoredThread>> kept = m_pLibrary->Find(key);
    if (!kept.Ok()) {
        m_places.bar.Show(WindowBar::Cause::kCommand, MessageBar::Level::kError, kept.error);
    }
    return kept;
}

void LibraryRooms::SetWatched(const ThreadKey& key, bool bWatched) {
    const LibraryAnswer<bool> answer = m_pLibrary->SetWatched(key, bWatched);
    if (!answer.Ok()) {
        m_places.bar.Show(WindowBar::Cause::kCommand, MessageBar::Level::kError, answer.error);
    }
}

void LibraryRooms::Export(const ThreadKey& key, const PostFilter& filter) {
    const LibraryAnswer<std::optional<StoredThread>> kept = Kept(key);
    if (!kept.Ok()) {
        return;
    }
    if (!kept.value) {
        m_places.bar.Show(WindowBar::Cause::kCommand, MessageBar::Level::kError,
                          QStringLiteral("本帖不在帖子库中，无法导出。"));
        return;
    }
    // What the bar said of an earlier export is old news now.
    m_places.bar.Hide(WindowBar::Cause::kExport);
    m_pExport->Export(*kept.value, filter);
}

bool LibraryRooms::OnCommand(unsigned int nId, const ThreadKey& key, const PostFilter& filter) {
    switch (nId) {
        case res::ID_WATCH_THREAD:
        case res::ID_UNWATCH_THREAD:
            SetWatched(key, nId == res::ID_WATCH_THREAD);
            return true;
        case res::ID_EXPORT_THREAD:
            Export(key, filter);
            return true;
        default:
            return false;
    }
}

void LibraryRooms::OpenExportFolder() {
    m_places.bar.OpenInDesktop(
        QUrl::fromLocalFile(QFileInfo(m_exportedPath).absolutePath()).toEncoded().toStdString());
}

}  // namespace vesk
