#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace vesk {

// How a command tells how far it has come, on stderr. On a terminal: one line written over in
// place (pages, posts, pictures, speed), taken off before the result. Elsewhere nothing, so that a
// log or a pipe holds only the result; with --verbose a line for each step; with --quiet nothing.
class ProgressLine final {
public:
    enum class Mode { kSilent, kInPlace, kLines };
    // The mode for the options given and whether the file descriptor is a terminal.
    static Mode Choose(bool bQuiet, bool bVerbose, int nFd);

    ProgressLine(std::string_view name, Mode mode, std::FILE* pOut = stderr);
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    // A page read, and the posts read so far.
    void Pages(int nPage, int nPosts);
    // Pictures fetched (or failed) of those wanted.
    void Pictures(int nDone, int nWanted);
    // The search index being made: posts indexed of all.
    void Indexed(std::int64_t nDone, std::int64_t nTotal);
    // Takes the line off the terminal, before what comes next is written.
    void Clear();

private:
    // Shows the line in place (at most ten times a second unless bNow), or writes a step's line.
    void Say(const std::string& strLine, const std::string& strStep, bool bNow);

    std::string m_name;
    Mode m_mode;
    std::FILE* m_pOut;
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point m_shownAt{};
    bool m_bShown = false;
    int m_nPosts = 0;
    int m_nPages = 0;  // pages read in all, for the speed
};

}  // namespace vesk
