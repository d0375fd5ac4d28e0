#include "home_page.h"

#include "activity.h"
#include "body_writers.h"
#include "code_page.h"

#include <QDateTime>
#include <QUrlQuery>
#include <iterator>

namespace vesk {

namespace {

constexpr const char* kActions[] = {"open",    "refresh", "forget", "watch",
                                    "unwatch", "find",    "check"};

// A title or a board's name as its words, without the board's markup.
QString FromForum(std::string_view bytes) {
    return QString::fromStdString(ShownText(bytes)).toHtmlEscaped();
}

}  // namespace

QUrl HomeActionUrl(const QUrl& home, HomeAction action, const ThreadKey& key, std::int64_t nPost) {
    QUrl url = home;
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("do"),
                       QString::fromLatin1(kActions[static_cast<int>(action)]));
    // Board codes and thread numbers are the forum's bytes: carried percent-encoded, as they are.
    query.addQueryItem(
        QStringLiteral("board"),
        QString::fromLatin1(QByteArray::fromStdString(key.strBoardCode).toPercentEncoding()));
    query.addQueryItem(
        QStringLiteral("thread"),
        QString::fromLatin1(QByteArray::fromStdString(key.strThreadId).toPercentEncoding()));
    if (nPost != 0) {
        query.addQueryItem(QStringLiteral("post"), QString::number(nPost));
    }
    url.setQuery(query);
    return url;
}

QUrl PersonActionUrl(const QUrl& home, PersonAction action, std::string_view name, int nFrom) {
    static constexpr const char* kPersonActions[] = {"person", "follow", "unfollow"};
    QUrl url = home;
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("do"),
                       QString::fromLatin1(kPersonActions[static_cast<int>(action)]));
    query.addQueryItem(
        QStringLiteral("name"),
        QString::fromLatin1(QByteArray(name.data(), static_cast<qsizetype>(name.size())).toHex()));
    if (action == PersonAction::kPage) {
        query.addQueryItem(QStringLiteral("from"), QString::number(nFrom));
    }
    url.setQuery(query);
    return url;
}

std::optional<PersonRequest> ReadPersonAction(const QUrl& home, const QUrl& url) {
    if (url.adjusted(QUrl::RemoveQuery | QUrl::RemoveFragment) != home || !url.hasQuery()) {
        return std::nullopt;
    }
    const QUrlQuery query(url);
    const QString what = query.queryItemValue(QStringLiteral("do"));
    const QString hex = query.queryItemValue(QStringLiteral("name"));
    std::optional<PersonAction> action;
    if (what == QLatin1String("person")) {
        action = PersonAction::kPage;
    } else if (what == QLatin1String("follow")) {
        action = PersonAction::kFollow;
    } else if (what == QLatin1String("unfollow")) {
        action = PersonAction::kUnfollow;
    }
    const QByteArray name = QByteArray::fromHex(hex.toLatin1());
    if (!action || name.isEmpty() || name.toHex() != hex.toLatin1()) {
        return std::nullopt;
    }
    return PersonRequest{*action, name.toStdString(),
                         query.queryItemValue(QStringLiteral("from")).toInt()};
}

std::optional<HomeRequest> ReadHomeAction(const QUrl& home, const QUrl& url) {
    if (url.adjusted(QUrl::RemoveQuery | QUrl::RemoveFragment) != home || !url.hasQuery()) {
        return std::nullopt;
    }
    const QUrlQuery query(url);
    for (int i = 0; i < static_cast<int>(std::size(kActions)); ++i) {
        if (query.queryItemValue(QStringLiteral("do")) == QLatin1String(kActions[i])) {
            const auto bytes = [&](const char* pszName) {
                return QByteArray::fromPercentEncoding(
                           query.queryItemValue(QLatin1String(pszName), QUrl::FullyEncoded)
                               .toLatin1())
                    .toStdString();
            };
            ThreadKey key{bytes("board"), bytes("thread")};
            if (key.strBoardCode.empty() || key.strThreadId.empty()) {
                return std::nullopt;
            }
            return HomeRequest{static_cast<HomeAction>(i), std::move(key),
                               query.queryItemValue(QStringLiteral("post")).toLongLong()};
        }
    }
    return std::nullopt;
}

