#include "kept_reading.h"

#include "code_page.h"
#include "person_page.h"
#include "request_checks.h"
#include "result_page.h"
#include "web_browser.h"

#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPointer>
#include <QUrl>
#include <QVariantList>
#include <QWebEngineView>
#include <algorithm>
#include <optional>

namespace vesk {

namespace {

// A post's height in the page until the page has measured its own.
constexpr int kRowGuessPx = 60;

// The page's side of the window of posts (kept_pieces.js), read once.
const QString& PiecesScript() {
    static const QString script = [] {
        QFile file(QStringLiteral(":/vesk/reading/kept_pieces.js"));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }();
    return script;
}

QString ScriptString(const QString& text) {
    return QString::fromUtf8(QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact)) +
           QStringLiteral("[0]");
}

ReadingNews NewsOf(const KeptThread& kept, int nBrought) {
    ReadingNews news;
    if (kept.nCheckedAt > 0) {
        news.strChecked = Utf16ToGbk(
            (QStringLiteral("全帖核对于 ") + QDateTime::fromSecsSinceEpoch(kept.nCheckedAt)
                                                 .toLocalTime()
                                                 .toString(QStringLiteral("yyyy-MM-dd HH:mm")))
                .toStdU16String());
    }
    if (std::optional<std::vector<ActivityWeek>> weeks =
            WeeksEnding(kept.activity, CurrentWeek(), kChartWeeks)) {
        for (ActivityWeek& week : *weeks) {
            week.nPosts = week.nMarked;
        }
        news.starterWeeks = std::move(weeks);
    }
    const std::vector<OutlinePost>& outline = kept.outline;
    for (std::size_t i = 0; i < outline.size(); ++i) {
        const OutlinePost& post = outline[i];
        const int nIndex = static_cast<int>(i);
        if (nIndex < nBrought && post.state != PostState::kRead && !post.bDeleted) {
            news.nFirstEarlier = news.nEarlier++ == 0 ? nIndex : news.nFirstEarlier;
        }
        if (post.state == PostState::kNew && !post.bDeleted) {
            news.nFirst = news.nNew++ == 0 ? nIndex : news.nFirst;
            if (post.bStarter) {
                news.nFirstStarter = news.nStarterNew++ == 0 ? nIndex : news.nFirstStarter;
            }
        }
    }
    return news;
}

}  // namespace

int LandingPost(const KeptThread& kept, bool bStarter) {
    int nPlace = -1;
    for (std::size_t i = 0; i < kept.outline.size(); ++i) {
        const OutlinePost& post = kept.outline[i];
        nPlace = post.nId == kept.thread.nReadPost ? static_cast<int>(i) : nPlace;
        if (post.state != PostState::kRead && !post.bDeleted && (!bStarter || post.bStarter)) {
            return static_cast<int>(i);
        }
    }
    return nPlace;
}

KeptReading::KeptReading(WindowLibrary& library, CWebBrowser2& browser, std::string strPagePath,
                         KeptThread kept)
    : m_library(library),
      m_browser(browser),
      m_strPagePath(std::move(strPagePath)),
      m_kept(std::move(kept)),
      m_whole(m_kept.outline),
      m_nPlace(m_kept.thread.nReadPost),
      m_nSavedPlace(m_kept.thread.nReadPost) {
    connect(&m_browser, &CWebBrowser2::scrolled, this, &KeptReading::Check);
    connect(m_browser.View(), &QWebEngineView::loadFinished, this, [this](bool bOk) {
        if (!bOk || m_bLoaded || !IsShown(true)) {
            return;
        }
        m_bLoaded = true;
        m_bAsking = true;
        Run(TargetCall() + QStringLiteral("vkp.set(%1,%2,%3,%4)")
                               .arg(m_nFirst)
                               .arg(m_nLast)
                               .arg(Total())
                               .arg(m_nLanding),
            [this](const QVariant& top) {
                m_bAsking = false;
                NoteTop(top);
                Check();
            });
    });
}

