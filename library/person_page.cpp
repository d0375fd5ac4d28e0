#include "person_page.h"

#include "activity.h"
#include "body_writers.h"
#include "code_page.h"
#include "post_sanitiser.h"
#include "thread_page.h"
#include "watch_notice.h"

#include <algorithm>
#include <set>

namespace vesk {

namespace {

constexpr char kHex[] = "0123456789abcdef";

std::string Gbk(std::string_view utf8) {
    return Utf8ToGbk(utf8).value_or(std::string());
}

// The line above the posts: the person's figures, following, the chart.
std::string FiguresLine(const std::vector<PersonPost>& all, bool bFollowed,
                        const PersonLinks& links, std::int64_t nThisWeek) {
    int nKept = 0;
    int nUnread = 0;
    std::set<std::int64_t> threads;
    std::vector<ActivityWeek> weeks;
    for (const PersonPost& post : all) {
        nKept += post.bDeleted ? 0 : 1;
        nUnread += post.state != PostState::kRead ? 1 : 0;
        threads.insert(post.nThread);
        weeks.push_back({WeekOfTime(post.strTime), 1, 0});
    }
    std::string line = "<div class=vk-head>" + Gbk("共 " + std::to_string(nKept) + " 帖，未读 ") +
                       std::to_string(nUnread) + Gbk(" 帖，在 ") + std::to_string(threads.size()) +
                       Gbk(" 个帖子里");
    if (bFollowed) {
        line += Gbk(" · 已关注");
    }
    if (links.follow) {
        line += " <a href=\"";
        AppendEscapedText(line, links.follow(bFollowed));
        line += "\">" + Gbk(bFollowed ? "取消关注" : "关注此人") + "</a>";
    }
    if (const auto shown = WeeksEnding(weeks, nThisWeek, kChartWeeks)) {
        line += "<br>" + Gbk("近 " + std::to_string(kChartWeeks) + " 周每周发帖 ") +
                ActivityChart(*shown, false);
    }
    return line + "</div>";
}

// "第 a–b 帖（共 n 帖） · 更新的 · 更早的", the latter two links when there is such a part.
std::string PartLine(int nFrom, int nShown, int nTotal, const PersonLinks& links, int nCount) {
    std::string line = "<div class=vk-head>" + Gbk("第 " + std::to_string(nFrom + 1) + "–" +
                                                   std::to_string(nFrom + nShown) + " 帖（共 " +
                                                   std::to_string(nTotal) + " 帖）");
    const auto link = [&](int nTo, std::string_view text) {
        line += " " + Gbk("·") + " <a href=\"";
        AppendEscapedText(line, links.part(nTo));
        line += "\">" + Gbk(text) + "</a>";
    };
    if (links.part && nFrom > 0) {
        link(std::max(0, nFrom - nCount), "更新的");
    }
    if (links.part && nFrom + nShown < nTotal) {
        link(nFrom + nShown, "更早的");
    }
    return line + "</div>";
}

}  // namespace

std::string NameHex(std::string_view name) {
    std::string hex;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        hex += kHex[byte >> 4];
        hex += kHex[byte & 15];
    }
    return hex;
}

std::optional<std::string> NameOfHex(std::string_view hex) {
    if (hex.empty() || hex.size() % 2 != 0) {
        return std::nullopt;
    }
    std::string name;
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const char* pHigh = std::char_traits<char>::find(kHex, 16, hex[i]);
        const char* pLow = std::char_traits<char>::find(kHex, 16, hex[i + 1]);
        if (pHigh == nullptr || pLow == nullptr) {
            return std::nullopt;
        }
        name += static_cast<char>((pHigh - kHex) * 16 + (pLow - kHex));
    }
    return name;
}

std::string PersonLink(std::string_view author) {
    return "?who=" + NameHex(author);
}

std::optional<std::string> PersonOfLink(std::string_view query) {
    constexpr std::string_view kWho = "who=";
    return query.starts_with(kWho) ? NameOfHex(query.substr(kWho.size())) : std::nullopt;
}

