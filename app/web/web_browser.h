#pragma once

#include <QByteArray>
#include <QSet>
#include <QString>
#include <QUrl>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

class QLabel;
class QLineEdit;
class QMenu;
class QWebEngineProfile;
class QWebEngineView;

namespace vesk {

class LocalFileGuard;
class PictureHandler;

// The window's web view, as the dialog drives it: Navigate to an address. The pages it shows
// hold a forum's HTML as it stands, so: no script of a page ever runs; of the local files only
// the ones allowed (the result page and its style sheet) load, whatever a page links to;
// pictures and styles from the web still load; the view goes only where Navigate sends it (a
// refresh, a redirect or a frame that would take it elsewhere is refused); a link clicked in a
// page opens in the desktop's browser when it is a web address and the view keeps its page,
// except links that the owner takes (the start page's thread addresses); any other link does
// nothing. Its context menu and Ctrl+F serve a reader: copy, select all, find in the page, zoom,
// save the page as a file.
class CWebBrowser2 final : public QWidget {
    Q_OBJECT

public:
    explicit CWebBrowser2(QWidget* pParent = nullptr);
    ~CWebBrowser2() override;

    // An address, or a local file's path after "file:///"; the four optional arguments of the
    // platform's Navigate are never used by this program.
    void Navigate(const QString& url);
    // The next Navigate keeps the post at the top of the view there when the new page still
    // shows it; any other opens at the top.
    void KeepTopRowOnNextPage() { m_bKeepTopRow = true; }
    // Brings the element of this id to the top of the view.
    void ScrollToElement(const QString& id);
    // Brings the next (+1) or previous (-1) post marked not read (class "vk-u") to the top of the
    // view; done is told whether there was one.
    void MoveToMarked(int nStep, std::function<void(bool)> done);
    // The ids of the posts on screen now (those with an id), the top one first, and how far the
    // page is scrolled (pixels).
    void PostsOnScreen(std::function<void(const QStringList& ids, int nScrolled)> done);
    // Runs a script of the program's own in the page shown, in the view's own script world (the
    // page's scripts never run); done, when given, is told what it gave back.
    void RunScript(const QString& source, std::function<void(const QVariant&)> done = {});
    // The local files the view may load; everything else under file:// is blocked.
    void AllowLocalFiles(const QStringList& paths);
    // The local pages that may load from the network (the go's page shows the board's pictures);
    // every other page, the library's among them, loads nothing from it.
    void SetOnlinePages(const QStringList& paths);
    // Where the pictures our pages name by their hash come from: their type and bytes, or
    // nothing when the picture is not kept.
    using PictureSource =
        std::function<std::optional<std::pair<QByteArray, QByteArray>>(const QString& hash)>;
    void SetPictureSource(PictureSource source);
    // The pictures of our pages hidden, each a placeholder with its address in its place, or
    // shown.
    void SetNoPictures(bool bNoPictures);
    bool IsNoPictures() const { return m_bNoPictures; }
    // Called with the address of a link clicked in a page; true when it was taken (the view then
    // neither follows it nor hands it to the desktop).
    void SetLinkHandler(std::function<bool(const QUrl&)> handler);
    // Called with the place (the part after '#') of a link to a place in the page shown; true
    // when it was taken, else the view brings that element to the top.
    void SetPlaceHandler(std::function<bool(const QString&)> handler);
    // What the user should hear of: a navigation the view refused, or a web address the
    // desktop's browser could not open.
    enum class Notice { kNavigationRefused, kCouldNotOpen };
    void SetNoticeHandler(std::function<void(Notice, const QUrl&)> handler);

    // The reader's commands, as the context menu and the keys offer them.
    void ShowFindBar();
    void FindNext(bool bBackward = false);
    void ZoomBy(int nSteps);  // 0: back to 100 %
    double Zoom() const;
    void SetZoom(double dZoom);
    // Every page shown in the night's colours (light text on a dark ground), or as it is.
    void SetNight(bool bNight);
    bool IsNight() const { return m_bNight; }
    // Scrolls the page to its top, or to its end.
    void ScrollToEnd(bool bEnd);
    // Writes the local page shown, byte for byte, to the path; false when there is none or the
    // file cannot be written.
    bool SavePageAs(const QString& path) const;
    // The context menu as it opens at a point of the view.
    QMenu* CreateContextMenu();
    QLineEdit* FindEdit() const { return m_pFindEdit; }
    // A line in the find bar on what the find reaches (empty: none).
    void SetFindNote(const QString& note);
    QString FindNote() const;

    // Whether the page of the latest Navigate has loaded.
    bool IsLoaded() const { return m_bLoaded; }
    // The address of the page shown (or being loaded).
    QUrl Url() const;
    QWebEngineView* View() const { return m_pView; }

signals:
    // The page shown scrolled, by the reader or by a script.
    void scrolled();
    // The view shows another address (or is loading it).
    void urlChanged();

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
    void BuildFindBar();
    void SavePageWithDialog();
    void ScrollToTopRow();

    std::unique_ptr<LocalFileGuard> m_pGuard;
    std::unique_ptr<PictureHandler> m_pPictures;
    QWebEngineProfile* m_pProfile;
    QWebEngineView* m_pView;
    QWidget* m_pFindBar;
    QLineEdit* m_pFindEdit;
    QLabel* m_pFindNote;
    bool m_bKeepTopRow = false;
    bool m_bNight = false;
    bool m_bNoPictures = false;
    bool m_bClosing = false;
    // Of the latest Navigate: its number, whether its page has loaded, and the post to bring to
    // the top once it has (empty: the top of the page; none: not known yet).
    int m_nNavigation = 0;
    bool m_bLoaded = false;
    std::optional<QString> m_topRow;
};

}  // namespace vesk
