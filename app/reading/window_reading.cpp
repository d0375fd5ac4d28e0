#include "window_reading.h"

#include "code_page.h"
#include "home_page.h"
#include "kept_reading.h"
#include "person_page.h"
#include "person_reading.h"
#include "place_bar.h"
#include "shown_page.h"
#include "viewer_resources.h"
#include "watch_notice.h"
#include "web_browser.h"
#include "window_search.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <utility>

namespace vesk {

namespace {

const QString kStartPage = QStringLiteral("qrc:/vesk/pages/start.html");

// A whole thread's reading's progress, posted from its thread, in words.
class WholeProgressEvent final : public QEvent {
public:
    static constexpr QEvent::Type kType = static_cast<QEvent::Type>(QEvent::User + 5);
    explicit WholeProgressEvent(QString words) : QEvent(kType), text(std::move(words)) {}
    QString text;
};

}  // namespace

WindowReading::WindowReading(Rooms rooms, Window window, QObject* pParent)
    : QObject(pParent),
      m_rooms(rooms),
      m_window(std::move(window)),
      m_pSeenTimer(new QTimer(this)) {
    m_pSeenTimer->setInterval(KeptReading::kSeenAfterMs / 2);
    connect(m_pSeenTimer, &QTimer::timeout, this, &WindowReading::NoteSeenPosts);
    connect(&m_rooms.placeBar, &PlaceBar::toEnd, this, &WindowReading::MoveToEnd);
    connect(&m_rooms.placeBar, &PlaceBar::toFloor, this, &WindowReading::GoToFloor);
    connect(&m_rooms.browser, &CWebBrowser2::urlChanged, this, &WindowReading::ShowPlace);
    // The web view loads only the window's pages; only the go's page reaches the network, the
    // library's are offline.
    m_rooms.browser.AllowLocalFiles(m_rooms.shown.LocalFiles());
    m_rooms.browser.SetOnlinePages({});
    m_rooms.browser.SetLinkHandler([this](const QUrl& url) { return TakeLink(url); });
    // People's pages: a part shown is a place visited, and the thread shown before is closed.
    m_pPerson = std::make_unique<PersonReading>(m_rooms.library, m_rooms.browser,
                                                m_rooms.shown.PersonPath(),
                                                QUrl::fromLocalFile(m_rooms.shown.HomePath()));
    m_pPerson->onlyThisName = [this](const std::string& strName) {
        if (m_pKept != nullptr && m_pKept->IsShown()) {
            Select(m_window.onlyName(strName));
        }
    };
    m_pPerson->opened = [this](const std::string& strName, int nFrom) {
        Close();
        m_places.Visit({std::nullopt, strName, nFrom});
    };
    m_pPerson->failed = [this](const QString& error) {
        m_rooms.bar.Show(WindowBar::Cause::kCommand, MessageBar::Level::kError, error);
    };
    // The news line's links go to posts that may not be in the page yet.
    m_rooms.browser.SetPlaceHandler([this](const QString& place) {
        const std::optional<int> index = KeptReading::RowIndex(place);
        if (m_pKept == nullptr || !index) {
            return false;
        }
        m_pKept->GoTo(*index);
        return true;
    });
    // The library's pages show the pictures kept in it.
    m_rooms.browser.SetPictureSource([this](const QString& hash) {
        std::optional<std::pair<QByteArray, QByteArray>> picture;
        if (const std::optional<KeptPicture> kept =
                m_rooms.library.Picture(hash.toStdString()).value) {
            picture.emplace(QByteArray::fromStdString(kept->strType),
                            QByteArray::fromStdString(kept->strData));
        }
        return picture;
    });
}

WindowReading::~WindowReading() {
    // The view outlives the room and may still ask for a picture: it gets none.
    m_rooms.browser.SetPictureSource({});
    m_rooms.browser.SetPlaceHandler({});
    m_rooms.browser.SetLinkHandler({});
    // A reading of a whole thread ends within a moment; every page it kept stays kept.
    m_rooms.library.StopReading();
    SaveSeen();
    m_pPerson.reset();
}

void WindowReading::AddKeys(QWidget& window) {
    const auto shortcut = [&](QKeySequence keys, auto slot) {
        connect(new QShortcut(keys, &window), &QShortcut::activated, this, slot);
    };
    // Home and End in an edit move its cursor; elsewhere in the window they move in the page.
    shortcut(QKeySequence(Qt::Key_Home), [this] { MoveToEnd(false); });
    shortcut(QKeySequence(Qt::Key_End), [this] { MoveToEnd(true); });
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_G), [this] {
        if (!m_rooms.placeBar.isHidden()) {
            m_rooms.placeBar.FocusFloor();
        }
    });
    shortcut(QKeySequence(Qt::ALT | Qt::Key_Home), [this] { ShowHome(); });
    shortcut(QKeySequence(Qt::ALT | Qt::Key_Left), [this] { MovePlace(-1); });
    shortcut(QKeySequence(Qt::ALT | Qt::Key_Right), [this] { MovePlace(1); });
    // N and P outside the edits: the next and the previous post not read.
    shortcut(QKeySequence(Qt::Key_N), [this] { MoveToMarked(1); });
    shortcut(QKeySequence(Qt::Key_P), [this] { MoveToMarked(-1); });
    // Esc stops a whole reading wherever the focus is, the page too; only while one runs, so that
    // it keeps its other uses.
    m_pStopKey = new QShortcut(QKeySequence(Qt::Key_Escape), &window);
    m_pStopKey->setEnabled(false);
    connect(m_pStopKey, &QShortcut::activated, this, &WindowReading::StopReading);
}

