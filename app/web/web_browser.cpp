#include "web_browser.h"

#include "picture_scheme.h"
#include "shell.h"

#include <QAction>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QJsonArray>
#include <QJsonDocument>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QShortcut>
#include <QStandardPaths>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlSchemeHandler>
#include <QWebEngineView>
#include <mutex>

namespace vesk {

namespace {

// Run in the view's own script world, which the page's scripts (off anyway) never see: the
// floor and author of the first post row whose bottom is in view ('' for the title row), and
// the scroll that brings the row of a floor and author to the top, or the page's top. A page
// without the table (the home page) has no rows.
// The rows of the result page's one outer table: the title, then one row a post, whose first
// inner block is its floor and author. A row whose last pixel is all that shows is not the top.
constexpr char kTopRowScript[] =
    "(function(){var t=document.querySelector('table');if(!t)return '';var r=t.rows;"
    "for(var i=0;i<r.length;i++){"
    "if(r[i].getBoundingClientRect().bottom>1){var d=r[i].cells[0].querySelector('div>div');"
    "return d?d.textContent:'';}}return '';})()";
constexpr char kScrollScript[] =
    "(function(k){history.scrollRestoration='manual';var t=document.querySelector('table');"
    "var r=t?t.rows:[];for(var i=1;k&&i<r.length;i++){"
    "var d=r[i].cells[0].querySelector('div>div');if(d&&d.textContent===k){r[i].scrollIntoView();"
    "return;}}window.scrollTo(0,0);})(%1[0])";

// The posts on screen: the first row whose bottom is in view, found by halving (rows stand in
// order), and those after it whose top is, by their ids.
constexpr char kOnScreenScript[] =
    "(function(){var t=document.querySelector('table');if(!t)return {ids:[],y:0};"
    "var r=t.rows,h=innerHeight;"
    "var lo=0,hi=r.length;while(lo<hi){var m=(lo+hi)>>1;"
    "if(r[m].getBoundingClientRect().bottom<=1)lo=m+1;else hi=m;}"
    "var out=[];for(var i=lo;i<r.length;i++){if(r[i].getBoundingClientRect().top>=h-8)break;"
    "if(r[i].id)out.push(r[i].id);}return {ids:out,y:Math.round(scrollY)};})()";
// The next or previous row marked not read, brought to the top; whether the view moved (at the
// page's end, the rows below the top can come no higher).
constexpr char kMarkedScript[] =
    "(function(s){history.scrollRestoration='manual';var u=document.querySelectorAll('tr.vk-u');"
    "for(var n=0;n<u.length;n++){var i=s>0?n:u.length-1-n,y=u[i].getBoundingClientRect().top;"
    "if(s>0?y>2:y<-2){var at=scrollY;u[i].scrollIntoView();if(scrollY!==at)return true;}}"
    "return false;})(%1)";
constexpr char kElementScript[] =
    "(function(k){history.scrollRestoration='manual';var e=document.getElementById(k);"
    "if(e)e.scrollIntoView();else window.scrollTo(0,0);})(%1[0])";

// The night's colours, put into every page as it is ready (and into the one shown) as a style of
// its own, or taken out of it; the pages' own files stay as they are. Every text stands at least
// 4.5 : 1 against what is behind it. Tables are given the colour themselves: in a page without a
// doctype they do not take the body's anew when it changes. The board's own colours in a post
// give way to the night's.
constexpr char kNightScript[] =
    "(function(on){var e=document.getElementById('vk-night');if(!on){if(e)e.remove();return;}"
    "if(e)return;e=document.createElement('style');e.id='vk-night';e.textContent="
    "'html,body,table{background:#1E1F22 !important;color:#D4D4D4 !important}a{color:#8AB4F8}"
    "td,th,.vk-thread{border-color:#3A3D42 !important}th{background:#2A2C30 !important;color:#BBB}"
    "table tr:first-child td{color:#8AB4F8 !important}"
    "div[style*=\"color:red\"]{color:#FF7B72 !important}"
    "div[style*=\"color:#42B475\"]{color:#7EE2A8 !important}"
    "div[style*=\"padding-left:20px\"] :not(a):not(mark):not(b.vk-hit){color:inherit !important}"
    ".vk-head,details.vk-before,.board,.vk-count,.vk-board,.vk-ph,.vk-nopic{color:#AAA !important}"
    ".vk-head a,.new{color:#FF7B72 !important}"
    "details.vk-before summary,.vk-thread a{color:#8AB4F8 !important}"
    ".vk-m{background:#666 !important}.vk-new .vk-m{background:#A64B00 !important}"
    ".vk-edited .vk-m{background:#1F5FA8 !important}"
    "mark.vk-hit,b.vk-hit{background:#8A6D00 !important;color:#FFF !important}"
    ".vk-target>td{background:#3A3520 !important}"
    ".error{background:#4A2323 !important;border-color:#7A3B3B !important}"
    "code,pre,kbd{background:#2A2C30 !important;color:#E6E6E6 !important}"
    "h1{color:#FF7B72 !important}h2{color:#8AB4F8 !important}';"
    "(document.head||document.documentElement).appendChild(e);})(%1)";
const QString kNightScriptName = QStringLiteral("vesk-night");

// The picture-less mode: a class on the page's root that our pages' style answers with
// placeholders, and a style of its own that hides the pictures of any page; the post at the top
// stays where it was.
constexpr char kNoPicturesScript[] =
    "(function(on){var d=document.documentElement,top=null,y=0,t=document.querySelectorAll("
    "'tr[id]');for(var i=0;i<t.length;i++){var b=t[i].getBoundingClientRect();if(b.bottom>1){"
    "top=t[i];y=b.top;break;}}d.classList.toggle('vk-noimg',on);"
    "var e=document.getElementById('vk-noimg');if(on&&!e){e=document.createElement('style');"
    "e.id='vk-noimg';e.textContent='img{display:none !important}';"
    "(document.head||d).appendChild(e);}else if(!on&&e){e.remove();}"
    "if(top)scrollBy(0,top.getBoundingClientRect().top-y);})(%1)";
const QString kNoPicturesScriptName = QStringLiteral("vesk-no-pictures");

// Keeps one script of ours in every page as it is ready (and runs it in the one shown), or none.
void KeepScript(QWebEnginePage* pPage, const QString& name, const char* pszSource, bool bOn) {
    QWebEngineScriptCollection& scripts = pPage->scripts();
    for (const QWebEngineScript& script : scripts.find(name)) {
        scripts.remove(script);
    }
    const QString on = QString::fromLatin1(pszSource).arg(QStringLiteral("true"));
    if (bOn) {
        QWebEngineScript script;
        script.setName(name);
        script.setWorldId(QWebEngineScript::ApplicationWorld);
        script.setInjectionPoint(QWebEngineScript::DocumentReady);
        script.setRunsOnSubFrames(false);
        script.setSourceCode(on);
        scripts.insert(script);
    }
    pPage->runJavaScript(bOn ? on : QString::fromLatin1(pszSource).arg(QStringLiteral("false")),
                         QWebEngineScript::ApplicationWorld);
}

QString JsonString(const QString& text) {
    return QString::fromUtf8(QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact));
}

QString CleanPath(const QString& path) {
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

// The view goes only where Navigate sends it; clicked links go to the owner's handler, or to the
// desktop's browser when they are web addresses; the view stays.
class ViewerPage final : public QWebEnginePage {
public:
    ViewerPage(QWebEngineProfile* pProfile, QObject* pParent) : QWebEnginePage(pProfile, pParent) {}
    std::function<bool(const QUrl&)> linkHandler;
    std::function<bool(const QString&)> placeHandler;
    std::function<void(CWebBrowser2::Notice, const QUrl&)> noticeHandler;

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool bMainFrame) override {
        const auto notice = [this](CWebBrowser2::Notice what, const QUrl& target) {
            if (noticeHandler) {
                noticeHandler(what, target);
            }
        };
        const bool bWeb =
            url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https");
        if (type != NavigationTypeLinkClicked) {
            // Our own navigations and reloads; a frame inside the page may load what it names.
            if (type == NavigationTypeTyped || type == NavigationTypeReload || !bMainFrame) {
                return true;
            }
            if (bWeb) {
                notice(CWebBrowser2::Notice::kNavigationRefused, url);
            }
            return false;
        }
        // A link to a place in the page shown goes there, as in a browser.
        if (url.hasFragment() &&
            url.adjusted(QUrl::RemoveFragment) == this->url().adjusted(QUrl::RemoveFragment)) {
            if (placeHandler && placeHandler(url.fragment())) {
                return false;
            }
            runJavaScript(QString::fromLatin1(kElementScript).arg(JsonString(url.fragment())),
                          QWebEngineScript::ApplicationWorld);
            return false;
        }
        // Our own bundled pages link to each other; a forum's page never reaches them.
        if (url.scheme() == QLatin1String("qrc")) {
            return this->url().scheme() == QLatin1String("qrc");
        }
        if (linkHandler && linkHandler(url)) {
            return false;
        }
        if (bWeb) {
            const QByteArray address = url.toEncoded();
            if (platform::ShellExecuteA(nullptr, "open", address.constData(), nullptr, nullptr,
                                        platform::SW_SHOWNORMAL) <= 32) {
                notice(CWebBrowser2::Notice::kCouldNotOpen, url);
            }
        }
        return false;
    }
};

}  // namespace

