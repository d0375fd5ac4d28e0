// vesk-library: the thread library from the command line. Threads are read whole into one SQLite
// file, refreshed with only what is new, and shown offline as the viewer's result page.

#include "arguments.h"
#include "book_font.h"
#include "code_page.h"
#include "exit_codes.h"
#include "forum_config.h"
#include "people_commands.h"
#include "picture_sources.h"
#include "progress_line.h"
#include "request_checks.h"
#include "search_page.h"
#include "terminal_text.h"
#include "thread_export.h"
#include "thread_page.h"
#include "thread_reader.h"
#include "watch_notice.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

using namespace vesk;

constexpr char kUsage[] =
    "用法：vesk-library [--db 文件] [--base 网址] refresh [--full] [--no-images] [--summary]\n"
    "                   帖子网址\n"
    "      vesk-library [--db 文件] [--base 网址] refresh --watched [--no-images]\n"
    "      vesk-library [--db 文件] [--base 网址] show [--mode all|starter|names]\n"
    "                   [--names 名单] [--new] [--peek] [--out 文件] [--summary] 帖子网址\n"
    "      vesk-library [--db 文件] [--base 网址] export [--format html|epub|md]\n"
    "                   [--mode all|starter|names] [--names 名单] [--new] [--no-images]\n"
    "                   [--font 字体文件] --out 文件 帖子网址\n"
    "      vesk-library [--db 文件] [--base 网址] search [--thread 帖子网址] [--starter]\n"
    "                   [--author 名字] [--since 日期] [--earlier] [--limit N] [--out 文件]\n"
    "                   查询\n"
    "      vesk-library [--db 文件] list\n"
    "      vesk-library [--db 文件] [--base 网址] history|forget|watch|unwatch 帖子网址\n"
    "      vesk-library [--db 文件] follow|unfollow 名字\n"
    "      vesk-library [--db 文件] following\n"
    "      vesk-library [--db 文件] [--base 网址] author [--new] [--out 文件] 名字\n"
    "      vesk-library [--db 文件] vacuum\n"
    "      vesk-library [--db 文件] index [--drop]\n"
    "  每个命令都可加 --quiet 或 --verbose。\n";