bool WindowReading::TakeLink(const QUrl& url) {
    // A name on the page shown opens its menu, after the view's question.
    if (url.isLocalFile() &&
        url.adjusted(QUrl::RemoveQuery | QUrl::RemoveFragment) ==
            m_rooms.browser.Url().adjusted(QUrl::RemoveQuery | QUrl::RemoveFragment)) {
        if (std::optional<std::string> name = PersonOfLink(url.query().toStdString())) {
            const bool bOnThread = m_pKept != nullptr && m_pKept->IsShown();
            QMetaObject::invokeMethod(
                this,
                [this, name = *std::move(name), bOnThread] {
                    m_pPerson->ShowNameMenu(name, bOnThread && m_pKept != nullptr);
                },
                Qt::QueuedConnection);
            return true;
        }
    }
    const QUrl home = QUrl::fromLocalFile(m_rooms.shown.HomePath());
    const bool bOurs =
        m_rooms.browser.Url() == home || m_rooms.search.IsShown() || m_pPerson->IsShown();
    if (const std::optional<PersonRequest> person = ReadPersonAction(home, url)) {
        if (bOurs) {
            QMetaObject::invokeMethod(
                this,
                [this, request = *person] {
                    const bool bHome =
                        m_rooms.browser.Url() == QUrl::fromLocalFile(m_rooms.shown.HomePath());
                    const LibraryAnswer<bool> done = m_pPerson->Act(request);
                    if (!done.Ok()) {
                        m_rooms.bar.Show(WindowBar::Cause::kCommand, MessageBar::Level::kError,
                                         done.error);
                    } else if (bHome && request.action != PersonAction::kPage) {
                        ShowHome();
                    }
                },
                Qt::QueuedConnection);
        }
        return true;
    }
    const std::optional<HomeRequest> request = ReadHomeAction(home, url);
    if (!request) {
        if (m_rooms.browser.Url().scheme() != QLatin1String("qrc") ||
            !url.toString().contains(QLatin1String("look,"))) {
            return false;
        }
        m_window.threadClicked(url.toString());
        return true;
    }
    // Acted on after the web view has refused the link, not inside its question.
    if (bOurs) {
        QMetaObject::invokeMethod(
            this, [this, request] { OnHomeAction(request->action, request->key, request->nPost); },
            Qt::QueuedConnection);
    }
    return true;
}