// Blocks every file:// load but the allowed files, and every load from the network but those of
// the online pages. It runs on the web engine's own thread.
class LocalFileGuard final : public QWebEngineUrlRequestInterceptor {
public:
    void Allow(const QStringList& paths) { Set(m_allowed, paths); }
    void SetOnline(const QStringList& paths) { Set(m_online, paths); }

    void interceptRequest(QWebEngineUrlRequestInfo& info) override {
        const QUrl url = info.requestUrl();
        const QString scheme = url.scheme();
        std::lock_guard lock(m_mutex);
        if (url.isLocalFile() || scheme == QLatin1String("file")) {
            info.block(!m_allowed.contains(CleanPath(url.toLocalFile())));
            return;
        }
        // What this machine serves: our pictures, our bundled pages, what a page holds itself.
        if (scheme == QLatin1String(kPictureSchemeName) || scheme == QLatin1String("qrc") ||
            scheme == QLatin1String("data") || scheme == QLatin1String("blob") ||
            scheme == QLatin1String("about")) {
            return;
        }
        const QUrl page = info.firstPartyUrl();
        info.block(!page.isLocalFile() || !m_online.contains(CleanPath(page.toLocalFile())));
    }

private:
    void Set(QSet<QString>& set, const QStringList& paths) {
        std::lock_guard lock(m_mutex);
        set.clear();
        for (const QString& path : paths) {
            set.insert(CleanPath(path));
        }
    }