constexpr char kHelp[] =
    "把整个帖子存进一个帖子库文件，之后只读新的部分，离线显示、搜索、导出。\n"
    "\n"
    "命令：\n"
    "  refresh         把帖子读进帖子库：第一次读全帖；之后读第1页，再从上次没读满的那页\n"
    "                  读到最后；记下新帖、修改和删除；然后取回帖子里还没保存的图片\n"
    "                  （每张最多 10 MB，只收 PNG、JPEG、GIF、WebP）\n"
    "  show            把帖子库里的帖子写成一页：删除的帖子加标记，未读的修改和新帖加标记；\n"
    "                  写完后全帖算作已读\n"
    "  export          按 show 的选法导出帖子：html 是一个什么都不依赖的文件（样式和图片都在\n"
    "                  文件里）；epub 是 EPUB 3 电子书，每 100 帖一章，图片在书里；md 是\n"
    "                  Markdown（UTF-8），图片放在旁边的“名字_pictures”文件夹里（名字是\n"
    "                  文件去掉扩展名），以 SHA-256 命名；加 --no-images 时图片只是链接\n"
    "  search          找出含有查询里每个词的帖子（词以空格分开，照打的字找，任意长度，\n"
    "                  没有查询语法），在正文、作者和帖子标题里找；标题在前，其余按读入\n"
    "                  帖子库的先后，最近的在前。每行：板块代码、帖子编号、楼层、时间、\n"
    "                  作者、在哪里找到（body 正文、author 作者、title 标题、earlier 修改前，\n"
    "                  删除的帖子再加 \",deleted\"），以及找到的字附近的文字，找到的字在\n"
    "                  “【”和“】”之间\n"
    "  list            帖子库里的帖子，最近读的在前：板块代码、帖子编号、标题、帖数、未读、\n"
    "                  楼主未读、最后读取时间（UTC）、是否关注、图片占的字节数\n"
    "  history         帖子的修改和删除，最早的在前，附修改前的文字\n"
    "  forget          从帖子库里删掉这个帖子、它的历史和别的帖子不用的图片\n"
    "  watch, unwatch  关注或不再关注帖子库里的帖子\n"
    "  follow, unfollow 关注或不再关注一个人（名字和论坛上的完全一样，匿名的也可以，\n"
    "                  如 192.168.1.*）；之后每次读取都会数出此人的新帖\n"
    "  following       关注的人，每人一行：名字、帖子库里此人的帖数、未读、最新一帖的时间\n"
    "  author          把帖子库里此人在所有帖子里的帖子写成一页，最新的在前，每帖注明\n"
    "                  所在的帖子；写完后这些帖子算作已读\n"
    "  vacuum          把删掉的内容占的空间还给文件系统\n"
    "  index           重新建立搜索索引；加 --drop 时去掉索引（之后搜索逐帖查找，\n"
    "                  index 可再建）\n"
    "\n"
    "选项：\n"
    "  --db 文件       帖子库（默认：$XDG_DATA_HOME/vesk/library.sqlite3，或\n"
    "                  ~/.local/share/vesk/library.sqlite3）\n"
    "  --base 网址     论坛地址，写作 scheme://host[:port]（默认：编译时配置的论坛）\n"
    "  --quiet         不显示进度\n"
    "  --verbose       每读一页、每取一张图片都写一行进度，输出不是终端时也写\n"
    "                  （不加时：终端上一行进度原地更新，输出不是终端时只写结果）\n"
    "  --full          refresh：把每一页都重读一遍，发现任何地方的修改和删除\n"
    "  --no-images     refresh：图片留到以后再取；export：图片只是链接\n"
    "  --watched       refresh：一个接一个地读所有关注的帖子；有新帖的帖子各写一行：\n"
    "                  板块代码、帖子编号、标题、新帖数、楼主新帖数（连续失败三次的帖子\n"
    "                  等一小时再读）\n"
    "  --summary       refresh：写出 title、starter、board_name、board_code、thread_id、\n"
    "                  pages、posts、new、edited、deleted、checked；show：写出 title、\n"
    "                  starter、board_name、board_code、thread_id、posts、shown、checked\n"
    "                  （checked：最早读的那一页是什么时候读的，UTC）\n"
    "  --mode 模式     show、export：all 全部（默认），starter 只看楼主，names 只看名单里的人\n"
    "  --names 名单    与 --mode names 一起用：作者名含有其中一个名字的帖子，名字之间用\n"
    "                  逗号（\",\" 或 \"，\"）分开\n"
    "  --new           show、export、author：只要未读的帖子\n"
    "  --peek          show：帖子保持未读\n"
    "  --out 文件      show、author：写出的页面（默认：post.htm）；export：导出的文件（必须给）；\n"
    "                  search：再把结果写成一页\n"
    "  --format 格式   export：html（默认）、epub 或 md\n"
    "  --font 字体文件 export --format epub：把这个字体（.ttf、.otf，或 .ttc 里的一款，有\n"
    "                  简体中文的那款优先）里书中用到的字放进书里，没有中文字体的阅读器\n"
    "                  也能显示；不加时书里不带字体\n"
    "  --thread 网址   search：只找这个帖子\n"
    "  --starter       search：只找各帖楼主的帖子\n"
    "  --author 名字   search：只找作者名含有这个名字的帖子\n"
    "  --since 日期    search：只找这一天（YYYY-MM-DD）以后的帖子\n"
    "  --earlier       search：也找修改前的文字\n"
    "  --limit N       search：最多 N 条（默认 50）\n"
    "  --drop          index：去掉搜索索引\n"
    "  --help          显示这段说明\n"
    "\n"
    "退出码：\n"
    "  0  完成\n"
    "  1  refresh：没有收存的帖子里一帖也没读到；show、history、forget、search --thread：\n"
    "     帖子不在帖子库里；search：没有找到；author：帖子库里没有此人的帖子；unfollow：\n"
    "     没有关注此人\n"
    "  2  参数不对、网址不是帖子的网址，名单是空的，或名字里有 GB2312 无法表示的字\n"
    "  3  refresh：无法建立网络连接\n"
    "  4  show、search --out、export、author：文件无法写入\n"
    "  5  帖子库无法打开、建立或写入，不是帖子库，或是更新的版本建的（list、history、\n"
    "     search、export 和 show --peek 可以读无法写入的帖子库）\n"
    "  6  refresh：收存的帖子没有一页读到帖子，或已不在论坛上（帖子库保持原样）；\n"
    "     加 --watched 时：有关注的帖子是这样\n";

