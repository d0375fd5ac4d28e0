#include "viewer_dialog.h"

#include "about_dialog.h"
#include "background_refresh.h"
#include "bitmap_resources.h"
#include "code_page.h"
#include "desktop_notifier.h"
#include "forum_address.h"
#include "forum_config.h"
#include "help_page.h"
#include "home_page.h"
#include "image_button.h"
#include "message_bar.h"
#include "request_checks.h"
#include "resources.h"
#include "result_page.h"
#include "shell.h"
#include "text_cut.h"
#include "thread_page.h"
#include "thread_reader.h"
#include "viewer_resources.h"
#include "watch_notice.h"
#include "web_browser.h"
#include "window_message.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLockFile>
#include <QMessageBox>
#include <QRadioButton>
#include <QShortcut>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QUrl>
#include <cstring>
#include <new>

namespace vesk {

using namespace platform;
using namespace res;

namespace {

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Where the result page goes: the program's own folder, or the user's data folder of the
// program where that cannot be written (an installed copy). The page's style sheet is put
// beside it when it is not there.
QString PageFolder(const QString& appDir, const QString& given) {
    QString folder = given.isEmpty() ? appDir : QDir(given).absolutePath() + QLatin1Char('/');
    if (!QFileInfo(folder).isWritable()) {
        folder = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
        QDir().mkpath(folder);
        folder = QDir(folder).absolutePath() + QLatin1Char('/');
    }
    const QString css = folder + QStringLiteral("vesk3.css");
    if (!QFileInfo::exists(css)) {
        const QString beside = appDir + QStringLiteral("vesk3.css");
        CopyReadable(QFileInfo::exists(beside) ? beside : QStringLiteral(":/vesk/pages/vesk3.css"),
                     css);
    }
    return folder;
}

const QString kNoBrowserMessage = QStringLiteral("无法打开浏览器，请复制地址：");
const QString kStartPage = QStringLiteral("qrc:/vesk/pages/start.html");

// A zero-terminated buffer's text, never reading past the buffer.
std::string_view BufferText(const char* pBuffer, std::size_t nSize) {
    return {pBuffer, strnlen(pBuffer, nSize)};
}

}  // namespace

// The end of a whole thread's reading: what to tell, and whether pages were read.
class WholeDoneEvent final : public QEvent {
public:
    WholeDoneEvent(QString message, bool bReadPages)
        : QEvent(ViewerDialog::kWholeDoneEvent), text(std::move(message)), bRead(bReadPages) {}
    QString text;
    bool bRead;
};

struct ViewerDialog::KeptThread {
    StoredThread thread;
    std::vector<StoredPost> posts;
    bool bMarkedRead = false;
};

// Hands the worker's answer to the window as a posted event, so that it is handled on the
// window's thread in the order of its queue, also inside a message box's own loop.
class ViewerDialog::NotifyTarget final : public FetchNotifyTarget {
public:
    explicit NotifyTarget(ViewerDialog* pDialog) : m_pDialog(pDialog) {}
    void PostFetchNotify(int wParam, int lParam) override {
        QCoreApplication::postEvent(m_pDialog, new FetchEvent(kFetchNotifyEvent, wParam, lParam));
    }
    void PageFetched(int nPage, int nLastRecord) override {
        QCoreApplication::postEvent(m_pDialog,
                                    new FetchEvent(kFetchProgressEvent, nPage, nLastRecord));
    }
    void ReadingEnded(const ReadingEnd& end) override {
        QCoreApplication::postEvent(m_pDialog, new ReadingEndEvent(end));
    }

private:
    ViewerDialog* m_pDialog;
};

ViewerDialog::ViewerDialog(FetchSettings settings, QString pageFolder, QWidget* pParent)
    : TemplateDialog(pParent),
      m_settings(std::move(settings)),
      m_pageFolder(std::move(pageFolder)),
      m_pNotifyTarget(std::make_unique<NotifyTarget>(this)) {
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
    m_nBrowserTop = m_browser->geometry().top();
    connect(m_pBar, &MessageBar::shownChanged, this, [this](bool bShown) {
        m_barCause = bShown ? m_barCause : BarCause::kNone;
        LayoutControls();
    });
    connect(m_pBar, &MessageBar::actionTriggered, this, [this] {
        if (IsFetching()) {
            return;
        }
        // A thread that goes on past the pages read is read whole; a failed reading again.
        if (m_barCause == BarCause::kReading && m_lastEnd.kind == ReadingEnd::Kind::kPageLimit) {
            ReadWholeThread(CutThreadKey(m_strThreadUrl));
        } else {
            OnGo();
        }
    });
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

    const QString appDir = QDir(QCoreApplication::applicationDirPath()).absolutePath() + '/';
    m_strOutputPath = ClaimPageFile(PageFolder(appDir, m_pageFolder)).toStdString();
    const QString outputPath = QString::fromStdString(m_strOutputPath);
    m_homePath = QFileInfo(outputPath).path() + QStringLiteral("/home-") +
                 QFileInfo(outputPath).completeBaseName() + QStringLiteral(".htm");
    m_strLibraryFile = DefaultLibraryFile();
    m_browser->AllowLocalFiles(
        {outputPath, m_homePath, QFileInfo(outputPath).path() + QStringLiteral("/vesk3.css")});
    // A thread address clicked on the start page is put into the address edit; the home page's
    // actions act when clicked there, and nowhere else.
    m_browser->SetLinkHandler([this](const QUrl& url) {
        const QUrl home = QUrl::fromLocalFile(m_homePath);
        if (const std::optional<HomeRequest> request = ReadHomeAction(home, url)) {
            // Acted on after the web view has refused the link, not inside its question.
            if (m_browser->Url() == home) {
                QMetaObject::invokeMethod(
                    this, [this, request] { OnHomeAction(request->action, request->key); },
                    Qt::QueuedConnection);
            }
            return true;
        }
        if (m_browser->Url().scheme() != QLatin1String("qrc") ||
            !url.toString().contains(QLatin1String("look,"))) {
            return false;
        }
        AddressEdit()->setText(url.toString());
        AddressEdit()->setFocus();
        return true;
    });
    m_browser->SetNoticeHandler([this](CWebBrowser2::Notice notice, const QUrl& url) {
        if (notice == CWebBrowser2::Notice::kCouldNotOpen) {
            ShowBar(BarCause::kCommand, MessageBar::Level::kWarning, kNoBrowserMessage, {},
                    url.toString());
        } else {
            ShowBar(BarCause::kNavigation, MessageBar::Level::kWarning,
                    QStringLiteral("页面试图转到别的网址，已阻止："), {}, url.toString());
        }
    });
    // The reader's keys: find in the page, read again, the address.
    const auto shortcut = [this](QKeySequence keys, auto slot) {
        connect(new QShortcut(keys, this), &QShortcut::activated, this, slot);
    };
    shortcut(QKeySequence::Find, [this] { m_browser->ShowFindBar(); });
    shortcut(QKeySequence(Qt::Key_F5), [this] {
        if (!IsFetching()) {
            OnGo();
        }
    });
    // Home in an edit moves its cursor; elsewhere in the window it shows the library.
    shortcut(QKeySequence(Qt::Key_Home), [this] { ShowHome(); });
    shortcut(QKeySequence(Qt::ALT | Qt::Key_Home), [this] { ShowHome(); });
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_L), [this] {
        AddressEdit()->setFocus();
        AddressEdit()->selectAll();
    });
    // Every control stays usable: the buttons and radios whole, some of the page.
    int nRight = 0;
    for (const QWidget* pChild : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (pChild != AddressEdit() && pChild != NameEdit() && pChild != m_browser &&
            pChild != m_pBar) {
            nRight = std::max(nRight, pChild->geometry().right());
        }
    }
    setMinimumSize(nRight + 8 + 120, m_nBrowserTop + 120);

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

    ShowHome();

    // Watched threads are refreshed quietly while the window is free; the home page shows what
    // they gained, and the desktop tells of the starters' posts.
    m_pNotifier = new DesktopNotifier(QStringLiteral("vesk"), this);
    connect(m_pNotifier, &DesktopNotifier::activated, this, &ViewerDialog::OnNotificationChosen);
    connect(m_pNotifier, &DesktopNotifier::unavailable, this,
            [this](const QString& summary, const QString& body, const QString& tag) {
                if (!QSystemTrayIcon::isSystemTrayAvailable()) {
                    return;
                }
                if (m_pTray == nullptr) {
                    m_pTray = new QSystemTrayIcon(windowIcon(), this);
                    connect(m_pTray, &QSystemTrayIcon::messageClicked, this,
                            [this] { OnNotificationChosen(m_trayTag); });
                    m_pTray->show();
                }
                m_trayTag = tag;
                m_pTray->showMessage(summary, body);
            });
    RefreshSettings background;
    background.strBaseAddress = m_settings.strBaseAddress;
    background.nWindow = m_settings.nWindow;
    m_pBackground = std::make_unique<BackgroundRefresh>(m_strLibraryFile, background,
                                                        [this] { return IsFetching(); });
    m_pBackground->changed = [this] {
        if (m_browser->Url() == QUrl::fromLocalFile(m_homePath)) {
            ShowHome();
        }
    };
    m_pBackground->starterPosted = [this](const ThreadKey& key, const WatchNotice& notice) {
        NotifyStarterPosted(key, notice);
    };
    m_pBackground->Start();

    try {
        m_pPosts = std::make_unique<PostTable>();
    } catch (const std::bad_alloc&) {
        QMessageBox::warning(this, QStringLiteral("提示"), QStringLiteral("内存不足，无法启动。"));
        return false;
    }
    m_pPosts->Clear();
    AddressEdit()->setFocus();
    return true;
}

