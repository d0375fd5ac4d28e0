#include "window_export.h"

#include "book_cover.h"
#include "code_page.h"
#include "forum_address.h"
#include "shown_page.h"
#include "thread_store.h"
#include "viewer_settings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMetaObject>
#include <QProgressDialog>
#include <algorithm>
#include <chrono>
#include <set>

namespace vesk {

namespace {

constexpr ExportFormat kFormats[] = {ExportFormat::kHtml, ExportFormat::kEpub,
                                     ExportFormat::kMarkdown};

// The dialog's file types, in the order of kFormats.
const char16_t* const kFormatTypes[] = {u"单个网页文件，图片在内 (*.html)", u"EPUB 电子书 (*.epub)",
                                        u"Markdown 文本，图片在旁边的文件夹 (*.md)"};

// An export waits a while for another program's write: the reader asked for it and waits anyway.
constexpr int kExportWaitMs = 5000;

// The pictures' progress is told this often at most.
constexpr auto kProgressEvery = std::chrono::milliseconds(50);

QString Extension(ExportFormat format) {
    return QString::fromLatin1(ExportFormatName(format).data());
}

// The file dialog's "type" column in Chinese: Qt's own catalogue leaves it English.
class ChineseTypes final : public QFileIconProvider {
public:
    QString type(const QFileInfo& info) const override {
        if (info.isDir()) {
            return QStringLiteral("文件夹");
        }
        const QString suffix = info.suffix().toUpper();
        return suffix.isEmpty() ? QStringLiteral("文件") : suffix + QStringLiteral(" 文件");
    }
};

}  // namespace

QString ExportFileName(const QString& title, ExportFormat format) {
    QString name;
    for (const QChar c : title.simplified()) {
        name += c.unicode() < 0x20 || QStringLiteral("/\\:*?\"<>|").contains(c) ? QChar(u'_') : c;
    }
    // A name begun by a dot is hidden, and one of dots alone names a folder.
    while (name.startsWith(u'.')) {
        name.remove(0, 1);
    }
    name.truncate(80);
    if (!name.isEmpty() && name.back().isHighSurrogate()) {
        name.chop(1);
    }
    if (name.trimmed().isEmpty()) {
        name = QStringLiteral("帖子");
    }
    return name.trimmed() + u'.' + Extension(format);
}

namespace {

// The rows of ours under the dialog's own: which posts (those the window's filter shows,
// preset), and whether the kept pictures go along.
struct ExportRows {
    QComboBox* pPosts;
    QCheckBox* pPictures;
    QComboBox* pFont;  // a book's font: its file, or empty for none
};

ExportRows AddExportRows(QFileDialog& dialog, const PostFilter& filter) {
    auto* pPosts = new QComboBox(&dialog);
    pPosts->setObjectName(QStringLiteral("exportPosts"));
    const QString names = QString::fromStdU16String(GbkToUtf16(filter.strNameList));
    pPosts->addItem(QStringLiteral("所有帖子"), static_cast<int>(PostFilter::Mode::kAll));
    pPosts->addItem(QStringLiteral("只看楼主"), static_cast<int>(PostFilter::Mode::kStarter));
    if (!filter.strNameList.empty()) {
        pPosts->addItem(QStringLiteral("只看：%1").arg(names),
                        static_cast<int>(PostFilter::Mode::kNames));
    }
    pPosts->setCurrentIndex(std::max(0, pPosts->findData(static_cast<int>(filter.mode))));
    auto* pPictures = new QCheckBox(QStringLiteral("带上存下的图片"), &dialog);
    pPictures->setObjectName(QStringLiteral("exportPictures"));
    pPictures->setChecked(true);
    // E-readers without a Chinese font show boxes: a book may bring the glyphs it needs.
    auto* pFont = new QComboBox(&dialog);
    pFont->setObjectName(QStringLiteral("exportFont"));
    pFont->addItem(QStringLiteral("不带字体"), QString());
    for (const InstalledFont& font : InstalledChineseFonts()) {
        pFont->addItem(QString::fromStdString(font.strName), QString::fromStdString(font.strFile));
    }
    pFont->setToolTip(QStringLiteral("把书中用到的字放进电子书，没有中文字体的阅读器也能显示"));
    if (auto* pGrid = qobject_cast<QGridLayout*>(dialog.layout())) {
        const int nRow = pGrid->rowCount();
        pGrid->addWidget(new QLabel(QStringLiteral("帖子："), &dialog), nRow, 0);
        pGrid->addWidget(pPosts, nRow, 1);
        pGrid->addWidget(pPictures, nRow + 1, 1);
        pGrid->addWidget(new QLabel(QStringLiteral("书中字体："), &dialog), nRow + 2, 0);
        pGrid->addWidget(pFont, nRow + 2, 1);
    }
    return {pPosts, pPictures, pFont};
}

// Another type gives the name in the box its extension.
void TakeExtension(QFileDialog& dialog, ExportFormat chosen) {
    dialog.setDefaultSuffix(Extension(chosen));
    auto* pName = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (pName == nullptr) {
        return;
    }
    QString name = pName->text();
    for (const ExportFormat other : kFormats) {
        if (name.endsWith(u'.' + Extension(other), Qt::CaseInsensitive)) {
            name.chop(Extension(other).size() + 1);
            break;
        }
    }
    if (!name.isEmpty()) {
        pName->setText(name + u'.' + Extension(chosen));
    }
}

// The path chosen with its format's extension; nothing when that names a file the reader does
// not want replaced (the dialog asked about the name as typed, not this one).
std::optional<QString> WithExtension(QWidget* pParent, QString path, ExportFormat format) {
    const QString extension = u'.' + Extension(format);
    if (path.endsWith(extension, Qt::CaseInsensitive)) {
        return path;
    }
    path += extension;
    if (QFileInfo::exists(path) &&
        QMessageBox::question(
            pParent, QStringLiteral("导出本帖"),
            QStringLiteral("%1 已经存在，要替换它吗？").arg(QFileInfo(path).fileName())) !=
            QMessageBox::Yes) {
        return std::nullopt;
    }
    return path;
}

}  // namespace

std::optional<ExportAsked> AskExport(QWidget* pParent, const QString& title, const QString& folder,
                                     ExportFormat format, const PostFilter& filter) {
    ChineseTypes typeNames;  // outlives the dialog
    QFileDialog dialog(pParent, QStringLiteral("导出本帖"), folder);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // Our own dialog, for the rows of which posts and pictures below its own.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setIconProvider(&typeNames);
    QStringList types;
    for (const char16_t* pszType : kFormatTypes) {
        types << QString::fromUtf16(pszType);
    }
    dialog.setNameFilters(types);
    const auto formatAt = [](int nAt) { return kFormats[std::clamp(nAt, 0, 2)]; };
    const int nFormat = static_cast<int>(
        std::find(std::begin(kFormats), std::end(kFormats), format) - std::begin(kFormats));
    dialog.selectNameFilter(types.value(nFormat));
    dialog.setDefaultSuffix(Extension(format));
    dialog.selectFile(ExportFileName(title, format));
    dialog.setLabelText(QFileDialog::Accept, QStringLiteral("导出"));
    dialog.setLabelText(QFileDialog::FileType, QStringLiteral("格式："));
    const ExportRows rows = AddExportRows(dialog, filter);
    // Only a book carries a font.
    rows.pFont->setEnabled(format == ExportFormat::kEpub);
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&](const QString& type) {
        const ExportFormat chosen = formatAt(static_cast<int>(types.indexOf(type)));
        TakeExtension(dialog, chosen);
        rows.pFont->setEnabled(chosen == ExportFormat::kEpub);
    });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    ExportAsked asked;
    asked.choice.format = formatAt(static_cast<int>(types.indexOf(dialog.selectedNameFilter())));
    asked.choice.filter = {static_cast<PostFilter::Mode>(rows.pPosts->currentData().toInt()),
                           filter.strNameList};
    asked.choice.bPictures = rows.pPictures->isChecked();
    if (asked.choice.format == ExportFormat::kEpub) {
        asked.choice.strFontFile = rows.pFont->currentData().toString().toStdString();
    }
    const std::optional<QString> path =
        WithExtension(pParent, dialog.selectedFiles().constFirst(), asked.choice.format);
    if (!path) {
        return std::nullopt;
    }
    asked.path = *path;
    return asked;
}