struct Options {
    std::string strDb;
    std::string strBase{ForumBaseAddress};
    std::string strMode = "all";
    std::string strNames;
    std::string strOut = "post.htm";
    bool bSummary = false;
    bool bNew = false;
    bool bPeek = false;
    bool bWatched = false;
    bool bFull = false;
    bool bNoImages = false;
    bool bHelp = false;
    bool bQuiet = false;
    bool bVerbose = false;
    std::string strThread;
    std::string strAuthor;
    std::string strSince;
    std::string strLimit = "50";
    std::string strFormat = "html";
    std::string strFont;
    bool bStarter = false;
    bool bEarlier = false;
    bool bDrop = false;
    std::string strCommand;
    std::string strUrl;  // search: the query
};

// The options each command takes beside --db.
const std::map<std::string, std::set<std::string>>& CommandOptions() {
    static const std::map<std::string, std::set<std::string>> commands = {
        {"refresh", {"--base", "--summary", "--watched", "--full", "--no-images"}},
        {"watch", {"--base"}},
        {"unwatch", {"--base"}},
        {"show", {"--base", "--mode", "--names", "--new", "--peek", "--out", "--summary"}},
        {"list", {}},
        {"vacuum", {}},
        {"history", {"--base"}},
        {"forget", {"--base"}},
        {"search",
         {"--base", "--thread", "--starter", "--author", "--since", "--earlier", "--limit",
          "--out"}},
        {"index", {"--drop"}},
        {"follow", {}},
        {"unfollow", {}},
        {"following", {}},
        {"author", {"--base", "--new", "--out"}},
        {"export",
         {"--base", "--format", "--mode", "--names", "--new", "--no-images", "--out", "--font"}},
    };
    return commands;
}

// Whether the command names a person.
bool NamesPerson(const std::string& strCommand) {
    return strCommand == "follow" || strCommand == "unfollow" || strCommand == "author";
}

// Whether the command names no thread.
bool NamesNoThread(const std::string& strCommand) {
    return strCommand == "list" || strCommand == "vacuum" || strCommand == "index" ||
           strCommand == "search" || NamesPerson(strCommand) || strCommand == "following";
}

// What is wrong with a search's query and options, or empty.
std::string CheckSearch(const Options& options) {
    if (SearchWords(options.strUrl).empty()) {
        return "查询里没有词";
    }
    const std::string& limit = options.strLimit;
    if (limit.empty() || limit.size() > 6 ||
        limit.find_first_not_of("0123456789") != std::string::npos || std::stoi(limit) == 0) {
        return "--limit 要一个 1 到 999999 的数";
    }
    const std::string& since = options.strSince;
    const auto digits = [&](std::size_t nAt, std::size_t nCount) {
        return since.substr(nAt, nCount).find_first_not_of("0123456789") == std::string::npos;
    };
    if (!since.empty() && (since.size() != 10 || since[4] != '-' || since[7] != '-' ||
                           !digits(0, 4) || !digits(5, 2) || !digits(8, 2))) {
        return "--since 要写成 YYYY-MM-DD 的日期";
    }
    if (!Utf8ToGbk(options.strAuthor)) {
        return "--author 里有 GB2312 无法表示的字";
    }
    return {};
}

// The command's name, and the options given, each the command's own.
std::string CheckCommand(const std::vector<std::string>& words, const std::set<std::string>& given,
                         Options& options) {
    if (words.empty()) {
        return "没有给命令（refresh、show、export、search、list、history、forget、watch、unwatch、"
               "follow、unfollow、following、author、vacuum 或 index）";
    }
    options.strCommand = words[0];
    const auto command = CommandOptions().find(options.strCommand);
    if (command == CommandOptions().end()) {
        return "没有这个命令：" + options.strCommand;
    }
    for (const std::string& option : given) {
        // --base names the forum for every command; list simply has no address to check.
        if (option != "--db" && option != "--base" && option != "--quiet" &&
            option != "--verbose" && !command->second.contains(option)) {
            return option + " 不是 " + options.strCommand + " 的选项";
        }
    }
    if (options.bQuiet && options.bVerbose) {
        return "--quiet 与 --verbose 不能同时使用";
    }
    if (options.bWatched && (options.bSummary || options.bFull)) {
        return std::string(options.bSummary ? "--summary" : "--full") +
               " 不能与 --watched 一起使用";
    }
    return {};
}

