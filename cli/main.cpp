// vesk-fetch: one retrieval and one composition from the command line, with the same worker and
// composer as the viewer.

#include "arguments.h"
#include "exit_codes.h"
#include "fetch_thread.h"
#include "request_checks.h"
#include "result_page.h"
#include "terminal_text.h"
#include "text_cut.h"

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
    "usage: vesk-fetch [--base URL] [--mode all|starter|names] [--names LIST] [--out FILE]\n"
    "                  [--summary] THREAD_URL\n";

constexpr char kHelp[] =
    "Reads pages 1 to 40 of one thread and writes them as one page, filtered.\n"
    "\n"
    "  --base URL      the forum, as scheme://host[:port] (default: the configured forum)\n"
    "  --mode MODE     all (default), starter (only the thread starter's posts), or names\n"
    "  --names LIST    with --mode names: authors containing one of these names, separated by\n"
    "                  commas (\",\" or \"\xEF\xBC\x8C\")\n"
    "  --out FILE      the page written (default: post.htm)\n"
    "  --summary       print title, starter, board_name, board_code, thread_id, posts, shown\n"
    "  --help          this text\n"
    "\n"
    "How the reading ended is said in one line on stderr.\n"
    "\n"
    "exit codes:\n"
    "  0  the page was written\n"
    "  1  no post was read\n"
    "  2  a wrong argument, an address that is no thread's, or an empty name list\n"
    "  3  the network could not be set up\n"
    "  4  the page could not be written\n";

struct Options {
    std::string strBase{ForumBaseAddress};
    std::string strMode = "all";
    std::string strNames;
    std::string strOut = "post.htm";
    bool bSummary = false;
    bool bHelp = false;
    std::optional<std::string> strUrl;
};

// Waits for the worker's one answer and shows its progress on stderr.
class WaitingTarget final : public FetchNotifyTarget {
public:
    void PostFetchNotify(int wParam, int lParam) override {
        std::lock_guard lock(m_mutex);
        m_nWParam = wParam;
        m_nLParam = lParam;
        m_bDone = true;
        m_done.notify_all();
    }

    void PageFetched(int nPage, int nLastRecord) override {
        std::fprintf(stderr, "vesk-fetch: page %d read, %d posts so far\n", nPage, nLastRecord + 1);
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
                            {{"--summary", &options.bSummary}, {"--help", &options.bHelp}}};
    if (std::string strWrong = ReadArguments(argc, argv, spec, words, given); !strWrong.empty()) {
        return strWrong;
    }
    if (words.size() > 1) {
        return "one thread address only, got a second: " + words[1];
    }
    if (!words.empty()) {
        options.strUrl = words[0];
    }
    if (options.bHelp) {
        return {};
    }
    if (options.strMode != "all" && options.strMode != "starter" && options.strMode != "names") {
        return "unknown mode " + options.strMode + " (all, starter or names)";
    }
    if (given.contains("--names") && options.strMode != "names") {
        return "--names is used only with --mode names";
    }
    if (options.strOut.empty()) {
        return "--out needs a file name";
    }
    if (!options.strUrl) {
        return "no thread address";
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
        std::fprintf(stderr, "vesk-fetch: --base takes scheme://host[:port], no trailing slash\n");
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
        PrintLine(bEmptyNames ? strWrong : "vesk-fetch: " + strWrong);
        return std::nullopt;
    }
    return url;
}

// One retrieval, as the window's worker makes it; the answer's wParam and lParam, or nothing
// when no worker could start.
std::optional<std::pair<int, int>> Retrieve(const Options& options, const std::string& strUrl,
                                            PostTable& table, ResultBuffers& buffers) {
    WaitingTarget target;
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
