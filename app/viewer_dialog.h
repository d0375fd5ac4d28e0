#pragma once

#include "fetch_job.h"
#include "fetch_thread.h"
#include "gdi_objects.h"
#include "message_bar.h"
#include "place_history.h"
#include "post_table.h"
#include "template_dialog.h"
#include "win_types.h"
#include "window_library.h"

#include <QEvent>
#include <QIcon>
#include <QPointer>
#include <chrono>
#include <memory>
#include <string>

class QLineEdit;
class QRadioButton;
class QTimer;

namespace vesk {

class CWebBrowser2;
enum class HomeAction;
class GoKeeper;
class ImageButton;
class KeptReading;
class PlaceBar;
class SearchBar;
class WindowExport;
class WindowSearch;
class ShownPage;
class ViewerSettings;
class WindowWatch;
struct ThreadKey;
enum class PageFilter;

// The worker's answer (wParam, lParam of WM_FETCH_NOTIFY), or its progress (the page read and
// the index of the last record), as it arrives in the window's queue.
class FetchEvent final : public QEvent {
public:
    FetchEvent(QEvent::Type type, int wParam, int lParam)
        : QEvent(type), nWParam(wParam), nLParam(lParam) {}
    int nWParam;
    int nLParam;
};

// How the worker's reading ended, posted just before its answer.
class ReadingEndEvent final : public QEvent {
public:
    static constexpr QEvent::Type kType = static_cast<QEvent::Type>(QEvent::User + 4);
    explicit ReadingEndEvent(const ReadingEnd& readingEnd) : QEvent(kType), end(readingEnd) {}
    ReadingEnd end;
};

// The viewer's one window, built from dialog 102: the thread address, the three filter modes
// with the name list, the go and menu buttons, and the web view that shows the result page.
// It owns the post table and the five result buffers for its whole life, and the retrieval
// that writes them while it runs. What it does beyond that lives in rooms of its own: the page
// shown and its files, the library's side, the pop-up's edits, the watched threads.
class ViewerDialog final : public TemplateDialog {
    Q_OBJECT

public:
    // The worker's answer and its progress, as events posted to the window.
    static constexpr QEvent::Type kFetchNotifyEvent = static_cast<QEvent::Type>(QEvent::User + 2);
    static constexpr QEvent::Type kFetchProgressEvent = static_cast<QEvent::Type>(QEvent::User + 3);
    // A whole thread's reading's progress.
    static constexpr QEvent::Type kWholeProgressEvent = static_cast<QEvent::Type>(QEvent::User + 5);
    // Sent by the menu button, with the pop-up's menu object, before the pop-up opens.
    static constexpr platform::UINT WM_BUTTON_MENU = 0x0464;

    // The retrieval's settings: the forum at the configured address unless a test says otherwise;
    // likewise the folder of the result page (empty: the program's own, or the user's data
    // folder of the program where that cannot be written).
    explicit ViewerDialog(FetchSettings settings = {}, QString pageFolder = {},
                          QWidget* pParent = nullptr);
    ~ViewerDialog() override;

    // False when the window could not be set up (no memory for the post table): the program
    // then ends without showing it.
    bool IsReady() const { return m_bReady; }
    // Whether a retrieval or a reading of a whole thread runs (from a successful start to its
    // answer).
    bool IsFetching() const;
    // Shows the kept thread a thread address names, as the command line asks (with
    // bAtStarterNews at the starter's first new post); false, and the bar says so, when the
    // address names no kept thread.
    bool OpenThreadAddress(const QString& address, bool bAtStarterNews = false);
    // A thread chosen elsewhere (a notification, a later start): the window comes up and shows it
    // at the starter's first new post.
    void ShowChosenThread(const QString& address);
    // Starts the watched threads' quiet refresh anew with this period (the window's is ten
    // minutes).
    void SetWatchPeriod(std::chrono::milliseconds period);

protected:
    bool event(QEvent* pEvent) override;
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;
    void keyPressEvent(QKeyEvent* pEvent) override;
    void resizeEvent(QResizeEvent* pEvent) override;

private:
    friend class ViewerDialogTestAccess;
    class NotifyTarget;
    // What the message bar shows, so that each cause takes back only its own message.
    enum class BarCause { kNone, kReading, kFilter, kCommand, kNavigation, kExport };

    bool OnInitDialog();
    void SetUpPageView();
    void SetUpKeys();
    void SetUpButtons();
    void SetUpWatch();
    void LayoutControls();
    void OnDestroy();
    void OnShowAll();
    void OnOnlyStarter();
    void OnPartial();
    void SetFilterMode(int bShowAll, int bOnlyStarter);
    // The thread shown keeps the filter chosen for it; a kept thread opens with it.
    void RememberFilter();
    void ApplyRememberedFilter(const ThreadKey& key);
    void OnGo();
    void StartFetch();
    void OnFetchNotify(int wParam, int lParam);
    void ComposeResultPage();
    // The bar says what came of showing a kept thread: the library's error (for the cause), or
    // that no post is shown.
    void TellKeptShown(bool bShown, const QString& error, BarCause cause);
    PageFilter Filter() const;

    // The menu button's pop-up, edited to the window's state before it opens; 0.
    platform::LRESULT OnButtonMenu(platform::WPARAM wParam, platform::LPARAM lParam);
    void OnCommand(platform::UINT nId);
    // The pop-up's commands.
    void OnViewThread();
    void OnBrowseBoard();
    void OnHelpPage();
    void OnAbout();
    // The thread's first page and the board's list at the forum; empty when the board code or
    // the thread number is missing.
    std::string ThreadAddress() const;
    std::string BoardAddress() const;
    std::string_view BoardCode() const;

