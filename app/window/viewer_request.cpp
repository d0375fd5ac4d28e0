// The window's side of a go: the filter controls, the address and the name list checked, the
// worker started with the table and the five values, its answer, and the page composed of them.

#include "code_page.h"
#include "filter_controls.h"
#include "forum_address.h"
#include "go_news.h"
#include "image_button.h"
#include "request_checks.h"
#include "shown_page.h"
#include "viewer_dialog.h"
#include "viewer_resources.h"
#include "web_browser.h"
#include "window_watch.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <cstring>

namespace vesk {

using namespace res;

namespace {

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

void ViewerDialog::OnShowAll() {
    SetFilterMode(PostFilter::Mode::kAll);
}

void ViewerDialog::OnOnlyStarter() {
    SetFilterMode(PostFilter::Mode::kStarter);
}

// The two modes that compose at once: the name edit goes, the page is composed again.
void ViewerDialog::SetFilterMode(PostFilter::Mode mode) {
    m_pFilter->Set(mode);
    if (m_pReading->Shown() == nullptr) {
        m_browser->KeepTopRowOnNextPage();
    }
    ComposeResultPage();
    RememberFilter();
}

void ViewerDialog::RememberFilter() {
    if (m_bLoaded != 0) {
        m_pFilter->Remember(CutThreadKey(m_strThreadUrl));
    }
}

void ViewerDialog::OnPartial() {
    NameEdit()->show();
    NameEdit()->setFocus();
    m_bShowAll = 0;
    m_bOnlyStarter = 0;
    m_bPartial = 1;
}

void ViewerDialog::ShowPrompt(std::string_view text) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("提示"), FromUtf8(text), QMessageBox::Ok,
                    this);
    box.exec();
}

void ViewerDialog::OnGo() {
    m_strThreadUrl = Utf16ToGbk(AddressEdit()->text().trimmed().toStdU16String());
    if (!IsThreadAddressAccepted(m_strThreadUrl, HostPrefixOf(m_settings.strBaseAddress))) {
        ShowPrompt(AddressRejectedMessage(m_settings.strBaseAddress));
        AddressEdit()->setFocus();
        return;
    }
    m_pFilter->ReadRadios();
    if (m_bPartial) {
        if (!m_pFilter->TakeNames()) {
            ShowPrompt(kNameListEmptyMessage);
            NameEdit()->setFocus();
            return;
        }
    }
    StartFetch();
}

void ViewerDialog::StartFetch() {
    m_pShelf->Watch().Yield();
    m_pPosts->Clear();
    m_pReading->Close();
    FetchSettings settings = m_settings;
    m_pGoNews->Start(CutThreadKey(m_strThreadUrl), settings);
    auto pJob = std::make_unique<FetchJob>();
    pJob->hWndNotify = m_pNotifyTarget.get();
    std::memset(m_results.szTitle, 0, sizeof m_results.szTitle);
    AttachResults(*pJob, *m_pPosts, m_results);
    // OnGo refused any address that does not fit the field.
    std::memcpy(pJob->szThreadUrl, m_strThreadUrl.c_str(), m_strThreadUrl.size() + 1);
    auto pThread = std::make_unique<FetchThread>(std::move(pJob), std::move(settings));
    if (!pThread->CreateThread()) {
        QMessageBox box(QMessageBox::NoIcon, QCoreApplication::applicationName(),
                        QStringLiteral("Cannot Start New Thread"), QMessageBox::Ok, this);
        box.exec();
        return;
    }
    m_pFetchThread = std::move(pThread);
    m_bLoaded = 0;
    m_pWindowBar->Hide(WindowBar::Cause::kNone);
    // A disabled go button never hands the focus on to the menu button: where the user left it,
    // or the address edit when that was the go button itself.
    m_pFocusAtGo =
        focusWidget() == m_btnGo || focusWidget() == nullptr ? AddressEdit() : focusWidget();
    m_pFocusAtGo->setFocus();
    SetBusy(true);
}

