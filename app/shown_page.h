#pragma once

#include "fetch_job.h"
#include "result_page.h"
#include "thread_page.h"
#include "thread_store.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QLockFile;

namespace vesk {

// Which posts the page shows: all, the starter's, those of the names listed; none without a mode.
enum class PageFilter { kAll, kStarter, kNames, kNone };

// A kept thread as the window shows it, in place of the table's records.
struct KeptThread {
    StoredThread thread;
    std::vector<StoredPost> posts;
    EarlierBodies earlier;
};

// Where a kept thread opens: the first post not read yet that the filter shows (with bStarter,
// the starter's first), or else the reading place when the filter shows it; -1 for the top. An
// index into the posts.
int LandingPost(const KeptThread& kept, PageFilter filter, const std::string& strNameList,
                bool bStarter);

// What the window shows in its web view, and the files it shows it from: the result page
// (post.htm, kept to this viewer while it runs, or one of this viewer's own beside it while
// another viewer holds post.htm), the home page beside it, and the kept thread shown.
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
    // The local files the web view may load: the two pages and the style sheet.
    QStringList LocalFiles() const;

    // The kept thread shown, or none while the table's records are.
    const KeptThread* Kept() const { return m_pKept.get(); }
    void ShowKept(KeptThread kept);
    void ForgetKept() { m_pKept.reset(); }
    // The reader saw the kept thread's post of this index: read, in the window's copy too.
    void NoteSeen(std::size_t nPost);

    // The page for the table's records 0 to nLastIndex, or for the kept thread when one is shown
    // (whole, in the library's page format, with its marks).
    ResultPage Compose(const PostRecord* pPosts, int nLastIndex, const ResultBuffers& results,
                       PageFilter filter, const std::string& strNameList) const;
    // Writes the result page; false when it could not be written whole.
    bool Write(const ResultPage& page) const;
    // Writes the library's home page; false when it could not be written.
    bool WriteHome(const std::vector<ThreadListing>& threads, const QString& libraryFile,
                   const QString& error) const;

private:
    std::string m_strOutputPath;
    QString m_homePath;
    std::unique_ptr<QLockFile> m_pPageLock;
    std::unique_ptr<KeptThread> m_pKept;
};

}  // namespace vesk