// The thread address, or a search's query, after the command; the options' values.
std::string CheckWords(const std::vector<std::string>& words, const std::set<std::string>& given,
                       Options& options) {
    const bool bSearch = options.strCommand == "search";
    const bool bPerson = NamesPerson(options.strCommand);
    const std::size_t nWords =
        (NamesNoThread(options.strCommand) && !bSearch && !bPerson) || options.bWatched ? 1 : 2;
    if (words.size() < nWords) {
        return bSearch ? "没有给查询" : bPerson ? "没有给名字" : "没有给帖子网址";
    }
    if (words.size() > nWords) {
        return "多余的参数：" + words[nWords];
    }
    if (nWords == 2) {
        options.strUrl = words[1];
    }
    if (given.contains("--db") && options.strDb.empty()) {
        return "--db 要一个文件名";
    }
    if (options.strOut.empty()) {
        return "--out 要一个文件名";
    }
    if (bSearch) {
        return CheckSearch(options);
    }
    if (bPerson) {
        // A name as the board shows it: the blanks typed around it are no part of it.
        const std::size_t nFirst = options.strUrl.find_first_not_of(" \t");
        options.strUrl = nFirst == std::string::npos
                             ? std::string()
                             : options.strUrl.substr(
                                   nFirst, options.strUrl.find_last_not_of(" \t") - nFirst + 1);
        if (options.strUrl.empty() || !Utf8ToGbk(options.strUrl)) {
            return options.strUrl.empty() ? "名字是空的" : "名字里有 GB2312 无法表示的字";
        }
    }
    if (options.strCommand == "export" && !given.contains("--out")) {
        return "export 要用 --out 文件 指定导出到哪里";
    }
    if (options.strCommand == "export" && !ExportFormatNamed(options.strFormat)) {
        return "--format 只能是 html、epub 或 md";
    }
    if (given.contains("--font") && options.strFormat != "epub") {
        return "--font 只用于 --format epub";
    }
    return {};
}

std::string ParseOptions(int argc, char** argv, Options& options, std::set<std::string>& given) {
    std::vector<std::string> words;
    const ArgumentSpec spec{{{"--db", &options.strDb},
                             {"--base", &options.strBase},
                             {"--mode", &options.strMode},
                             {"--names", &options.strNames},
                             {"--out", &options.strOut},
                             {"--thread", &options.strThread},
                             {"--author", &options.strAuthor},
                             {"--since", &options.strSince},
                             {"--limit", &options.strLimit},
                             {"--format", &options.strFormat},
                             {"--font", &options.strFont}},
                            {{"--summary", &options.bSummary},
                             {"--new", &options.bNew},
                             {"--peek", &options.bPeek},
                             {"--watched", &options.bWatched},
                             {"--full", &options.bFull},
                             {"--no-images", &options.bNoImages},
                             {"--starter", &options.bStarter},
                             {"--earlier", &options.bEarlier},
                             {"--drop", &options.bDrop},
                             {"--quiet", &options.bQuiet},
                             {"--verbose", &options.bVerbose},
                             {"--help", &options.bHelp}}};
    if (std::string strWrong = ReadArguments(argc, argv, spec, words, given); !strWrong.empty()) {
        return strWrong;
    }
    if (options.bHelp) {
        return {};
    }
    if (std::string strWrong = CheckCommand(words, given, options); !strWrong.empty()) {
        return strWrong;
    }
    return CheckWords(words, given, options);
}

