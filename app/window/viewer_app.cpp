// vesk: the viewer. It runs its one window modally and ends when the window closes; the window
// remembers its size and place and the reader's choices. Its option --open THREAD_URL shows a
// thread kept in the library at the starter's first new post, as a watched thread's notification
// asks, and --person TAG a person's page at their first post not read, as a notification about a
// person followed asks; while a viewer runs, a start with one hands it to that viewer and ends.

#include "picture_scheme.h"
#include "thread_store.h"
#include "viewer_dialog.h"
#include "viewer_hand_over.h"

#include <unistd.h>

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <cstdio>

int main(int argc, char** argv) {
    // The web engine's sandbox cannot run as root; it is of no use there anyway.
    if (geteuid() == 0) {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    }
    // The web view shares its graphics context with the window's.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    vesk::RegisterPictureScheme();
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vesk"));
    // The interface is Chinese: Qt's own texts (buttons of dialogs, the file dialog) too.
    for (const char* pszCatalogue : {"qtbase", "qtwebengine"}) {
        auto* pTranslator = new QTranslator(&app);
        if (pTranslator->load(QLocale(QLocale::Chinese, QLocale::China),
                              QString::fromLatin1(pszCatalogue), QStringLiteral("_"),
                              QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
            QCoreApplication::installTranslator(pTranslator);
        }
    }
    const QStringList args = QCoreApplication::arguments();
    // --person takes the tag a notification about a person carries.
    if (args.size() != 1 && (args.size() != 3 || (args[1] != QLatin1String("--open") &&
                                                  args[1] != QLatin1String("--person")))) {
        std::fputs("用法：vesk [--open 帖子网址 | --person 通知里的人]\n", stderr);
        return 2;
    }
    const QString handOverName = vesk::ViewerHandOver::ServerName(vesk::DefaultLibraryFile());
    if (args.size() == 3 && vesk::ViewerHandOver::HandOver(handOverName, args[2])) {
        return 0;
    }
    vesk::ViewerDialog dialog;
    const vesk::ViewerHandOver handOver(
        handOverName, [&dialog](const QString& address) { dialog.ShowChosenThread(address); });
    if (args.size() == 3) {
        dialog.OpenThreadAddress(args[2], true);
    }
    if (dialog.IsReady()) {
        dialog.exec();
    }
    return 0;
}
