#include "toolbar.h"

#include "bitmap_resources.h"

namespace vesk::platform {

namespace {

WORD WordAt(std::string_view bytes, std::size_t nOffset) {
    return static_cast<WORD>(static_cast<unsigned char>(bytes[nOffset]) |
                             static_cast<unsigned char>(bytes[nOffset + 1]) << 8);
}

}  // namespace

std::optional<ToolbarResource> ReadToolbarResource(std::string_view bytes) {
    if (bytes.size() < 8) {
        return std::nullopt;
    }
    ToolbarResource toolbar;
    toolbar.nVersion = WordAt(bytes, 0);
    toolbar.nWidth = WordAt(bytes, 2);
    toolbar.nHeight = WordAt(bytes, 4);
    const std::size_t nCount = WordAt(bytes, 6);
    if (bytes.size() < 8 + 2 * nCount) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < nCount; ++i) {
        toolbar.commands.push_back(WordAt(bytes, 8 + 2 * i));
    }
    return toolbar;
}

BOOL CToolBar::LoadToolBar(const ResourceName& name) {
    const std::optional<std::string_view> bytes = FindResource(name, RT_TOOLBAR);
    const std::optional<ToolbarResource> toolbar =
        bytes ? ReadToolbarResource(*bytes) : std::nullopt;
    if (!toolbar) {
        return FALSE;
    }
    const std::vector<UINT> ids(toolbar->commands.begin(), toolbar->commands.end());
    if (!SetButtons(ids.data(), static_cast<int>(ids.size()))) {
        return FALSE;
    }
    SetSizes(SIZE{toolbar->nWidth + 7, toolbar->nHeight + 7},
             SIZE{toolbar->nWidth, toolbar->nHeight});
    const std::optional<std::string_view> dib = FindResource(name, RT_BITMAP);
    return dib ? AddReplaceBitmap(LoadSysColorDib(*dib)) : FALSE;
}

BOOL CToolBar::SetButtons(const UINT* pIds, int nCount) {
    if (nCount < 0 || (pIds == nullptr && nCount > 0)) {
        return FALSE;
    }
    m_buttons.clear();
    int iImage = 0;
    for (int i = 0; i < nCount; ++i) {
        const UINT nId = pIds[i];
        m_buttons.push_back(Button{nId, nId == 0 ? -1 : iImage++});
    }
    return TRUE;
}

// The button size matters only to a toolbar window, which this program never shows.
void CToolBar::SetSizes(SIZE /*sizeButton*/, SIZE sizeImage) {
    m_sizeImage = sizeImage;
}

BOOL CToolBar::AddReplaceBitmap(std::unique_ptr<Bitmap> pBitmap) {
    if (pBitmap == nullptr) {
        return FALSE;
    }
    m_pBitmap = std::move(pBitmap);
    return TRUE;
}

UINT CToolBar::GetItemID(int nIndex) const {
    return nIndex >= 0 && nIndex < GetCount() ? m_buttons[static_cast<std::size_t>(nIndex)].nId : 0;
}

int CToolBar::CommandToIndex(UINT nId) const {
    for (int i = 0; i < GetCount(); ++i) {
        if (m_buttons[static_cast<std::size_t>(i)].nId == nId) {
            return i;
        }
    }
    return -1;
}

void CToolBar::GetButtonInfo(int nIndex, UINT& nId, UINT& nStyle, int& iImage) const {
    if (nIndex < 0 || nIndex >= GetCount()) {
        nId = 0;
        nStyle = TBBS_SEPARATOR;
        iImage = -1;
        return;
    }
    const Button& button = m_buttons[static_cast<std::size_t>(nIndex)];
    nId = button.nId;
    nStyle = button.nId == 0 ? TBBS_SEPARATOR : TBBS_BUTTON;
    iImage = button.iImage;
}

}  // namespace vesk::platform
