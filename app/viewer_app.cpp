// vesk: the viewer. It runs its one window modally and ends when the window closes; it reads
// no command line and stores no settings, so every start begins from the same state.

#include "viewer_dialog.h"

#include <unistd.h>

#include <QApplication>

int main(int argc, char** argv) {
    // The web engine's sandbox cannot run as root; it is of no use there anyway.
    if (geteuid() == 0) {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    }
    // The web view shares its graphics context with the window's.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vesk"));
    vesk::ViewerDialog dialog;
    if (dialog.IsReady()) {
        dialog.exec();
    }
    return 0;
}
