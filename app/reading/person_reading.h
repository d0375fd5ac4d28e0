#pragma once

#include "screen_stillness.h"
#include "window_library.h"

#include <QObject>
#include <QString>
#include <QUrl>
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_set>
#include <vector>

class QTimer;

namespace vesk {

class CWebBrowser2;
struct PersonRequest;

// A person as the window shows them: their page of posts across the kept threads, a part at a
// time, whose posts are read once they have stood on screen as a thread's are; following them;
// and the menu a name opens on our pages.
class PersonReading final : public QObject {
    Q_OBJECT

public:
    // The page is written to pagePath; its links are the home page's (home).
    PersonReading(WindowLibrary& library, CWebBrowser2& browser, QString pagePath, QUrl home);
    ~PersonReading() override;
    PersonReading(const PersonReading&) = delete;
    PersonReading& operator=(const PersonReading&) = delete;

    // Shows the person's posts from the nFrom-th newest, or (-1) the part that holds their first
    // post not read, brought to the top; why not, when the library could not give them or the
    // page could not be written.
    LibraryAnswer<bool> Open(const std::string& strName, int nFrom);
    const std::string& Name() const { return m_strName; }
    // Whether the browser shows the person's page.
    bool IsShown() const;
    // A link of the person's page or the home page about a person: shown, followed or no longer.
    LibraryAnswer<bool> Act(const PersonRequest& request);

    // The menu of a name clicked on one of our pages, at the pointer: 只看此人 (when bOnThread:
    // the thread shown with the name filter of this name), 此人的全部帖子, 关注此人 or 取消关注.
    void ShowNameMenu(const std::string& strName, bool bOnThread);
    // 只看此人 was chosen.
    std::function<void(const std::string& strName)> onlyThisName;
    // A part of a person's page is shown: the person, the part's first post.
    std::function<void(const std::string& strName, int nFrom)> opened;
    // The library could not do what was asked: its error.
    std::function<void(const QString& error)> failed;

    // Asks the view which posts are on screen; those that stood still there for about a second
    // are read.
    void NoteSeenPosts();
    void SaveSeen();

private:
    WindowLibrary& m_library;
    CWebBrowser2& m_browser;
    QString m_pagePath;
    QUrl m_home;
    QTimer* m_pSeenTimer;
    std::string m_strName;
    int m_nFrom = 0;
    std::vector<std::int64_t> m_ids;
    // The page's number, so that answers of a page gone are not taken for this one's.
    int m_nPage = 0;
    int m_nLanding = -1;
    ScreenStillness m_screen;
    std::unordered_set<std::int64_t> m_seen;
    std::vector<std::int64_t> m_unsaved;
};

}  // namespace vesk
