#include "people_commands.h"

#include "arguments.h"
#include "exit_codes.h"
#include "forum_address.h"
#include "person_page.h"
#include "watch_notice.h"

#include <cstdio>

namespace vesk {

namespace {

std::string Quoted(std::string_view name) {
    return "「" + OneLineUtf8(name) + "」";
}

}  // namespace

int FollowPerson(ThreadStore& store, std::string_view name, bool bFollow) {
    if (!bFollow) {
        if (!store.Unfollow(name)) {
            PrintLine("vesk-library：没有关注" + Quoted(name));
            return kExitNotFound;
        }
        PrintLine("不再关注" + Quoted(name));
        return kExitDone;
    }
    store.Follow(name, std::time(nullptr));
    const std::vector<PersonPost> posts = store.PersonPosts(name);
    PrintLine("已关注" + Quoted(name) + "（帖子库里有此人 " + std::to_string(posts.size()) +
              " 帖）");
    return kExitDone;
}

int ListFollowing(ThreadStore& store) {
    for (const FollowedPerson& person : store.Following()) {
        std::printf("%s\t%d\t%d\t%s\n", OneLineUtf8(person.strName).c_str(), person.nPosts,
                    person.nUnread, OneLineUtf8(person.strLastTime).c_str());
    }
    return kExitDone;
}

int WritePersonPage(ThreadStore& store, std::string_view name, bool bOnlyUnread,
                    const std::string& strOut, const std::string& strBase) {
    PersonLinks links;
    links.post = [&strBase](const ThreadKey& key, std::int64_t) {
        return ThreadPageAddress(strBase, key.strBoardCode, key.strThreadId);
    };
    const PersonPage page = ComposePersonPage(store, name, {0, 0, bOnlyUnread}, links,
                                              PictureForm::kLinks, CurrentWeek());
    if (page.nKept == 0) {
        PrintLine("vesk-library：帖子库里没有" + Quoted(name) + "的帖子");
        return kExitNotFound;
    }
    if (!WritePage(strOut, page.page.strText)) {
        return kExitFileFailed;
    }
    if (page.nTotal == 0) {
        PrintLine(Quoted(name) + "没有未读的帖子");
    }
    store.MarkPostsSeen(page.ids);
    return kExitDone;
}

void TellFollowedNews(ThreadStore& store, std::int64_t nAfterId) {
    for (const PersonNews& news : store.FollowedNews(nAfterId)) {
        PrintLine(MakePersonNotice(news).strSummary);
    }
}

}  // namespace vesk