KeptReading::~KeptReading() {
    m_browser.SetFindNote({});
}

void KeptReading::Target(int nIndex, const QStringList& words) {
    m_nTarget = nIndex;
    m_targetWords = words;
    if (IsShown()) {
        Run(TargetCall());
    }
}

QString KeptReading::TargetCall() const {
    if (m_nTarget < 0) {
        return {};
    }
    return QStringLiteral("vkp.hit(%1,").arg(m_nTarget) +
           QString::fromUtf8(QJsonDocument(QJsonArray::fromStringList(m_targetWords))
                                 .toJson(QJsonDocument::Compact)) +
           QStringLiteral(");");
}

std::optional<int> KeptReading::RowIndex(const QString& id) {
    bool bNumber = false;
    const int nIndex = id.mid(1).toInt(&bNumber);
    return id.startsWith(QLatin1Char('p')) && bNumber ? std::optional<int>(nIndex) : std::nullopt;
}

bool KeptReading::IsShown(bool bLoading) const {
    return (bLoading || m_bLoaded) && m_browser.IsLoaded() &&
           m_browser.Url() == QUrl::fromLocalFile(QString::fromStdString(m_strPagePath));
}

LibraryAnswer<std::string> KeptReading::Rows(int nFrom, int nTo) {
    std::vector<std::int64_t> ids;
    for (int i = nFrom; i < nTo; ++i) {
        ids.push_back(m_kept.outline[static_cast<std::size_t>(i)].nId);
    }
    LibraryAnswer<std::vector<StoredPost>> posts = m_library.PostsById(ids);
    if (!posts.Ok()) {
        return {{}, posts.error, posts.bBusy};
    }
    // A post that went from the library meanwhile leaves its place empty; one seen here is read.
    std::vector<int> indices;
    std::size_t nAt = 0;
    for (StoredPost& post : posts.value) {
        while (nAt < ids.size() && ids[nAt] != post.nId) {
            ++nAt;
        }
        if (nAt == ids.size()) {
            break;
        }
        const int nIndex = nFrom + static_cast<int>(nAt);
        post.state = m_kept.outline[static_cast<std::size_t>(nIndex)].state;
        indices.push_back(nIndex);
    }
    posts.value.resize(indices.size());
    return {
        ComposeReadingRows(m_kept.thread, posts.value, indices, m_kept.earlier, m_kept.pictures),
        {},
        false};
}

bool KeptReading::Taken(const LibraryAnswer<std::string>& rows) {
    if (rows.Ok()) {
        return true;
    }
    // A busy library is asked again at the next scroll; one that cannot answer is told.
    m_bAsking = false;
    if (!rows.bBusy && failed) {
        failed(rows.error);
    }
    return false;
}

int KeptReading::Brought(std::int32_t nFloor) {
    const std::vector<OutlinePost>& outline = m_kept.outline;
    for (std::size_t i = 0; nFloor != 0 && i < outline.size(); ++i) {
        if (outline[i].nFloor >= nFloor && outline[i].state != PostState::kRead) {
            return m_nBrought = static_cast<int>(i);
        }
    }
    return m_nBrought = -1;
}

int KeptReading::EarlierUnread() const {
    return NewsOf(m_kept, m_nBrought).nEarlier;
}

int KeptReading::Deleted() const {
    return static_cast<int>(std::count_if(m_kept.outline.begin(), m_kept.outline.end(),
                                          [](const OutlinePost& post) { return post.bDeleted; }));
}

LibraryAnswer<bool> KeptReading::Open(int nAt) {
    return Show(nAt, false);
}