    std::mutex m_mutex;
    QSet<QString> m_allowed;
    QSet<QString> m_online;
};

// Serves kept pictures to our pages, on the window's thread.
class PictureHandler final : public QWebEngineUrlSchemeHandler {
public:
    CWebBrowser2::PictureSource source;

    void requestStarted(QWebEngineUrlRequestJob* pJob) override {
        std::optional<std::pair<QByteArray, QByteArray>> picture;
        if (source) {
            picture = source(pJob->requestUrl().path());
        }
        if (!picture) {
            pJob->fail(QWebEngineUrlRequestJob::UrlNotFound);
            return;
        }
        auto* pBuffer = new QBuffer(pJob);
        pBuffer->setData(picture->second);
        pBuffer->open(QIODevice::ReadOnly);
        pJob->reply(picture->first, pBuffer);
    }
};

CWebBrowser2::CWebBrowser2(QWidget* pParent)
    : QWidget(pParent),
      m_pGuard(std::make_unique<LocalFileGuard>()),
      m_pPictures(std::make_unique<PictureHandler>()),
      // Off the record: nothing of what is shown is kept on disk.
      m_pProfile(new QWebEngineProfile(this)),
      m_pView(new QWebEngineView(this)) {
    m_pProfile->setUrlRequestInterceptor(m_pGuard.get());
    m_pProfile->installUrlSchemeHandler(kPictureSchemeName, m_pPictures.get());
    QWebEngineSettings* pSettings = m_pProfile->settings();
    pSettings->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    pSettings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
    pSettings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
    pSettings->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    m_pView->setPage(new ViewerPage(m_pProfile, m_pView));
    connect(m_pView->page(), &QWebEnginePage::scrollPositionChanged, this, &CWebBrowser2::scrolled);
    connect(m_pView, &QWebEngineView::urlChanged, this, &CWebBrowser2::urlChanged);
    connect(m_pView, &QWebEngineView::loadFinished, this, [this](bool bOk) {
        // A load cut short by the next one ends too: the place is the next page's.
        if (!bOk) {
            return;
        }
        m_bLoaded = true;
        if (m_topRow) {
            ScrollToTopRow();
        }
    });
    m_pView->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_pView, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QMenu* pMenu = CreateContextMenu();
        pMenu->setAttribute(Qt::WA_DeleteOnClose);
        pMenu->popup(m_pView->mapToGlobal(at));
    });

    BuildFindBar();

    // The keys the context menu names, while the focus is in the view.
    const auto shortcut = [this](QKeySequence keys, auto slot) {
        auto* pShortcut = new QShortcut(keys, this, slot);
        pShortcut->setContext(Qt::WidgetWithChildrenShortcut);
    };
    shortcut(QKeySequence::ZoomIn, [this] { ZoomBy(1); });
    shortcut(QKeySequence::ZoomOut, [this] { ZoomBy(-1); });
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_0), [this] { ZoomBy(0); });
    shortcut(QKeySequence::Save, [this] { SavePageWithDialog(); });

    auto* pLayout = new QVBoxLayout(this);
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->setSpacing(0);
    pLayout->addWidget(m_pView, 1);
    pLayout->addWidget(m_pFindBar);
    setFocusProxy(m_pView);
}

