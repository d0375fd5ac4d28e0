// vesk-library: the thread library from the command line. Threads are read whole into one SQLite
// file, refreshed with only what is new, and shown offline as the viewer's result page.

#include "arguments.h"
#include "code_page.h"
#include "exit_codes.h"
#include "forum_config.h"
#include "picture_sources.h"
#include "request_checks.h"
#include "search_page.h"
#include "terminal_text.h"
#include "thread_export.h"
#include "thread_page.h"
#include "thread_reader.h"
#include "watch_notice.h"

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
    "usage: vesk-library [--db FILE] [--base URL] refresh [--full] [--no-images] [--summary]\n"
    "                    THREAD_URL\n"
    "       vesk-library [--db FILE] [--base URL] show [--mode all|starter|names] [--names LIST]\n"
    "                    [--new] [--peek] [--out FILE] [--summary] THREAD_URL\n"
    "       vesk-library [--db FILE] list\n"
    "       vesk-library [--db FILE] [--base URL] history THREAD_URL\n"
    "       vesk-library [--db FILE] [--base URL] forget THREAD_URL\n"
    "       vesk-library [--db FILE] [--base URL] watch|unwatch THREAD_URL\n"
    "       vesk-library [--db FILE] [--base URL] refresh --watched [--no-images]\n"
    "       vesk-library [--db FILE] vacuum\n"
    "       vesk-library [--db FILE] [--base URL] search [--thread URL] [--starter]\n"
    "                    [--author NAME] [--since DATE] [--earlier] [--limit N] [--out FILE]\n"
    "                    QUERY\n"
    "       vesk-library [--db FILE] index [--drop]\n"
    "       vesk-library [--db FILE] [--base URL] export [--format html|epub|md]\n"
    "                    [--mode all|starter|names] [--names LIST] [--new] [--no-images]\n"
    "                    --out FILE THREAD_URL\n";

constexpr char kHelp[] =
    "Keeps whole threads in a library file, refreshes them with what is new, and shows them.\n"
    "\n"
    "  refresh         read the thread into the library: all of it the first time, later page 1\n"
    "                  and from the first page not full when it was read on; new, edited and\n"
    "                  deleted posts are noted; then the pictures its posts show that are not\n"
    "                  kept yet are fetched (at most 10 MB each; PNG, JPEG, GIF and WebP only)\n"
    "  show            write the kept thread as one page, deleted posts marked, unread edited\n"
    "                  and new posts marked; afterwards every post of the thread is read\n"
    "  list            the kept threads, last refreshed first: board code, thread number,\n"
    "                  title, posts, unread, the starter's unread, last refresh (UTC), watched,\n"
    "                  the bytes its kept pictures take\n"
    "  history         the thread's edits and deletions, oldest first, with the earlier text\n"
    "  forget          remove the thread, its history and the pictures no other thread shows\n"
    "  vacuum          give the space of what was forgotten back to the file system\n"
    "  search          the kept posts that hold every word of QUERY (words split by spaces,\n"
    "                  taken as typed, any length; no query syntax), in their text, their\n"
    "                  author or their thread's title, newest first: board code, thread number,\n"
    "                  floor, time, author, where found (body, author, title or earlier, with\n"
    "                  \",deleted\" for a deleted post), the words around it with what was found\n"
    "                  between \"\xE3\x80\x90\" and \"\xE3\x80\x91\"\n"
    "  export          write the kept thread, as show would choose its posts: html, one file\n"
    "                  that needs nothing beside it (the style and the kept pictures inside\n"
    "                  it); epub, an EPUB 3 book, a chapter for every 100 posts, its pictures\n"
    "                  inside; md, Markdown (UTF-8) with the kept pictures beside it in the\n"
    "                  folder NAME_pictures (NAME: FILE without its extension), named by\n"
    "                  their SHA-256; with --no-images, pictures are links to their addresses\n"
    "  index           make the search index anew from what is kept; with --drop, take it\n"
    "                  out (searches then read every post; index makes it again)\n"
    "  watch, unwatch  mark a kept thread as watched, or not\n"
    "\n"
    "  --db FILE       the library (default: $XDG_DATA_HOME/vesk/library.sqlite3, or\n"
    "                  ~/.local/share/vesk/library.sqlite3)\n"
    "  --base URL      the forum, as scheme://host[:port] (default: the configured forum)\n"
    "  --mode MODE     show: all (default), starter (only the thread starter's posts), or names\n"
    "  --names LIST    show with --mode names: authors containing one of these names,\n"
    "                  separated by commas (\",\" or \"\xEF\xBC\x8C\")\n"
    "  --new           show: only the posts not read yet\n"
    "  --peek          show: leave the posts unread\n"
    "  --out FILE      show: the page written (default: post.htm)\n"
    "  --full          refresh: read every page again, noting edits and deletions anywhere\n"
    "  --no-images     refresh: leave the pictures for a later refresh\n"
    "  --watched       refresh: every watched thread, one after the other; prints a line per\n"
    "                  thread with new posts: board code, thread number, title, new, the\n"
    "                  starter's new (a thread that failed three times in a row waits an hour)\n"
    "  --summary       refresh: print title, starter, board_name, board_code, thread_id, pages,\n"
    "                  posts, new, edited, deleted, checked; show: title, starter,\n"
    "                  board_name, board_code, thread_id, posts, shown, checked (checked: when\n"
    "                  the page read longest ago was read, UTC)\n"
    "  --thread URL    search: only this thread's posts\n"
    "  --starter       search: only each thread's starter's posts\n"
    "  --author NAME   search: only posts whose author holds NAME\n"
    "  --since DATE    search: only posts of DATE (YYYY-MM-DD) or later\n"
    "  --earlier       search: also the texts that edits replaced\n"
    "  --limit N       search: at most N posts (default 50)\n"
    "  --out FILE      search: also write the results as a page\n"
    "  --drop          index: take the search index out\n"
    "  --format FORMAT export: html (the default), epub or md\n"
    "  --help          this text\n"
    "\n"
    "exit codes:\n"
    "  0  done\n"
    "  1  refresh: no post found for a thread not kept; show, history, forget, search --thread:\n"
    "     the thread is not in the library; search: no post found\n"
    "  2  a wrong argument, an address that is no thread's, or an empty name list\n"
    "  3  refresh: the network could not be set up\n"
    "  4  show, search --out: the page could not be written\n"
    "  5  the library cannot be opened, created or written, is not a library, or is newer\n"
    "     (list, history and show --peek read a library that cannot be written)\n"
    "  6  refresh: a kept thread gave no page with posts, or is no longer on the board (the\n"
    "     library is as it was); with --watched: some watched thread did\n";

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
    std::string strThread;
    std::string strAuthor;
    std::string strSince;
    std::string strLimit = "50";
    std::string strFormat = "html";
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
        {"export", {"--base", "--format", "--mode", "--names", "--new", "--no-images", "--out"}},
    };
    return commands;
}

