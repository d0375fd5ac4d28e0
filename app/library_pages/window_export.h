#pragma once

#include "thread_export.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

class QProgressDialog;
class QWidget;

namespace vesk {

class ViewerSettings;

// Where and how the reader asked a kept thread to be exported.
struct ExportAsked {
    ExportChoice choice;
    QString path;
};

// A file name for a thread's title: what file systems refuse is replaced, and it is kept short.
QString ExportFileName(const QString& title, ExportFormat format);

// The save dialog of 导出本帖…: the file, one of the three formats by its type, which posts (those
// the window's filter shows, preset) and whether the kept pictures go with it; nothing when the
// reader cancelled.
std::optional<ExportAsked> AskExport(QWidget* pParent, const QString& title, const QString& folder,
                                     ExportFormat format, const PostFilter& filter);

// Exports a kept thread on a thread of its own, with a read-only connection of its own, telling
// how many kept pictures are packed as it goes.
class ThreadExporter final {
public:
    struct End {
        QString error;  // empty when every file was written
        bool bCancelled = false;
        int nPictures = 0;
        // The library holds only part of the thread (never read to its end): its posts kept.
        int nPartOnly = -1;
    };
    using Progress = std::function<void(int nPacked, int nTotal)>;
    using Done = std::function<void(const End& end)>;

    // progress and done are called through pContext's queue on its thread, never after the
    // destructor, which ends the export within a moment and writes nothing.
    ThreadExporter(std::string strLibraryFile, ThreadKey key, ExportAsked asked, QObject* pContext,
                   Progress progress, Done done);
    ~ThreadExporter();
    ThreadExporter(const ThreadExporter&) = delete;
    ThreadExporter& operator=(const ThreadExporter&) = delete;

    // The export ends before it writes anything.
    void Cancel() { m_bCancel = true; }

private:
    void Work(const std::string& strLibraryFile, const ThreadKey& key, const ExportAsked& asked);
    void Post(std::function<void()> call);

    QObject* m_pContext;
    std::shared_ptr<bool> m_pAlive = std::make_shared<bool>(true);
    Progress m_progress;
    Done m_done;
    std::atomic<bool> m_bCancel = false;
    std::thread m_worker;
};

// 导出本帖… in the window: the dialog (in the folder and format of the last export), the export
// with a progress dialog while the pictures are packed, and a sentence for the bar when it ends.
class WindowExport final : public QObject {
    Q_OBJECT

public:
    // strBaseAddress: the forum, where the pictures never fetched are linked from.
    WindowExport(std::string strLibraryFile, ViewerSettings& settings, QWidget& window,
                 std::string strBaseAddress);
    ~WindowExport() override;

    bool IsRunning() const { return m_pExporter != nullptr; }
    // Asks how to export the kept thread, then exports it; nothing while an export runs.
    void Export(const StoredThread& thread, const PostFilter& filter);

    // What came of an export the reader asked for, unless they cancelled it: a sentence for the
    // bar, and the file written (empty when none was).
    struct Told {
        QString text;
        QString path;
    };
    std::function<void(const Told& told)> told;

private:
    void OnProgress(int nPacked, int nTotal);
    void OnDone(const ThreadExporter::End& end);

    std::string m_strLibraryFile;
    ViewerSettings& m_settings;
    std::string m_strBaseAddress;
    QWidget& m_window;
    std::unique_ptr<ThreadExporter> m_pExporter;
    QPointer<QProgressDialog> m_pProgress;
    QString m_path;
};

}  // namespace vesk
