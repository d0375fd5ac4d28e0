// vesk-fetch: one retrieval and one composition from the command line, with the same worker and
// composer as the viewer.

#include "arguments.h"
#include "exit_codes.h"
#include "fetch_thread.h"
#include "progress_line.h"
#include "request_checks.h"
#include "result_page.h"
#include "terminal_text.h"
#include "text_cut.h"

#include <unistd.h>

#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace vesk;

constexpr char kUsage[] =
    "用法：vesk-fetch [--base 网址] [--mode all|starter|names] [--names 名单] [--out 文件]\n"
    "                 [--summary] [--quiet|--verbose] 帖子网址\n";

constexpr char kHelp[] =
    "读一个帖子的第1到40页，按过滤模式写成一页。\n"
    "\n"
    "  --base 网址     论坛地址，写作 scheme://host[:port]（默认：编译时配置的论坛）\n"
    "  --mode 模式     all 全部（默认），starter 只看楼主，names 只看名单里的人\n"
    "  --names 名单    与 --mode names 一起用：作者名含有其中一个名字的帖子，名字之间用\n"
    "                  逗号（\",\" 或 \"，\"）分开\n"
    "  --out 文件      写出的页面（默认：post.htm）\n"
    "  --summary       写出 title、starter、board_name、board_code、thread_id、posts、shown\n"
    "  --quiet         不显示进度\n"
    "  --verbose       每读一页写一行进度，输出不是终端时也写（不加时：终端上一行进度\n"
    "                  原地更新，输出不是终端时只写结果）\n"
    "  --help          显示这段说明\n"
    "\n"
    "读完后在 stderr 上用一行说明读取是怎样结束的。\n"
    "\n"
    "退出码：\n"
    "  0  页面已写出\n"
    "  1  一帖也没读到\n"
    "  2  参数不对、网址不是帖子的网址，或名单是空的\n"
    "  3  无法建立网络连接\n"
    "  4  页面无法写入\n";

struct Options {
    std::string strBase{ForumBaseAddress};
    std::string strMode = "all";
    std::string strNames;
    std::string strOut = "post.htm";
    bool bSummary = false;
    bool bHelp = false;
    bool bQuiet = false;
    bool bVerbose = false;
    std::optional<std::string> strUrl;
};

// Waits for the worker's one answer and shows its progress on stderr.
class WaitingTarget final : public FetchNotifyTarget {
public:
    explicit WaitingTarget(ProgressLine& progress) : m_progress(progress) {}

    void PostFetchNotify(int wParam, int lParam) override {
        std::lock_guard lock(m_mutex);
        m_nWParam = wParam;
        m_nLParam = lParam;
        m_bDone = true;
        m_done.notify_all();
    }

    void PageFetched(int nPage, int nLastRecord) override {
        m_progress.Pages(nPage, nLastRecord + 1);
    }
    void ReadingEnded(const ReadingEnd& end) override {
        std::lock_guard lock(m_mutex);
        m_end = end;
    }
    // How the reading ended; empty when the session could not be opened.
    std::optional<ReadingEnd> End() {
        std::lock_guard lock(m_mutex);
        return m_end;
    }

    // wParam and lParam of the answer.
    std::pair<int, int> Wait() {
        std::unique_lock lock(m_mutex);
        m_done.wait(lock, [this] { return m_bDone; });
        return {m_nWParam, m_nLParam};
    }

private:
    ProgressLine& m_progress;
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_bDone = false;
    int m_nWParam = 0;
    int m_nLParam = 0;
    std::optional<ReadingEnd> m_end;
};

// Reads the arguments into options; what is wrong with them, or empty when nothing is.
std::string ParseOptions(int argc, char** argv, Options& options) {
    std::vector<std::string> words;
    std::set<std::string> given;
    const ArgumentSpec spec{{{"--base", &options.strBase},
                             {"--mode", &options.strMode},
                             {"--names", &options.strNames},
                             {"--out", &options.strOut}},
                            {{"--summary", &options.bSummary},
                             {"--quiet", &options.bQuiet},
                             {"--verbose", &options.bVerbose},
                             {"--help", &options.bHelp}}};
    if (std::string strWrong = ReadArguments(argc, argv, spec, words, given); !strWrong.empty()) {
        return strWrong;
    }
    if (words.size() > 1) {
        return "只能给一个帖子网址，多了一个：" + words[1];
    }
    if (!words.empty()) {
        options.strUrl = words[0];
    }
    if (options.bHelp) {
        return {};
    }
    if (options.strMode != "all" && options.strMode != "starter" && options.strMode != "names") {
        return "没有这种模式：" + options.strMode + "（可用 all、starter 或 names）";
    }
    if (given.contains("--names") && options.strMode != "names") {
        return "--names 只能与 --mode names 一起使用";
    }
    if (options.bQuiet && options.bVerbose) {
        return "--quiet 与 --verbose 不能同时使用";
    }
    if (options.strOut.empty()) {
        return "--out 要一个文件名";
    }
    if (!options.strUrl) {
        return "没有给帖子网址";
    }
    return {};
}