// The find bar under the page: the words, previous, next, close.
void CWebBrowser2::BuildFindBar() {
    m_pFindBar = new QWidget(this);
    m_pFindEdit = new QLineEdit(m_pFindBar);
    m_pFindEdit->setPlaceholderText(QStringLiteral("在页面中查找"));
    m_pFindEdit->installEventFilter(this);
    auto* pFindLayout = new QHBoxLayout(m_pFindBar);
    pFindLayout->setContentsMargins(2, 2, 2, 2);
    pFindLayout->addWidget(m_pFindEdit, 1);
    m_pFindNote = new QLabel(m_pFindBar);
    m_pFindNote->hide();
    pFindLayout->addWidget(m_pFindNote);
    const auto addButton = [&](const QString& text, auto slot) {
        auto* pButton = new QToolButton(m_pFindBar);
        pButton->setText(text);
        connect(pButton, &QToolButton::clicked, this, slot);
        pFindLayout->addWidget(pButton);
    };
    addButton(QStringLiteral("上一个"), [this] { FindNext(true); });
    addButton(QStringLiteral("下一个"), [this] { FindNext(false); });
    addButton(QStringLiteral("关闭"), [this] {
        m_pFindBar->hide();
        m_pView->findText(QString());
    });
    connect(m_pFindEdit, &QLineEdit::textChanged, this, [this] { FindNext(false); });
    m_pFindBar->hide();
}

QMenu* CWebBrowser2::CreateContextMenu() {
    auto* pMenu = new QMenu(this);
    const auto add = [&](const QString& text, QKeySequence keys, auto slot, bool bEnabled = true) {
        QAction* pAction = pMenu->addAction(text, keys, this, slot);
        pAction->setEnabled(bEnabled);
    };
    QWebEnginePage* pPage = m_pView->page();
    add(
        QStringLiteral("复制"), QKeySequence::Copy,
        [pPage] { pPage->triggerAction(QWebEnginePage::Copy); }, pPage->hasSelection());
    add(QStringLiteral("全选"), QKeySequence::SelectAll,
        [pPage] { pPage->triggerAction(QWebEnginePage::SelectAll); });
    pMenu->addSeparator();
    add(QStringLiteral("查找…"), QKeySequence::Find, [this] { ShowFindBar(); });
    pMenu->addSeparator();
    add(QStringLiteral("放大"), QKeySequence::ZoomIn, [this] { ZoomBy(1); });
    add(QStringLiteral("缩小"), QKeySequence::ZoomOut, [this] { ZoomBy(-1); });
    add(QStringLiteral("重置缩放"), QKeySequence(Qt::CTRL | Qt::Key_0), [this] { ZoomBy(0); });
    pMenu->addSeparator();
    add(
        QStringLiteral("页面另存为…"), QKeySequence::Save, [this] { SavePageWithDialog(); },
        Url().isLocalFile());
    return pMenu;
}