PersonPage ComposePersonPage(ThreadStore& store, std::string_view author, const PersonPart& part,
                             const PersonLinks& links, PictureForm form, std::int64_t nThisWeek) {
    const std::vector<PersonPost> all = store.PersonPosts(author);
    std::vector<const PersonPost*> selected;
    for (const PersonPost& post : all) {
        if (!part.bOnlyUnread || post.state != PostState::kRead) {
            selected.push_back(&post);
        }
    }
    PersonPage result;
    result.nTotal = static_cast<int>(selected.size());
    result.nKept = static_cast<int>(all.size());
    for (std::size_t i = 0; i < selected.size(); ++i) {
        if (selected[i]->state != PostState::kRead) {
            result.nFirstUnread = static_cast<int>(i);
            break;
        }
    }
    // The part that holds the first post not read starts at a multiple of a part's size.
    const int nFrom = part.nFrom >= 0 ? part.nFrom
                      : result.nFirstUnread < 0
                          ? 0
                          : result.nFirstUnread / kPersonPagePosts * kPersonPagePosts;
    result.nFrom = std::clamp(nFrom, 0, std::max(result.nTotal - 1, 0));
    const int nCount = part.nCount > 0 ? part.nCount : result.nTotal;
    const int nTo = std::min(result.nTotal, result.nFrom + nCount);
    for (int i = result.nFrom; i < nTo; ++i) {
        result.ids.push_back(selected[static_cast<std::size_t>(i)]->nId);
    }
    const std::vector<StoredPost> posts = store.PostsById(result.ids);
    const std::map<std::int64_t, StoredThread> threads = store.ThreadsById();
    PictureMap pictures;
    if (form == PictureForm::kKept) {
        std::set<std::int64_t> shown;
        for (int i = result.nFrom; i < nTo; ++i) {
            shown.insert(selected[static_cast<std::size_t>(i)]->nThread);
        }
        for (const std::int64_t nThread : shown) {
            pictures.merge(store.Pictures(nThread));
        }
    }

    const std::string strName = EscapeFieldText(author);
    std::size_t nReserve = 1024;
    for (const StoredPost& post : posts) {
        nReserve += 400 + post.strBody.size();
    }
    ResultPageComposer composer(Gbk("此人的帖子：") + strName, {}, {}, nReserve, ReadingStyles());
    composer.AddLine(FiguresLine(all, store.IsFollowed(author), links, nThisWeek));
    const std::string strPart =
        result.nTotal > 0
            ? PartLine(result.nFrom, nTo - result.nFrom, result.nTotal, links, nCount)
            : "<div class=vk-head>" +
                  Gbk(all.empty() ? "帖子库里没有此人的帖子" : "没有未读的帖子") + "</div>";
    composer.AddLine(strPart);
    std::string attributes;
    std::string mark;
    // A post read in the meantime by another program may be gone: the others keep their places.
    std::map<std::int64_t, const StoredPost*> byId;
    for (const StoredPost& post : posts) {
        byId.emplace(post.nId, &post);
    }
    for (int nIndex = result.nFrom; nIndex < nTo; ++nIndex) {
        const PersonPost& listed = *selected[static_cast<std::size_t>(nIndex)];
        const auto found = byId.find(listed.nId);
        const auto thread = threads.find(listed.nThread);
        if (found == byId.end() || thread == threads.end()) {
            continue;
        }
        const StoredPost& post = *found->second;
        attributes = ReadingRowAttributes(post, nIndex);
        mark = ReadingMarkLabel(post);
        mark += "<a class=vk-in href=\"";
        AppendEscapedText(mark, links.post ? links.post(thread->second.key, post.nId) : "");
        const StoredThread& in = thread->second;
        mark += "\">" + Gbk("「") +
                ShownMarkup(ShortTitle(in.strTitle, in.key.strBoardCode, in.strBoardName)) +
                Gbk("」") + "</a>";
        const std::string strAuthor = EscapeFieldText(post.strAuthor);
        const std::string strTime = EscapeFieldText(post.strTime);
        const std::string strBody = SanitiseBody(ShownBody(post.strBody), pictures, form);
        composer.Add({post.nFloor,
                      strAuthor,
                      strTime,
                      mark,
                      strBody,
                      attributes,
                      {},
                      {},
                      IsThreadStarter(post.strAuthor, thread->second.strStarter)});
    }
    // The parts before and after at the list's end too, where the reader is when done with it.
    if (nTo - result.nFrom > 10 && links.part) {
        composer.AddLine(strPart);
    }
    result.page = composer.Finish();
    return result;
}

}  // namespace vesk
