#include "watch_notice.h"

#include "code_page.h"
#include "post_sanitiser.h"
#include "terminal_text.h"

#include <array>
#include <utility>

namespace vesk {

namespace {

constexpr std::size_t kNoticeWords = 60;

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

}  // namespace

std::string FirstWords(std::string_view strBody, std::size_t nMaxChars) {
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 6> kEntities = {{
        {"&nbsp;", " "},
        {"&amp;", "&"},
        {"&lt;", "<"},
        {"&gt;", ">"},
        {"&quot;", "\""},
        {"&#39;", "'"},
    }};
    const std::string strText = GbkToUtf8Lenient(strBody);
    std::string strWords;
    std::size_t nChars = 0;
    bool bSpace = false;
    for (std::size_t i = 0; i < strText.size();) {
        std::string_view piece;
        std::size_t nStep = 1;
        if (strText[i] == '<') {
            const std::size_t nClose = strText.find('>', i);
            nStep = nClose == std::string::npos ? strText.size() - i : nClose + 1 - i;
            piece = " ";
        } else if (strText[i] == '&') {
            piece = "&";
            for (const auto& [entity, text] : kEntities) {
                if (std::string_view(strText).substr(i, entity.size()) == entity) {
                    nStep = entity.size();
                    piece = text;
                    break;
                }
            }
        } else {
            // One whole UTF-8 character.
            const auto lead = static_cast<unsigned char>(strText[i]);
            nStep = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
            piece = std::string_view(strText).substr(i, nStep);
        }
        i += nStep;
        if (piece.size() == 1 && IsSpace(piece[0])) {
            bSpace = !strWords.empty();
            continue;
        }
        if (nChars == nMaxChars) {
            strWords += "…";
            break;
        }
        if (bSpace) {
            strWords += ' ';
            bSpace = false;
            if (++nChars == nMaxChars) {
                strWords += "…";
                break;
            }
        }
        strWords += piece;
        ++nChars;
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
    notice.strSummary = "「" +
                        GbkToUtf8Lenient(ShortTitle(report.strTitle, report.key.strBoardCode,
                                                    report.strBoardName)) +
                        "」楼主发了 " + std::to_string(report.nStarterNew) + " 条新帖";
    // The body as a page of ours shows it: what a script or a style holds is no word of it.
    notice.strBody = FirstWords(SanitiseBody(strNewestBody, {}, PictureForm::kText), kNoticeWords);
    return notice;
}

std::string OneLineUtf8(std::string_view bytes) {
    std::string text = GbkToUtf8Lenient(bytes);
    for (char& c : text) {
        if (c == '\t' || c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    return TerminalSafe(text, true);
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