// Whether the command names no thread.
bool NamesNoThread(const std::string& strCommand) {
    return strCommand == "list" || strCommand == "vacuum" || strCommand == "index" ||
           strCommand == "search";
}

// What is wrong with a search's query and options, or empty.
std::string CheckSearch(const Options& options) {
    if (SearchWords(options.strUrl).empty()) {
        return "the query has no words";
    }
    const std::string& limit = options.strLimit;
    if (limit.empty() || limit.size() > 6 ||
        limit.find_first_not_of("0123456789") != std::string::npos || std::stoi(limit) == 0) {
        return "--limit takes a number from 1 to 999999";
    }
    const std::string& since = options.strSince;
    const auto digits = [&](std::size_t nAt, std::size_t nCount) {
        return since.substr(nAt, nCount).find_first_not_of("0123456789") == std::string::npos;
    };
    if (!since.empty() && (since.size() != 10 || since[4] != '-' || since[7] != '-' ||
                           !digits(0, 4) || !digits(5, 2) || !digits(8, 2))) {
        return "--since takes a date as YYYY-MM-DD";
    }
    if (!Utf8ToGbk(options.strAuthor)) {
        return "--author holds characters that GB2312 cannot write";
    }
    return {};
}

// The command's name, and the options given, each the command's own.
std::string CheckCommand(const std::vector<std::string>& words, const std::set<std::string>& given,
                         Options& options) {
    if (words.empty()) {
        return "no command (refresh, show, list, history, forget, watch, unwatch, vacuum, search, "
               "export "
               "or "
               "index)";
    }
    options.strCommand = words[0];
    const auto command = CommandOptions().find(options.strCommand);
    if (command == CommandOptions().end()) {
        return "unknown command " + options.strCommand;
    }
    for (const std::string& option : given) {
        // --base names the forum for every command; list simply has no address to check.
        if (option != "--db" && option != "--base" && !command->second.contains(option)) {
            return option + " is not an option of " + options.strCommand;
        }
    }
    if (options.bWatched && (options.bSummary || options.bFull)) {
        return std::string(options.bSummary ? "--summary" : "--full") +
               " is not used with --watched";
    }
    return {};
}