void ViewerDialog::LayoutControls() {
    QWidget* pUrl = GetDlgItem(IDC_URL);
    if (pUrl == nullptr) {
        return;
    }
    const int W = width();
    const int H = height();
    const auto stretch = [W](QWidget* pControl, int nHeight) {
        const QRect r = pControl->geometry();
        pControl->setGeometry(r.left(), r.top(), W - r.left() - 8, nHeight);
    };
    stretch(pUrl, pUrl->height());
    stretch(GetDlgItem(IDC_NAMES), pUrl->height());
    // The message bar takes the browser's place at the top while it shows; the browser moves down.
    QWidget* pBrowser = GetDlgItem(IDC_BROWSER);
    int nTop = m_nBrowserTop;
    if (m_pBar != nullptr && !m_pBar->isHidden()) {
        const int nBarHeight = m_pBar->sizeHint().height();
        m_pBar->setGeometry(pBrowser->geometry().left(), nTop, W - pBrowser->geometry().left() - 8,
                            nBarHeight);
        nTop += nBarHeight + 4;
    }
    pBrowser->move(pBrowser->geometry().left(), nTop);
    stretch(pBrowser, H - nTop - 8);
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
    // kept stays kept.
    m_pBackground.reset();
    m_pRefresher.reset();
    // The worker writes into the table and the buffers: it is stopped and joined before they go.
    if (m_pFetchThread != nullptr) {
        m_pFetchThread->Stop();
        m_pFetchThread->Join();
        m_pFetchThread.reset();
    }
    m_pPosts.reset();
    // A page of this viewer's own, beside the post.htm that another viewer held, goes with it.
    if (m_pPageLock == nullptr && !m_strOutputPath.empty()) {
        QFile::remove(QString::fromStdString(m_strOutputPath));
    }
}