void ViewerDialog::ComposeResultPage() {
    // Nothing to show yet, or the worker is rewriting the table: its answer composes the page.
    if ((m_nLastIndex == -1 && m_pReading->Shown() == nullptr) || IsFetching()) {
        return;
    }
    // A kept thread is selected anew by the library, around the post at the top.
    if (m_pReading->Select(m_pFilter->Filter())) {
        return;
    }
    const ResultPage page =
        m_pShown->Compose(m_pPosts->data(), m_nLastIndex, m_results, m_pFilter->Filter());
    if (!m_pShown->Write(page)) {
        QMessageBox box(
            QMessageBox::NoIcon, QCoreApplication::applicationName(),
            FromUtf8(kCreateFileFailedMessage) + QString::fromStdString(m_strOutputPath),
            QMessageBox::Ok, this);
        box.exec();
        return;
    }
    // The go's page shows the board's pictures from the board, as it always has.
    m_browser->SetOnlinePages({QString::fromStdString(m_strOutputPath)});
    m_browser->Navigate(QStringLiteral("file:///") + QString::fromStdString(m_strOutputPath));
    if (page.nShown == 0) {
        m_pWindowBar->Show(WindowBar::Cause::kFilter, MessageBar::Level::kInformation,
                           QStringLiteral("没有符合的帖子"));
    } else {
        m_pWindowBar->Hide(WindowBar::Cause::kFilter);
    }
}

void ViewerDialog::OnFetchNotify(int wParam, int lParam) {
    // The worker has written everything and ends now.
    if (m_pFetchThread != nullptr) {
        m_pFetchThread->Join();
        m_pFetchThread.reset();
    }
    m_pGoNews->Finish();
    if (lParam == kFetchSessionFailed) {
        m_nLastIndex = -1;
        ShowPrompt(kRetrievalFailedMessage);
    } else {
        m_bLoaded = 1;
        m_bMenuDirty = 1;
        m_nLastIndex = wParam;
        ComposeResultPage();
        m_pReading->Visit(CutThreadKey(m_strThreadUrl));
        RememberFilter();
        m_pGoNews->Tell();
    }
    SetBusy(false);
    if (m_pFocusAtGo != nullptr && focusWidget() == nullptr) {
        m_pFocusAtGo->setFocus();
    }
}

// The bar's action: the folder of an export, or a thread read whole, or read again.
void ViewerDialog::OnBarAction() {
    if (m_pWindowBar->Showing() == WindowBar::Cause::kExport) {
        m_pShelf->OpenExportFolder();
        return;
    }
    if (!m_pReading->Act(m_pWindowBar->Showing()) && !IsFetching()) {
        m_pGoNews->Act();
    }
}

bool ViewerDialog::eventFilter(QObject* pWatched, QEvent* pEvent) {
    // Enter in the name edit composes the page with the list typed there.
    if (pWatched == NameEdit() && pEvent->type() == QEvent::KeyPress) {
        const int nKey = static_cast<QKeyEvent*>(pEvent)->key();
        if (nKey == Qt::Key_Return || nKey == Qt::Key_Enter) {
            if (!m_pFilter->TakeNames()) {
                ShowPrompt(kNameListEmptyMessage);
                NameEdit()->setFocus();
            } else {
                if (m_pReading->Shown() == nullptr) {
                    m_browser->KeepTopRowOnNextPage();
                }
                ComposeResultPage();
                RememberFilter();
            }
            return true;
        }
    }
    return TemplateDialog::eventFilter(pWatched, pEvent);
}

void ViewerDialog::keyPressEvent(QKeyEvent* pEvent) {
    // Esc never closes the window (while a whole reading runs, the reading room's key stops it).
    if (pEvent->key() == Qt::Key_Escape) {
        pEvent->accept();
        return;
    }
    TemplateDialog::keyPressEvent(pEvent);
}

}  // namespace vesk
