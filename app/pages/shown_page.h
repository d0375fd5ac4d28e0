#pragma once

#include "fetch_job.h"
#include "home_page.h"
#include "result_page.h"
#include "thread_store.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QLockFile;

namespace vesk {

// What the window shows in its web view, and the files it shows it from: the result page
// (post.htm, kept to this viewer while it runs, or one of this viewer's own beside it while
// another viewer holds post.htm) and the home page beside it.
class ShownPage final {
public:
    // The pages go to pageFolder, or when it is empty to the program's own folder, or where that
    // cannot be written to the user's data folder of the program; the result page's style sheet
    // is put beside them when it is not there.
    explicit ShownPage(const QString& pageFolder);
    ~ShownPage();
    ShownPage(const ShownPage&) = delete;
    ShownPage& operator=(const ShownPage&) = delete;

    const std::string& OutputPath() const { return m_strOutputPath; }
    const QString& HomePath() const { return m_homePath; }
    // The page of the library's search, beside the home page.
    const QString& SearchPath() const { return m_searchPath; }
    // The page of a person's posts, beside it.
    const QString& PersonPath() const { return m_personPath; }
    // The local files the web view may load: the four pages and the style sheet.
    QStringList LocalFiles() const;

    // The page for the table's records 0 to nLastIndex.
    ResultPage Compose(const PostRecord* pPosts, int nLastIndex, const ResultBuffers& results,
                       const PostFilter& filter) const;
    // Writes the result page; false when it could not be written whole.
    bool Write(const ResultPage& page) const;
    // Writes the library's home page; false when it could not be written.
    bool WriteHome(const std::vector<ThreadListing>& threads, const HomeFigures& figures,
                   const QString& libraryFile, const QString& error) const;

    // Writes the search's page; false when it could not be written.
    bool WriteSearch(const ResultPage& page) const;

private:
    std::string m_strOutputPath;
    QString m_homePath;
    QString m_searchPath;
    QString m_personPath;
    std::unique_ptr<QLockFile> m_pPageLock;
};

}  // namespace vesk
