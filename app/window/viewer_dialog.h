#pragma once

#include "fetch_events.h"
#include "fetch_job.h"
#include "fetch_thread.h"
#include "gdi_objects.h"
#include "library_rooms.h"
#include "message_bar.h"
#include "post_table.h"
#include "template_dialog.h"
#include "thread_reader.h"
#include "win_types.h"
#include "window_bar.h"
#include "window_reading.h"

#include <QEvent>
#include <QIcon>
#include <QPointer>
#include <chrono>
#include <memory>
#include <string>

class QLineEdit;
class QRadioButton;

namespace vesk {

class CWebBrowser2;
class FilterControls;
class GoNews;
class ImageButton;
class PlaceBar;
class SearchBar;
class ShownPage;
class ViewerSettings;
class ViewChoices;
struct ThreadKey;

// The viewer's one window, built from dialog 102: the thread address, the three filter modes
// with the name list, the go and menu buttons, and the web view that shows the result page.
// It owns the post table and the five result buffers for its whole life, and the retrieval
// that writes them while it runs. What it does beyond that lives in rooms of its own, which it
// only wires together: the pages shown and their files, the filter controls, the go's news, the
// reading of kept threads, the library's rooms (search, export, watch), the view's choices and
// the pop-up's edits.
class ViewerDialog final : public TemplateDialog {
    Q_OBJECT

public:
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

    bool OnInitDialog();
    // The window's set-up, room by room.
    void SetUpLayout();
    void SetUpLibraryRooms();
    void SetUpReading();
    void SetUpKeys();
    void SetUpButtons();
    void LayoutControls();
    void OnDestroy();

    void OnShowAll();
    void OnOnlyStarter();
    void OnPartial();
    void SetFilterMode(PostFilter::Mode mode);
    // The thread shown keeps the filter chosen for it; a kept thread opens with it.
    void RememberFilter();

    void OnGo();
    void StartFetch();
    void OnFetchNotify(int wParam, int lParam);
    void ComposeResultPage();
    void OnBarAction();
    // The go button, the cursor and the caption while the window reads (doing: what, after the
    // caption).
    void SetBusy(bool bBusy, const QString& doing = {});
    void ShowProgress(int nPage, int nPosts);
    // Where the library's readings read from, and whether they keep pictures.
    RefreshSettings RefreshSettingsOf() const;
    void AdoptKeptThread(const StoredThread& thread);

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
    std::unique_ptr<WindowBar> m_pWindowBar;
    FetchSettings m_settings;
    QString m_pageFolder;
    std::unique_ptr<PostedFetchNotify> m_pNotifyTarget;
    std::unique_ptr<FetchThread> m_pFetchThread;
    // The go's pages kept in the library, and how its reading ended said in the bar.
    std::unique_ptr<GoNews> m_pGoNews;
    QString m_caption;
    bool m_bReady = false;
    bool m_bDestroyed = false;
    // Where the focus was when a reading started; it goes back there after the answer.
    QPointer<QWidget> m_pFocusAtGo;
    std::unique_ptr<ShownPage> m_pShown;
    // The library, its search (with its bar above the page), the export and the watch.
    std::unique_ptr<LibraryRooms> m_pShelf;
    SearchBar* m_pSearchBar = nullptr;
    // The library's pages and the kept thread shown, with its place bar under the page.
    std::unique_ptr<WindowReading> m_pReading;
    PlaceBar* m_pPlaceBar = nullptr;
    std::unique_ptr<ViewerSettings> m_pSettings;
    std::unique_ptr<ViewChoices> m_pView;
    // The radios and the name edit over the mode flags and the name list.
    std::unique_ptr<FilterControls> m_pFilter;
};

}  // namespace vesk
