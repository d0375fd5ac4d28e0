#include "web_browser.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineView>
#include <mutex>

namespace vesk {

namespace {

QString CleanPath(const QString& path) {
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

// Clicked links go to the owner's handler or to the desktop's browser; the view stays.
class ViewerPage final : public QWebEnginePage {
public:
    ViewerPage(QWebEngineProfile* pProfile, QObject* pParent) : QWebEnginePage(pProfile, pParent) {}
    std::function<bool(const QUrl&)> linkHandler;

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool bMainFrame) override {
        if (type != NavigationTypeLinkClicked) {
            return QWebEnginePage::acceptNavigationRequest(url, type, bMainFrame);
        }
        // Our own bundled pages link to each other.
        if (url.scheme() == QLatin1String("qrc")) {
            return true;
        }
        if (!(linkHandler && linkHandler(url))) {
            QDesktopServices::openUrl(url);
        }
        return false;
    }
};

}  // namespace

// Blocks every file:// load but the allowed files. It runs on the web engine's own thread.
class LocalFileGuard final : public QWebEngineUrlRequestInterceptor {
public:
    void Allow(const QStringList& paths) {
        std::lock_guard lock(m_mutex);
        m_allowed.clear();
        for (const QString& path : paths) {
            m_allowed.insert(CleanPath(path));
        }
    }

    void interceptRequest(QWebEngineUrlRequestInfo& info) override {
        const QUrl url = info.requestUrl();
        if (!url.isLocalFile() && url.scheme() != QLatin1String("file")) {
            return;
        }
        std::lock_guard lock(m_mutex);
        info.block(!m_allowed.contains(CleanPath(url.toLocalFile())));
    }

private:
    std::mutex m_mutex;
    QSet<QString> m_allowed;
};

CWebBrowser2::CWebBrowser2(QWidget* pParent)
    : QWidget(pParent),
      m_pGuard(std::make_unique<LocalFileGuard>()),
      // Off the record: nothing of what is shown is kept on disk.
      m_pProfile(new QWebEngineProfile(this)),
      m_pView(new QWebEngineView(this)) {
    m_pProfile->setUrlRequestInterceptor(m_pGuard.get());
    QWebEngineSettings* pSettings = m_pProfile->settings();
    pSettings->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    pSettings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
    pSettings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
    pSettings->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    m_pView->setPage(new ViewerPage(m_pProfile, m_pView));
    auto* pLayout = new QVBoxLayout(this);
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->addWidget(m_pView);
    setFocusProxy(m_pView);
}

CWebBrowser2::~CWebBrowser2() {
    // The page goes before the profile it was made with, and the profile before its guard.
    delete m_pView;
    delete m_pProfile;
}

void CWebBrowser2::Navigate(const QString& url) {
    static const QString kFilePrefix = QStringLiteral("file:///");
    if (url.startsWith(kFilePrefix)) {
        // A local path after the prefix; here paths begin at the root already.
        QString path = url.mid(kFilePrefix.size());
        if (!QDir::isAbsolutePath(path)) {
            path.prepend(QLatin1Char('/'));
        }
        m_pView->setUrl(QUrl::fromLocalFile(path));
        return;
    }
    m_pView->setUrl(QUrl(url));
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

}  // namespace vesk
