#pragma once

// How busy a thread or a person has been: the board's time texts read as moments, the weeks they
// fall in, and a run of weeks drawn as a small chart of bars.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vesk {

class Database;

// A post's time as the board writes it ("2024-03-05 09:30", seconds optional, markup around it
// allowed) in seconds since 1970 on the board's own clock, read as if it were UTC; nothing when
// the text does not begin with a real day.
std::optional<std::int64_t> PostedAt(std::string_view time);

// The week a moment falls in, counted from the week of 1970-01-01, weeks beginning on Monday.
std::int64_t WeekOf(std::int64_t nSeconds);
// The week a post's time falls in, or kNoWeek when the time cannot be read.
inline constexpr std::int64_t kNoWeek = -1;
std::int64_t WeekOfTime(std::string_view time);
// This week on the machine's clock, which stands for the board's.
std::int64_t CurrentWeek();

// vesk_week(time) and vesk_at(time) (seconds, or -1) for this connection's statements and the
// schema's triggers.
void DefineActivityFunctions(Database& db);

// One week's posts, and those of them by the one that matters (a thread's starter).
struct ActivityWeek {
    std::int64_t nWeek = 0;
    int nPosts = 0;
    int nMarked = 0;
};

// nWeeks weeks ending with nLastWeek, oldest first, from the weeks counted (in any order; a week
// before the run or after it is left out); nothing when a post's time could not be read (a
// kNoWeek among them), since a chart of the rest would tell wrong.
std::optional<std::vector<ActivityWeek>> WeeksEnding(std::span<const ActivityWeek> counted,
                                                     std::int64_t nLastWeek, int nWeeks);

// The weeks as an inline SVG of bars, one a week, oldest on the left, the highest week as high as
// the chart, an empty week a thin line; with bMarked the marked posts solid over all posts in a
// lighter shade, else all posts solid. Drawn in the text's own colour, so that it reads by day and
// at night. ASCII only.
std::string ActivityChart(std::span<const ActivityWeek> weeks, bool bMarked, int nBarWidth = 4,
                          int nHeight = 16);

}  // namespace vesk