void CWebBrowser2::ShowFindBar() {
    m_pFindBar->show();
    m_pFindEdit->setFocus();
    m_pFindEdit->selectAll();
}

void CWebBrowser2::SetFindNote(const QString& note) {
    m_pFindNote->setText(note);
    m_pFindNote->setVisible(!note.isEmpty());
}

QString CWebBrowser2::FindNote() const {
    return m_pFindNote->text();
}

void CWebBrowser2::FindNext(bool bBackward) {
    m_pView->findText(m_pFindEdit->text(),
                      bBackward ? QWebEnginePage::FindBackward : QWebEnginePage::FindFlags());
}

void CWebBrowser2::ZoomBy(int nSteps) {
    const qreal dZoom = nSteps == 0 ? 1.0 : m_pView->zoomFactor() + 0.1 * nSteps;
    m_pView->setZoomFactor(std::clamp(dZoom, 0.3, 3.0));
}

double CWebBrowser2::Zoom() const {
    return m_pView->zoomFactor();
}

void CWebBrowser2::SetZoom(double dZoom) {
    m_pView->setZoomFactor(std::clamp(dZoom, 0.3, 3.0));
}

bool CWebBrowser2::SavePageAs(const QString& path) const {
    if (!Url().isLocalFile() || path.isEmpty()) {
        return false;
    }
    QFile::remove(path);
    return QFile::copy(Url().toLocalFile(), path);
}

void CWebBrowser2::SavePageWithDialog() {
    if (!Url().isLocalFile()) {
        return;
    }
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    SavePageAs(QFileDialog::getSaveFileName(
        this, QStringLiteral("页面另存为"),
        QDir(folder).filePath(QFileInfo(Url().toLocalFile()).fileName()),
        QStringLiteral("网页 (*.htm *.html)")));
}

bool CWebBrowser2::eventFilter(QObject* pWatched, QEvent* pEvent) {
    // In the find edit: Enter finds the next, Shift+Enter the previous, Esc closes the bar.
    if (pWatched == m_pFindEdit && pEvent->type() == QEvent::KeyPress) {
        const auto* pKey = static_cast<QKeyEvent*>(pEvent);
        if (pKey->key() == Qt::Key_Return || pKey->key() == Qt::Key_Enter) {
            FindNext((pKey->modifiers() & Qt::ShiftModifier) != 0);
            return true;
        }
        if (pKey->key() == Qt::Key_Escape) {
            m_pFindBar->hide();
            m_pView->findText(QString());
            m_pView->setFocus();
            return true;
        }
    }
    return QWidget::eventFilter(pWatched, pEvent);
}

CWebBrowser2::~CWebBrowser2() {
    // A page going answers its pending scripts: they must not navigate any more.
    m_bClosing = true;
    // The page goes before the profile it was made with, and the profile before its guard.
    delete m_pView;
    delete m_pProfile;
}

void CWebBrowser2::SetNight(bool bNight) {
    m_bNight = bNight;
    KeepScript(m_pView->page(), kNightScriptName, kNightScript, bNight);
}

void CWebBrowser2::SetNoPictures(bool bNoPictures) {
    m_bNoPictures = bNoPictures;
    KeepScript(m_pView->page(), kNoPicturesScriptName, kNoPicturesScript, bNoPictures);
}

void CWebBrowser2::SetOnlinePages(const QStringList& paths) {
    m_pGuard->SetOnline(paths);
}

void CWebBrowser2::SetPictureSource(PictureSource source) {
    m_pPictures->source = std::move(source);
}

void CWebBrowser2::ScrollToEnd(bool bEnd) {
    m_pView->page()->runJavaScript(
        bEnd ? QStringLiteral("window.scrollTo(0,document.documentElement."
                              "scrollHeight)")
             : QStringLiteral("window.scrollTo(0,0)"),
        QWebEngineScript::ApplicationWorld);
}