void WindowReading::ShowHome() {
    m_places.Visit({});
    const std::vector<ThreadListing> threads = m_rooms.library.List().value;
    HomeFigures figures;
    figures.nThisWeek = CurrentWeek();
    if (!threads.empty()) {
        figures.people = m_rooms.library.Following().value;
        figures.weeks =
            m_rooms.library.ActivitySince(figures.nThisWeek - kHomeChartWeeks + 1).value;
    }
    if ((threads.empty() && m_rooms.library.Error().isEmpty()) ||
        !m_rooms.shown.WriteHome(threads, figures, QString::fromStdString(m_rooms.library.File()),
                                 m_rooms.library.Error())) {
        m_rooms.browser.Navigate(kStartPage);
        return;
    }
    m_rooms.browser.Navigate(QUrl::fromLocalFile(m_rooms.shown.HomePath()).toString());
}

void WindowReading::OnHomeAction(HomeAction action, const ThreadKey& key, std::int64_t nPost) {
    if (m_window.isFetching() || IsReading()) {
        return;
    }
    switch (action) {
        case HomeAction::kFind:
            Open(key, false, nPost);
            return;
        case HomeAction::kOpen:
            Open(key);
            return;
        case HomeAction::kRefresh:
        case HomeAction::kCheck:
            ReadWholeThread(key, action == HomeAction::kCheck);
            return;
        case HomeAction::kForget:
            if (!ConfirmForget()) {
                return;
            }
            m_rooms.library.Forget(key);
            break;
        case HomeAction::kWatch:
        case HomeAction::kUnwatch:
            m_rooms.library.SetWatched(key, action == HomeAction::kWatch);
            break;
    }
    ShowHome();
}

bool WindowReading::ConfirmForget() {
    QMessageBox box(QMessageBox::Question, QStringLiteral("忘记本帖"),
                    QStringLiteral("忘记后本帖及其修改记录将被删除"),
                    QMessageBox::Yes | QMessageBox::Cancel, m_rooms.browser.window());
    box.button(QMessageBox::Yes)->setText(QStringLiteral("忘记"));
    box.button(QMessageBox::Cancel)->setText(QStringLiteral("取消"));
    box.setDefaultButton(QMessageBox::Cancel);
    return box.exec() == QMessageBox::Yes;
}

void WindowReading::MovePlace(int nStep) {
    if (m_window.isFetching() || IsReading()) {
        return;
    }
    if (const std::optional<PlaceHistory::Place> place = m_places.Move(nStep)) {
        if (place->thread) {
            OpenKept(*place->thread, false, 0, kAtPlace);
        } else if (!place->strPerson.empty()) {
            OpenPerson(place->strPerson, place->nFrom);
        } else {
            ShowHome();
        }
    }
}

int WindowReading::IndexOf(std::int64_t nPost) const {
    const std::vector<OutlinePost>& outline = m_pKept->Kept().outline;
    const auto found = std::find_if(outline.begin(), outline.end(),
                                    [&](const OutlinePost& post) { return post.nId == nPost; });
    return found == outline.end() ? -1 : static_cast<int>(found - outline.begin());
}

bool WindowReading::Open(const ThreadKey& key, bool bAtStarterNews, std::int64_t nAtPost) {
    return OpenKept(key, bAtStarterNews, nAtPost) == Opened::kShown;
}

bool WindowReading::OpenPerson(const std::string& strName, int nFrom) {
    if (m_window.isFetching() || IsReading()) {
        return false;
    }
    const LibraryAnswer<bool> shown = m_pPerson->Open(strName, nFrom);
    if (!shown.Ok()) {
        m_rooms.bar.Show(WindowBar::Cause::kCommand, MessageBar::Level::kError, shown.error);
    }
    return shown.Ok();
}

