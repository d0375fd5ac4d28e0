#include "thread_page.h"

#include "body_writers.h"
#include "code_page.h"
#include "person_page.h"
#include "post_sanitiser.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace vesk {

namespace {

// The marks' colours and the bar on the left of a marked post.
constexpr std::string_view kReadingStyle =
    "<style type=\"text/css\">"
    // The window keeps the post at the top in place itself as rows come and go above it.
    "body{overflow-anchor:none}td.vk-gap{padding:0;border:0}"
    ".vk-m{color:#fff;border-radius:3px;padding:0 4px;margin-left:4px;font-weight:bold}"
    ".vk-new>td{border-left:4px solid #E8740C}.vk-new .vk-m{background:#E8740C}"
    ".vk-edited>td{border-left:4px solid #2F7DD3}.vk-edited .vk-m{background:#2F7DD3}"
    ".vk-deleted>td{border-left:4px solid #888}.vk-deleted .vk-m{background:#888}"
    ".vk-head{padding:4px 10px;color:#555}.vk-head a{color:#C0392B;font-weight:bold}"
    // A name opens its menu; it keeps the colour of the starter's and the others' names.
    "a.vk-who{color:inherit;text-decoration:none}a.vk-who:hover{text-decoration:underline}"
    "a.vk-in{color:inherit;margin-left:6px}"
    "details.vk-before{margin:2px 0 4px 20px;color:#666}"
    "details.vk-before summary{cursor:pointer;color:#2F7DD3}"
    ".vk-before div{border-left:2px solid #ccc;padding-left:8px;margin-top:2px}"
    // The post a search opened the thread at, and the words it found.
    ".vk-target>td{background:#FFFBE0;outline:2px solid #F2C94C}mark.vk-hit{background:#FFE566}"
    "</style>";

// Pictures kept, their placeholders (shown in their place in the picture-less mode, which puts the
// class vk-noimg on the page's root), and those of pictures not kept.
constexpr std::string_view kPictureStyle =
    "<style type=\"text/css\">img.vk-pic{max-width:100%}.vk-ph{display:none}"
    ".vk-noimg img.vk-pic{display:none}.vk-noimg .vk-ph{display:inline}"
    ".vk-ph,.vk-nopic{font-size:11px;color:#777;border:1px dashed #bbb;padding:0 4px;"
    "text-decoration:none;word-break:break-all}</style>";

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
std::string NewsCounts(int nStarterNew, int nFirstStarter, int nNew, int nFirst) {
    const auto part = [](std::string_view label, int nCount, int nRow) {
        std::string text = Gbk(label) + " ";
        const std::string count = std::to_string(nCount) + " " + Gbk("条");
        if (nRow < 0) {
            return text + count;
        }
        return text + "<a href=#p" + std::to_string(nRow) + ">" + count + "</a>";
    };
    return part("楼主新帖", nStarterNew, nFirstStarter) + " " + Gbk("·") + " " +
           part("新帖", nNew, nFirst);
}

std::string EarlierMarkup(const std::vector<std::string>& bodies, const PictureMap& pictures) {
    std::string markup = "<details class=vk-before><summary>" + Gbk("修改前") + "</summary>";
    for (const std::string& body : bodies) {
        markup.append("<div>")
            .append(SanitiseBody(ShownBody(body), pictures, PictureForm::kKept))
            .append("</div>");
    }
    return markup + "</details>";
}

// A post's fields as our pages show them: text escaped, the body through the sanitiser.
struct SafeFields {
    SafeFields(const StoredPost& post, const PictureMap& pictures, PictureForm form)
        : strAuthor(EscapeFieldText(post.strAuthor)),
          strTime(EscapeFieldText(post.strTime)),
          strBody(SanitiseBody(ShownBody(post.strBody), pictures, form)) {}
    std::string strAuthor;
    std::string strTime;
    std::string strBody;
};

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
                             const PostFilter& filter, bool bOnlyUnread, const PictureMap& pictures,
                             PictureForm form, std::string_view headExtra) {
    std::size_t nReserve = 0;
    for (const StoredPost& post : posts) {
        nReserve += 200 + post.strBody.size();
    }
    const std::string strTitle = EscapeFieldText(thread.strTitle);
    const std::string strStarter = EscapeFieldText(thread.strStarter);
    ResultPageComposer composer(strTitle, strStarter, {}, nReserve,
                                std::string(kPictureStyle).append(headExtra));
    for (const StoredPost& post : posts) {
        // The filter goes by the author as kept; the page shows it as text.
        if ((!bOnlyUnread || post.state != PostState::kRead) &&
            PassesFilter(post.strAuthor, IsThreadStarter(post.strAuthor, thread.strStarter),
                         filter)) {
            const SafeFields safe(post, pictures, form);
            composer.Add({post.nFloor,
                          safe.strAuthor,
                          safe.strTime,
                          MarkOf(post),
                          safe.strBody,
                          {},
                          {},
                          {},
                          {}});
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

std::string ComposeReadingRows(const StoredThread& thread, std::span<const StoredPost> posts,
                               std::span<const int> indices, const EarlierBodies& earlier,
                               const PictureMap& pictures) {
    std::size_t nReserve = 0;
    for (const StoredPost& post : posts) {
        nReserve += 260 + post.strBody.size();
    }
    const std::string strStarter = EscapeFieldText(thread.strStarter);
    ResultPageComposer composer({}, strStarter, {}, nReserve);
    std::string attributes;
    std::string mark;
    std::string after;
    for (std::size_t i = 0; i < posts.size() && i < indices.size(); ++i) {
        const StoredPost& post = posts[i];
        attributes = ReadingRowAttributes(post, indices[i]);
        mark = ReadingMarkLabel(post);
        const auto found = post.nFloor != 0 ? earlier.find(post.nFloor) : earlier.end();
        after = found != earlier.end() ? EarlierMarkup(found->second, pictures) : std::string();
        const SafeFields safe(post, pictures, PictureForm::kKept);
        const std::string who = PersonLink(post.strAuthor);
        composer.Add({post.nFloor,
                      safe.strAuthor,
                      safe.strTime,
                      mark,
                      safe.strBody,
                      attributes,
                      after,
                      who,
                      {}});
    }
    return std::move(composer).TakeRows();
}

std::string ReadingNewsLine(const ReadingNews& news) {
    std::string strLine =
        news.nNew > 0 ? NewsCounts(news.nStarterNew, news.nFirstStarter, news.nNew, news.nFirst)
                      : std::string();
    if (news.nEarlier > 0) {
        strLine += (strLine.empty() ? "" : " " + Gbk("·") + " ") + Gbk("另有") + " <a href=#p" +
                   std::to_string(news.nFirstEarlier) + ">" + std::to_string(news.nEarlier) + " " +
                   Gbk("条") + "</a>" + Gbk("更早的未读");
    }
    if (!news.strChecked.empty()) {
        strLine += (strLine.empty() ? "" : " " + Gbk("·") + " ") + EscapeFieldText(news.strChecked);
    }
    if (news.starterWeeks) {
        strLine += (strLine.empty() ? "" : " " + Gbk("·") + " ") +
                   Gbk("楼主近 " + std::to_string(news.starterWeeks->size()) + " 周每周发帖 ") +
                   ActivityChart(*news.starterWeeks, false);
    }
    return strLine.empty() ? strLine : "<div class=vk-head>" + strLine + "</div>";
}

std::string ReadingRowAttributes(const StoredPost& post, int nIndex) {
    std::string attributes = "id=p" + std::to_string(nIndex);
    if (const std::string_view kind = KindClass(post); !kind.empty()) {
        attributes.append(" class=\"")
            .append(post.state != PostState::kRead ? "vk-u " : "")
            .append(kind)
            .append("\"");
    }
    return attributes;
}

std::string ReadingMarkLabel(const StoredPost& post) {
    const std::string_view text = MarkOf(post);
    return text.empty() ? std::string() : "<span class=vk-m>" + std::string(text) + "</span>";
}

std::string ReadingStyles() {
    return std::string(kReadingStyle).append(kPictureStyle);
}

ResultPage ComposeReadingPage(const StoredThread& thread, const ReadingNews& news,
                              std::string_view rows, int nShown, int nBeforePx, int nAfterPx) {
    const std::string strTitle = ShownMarkup(thread.strTitle);
    const std::string strStarter = EscapeFieldText(thread.strStarter);
    ResultPageComposer composer(strTitle, strStarter, {}, rows.size() + 512, ReadingStyles());
    if (const std::string strLine = ReadingNewsLine(news); !strLine.empty()) {
        composer.AddLine(strLine);
    }
    const auto spacer = [](std::string_view id, int nHeight) {
        return "<tr><td class=vk-gap><div id=" + std::string(id) +
               " style=height:" + std::to_string(nHeight) + "px></div></td></tr>\r\n";
    };
    composer.AddRows(spacer("vk-above", nBeforePx));
    composer.AddRows(rows);
    composer.AddRows(spacer("vk-below", nAfterPx));
    ResultPage page = composer.Finish();
    page.nShown = nShown;
    return page;
}

}  // namespace vesk
