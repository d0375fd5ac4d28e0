#pragma once

#include "thread_store.h"

#include <QString>
#include <QUrl>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vesk {

// What the home page shows beside the threads: the people followed, and each thread's weeks (by
// its id) up to this week.
struct HomeFigures {
    std::vector<FollowedPerson> people;
    std::map<std::int64_t, std::vector<ActivityWeek>> weeks;
    std::int64_t nThisWeek = 0;
};
// The weeks of bars a thread has on the home page.
inline constexpr int kHomeChartWeeks = 12;

// The library's home page: the people followed with their unread posts, each a link to their
// page; then the kept threads, last refreshed first, each with its figures, its posts a week
// (the starter's darker) over the last kHomeChartWeeks weeks unless a time could not be read, and
// the links that open it, read it whole and forget it. Every text from the forum is escaped: the
// page is ours. strError, when not empty, says why the library cannot be used.
QString ComposeHomePage(const QUrl& home, const std::vector<ThreadListing>& threads,
                        const HomeFigures& figures, const QString& libraryFile,
                        const QString& error);

// The home page's action links: the home page's own address with the action (open, refresh or
// forget, watch, unwatch; or, from the search's page, find: open at a post) and the thread (and
// the post's id) in its query, so that they are asked of the window as the page's links and act
// only when a page of the library's is the one shown.
enum class HomeAction { kOpen, kRefresh, kForget, kWatch, kUnwatch, kFind, kCheck };
QUrl HomeActionUrl(const QUrl& home, HomeAction action, const ThreadKey& key,
                   std::int64_t nPost = 0);
struct HomeRequest {
    HomeAction action;
    ThreadKey key;
    std::int64_t nPost = 0;
};
std::optional<HomeRequest> ReadHomeAction(const QUrl& home, const QUrl& url);

// The links about a person, as the home page's: their page from its nFrom-th post (-1: the part
// that holds their first post not read, there), following them, no longer following them.
enum class PersonAction { kPage, kFollow, kUnfollow };
QUrl PersonActionUrl(const QUrl& home, PersonAction action, std::string_view name, int nFrom = 0);
struct PersonRequest {
    PersonAction action;
    std::string strName;  // the board's bytes
    int nFrom = 0;
};
std::optional<PersonRequest> ReadPersonAction(const QUrl& home, const QUrl& url);

}  // namespace vesk