LibraryAnswer<bool> KeptReading::Show(int nAt, bool bInPlace) {
    const int nTotal = Total();
    nAt = std::min(nAt, nTotal - 1);
    const int nLast = std::min(nTotal, std::max(nAt, 0) + kAfter);
    const int nFirst = std::max(0, std::min(nAt - kBefore, nLast - kBefore - kAfter));
    const LibraryAnswer<std::string> composed = Rows(nFirst, nLast);
    if (!composed.Ok()) {
        return {false, composed.error, composed.bBusy};
    }
    const std::string& rows = composed.value;
    // The file holds what is shown, in place or loaded anew.
    const ReadingNews news = NewsOf(m_kept, m_nBrought);
    const ResultPage page =
        ComposeReadingPage(m_kept.thread, news, rows, nLast - nFirst, nFirst * kRowGuessPx,
                           (nTotal - nLast) * kRowGuessPx);
    if (!WriteResultFile(m_strPagePath, page.strText)) {
        return {false, QString::fromUtf8(kCreateFileFailedMessage.data(),
                                         static_cast<qsizetype>(kCreateFileFailedMessage.size())) +
                           QString::fromStdString(m_strPagePath)};
    }
    ++m_nPage;
    m_bAsking = bInPlace;
    m_nFirst = nFirst;
    m_nLast = nLast;
    m_nLanding = nAt;
    m_nTop = std::max(nAt, nTotal > 0 ? 0 : -1);
    if (bInPlace) {
        Run(QStringLiteral("vkp.news(") +
                ScriptString(QString::fromStdU16String(GbkToUtf16(ReadingNewsLine(news)))) +
                QStringLiteral(");vkp.reset(") +
                ScriptString(QString::fromStdU16String(GbkToUtf16(rows))) +
                QStringLiteral(",%1,%2,%3,%4,false)").arg(nFirst).arg(nLast).arg(nTotal).arg(nAt),
            [this](const QVariant& top) {
                m_bAsking = false;
                NoteTop(top);
                Check();
            });
    } else {
        m_bLoaded = false;
        // The same file as the go's page, but the library's: nothing of it from the network.
        m_browser.SetOnlinePages({});
        m_browser.Navigate(QStringLiteral("file:///") + QString::fromStdString(m_strPagePath));
    }
    TellFind();
    if (placeChanged) {
        placeChanged();
    }
    return {true, {}, false};
}

LibraryAnswer<bool> KeptReading::Choose(const PostFilter& selection) {
    m_nBrought = -1;
    // The whole thread's outline is kept from the opening, with what was seen since.
    if (selection.mode == PostFilter::Mode::kAll) {
        m_kept.outline = m_whole;
    } else {
        LibraryAnswer<std::vector<OutlinePost>> outline =
            m_library.Outline(m_kept.thread, selection);
        if (!outline.Ok()) {
            return {false, outline.error, outline.bBusy};
        }
        m_kept.outline = std::move(outline.value);
    }
    for (OutlinePost& post : m_kept.outline) {
        post.state = m_seen.contains(post.nId) ? PostState::kRead : post.state;
    }
    return {true, {}, false};
}

LibraryAnswer<bool> KeptReading::Select(const PostFilter& selection) {
    // The post at the top stays there when the new selection holds it, else the first after it.
    const bool bTop = m_nTop > 0 && m_nTop < Total();
    const OutlinePost top = bTop ? m_kept.outline[static_cast<std::size_t>(m_nTop)] : OutlinePost();
    if (LibraryAnswer<bool> chosen = Choose(selection); !chosen.Ok()) {
        return chosen;
    }
    int nAt = -1;
    if (bTop) {
        const std::vector<OutlinePost>& now = m_kept.outline;
        auto found = std::find_if(now.begin(), now.end(),
                                  [&top](const OutlinePost& post) { return post.nId == top.nId; });
        if (found == now.end()) {
            found = std::find_if(now.begin(), now.end(), [&top](const OutlinePost& post) {
                return post.nSortFloor > top.nSortFloor;
            });
        }
        nAt = static_cast<int>(found - now.begin());
    }
    return Show(nAt, IsShown());
}

