#include "shown_page.h"

#include "help_page.h"
#include "home_page.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>
#include <QUrl>

namespace vesk {

namespace {

// Where the pages go: the given folder, or the program's own when its style sheet lies beside it
// (a build, a copy of its own), else the user's data folder of the program (an installed copy,
// whose folder is the system's even where it could be written), as where either cannot be
// written. The page's style sheet is put beside them when it is not there.
QString PageFolder(const QString& given) {
    const QString appDir = QDir(QCoreApplication::applicationDirPath()).absolutePath() + '/';
    QString folder = given.isEmpty() ? appDir : QDir(given).absolutePath() + QLatin1Char('/');
    if (!QFileInfo(folder).isWritable() ||
        (given.isEmpty() && !QFileInfo::exists(appDir + QStringLiteral("vesk3.css")))) {
        folder = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
        QDir().mkpath(folder);
        folder = QDir(folder).absolutePath() + QLatin1Char('/');
    }
    const QString css = folder + QStringLiteral("vesk3.css");
    if (!QFileInfo::exists(css)) {
        const QString beside = appDir + QStringLiteral("vesk3.css");
        CopyReadable(QFileInfo::exists(beside) ? beside : QStringLiteral(":/vesk/pages/vesk3.css"),
                     css);
    }
    return folder;
}

}  // namespace

ShownPage::ShownPage(const QString& pageFolder) {
    const QString folder = PageFolder(pageFolder);
    m_pPageLock = std::make_unique<QLockFile>(folder + QStringLiteral("post.htm.lock"));
    QString output = folder + QStringLiteral("post.htm");
    if (!m_pPageLock->tryLock(0)) {
        m_pPageLock.reset();
        output = folder + QStringLiteral("post-%1.htm").arg(QCoreApplication::applicationPid());
    }
    m_strOutputPath = output.toStdString();
    m_homePath = QFileInfo(output).path() + QStringLiteral("/home-") +
                 QFileInfo(output).completeBaseName() + QStringLiteral(".htm");
    m_searchPath = QFileInfo(output).path() + QStringLiteral("/search-") +
                   QFileInfo(output).completeBaseName() + QStringLiteral(".htm");
    m_personPath = QFileInfo(output).path() + QStringLiteral("/person-") +
                   QFileInfo(output).completeBaseName() + QStringLiteral(".htm");
}

ShownPage::~ShownPage() {
    // A page of this viewer's own, beside the post.htm that another viewer held, goes with it.
    if (m_pPageLock == nullptr) {
        QFile::remove(QString::fromStdString(m_strOutputPath));
    }
    // The search's page holds what was looked for: it goes with the window.
    QFile::remove(m_searchPath);
    QFile::remove(m_personPath);
}

QStringList ShownPage::LocalFiles() const {
    const QString output = QString::fromStdString(m_strOutputPath);
    return {output, m_homePath, m_searchPath, m_personPath,
            QFileInfo(output).path() + QStringLiteral("/vesk3.css")};
}

ResultPage ShownPage::Compose(const PostRecord* pPosts, int nLastIndex,
                              const ResultBuffers& results, const PostFilter& filter) const {
    return BuildResultPage(pPosts, nLastIndex, results.szTitle, results.szStarter, filter);
}

bool ShownPage::Write(const ResultPage& page) const {
    return WriteResultFile(m_strOutputPath, page.strText);
}

bool ShownPage::WriteSearch(const ResultPage& page) const {
    return WriteResultFile(m_searchPath.toStdString(), page.strText);
}

bool ShownPage::WriteHome(const std::vector<ThreadListing>& threads, const HomeFigures& figures,
                          const QString& libraryFile, const QString& error) const {
    const QByteArray bytes =
        ComposeHomePage(QUrl::fromLocalFile(m_homePath), threads, figures, libraryFile, error)
            .toUtf8();
    return WriteResultFile(
        m_homePath.toStdString(),
        std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

}  // namespace vesk