void ViewerDialog::OnShowAll() {
    SetFilterMode(1, 0);
}

void ViewerDialog::OnOnlyStarter() {
    SetFilterMode(0, 1);
}

// The two modes that compose at once: the name edit goes, the page is composed again.
void ViewerDialog::SetFilterMode(int bShowAll, int bOnlyStarter) {
    NameEdit()->hide();
    m_bShowAll = bShowAll;
    m_bOnlyStarter = bOnlyStarter;
    m_bPartial = 0;
    m_browser->KeepTopRowOnNextPage();
    ComposeResultPage();
}

void ViewerDialog::OnPartial() {
    NameEdit()->show();
    NameEdit()->setFocus();
    m_bShowAll = 0;
    m_bOnlyStarter = 0;
    m_bPartial = 1;
}

void ViewerDialog::ShowPrompt(std::string_view text) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("提示"), FromUtf8(text), QMessageBox::Ok,
                    this);
    box.exec();
}

std::string ViewerDialog::NameListBytes(const QString& text) {
    // Authors are GB2312 bytes, where 0xFF never stands: an item that GB2312 cannot hold
    // becomes that byte, so that it matches nobody while the others still match.
    std::string bytes;
    const QStringList items =
        QString::fromStdString(WithHalfWidthCommas(text.toStdString())).split(QLatin1Char(','));
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (i > 0) {
            bytes += ',';
        }
        const std::optional<std::string> item = Utf8ToGbk(items[i].toStdString());
        bytes += item ? *item : std::string("\xFF");
    }
    return bytes;
}