void KeptReading::Run(const QString& call, std::function<void(const QVariant&)> done) {
    m_browser.RunScript(PiecesScript() + call,
                        [pThis = QPointer<KeptReading>(this), nPage = m_nPage,
                         done = std::move(done)](const QVariant& result) {
                            if (pThis != nullptr && pThis->m_nPage == nPage && done) {
                                done(result);
                            }
                        });
}

void KeptReading::NoteTop(const QVariant& top) {
    const int nTop = top.toInt();
    if (nTop >= 0 && nTop < Total() && nTop != m_nTop) {
        m_nTop = nTop;
        if (placeChanged) {
            placeChanged();
        }
    }
}

void KeptReading::TellFind() {
    m_browser.SetFindNote(m_nLast - m_nFirst < Total()
                              ? QStringLiteral("只在已显示的第 %1–%2 帖中查找（共 %3 帖）")
                                    .arg(m_nFirst + 1)
                                    .arg(m_nLast)
                                    .arg(Total())
                              : QString());
}

void KeptReading::Check() {
    if (m_bAsking || !IsShown()) {
        return;
    }
    m_bAsking = true;
    Run(QStringLiteral("vkp.want()"), [this](const QVariant& answer) { OnWant(answer); });
}

void KeptReading::OnWant(const QVariant& answer) {
    const QVariantList want = answer.toList();
    NoteTop(want.value(2, -1));
    switch (want.value(0).toInt()) {
        case 1:
            Replace(want.value(1).toInt(), false);
            return;
        case 2:
            More(want.value(1).toInt());
            return;
        default:
            m_bAsking = false;
            return;
    }
}

void KeptReading::More(int nSide) {
    const int nFrom = nSide < 0 ? std::max(0, m_nFirst - kStep) : m_nLast;
    const int nTo = nSide < 0 ? m_nFirst : std::min(Total(), m_nLast + kStep);
    const LibraryAnswer<std::string> more =
        nFrom < nTo ? Rows(nFrom, nTo) : LibraryAnswer<std::string>{};
    if (nFrom >= nTo || !Taken(more)) {
        return;
    }
    const std::string& rows = more.value;
    m_nFirst = std::min(m_nFirst, nFrom);
    m_nLast = std::max(m_nLast, nTo);
    // The posts farthest from the place leave the page.
    const int nOver = std::max(0, m_nLast - m_nFirst - kMostShown);
    (nSide < 0 ? m_nLast : m_nFirst) += nSide < 0 ? -nOver : nOver;
    Run(QStringLiteral("vkp.add(%1,").arg(nSide) +
            ScriptString(QString::fromStdU16String(GbkToUtf16(rows))) +
            QStringLiteral(",%1,%2)").arg(m_nFirst).arg(m_nLast),
        [this](const QVariant& top) {
            m_bAsking = false;
            NoteTop(top);
            Check();
        });
    TellFind();
}

void KeptReading::Replace(int nAt, bool bEnd) {
    const int nTotal = Total();
    nAt = std::clamp(nAt, 0, std::max(nTotal - 1, 0));
    const int nLast = bEnd ? nTotal : std::min(nTotal, nAt + kAfter);
    const int nFirst = std::max(0, std::min(nAt - kBefore, nLast - kBefore - kAfter));
    const LibraryAnswer<std::string> part = Rows(nFirst, nLast);
    if (!Taken(part)) {
        return;
    }
    const std::string& rows = part.value;
    m_nFirst = nFirst;
    m_nLast = nLast;
    m_bAsking = true;
    Run(QStringLiteral("vkp.reset(") + ScriptString(QString::fromStdU16String(GbkToUtf16(rows))) +
            QStringLiteral(",%1,%2,%3,%4,%5)")
                .arg(nFirst)
                .arg(nLast)
                .arg(nTotal)
                .arg(nAt)
                .arg(bEnd ? QStringLiteral("true") : QStringLiteral("false")),
        [this](const QVariant& top) {
            m_bAsking = false;
            NoteTop(top);
            Check();
        });
    TellFind();
}