void CWebBrowser2::ScrollToTopRow() {
    m_pView->page()->runJavaScript(QString::fromLatin1(kScrollScript).arg(JsonString(*m_topRow)),
                                   QWebEngineScript::ApplicationWorld);
}

void CWebBrowser2::ScrollToElement(const QString& id) {
    m_pView->page()->runJavaScript(QString::fromLatin1(kElementScript).arg(JsonString(id)),
                                   QWebEngineScript::ApplicationWorld);
}

void CWebBrowser2::MoveToMarked(int nStep, std::function<void(bool)> done) {
    m_pView->page()->runJavaScript(QString::fromLatin1(kMarkedScript).arg(nStep),
                                   QWebEngineScript::ApplicationWorld,
                                   [this, done = std::move(done)](const QVariant& moved) {
                                       if (!m_bClosing) {
                                           done(moved.toBool());
                                       }
                                   });
}

void CWebBrowser2::PostsOnScreen(std::function<void(const QStringList&, int)> done) {
    m_pView->page()->runJavaScript(QString::fromLatin1(kOnScreenScript),
                                   QWebEngineScript::ApplicationWorld,
                                   [this, done = std::move(done)](const QVariant& screen) {
                                       if (!m_bClosing) {
                                           const QVariantMap answer = screen.toMap();
                                           done(answer.value(QStringLiteral("ids")).toStringList(),
                                                answer.value(QStringLiteral("y")).toInt());
                                       }
                                   });
}

void CWebBrowser2::RunScript(const QString& source, std::function<void(const QVariant&)> done) {
    if (!done) {
        m_pView->page()->runJavaScript(source, QWebEngineScript::ApplicationWorld);
        return;
    }
    m_pView->page()->runJavaScript(source, QWebEngineScript::ApplicationWorld,
                                   [this, done = std::move(done)](const QVariant& result) {
                                       if (!m_bClosing) {
                                           done(result);
                                       }
                                   });
}

void CWebBrowser2::Navigate(const QString& url) {
    static const QString kFilePrefix = QStringLiteral("file:///");
    QUrl target(url);
    if (url.startsWith(kFilePrefix)) {
        // A local path after the prefix; here paths begin at the root already.
        QString path = url.mid(kFilePrefix.size());
        if (!QDir::isAbsolutePath(path)) {
            path.prepend(QLatin1Char('/'));
        }
        target = QUrl::fromLocalFile(path);
    }
    const int nNavigation = ++m_nNavigation;
    m_bLoaded = false;
    m_topRow = QString();
    if (!std::exchange(m_bKeepTopRow, false) || !Url().isLocalFile()) {
        m_pView->setUrl(target);
        return;
    }
    // The post at the top is asked of the page still shown, and the new one loaded once it is
    // known, or after a moment without an answer (then at its top).
    const auto go = [this, nNavigation, target,
                     pGone = std::make_shared<bool>(false)](const QString& row) {
        if (nNavigation == m_nNavigation && !m_bClosing && !std::exchange(*pGone, true)) {
            m_topRow = row;
            m_pView->setUrl(target);
        }
    };
    m_pView->page()->runJavaScript(QString::fromLatin1(kTopRowScript),
                                   QWebEngineScript::ApplicationWorld,
                                   [go](const QVariant& row) { go(row.toString()); });
    QTimer::singleShot(3000, this, [go] { go(QString()); });
}

QUrl CWebBrowser2::Url() const {
    return m_pView->url();
}

void CWebBrowser2::AllowLocalFiles(const QStringList& paths) {
    m_pGuard->Allow(paths);
}

void CWebBrowser2::SetLinkHandler(std::function<bool(const QUrl&)> handler) {
    static_cast<ViewerPage*>(m_pView->page())->linkHandler = std::move(handler);
}

void CWebBrowser2::SetPlaceHandler(std::function<bool(const QString&)> handler) {
    static_cast<ViewerPage*>(m_pView->page())->placeHandler = std::move(handler);
}

void CWebBrowser2::SetNoticeHandler(std::function<void(Notice, const QUrl&)> handler) {
    static_cast<ViewerPage*>(m_pView->page())->noticeHandler = std::move(handler);
}

}  // namespace vesk
