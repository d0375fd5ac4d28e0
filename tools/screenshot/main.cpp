// Saves what the X display shows as a PNG file: the demo's picture of the viewer on a machine
// without a screen of its own.
//
//   vesk-screenshot FILE.png

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: vesk-screenshot FILE.png\n");
        return 2;
    }
    QGuiApplication app(argc, argv);
    QScreen* pScreen = QGuiApplication::primaryScreen();
    if (pScreen == nullptr || !pScreen->grabWindow(0).save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "vesk-screenshot: cannot save %s\n", argv[1]);
        return 1;
    }
    return 0;
}