bool WindowReading::OpenAddress(const QString& address, bool bAtStarterNews) {
    if (const std::optional<std::string> name = PersonOfTag(address.toStdString())) {
        return OpenPerson(*name, -1);
    }
    const ThreadKey key = CutThreadKey(Utf16ToGbk(address.toStdU16String()));
    const Opened opened = key.strBoardCode.empty() || key.strThreadId.empty()
                              ? Opened::kNotKept
                              : OpenKept(key, bAtStarterNews, 0);
    // A library that could not answer is said on the home page, not taken for a thread not kept.
    if (opened == Opened::kNotKept) {
        m_rooms.bar.Show(WindowBar::Cause::kCommand, MessageBar::Level::kWarning,
                         QStringLiteral("帖子库里没有这个帖子："), {}, address);
    }
    return opened == Opened::kShown;
}

WindowReading::Opened WindowReading::OpenKept(const ThreadKey& key, bool bAtStarterNews,
                                              std::int64_t nAtPost, std::int32_t nAtNewFloor) {
    if (m_window.isFetching() || IsReading()) {
        return Opened::kFailed;
    }
    // What was seen of the thread shown before stays seen, and where the reader stopped.
    SaveSeen();
    LibraryAnswer<std::optional<KeptThread>> kept = m_rooms.library.Load(key);
    if (!kept.Ok()) {
        ShowHome();
        return Opened::kFailed;
    }
    if (!kept.value) {
        return Opened::kNotKept;
    }
    Close();
    PostFilter selection = m_window.adopt(kept.value->thread);
    m_pKept = std::make_unique<KeptReading>(m_rooms.library, m_rooms.browser,
                                            m_rooms.shown.OutputPath(), *std::move(kept.value));
    m_pKept->placeChanged = [this] { ShowPlace(); };
    m_pKept->failed = [this](const QString& error) {
        m_rooms.bar.Show(WindowBar::Cause::kNavigation, MessageBar::Level::kError, error);
    };
    m_rooms.bar.Hide(WindowBar::Cause::kNone);
    LibraryAnswer<bool> chosen = m_pKept->Choose(selection);
    int nLanding = chosen.Ok() ? LandingPost(m_pKept->Kept(), bAtStarterNews) : -1;
    if (chosen.Ok() && nAtNewFloor == kAtPlace) {
        if (const int nPlace = IndexOf(m_pKept->Kept().thread.nReadPost); nPlace >= 0) {
            nLanding = nPlace;
        }
    } else if (const int nBrought = chosen.Ok() ? m_pKept->Brought(nAtNewFloor) : -1;
               nBrought >= 0) {
        nLanding = nBrought;
    }
    if (chosen.Ok() && nAtPost != 0) {
        // A post a search found opens its thread there, in the filter chosen for the thread when
        // that shows it, else among all posts.
        if (IndexOf(nAtPost) < 0 && selection.mode != PostFilter::Mode::kAll) {
            chosen = m_pKept->Choose(m_window.showAll());
        }
        if (chosen.Ok() && IndexOf(nAtPost) >= 0) {
            nLanding = IndexOf(nAtPost);
            m_pKept->Target(nLanding, m_rooms.search.Words());
        }
    }
    TellShown(chosen.Ok() ? m_pKept->Open(nLanding) : chosen, WindowBar::Cause::kCommand);
    m_places.Visit({key, {}, 0});
    m_pSeenTimer->start();
    return Opened::kShown;
}

bool WindowReading::Select(const PostFilter& selection) {
    if (m_pKept == nullptr) {
        return false;
    }
    TellShown(m_pKept->Select(selection), WindowBar::Cause::kFilter);
    return true;
}

