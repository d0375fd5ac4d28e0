#include "activity.h"

#include "body_writers.h"
#include "sqlite_db.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <map>

namespace vesk {

namespace {

constexpr std::int64_t kDay = 86400;

// Reads nMin to nMax digits at pos; nothing when fewer are there.
std::optional<int> Digits(std::string_view text, std::size_t& pos, std::size_t nMin,
                          std::size_t nMax) {
    int nValue = 0;
    std::size_t nRead = 0;
    while (pos < text.size() && nRead < nMax && text[pos] >= '0' && text[pos] <= '9') {
        nValue = nValue * 10 + (text[pos] - '0');
        ++pos;
        ++nRead;
    }
    return nRead >= nMin ? std::optional<int>(nValue) : std::nullopt;
}

bool Skip(std::string_view text, std::size_t& pos, char c) {
    if (pos < text.size() && text[pos] == c) {
        ++pos;
        return true;
    }
    return false;
}

std::optional<std::int64_t> ReadMoment(std::string_view text) {
    std::size_t pos = text.find_first_not_of(" \t\r\n");
    if (pos == std::string_view::npos) {
        return std::nullopt;
    }
    const std::optional<int> year = Digits(text, pos, 4, 4);
    if (!year || !Skip(text, pos, '-')) {
        return std::nullopt;
    }
    const std::optional<int> month = Digits(text, pos, 1, 2);
    if (!month || !Skip(text, pos, '-')) {
        return std::nullopt;
    }
    const std::optional<int> day = Digits(text, pos, 1, 2);
    if (!day || (pos < text.size() && text[pos] >= '0' && text[pos] <= '9')) {
        return std::nullopt;
    }
    const std::chrono::year_month_day date{std::chrono::year(*year),
                                           std::chrono::month(static_cast<unsigned>(*month)),
                                           std::chrono::day(static_cast<unsigned>(*day))};
    if (!date.ok()) {
        return std::nullopt;
    }
    std::int64_t nSeconds =
        static_cast<std::int64_t>(std::chrono::sys_days(date).time_since_epoch().count()) * kDay;
    // The hour and minute when they follow; a day alone is its midnight.
    std::size_t at = pos;
    if (Skip(text, at, ' ') || Skip(text, at, 'T')) {
        const std::optional<int> hour = Digits(text, at, 1, 2);
        std::optional<int> minute;
        if (hour && Skip(text, at, ':')) {
            minute = Digits(text, at, 2, 2);
        }
        if (hour && minute && *hour < 24 && *minute < 60) {
            nSeconds += *hour * 3600 + *minute * 60;
            if (Skip(text, at, ':')) {
                if (const std::optional<int> second = Digits(text, at, 2, 2);
                    second && *second < 60) {
                    nSeconds += *second;
                }
            }
        }
    }
    return nSeconds;
}

std::int64_t WeekValue(std::string_view time) {
    return WeekOfTime(time);
}

std::int64_t AtValue(std::string_view time) {
    return PostedAt(time).value_or(-1);
}

}  // namespace

std::optional<std::int64_t> PostedAt(std::string_view time) {
    // The board writes its times as plain text; one with markup or references is read as shown.
    if (time.find_first_of("<&") != std::string_view::npos) {
        return ReadMoment(FieldText(time));
    }
    return ReadMoment(time);
}

std::int64_t WeekOf(std::int64_t nSeconds) {
    // 1970-01-01 was a Thursday: three days after the Monday its week began.
    const std::int64_t nDay = nSeconds >= 0 ? nSeconds / kDay : (nSeconds - kDay + 1) / kDay;
    const std::int64_t nShifted = nDay + 3;
    return nShifted >= 0 ? nShifted / 7 : (nShifted - 6) / 7;
}

std::int64_t WeekOfTime(std::string_view time) {
    const std::optional<std::int64_t> at = PostedAt(time);
    return at ? WeekOf(*at) : kNoWeek;
}

std::int64_t CurrentWeek() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return WeekOf(static_cast<std::int64_t>(now) + local.tm_gmtoff);
}

void DefineActivityFunctions(Database& db) {
    db.DefineFunction("vesk_week", &WeekValue);
    db.DefineFunction("vesk_at", &AtValue);
}

std::optional<std::vector<ActivityWeek>> WeeksEnding(std::span<const ActivityWeek> counted,
                                                     std::int64_t nLastWeek, int nWeeks) {
    std::vector<ActivityWeek> weeks(static_cast<std::size_t>(std::max(nWeeks, 0)));
    const std::int64_t nFirstWeek = nLastWeek - nWeeks + 1;
    for (std::size_t i = 0; i < weeks.size(); ++i) {
        weeks[i].nWeek = nFirstWeek + static_cast<std::int64_t>(i);
    }
    for (const ActivityWeek& week : counted) {
        if (week.nWeek == kNoWeek && week.nPosts > 0) {
            return std::nullopt;
        }
        if (week.nWeek >= nFirstWeek && week.nWeek <= nLastWeek) {
            ActivityWeek& into = weeks[static_cast<std::size_t>(week.nWeek - nFirstWeek)];
            into.nPosts += week.nPosts;
            into.nMarked += week.nMarked;
        }
    }
    return weeks;
}

std::string ActivityChart(std::span<const ActivityWeek> weeks, bool bMarked, int nBarWidth,
                          int nHeight) {
    int nMost = 1;
    for (const ActivityWeek& week : weeks) {
        nMost = std::max(nMost, week.nPosts);
    }
    const int nStep = nBarWidth + 1;
    const int nWidth = std::max(1, static_cast<int>(weeks.size()) * nStep - 1);
    const auto size = std::to_string(nWidth) + " " + std::to_string(nHeight);
    std::string svg = "<svg class=vk-chart xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
                      std::to_string(nWidth) + "\" height=\"" + std::to_string(nHeight) +
                      "\" viewBox=\"0 0 " + size +
                      "\" fill=\"currentColor\" style=\"vertical-align:middle\">";
    // A bar's height: a week with any post at least 2 pixels, so that it never looks empty.
    const auto bar = [&](int nX, int nCount, std::string_view extra) {
        const int nBar = nCount <= 0 ? 1 : std::max(2, (nCount * nHeight + nMost - 1) / nMost);
        svg += "<rect x=\"" + std::to_string(nX) + "\" y=\"" + std::to_string(nHeight - nBar) +
               "\" width=\"" + std::to_string(nBarWidth) + "\" height=\"" + std::to_string(nBar) +
               "\"" + std::string(nCount <= 0 ? " opacity=\".3\"" : extra) + "/>";
    };
    for (std::size_t i = 0; i < weeks.size(); ++i) {
        const int nX = static_cast<int>(i) * nStep;
        const ActivityWeek& week = weeks[i];
        if (bMarked && week.nPosts > week.nMarked) {
            bar(nX, week.nPosts, " opacity=\".35\"");
            if (week.nMarked > 0) {
                bar(nX, week.nMarked, "");
            }
        } else {
            bar(nX, week.nPosts, "");
        }
    }
    return svg + "</svg>";
}

}  // namespace vesk
