#include "window_search.h"

#include "home_page.h"
#include "search_bar.h"
#include "search_page.h"
#include "shown_page.h"
#include "web_browser.h"

#include <QLineEdit>

namespace vesk {

namespace {

constexpr int kWindowLimit = 200;

}  // namespace

WindowSearch::WindowSearch(const std::string& strLibraryFile, SearchBar& bar,
                           const ShownPage& shown, CWebBrowser2& browser)
    : m_bar(bar),
      m_shown(shown),
      m_browser(browser),
      m_pSearch(std::make_unique<LibrarySearch>(
          strLibraryFile, this,
          [this](LibrarySearch::Answer answer) { OnAnswer(std::move(answer)); })) {
    connect(&m_bar, &SearchBar::searchAsked, this, &WindowSearch::Ask);
    connect(&m_browser, &CWebBrowser2::urlChanged, this, &WindowSearch::PageChanged);
    connect(&m_bar, &SearchBar::closed, this, [this] {
        m_bSummoned = false;
        if (shownChanged) {
            shownChanged();
        }
    });
}

WindowSearch::~WindowSearch() = default;

bool WindowSearch::IsShown() const {
    return m_browser.Url() == QUrl::fromLocalFile(m_shown.SearchPath());
}

void WindowSearch::PageChanged() {
    const bool bLibrary = IsShown() || m_browser.Url() == QUrl::fromLocalFile(m_shown.HomePath());
    // A hit opened, or any other page, leaves the bar to the library's pages.
    m_bSummoned = m_bSummoned && m_bar.Edit()->hasFocus();
    SetVisible(bLibrary || m_bSummoned);
}

void WindowSearch::Summon() {
    m_bSummoned = true;
    SetVisible(true);
    m_bar.Summon();
}

void WindowSearch::SetVisible(bool bVisible) {
    if (bVisible == m_bar.isHidden()) {
        m_bar.setVisible(bVisible);
        if (shownChanged) {
            shownChanged();
        }
    }
}

void WindowSearch::IndexCompleted() {
    if (m_bIndexing && IsShown()) {
        Ask();
    }
    m_bIndexing = false;
}

void WindowSearch::Ask() {
    const QString words = m_bar.Words();
    if (words.isEmpty()) {
        m_bar.SetStatus({});
        return;
    }
    m_asked = {};
    m_asked.strText = words.toStdString();
    m_asked.bStarter = m_bar.StarterOnly();
    m_asked.bEarlier = m_bar.Earlier();
    m_asked.nLimit = kWindowLimit;
    m_nAsked = m_pSearch->Ask(m_asked);
    m_bar.SetStatus(QStringLiteral("正在搜索…"));
}

void WindowSearch::OnAnswer(LibrarySearch::Answer answer) {
    if (answer.nAsked != m_nAsked) {
        return;
    }
    if (!answer.error.isEmpty()) {
        m_bar.SetStatus(QStringLiteral("无法搜索：") + answer.error);
        return;
    }
    const QUrl home = QUrl::fromLocalFile(m_shown.HomePath());
    const ResultPage page =
        ComposeSearchPage(m_asked.strText, answer.hits, m_asked.nLimit, [&](const SearchHit& hit) {
            return HomeActionUrl(home, HomeAction::kFind, hit.key, hit.nPost)
                .toEncoded()
                .toStdString();
        });
    if (!m_shown.WriteSearch(page)) {
        m_bar.SetStatus(QStringLiteral("搜索结果页无法写入：") + m_shown.SearchPath());
        return;
    }
    m_words.clear();
    for (const std::string& word : SearchWords(m_asked.strText)) {
        m_words.append(QString::fromStdString(word));
    }
    // While the index is made, every post is read: slower, but nothing is missed.
    const auto nFound = static_cast<int>(answer.hits.size());
    const QString found = nFound == 0                ? QStringLiteral("没有找到")
                          : nFound >= m_asked.nLimit ? QStringLiteral("找到至少 %1 条").arg(nFound)
                                                     : QStringLiteral("找到 %1 条").arg(nFound);
    m_bIndexing = answer.bIndexing;
    m_bar.SetStatus((answer.bIndexing ? QStringLiteral("索引建立中，") : QString()) + found);
    // The bar keeps the focus while the reader types on.
    m_browser.Navigate(QUrl::fromLocalFile(m_shown.SearchPath()).toString());
}

}  // namespace vesk