void KeptReading::GoTo(int nIndex) {
    if (!IsShown() || nIndex < 0 || nIndex >= Total()) {
        return;
    }
    if (nIndex >= m_nFirst && nIndex < m_nLast) {
        Run(QStringLiteral("vkp.go(%1)").arg(nIndex),
            [this](const QVariant& top) { NoteTop(top); });
    } else {
        Replace(nIndex, false);
    }
}

void KeptReading::GoToEnd(bool bEnd) {
    if (!IsShown()) {
        return;
    }
    if (bEnd ? m_nLast == Total() : m_nFirst == 0) {
        Run(QStringLiteral("vkp.end(%1)").arg(bEnd ? 1 : 0),
            [this](const QVariant& top) { NoteTop(top); });
    } else {
        Replace(bEnd ? Total() - 1 : 0, bEnd);
    }
}

std::int32_t KeptReading::GoToFloor(int nFloor) {
    const auto found =
        std::find_if(m_kept.outline.begin(), m_kept.outline.end(),
                     [nFloor](const OutlinePost& post) { return post.nSortFloor >= nFloor; });
    if (found == m_kept.outline.end()) {
        return 0;
    }
    GoTo(static_cast<int>(found - m_kept.outline.begin()));
    return found->nSortFloor;
}

void KeptReading::MoveToMarked(int nStep, std::function<void(bool)> done) {
    if (!IsShown()) {
        return;
    }
    m_browser.MoveToMarked(nStep, [pThis = QPointer<KeptReading>(this), nPage = m_nPage, nStep,
                                   done = std::move(done)](bool bMoved) {
        if (pThis == nullptr || pThis->m_nPage != nPage) {
            return;
        }
        // Past the posts in the page, the outline knows what is still not read.
        const std::vector<OutlinePost>& outline = pThis->m_kept.outline;
        int nNext = -1;
        for (int i = nStep > 0 ? pThis->m_nLast : pThis->m_nFirst - 1;
             !bMoved && nNext < 0 && i >= 0 && i<pThis->Total(); i += nStep> 0 ? 1 : -1) {
            nNext = outline[static_cast<std::size_t>(i)].state != PostState::kRead ? i : -1;
        }
        if (nNext >= 0) {
            pThis->Replace(nNext, false);
        }
        done(bMoved || nNext >= 0);
    });
}

void KeptReading::NoteSeenPosts() {
    if (IsShown()) {
        m_browser.PostsOnScreen([pThis = QPointer<KeptReading>(this), nPage = m_nPage](
                                    const QStringList& ids, int nScrolled) {
            if (pThis == nullptr || pThis->m_nPage != nPage) {
                return;
            }
            const bool bSeen = pThis->m_screen.Seen(ids, nScrolled);
            for (const QString& id : ids) {
                const int nIndex = RowIndex(id).value_or(-1);
                if (nIndex < 0 || nIndex >= pThis->Total()) {
                    continue;
                }
                OutlinePost& post = pThis->m_kept.outline[static_cast<std::size_t>(nIndex)];
                if (id == ids.front()) {
                    pThis->m_nPlace = post.nId;
                    pThis->NoteTop(nIndex);
                }
                if (bSeen && post.state != PostState::kRead) {
                    pThis->m_unsavedSeen.push_back(post.nId);
                    pThis->m_seen.insert(post.nId);
                    post.state = PostState::kRead;
                }
            }
        });
    }
    SaveSeen();
}

void KeptReading::SaveSeen() {
    if ((!m_unsavedSeen.empty() || m_nPlace != m_nSavedPlace) &&
        m_library.MarkSeen(m_kept.thread.nId, m_unsavedSeen, m_nPlace).Ok()) {
        m_unsavedSeen.clear();
        m_nSavedPlace = m_nPlace;
    }
}

}  // namespace vesk