void WindowReading::TellShown(const LibraryAnswer<bool>& shown, WindowBar::Cause cause) {
    if (!shown.Ok()) {
        m_rooms.bar.Show(cause, MessageBar::Level::kError, shown.error);
    } else if (m_pKept->Total() == 0) {
        m_rooms.bar.Show(WindowBar::Cause::kFilter, MessageBar::Level::kInformation,
                         QStringLiteral("没有符合的帖子"));
    } else {
        m_rooms.bar.Hide(WindowBar::Cause::kFilter);
    }
}

void WindowReading::Close() {
    SaveSeen();
    m_pKept.reset();
    ShowPlace();
}

void WindowReading::NoteSeenPosts() {
    if (m_pKept == nullptr) {
        m_pSeenTimer->stop();
        return;
    }
    m_pKept->NoteSeenPosts();
}

void WindowReading::SaveSeen() {
    if (m_pKept != nullptr) {
        m_pKept->SaveSeen();
    }
}

void WindowReading::MoveToMarked(int nStep) {
    if (m_pKept == nullptr) {
        return;
    }
    m_pKept->MoveToMarked(nStep, [this, nStep](bool bMoved) {
        if (bMoved) {
            m_rooms.bar.Hide(WindowBar::Cause::kNavigation);
        } else {
            m_rooms.bar.Show(WindowBar::Cause::kNavigation, MessageBar::Level::kInformation,
                             nStep > 0 ? QStringLiteral("后面没有未读的帖子")
                                       : QStringLiteral("前面没有未读的帖子"));
        }
    });
}

void WindowReading::MoveToEnd(bool bEnd) {
    if (m_pKept != nullptr && m_pKept->IsShown()) {
        m_pKept->GoToEnd(bEnd);
    } else {
        m_rooms.browser.ScrollToEnd(bEnd);
    }
}

void WindowReading::GoToFloor(int nFloor) {
    if (m_pKept == nullptr) {
        return;
    }
    const std::int32_t nWent = m_pKept->GoToFloor(nFloor);
    m_nHiddenFloor = 0;
    if (nWent == 0) {
        m_rooms.bar.Show(WindowBar::Cause::kNavigation, MessageBar::Level::kInformation,
                         QStringLiteral("没有第 %1 楼及其后的帖子").arg(nFloor));
        return;
    }
    m_rooms.browser.setFocus();
    // Elsewhere than asked, because of the filter or a floor the thread lacks: said.
    const bool bFiltered = m_pKept->IsFiltered();
    if (nWent == nFloor) {
        m_rooms.bar.Hide(WindowBar::Cause::kNavigation);
    } else if (bFiltered) {
        m_nHiddenFloor = nFloor;
        m_rooms.bar.Show(
            WindowBar::Cause::kNavigation, MessageBar::Level::kInformation,
            QStringLiteral("当前的过滤模式不显示第 %1 楼，已转到第 %2 楼").arg(nFloor).arg(nWent),
            QStringLiteral("显示所有"));
    } else {
        m_rooms.bar.Show(WindowBar::Cause::kNavigation, MessageBar::Level::kInformation,
                         QStringLiteral("没有第 %1 楼，已转到第 %2 楼").arg(nFloor).arg(nWent));
    }
}

bool WindowReading::Act(WindowBar::Cause cause) {
    if (cause == WindowBar::Cause::kReading && IsReading()) {
        StopReading();
        return true;
    }
    if (cause == WindowBar::Cause::kNavigation && m_nHiddenFloor != 0 && m_pKept != nullptr) {
        const int nFloor = std::exchange(m_nHiddenFloor, 0);
        if (Select(m_window.showAll())) {
            GoToFloor(nFloor);
        }
        return true;
    }
    return false;
}

void WindowReading::ShowPlace() {
    const bool bShown = m_pKept != nullptr &&
                        m_rooms.browser.Url() ==
                            QUrl::fromLocalFile(QString::fromStdString(m_rooms.shown.OutputPath()));
    if (bShown) {
        m_rooms.placeBar.SetPlace(m_pKept->Top() + 1, m_pKept->Total(), m_pKept->Deleted());
    }
    m_rooms.placeBar.setVisible(bShown);
}