void ViewerDialog::OnGo() {
    m_strThreadUrl = Utf16ToGbk(AddressEdit()->text().trimmed().toStdU16String());
    if (!IsThreadAddressAccepted(m_strThreadUrl, HostPrefixOf(m_settings.strBaseAddress))) {
        ShowPrompt(AddressRejectedMessage(m_settings.strBaseAddress));
        AddressEdit()->setFocus();
        return;
    }
    m_bOnlyStarter = Radio(IDC_ONLY_STARTER)->isChecked() ? 1 : 0;
    m_bShowAll = Radio(IDC_SHOW_ALL)->isChecked() ? 1 : 0;
    m_bPartial = Radio(IDC_PARTIAL)->isChecked() ? 1 : 0;
    if (m_bPartial) {
        m_strNameList = NameListBytes(NameEdit()->text().trimmed());
        if (m_strNameList.empty()) {
            ShowPrompt(kNameListEmptyMessage);
            NameEdit()->setFocus();
            return;
        }
    }
    StartFetch();
}

void ViewerDialog::StartFetch() {
    m_pBackground->Yield();
    m_pPosts->Clear();
    m_pKept.reset();
    // The go keeps what it reads in the library too, page by page, on the worker's thread.
    FetchSettings settings = m_settings;
    m_pGoKeeper = std::make_shared<GoKeeper>(m_strLibraryFile, CutThreadKey(m_strThreadUrl));
    settings.keepPage = [pKeeper = m_pGoKeeper](const LoopPage& page) { pKeeper->Keep(page); };
    auto pJob = std::make_unique<FetchJob>();
    pJob->hWndNotify = m_pNotifyTarget.get();
    std::memset(m_results.szTitle, 0, sizeof m_results.szTitle);
    AttachResults(*pJob, *m_pPosts, m_results);
    // OnGo refused any address that does not fit the field.
    std::memcpy(pJob->szThreadUrl, m_strThreadUrl.c_str(), m_strThreadUrl.size() + 1);
    auto pThread = std::make_unique<FetchThread>(std::move(pJob), std::move(settings));
    if (!pThread->CreateThread()) {
        QMessageBox box(QMessageBox::NoIcon, QCoreApplication::applicationName(),
                        QStringLiteral("Cannot Start New Thread"), QMessageBox::Ok, this);
        box.exec();
        return;
    }
    m_pFetchThread = std::move(pThread);
    m_bLoaded = 0;
    m_lastEnd = ReadingEnd();
    HideBar(BarCause::kNone);
    // A disabled go button never hands the focus on to the menu button: where the user left it,
    // or the address edit when that was the go button itself.
    m_pFocusAtGo =
        focusWidget() == m_btnGo || focusWidget() == nullptr ? AddressEdit() : focusWidget();
    m_pFocusAtGo->setFocus();
    m_btnGo->setEnabled(false);
    setCursor(Qt::BusyCursor);
}

void ViewerDialog::ComposeResultPage() {
    // Nothing to show yet, or the worker is rewriting the table: its answer composes the page.
    if ((m_nLastIndex == -1 && m_pKept == nullptr) || IsFetching()) {
        return;
    }
    ResultFilter filter;
    filter.bShowAll = m_bShowAll != 0;
    filter.bOnlyStarter = m_bOnlyStarter != 0;
    filter.bPartial = m_bPartial != 0;
    filter.strNameList = m_strNameList;
    // A kept thread is shown whole, in the library's page format, with its marks.
    const ResultPage page = m_pKept != nullptr
                                ? ComposeThreadPage(m_pKept->thread, m_pKept->posts, filter, false)
                                : BuildResultPage(m_pPosts->data(), m_nLastIndex, m_results.szTitle,
                                                  m_results.szStarter, filter);
    if (!WriteResultFile(m_strOutputPath, page.strText)) {
        QMessageBox box(
            QMessageBox::NoIcon, QCoreApplication::applicationName(),
            FromUtf8(kCreateFileFailedMessage) + QString::fromStdString(m_strOutputPath),
            QMessageBox::Ok, this);
        box.exec();
        return;
    }
    m_browser->Navigate(QStringLiteral("file:///") + QString::fromStdString(m_strOutputPath));
    // Shown once, a kept thread's posts are read, as the command's show leaves them; its marks
    // stay on this window's copy while it is shown.
    if (m_pKept != nullptr && !m_pKept->bMarkedRead) {
        m_pKept->bMarkedRead = true;
        try {
            ThreadStore(m_strLibraryFile).MarkRead(m_pKept->thread.nId);
        } catch (const LibraryError& error) {
            m_libraryError = QString::fromUtf8(error.what());
        }
    }
    if (page.nShown == 0) {
        ShowBar(BarCause::kFilter, MessageBar::Level::kInformation,
                QStringLiteral("没有符合的帖子"));
    } else {
        HideBar(BarCause::kFilter);
    }
}