    QLineEdit* AddressEdit() const;
    QLineEdit* NameEdit() const;
    QRadioButton* Radio(int nId) const;
    void ShowPrompt(std::string_view text);
    // Whether the reader, asked, forgets a kept thread with its history of changes.
    bool ConfirmForget();
    // Shows the place before (-1) or after (+1) the one shown, as a browser goes back and forward.
    void MovePlace(int nStep);
    // The name list as typed, in GB2312; an item that GB2312 cannot hold matches no author.
    static std::string NameListBytes(const QString& text);

    void ShowBar(BarCause cause, MessageBar::Level level, const QString& text,
                 const QString& action = {}, const QString& detail = {});
    // Hides the bar when it shows the cause's message; kNone: whatever it shows.
    void HideBar(BarCause cause);
    void ShowReadingEnd();
    // Opens an address in the desktop's browser; when that fails the bar shows the address.
    void OpenInDesktop(const std::string& address);

    // The library's home page: the kept threads, or the start page while there are none.
    void ShowHome();
    void OnHomeAction(HomeAction action, const ThreadKey& key, std::int64_t nPost = 0);
    // Shows a kept thread from the library at its first post not read yet (with bAtStarterNews
    // the starter's), or where the reader stopped, or at the post of id nAtPost (a search's hit),
    // marked; false when it is not kept.
    bool OpenKeptThread(const ThreadKey& key, bool bAtStarterNews = false,
                        std::int64_t nAtPost = 0);
    // The kept thread's posts on screen are read now, and the top one is the reading place.
    void NoteSeenPosts();
    void SaveSeen();
    // The kept thread shown goes (a go replaces it); what was seen of it stays seen.
    void CloseKept();
    // Brings the next (+1) or previous (-1) post not read to the top.
    void MoveToMarked(int nStep);
    // Home and End: the kept thread's first post or end, or the top or end of another page.
    void MoveToEnd(bool bEnd);
    void GoToFloor(int nFloor);
    // The place bar shows while a kept thread's page does.
    void ShowPlace();
    // Reads the rest of a kept thread, or all of one not kept, into the library, then shows it.
    void ReadWholeThread(const ThreadKey& key);
    void OnWholeDone(const ThreadKey& key, const QString& text, WindowLibrary::WholeEnd end);
    void WatchShownThread(bool bWatch);
    // 导出本帖…: the kept thread shown, with the posts its filter shows, to a file.
    void ExportShownThread();
    void OnNotificationChosen(const ThreadKey& key);
    // The window, minimized or behind others, comes up to the front.
    void BringUp();

    // The members of the original design.
    std::string m_strThreadUrl;  // GB2312 bytes, trimmed
    std::string m_strNameList;   // GB2312 bytes, trimmed
    std::string m_strOutputPath;
    int m_bLoaded = 0;
    int m_bMenuDirty = 1;
    int m_bOnlyStarter = 0;
    int m_bShowAll = 1;
    int m_bPartial = 0;
    // The five values of the last retrieval, as the worker writes them.
    ResultBuffers m_results{};
    std::unique_ptr<PostTable> m_pPosts;
    int m_nLastIndex = -1;
    ImageButton* m_btnGo = nullptr;
    ImageButton* m_btnMenu = nullptr;
    CWebBrowser2* m_browser = nullptr;
    QIcon m_hIcon;

    // Above the page: how the last reading ended, a filter that shows nothing, a command that
    // could not open anything, a navigation refused.
    MessageBar* m_pBar = nullptr;
    BarCause m_barCause = BarCause::kNone;
    // How the last reading ended (kEndOfThread before any).
    ReadingEnd m_lastEnd;
    FetchSettings m_settings;
    QString m_pageFolder;
    std::unique_ptr<NotifyTarget> m_pNotifyTarget;
    std::unique_ptr<FetchThread> m_pFetchThread;
    // What the running go keeps in the library.
    std::shared_ptr<GoKeeper> m_pGoKeeper;
    QString m_caption;
    bool m_bReady = false;
    bool m_bDestroyed = false;
    // The browser's top in the template; the bar takes that place while it shows.
    int m_nBrowserTop = 0;
    // Where the focus was when a reading started; it goes back there after the answer.
    QPointer<QWidget> m_pFocusAtGo;
    std::unique_ptr<ShownPage> m_pShown;
    std::unique_ptr<WindowLibrary> m_pLibrary;
    std::unique_ptr<WindowWatch> m_pWatch;
    PlaceHistory m_places;
    // The kept thread shown, in pieces, or none while the table's records are.
    std::unique_ptr<KeptReading> m_pReading;
    PlaceBar* m_pPlaceBar = nullptr;
    // The library's search: its bar above the page, and the searching.
    SearchBar* m_pSearchBar = nullptr;
    std::unique_ptr<WindowSearch> m_pSearch;
    // Exporting a kept thread, and where the last export went (the bar's action opens its
    // folder).
    std::unique_ptr<WindowExport> m_pExport;
    QString m_exportedPath;
    // Asks the view which posts of a kept thread are on screen, while one is shown.
    QTimer* m_pSeenTimer = nullptr;
    std::unique_ptr<ViewerSettings> m_pSettings;
    // Whether the library held the thread of the running or last go before it started.
    bool m_bKeptBeforeGo = false;
};

}  // namespace vesk
