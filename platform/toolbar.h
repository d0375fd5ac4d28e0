#pragma once

#include "gdi_objects.h"
#include "resources.h"
#include "win_types.h"

#include <memory>
#include <optional>
#include <string_view>
#include <vector>

// The toolbar as the menu reads it: its buttons' commands and image numbers, its sizes and its
// bitmap. Nothing is shown on screen.
namespace vesk::platform {

// A toolbar resource: version, the button image size, one command per button (0: a separator).
struct ToolbarResource {
    WORD nVersion = 0;
    WORD nWidth = 0;
    WORD nHeight = 0;
    std::vector<WORD> commands;
};

// None when the bytes are shorter than their count says.
std::optional<ToolbarResource> ReadToolbarResource(std::string_view bytes);

inline constexpr UINT TBBS_BUTTON = 0x0000;
inline constexpr UINT TBBS_SEPARATOR = 0x0001;

class CToolBar {
public:
    virtual ~CToolBar() = default;

    // The toolbar resource and the bitmap of the same name: buttons, sizes, images; FALSE when
    // either is missing or malformed.
    BOOL LoadToolBar(const ResourceName& name);
    // Buttons for the commands in order; 0 makes a separator. Each button's image is the next
    // image of the bitmap.
    BOOL SetButtons(const UINT* pIds, int nCount);
    void SetSizes(SIZE sizeButton, SIZE sizeImage);
    BOOL AddReplaceBitmap(std::unique_ptr<Bitmap> pBitmap);

    int GetCount() const { return static_cast<int>(m_buttons.size()); }
    UINT GetItemID(int nIndex) const;
    // The entry of the command, or -1.
    int CommandToIndex(UINT nId) const;
    // A separator's image is -1.
    void GetButtonInfo(int nIndex, UINT& nId, UINT& nStyle, int& iImage) const;
    SIZE ImageSize() const { return m_sizeImage; }

private:
    struct Button {
        UINT nId;
        int iImage;
    };
    std::vector<Button> m_buttons;
    SIZE m_sizeImage{16, 15};
    std::unique_ptr<Bitmap> m_pBitmap;
};

}  // namespace vesk::platform
