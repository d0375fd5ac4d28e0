#pragma once

#include "bitmap_resources.h"
#include "image_list.h"
#include "lumo_menu_item.h"
#include "menu.h"
#include "owner_draw.h"
#include "resources.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace vesk {

// The program's owner-drawn menu: one LumoMenuItem record per native item, built from MENU
// templates, edited at run time, measuring (and drawing) its items itself.
//
// Pop-ups that a menu creates or takes in are owned through their handles: releasing the menu
// deletes every LumoMenu object attached to a handle in its sub-menu list.
class LumoMenu : public platform::CMenu {
public:
    using UINT = platform::UINT;
    using BOOL = platform::BOOL;
    using HMENU = platform::HMENU;

    LumoMenu() = default;
    ~LumoMenu() override;

    // The system's version as a code from 0 (Win32s) to 7 (XP); 1 for every later NT system.
    static int DetectOsVersion();

    static constexpr int classicHighlightsDisabled = 1;
    static constexpr int flatHighlightsDisabled = 0;
    static constexpr int iconShadows = 1;

    // What every LumoMenu of the program shares: the system's version code, the draw mode of
    // each kind of system (1 flat, else classic), the cached theme answer, and the item images.
    struct Settings {
        int osVersionCode = DetectOsVersion();
        int drawModeThemed = 1;
        int drawModeOther = 0;
        BOOL classicThemeActive = platform::FALSE;
        BOOL classicThemeComputed = platform::FALSE;
        // Every item image of every LumoMenu, made with the first image stored; entry i of
        // sharedImageCommands is the command whose image is image i.
        std::unique_ptr<platform::ImageList> sharedImages;
        std::vector<UINT> sharedImageCommands;
    };
    static Settings settings;
    // Back to the values of the program's start: the version detected again, no images.
    static void ResetSettings();
    // Every pop-up created or taken in by any LumoMenu; a handle may stand more than once.
    static std::vector<HMENU> ownedMenuHandles;

    static BOOL HasModernShell();
    static BOOL IsThemedXP();
    static BOOL IsFlatStyle();
    // Whether the current desktop theme is the classic one; computed once, then cached.
    static BOOL IsClassicTheme();
    static BOOL IsOwnedMenu(const platform::CMenu* pMenu);
    static BOOL IsOwnedMenu(HMENU hMenu);
    static int SharedImageIndexOf(UINT nCommand);

    // The object's fields.
    std::vector<std::unique_ptr<LumoMenuItem>> items;
    std::vector<HMENU> subMenus;
    int imageWidth = 16;
    int imageHeight = 15;
    platform::COLORREF imageBackground = 0xC0C0C0;
    BOOL imageBackgroundSet = platform::FALSE;
    BOOL builtFromTemplate = platform::FALSE;

    void MeasureItem(platform::MEASUREITEMSTRUCT* pMeasure) override;
    // Paints one item in the classic or the flat look; a palette device is always classic.
    void DrawItem(platform::DRAWITEMSTRUCT* pDraw) override;
    virtual void DrawClassicItem(platform::DRAWITEMSTRUCT* pDraw);
    virtual void DrawFlatItem(platform::DRAWITEMSTRUCT* pDraw);

    // Each channel moved toward 255 by the factor, truncated; factors outside (0, 1] change
    // nothing.
    static platform::COLORREF BlendTowardWhite(platform::COLORREF colour, double dFactor);
    // Whether images i, i + 1 and i + 2 of the shared list belong to one command (normal, faded,
    // shadow).
    static BOOL HasImageTriplet(int nIndex);
    static void DrawRadioMark(platform::DeviceContext* pDC, int x, int y,
                              platform::COLORREF colour);
    static void DrawTickMark(platform::DeviceContext* pDC, int x, int y, platform::COLORREF colour);
    static void DrawClassicCheckBox(platform::DeviceContext* pDC, const platform::RECT& box,
                                    BOOL bSelected, BOOL bRadio);
    static void DrawFlatCheckBox(platform::DeviceContext* pDC, const platform::RECT& box,
                                 BOOL bRadio, platform::COLORREF highlight);
    // The image on the face colour, in a new bitmap of the menu's image size like the context.
    BOOL RenderImageToBitmap(platform::DeviceContext* pDC, const platform::ImageList* pList,
                             int nIndex, std::unique_ptr<platform::Bitmap>& pBitmap) const;
    // In place: every pixel that is not the face colour moved 30 % toward white, or made the
    // shadow colour.
    static void MakeFadedBitmap(platform::Bitmap& bitmap);
    static void MakeShadowBitmap(platform::Bitmap& bitmap);
    // The embossed look of the source's silhouette on the background; the source is overwritten.
    static void DrawDisabledImage(platform::DeviceContext* pDC, int x, int y, int nWidth,
                                  int nHeight, platform::Bitmap* pSource, int xSource, int ySource,
                                  platform::COLORREF background);
    // Item images from resources. A toolbar's image size raises the menu's, which never shrinks;
    // each button image whose command is in the menu becomes that command's image.
    BOOL LoadToolbarImages(UINT nToolbar);
    // Adds the bitmap resource's images, masked with the image background, and in the flat
    // style with icon shadows the faded and shadow looks of its first image after them.
    BOOL AddBitmapToImageList(platform::ImageList* pList, UINT nResource) const;
    // Stores image nIndex of the list as the command's image (in the flat style with icon
    // shadows as a normal, faded, shadow triplet), in place of an earlier one; the place of the
    // normal image in sharedImages, or -1.
    int AddImageToSharedList(const platform::ImageList* pList, int nIndex, UINT nCommand) const;
    // The image number of the command's button in the toolbar, left as it is when the command
    // has none; FALSE when the toolbar does not load or holds no such button.
    static BOOL ToolbarImageIndexOf(UINT nCommand, UINT nToolbar, int& nImage);
    // A 16-colour bitmap resource with its button colours mapped to the system's; null for any
    // other.
    static std::unique_ptr<platform::Bitmap> LoadMappedBitmap(UINT nResource);
    static int ColorTableSize(const platform::BITMAPINFOHEADER* pHeader);

