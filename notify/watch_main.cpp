// vesk-watch: refreshes the library's watched threads, one after the other, and tells the
// desktop of each one whose starter has posted, and of each person followed who posted in them;
// choosing the notification starts the viewer on that thread, or on that person's page. Made to
// be run by a timer while the viewer is not running.

#include "arguments.h"
#include "desktop_notifier.h"
#include "exit_codes.h"
#include "forum_address.h"
#include "forum_config.h"
#include "request_checks.h"
#include "thread_reader.h"
#include "watch_notice.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>
#include <cstdio>
#include <ctime>
#include <set>
#include <string>
#include <vector>

namespace {

using namespace vesk;

constexpr char kHelp[] =
    "用法：vesk-watch [--db 文件] [--base 网址] [--linger 秒数] [--viewer 程序]\n"
    "\n"
    "一个接一个地读帖子库里所有关注的帖子，有新帖的帖子各写一行，和\n"
    "vesk-library refresh --watched 一样。楼主发了新帖的帖子，桌面上显示一条通知；\n"
    "点通知就用查看器打开那个帖子。关注的人发了新帖，每人一条通知；点它就打开\n"
    "此人的全部帖子。没有通知服务时什么也不显示。\n"
    "\n"
    "  --db 文件         帖子库（默认：$XDG_DATA_HOME/vesk/library.sqlite3，或\n"
    "                    ~/.local/share/vesk/library.sqlite3）\n"
    "  --base 网址       论坛地址，写作 scheme://host[:port]（默认：编译时配置的论坛）\n"
    "  --linger 秒数     通知显示后，等人点它最多等多久（默认 600）\n"
    "  --viewer 程序     要打开的查看器（默认：本程序旁边的 vesk，或 PATH 上的）\n"
    "  --help            显示这段说明\n"
    "\n"
    "退出码：0 每个帖子都读了，2 参数不对，3 无法建立网络连接，5 帖子库无法使用，\n"
    "6 有关注的帖子没有一页读到帖子\n";

// A notification and the tag of what it is about: a thread, or a person followed.
struct Notice {
    std::string strTag;
    WatchNotice text;
};

struct WatchOptions {
    std::string strDb;
    std::string strBase{ForumBaseAddress};
    std::string strLinger = "600";
    std::string strViewer;
    bool bHelp = false;
    int nLingerSeconds = 0;
};

// Reads the arguments into options; what is wrong with them, or empty when nothing is.
std::string ParseOptions(int argc, char** argv, WatchOptions& options) {
    std::vector<std::string> words;
    std::set<std::string> given;
    const ArgumentSpec spec{{{"--db", &options.strDb},
                             {"--base", &options.strBase},
                             {"--linger", &options.strLinger},
                             {"--viewer", &options.strViewer}},
                            {{"--help", &options.bHelp}}};
    if (std::string strWrong = ReadArguments(argc, argv, spec, words, given); !strWrong.empty()) {
        return strWrong;
    }
    if (!words.empty()) {
        return "多余的参数：" + words[0];
    }
    if (options.bHelp) {
        return {};
    }
    try {
        std::size_t nUsed = 0;
        options.nLingerSeconds = std::stoi(options.strLinger, &nUsed);
        if (nUsed != options.strLinger.size() || options.nLingerSeconds < 0 ||
            options.nLingerSeconds > 86400) {
            return "--linger 要一个 0 到 86400 的秒数";
        }
    } catch (const std::exception&) {
        return "--linger 要一个 0 到 86400 的秒数";
    }
    return IsBaseAddress(options.strBase) ? std::string()
                                          : "--base takes scheme://host[:port], no trailing slash";
}

// The viewer beside this program, else the one on PATH.
QString DefaultViewer() {
    const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath("vesk");
    return QFileInfo(beside).isExecutable() ? beside : QStringLiteral("vesk");
}

// Refreshes every watched thread, printing a line for each with new posts, and gathers the
// notices of those whose starter posted.
bool RefreshWatched(ThreadStore& store, PageFetcher& fetcher, const WatchOptions& options,
                    std::vector<Notice>& notices) {
    RefreshSettings settings;
    settings.strBaseAddress = options.strBase;
    std::vector<WatchReport> reports;
    const std::int64_t nLastBefore = store.LastPostId();
    const bool bAllRead = RefreshWatchedThreads(
        store, fetcher, settings, std::time(nullptr), [&reports](const WatchReport& report) {
            std::fputs(WatchReportLine(report).c_str(), stdout);
            std::fflush(stdout);
            reports.push_back(report);
        });
    for (const WatchReport& report : reports) {
        if (report.nStarterNew > 0) {
            const std::optional<StoredThread> thread = store.Find(report.key);
            const std::string strNewest =
                thread ? store.NewestStarterBody(thread->nId) : std::string();
            notices.push_back({WatchTag(report.key), MakeWatchNotice(report, strNewest)});
        }
    }
    // Once per person followed who posted, whichever threads they posted in.
    for (const PersonNews& news : store.FollowedNews(nLastBefore)) {
        notices.push_back({PersonTag(news.strName), MakePersonNotice(news)});
    }
    return bAllRead;
}

// Shows the notices and stays until every one is closed, or the time to choose one is over once
// all are shown; choosing one starts the viewer on its thread.
void ShowNotices(QCoreApplication& app, const WatchOptions& options,
                 const std::vector<Notice>& notices) {
    DesktopNotifier notifier(QStringLiteral("vesk"));
    const QString viewer = options.strViewer.empty()
                               ? DefaultViewer()
                               : QString::fromLocal8Bit(options.strViewer.c_str());
    QObject::connect(&notifier, &DesktopNotifier::activated, [&](const QString& tag) {
        // A person's page opens by the tag itself.
        const ThreadKey key = ThreadKeyOfTag(tag.toStdString());
        const bool bPerson = PersonOfTag(tag.toStdString()).has_value();
        const std::string strUrl =
            bPerson ? tag.toStdString()
                    : ThreadPageAddress(options.strBase, key.strBoardCode, key.strThreadId);
        if (!strUrl.empty() &&
            !QProcess::startDetached(
                viewer, {bPerson ? QStringLiteral("--person") : QStringLiteral("--open"),
                         QString::fromLatin1(strUrl.c_str())})) {
            std::fprintf(stderr, "vesk-watch：无法启动 %s\n", viewer.toLocal8Bit().data());
        }
    });
    QObject::connect(&notifier, &DesktopNotifier::idle, &app, &QCoreApplication::quit);
    std::size_t nAnswered = 0;
    QObject::connect(&notifier, &DesktopNotifier::answered, [&] {
        if (++nAnswered == notices.size()) {
            QTimer::singleShot(std::chrono::seconds(options.nLingerSeconds), &app,
                               &QCoreApplication::quit);
        }
    });
    for (const Notice& notice : notices) {
        notifier.Notify(QString::fromStdString(notice.text.strSummary),
                        QString::fromStdString(notice.text.strBody),
                        QString::fromStdString(notice.strTag));
    }
    app.exec();
}

int Run(int argc, char** argv, const WatchOptions& options) {
    QCoreApplication app(argc, argv);
    PageFetcher fetcher;
    if (!fetcher.OpenSession()) {
        PrintLine(kRetrievalFailedMessage);
        return kExitNoSession;
    }
    std::vector<Notice> notices;
    bool bAllRead = false;
    try {
        ThreadStore store(options.strDb.empty() ? DefaultLibraryFile() : options.strDb);
        bAllRead = RefreshWatched(store, fetcher, options, notices);
    } catch (const LibraryError& error) {
        fetcher.CloseSession();
        std::fprintf(stderr, "vesk-watch：%s\n", error.what());
        return kExitLibrary;
    }
    fetcher.CloseSession();
    if (!notices.empty()) {
        ShowNotices(app, options, notices);
    }
    return bAllRead ? kExitDone : kExitNothingRead;
}

}  // namespace

int main(int argc, char** argv) {
    WatchOptions options;
    const std::string strWrong = ParseOptions(argc, argv, options);
    return StartCommand("vesk-watch", kHelp, "", strWrong, options.bHelp,
                        [&] { return Run(argc, argv, options); });
}
