#include "viewer_dialog.h"

#include "code_page.h"
#include "filter_controls.h"
#include "go_news.h"
#include "image_button.h"
#include "place_bar.h"
#include "search_bar.h"
#include "shown_page.h"
#include "text_cut.h"
#include "view_choices.h"
#include "viewer_resources.h"
#include "viewer_settings.h"
#include "web_browser.h"
#include "window_message.h"
#include "window_search.h"
#include "window_watch.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QRadioButton>
#include <QShortcut>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <new>

namespace vesk {

using namespace platform;
using namespace res;

ViewerDialog::ViewerDialog(FetchSettings settings, QString pageFolder, QWidget* pParent)
    : TemplateDialog(pParent),
      m_settings(std::move(settings)),
      m_pageFolder(std::move(pageFolder)),
      m_pNotifyTarget(std::make_unique<PostedFetchNotify>(this)) {
    RegisterViewerResources();
    m_hIcon = IconResourceQIcon(IDR_MAINFRAME);
    // The two image buttons and the web view take the places of their controls.
    BuildFromTemplate(IDD_MAIN, [this](const DLGITEMTEMPLATE& item, QWidget* pOwner) -> QWidget* {
        if (item.nId == IDC_GO || item.nId == IDC_MENU_BUTTON) {
            auto* pButton = new ImageButton(pOwner, item.style);
            pButton->PreSubclassWindow();
            (item.nId == IDC_GO ? m_btnGo : m_btnMenu) = pButton;
            return pButton;
        }
        if (item.nId == IDC_BROWSER) {
            m_browser = new CWebBrowser2(pOwner);
            return m_browser;
        }
        return nullptr;
    });
    m_caption = windowTitle();
    m_pBar = new MessageBar(this);
    m_pWindowBar = std::make_unique<WindowBar>(*m_pBar);
    connect(m_pBar, &MessageBar::actionTriggered, this, &ViewerDialog::OnBarAction);
    m_pSearchBar = new SearchBar(this);
    m_pSearchBar->hide();
    m_pPlaceBar = new PlaceBar(this);
    m_pPlaceBar->hide();
    SetUpLayout();
    m_bReady = OnInitDialog();
}

ViewerDialog::~ViewerDialog() {
    OnDestroy();
}

QLineEdit* ViewerDialog::AddressEdit() const {
    return static_cast<QLineEdit*>(GetDlgItem(IDC_URL));
}

QLineEdit* ViewerDialog::NameEdit() const {
    return static_cast<QLineEdit*>(GetDlgItem(IDC_NAMES));
}

QRadioButton* ViewerDialog::Radio(int nId) const {
    return static_cast<QRadioButton*>(GetDlgItem(nId));
}

bool ViewerDialog::IsFetching() const {
    return m_pFetchThread != nullptr || (m_pReading != nullptr && m_pReading->IsReading());
}

void ViewerDialog::SetBusy(bool bBusy, const QString& doing) {
    m_btnGo->setEnabled(!bBusy);
    setWindowTitle(bBusy ? m_caption + doing : m_caption);
    if (bBusy) {
        setCursor(Qt::BusyCursor);
    } else {
        unsetCursor();
    }
}

void ViewerDialog::ShowProgress(int nPage, int nPosts) {
    if (IsFetching()) {
        setWindowTitle(m_caption +
                       QStringLiteral(" — 正在读取第%1页，已得%2帖").arg(nPage).arg(nPosts));
    }
}

RefreshSettings ViewerDialog::RefreshSettingsOf() const {
    RefreshSettings settings;
    settings.strBaseAddress = m_settings.strBaseAddress;
    settings.nWindow = m_settings.nWindow;
    settings.bPictures = !m_pSettings->SkipPictures();
    return settings;
}

bool ViewerDialog::OnInitDialog() {
    // This desktop offers programs no system menu of their own: the About item is in the menu
    // button's pop-up.
    setWindowIcon(m_hIcon);

    m_bLoaded = 0;
    m_bOnlyStarter = 0;
    m_bShowAll = 1;
    m_bPartial = 0;
    m_nLastIndex = -1;
    m_bMenuDirty = 1;

    m_pSettings = std::make_unique<ViewerSettings>();
    m_pFilter = std::make_unique<FilterControls>(
        FilterControls::Flags{m_bShowAll, m_bOnlyStarter, m_bPartial, m_strNameList},
        FilterControls::Controls{*Radio(IDC_SHOW_ALL), *Radio(IDC_ONLY_STARTER),
                                 *Radio(IDC_PARTIAL), *NameEdit()},
        *m_pSettings);
    m_pShown = std::make_unique<ShownPage>(m_pageFolder);
    m_strOutputPath = m_pShown->OutputPath();
    SetUpLibraryRooms();
    SetUpReading();
    m_pView = std::make_unique<ViewChoices>(*m_browser, *m_pSettings, m_pShelf->Watch());
    m_pGoNews = std::make_unique<GoNews>(
        m_pShelf->Library(), *m_pWindowBar,
        GoNews::Window{[this] { OnGo(); },
                       [this] { m_pReading->ReadWholeThread(CutThreadKey(m_strThreadUrl)); },
                       [this] { m_pReading->ShowHome(); },
                       [this] { m_pReading->Open(CutThreadKey(m_strThreadUrl)); }});
    m_pWindowBar->TellNotices(*m_browser);
    SetUpKeys();
    SetUpButtons();
    m_pReading->ShowHome();
    m_pShelf->Watch().Start();

    try {
        m_pPosts = std::make_unique<PostTable>();
    } catch (const std::bad_alloc&) {
        QMessageBox::warning(this, QStringLiteral("提示"), QStringLiteral("内存不足，无法启动。"));
        return false;
    }
    m_pPosts->Clear();
    // As the reader left it: the window's size and place, the zoom, the night page.
    restoreGeometry(m_pSettings->Geometry());
    m_pView->Restore();
    AddressEdit()->setFocus();
    return true;
}

// The library's rooms beside the reading: its search with its bar above the page, the export,
// and the watched threads refreshed quietly while the window is free (the home page shows what
// they gained; the desktop tells of the starters' posts).
void ViewerDialog::SetUpLibraryRooms() {
    LibraryRooms::Window window;
    window.isBusy = [this] { return IsFetching(); };
    window.changed = [this] {
        if (m_browser->Url() == QUrl::fromLocalFile(m_pShown->HomePath())) {
            m_pReading->ShowHome();
        }
    };
    window.chosen = [this](const ThreadKey& key) {
        BringUp();
        m_pReading->Open(key, true);
    };
    window.personChosen = [this](const std::string& strName) {
        BringUp();
        m_pReading->OpenPerson(strName, -1);
    };
    m_pShelf =
        std::make_unique<LibraryRooms>(DefaultLibraryFile(),
                                       LibraryRooms::Places{*m_pSearchBar, *m_pShown, *m_browser,
                                                            *m_pSettings, *m_pWindowBar, *this},
                                       RefreshSettingsOf(), windowIcon(), std::move(window));
}

// The reading room shows the library's pages and kept threads; a kept thread it opens becomes
// the window's, as a go's would, in the filter the reader chose for it.
void ViewerDialog::SetUpReading() {
    WindowReading::Window window;
    window.isFetching = [this] { return m_pFetchThread != nullptr; };
    window.adopt = [this](const StoredThread& thread) {
        AdoptKeptThread(thread);
        return m_pFilter->Filter();
    };
    window.showAll = [this] {
        m_pFilter->Set(PostFilter::Mode::kAll);
        RememberFilter();
        return m_pFilter->Filter();
    };
    window.reading = [this](bool bReading) {
        if (bReading) {
            m_pShelf->Watch().Yield();
        }
        SetBusy(bReading, QStringLiteral(" — 正在读取全帖"));
    };
    window.progress = [this](const QString& text) {
        if (IsFetching()) {
            setWindowTitle(m_caption + QStringLiteral(" — ") + text);
        }
    };
    window.refreshSettings = [this] { return RefreshSettingsOf(); };
    window.onlyName = [this](const std::string& strName) {
        NameEdit()->setText(QString::fromStdU16String(GbkToUtf16(strName)));
        m_pFilter->Set(PostFilter::Mode::kNames);
        m_pFilter->TakeNames();
        RememberFilter();
        return m_pFilter->Filter();
    };
    window.threadClicked = [this](const QString& address) {
        AddressEdit()->setText(address);
        AddressEdit()->setFocus();
    };
    m_pReading = std::make_unique<WindowReading>(
        WindowReading::Rooms{m_pShelf->Library(), *m_browser, *m_pShown, *m_pPlaceBar,
                             *m_pWindowBar, m_pShelf->Search()},
        std::move(window));
}

// The reader's keys: find in the page, read again, the library, the address.
void ViewerDialog::SetUpKeys() {
    const auto shortcut = [this](QKeySequence keys, auto slot) {
        connect(new QShortcut(keys, this), &QShortcut::activated, this, slot);
    };
    shortcut(QKeySequence::Find, [this] { m_browser->ShowFindBar(); });
    // The library's search, from anywhere.
    shortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F),
             [this] { m_pShelf->Search().Summon(); });
    // A kept thread shown is brought up to date through the library; another is read again.
    shortcut(QKeySequence(Qt::Key_F5), [this] {
        if (!IsFetching()) {
            m_pGoNews->Refresh(CutThreadKey(m_strThreadUrl), m_bLoaded != 0);
        }
    });
    m_pReading->AddKeys(*this);
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_L), [this] {
        AddressEdit()->setFocus();
        AddressEdit()->selectAll();
    });
}