void WindowReading::ReadWholeThread(const ThreadKey& key, bool bEveryPage) {
    if (m_window.isFetching() || IsReading() || key.strBoardCode.empty() ||
        key.strThreadId.empty()) {
        return;
    }
    RefreshSettings settings = m_window.refreshSettings();
    settings.bFull = bEveryPage;
    m_bCheckingAll = bEveryPage;
    settings.progress = [this](int nPage, int nPosts) {
        QCoreApplication::postEvent(
            this, new WholeProgressEvent(
                      QStringLiteral("正在读取第%1页，已得%2帖").arg(nPage).arg(nPosts)));
    };
    settings.pictureProgress = [this](int nDone, int nWanted) {
        QCoreApplication::postEvent(
            this,
            new WholeProgressEvent(QStringLiteral("正在保存图片 %1 / %2").arg(nDone).arg(nWanted)));
    };
    m_window.reading(true);
    if (!m_rooms.library.ReadWhole(
            key, settings, this,
            [this](const WindowLibrary::WholeRead& read) { OnWholeDone(read); })) {
        m_window.reading(false);
        return;
    }
    if (m_pStopKey != nullptr) {
        m_pStopKey->setEnabled(true);
    }
    TellReading(QStringLiteral("正在读取全帖"));
}

void WindowReading::TellReading(const QString& text) {
    m_rooms.bar.Show(WindowBar::Cause::kReading, MessageBar::Level::kInformation, text,
                     QStringLiteral("停止"));
}

void WindowReading::StopReading() {
    if (IsReading()) {
        m_rooms.library.InterruptReading();
        TellReading(QStringLiteral("正在停止…"));
    }
}

bool WindowReading::OnCommand(unsigned int nId, const ThreadKey& key) {
    switch (nId) {
        case res::ID_LIBRARY_HOME:
            ShowHome();
            return true;
        case res::ID_READ_WHOLE:
        case res::ID_UPDATE_THREAD:
            ReadWholeThread(key);
            return true;
        case res::ID_CHECK_THREAD:
            ReadWholeThread(key, true);
            return true;
        default:
            return false;
    }
}

void WindowReading::customEvent(QEvent* pEvent) {
    if (pEvent->type() == WholeProgressEvent::kType && IsReading()) {
        const auto* pProgress = static_cast<WholeProgressEvent*>(pEvent);
        m_window.progress(pProgress->text);
        TellReading(pProgress->text);
    }
}

void WindowReading::OnWholeDone(const WindowLibrary::WholeRead& read) {
    using WholeEnd = WindowLibrary::WholeEnd;
    m_window.reading(false);
    if (m_pStopKey != nullptr) {
        m_pStopKey->setEnabled(false);
    }
    // At the first post the reading brought when the filter shows one, else at the first it
    // changed; where the reader was when nothing came.
    if (read.end != WholeEnd::kNothing || !read.text.isEmpty()) {
        const std::int32_t nFloor = m_bCheckingAll || read.nFirstNewFloor == 0
                                        ? read.nFirstChangedFloor
                                        : read.nFirstNewFloor;
        OpenKept(read.key, false, 0, nFloor != 0 ? nFloor : kAtPlace);
    }
    if (!read.text.isEmpty()) {
        // Where the view landed on what came, the older posts not read are said here too.
        const int nEarlier = m_pKept != nullptr ? m_pKept->EarlierUnread() : 0;
        m_rooms.bar.Show(WindowBar::Cause::kReading,
                         read.end == WholeEnd::kToTheEnd ? MessageBar::Level::kInformation
                         : read.end == WholeEnd::kInPart ? MessageBar::Level::kWarning
                                                         : MessageBar::Level::kError,
                         nEarlier > 0
                             ? read.text + QStringLiteral("；另有 %1 条更早的未读").arg(nEarlier)
                             : read.text);
    }
}

}  // namespace vesk