void ViewerDialog::OnFetchNotify(int wParam, int lParam) {
    // The worker has written everything and ends now.
    if (m_pFetchThread != nullptr) {
        m_pFetchThread->Join();
        m_pFetchThread.reset();
    }
    unsetCursor();
    setWindowTitle(m_caption);
    if (m_pGoKeeper != nullptr) {
        const std::string strError = m_pGoKeeper->Finish();
        m_libraryError = QString::fromUtf8(strError.c_str());
        m_pGoKeeper.reset();
    }
    if (lParam == kFetchSessionFailed) {
        m_nLastIndex = -1;
        ShowPrompt(kRetrievalFailedMessage);
    } else {
        m_bLoaded = 1;
        m_bMenuDirty = 1;
        m_nLastIndex = wParam;
        ComposeResultPage();
        ShowReadingEnd();
    }
    m_btnGo->setEnabled(true);
    if (m_pFocusAtGo != nullptr && focusWidget() == nullptr) {
        m_pFocusAtGo->setFocus();
    }
}

void ViewerDialog::ShowReadingEnd() {
    if (m_lastEnd.kind == ReadingEnd::Kind::kEndOfThread) {
        return;
    }
    // Nothing read: the page of the thread read before is no longer what the address names.
    if (m_lastEnd.kind == ReadingEnd::Kind::kNothingFound) {
        ShowHome();
    }
    const bool bFailed = m_lastEnd.kind == ReadingEnd::Kind::kFailedPage ||
                         m_lastEnd.kind == ReadingEnd::Kind::kNothingFound;
    ShowBar(
        BarCause::kReading, bFailed ? MessageBar::Level::kError : MessageBar::Level::kInformation,
        FromUtf8(DescribeReadingEnd(m_lastEnd)),
        bFailed && m_lastEnd.failure.kind != PageFailure::Kind::kNone ? QStringLiteral("重新读取")
        : m_lastEnd.kind == ReadingEnd::Kind::kPageLimit ? QStringLiteral("读取全帖")
                                                         : QString());
}

void ViewerDialog::ShowBar(BarCause cause, MessageBar::Level level, const QString& text,
                           const QString& action, const QString& detail) {
    m_pBar->ShowMessage(level, text, action, detail);
    m_barCause = cause;
    LayoutControls();
}

void ViewerDialog::HideBar(BarCause cause) {
    if (cause == BarCause::kNone || cause == m_barCause) {
        m_pBar->hide();
    }
}