void PrintSummary(const ResultBuffers& buffers, int nLastIndex, int nShown) {
    // The forum's bytes as they stand, but for what a terminal would act on.
    const auto line = [](const char* pszKey, const char* pszValue) {
        std::printf("%s\t%s\n", pszKey, TerminalSafe(pszValue, false).c_str());
    };
    line("title", buffers.szTitle);
    line("starter", buffers.szStarter);
    line("board_name", buffers.szBoardName);
    line("board_code", buffers.szBoardCode);
    line("thread_id", buffers.szThreadId);
    std::printf("posts\t%d\nshown\t%d\n", nLastIndex + 1, nShown);
}

// The request as the window's go checks it: the address's GB2312 bytes and the filter, or
// nothing when it was rejected (and said why).
std::optional<std::string> CheckRequest(const Options& options, PostFilter& filter) {
    if (!IsBaseAddress(options.strBase)) {
        std::fputs("vesk-fetch：--base 要写成 scheme://host[:port]，末尾不带斜杠\n", stderr);
        return std::nullopt;
    }
    // Addresses and names are typed as UTF-8 and matched as GB2312, as in the viewer's edits.
    std::optional<std::string> url = AcceptedThreadAddress(*options.strUrl, options.strBase);
    if (!url) {
        PrintLine(AddressRejectedMessage(options.strBase));
        return std::nullopt;
    }
    bool bEmptyNames = false;
    if (std::string strWrong =
            MakeFilter(options.strMode, options.strNames, false, filter, bEmptyNames);
        !strWrong.empty()) {
        PrintLine(bEmptyNames ? strWrong : "vesk-fetch：" + strWrong);
        return std::nullopt;
    }
    return url;
}

// One retrieval, as the window's worker makes it; the answer's wParam and lParam, or nothing
// when no worker could start.
std::optional<std::pair<int, int>> Retrieve(const Options& options, const std::string& strUrl,
                                            PostTable& table, ResultBuffers& buffers) {
    ProgressLine progress("vesk-fetch",
                          ProgressLine::Choose(options.bQuiet, options.bVerbose, STDERR_FILENO));
    WaitingTarget target(progress);
    auto pJob = std::make_unique<FetchJob>();
    pJob->hWndNotify = &target;
    CopyToField(pJob->szThreadUrl, strUrl);
    AttachResults(*pJob, table, buffers);
    FetchSettings settings;
    settings.strBaseAddress = options.strBase;
    FetchThread thread(std::move(pJob), settings);
    if (!thread.CreateThread()) {
        PrintLine("Cannot Start New Thread");
        return std::nullopt;
    }
    const std::pair<int, int> answer = target.Wait();
    thread.Join();
    progress.Clear();
    if (const std::optional<ReadingEnd> end = target.End()) {
        PrintLine(DescribeReadingEnd(*end));
    }
    return answer;
}

int Run(const Options& options) {
    PostFilter filter;
    const std::optional<std::string> url = CheckRequest(options, filter);
    if (!url) {
        return kExitRejected;
    }
    PostTable table;
    ResultBuffers buffers{};
    const std::optional<std::pair<int, int>> answer = Retrieve(options, *url, table, buffers);
    if (!answer) {
        return kExitNoSession;
    }
    const auto [nLastIndex, nResult] = *answer;
    if (nResult == kFetchSessionFailed) {
        PrintLine(kRetrievalFailedMessage);
        if (options.bSummary) {
            PrintSummary(buffers, -1, 0);
        }
        return kExitNoSession;
    }
    if (nLastIndex < 0) {
        if (options.bSummary) {
            PrintSummary(buffers, nLastIndex, 0);
        }
        return kExitNotFound;
    }
    const ResultPage page =
        BuildResultPage(table.data(), nLastIndex, buffers.szTitle, buffers.szStarter, filter);
    const bool bWritten = WritePage(options.strOut, page.strText);
    if (options.bSummary) {
        PrintSummary(buffers, nLastIndex, bWritten ? page.nShown : 0);
    }
    return bWritten ? kExitDone : kExitFileFailed;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    const std::string strWrong = ParseOptions(argc, argv, options);
    return StartCommand("vesk-fetch", kUsage, kHelp, strWrong, options.bHelp,
                        [&] { return Run(options); });
}
