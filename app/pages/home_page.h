#pragma once

#include "thread_store.h"

#include <QString>
#include <QUrl>
#include <optional>
#include <vector>

namespace vesk {

// The library's home page: the kept threads, last refreshed first, each with its figures and the
// links that open it, read it whole and forget it. Every text from the forum is escaped: the page
// is ours. strError, when not empty, says why the library cannot be used.
QString ComposeHomePage(const QUrl& home, const std::vector<ThreadListing>& threads,
                        const QString& libraryFile, const QString& error);

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

}  // namespace vesk