ThreadExporter::ThreadExporter(std::string strLibraryFile, ThreadKey key, ExportAsked asked,
                               QObject* pContext, Progress progress, Done done)
    : m_pContext(pContext), m_progress(std::move(progress)), m_done(std::move(done)) {
    m_worker = std::thread([this, strFile = std::move(strLibraryFile), key = std::move(key),
                            asked = std::move(asked)] { Work(strFile, key, asked); });
}

ThreadExporter::~ThreadExporter() {
    *m_pAlive = false;
    m_bCancel = true;
    m_worker.join();
}

void ThreadExporter::Post(std::function<void()> call) {
    QMetaObject::invokeMethod(
        m_pContext,
        [pAlive = m_pAlive, call = std::move(call)] {
            if (*pAlive) {
                call();
            }
        },
        Qt::QueuedConnection);
}

void ThreadExporter::Work(const std::string& strLibraryFile, const ThreadKey& key,
                          const ExportAsked& asked) {
    End end;
    try {
        ThreadStore store(strLibraryFile, true, kExportWaitMs);
        const std::optional<StoredThread> thread = store.Find(key);
        if (!thread) {
            end.error = QStringLiteral("本帖已不在帖子库中。");
        } else {
            std::set<std::string> all;
            if (asked.choice.bPictures) {
                for (const auto& [src, picture] : store.Pictures(thread->nId)) {
                    if (!picture.strHash.empty()) {
                        all.insert(picture.strHash);
                    }
                }
            }
            const int nTotal = static_cast<int>(all.size());
            std::set<std::string, std::less<>> packed;
            auto told = std::chrono::steady_clock::now() - kProgressEvery;
            const PictureSource source = [&](std::string_view hash) {
                std::optional<KeptPicture> picture = store.Picture(hash);
                if (picture && packed.emplace(hash).second) {
                    const auto now = std::chrono::steady_clock::now();
                    if (now - told >= kProgressEvery) {
                        told = now;
                        Post([this, nPacked = static_cast<int>(packed.size()), nTotal] {
                            m_progress(nPacked, nTotal);
                        });
                    }
                }
                return picture;
            };
            const std::string strFailed =
                WriteThreadExport(store, *thread, asked.choice, asked.path.toStdString(), source,
                                  [this] { return m_bCancel.load(); });
            end.bCancelled = m_bCancel;
            if (!strFailed.empty()) {
                end.error = QStringLiteral("无法写入 %1。").arg(QString::fromStdString(strFailed));
            }
            end.nPictures = static_cast<int>(packed.size());
            if (store.CheckedAt(thread->nId) == 0) {
                end.nPartOnly = store.CountPosts(thread->nId);
            }
        }
    } catch (const LibraryError& error) {
        end.error = error.IsBusy() ? QStringLiteral("帖子库正忙：另一个程序正在写入，请稍后再试。")
                                   : QString::fromUtf8(error.what());
    }
    Post([this, end] { m_done(end); });
}

