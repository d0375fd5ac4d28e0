#include "help_page.h"

#include <QFile>

namespace vesk {

void CopyReadable(const QString& source, const QString& target) {
    QFile::copy(source, target);
    QFile(target).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                 QFileDevice::ReadGroup | QFileDevice::ReadOther);
}

QString WriteHelpPage(const QString& folder) {
    QFile source(QStringLiteral(":/vesk/pages/help.html"));
    if (!source.open(QIODevice::ReadOnly)) {
        return {};
    }
    QString page = QString::fromUtf8(source.readAll());
    const QLatin1String end("<!--/viewer-only-->");
    const qsizetype nFrom = page.indexOf(QLatin1String("<!--viewer-only-->"));
    const qsizetype nTo = page.indexOf(end);
    if (nFrom >= 0 && nTo > nFrom) {
        page.remove(nFrom, nTo + end.size() - nFrom);
    }
    const QString path = folder + QStringLiteral("/help.html");
    QFile help(path);
    if (!help.open(QIODevice::WriteOnly | QIODevice::Truncate) || help.write(page.toUtf8()) < 0) {
        return {};
    }
    help.close();
    QFile::remove(folder + QStringLiteral("/viewer.css"));
    CopyReadable(QStringLiteral(":/vesk/pages/viewer.css"), folder + QStringLiteral("/viewer.css"));
    return path;
}

}  // namespace vesk
