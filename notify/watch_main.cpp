// vesk-watch: refreshes the library's watched threads, one after the other, and tells the
// desktop of each one whose starter has posted; choosing the notification starts the viewer on
// that thread. Made to be run by a timer while the viewer is not running.

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
    "usage: vesk-watch [--db FILE] [--base URL] [--linger SECONDS] [--viewer PROGRAM]\n"
    "\n"
    "Refreshes every watched thread of the library, one after the other, and prints a line per\n"
    "thread with new posts, as `vesk-library refresh --watched` does. For each thread whose\n"
    "starter has posted, the desktop shows a notification; choosing it starts the viewer on the\n"
    "thread. Without a notification service nothing is shown.\n"
    "\n"
    "  --db FILE         the library (default: $XDG_DATA_HOME/vesk/library.sqlite3, or\n"
    "                    ~/.local/share/vesk/library.sqlite3)\n"
    "  --base URL        the forum, as scheme://host[:port] (default: the configured forum)\n"
    "  --linger SECONDS  how long to wait, once they are shown, for a notification to be\n"
    "                    chosen (default 600)\n"
    "  --viewer PROGRAM  the viewer to start (default: vesk beside this program, or on PATH)\n"
    "  --help            this text\n"
    "\n"
    "exit codes: 0 every refresh ran, 2 a wrong argument, 3 the network could not be set up,\n"
    "5 the library cannot be used, 6 some watched thread gave no page with posts\n";

struct Notice {
    ThreadKey key;
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
        return "unexpected argument: " + words[0];
    }
    if (options.bHelp) {
        return {};
    }
    try {
        std::size_t nUsed = 0;
        options.nLingerSeconds = std::stoi(options.strLinger, &nUsed);
        if (nUsed != options.strLinger.size() || options.nLingerSeconds < 0 ||
            options.nLingerSeconds > 86400) {
            return "--linger takes seconds, 0 to 86400";
        }
    } catch (const std::exception&) {
        return "--linger takes seconds, 0 to 86400";
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
            notices.push_back({report.key, MakeWatchNotice(report, strNewest)});
        }
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
        const ThreadKey key = ThreadKeyOfTag(tag.toStdString());
        const std::string strUrl =
            ThreadPageAddress(options.strBase, key.strBoardCode, key.strThreadId);
        if (!strUrl.empty() &&
            !QProcess::startDetached(
                viewer, {QStringLiteral("--open"), QString::fromLatin1(strUrl.c_str())})) {
            std::fprintf(stderr, "vesk-watch: cannot start %s\n", viewer.toLocal8Bit().data());
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
                        QString::fromStdString(WatchTag(notice.key)));
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
        std::fprintf(stderr, "vesk-watch: %s\n", error.what());
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
