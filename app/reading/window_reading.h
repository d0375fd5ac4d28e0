#pragma once

#include "forum_address.h"
#include "place_history.h"
#include "thread_reader.h"
#include "thread_store.h"
#include "window_bar.h"
#include "window_library.h"

#include <QObject>
#include <cstdint>
#include <functional>
#include <memory>

class QShortcut;
class QTimer;
class QUrl;
class QWidget;

namespace vesk {

class CWebBrowser2;
enum class HomeAction;
class KeptReading;
class PersonReading;
class PlaceBar;
class ShownPage;
class WindowSearch;

// The reading side of the window: the library's home page and the places shown before and after,
// a kept thread opened and paged through with its place bar, the posts seen on screen, the keys
// that move in it, and a thread read whole into the library and shown then. The window answers
// for what is its own: whether its go runs, the thread's five values and its filter.
class WindowReading final : public QObject {
    Q_OBJECT

public:
    // What the window does for the room.
    struct Window {
        // Whether the go's retrieval runs.
        std::function<bool()> isFetching;
        // The kept thread becomes the window's (its five values, its address), with the filter
        // chosen for it; answers the posts that filter shows.
        std::function<PostFilter(const StoredThread& thread)> adopt;
        // The window shows all posts from now on; answers that selection.
        std::function<PostFilter()> showAll;
        // A reading of a whole thread starts (true) or has ended.
        std::function<void(bool bReading)> reading;
        // What the reading has read so far: the page, the posts.
        // How far a whole reading has come, in words for the caption.
        std::function<void(const QString& text)> progress;
        // Where a whole thread is read from, and whether with its pictures.
        std::function<RefreshSettings()> refreshSettings;
        // A thread address clicked on the start page.
        std::function<void(const QString& address)> threadClicked;
        // 只看此人 on a name of the kept thread shown: the window's name filter is this name (the
        // board's bytes) from now on; answers that selection.
        std::function<PostFilter(const std::string& strName)> onlyName;
    };
    // The rooms it shows in and uses.
    struct Rooms {
        WindowLibrary& library;
        CWebBrowser2& browser;
        ShownPage& shown;
        PlaceBar& placeBar;
        WindowBar& bar;
        WindowSearch& search;
    };

    WindowReading(Rooms rooms, Window window, QObject* pParent = nullptr);
    ~WindowReading() override;
    WindowReading(const WindowReading&) = delete;
    WindowReading& operator=(const WindowReading&) = delete;

    // Whether a whole thread is being read.
    bool IsReading() const { return m_rooms.library.IsReading(); }
    // The kept thread shown, or none while the go's page (or no thread) is.
    KeptReading* Shown() const { return m_pKept.get(); }

    // The keys that move in the reading, as shortcuts of the window.
    void AddKeys(QWidget& window);

    // The library's home page: the kept threads, or the start page while there are none.
    void ShowHome();
    void OnHomeAction(HomeAction action, const ThreadKey& key, std::int64_t nPost = 0);
    // Shows the place before (-1) or after (+1) the one shown, as a browser goes back and forward.
    void MovePlace(int nStep);
    // A place visited that is not the room's own (the go's page of a thread).
    void Visit(const ThreadKey& key) { m_places.Visit({key, {}, 0}); }

    // Shows a kept thread from the library at its first post not read yet (with bAtStarterNews
    // the starter's), or where the reader stopped, or at the post of id nAtPost (a search's hit),
    // marked; false when it is not kept or the library could not say.
    bool Open(const ThreadKey& key, bool bAtStarterNews = false, std::int64_t nAtPost = 0);
    // The kept thread shown, in another selection; false when none is shown.
    bool Select(const PostFilter& selection);
    // The kept thread shown goes (a go replaces it); what was seen of it stays seen.
    void Close();

    // The kept thread's posts on screen are read now, and the top one is the reading place.
    void NoteSeenPosts();
    void SaveSeen();
    // Brings the next (+1) or previous (-1) post not read to the top.
    void MoveToMarked(int nStep);
    // Home and End: the kept thread's first post or end, or the top or end of another page.
    void MoveToEnd(bool bEnd);
    void GoToFloor(int nFloor);

    // Reads the rest of a kept thread, or all of one not kept, into the library, then shows it;
    // with bEveryPage, every page of a kept one again, so that every edit and deletion is seen.
    void ReadWholeThread(const ThreadKey& key, bool bEveryPage = false);
    // The reader stops the whole reading (Esc, 停止): what it read is kept and shown.
    void StopReading();
    // The bar's button, when it is the reading's: 停止, or 显示所有 for a floor the filter hides.
    bool Act(WindowBar::Cause cause);
    // The pop-up's commands of the reading, on the thread the window shows; false for another.
    bool OnCommand(unsigned int nId, const ThreadKey& key);
    // Shows a person's page from the nFrom-th post (-1: at their first post not read).
    bool OpenPerson(const std::string& strName, int nFrom);
    // Shows the kept thread a thread address names, as Open does, or the person's page a
    // notification's tag names; false, and the bar says why, when it cannot.
    bool OpenAddress(const QString& address, bool bAtStarterNews);

protected:
    void customEvent(QEvent* pEvent) override;

private:
    // The links of the pages shown: the home page's and the search page's actions, acted on
    // (later) when one of them is shown, and the start page's thread addresses; false for any
    // other link.
    bool TakeLink(const QUrl& url);
    // The place bar shows while a kept thread's page does.
    void ShowPlace();
    // The bar says what came of showing a kept thread: the library's error (for the cause), or
    // that no post is shown.
    void TellShown(const LibraryAnswer<bool>& shown, WindowBar::Cause cause);
    // The index in the outline of the post of this id, or -1.
    int IndexOf(std::int64_t nPost) const;
    // How an opening ended.
    enum class Opened { kShown, kNotKept, kFailed };
    // nAtNewFloor: the lowest floor an update brought, where the thread opens when the filter
    // shows a post brought from there on (0: none; kAtPlace: where the reader stopped).
    static constexpr std::int32_t kAtPlace = -1;
    Opened OpenKept(const ThreadKey& key, bool bAtStarterNews, std::int64_t nAtPost,
                    std::int32_t nAtNewFloor = 0);
    // Whether the reader, asked, forgets a kept thread with its history of changes.
    bool ConfirmForget();
    void OnWholeDone(const WindowLibrary::WholeRead& read);
    // The bar says how far the whole reading has come, with 停止.
    void TellReading(const QString& text);

    Rooms m_rooms;
    Window m_window;
    PlaceHistory m_places;
    std::unique_ptr<KeptReading> m_pKept;
    std::unique_ptr<PersonReading> m_pPerson;
    // Asks the view which posts of a kept thread are on screen, while one is shown.
    QTimer* m_pSeenTimer;
    // A floor typed that the filter hides, which 显示所有 goes to.
    int m_nHiddenFloor = 0;
    // The whole reading under way reads every page again: it opens at the first post it changed.
    bool m_bCheckingAll = false;
    // Esc while a whole reading runs.
    QShortcut* m_pStopKey = nullptr;
};

}  // namespace vesk