    virtual BOOL LoadTemplate(UINT nId);
    virtual BOOL LoadTemplate(const char* pszName);
    virtual void ReleaseAll();

    void SetImageSize(int nWidth, int nHeight);
    void SetImageBackground(platform::COLORREF colour);
    platform::CMenu* SubMenuAt(int nPos) const;

    BOOL AppendItem(const char16_t* pszText, UINT nFlags, platform::UINT_PTR nId,
                    int nImageResource = -1);
    BOOL InsertItem(UINT nPosition, const char16_t* pszText, UINT nFlags, platform::UINT_PTR nId,
                    int nImageResource = -1);
    BOOL InsertItem(UINT nPosition, const char* pszText, UINT nFlags, platform::UINT_PTR nId,
                    int nImageResource = -1);
    // With an image list, image nImage of it becomes the image of every occurrence.
    BOOL ModifyItem(UINT nCommand, const char16_t* pszText,
                    const platform::ImageList* pList = nullptr, int nImage = 0);
    BOOL ModifyItem(UINT nCommand, const char* pszText, const platform::ImageList* pList = nullptr,
                    int nImage = 0);
    void RemoveItem(UINT nPosition, UINT nFlags);

    // A (menu, position) pair, as FindNextCommand skips them.
    using Place = std::pair<const LumoMenu*, int>;
    // The menu of this tree that holds the command, and its position there; null and -1 when none.
    LumoMenu* FindCommand(UINT nCommand, int& nPosition);
    LumoMenu* FindNextCommand(UINT nCommand, int& nPosition, const std::vector<Place>& skip);

    BOOL ItemText(UINT nItem, std::string& strText, UINT nFlags);
    void AlignAccelerators();
    int FirstItemPosition() const;
    void RefreshBarPopups();
    void Resynchronise();

    // The answer to WM_MENUCHAR for a LumoMenu.
    static platform::LRESULT HandleMenuChar(UINT nChar, UINT nFlags, platform::CMenu* pMenu);

private:
    BOOL BuildFromTemplate(std::string_view bytes);
    // The top level becomes a plain menu bar of string items.
    void MakeBarOfStrings();
    LumoMenuItem* AddRecord(std::size_t nIndex, const char16_t* pszText, UINT nFlags,
                            platform::UINT_PTR nId, int nImageResource);
    BOOL FinishAdd(BOOL bAdded, const LumoMenuItem* pRecord);
    void TakeInPopup(HMENU hPopup);
    void DropPopup(HMENU hPopup);
    void DeleteRecord(const LumoMenuItem* pRecord);
    const LumoMenuItem* RecordOfItem(int nPosition) const;
    // Whether an item of this menu other than the one at nExceptPosition has the record as its
    // item data.
    bool IsNamedByAnItem(const LumoMenuItem* pRecord, int nExceptPosition) const;
    // For the item at nPosition that has no record of its own: a record of its command (of a
    // separator: the one at its index) that no other item names; null when there is none.
    LumoMenuItem* UnnamedRecord(UINT nCommand, int nPosition) const;
    // Whether an item other than the one at nExceptPosition opens the pop-up.
    bool OpensPopup(HMENU hPopup, int nExceptPosition) const;
    // The menu of this tree with an item that opens the pop-up, and the item's position.
    LumoMenu* FindPopupItem(HMENU hPopup, int& nPosition);
    LumoMenuItem* Adopt(int nPosition, const std::u16string& text, UINT nFlags,
                        platform::UINT_PTR nId);
    // The first record of the command not yet matched in this resynchronisation, now matched.
    LumoMenuItem* TakeUnmarked(UINT nCommand);
    // The record of the native item at nPos, brought in line with it; a new one is adopted.
    LumoMenuItem* SyncItem(int nPos, std::vector<std::unique_ptr<LumoMenuItem>>& adopted);
};

}  // namespace vesk