void ViewerDialog::SetUpButtons() {
    // Every control stays usable: the buttons and radios whole, some of the page.
    int nRight = 0;
    for (const QWidget* pChild : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (pChild != AddressEdit() && pChild != NameEdit() && pChild != m_browser &&
            pChild != m_pBar && pChild != m_pPlaceBar && pChild != m_pSearchBar) {
            nRight = std::max(nRight, pChild->geometry().right());
        }
    }
    setMinimumSize(nRight + 8 + 120,
                   m_browser->geometry().top() + 120 + m_pPlaceBar->sizeHint().height());

    // The two image buttons: the menu button's pop-up, its tooltip and the callback before it
    // opens; the go button's tooltip and icon; the menu button's icon.
    m_btnMenu->AttachMenu(IDR_POPUP, this, 1, 0, 16, 16, RGB(255, 0, 255), TRUE);
    m_btnMenu->SetTooltipText(u"单击按钮，提示更多操作", TRUE);
    m_btnMenu->SetMenuCallback(this, WM_BUTTON_MENU, 0);
    m_btnGo->SetTooltipText(u"执行提交", TRUE);
    m_btnGo->SetIcon(static_cast<int>(IDI_GO), 0);
    m_btnMenu->SetIcon(static_cast<int>(IDI_MENU), 0);

    Radio(IDC_SHOW_ALL)->setChecked(true);
    connect(Radio(IDC_SHOW_ALL), &QRadioButton::clicked, this, &ViewerDialog::OnShowAll);
    connect(Radio(IDC_ONLY_STARTER), &QRadioButton::clicked, this, &ViewerDialog::OnOnlyStarter);
    connect(Radio(IDC_PARTIAL), &QRadioButton::clicked, this, &ViewerDialog::OnPartial);
    connect(m_btnGo, &QPushButton::clicked, this, &ViewerDialog::OnGo);
    NameEdit()->installEventFilter(this);
}

