#pragma once

#include "screen_stillness.h"
#include "window_library.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

namespace vesk {

class CWebBrowser2;

// Where a kept thread opens: its first post not read yet (with bStarter, the starter's first),
// or else the reading place when the outline holds it; -1 for the top. An index into the outline.
int LandingPost(const KeptThread& kept, bool bStarter);

// A kept thread as the window shows it, of any size: the page holds a window of its posts in
// the filter chosen, around the place the reader is at, and takes more from the library as the
// reader nears either end, or another part on a jump; posts far from the place leave the page
// again. Two spacers stand for the posts not in the page, so that the scroll bar tells where in
// the whole thread the reader is. What the reader saw is read, kept in the library each look.
class KeptReading final : public QObject {
    Q_OBJECT

public:
    // The posts a page opens with, before and after its place; what a step towards an end adds;
    // the most the page holds.
    static constexpr int kBefore = 50;
    static constexpr int kAfter = 100;
    static constexpr int kStep = 100;
    static constexpr int kMostShown = 600;

    // The page is written to strPagePath and shown in the browser; kept holds the outline of the
    // whole thread.
    KeptReading(WindowLibrary& library, CWebBrowser2& browser, std::string strPagePath,
                KeptThread kept);
    ~KeptReading() override;
    KeptReading(const KeptReading&) = delete;
    KeptReading& operator=(const KeptReading&) = delete;

    const KeptThread& Kept() const { return m_kept; }
    // The index of the post a row id ("p<index>") names.
    static std::optional<int> RowIndex(const QString& id);
    // The posts in the filter shown; the index of the post at the top of the view (-1 before
    // the page tells); the indices the page holds, from and to (past the last).
    int Total() const { return static_cast<int>(m_kept.outline.size()); }
    // Those of them the board no longer shows.
    int Deleted() const;
    // Whether the filter shown leaves posts out.
    bool IsFiltered() const { return m_kept.outline.size() < m_whole.size(); }
    int Top() const { return m_nTop; }
    int First() const { return m_nFirst; }
    int Last() const { return m_nLast; }
    // Whether the browser shows this thread's page, loaded (bLoading: loaded by the view, before
    // the page has been set up).
    bool IsShown(bool bLoading = false) const;

    // The posts shown are the filter's, from now on (the whole thread's for all posts); the
    // library's error when it could not answer.
    LibraryAnswer<bool> Choose(const PostFilter& selection);
    // Writes the page around the post of index nAt (-1: the top) and shows it; why not, when the
    // library could not give the posts or the page could not be written.
    LibraryAnswer<bool> Open(int nAt);
    // The same thread in another selection, at the post that was at the top or the first after
    // it: the page shown takes the new posts in place; why not, as Open.
    LibraryAnswer<bool> Select(const PostFilter& selection);

    // The index of the first post not read from floor nFloor on in the filter shown, which an
    // update brought: the news line tells the unread posts before it. -1 when there is none.
    int Brought(std::int32_t nFloor);
    // The posts not read before the first an update brought, as the news line counts them.
    int EarlierUnread() const;

    // The post of this index is the one looked for: marked, with these words highlighted in it,
    // in this page and whenever it comes into the page again.
    void Target(int nIndex, const QStringList& words);

    // Brings the post of this index to the top, loading its part of the thread when needed.
    void GoTo(int nIndex);
    // To the thread's first post, or its end.
    void GoToEnd(bool bEnd);
    // To the first post of this floor or after it: the floor it went to, 0 when the thread shown
    // has none.
    std::int32_t GoToFloor(int nFloor);
    // To the next (+1) or previous (-1) post not read; done says whether there was one.
    void MoveToMarked(int nStep, std::function<void(bool)> done);

    // Asks the view which posts are on screen: the top one is the reading place, and they are read
    // once they have stood on screen, the page still, for about a second (kSeenAfterMs) by the
    // answers to these calls. A glance while scrolling or jumping reads nothing.
    void NoteSeenPosts();
    static constexpr int kSeenAfterMs = ScreenStillness::kSeenAfterMs;
    // Keeps what was seen in the library, when it is free.
    void SaveSeen();
    // The page tells the place anew (the top post, what it holds).
    std::function<void()> placeChanged;
    // More posts could not be had: the library's error.
    std::function<void(const QString& error)> failed;

private:
    // Open, or in the page shown (bInPlace).
    LibraryAnswer<bool> Show(int nAt, bool bInPlace);
    // The posts of indices [nFrom, nTo) as rows, or why the library could not give them.
    LibraryAnswer<std::string> Rows(int nFrom, int nTo);
    // Whether the rows came; when not, the page asks no more for now.
    bool Taken(const LibraryAnswer<std::string>& rows);
    // Asks the page whether it needs more, after a scroll or a change.
    void Check();
    void OnWant(const QVariant& answer);
    // Adds kStep posts before (-1) or after (+1) those shown.
    void More(int nSide);
    // Puts the part around nAt in place of the posts shown, nAt at the top (bEnd: the page's end).
    void Replace(int nAt, bool bEnd);
    // Runs a call of the page's side, answered only while the same page is shown.
    void Run(const QString& call, std::function<void(const QVariant&)> done = {});
    void NoteTop(const QVariant& top);
    // The find bar says what part of the thread it searches.
    void TellFind();
    // The page's call that marks the post looked for, or empty.
    QString TargetCall() const;

    WindowLibrary& m_library;
    CWebBrowser2& m_browser;
    std::string m_strPagePath;
    // The thread with the outline of the posts shown, and the whole thread's.
    KeptThread m_kept;
    std::vector<OutlinePost> m_whole;
    // Every post seen while shown here, read in every outline.
    std::unordered_set<std::int64_t> m_seen;
    // The page's number, so that answers of a page gone are not taken for this one's.
    int m_nPage = 0;
    bool m_bLoaded = false;
    // A question to the page or a change of its posts is under way.
    bool m_bAsking = false;
    int m_nLanding = -1;
    int m_nFirst = 0;
    int m_nLast = 0;
    int m_nTop = -1;
    // What is on screen, and since when it stands still there.
    ScreenStillness m_screen;
    // What the library has not taken yet: posts seen, and the reading place (a post's id).
    std::vector<std::int64_t> m_unsavedSeen;
    std::int64_t m_nPlace = 0;
    std::int64_t m_nSavedPlace = 0;
    int m_nTarget = -1;
    int m_nBrought = -1;
    QStringList m_targetWords;
};

}  // namespace vesk
