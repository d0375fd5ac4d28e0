#include "search_page.h"

#include "body_writers.h"
#include "code_page.h"
#include "person_page.h"
#include "post_sanitiser.h"

#include <algorithm>

namespace vesk {

namespace {

constexpr std::string_view kSearchStyle =
    "<style type=\"text/css\">"
    ".vk-count{padding:4px 10px;color:#555}"
    ".vk-thread{padding:8px 10px 2px;font-weight:bold;border-top:1px solid #dde6f3}"
    ".vk-thread a{color:#3568BB;text-decoration:none}.vk-board{color:#777;font-weight:normal;"
    "font-size:12px;margin-left:8px}"
    "a.vk-go,a.vk-who{color:inherit;text-decoration:none}"
    "a.vk-go:hover,a.vk-who:hover{text-decoration:underline}"
    "b.vk-hit{background:#FFE566;font-weight:normal}"
    ".vk-m{color:#fff;background:#888;border-radius:3px;padding:0 4px;margin-left:4px}"
    "</style>";

std::string Gbk(std::string_view utf8) {
    return Utf8ToGbk(utf8).value_or(std::string());
}

// The context as markup (UTF-8): text escaped, each place found highlighted.
std::string ContextMarkup(const SearchHit& hit) {
    std::string markup;
    std::size_t nAt = 0;
    for (const auto& [nStart, nLength] : hit.marks) {
        AppendEscapedText(markup, std::string_view(hit.strContext).substr(nAt, nStart - nAt));
        markup += "<b class=vk-hit>";
        AppendEscapedText(markup, std::string_view(hit.strContext).substr(nStart, nLength));
        markup += "</b>";
        nAt = nStart + nLength;
    }
    AppendEscapedText(markup, std::string_view(hit.strContext).substr(nAt));
    return markup;
}

std::string_view WhereLabel(SearchHit::Where where) {
    switch (where) {
        case SearchHit::Where::kTitle:
            return "标题";
        case SearchHit::Where::kAuthor:
            return "作者";
        case SearchHit::Where::kEarlier:
            return "修改前";
        case SearchHit::Where::kBody:
            break;
    }
    return {};
}

}  // namespace

std::string MarkedContext(const SearchHit& hit, std::string_view open, std::string_view close) {
    std::string line;
    std::size_t nAt = 0;
    for (const auto& [nStart, nLength] : hit.marks) {
        line.append(hit.strContext, nAt, nStart - nAt).append(open);
        line.append(hit.strContext, nStart, nLength).append(close);
        nAt = nStart + nLength;
    }
    return line.append(hit.strContext, nAt);
}

ResultPage ComposeSearchPage(std::string_view query, const std::vector<SearchHit>& hits, int nLimit,
                             const HitLink& link) {
    std::string title;
    AppendEscapedText(title, query);
    ResultPageComposer composer(Utf8ToGbkMarkup("搜索：" + title), {}, {}, hits.size() * 600 + 512,
                                kSearchStyle);
    const std::string count =
        hits.empty() ? std::string("没有找到含有这些字的帖子。")
        : static_cast<int>(hits.size()) >= nLimit
            ? "这里列出最近读入帖子库的 " + std::to_string(hits.size()) + " 条，可能还有更多。"
            : "找到 " + std::to_string(hits.size()) + " 条帖子。";
    composer.AddLine("<div class=vk-count>" + Gbk(count) + "</div>");
    // Threads in the order of their first hit.
    std::vector<std::vector<const SearchHit*>> groups;
    for (const SearchHit& hit : hits) {
        const auto found = std::find_if(groups.begin(), groups.end(), [&](const auto& group) {
            return group.front()->key == hit.key;
        });
        (found != groups.end() ? *found : groups.emplace_back()).push_back(&hit);
    }
    std::string mark;
    std::string body;
    for (const std::vector<const SearchHit*>& group : groups) {
        const SearchHit& first = *group.front();
        std::string line = "<div class=vk-thread><a href=\"";
        AppendEscapedText(line, link(first));
        line.append("\">")
            .append(ShownMarkup(first.strTitle))
            .append("</a><span class=vk-board>")
            .append(ShownMarkup(first.strBoardName))
            .append(" ")
            .append(Gbk(std::to_string(group.size()) + " 条"))
            .append("</span></div>");
        composer.AddLine(line);
        for (const SearchHit* pHit : group) {
            mark.clear();
            for (const std::string_view label :
                 {WhereLabel(pHit->where), pHit->bDeleted ? std::string_view("已删除") : "",
                  pHit->bStarter ? std::string_view("楼主") : ""}) {
                if (!label.empty()) {
                    mark.append("<span class=vk-m>").append(Gbk(label)).append("</span>");
                }
            }
            body = "<a class=vk-go href=\"";
            AppendEscapedText(body, link(*pHit));
            body.append("\">").append(Utf8ToGbkMarkup(ContextMarkup(*pHit))).append("</a>");
            const std::string author = EscapeFieldText(pHit->strAuthor);
            const std::string time = EscapeFieldText(pHit->strTime);
            const std::string who = PersonLink(pHit->strAuthor);
            composer.Add({pHit->nFloor, author, time, mark, body, {}, {}, who, {}});
        }
    }
    return composer.Finish();
}

}  // namespace vesk