// Under the template's controls, from the browser's place in it to the window's edges: the message
// bar, the search bar, the page and, close under it, the place bar; hidden bars take no room.
void ViewerDialog::SetUpLayout() {
    const QRect browser = m_browser->geometry();
    auto* pPage = new QVBoxLayout;
    pPage->setSpacing(0);
    pPage->addWidget(m_browser, 1);
    pPage->addWidget(m_pPlaceBar);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->setSizeConstraint(QLayout::SetNoConstraint);
    pLayout->setContentsMargins(browser.left(), browser.top(), 8, 8);
    pLayout->setSpacing(4);
    pLayout->addWidget(m_pBar);
    pLayout->addWidget(m_pSearchBar);
    pLayout->addLayout(pPage, 1);
    m_pBar->hide();
}

// The edits stretch to the window's right edge; the template's other controls stay.
void ViewerDialog::LayoutControls() {
    for (const int nId : {IDC_URL, IDC_NAMES}) {
        if (QWidget* pEdit = GetDlgItem(nId)) {
            const QRect r = pEdit->geometry();
            pEdit->setGeometry(r.left(), r.top(), width() - r.left() - 8, r.height());
        }
    }
}

void ViewerDialog::resizeEvent(QResizeEvent* pEvent) {
    TemplateDialog::resizeEvent(pEvent);
    LayoutControls();
}

