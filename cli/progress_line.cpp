#include "progress_line.h"

#include <unistd.h>

#include <sys/ioctl.h>

namespace vesk {

namespace {

constexpr auto kEvery = std::chrono::milliseconds(100);

// The line cut to the terminal's width, so that it never wraps onto a row it cannot write over:
// a character beyond ASCII takes two columns (the Chinese ones do).
std::string Fitted(const std::string& line, int nFd) {
    winsize size{};
    if (ioctl(nFd, TIOCGWINSZ, &size) != 0 || size.ws_col == 0) {
        return line;
    }
    const std::size_t nColumns = size.ws_col - 1U;
    std::size_t nWidth = 0;
    for (std::size_t i = 0; i < line.size();) {
        const auto lead = static_cast<unsigned char>(line[i]);
        const std::size_t nLength = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        nWidth += lead < 0x80 ? 1 : 2;
        if (nWidth > nColumns) {
            return line.substr(0, i);
        }
        i += nLength;
    }
    return line;
}

}  // namespace

ProgressLine::Mode ProgressLine::Choose(bool bQuiet, bool bVerbose, int nFd) {
    if (bQuiet) {
        return Mode::kSilent;
    }
    if (bVerbose) {
        return Mode::kLines;
    }
    return isatty(nFd) != 0 ? Mode::kInPlace : Mode::kSilent;
}

ProgressLine::ProgressLine(std::string_view name, Mode mode, std::FILE* pOut)
    : m_name(name), m_mode(mode), m_pOut(pOut) {}

ProgressLine::~ProgressLine() {
    Clear();
}

void ProgressLine::Pages(int nPage, int nPosts) {
    m_nPosts = nPosts;
    ++m_nPages;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
    std::string strLine = "已读 " + std::to_string(m_nPages) + " 页（第 " + std::to_string(nPage) +
                          " 页），" + std::to_string(nPosts) + " 帖";
    if (seconds >= 0.5) {
        char szSpeed[32];
        std::snprintf(szSpeed, sizeof szSpeed, "%.1f", m_nPages / seconds);
        strLine += std::string("，每秒 ") + szSpeed + " 页";
    }
    Say(strLine, "第" + std::to_string(nPage) + "页已读，共 " + std::to_string(nPosts) + " 帖",
        m_nPages == 1);
}

void ProgressLine::Pictures(int nDone, int nWanted) {
    const std::string strPictures =
        "图片 " + std::to_string(nDone) + " / " + std::to_string(nWanted);
    Say("已读 " + std::to_string(m_nPages) + " 页，" + std::to_string(m_nPosts) + " 帖；" +
            strPictures,
        strPictures, nDone == nWanted);
}

void ProgressLine::Indexed(std::int64_t nDone, std::int64_t nTotal) {
    const std::string strText =
        "为搜索建立索引：" + std::to_string(nDone) + " / " + std::to_string(nTotal) + " 帖";
    Say(strText, strText, nDone == nTotal);
}

void ProgressLine::Clear() {
    if (m_bShown) {
        std::fputs("\r\x1b[K", m_pOut);
        std::fflush(m_pOut);
        m_bShown = false;
    }
}

void ProgressLine::Say(const std::string& strLine, const std::string& strStep, bool bNow) {
    switch (m_mode) {
        case Mode::kSilent:
            return;
        case Mode::kLines:
            std::fprintf(m_pOut, "%s：%s\n", m_name.c_str(), strStep.c_str());
            std::fflush(m_pOut);
            return;
        case Mode::kInPlace:
            break;
    }
    const auto now = std::chrono::steady_clock::now();
    if (!bNow && m_bShown && now - m_shownAt < kEvery) {
        return;
    }
    // Written over from the start of the line, the rest of the old one cleared.
    std::fprintf(m_pOut, "\r%s\x1b[K", Fitted(strLine, fileno(m_pOut)).c_str());
    std::fflush(m_pOut);
    m_shownAt = now;
    m_bShown = true;
}

}  // namespace vesk