// The thread address, or a search's query, after the command; the options' values.
std::string CheckWords(const std::vector<std::string>& words, const std::set<std::string>& given,
                       Options& options) {
    const bool bSearch = options.strCommand == "search";
    const std::size_t nWords =
        (NamesNoThread(options.strCommand) && !bSearch) || options.bWatched ? 1 : 2;
    if (words.size() < nWords) {
        return bSearch ? "no query" : "no thread address";
    }
    if (words.size() > nWords) {
        return "unexpected argument: " + words[nWords];
    }
    if (nWords == 2) {
        options.strUrl = words[1];
    }
    if (given.contains("--db") && options.strDb.empty()) {
        return "--db needs a file name";
    }
    if (options.strOut.empty()) {
        return "--out needs a file name";
    }
    if (bSearch) {
        return CheckSearch(options);
    }
    if (options.strCommand == "export" && !given.contains("--out")) {
        return "export needs --out FILE";
    }
    if (options.strCommand == "export" && !ExportFormatNamed(options.strFormat)) {
        return "--format takes html, epub or md";
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
                             {"--format", &options.strFormat}},
                            {{"--summary", &options.bSummary},
                             {"--new", &options.bNew},
                             {"--peek", &options.bPeek},
                             {"--watched", &options.bWatched},
                             {"--full", &options.bFull},
                             {"--no-images", &options.bNoImages},
                             {"--starter", &options.bStarter},
                             {"--earlier", &options.bEarlier},
                             {"--drop", &options.bDrop},
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
    Command(const Options& options, ThreadStore& store, ThreadKey key)
        : m_options(options), m_store(store), m_key(std::move(key)) {}

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
        settings.progress = [](int nPage, int nPosts) {
            std::fprintf(stderr, "vesk-library: page %d read, %d posts so far\n", nPage, nPosts);
        };
        const RefreshOutcome outcome = RefreshThread(m_store, fetcher, m_key, settings);
        fetcher.CloseSession();
        std::optional<StoredThread> thread = m_store.Find(m_key);
        PrintLine(DescribeRefresh(outcome, settings.nMaxPages));
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
        const std::string strFailed = WriteThreadExport(m_store, *thread, choice, m_options.strOut);
        if (!strFailed.empty()) {
            std::fprintf(stderr, "vesk-library: %s cannot be written\n", strFailed.c_str());
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
            PrintLine(bEmptyNames ? strWrong : "vesk-library: " + strWrong);
        }
        return strWrong.empty();
    }

    std::optional<StoredThread> Kept() {
        std::optional<StoredThread> thread = m_store.Find(m_key);
        if (!thread) {
            std::fprintf(stderr, "vesk-library: the thread is not in the library\n");
        }
        return thread;
    }

    const Options& m_options;
    ThreadStore& m_store;
    ThreadKey m_key;
    bool m_bNamesGiven = false;
};

// The search index's making, now and then.
void TellIndexing(std::int64_t nDone, std::int64_t nTotal) {
    std::fprintf(stderr, "vesk-library: indexing the kept posts for search, %lld of %lld\n",
                 static_cast<long long>(nDone), static_cast<long long>(nTotal));
}

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
            std::fprintf(stderr, "vesk-library: the thread is not in the library\n");
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
int RefreshWatched(ThreadStore& store, const std::string& strBase, bool bPictures) {
    PageFetcher fetcher;
    if (!fetcher.OpenSession()) {
        PrintLine(kRetrievalFailedMessage);
        return kExitNoSession;
    }
    RefreshSettings settings;
    settings.strBaseAddress = strBase;
    settings.bPictures = bPictures;
    const bool bAllRead = RefreshWatchedThreads(
        store, fetcher, settings, std::time(nullptr), [](const WatchReport& report) {
            std::fputs(WatchReportLine(report).c_str(), stdout);
            std::fflush(stdout);
        });
    fetcher.CloseSession();
    return bAllRead ? kExitDone : kExitNothingRead;
}

// The thread the command names, checked as the window's go checks an address; nothing when it
// was rejected (and said why). list and refresh --watched name none.
std::optional<ThreadKey> CheckThread(const Options& options) {
    const bool bNoThread = NamesNoThread(options.strCommand);
    if (!bNoThread && !IsBaseAddress(options.strBase)) {
        std::fprintf(stderr,
                     "vesk-library: --base takes scheme://host[:port], no trailing slash\n");
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
               const std::string& strPath, const ThreadKey& key) {
    const bool bReadsOnly = options.strCommand == "list" || options.strCommand == "history" ||
                            options.strCommand == "search" || options.strCommand == "export" ||
                            (options.strCommand == "show" && options.bPeek);
    if (store.IsReadOnly() && !bReadsOnly) {
        std::fprintf(stderr, "vesk-library: the library %s cannot be written%s\n", strPath.c_str(),
                     options.strCommand == "show" ? " (show --peek leaves it as it is)" : "");
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
    if (options.strCommand == "index") {
        if (options.bDrop) {
            store.DropSearchIndex();
        } else {
            store.RebuildSearchIndex(TellIndexing);
        }
        return kExitDone;
    }
    if (options.bWatched) {
        return RefreshWatched(store, options.strBase, !options.bNoImages);
    }
    Command command(options, store, key);
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
    try {
        ThreadStore store(strPath, true, ThreadStore::kBusyTimeoutMs, TellIndexing);
        return RunCommand(options, given, store, strPath, *key);
    } catch (const LibraryError& error) {
        // Opening names the path itself; a later failure is told with it here.
        const std::string_view what = error.what();
        std::fprintf(stderr, "vesk-library: %s%s\n",
                     what.starts_with("the library ")
                         ? ""
                         : ("the library " + strPath + " cannot be used: ").c_str(),
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