void ViewerDialog::OnDestroy() {
    if (m_bDestroyed) {
        return;
    }
    m_bDestroyed = true;
    // The bar outlives this object's part of the window: it tells nothing any more.
    disconnect(m_pBar, nullptr, this, nullptr);
    // A refresh, in the background or of a whole thread, ends within a moment; every page it
    // kept stays kept, and so does what was seen.
    m_pShelf->StopWatch();
    m_pGoNews.reset();
    m_pReading.reset();
    m_pShelf.reset();
    m_pSettings->SetGeometry(saveGeometry());
    m_pView->Keep();
    // The worker writes into the table and the buffers: it is stopped and joined before they go.
    if (m_pFetchThread != nullptr) {
        m_pFetchThread->Stop();
        m_pFetchThread->Join();
        m_pFetchThread.reset();
    }
    m_pPosts.reset();
    m_pShown.reset();
}

// A kept thread the reading room opens is now the window's: its five values, its address, the
// pop-up's thread items, the filter the reader chose for it.
void ViewerDialog::AdoptKeptThread(const StoredThread& thread) {
    m_pFilter->ApplyRemembered(thread.key);
    CopyToField(m_results.szTitle, thread.strTitle);
    CopyToField(m_results.szStarter, thread.strStarter);
    CopyToField(m_results.szBoardName, thread.strBoardName);
    CopyToField(m_results.szBoardCode, thread.key.strBoardCode);
    CopyToField(m_results.szThreadId, thread.key.strThreadId);
    m_strThreadUrl = ThreadPageAddress(m_settings.strBaseAddress, thread.key.strBoardCode,
                                       thread.key.strThreadId);
    AddressEdit()->setText(QString::fromStdU16String(GbkToUtf16(m_strThreadUrl)));
    m_nLastIndex = -1;
    m_bLoaded = 1;
    m_bMenuDirty = 1;
}

void ViewerDialog::SetWatchPeriod(std::chrono::milliseconds period) {
    m_pShelf->Watch().Start(period);
}

void ViewerDialog::ShowChosenThread(const QString& address) {
    BringUp();
    OpenThreadAddress(address, true);
}

void ViewerDialog::BringUp() {
    setWindowState(windowState() & ~Qt::WindowMinimized);
    raise();
    activateWindow();
}

bool ViewerDialog::OpenThreadAddress(const QString& address, bool bAtStarterNews) {
    return m_pReading->OpenAddress(address, bAtStarterNews);
}

bool ViewerDialog::event(QEvent* pEvent) {
    if (pEvent->type() == MessageEvent::EventType()) {
        auto* pMessage = static_cast<MessageEvent*>(pEvent);
        if (pMessage->message == WM_BUTTON_MENU) {
            pMessage->result = OnButtonMenu(pMessage->wParam, pMessage->lParam);
        } else if (pMessage->message == WM_COMMAND) {
            OnCommand(LOWORD(static_cast<DWORD>(pMessage->wParam)));
        }
        return true;
    }
    if (pEvent->type() == FetchEvent::kNotify) {
        const auto* pFetch = static_cast<FetchEvent*>(pEvent);
        OnFetchNotify(pFetch->nWParam, pFetch->nLParam);
        return true;
    }
    if (pEvent->type() == ReadingEndEvent::kType) {
        m_pGoNews->Ended(static_cast<ReadingEndEvent*>(pEvent)->end);
        return true;
    }
    if (pEvent->type() == FetchEvent::kProgress) {
        const auto* pFetch = static_cast<FetchEvent*>(pEvent);
        ShowProgress(pFetch->nWParam, pFetch->nLParam + 1);
        return true;
    }
    return TemplateDialog::event(pEvent);
}

}  // namespace vesk
