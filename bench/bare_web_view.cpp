// A bare web view window showing one local page, the yardstick of the viewer's start-up and
// memory: the least a program that shows a page in Qt WebEngine costs.
//   bare_web_view FILE
// Prints "loaded" on its standard output when the page has loaded.

#include <unistd.h>

#include <QApplication>
#include <QUrl>
#include <QWebEngineView>
#include <cstdio>

int main(int argc, char** argv) {
    if (geteuid() == 0) {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    }
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: bare_web_view FILE\n");
        return 2;
    }
    QWebEngineView view;
    view.setWindowTitle(QStringLiteral("bare-view"));
    view.resize(726, 599);  // the size of the viewer's window
    QObject::connect(&view, &QWebEngineView::loadFinished, [](bool) {
        std::printf("loaded\n");
        std::fflush(stdout);
    });
    view.load(QUrl::fromLocalFile(QString::fromLocal8Bit(argv[1])));
    view.show();
    return app.exec();
}
