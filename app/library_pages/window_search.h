#pragma once

#include "library_search.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>
#include <memory>
#include <string>

namespace vesk {

class CWebBrowser2;
class SearchBar;
class ShownPage;

// The library's search in the window: the bar's words searched on a thread of their own as the
// reader types, the hits shown as a page of ours beside the home page, grouped by thread, each a
// link (a home action) that opens its thread at the post.
class WindowSearch final : public QObject {
    Q_OBJECT

public:
    WindowSearch(const std::string& strLibraryFile, SearchBar& bar, const ShownPage& shown,
                 CWebBrowser2& browser);
    ~WindowSearch() override;

    // Whether the page shown is the search's.
    bool IsShown() const;
    // The bar stands above the home page and the search's page, and above any other page while
    // the reader has asked for it there; shownChanged tells when it comes or goes.
    void PageChanged();
    void Summon();
    // The index became complete: hits found while it was made are found again by it.
    void IndexCompleted();
    // The words the page shown was found by, for highlighting them where a hit opens.
    const QStringList& Words() const { return m_words; }
    std::function<void()> shownChanged;

private:
    void Ask();
    void OnAnswer(LibrarySearch::Answer answer);
    void SetVisible(bool bVisible);

    SearchBar& m_bar;
    const ShownPage& m_shown;
    CWebBrowser2& m_browser;
    std::unique_ptr<LibrarySearch> m_pSearch;
    int m_nAsked = 0;
    bool m_bIndexing = false;  // the last answer was found while the index was made
    SearchQuery m_asked;
    QStringList m_words;
    // The reader asked for the bar over a page that is not the library's.
    bool m_bSummoned = false;
};

}  // namespace vesk