std::string WhenText(std::int64_t nSeconds) {
    const auto time = static_cast<std::time_t>(nSeconds);
    std::tm utc{};
    gmtime_r(&time, &utc);
    char szWhen[32];
    std::strftime(szWhen, sizeof szWhen, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return szWhen;
}

// UTF-8 of the forum's bytes, with backslash, CR, LF and TAB written as escapes, safe on a
// terminal.
std::string Escaped(std::string_view bytes) {
    std::string text;
    for (const char c : GbkToUtf8Lenient(bytes)) {
        switch (c) {
            case '\\':
                text += "\\\\";
                break;
            case '\r':
                text += "\\r";
                break;
            case '\n':
                text += "\\n";
                break;
            case '\t':
                text += "\\t";
                break;
            default:
                text += c;
        }
    }
    return TerminalSafe(text, true);
}

void PrintValue(const char* pszKey, std::string_view value) {
    const std::string strSafe = TerminalSafe(value, false);
    std::printf("%s\t%s\n", pszKey, strSafe.c_str());
}

void PrintHeading(const StoredThread& thread) {
    PrintValue("title", thread.strTitle);
    PrintValue("starter", thread.strStarter);
    PrintValue("board_name", thread.strBoardName);
    PrintValue("board_code", thread.key.strBoardCode);
    PrintValue("thread_id", thread.key.strThreadId);
}

// When every page of the thread was last read again, in UTC; empty when none is kept.
void PrintChecked(std::int64_t nSeconds) {
    char szTime[32] = "";
    const std::time_t time = nSeconds;
    std::tm utc{};
    if (nSeconds > 0 && gmtime_r(&time, &utc) != nullptr) {
        std::strftime(szTime, sizeof szTime, "%Y-%m-%dT%H:%M:%SZ", &utc);
    }
    std::printf("checked\t%s\n", szTime);
}

class Command {
public:
    Command(const Options& options, ThreadStore& store, ThreadKey key, ProgressLine& progress)
        : m_options(options), m_store(store), m_key(std::move(key)), m_progress(progress) {}

    int Refresh() {
        PageFetcher fetcher;
        if (!fetcher.OpenSession()) {
            PrintLine(kRetrievalFailedMessage);
            return kExitNoSession;
        }
        RefreshSettings settings;
        settings.strBaseAddress = m_options.strBase;
        settings.bFull = m_options.bFull;
        settings.bPictures = !m_options.bNoImages;
        settings.progress = [this](int nPage, int nPosts) { m_progress.Pages(nPage, nPosts); };
        settings.pictureProgress = [this](int nDone, int nWanted) {
            m_progress.Pictures(nDone, nWanted);
        };
        const std::int64_t nLastBefore = m_store.LastPostId();
        const RefreshOutcome outcome = RefreshThread(m_store, fetcher, m_key, settings);
        fetcher.CloseSession();
        m_progress.Clear();
        std::optional<StoredThread> thread = m_store.Find(m_key);
        PrintLine(DescribeRefresh(outcome, settings.nMaxPages));
        TellFollowedNews(m_store, nLastBefore);
        if (m_options.bSummary) {
            StoredThread unknown;
            unknown.key = m_key;
            PrintHeading(thread.value_or(unknown));
            std::printf("pages\t%d\nposts\t%d\nnew\t%d\nedited\t%d\ndeleted\t%d\n",
                        outcome.nLastPage, thread ? m_store.CountPosts(thread->nId) : 0,
                        outcome.changes.nNew, outcome.changes.nEdited, outcome.changes.nDeleted);
            PrintChecked(thread ? m_store.CheckedAt(thread->nId) : 0);
        }
        switch (outcome.result) {
            case RefreshOutcome::Result::kRead:
                return kExitDone;
            case RefreshOutcome::Result::kNothingFound:
                return kExitNotFound;
            case RefreshOutcome::Result::kNothingRead:
                break;
        }
        return kExitNothingRead;
    }

    int Show() {
        PostFilter filter;
        if (!ChooseFilter(filter)) {
            return kExitRejected;
        }
        const std::optional<StoredThread> thread = Kept();
        if (!thread) {
            return kExitNotFound;
        }
        // A picture never fetched links to where its src points from the thread's page.
        PictureMap pictures = m_store.Pictures(thread->nId);
        const std::string strPage =
            ThreadPageAddress(m_options.strBase, thread->key.strBoardCode, thread->key.strThreadId);
        for (auto& [src, ref] : pictures) {
            ref.strAddress =
                ref.strAddress.empty() ? ResolvePictureAddress(src, strPage) : ref.strAddress;
        }
        const ResultPage page = ComposeThreadPage(*thread, PostsToShow(m_store, *thread, filter),
                                                  filter, m_options.bNew, pictures);
        const bool bWritten = WritePage(m_options.strOut, page.strText);
        if (bWritten && !m_options.bPeek) {
            m_store.MarkRead(thread->nId);
        }
        if (m_options.bSummary) {
            PrintHeading(*thread);
            std::printf("posts\t%d\nshown\t%d\n", m_store.CountPosts(thread->nId),
                        bWritten ? page.nShown : 0);
            PrintChecked(m_store.CheckedAt(thread->nId));
        }
        return bWritten ? kExitDone : kExitFileFailed;
    }

    int Export() {
        PostFilter filter;
        if (!ChooseFilter(filter)) {
            return kExitRejected;
        }
        const std::optional<StoredThread> thread = Kept();
        if (!thread) {
            return kExitNotFound;
        }
        ExportChoice choice;
        choice.format = ExportFormatNamed(m_options.strFormat).value_or(ExportFormat::kHtml);
        choice.filter = filter;
        choice.bOnlyUnread = m_options.bNew;
        choice.bPictures = !m_options.bNoImages;
        choice.strFontFile = m_options.strFont;
        choice.strPageAddress =
            ThreadPageAddress(m_options.strBase, thread->key.strBoardCode, thread->key.strThreadId);
        if (!choice.strFontFile.empty() && !HasChineseCharacters(choice.strFontFile)) {
            std::fprintf(stderr, "vesk-library：%s 不是含有中文字的字体文件\n",
                         choice.strFontFile.c_str());
            return kExitRejected;
        }
        const std::string strFailed = WriteThreadExport(m_store, *thread, choice, m_options.strOut);
        if (!strFailed.empty()) {
            std::fprintf(stderr, "vesk-library：%s 无法写入\n", strFailed.c_str());
            return kExitFileFailed;
        }
        return kExitDone;
    }

    int History() {
        const std::optional<StoredThread> thread = Kept();
        if (!thread) {
            return kExitNotFound;
        }
        for (const ThreadChange& change : m_store.History(thread->nId)) {
            std::printf("%d\t%s\t%s\t%s\n", change.nFloor, change.bDeleted ? "deleted" : "edited",
                        WhenText(change.nWhen).c_str(), Escaped(change.strBody).c_str());
        }
        return kExitDone;
    }

    int Watch(bool bWatched) {
        const std::optional<StoredThread> thread = Kept();
        if (!thread) {
            return kExitNotFound;
        }
        m_store.SetWatched(thread->nId, bWatched);
        return kExitDone;
    }

    int Forget() {
        const std::optional<StoredThread> thread = Kept();
        if (!thread) {
            return kExitNotFound;
        }
        m_store.Forget(thread->nId);
        return kExitDone;
    }

    void SetNamesGiven(bool bGiven) { m_bNamesGiven = bGiven; }

private:
    // The filter of --mode and --names; false, and it says why, when they are wrong.
    bool ChooseFilter(PostFilter& filter) const {
        bool bEmptyNames = false;
        const std::string strWrong =
            MakeFilter(m_options.strMode, m_options.strNames, m_bNamesGiven, filter, bEmptyNames);
        if (!strWrong.empty()) {
            PrintLine(bEmptyNames ? strWrong : "vesk-library：" + strWrong);
        }
        return strWrong.empty();
    }

    std::optional<StoredThread> Kept() {
        std::optional<StoredThread> thread = m_store.Find(m_key);
        if (!thread) {
            std::fputs("vesk-library：帖子库里没有这个帖子\n", stderr);
        }
        return thread;
    }

    const Options& m_options;
    ThreadStore& m_store;
    ThreadKey m_key;
    ProgressLine& m_progress;
    bool m_bNamesGiven = false;
};

// The hits, a line each; the page too with --out.
int Search(const Options& options, bool bPage, ThreadStore& store) {
    SearchQuery query;
    query.strText = options.strUrl;
    query.bStarter = options.bStarter;
    query.strAuthor = Utf8ToGbk(options.strAuthor).value_or(std::string());
    query.strSince = options.strSince;
    query.bEarlier = options.bEarlier;
    query.nLimit = std::stoi(options.strLimit);
    if (!options.strThread.empty()) {
        const std::optional<std::string> url =
            AcceptedThreadAddress(options.strThread, options.strBase);
        if (!url) {
            PrintLine(AddressRejectedMessage(options.strBase));
            return kExitRejected;
        }
        query.thread = CutThreadKey(*url);
        if (!store.Find(*query.thread)) {
            std::fputs("vesk-library：帖子库里没有这个帖子\n", stderr);
            return kExitNotFound;
        }
    }
    const std::vector<SearchHit> hits = store.Search(query);
    for (const SearchHit& hit : hits) {
        static constexpr const char* kWhere[] = {"body", "author", "title", "earlier"};
        std::printf("%s\t%s\t%d\t%s\t%s\t%s%s\t%s\n", OneLineUtf8(hit.key.strBoardCode).c_str(),
                    OneLineUtf8(hit.key.strThreadId).c_str(), hit.nFloor,
                    OneLineUtf8(hit.strTime).c_str(), OneLineUtf8(hit.strAuthor).c_str(),
                    kWhere[static_cast<int>(hit.where)], hit.bDeleted ? ",deleted" : "",
                    TerminalSafe(MarkedContext(hit, "\xE3\x80\x90", "\xE3\x80\x91"), true).c_str());
    }
    // The page links each thread to its first page at the forum.
    if (bPage &&
        !WritePage(options.strOut,
                   ComposeSearchPage(options.strUrl, hits, query.nLimit, [&](const SearchHit& hit) {
                       return ThreadPageAddress(options.strBase, hit.key.strBoardCode,
                                                hit.key.strThreadId);
                   }).strText)) {
        return kExitFileFailed;
    }
    return hits.empty() ? kExitNotFound : kExitDone;
}

int List(ThreadStore& store) {
    for (const ThreadListing& thread : store.List()) {
        std::printf("%s\t%s\t%s\t%d\t%d\t%d\t%s\t%d\t%lld\n",
                    OneLineUtf8(thread.key.strBoardCode).c_str(),
                    OneLineUtf8(thread.key.strThreadId).c_str(),
                    OneLineUtf8(thread.strTitle).c_str(), thread.nPosts, thread.nUnread,
                    thread.nStarterUnread, WhenText(thread.nRefreshed).c_str(),
                    thread.bWatched ? 1 : 0, static_cast<long long>(thread.nPictureBytes));
    }
    return kExitDone;
}

// Refreshes every watched thread, one after the other; a line for each that has new posts.
int RefreshWatched(ThreadStore& store, const std::string& strBase, bool bPictures,
                   ProgressLine& progress) {
    PageFetcher fetcher;
    if (!fetcher.OpenSession()) {
        PrintLine(kRetrievalFailedMessage);
        return kExitNoSession;
    }
    RefreshSettings settings;
    settings.strBaseAddress = strBase;
    settings.bPictures = bPictures;
    settings.progress = [&](int nPage, int nPosts) { progress.Pages(nPage, nPosts); };
    settings.pictureProgress = [&](int nDone, int nWanted) { progress.Pictures(nDone, nWanted); };
    const std::int64_t nLastBefore = store.LastPostId();
    const bool bAllRead = RefreshWatchedThreads(
        store, fetcher, settings, std::time(nullptr), [&](const WatchReport& report) {
            progress.Clear();
            std::fputs(WatchReportLine(report).c_str(), stdout);
            std::fflush(stdout);
        });
    fetcher.CloseSession();
    progress.Clear();
    TellFollowedNews(store, nLastBefore);
    return bAllRead ? kExitDone : kExitNothingRead;
}

// The thread the command names, checked as the window's go checks an address; nothing when it
// was rejected (and said why). list and refresh --watched name none.
std::optional<ThreadKey> CheckThread(const Options& options) {
    const bool bNoThread = NamesNoThread(options.strCommand);
    if (!bNoThread && !IsBaseAddress(options.strBase)) {
        std::fputs("vesk-library：--base 要写成 scheme://host[:port]，末尾不带斜杠\n", stderr);
        return std::nullopt;
    }
    if (bNoThread || options.bWatched) {
        return ThreadKey{};
    }
    const std::optional<std::string> url = AcceptedThreadAddress(options.strUrl, options.strBase);
    if (!url) {
        PrintLine(AddressRejectedMessage(options.strBase));
        return std::nullopt;
    }
    return CutThreadKey(*url);
}

int RunCommand(const Options& options, const std::set<std::string>& given, ThreadStore& store,
               const std::string& strPath, const ThreadKey& key, ProgressLine& progress) {
    const bool bReadsOnly = options.strCommand == "list" || options.strCommand == "history" ||
                            options.strCommand == "following" || options.strCommand == "search" ||
                            options.strCommand == "export" ||
                            (options.strCommand == "show" && options.bPeek);
    if (store.IsReadOnly() && !bReadsOnly) {
        std::fprintf(stderr, "vesk-library：帖子库 %s 无法写入%s\n", strPath.c_str(),
                     options.strCommand == "show" ? "（show --peek 不改动帖子库）" : "");
        return kExitLibrary;
    }
    if (options.strCommand == "list") {
        return List(store);
    }
    if (options.strCommand == "vacuum") {
        store.Vacuum();
        return kExitDone;
    }
    if (options.strCommand == "search") {
        return Search(options, given.contains("--out"), store);
    }
    if (NamesPerson(options.strCommand)) {
        const std::string strName = Utf8ToGbk(options.strUrl).value_or(std::string());
        return options.strCommand == "author"
                   ? WritePersonPage(store, strName, options.bNew, options.strOut, options.strBase)
                   : FollowPerson(store, strName, options.strCommand == "follow");
    }
    if (options.strCommand == "following") {
        return ListFollowing(store);
    }
    if (options.strCommand == "index") {
        if (options.bDrop) {
            store.DropSearchIndex();
        } else {
            store.RebuildSearchIndex(
                [&](std::int64_t nDone, std::int64_t nTotal) { progress.Indexed(nDone, nTotal); });
        }
        return kExitDone;
    }
    if (options.bWatched) {
        return RefreshWatched(store, options.strBase, !options.bNoImages, progress);
    }
    Command command(options, store, key, progress);
    command.SetNamesGiven(given.contains("--names"));
    if (options.strCommand == "refresh") {
        return command.Refresh();
    }
    if (options.strCommand == "show") {
        return command.Show();
    }
    if (options.strCommand == "history") {
        return command.History();
    }
    if (options.strCommand == "export") {
        return command.Export();
    }
    if (options.strCommand == "watch" || options.strCommand == "unwatch") {
        return command.Watch(options.strCommand == "watch");
    }
    return command.Forget();
}

int Run(const Options& options, const std::set<std::string>& given) {
    const std::optional<ThreadKey> key = CheckThread(options);
    if (!key) {
        return kExitRejected;
    }
    const std::string strPath = options.strDb.empty() ? DefaultLibraryFile() : options.strDb;
    ProgressLine progress("vesk-library",
                          ProgressLine::Choose(options.bQuiet, options.bVerbose, STDERR_FILENO));
    try {
        // A library made before the search index is indexed as it is opened.
        ThreadStore store(
            strPath, true, ThreadStore::kBusyTimeoutMs,
            [&](std::int64_t nDone, std::int64_t nTotal) { progress.Indexed(nDone, nTotal); });
        progress.Clear();
        return RunCommand(options, given, store, strPath, *key, progress);
    } catch (const LibraryError& error) {
        progress.Clear();
        // Opening names the path itself; a later failure is told with it here.
        const std::string_view what = error.what();
        std::fprintf(stderr, "vesk-library：%s%s\n",
                     what.starts_with(kLibraryErrorStart)
                         ? ""
                         : (std::string(kLibraryErrorStart) + strPath + " 无法使用：").c_str(),
                     error.what());
        return kExitLibrary;
    }
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    std::set<std::string> given;
    const std::string strWrong = ParseOptions(argc, argv, options, given);
    return StartCommand("vesk-library", kUsage, kHelp, strWrong, options.bHelp,
                        [&] { return Run(options, given); });
}
