#include "person_reading.h"

#include "home_page.h"
#include "kept_reading.h"
#include "person_page.h"
#include "result_page.h"
#include "web_browser.h"

#include <QCursor>
#include <QMenu>
#include <QPointer>
#include <QTimer>
#include <QWebEngineView>

namespace vesk {

PersonReading::PersonReading(WindowLibrary& library, CWebBrowser2& browser, QString pagePath,
                             QUrl home)
    : m_library(library),
      m_browser(browser),
      m_pagePath(std::move(pagePath)),
      m_home(std::move(home)),
      m_pSeenTimer(new QTimer(this)) {
    m_pSeenTimer->setInterval(ScreenStillness::kSeenAfterMs / 2);
    connect(m_pSeenTimer, &QTimer::timeout, this, &PersonReading::NoteSeenPosts);
    // A part opened at the first post not read goes there once it is laid out.
    connect(m_browser.View(), &QWebEngineView::loadFinished, this, [this](bool bOk) {
        if (bOk && IsShown() && m_nLanding >= 0) {
            m_browser.ScrollToElement(QStringLiteral("p%1").arg(m_nLanding));
        }
        m_nLanding = -1;
    });
}

PersonReading::~PersonReading() {
    SaveSeen();
}

bool PersonReading::IsShown() const {
    return m_browser.Url().adjusted(QUrl::RemoveFragment | QUrl::RemoveQuery) ==
           QUrl::fromLocalFile(m_pagePath);
}

LibraryAnswer<bool> PersonReading::Open(const std::string& strName, int nFrom) {
    SaveSeen();
    PersonLinks links;
    links.post = [this](const ThreadKey& key, std::int64_t nPost) {
        return HomeActionUrl(m_home, HomeAction::kFind, key, nPost).toEncoded().toStdString();
    };
    links.part = [this, &strName](int nTo) {
        return PersonActionUrl(m_home, PersonAction::kPage, strName, nTo).toEncoded().toStdString();
    };
    links.follow = [this, &strName](bool bFollowed) {
        return PersonActionUrl(m_home, bFollowed ? PersonAction::kUnfollow : PersonAction::kFollow,
                               strName)
            .toEncoded()
            .toStdString();
    };
    LibraryAnswer<PersonPage> page = m_library.Person(strName, {nFrom}, links);
    if (!page.Ok()) {
        return {false, page.error, page.bBusy};
    }
    if (!WriteResultFile(m_pagePath.toStdString(), page.value.page.strText)) {
        return {false, QStringLiteral("无法写入") + m_pagePath, false};
    }
    m_strName = strName;
    m_nFrom = page.value.nFrom;
    m_ids = std::move(page.value.ids);
    // The first post not read is brought to the top, unless it is the part's first: the page's
    // top shows the person's figures above it.
    m_nLanding =
        nFrom < 0 && page.value.nFirstUnread > page.value.nFrom ? page.value.nFirstUnread : -1;
    m_screen.Reset();
    ++m_nPage;
    m_browser.Navigate(QUrl::fromLocalFile(m_pagePath).toString());
    m_pSeenTimer->start();
    if (opened) {
        opened(m_strName, m_nFrom);
    }
    return {true, {}, false};
}

LibraryAnswer<bool> PersonReading::Act(const PersonRequest& request) {
    if (request.action == PersonAction::kPage) {
        return Open(request.strName, request.nFrom);
    }
    const LibraryAnswer<bool> done =
        m_library.Follow(request.strName, request.action == PersonAction::kFollow);
    // The person's page shown says it anew.
    if (done.Ok() && IsShown() && request.strName == m_strName) {
        return Open(m_strName, m_nFrom);
    }
    return done;
}

void PersonReading::ShowNameMenu(const std::string& strName, bool bOnThread) {
    const LibraryAnswer<bool> followed = m_library.IsFollowed(strName);
    QMenu menu(m_browser.window());
    QAction* pOnly = bOnThread ? menu.addAction(QStringLiteral("只看此人")) : nullptr;
    QAction* pAll = menu.addAction(QStringLiteral("此人的全部帖子"));
    QAction* pFollow = followed.Ok() ? menu.addAction(followed.value ? QStringLiteral("取消关注")
                                                                     : QStringLiteral("关注此人"))
                                     : nullptr;
    QAction* pChosen = menu.exec(QCursor::pos());
    LibraryAnswer<bool> done{true, {}, false};
    if (pChosen != nullptr && pChosen == pOnly && onlyThisName) {
        onlyThisName(strName);
    } else if (pChosen != nullptr && pChosen == pAll) {
        done = Open(strName, -1);
    } else if (pChosen != nullptr && pChosen == pFollow) {
        done = Act({followed.value ? PersonAction::kUnfollow : PersonAction::kFollow, strName, 0});
    }
    if (!followed.Ok() || !done.Ok()) {
        if (failed) {
            failed(followed.Ok() ? done.error : followed.error);
        }
    }
}

void PersonReading::NoteSeenPosts() {
    if (!IsShown()) {
        m_pSeenTimer->stop();
        SaveSeen();
        return;
    }
    m_browser.PostsOnScreen([pThis = QPointer<PersonReading>(this), nPage = m_nPage](
                                const QStringList& ids, int nScrolled) {
        if (pThis == nullptr || pThis->m_nPage != nPage || !pThis->IsShown()) {
            return;
        }
        if (!pThis->m_screen.Seen(ids, nScrolled)) {
            return;
        }
        for (const QString& id : ids) {
            const int nIndex = KeptReading::RowIndex(id).value_or(-1) - pThis->m_nFrom;
            if (nIndex < 0 || nIndex >= static_cast<int>(pThis->m_ids.size())) {
                continue;
            }
            const std::int64_t nPost = pThis->m_ids[static_cast<std::size_t>(nIndex)];
            if (pThis->m_seen.insert(nPost).second) {
                pThis->m_unsaved.push_back(nPost);
            }
        }
    });
    SaveSeen();
}

void PersonReading::SaveSeen() {
    if (!m_unsaved.empty() && m_library.MarkPostsSeen(m_unsaved).Ok()) {
        m_unsaved.clear();
    }
}

}  // namespace vesk
