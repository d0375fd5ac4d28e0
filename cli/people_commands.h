#pragma once

// vesk-library's commands about people: following them, the people followed, a person's page,
// and what a refresh brought of them.

#include "thread_store.h"

#include <string>
#include <string_view>

namespace vesk {

// follow NAME, unfollow NAME (name in the board's bytes); the exit code.
int FollowPerson(ThreadStore& store, std::string_view name, bool bFollow);
// following: a line a person followed, "name TAB posts kept TAB unread TAB newest post's time".
int ListFollowing(ThreadStore& store);
// author NAME: the person's page to strOut, every post or with bOnlyUnread those not read, each
// linking to its thread's page at the forum strBase; the posts written are read then.
int WritePersonPage(ThreadStore& store, std::string_view name, bool bOnlyUnread,
                    const std::string& strOut, const std::string& strBase);
// What a reading brought of the people followed, a line each on stderr: the posts above
// nAfterId.
void TellFollowedNews(ThreadStore& store, std::int64_t nAfterId);

}  // namespace vesk
