#include "thread_page.h"

namespace vesk {

std::string_view MarkOf(const StoredPost& post) {
    if (post.bDeleted) {
        return kDeletedMark;
    }
    switch (post.state) {
        case PostState::kEdited:
            return kEditedMark;
        case PostState::kNew:
            return kNewMark;
        case PostState::kRead:
        case PostState::kDeleted:
            break;
    }
    return {};
}

ResultPage ComposeThreadPage(const StoredThread& thread, const std::vector<StoredPost>& posts,
                             const ResultFilter& filter, bool bOnlyUnread) {
    std::size_t nReserve = 0;
    for (const StoredPost& post : posts) {
        nReserve += 200 + post.strBody.size();
    }
    ResultPageComposer composer(thread.strTitle, thread.strStarter, filter, nReserve);
    for (const StoredPost& post : posts) {
        if (!bOnlyUnread || post.state != PostState::kRead) {
            composer.Add({post.nFloor, post.strAuthor, post.strTime, MarkOf(post), post.strBody});
        }
    }
    return composer.Finish();
}

}  // namespace vesk
