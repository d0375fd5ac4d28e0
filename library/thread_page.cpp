#include "thread_page.h"

#include "code_page.h"

#include <string>

namespace vesk {

namespace {

// The marks' colours and the bar on the left of a marked post.
constexpr std::string_view kReadingStyle =
    "<style type=\"text/css\">"
    ".vk-m{color:#fff;border-radius:3px;padding:0 4px;margin-left:4px;font-weight:bold}"
    ".vk-new>td{border-left:4px solid #E8740C}.vk-new .vk-m{background:#E8740C}"
    ".vk-edited>td{border-left:4px solid #2F7DD3}.vk-edited .vk-m{background:#2F7DD3}"
    ".vk-deleted>td{border-left:4px solid #888}.vk-deleted .vk-m{background:#888}"
    ".vk-head{padding:4px 10px;color:#555}.vk-head a{color:#C0392B;font-weight:bold}"
    "details.vk-before{margin:2px 0 4px 20px;color:#666}"
    "details.vk-before summary{cursor:pointer;color:#2F7DD3}"
    ".vk-before div{border-left:2px solid #ccc;padding-left:8px;margin-top:2px}"
    "</style>";

std::string Gbk(std::string_view utf8) {
    return Utf8ToGbk(utf8).value_or(std::string());
}

std::string_view KindClass(const StoredPost& post) {
    if (post.bDeleted) {
        return "vk-deleted";
    }
    return post.state == PostState::kEdited ? "vk-edited"
           : post.state == PostState::kNew  ? "vk-new"
                                            : "";
}

// "楼主新帖 N 条 · 新帖 M 条", each count a link to the first of its posts when there is one.
std::string NewsLine(int nStarterNew, int nFirstStarter, int nNew, int nFirst) {
    const auto part = [](std::string_view label, int nCount, int nRow) {
        std::string text = Gbk(label) + " ";
        const std::string count = std::to_string(nCount) + " " + Gbk("条");
        if (nRow < 0) {
            return text + count;
        }
        return text + "<a href=#p" + std::to_string(nRow) + ">" + count + "</a>";
    };
    return "<div class=vk-head>" + part("楼主新帖", nStarterNew, nFirstStarter) + " " + Gbk("·") +
           " " + part("新帖", nNew, nFirst) + "</div>";
}

std::string EarlierMarkup(const std::vector<std::string>& bodies) {
    std::string markup = "<details class=vk-before><summary>" + Gbk("修改前") + "</summary>";
    for (const std::string& body : bodies) {
        markup.append("<div>").append(body).append("</div>");
    }
    return markup + "</details>";
}

}  // namespace

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
            composer.Add(
                {post.nFloor, post.strAuthor, post.strTime, MarkOf(post), post.strBody, {}, {}});
        }
    }
    return composer.Finish();
}

EarlierBodies EarlierBodiesOf(const std::vector<ThreadChange>& history) {
    EarlierBodies earlier;
    for (auto it = history.rbegin(); it != history.rend(); ++it) {
        if (!it->bDeleted && it->nFloor != 0) {
            earlier[it->nFloor].push_back(it->strBody);
        }
    }
    return earlier;
}

ResultPage ComposeReadingPage(const StoredThread& thread, const std::vector<StoredPost>& posts,
                              const ResultFilter& filter, const EarlierBodies& earlier) {
    std::size_t nReserve = 0;
    for (const StoredPost& post : posts) {
        nReserve += 260 + post.strBody.size();
    }
    ResultPageComposer composer(thread.strTitle, thread.strStarter, filter, nReserve,
                                kReadingStyle);
    int nNew = 0;
    int nStarterNew = 0;
    int nFirst = -1;
    int nFirstStarter = -1;
    for (std::size_t i = 0; i < posts.size(); ++i) {
        const StoredPost& post = posts[i];
        if (post.state == PostState::kNew && !post.bDeleted && composer.Passes(post.strAuthor)) {
            const int nRow = static_cast<int>(i);
            nFirst = nNew++ == 0 ? nRow : nFirst;
            if (IsThreadStarter(post.strAuthor, thread.strStarter)) {
                nFirstStarter = nStarterNew++ == 0 ? nRow : nFirstStarter;
            }
        }
    }
    if (nNew > 0) {
        composer.AddLine(NewsLine(nStarterNew, nFirstStarter, nNew, nFirst));
    }
    std::string attributes;
    std::string mark;
    std::string after;
    for (std::size_t i = 0; i < posts.size(); ++i) {
        const StoredPost& post = posts[i];
        const std::string_view kind = KindClass(post);
        attributes = "id=p" + std::to_string(i);
        if (!kind.empty()) {
            attributes.append(" class=\"")
                .append(post.state != PostState::kRead ? "vk-u " : "")
                .append(kind)
                .append("\"");
        }
        const std::string_view text = MarkOf(post);
        mark = text.empty() ? std::string() : "<span class=vk-m>" + std::string(text) + "</span>";
        const auto found = post.nFloor != 0 ? earlier.find(post.nFloor) : earlier.end();
        after = found != earlier.end() ? EarlierMarkup(found->second) : std::string();
        composer.Add(
            {post.nFloor, post.strAuthor, post.strTime, mark, post.strBody, attributes, after});
    }
    return composer.Finish();
}

}  // namespace vesk
