// People across the threads kept: one author's posts, the people followed and what a reading
// brought of them, and each thread's posts a week.

#include "thread_store.h"
#include "thread_store_rows.h"

#include <algorithm>

namespace vesk {

using store::ToInt;

std::vector<PersonPost> ThreadStore::PersonPosts(std::string_view author) {
    Statement& select = Cached(
        "SELECT id, thread, floor, time, state, deleted, vesk_at(time) FROM post WHERE author = ?");
    select.Bind(1, author);
    struct Sorted {
        std::int64_t nAt;
        PersonPost post;
    };
    std::vector<Sorted> posts;
    while (select.Step()) {
        posts.push_back({select.Int(6),
                         {select.Int(0), select.Int(1), static_cast<std::int32_t>(select.Int(2)),
                          std::string(select.Bytes(3)), static_cast<PostState>(select.Int(4)),
                          select.Int(5) != 0}});
    }
    select.Reset();
    // A time that cannot be read is -1: below every time that can.
    std::sort(posts.begin(), posts.end(), [](const Sorted& a, const Sorted& b) {
        return a.nAt != b.nAt ? a.nAt > b.nAt : a.post.nId > b.post.nId;
    });
    std::vector<PersonPost> sorted;
    sorted.reserve(posts.size());
    for (Sorted& post : posts) {
        sorted.push_back(std::move(post.post));
    }
    return sorted;
}

void ThreadStore::MarkPostsSeen(std::span<const std::int64_t> ids) {
    Transaction transaction(m_db);
    Statement& mark = Cached("UPDATE post SET state = 0 WHERE id = ? AND state <> 0");
    for (const std::int64_t nPost : ids) {
        mark.Bind(1, nPost).Run();
    }
    transaction.Commit();
}

void ThreadStore::Follow(std::string_view author, std::int64_t nWhen) {
    Cached("INSERT OR IGNORE INTO person(author, followed_at) VALUES (?, ?)")
        .Bind(1, author)
        .Bind(2, nWhen)
        .Run();
}

bool ThreadStore::Unfollow(std::string_view author) {
    Cached("DELETE FROM person WHERE author = ?").Bind(1, author).Run();
    return m_db.Changes() > 0;
}

bool ThreadStore::IsFollowed(std::string_view author) {
    Statement& select = Cached("SELECT 1 FROM person WHERE author = ?");
    const bool bFollowed = select.Bind(1, author).Step();
    select.Reset();
    return bFollowed;
}

std::vector<FollowedPerson> ThreadStore::Following() {
    // The counts come from the index on the author alone; the newest time reads their posts.
    Statement& select = Cached(
        "SELECT f.author,"
        " (SELECT count(*) FROM post p WHERE p.author = f.author AND p.deleted = 0),"
        " (SELECT count(*) FROM post p WHERE p.author = f.author AND p.state <> 0),"
        " (SELECT count(DISTINCT thread) FROM post p WHERE p.author = f.author),"
        " (SELECT time FROM post p WHERE p.author = f.author"
        "  ORDER BY vesk_at(p.time) DESC, p.id DESC LIMIT 1)"
        " FROM person f ORDER BY f.followed_at, f.author");
    std::vector<FollowedPerson> people;
    while (select.Step()) {
        people.push_back({std::string(select.Bytes(0)), ToInt(select.Int(1)), ToInt(select.Int(2)),
                          ToInt(select.Int(3)), std::string(select.Bytes(4))});
    }
    return people;
}

std::int64_t ThreadStore::LastPostId() {
    Statement& last = Cached("SELECT coalesce(max(id), 0) FROM post");
    last.Step();
    const std::int64_t nLast = last.Int(0);
    last.Reset();
    return nLast;
}

std::vector<PersonNews> ThreadStore::FollowedNews(std::int64_t nAfterId) {
    Statement& select = Cached(
        "SELECT f.author, t.board_code, t.thread_id, t.title, t.board_name, count(*)"
        " FROM person f JOIN post p ON p.author = f.author JOIN thread t ON t.id = p.thread"
        " WHERE p.id > ? AND p.state = 1 GROUP BY f.author, p.thread"
        " ORDER BY f.followed_at, f.author, count(*) DESC, p.thread");
    select.Bind(1, nAfterId);
    std::vector<PersonNews> news;
    while (select.Step()) {
        const int nNew = ToInt(select.Int(5));
        if (news.empty() || news.back().strName != select.Bytes(0)) {
            // The first thread of a person's is the one with the most.
            news.push_back({std::string(select.Bytes(0)),
                            0,
                            0,
                            {std::string(select.Bytes(1)), std::string(select.Bytes(2))},
                            std::string(select.Bytes(3)),
                            std::string(select.Bytes(4))});
        }
        news.back().nNew += nNew;
        ++news.back().nThreads;
    }
    select.Reset();
    return news;
}

std::vector<ActivityWeek> ThreadStore::Activity(std::int64_t nThread) {
    Statement& select = Cached(
        "SELECT week, posts, starter FROM activity WHERE thread = ? AND posts > 0 ORDER BY week");
    select.Bind(1, nThread);
    std::vector<ActivityWeek> weeks;
    while (select.Step()) {
        weeks.push_back({select.Int(0), ToInt(select.Int(1)), ToInt(select.Int(2))});
    }
    return weeks;
}

std::map<std::int64_t, std::vector<ActivityWeek>> ThreadStore::ActivitySince(
    std::int64_t nFromWeek) {
    Statement& select = Cached(
        "SELECT thread, week, posts, starter FROM activity"
        " WHERE (week >= ? OR week = -1) AND posts > 0 ORDER BY thread, week");
    select.Bind(1, nFromWeek);
    std::map<std::int64_t, std::vector<ActivityWeek>> threads;
    while (select.Step()) {
        threads[select.Int(0)].push_back(
            {select.Int(1), ToInt(select.Int(2)), ToInt(select.Int(3))});
    }
    return threads;
}

}  // namespace vesk
