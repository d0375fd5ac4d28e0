// The menu button's pop-up: edited to the window's state before it opens, and its commands —
// the design's, and ours handed to the rooms they belong to.

#include "about_dialog.h"
#include "filter_controls.h"
#include "help_page.h"
#include "lumo_menu.h"
#include "popup_edits.h"
#include "view_choices.h"
#include "viewer_dialog.h"
#include "viewer_resources.h"
#include "web_browser.h"

#include <QFileInfo>
#include <QUrl>
#include <cstring>

namespace vesk {

using namespace platform;
using namespace res;

namespace {

// A zero-terminated buffer's text, never reading past the buffer.
std::string_view BufferText(const char* pBuffer, std::size_t nSize) {
    return {pBuffer, strnlen(pBuffer, nSize)};
}

}  // namespace

LRESULT ViewerDialog::OnButtonMenu(WPARAM wParam, LPARAM /*lParam*/) {
    auto* pPopup = dynamic_cast<LumoMenu*>(reinterpret_cast<CMenu*>(wParam));
    if (pPopup == nullptr) {
        return 0;
    }
    MenuState state;
    state.bLoaded = m_bLoaded;
    state.bMenuDirty = m_bMenuDirty;
    state.strBoardName = BufferText(m_results.szBoardName, sizeof m_results.szBoardName);
    m_pView->Show(state);
    if (m_bLoaded != 0) {
        if (const std::optional<StoredThread> kept =
                m_pShelf->Kept(CutThreadKey(m_strThreadUrl)).value) {
            state.watched = kept->bWatched;
        }
    }
    EditPopup(*pPopup, state);
    m_bMenuDirty = 0;
    return 0;
}

std::string ViewerDialog::ThreadAddress() const {
    return ThreadPageAddress(m_settings.strBaseAddress, BoardCode(),
                             BufferText(m_results.szThreadId, sizeof m_results.szThreadId));
}

std::string ViewerDialog::BoardAddress() const {
    return BoardPageAddress(m_settings.strBaseAddress, BoardCode());
}

std::string_view ViewerDialog::BoardCode() const {
    return BufferText(m_results.szBoardCode, sizeof m_results.szBoardCode);
}

void ViewerDialog::OnViewThread() {
    m_pWindowBar->OpenInDesktop(ThreadAddress());
}

void ViewerDialog::OnBrowseBoard() {
    m_pWindowBar->OpenInDesktop(BoardAddress());
}

void ViewerDialog::OnHelpPage() {
    const QString path = WriteHelpPage(QFileInfo(QString::fromStdString(m_strOutputPath)).path());
    if (!path.isEmpty()) {
        m_pWindowBar->OpenInDesktop(QUrl::fromLocalFile(path).toEncoded().toStdString());
    }
}

void ViewerDialog::OnAbout() {
    AboutDialog about(this);
    about.DoModal();
}

void ViewerDialog::OnCommand(UINT nId) {
    switch (nId) {
        case ID_VIEW_THREAD:
            OnViewThread();
            break;
        case ID_BROWSE_BOARD:
            OnBrowseBoard();
            break;
        case ID_HELP_PAGE:
            OnHelpPage();
            break;
        case ID_ABOUT:
            OnAbout();
            break;
        default:
            // Ours go to the rooms they belong to.
            m_pReading->OnCommand(nId, CutThreadKey(m_strThreadUrl)) ||
                m_pShelf->OnCommand(nId, CutThreadKey(m_strThreadUrl), m_pFilter->Filter()) ||
                m_pView->OnCommand(nId);
            break;
    }
}

}  // namespace vesk
