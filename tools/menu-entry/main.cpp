// vesk-icon-png ICO FOLDER: writes each size an icon file holds as FOLDER/NxN/apps/vesk.png, the
// layout of the desktop's icon theme, for the installed program's menu entry.

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: vesk-icon-png ICO FOLDER\n", stderr);
        return 2;
    }
    QGuiApplication app(argc, argv);
    QImageReader reader(QString::fromLocal8Bit(argv[1]));
    int nWritten = 0;
    do {
        const QImage image = reader.read();
        if (image.isNull()) {
            break;
        }
        const QString size = QStringLiteral("%1x%2").arg(image.width()).arg(image.height());
        const QDir folder(QString::fromLocal8Bit(argv[2]) + QLatin1Char('/') + size +
                          QStringLiteral("/apps"));
        if (!QDir().mkpath(folder.path()) ||
            !image.save(folder.filePath(QStringLiteral("vesk.png")), "PNG")) {
            std::fprintf(stderr, "vesk-icon-png: cannot write %s\n", qPrintable(folder.path()));
            return 1;
        }
        ++nWritten;
    } while (reader.jumpToNextImage());
    return nWritten > 0 ? 0 : 1;
}
