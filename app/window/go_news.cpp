#include "go_news.h"

#include "thread_reader.h"
#include "window_library.h"

namespace vesk {

GoNews::GoNews(WindowLibrary& library, WindowBar& bar, Window window)
    : m_library(library), m_bar(bar), m_window(std::move(window)) {}

GoNews::~GoNews() = default;

void GoNews::Start(const ThreadKey& key, FetchSettings& settings) {
    // Kept page by page, on the worker's thread.
    m_pKeeper = std::make_shared<GoKeeper>(m_library.File(), key);
    settings.keepPage = [pKeeper = m_pKeeper](const LoopPage& page) { pKeeper->Keep(page); };
    m_end = ReadingEnd();
    m_key = key;
    m_bOffersKept = false;
    // Said at once; offered to open once the go has ended and the window is free.
    if (const QString kept = KeptNews(); !kept.isEmpty()) {
        m_bar.Show(WindowBar::Cause::kReading, MessageBar::Level::kInformation, kept);
    }
}

QString GoNews::KeptNews() {
    const LibraryAnswer<std::optional<StoredThread>> kept = m_library.Find(m_key);
    return kept.Ok() && kept.value
               ? QStringLiteral("本帖已在帖子库中，%1 条未读").arg(kept.value->nUnread)
               : QString();
}

void GoNews::Finish() {
    if (m_pKeeper != nullptr) {
        m_library.NoteError(m_pKeeper->Finish());
        m_bKeptBefore = m_pKeeper->WasKeptBefore();
        m_pKeeper.reset();
    }
}

void GoNews::Tell() {
    // A kept thread is offered as the library keeps it, its posts not read counted anew.
    const QString kept = m_bKeptBefore ? KeptNews() : QString();
    m_bOffersKept = !kept.isEmpty();
    if (m_end.kind == ReadingEnd::Kind::kEndOfThread) {
        if (m_bOffersKept) {
            m_bar.Show(WindowBar::Cause::kReading, MessageBar::Level::kInformation, kept,
                       QStringLiteral("打开帖子库中的本帖"));
        }
        return;
    }
    if (m_end.kind == ReadingEnd::Kind::kNothingFound) {
        m_window.nothingRead();
    }
    const bool bFailed = m_end.kind == ReadingEnd::Kind::kFailedPage ||
                         m_end.kind == ReadingEnd::Kind::kNothingFound;
    QString action;
    if (bFailed && m_end.failure.kind != PageFailure::Kind::kNone) {
        action = QStringLiteral("重新读取");
    } else if (m_bOffersKept) {
        action = QStringLiteral("打开帖子库中的本帖");
    } else if (m_end.kind == ReadingEnd::Kind::kPageLimit) {
        action = QStringLiteral("读取全帖");
    }
    m_bOffersKept = action == QStringLiteral("打开帖子库中的本帖");
    const std::string strText = DescribeReadingEnd(m_end);
    QString text = QString::fromUtf8(strText.data(), static_cast<qsizetype>(strText.size()));
    if (m_bOffersKept) {
        text += QStringLiteral("。") + kept;
    }
    m_bar.Show(WindowBar::Cause::kReading,
               bFailed ? MessageBar::Level::kError : MessageBar::Level::kInformation, text, action);
}

void GoNews::Act() {
    // A kept thread opens as the library keeps it; a thread that goes on past the pages read is
    // read whole; a failed reading again.
    if (m_bar.Showing() == WindowBar::Cause::kReading && m_bOffersKept) {
        m_window.openKept();
    } else if (m_bar.Showing() == WindowBar::Cause::kReading &&
               m_end.kind == ReadingEnd::Kind::kPageLimit) {
        m_window.whole();
    } else {
        m_window.again();
    }
}

void GoNews::Refresh(const ThreadKey& key, bool bShown) {
    const LibraryAnswer<std::optional<StoredThread>> kept =
        bShown ? m_library.Find(key) : LibraryAnswer<std::optional<StoredThread>>{};
    if (!kept.Ok()) {
        m_bar.Show(WindowBar::Cause::kCommand, MessageBar::Level::kError, kept.error);
    } else if (kept.value) {
        m_window.whole();
    } else {
        m_window.again();
    }
}

}  // namespace vesk
