#pragma once

// What the viewer's window keeps to itself, for the tests and the figures that check it.

#include "kept_reading.h"
#include "place_bar.h"
#include "shown_page.h"
#include "viewer_dialog.h"

#include <QTimer>

namespace vesk {

class ViewerDialogTestAccess {
public:
    explicit ViewerDialogTestAccess(ViewerDialog& dialog)
        : m_btnGo(dialog.m_btnGo),
          m_btnMenu(dialog.m_btnMenu),
          m_browser(dialog.m_browser),
          m_pBar(dialog.m_pBar),
          m_strOutputPath(dialog.m_strOutputPath),
          m_results(dialog.m_results),
          m_nLastIndex(dialog.m_nLastIndex),
          m_pPosts(dialog.m_pPosts),
          m_bLoaded(dialog.m_bLoaded),
          m_bMenuDirty(dialog.m_bMenuDirty),
          m_bOnlyStarter(dialog.m_bOnlyStarter),
          m_homePath(dialog.m_pShown != nullptr ? dialog.m_pShown->HomePath() : QString()),
          m_personPath(dialog.m_pShown != nullptr ? dialog.m_pShown->PersonPath() : QString()),
          m_dialog(dialog) {}

    ImageButton*& m_btnGo;
    ImageButton*& m_btnMenu;
    CWebBrowser2*& m_browser;
    MessageBar*& m_pBar;
    std::string& m_strOutputPath;
    ResultBuffers& m_results;
    int& m_nLastIndex;
    std::unique_ptr<PostTable>& m_pPosts;
    int& m_bLoaded;
    int& m_bMenuDirty;
    int& m_bOnlyStarter;
    const QString m_homePath;
    const QString m_personPath;

    WindowReading& Room() const { return *m_dialog.m_pReading; }
    void ReadWholeThread(const ThreadKey& key) { Room().ReadWholeThread(key); }
    bool OpenKeptThread(const ThreadKey& key, bool bAtStarterNews = false) {
        return Room().Open(key, bAtStarterNews);
    }
    void NoteSeenPosts() { Room().NoteSeenPosts(); }
    const KeptThread* Kept() const { return Reading() != nullptr ? &Reading()->Kept() : nullptr; }
    KeptReading* Reading() const { return Room().Shown(); }
    // The reading room's one timer: it asks the view what is on screen.
    QTimer* SeenTimer() const { return Room().findChild<QTimer*>(); }
    PlaceBar* Place() const { return m_dialog.m_pPlaceBar; }
    SearchBar* Search() const { return m_dialog.m_pSearchBar; }
    // Every post of the kept thread shown is read, as if the reader had seen them all.
    void MarkAllSeen() {
        if (const KeptThread* pKept = Kept()) {
            m_dialog.m_pShelf->Library().MarkRead(pKept->thread.nId);
        }
    }
    void SaveSeen() { Room().SaveSeen(); }
    void ShowHome() { Room().ShowHome(); }
    void OnCommand(platform::UINT nId) { m_dialog.OnCommand(nId); }
    void OnHelpPage() { m_dialog.OnHelpPage(); }
    QLineEdit* AddressEdit() { return m_dialog.AddressEdit(); }

private:
    ViewerDialog& m_dialog;
};

inline ViewerDialogTestAccess Access(ViewerDialog& dialog) {
    return ViewerDialogTestAccess(dialog);
}
// For a test's const helper that only reads.
inline ViewerDialogTestAccess Access(const ViewerDialog& dialog) {
    return ViewerDialogTestAccess(const_cast<ViewerDialog&>(dialog));
}

}  // namespace vesk