WindowExport::WindowExport(std::string strLibraryFile, ViewerSettings& settings, QWidget& window,
                           std::string strBaseAddress)
    : m_strLibraryFile(std::move(strLibraryFile)),
      m_settings(settings),
      m_strBaseAddress(std::move(strBaseAddress)),
      m_window(window) {}

WindowExport::~WindowExport() {
    m_pExporter.reset();
    delete m_pProgress;
}

void WindowExport::Export(const StoredThread& thread, const PostFilter& filter) {
    if (IsRunning()) {
        return;
    }
    const ExportFormat format = ExportFormatNamed(m_settings.LastExportFormat().toStdString())
                                    .value_or(ExportFormat::kHtml);
    QString folder = m_settings.LastExportFolder();
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
        folder = QDir::homePath();
    }
    std::optional<ExportAsked> asked =
        AskExport(&m_window, QString::fromStdU16String(GbkToUtf16(BareTitle(thread))), folder,
                  format, filter);
    if (!asked) {
        return;
    }
    asked->choice.strPageAddress =
        ThreadPageAddress(m_strBaseAddress, thread.key.strBoardCode, thread.key.strThreadId);
    m_settings.SetLastExport(Extension(asked->choice.format),
                             QFileInfo(asked->path).absolutePath());
    m_path = asked->path;
    m_pProgress = new QProgressDialog(QStringLiteral("正在导出本帖…"), QStringLiteral("取消"), 0, 0,
                                      &m_window);
    m_pProgress->setWindowTitle(QStringLiteral("导出本帖"));
    m_pProgress->setWindowModality(Qt::WindowModal);
    m_pProgress->setAutoClose(false);
    m_pProgress->setAutoReset(false);
    m_pProgress->setMinimumDuration(400);
    m_pProgress->setValue(0);
    connect(m_pProgress, &QProgressDialog::canceled, this, [this] {
        if (m_pExporter != nullptr) {
            m_pExporter->Cancel();
        }
    });
    m_pExporter = std::make_unique<ThreadExporter>(
        m_strLibraryFile, thread.key, *asked, this,
        [this](int nPacked, int nTotal) { OnProgress(nPacked, nTotal); },
        [this](const ThreadExporter::End& end) { OnDone(end); });
}

void WindowExport::OnProgress(int nPacked, int nTotal) {
    if (m_pProgress == nullptr) {
        return;
    }
    m_pProgress->setMaximum(std::max(nTotal, nPacked));
    m_pProgress->setValue(nPacked);
    m_pProgress->setLabelText(QStringLiteral("正在装入图片：%1 / %2 张").arg(nPacked).arg(nTotal));
}

void WindowExport::OnDone(const ThreadExporter::End& end) {
    m_pExporter.reset();
    if (m_pProgress != nullptr) {
        m_pProgress->deleteLater();
        m_pProgress = nullptr;
    }
    if (end.bCancelled || !told) {
        return;
    }
    Told result;
    if (!end.error.isEmpty()) {
        result.text = QStringLiteral("本帖未能导出：%1").arg(end.error);
    } else {
        result.path = QDir::toNativeSeparators(m_path);
        const QFileInfo file(m_path);
        result.text = end.nPictures == 0 ? QStringLiteral("本帖已导出到：")
                      : m_path.endsWith(QStringLiteral(".md"), Qt::CaseInsensitive)
                          ? QStringLiteral("本帖已导出，%1 张图片在旁边的文件夹 %2_pictures 中：")
                                .arg(end.nPictures)
                                .arg(file.completeBaseName())
                          : QStringLiteral("本帖已导出，%1 张图片在内：").arg(end.nPictures);
        // A thread the go kept in part is exported in part: the reader is told, and how to have
        // it whole.
        if (end.nPartOnly >= 0) {
            result.text =
                QStringLiteral(
                    "帖子库里只有本帖的前 %1 帖，导出的只是这些（读取全帖后再导出可得全帖）。")
                    .arg(end.nPartOnly) +
                result.text;
        }
    }
    told(result);
}

}  // namespace vesk
