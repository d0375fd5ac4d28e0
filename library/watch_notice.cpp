#include "watch_notice.h"

#include "body_writers.h"
#include "code_page.h"
#include "person_page.h"
#include "post_sanitiser.h"
#include "terminal_text.h"

namespace vesk {

namespace {

constexpr std::size_t kNoticeWords = 60;

}  // namespace

std::string FirstWords(std::string_view strBody, std::size_t nMaxChars) {
    std::string strWords = ShownText(strBody);
    std::size_t nChars = 0;
    for (std::size_t i = 0; i < strWords.size(); ++nChars) {
        if (nChars == nMaxChars) {
            strWords.resize(i);
            return strWords + "…";
        }
        // One whole UTF-8 character.
        const auto lead = static_cast<unsigned char>(strWords[i]);
        i += lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    }
    return strWords;
}

std::string_view ShortTitle(std::string_view strTitle, std::string_view strBoardCode,
                            std::string_view strBoardName) {
    // Character by character: a two-byte character's second byte may be '_' too.
    for (std::size_t nAt = 0; nAt < strTitle.size();
         nAt += static_cast<unsigned char>(strTitle[nAt]) >= 0x81 ? 2 : 1) {
        if (strTitle[nAt] != '_' || nAt == 0) {
            continue;
        }
        const std::string_view rest = strTitle.substr(nAt + 1);
        for (const std::string_view name : {strBoardCode, strBoardName}) {
            if (!name.empty() && rest.substr(0, name.size()) == name) {
                return strTitle.substr(0, nAt);
            }
        }
    }
    return strTitle;
}

WatchNotice MakeWatchNotice(const WatchReport& report, std::string_view strNewestBody) {
    WatchNotice notice;
    notice.strSummary =
        "「" +
        ShownText(ShortTitle(report.strTitle, report.key.strBoardCode, report.strBoardName)) +
        "」楼主发了 " + std::to_string(report.nStarterNew) + " 条新帖";
    // The body as a page of ours shows it: what a script or a style holds is no word of it.
    notice.strBody = FirstWords(SanitiseBody(strNewestBody, {}, PictureForm::kText), kNoticeWords);
    return notice;
}

WatchNotice MakePersonNotice(const PersonNews& news) {
    const std::string strTitle =
        "「" + ShownText(ShortTitle(news.strTitle, news.key.strBoardCode, news.strBoardName)) +
        "」";
    WatchNotice notice;
    notice.strSummary =
        "「" + FieldText(news.strName) + "」发了 " + std::to_string(news.nNew) + " 条新帖（" +
        strTitle + (news.nThreads > 1 ? "等 " + std::to_string(news.nThreads) + " 个帖子" : "") +
        "）";
    notice.strBody = "点此看此人的全部帖子";
    return notice;
}

std::string PersonTag(std::string_view name) {
    return "w" + NameHex(name);
}

std::optional<std::string> PersonOfTag(std::string_view tag) {
    return tag.starts_with('w') ? NameOfHex(tag.substr(1)) : std::nullopt;
}

std::string OneLineUtf8(std::string_view bytes) {
    return TerminalSafe(ShownText(bytes), true);
}

std::string WatchReportLine(const WatchReport& report) {
    return OneLineUtf8(report.key.strBoardCode) + '\t' + OneLineUtf8(report.key.strThreadId) +
           '\t' + OneLineUtf8(report.strTitle) + '\t' + std::to_string(report.nNew) + '\t' +
           std::to_string(report.nStarterNew) + '\n';
}

std::string WatchTag(const ThreadKey& key) {
    return key.strBoardCode + ',' + key.strThreadId;
}

ThreadKey ThreadKeyOfTag(std::string_view tag) {
    const std::size_t nComma = tag.find(',');
    if (nComma == std::string_view::npos || nComma == 0 || nComma + 1 == tag.size()) {
        return {};
    }
    return {std::string(tag.substr(0, nComma)), std::string(tag.substr(nComma + 1))};
}

}  // namespace vesk
