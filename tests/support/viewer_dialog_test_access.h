#pragma once

// What the viewer's window keeps to itself, for the tests and the figures that check it.

#include "kept_reading.h"
#include "place_bar.h"
#include "shown_page.h"
#include "viewer_dialog.h"

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
          m_pSeenTimer(dialog.m_pSeenTimer),
          m_homePath(dialog.m_pShown != nullptr ? dialog.m_pShown->HomePath() : QString()),
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
    QTimer*& m_pSeenTimer;
    const QString m_homePath;

    void ReadWholeThread(const ThreadKey& key) { m_dialog.ReadWholeThread(key); }
    bool OpenKeptThread(const ThreadKey& key, bool bAtStarterNews = false) {
        return m_dialog.OpenKeptThread(key, bAtStarterNews);
    }
    void NoteSeenPosts() { m_dialog.NoteSeenPosts(); }
    const KeptThread* Kept() const {
        return m_dialog.m_pReading != nullptr ? &m_dialog.m_pReading->Kept() : nullptr;
    }
    KeptReading* Reading() const { return m_dialog.m_pReading.get(); }
    PlaceBar* Place() const { return m_dialog.m_pPlaceBar; }
    SearchBar* Search() const { return m_dialog.m_pSearchBar; }
    // Every post of the kept thread shown is read, as if the reader had seen them all.
    void MarkAllSeen() {
        if (const KeptThread* pKept = Kept()) {
            m_dialog.m_pLibrary->MarkRead(pKept->thread.nId);
        }
    }
    void SaveSeen() { m_dialog.SaveSeen(); }
    void ShowHome() { m_dialog.ShowHome(); }
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