QString ComposeHomePage(const QUrl& home, const std::vector<ThreadListing>& threads,
                        const HomeFigures& figures, const QString& libraryFile,
                        const QString& error) {
    QString page = QStringLiteral(
        "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>帖子库</title>"
        "<style>body{font:13px sans-serif;margin:12px 16px;color:#222}"
        "h1{font-size:16px;color:#3568BB;margin:0 0 10px}"
        "table{border-collapse:collapse;width:100%}"
        "td,th{text-align:left;padding:5px 8px;border-bottom:1px solid #dde6f3;vertical-align:top}"
        "th{color:#555;font-weight:normal;background:#f3f7fc}"
        ".n{text-align:right;white-space:nowrap}.new{color:#c00;font-weight:bold}"
        ".board{color:#777;font-size:12px}.act a{margin-right:10px}"
        ".error{background:#fdecea;border:1px solid #f5c2c0;padding:8px 10px}"
        "h2{font-size:14px;color:#3568BB;margin:4px 0 6px}.people{margin:0 0 14px}"
        ".people a{margin-right:4px}th,.act{white-space:nowrap}"
        // A narrow window keeps the threads' names and links, not their charts.
        "@media (max-width:900px){.wk{display:none}}</style>"
        "</head><body><h1>帖子库</h1>\n");
    if (!error.isEmpty()) {
        page += QStringLiteral("<p class=error>帖子库无法使用（") + libraryFile.toHtmlEscaped() +
                QStringLiteral("）：") + error.toHtmlEscaped() + QStringLiteral("</p>\n");
    }
    if (!figures.people.empty()) {
        page += QStringLiteral(
            "<h2>关注的人</h2><table class=people><tr><th>名字</th>"
            "<th class=n>已存</th><th class=n>未读</th><th>最新一帖</th>"
            "<th></th></tr>\n");
        for (const FollowedPerson& person : figures.people) {
            const auto link = [&](PersonAction action, int nFrom, const QString& text) {
                return QStringLiteral("<a href=\"") +
                       QString::fromLatin1(
                           PersonActionUrl(home, action, person.strName, nFrom).toEncoded())
                           .toHtmlEscaped() +
                       QStringLiteral("\">") + text + QStringLiteral("</a>");
            };
            page += QStringLiteral("<tr><td>") +
                    link(PersonAction::kPage, -1, FromForum(person.strName)) +
                    QStringLiteral("<div class=board>在 ") + QString::number(person.nThreads) +
                    QStringLiteral(" 个帖子里</div></td><td class=n>") +
                    QString::number(person.nPosts) + QStringLiteral("</td>") +
                    (person.nUnread > 0 ? QStringLiteral("<td class=\"n new\">")
                                        : QStringLiteral("<td class=n>")) +
                    QString::number(person.nUnread) + QStringLiteral("</td><td>") +
                    FromForum(person.strLastTime) + QStringLiteral("</td><td class=act>") +
                    link(PersonAction::kPage, -1, QStringLiteral("看帖")) +
                    link(PersonAction::kUnfollow, 0, QStringLiteral("取消关注")) +
                    QStringLiteral("</td></tr>\n");
        }
        page += QStringLiteral("</table><h2>帖子</h2>\n");
    }
    page += QStringLiteral(
        "<table><tr><th>帖子</th><th class=n>已存</th><th class=n>新帖</th>"
        "<th class=n>楼主新帖</th><th class=wk>近 12 "
        "周</th><th>最后读取</th><th>最后更新</th><th></th>"
        "</tr>\n");
    for (const ThreadListing& thread : threads) {
        const auto link = [&](HomeAction action, const QString& text) {
            return QStringLiteral("<a href=\"") +
                   QString::fromLatin1(HomeActionUrl(home, action, thread.key).toEncoded())
                       .toHtmlEscaped() +
                   QStringLiteral("\">") + text + QStringLiteral("</a>");
        };
        const auto when = [](std::int64_t nSeconds) {
            return nSeconds == 0 ? QStringLiteral("—")
                                 : QDateTime::fromSecsSinceEpoch(nSeconds).toLocalTime().toString(
                                       QStringLiteral("yyyy-MM-dd HH:mm"));
        };
        // The thread's weeks, the starter's darker; nothing when a time could not be read.
        const auto chart = [&](std::int64_t nThread) {
            const auto found = figures.weeks.find(nThread);
            const std::optional<std::vector<ActivityWeek>> weeks = WeeksEnding(
                found != figures.weeks.end() ? std::span<const ActivityWeek>(found->second)
                                             : std::span<const ActivityWeek>(),
                figures.nThisWeek, kHomeChartWeeks);
            return weeks ? QString::fromLatin1(ActivityChart(*weeks, true).c_str()) : QString();
        };
        // Built by joining, not by placeholders: a title may hold "%1" itself.
        const auto figure = [](int nValue) {
            return (nValue > 0 ? QStringLiteral("<td class=\"n new\">")
                               : QStringLiteral("<td class=n>")) +
                   QString::number(nValue) + QStringLiteral("</td>");
        };
        page += QStringLiteral("<tr><td>") + link(HomeAction::kOpen, FromForum(thread.strTitle)) +
                QStringLiteral("<div class=board>") + FromForum(thread.strBoardName) +
                QStringLiteral("</div></td><td class=n>") + QString::number(thread.nPosts) +
                QStringLiteral("</td>") + figure(thread.nUnread) + figure(thread.nStarterUnread) +
                QStringLiteral("<td class=wk>") + chart(thread.nId) + QStringLiteral("</td><td>") +
                when(thread.nReadAt) + QStringLiteral("</td><td>") + when(thread.nRefreshed) +
                QStringLiteral("<div class=board>全帖核对于 ") + when(thread.nCheckedAt) +
                QStringLiteral("</div></td><td class=act>") +
                link(HomeAction::kOpen, QStringLiteral("打开")) +
                link(HomeAction::kRefresh, QStringLiteral("读取全帖")) +
                link(HomeAction::kCheck, QStringLiteral("核对全帖")) +
                (thread.bWatched ? link(HomeAction::kUnwatch, QStringLiteral("取消关注"))
                                 : link(HomeAction::kWatch, QStringLiteral("关注"))) +
                link(HomeAction::kForget, QStringLiteral("忘记")) + QStringLiteral("</td></tr>\n");
    }
    page += QStringLiteral("</table></body></html>\n");
    return page;
}

}  // namespace vesk