void ViewerDialog::OpenInDesktop(const std::string& address) {
    if (!address.empty() &&
        ShellExecuteA(nullptr, "open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL) <= 32) {
        ShowBar(BarCause::kCommand, MessageBar::Level::kWarning, kNoBrowserMessage, {},
                QString::fromStdU16String(GbkToUtf16(address)));
    }
}

QString ViewerDialog::ClaimPageFile(const QString& folder) {
    m_pPageLock = std::make_unique<QLockFile>(folder + QStringLiteral("post.htm.lock"));
    if (m_pPageLock->tryLock(0)) {
        return folder + QStringLiteral("post.htm");
    }
    m_pPageLock.reset();
    return folder + QStringLiteral("post-%1.htm").arg(QCoreApplication::applicationPid());
}

LRESULT ViewerDialog::OnButtonMenu(WPARAM wParam, LPARAM /*lParam*/) {
    auto* pPopup = dynamic_cast<LumoMenu*>(reinterpret_cast<CMenu*>(wParam));
    if (pPopup == nullptr) {
        return 0;
    }
    const auto removeThreadItems = [pPopup] {
        pPopup->RemoveItem(ID_VIEW_THREAD, MF_BYCOMMAND);
        pPopup->RemoveItem(ID_BROWSE_BOARD, MF_BYCOMMAND);
        pPopup->RemoveItem(0, MF_BYPOSITION);
    };
    const UINT nFirst = pPopup->GetMenuItemID(0);
    bool bInsert = false;
    if (m_bLoaded == 0) {
        if (nFirst == ID_VIEW_THREAD) {
            removeThreadItems();
        }
    } else if (m_bMenuDirty != 0) {
        if (nFirst == ID_VIEW_THREAD) {
            removeThreadItems();
        }
        bInsert = true;
    } else {
        bInsert = nFirst != ID_VIEW_THREAD;
    }
    if (bInsert) {
        const std::string board =
            Utf16ToGbk(u"浏览【") +
            std::string(BufferText(m_results.szBoardName, sizeof m_results.szBoardName)) +
            Utf16ToGbk(u"】");
        pPopup->InsertItem(0, static_cast<const char*>(nullptr), MF_BYPOSITION | MF_SEPARATOR, 0,
                           -1);
        pPopup->InsertItem(0, board.c_str(), MF_BYPOSITION, ID_BROWSE_BOARD, -1);
        pPopup->InsertItem(0, Utf16ToGbk(u"查看帖子原文").c_str(), MF_BYPOSITION, ID_VIEW_THREAD,
                           -1);
    }
    m_bMenuDirty = 0;
    // Ours: reading the shown thread whole and watching it (or no longer), before 帖子库.
    pPopup->RemoveItem(ID_READ_WHOLE, MF_BYCOMMAND);
    pPopup->RemoveItem(ID_WATCH_THREAD, MF_BYCOMMAND);
    pPopup->RemoveItem(ID_UNWATCH_THREAD, MF_BYCOMMAND);
    if (m_bLoaded != 0) {
        std::optional<StoredThread> kept;
        try {
            kept = ThreadStore(m_strLibraryFile).Find(CutThreadKey(m_strThreadUrl));
        } catch (const LibraryError&) {
        }
        for (int i = 0; i < pPopup->GetMenuItemCount(); ++i) {
            if (pPopup->GetMenuItemID(i) == ID_LIBRARY_HOME) {
                const auto nAt = static_cast<UINT>(i);
                if (kept) {
                    pPopup->InsertItem(
                        nAt, Utf16ToGbk(kept->bWatched ? u"取消关注本帖" : u"关注本帖").c_str(),
                        MF_BYPOSITION, kept->bWatched ? ID_UNWATCH_THREAD : ID_WATCH_THREAD, -1);
                }
                pPopup->InsertItem(nAt, Utf16ToGbk(u"读取全帖").c_str(), MF_BYPOSITION,
                                   ID_READ_WHOLE, -1);
                break;
            }
        }
    }
    return 0;
}

std::string ViewerDialog::ThreadAddress() const {
    return ThreadPageAddress(m_settings.strBaseAddress, BoardCode(),
                             BufferText(m_results.szThreadId, sizeof m_results.szThreadId));
}

std::string ViewerDialog::BoardAddress() const {
    return BoardPageAddress(m_settings.strBaseAddress, BoardCode());
}

std::string_view ViewerDialog::BoardCode() const {
    return BufferText(m_results.szBoardCode, sizeof m_results.szBoardCode);
}

void ViewerDialog::ShowHome() {
    std::vector<ThreadListing> threads;
    try {
        threads = ThreadStore(m_strLibraryFile).List();
        m_libraryError.clear();
    } catch (const LibraryError& error) {
        m_libraryError = QString::fromUtf8(error.what());
    }
    if (threads.empty() && m_libraryError.isEmpty()) {
        m_browser->Navigate(kStartPage);
        return;
    }
    QFile file(m_homePath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(ComposeHomePage(QUrl::fromLocalFile(m_homePath), threads,
                                   QString::fromStdString(m_strLibraryFile), m_libraryError)
                       .toUtf8()) < 0) {
        m_browser->Navigate(kStartPage);
        return;
    }
    file.close();
    m_browser->Navigate(QUrl::fromLocalFile(m_homePath).toString());
}

void ViewerDialog::OnHomeAction(HomeAction action, const ThreadKey& key) {
    if (IsFetching()) {
        return;
    }
    if (action == HomeAction::kOpen) {
        OpenKeptThread(key);
        return;
    }
    if (action == HomeAction::kRefresh) {
        ReadWholeThread(key);
        return;
    }
    if (action == HomeAction::kForget || action == HomeAction::kWatch ||
        action == HomeAction::kUnwatch) {
        try {
            ThreadStore store(m_strLibraryFile);
            if (const std::optional<StoredThread> thread = store.Find(key)) {
                if (action == HomeAction::kForget) {
                    store.Forget(thread->nId);
                } else {
                    store.SetWatched(thread->nId, action == HomeAction::kWatch);
                }
            }
        } catch (const LibraryError& error) {
            m_libraryError = QString::fromUtf8(error.what());
        }
        ShowHome();
    }
}

void ViewerDialog::WatchShownThread(bool bWatch) {
    try {
        ThreadStore store(m_strLibraryFile);
        if (const std::optional<StoredThread> thread = store.Find(CutThreadKey(m_strThreadUrl))) {
            store.SetWatched(thread->nId, bWatch);
        }
    } catch (const LibraryError& error) {
        m_libraryError = QString::fromUtf8(error.what());
        ShowBar(BarCause::kCommand, MessageBar::Level::kError, m_libraryError);
    }
}

void ViewerDialog::SetWatchPeriod(std::chrono::milliseconds period) {
    m_pBackground->Start(period);
}

void ViewerDialog::NotifyStarterPosted(const ThreadKey& key, const WatchNotice& notice) {
    m_pNotifier->Notify(QString::fromStdString(notice.strSummary),
                        QString::fromStdString(notice.strBody),
                        QString::fromStdString(WatchTag(key)));
}

void ViewerDialog::OnNotificationChosen(const QString& tag) {
    setWindowState(windowState() & ~Qt::WindowMinimized);
    raise();
    activateWindow();
    OpenKeptThread(ThreadKeyOfTag(tag.toStdString()));
}

bool ViewerDialog::OpenThreadAddress(const QString& address) {
    const std::string strAddress = Utf16ToGbk(address.toStdU16String());
    const ThreadKey key = CutThreadKey(strAddress);
    if (!key.strBoardCode.empty() && !key.strThreadId.empty() && OpenKeptThread(key)) {
        return true;
    }
    ShowBar(BarCause::kCommand, MessageBar::Level::kWarning,
            QStringLiteral("帖子库里没有这个帖子："), {}, address);
    return false;
}

bool ViewerDialog::OpenKeptThread(const ThreadKey& key) {
    if (IsFetching()) {
        return false;
    }
    auto pKept = std::make_unique<KeptThread>();
    try {
        ThreadStore store(m_strLibraryFile);
        std::optional<StoredThread> thread = store.Find(key);
        if (!thread) {
            return false;
        }
        pKept->thread = *std::move(thread);
        pKept->posts = store.Posts(pKept->thread.nId);
    } catch (const LibraryError& error) {
        m_libraryError = QString::fromUtf8(error.what());
        ShowHome();
        return false;
    }
    // The thread is now the window's: its five values, its address, the pop-up's thread items.
    const StoredThread& thread = pKept->thread;
    CopyToField(m_results.szTitle, thread.strTitle);
    CopyToField(m_results.szStarter, thread.strStarter);
    CopyToField(m_results.szBoardName, thread.strBoardName);
    CopyToField(m_results.szBoardCode, thread.key.strBoardCode);
    CopyToField(m_results.szThreadId, thread.key.strThreadId);
    m_strThreadUrl = ThreadPageAddress(m_settings.strBaseAddress, thread.key.strBoardCode,
                                       thread.key.strThreadId);
    AddressEdit()->setText(QString::fromStdU16String(GbkToUtf16(m_strThreadUrl)));
    m_pKept = std::move(pKept);
    m_nLastIndex = -1;
    m_bLoaded = 1;
    m_bMenuDirty = 1;
    HideBar(BarCause::kNone);
    ComposeResultPage();
    return true;
}

void ViewerDialog::ReadWholeThread(const ThreadKey& key) {
    if (IsFetching() || key.strBoardCode.empty() || key.strThreadId.empty()) {
        return;
    }
    RefreshSettings settings;
    settings.strBaseAddress = m_settings.strBaseAddress;
    settings.nWindow = m_settings.nWindow;
    settings.progress = [this](int nPage, int nPosts) {
        QCoreApplication::postEvent(this, new FetchEvent(kWholeProgressEvent, nPage, nPosts - 1));
    };
    m_pBackground->Yield();
    auto pRefresher = std::make_unique<ThreadRefresher>(
        m_strLibraryFile, key, settings,
        [this](const RefreshOutcome& outcome, const std::string& strError) {
            const bool bRead = outcome.result == RefreshOutcome::Result::kRead;
            const std::string strText =
                !strError.empty() ? strError
                : bRead && outcome.end.kind == ReadingEnd::Kind::kEndOfThread
                    ? std::string()
                    : DescribeRefresh(outcome);
            QCoreApplication::postEvent(this, new WholeDoneEvent(FromUtf8(strText), bRead));
        });
    if (!pRefresher->Start()) {
        return;
    }
    m_pRefresher = std::move(pRefresher);
    HideBar(BarCause::kNone);
    m_btnGo->setEnabled(false);
    setCursor(Qt::BusyCursor);
    setWindowTitle(m_caption + QStringLiteral(" — 正在读取全帖"));
}

void ViewerDialog::OnWholeDone(const QString& text, bool bRead) {
    if (m_pRefresher == nullptr) {
        return;
    }
    const ThreadKey key = m_pRefresher->Key();
    m_pRefresher.reset();
    unsetCursor();
    setWindowTitle(m_caption);
    m_btnGo->setEnabled(true);
    if (bRead || !text.isEmpty()) {
        OpenKeptThread(key);
    }
    if (!text.isEmpty()) {
        ShowBar(BarCause::kReading, bRead ? MessageBar::Level::kWarning : MessageBar::Level::kError,
                text);
    }
}

void ViewerDialog::OnViewThread() {
    OpenInDesktop(ThreadAddress());
}

void ViewerDialog::OnBrowseBoard() {
    OpenInDesktop(BoardAddress());
}

void ViewerDialog::OnHelpPage() {
    const QString path = WriteHelpPage(QFileInfo(QString::fromStdString(m_strOutputPath)).path());
    if (!path.isEmpty()) {
        OpenInDesktop(QUrl::fromLocalFile(path).toEncoded().toStdString());
    }
}

void ViewerDialog::OnAbout() {
    AboutDialog about(this);
    about.DoModal();
}

bool ViewerDialog::event(QEvent* pEvent) {
    if (pEvent->type() == MessageEvent::EventType()) {
        auto* pMessage = static_cast<MessageEvent*>(pEvent);
        if (pMessage->message == WM_BUTTON_MENU) {
            pMessage->result = OnButtonMenu(pMessage->wParam, pMessage->lParam);
        } else if (pMessage->message == WM_COMMAND) {
            switch (LOWORD(static_cast<DWORD>(pMessage->wParam))) {
                case ID_VIEW_THREAD:
                    OnViewThread();
                    break;
                case ID_BROWSE_BOARD:
                    OnBrowseBoard();
                    break;
                case ID_HELP_PAGE:
                    OnHelpPage();
                    break;
                case ID_LIBRARY_HOME:
                    ShowHome();
                    break;
                case ID_READ_WHOLE:
                    ReadWholeThread(CutThreadKey(m_strThreadUrl));
                    break;
                case ID_WATCH_THREAD:
                case ID_UNWATCH_THREAD:
                    WatchShownThread(LOWORD(static_cast<DWORD>(pMessage->wParam)) ==
                                     ID_WATCH_THREAD);
                    break;
                case ID_ABOUT:
                    OnAbout();
                    break;
                default:
                    break;
            }
        }
        return true;
    }
    if (pEvent->type() == kFetchNotifyEvent) {
        const auto* pFetch = static_cast<FetchEvent*>(pEvent);
        OnFetchNotify(pFetch->nWParam, pFetch->nLParam);
        return true;
    }
    if (pEvent->type() == ReadingEndEvent::kType) {
        m_lastEnd = static_cast<ReadingEndEvent*>(pEvent)->end;
        return true;
    }
    if (pEvent->type() == kWholeDoneEvent) {
        const auto* pDone = static_cast<WholeDoneEvent*>(pEvent);
        OnWholeDone(pDone->text, pDone->bRead);
        return true;
    }
    if (pEvent->type() == kFetchProgressEvent || pEvent->type() == kWholeProgressEvent) {
        const auto* pFetch = static_cast<FetchEvent*>(pEvent);
        if (IsFetching()) {
            setWindowTitle(m_caption + QStringLiteral(" — 正在读取第%1页，已得%2帖")
                                           .arg(pFetch->nWParam)
                                           .arg(pFetch->nLParam + 1));
        }
        return true;
    }
    return TemplateDialog::event(pEvent);
}

bool ViewerDialog::eventFilter(QObject* pWatched, QEvent* pEvent) {
    // Enter in the name edit composes the page with the list typed there.
    if (pWatched == NameEdit() && pEvent->type() == QEvent::KeyPress) {
        const int nKey = static_cast<QKeyEvent*>(pEvent)->key();
        if (nKey == Qt::Key_Return || nKey == Qt::Key_Enter) {
            m_strNameList = NameListBytes(NameEdit()->text().trimmed());
            if (m_strNameList.empty()) {
                ShowPrompt(kNameListEmptyMessage);
                NameEdit()->setFocus();
            } else {
                m_browser->KeepTopRowOnNextPage();
                ComposeResultPage();
            }
            return true;
        }
    }
    return TemplateDialog::eventFilter(pWatched, pEvent);
}

void ViewerDialog::keyPressEvent(QKeyEvent* pEvent) {
    // Esc never closes the window.
    if (pEvent->key() == Qt::Key_Escape) {
        pEvent->accept();
        return;
    }
    TemplateDialog::keyPressEvent(pEvent);
}

}  // namespace vesk
