#pragma once

#include <QSet>
#include <QString>
#include <QUrl>
#include <QWidget>
#include <functional>
#include <memory>

class QWebEngineProfile;
class QWebEngineView;

namespace vesk {

class LocalFileGuard;

// The window's web view, as the dialog drives it: Navigate to an address, nothing more. The
// pages it shows hold a forum's HTML as it stands, so: no script of a page ever runs; of the
// local files only the ones allowed (the result page and its style sheet) load, whatever a page
// links to; pictures and styles from the web still load; a link clicked in a page opens in the
// desktop's browser and the view keeps its page, except links that the owner takes (the start
// page's thread addresses).
class CWebBrowser2 final : public QWidget {
    Q_OBJECT

public:
    explicit CWebBrowser2(QWidget* pParent = nullptr);
    ~CWebBrowser2() override;

    // An address, or a local file's path after "file:///"; the four optional arguments of the
    // platform's Navigate are never used by this program.
    void Navigate(const QString& url);
    // The local files the view may load; everything else under file:// is blocked.
    void AllowLocalFiles(const QStringList& paths);
    // Called with the address of a link clicked in a page; true when it was taken (the view then
    // neither follows it nor hands it to the desktop).
    void SetLinkHandler(std::function<bool(const QUrl&)> handler);

    // The address of the page shown (or being loaded).
    QUrl Url() const;
    QWebEngineView* View() const { return m_pView; }

private:
    std::unique_ptr<LocalFileGuard> m_pGuard;
    QWebEngineProfile* m_pProfile;
    QWebEngineView* m_pView;
};

}  // namespace vesk
