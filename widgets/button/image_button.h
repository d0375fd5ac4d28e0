#pragma once

#include "device_context.h"
#include "gdi_objects.h"
#include "lumo_menu.h"
#include "owner_draw.h"
#include "popup_menu.h"
#include "tooltip.h"
#include "win_types.h"
#include "window_message.h"
#include "window_styles.h"

#include <QCursor>
#include <QImage>
#include <QPointer>
#include <QPushButton>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>

namespace vesk {

// An owner-drawn push button: a background colour chosen by state, a flat or a standard
// border, an icon (or a bitmap) beside or above the caption, the caption and the focus
// rectangle, all painted by the drawing steps below into a device context over an image that
// paintEvent then copies to the screen. It toggles like a check box when its window style
// says so.
//
// A flat button lights up while the pointer is over it. A click toggles a check box, or opens
// the attached pop-up menu under the button (the owner's callback first, the chosen command
// posted to the menu's owner afterwards), or opens the button's address; the parent still
// receives the click.
//
// The button owns every image, mask and cache it holds.
class ImageButton : public QPushButton, public platform::PopupMenuOwner {
    Q_OBJECT

public:
    using BOOL = platform::BOOL;
    using UINT = platform::UINT;
    using DWORD = platform::DWORD;
    using COLORREF = platform::COLORREF;
    using RECT = platform::RECT;
    using DeviceContext = platform::DeviceContext;
    using Icon = platform::Icon;
    using Bitmap = platform::Bitmap;

    // Values that stand where the second icon goes: derive it from the first.
    enum DeriveMarker : int { DERIVE_GRAY = -2, DERIVE_DARKER = -3 };
    // The second icon of SetIcon: none (null), an icon, or a marker.
    using SecondIcon = std::variant<std::unique_ptr<Icon>, DeriveMarker>;

    struct IconImage {
        std::unique_ptr<Icon> handle;
        DWORD width = 0;
        DWORD height = 0;
    };
    struct BitmapImage {
        std::unique_ptr<Bitmap> handle;
        DWORD width = 0;
        DWORD height = 0;
        std::unique_ptr<Bitmap> mask;  // white where the image is transparent
        COLORREF transparentColor = 0;
    };
    struct MenuCallback {
        QPointer<QObject> window;
        UINT message = 0;
        platform::LPARAM lParam = 0;
    };
    struct Sound {
        const char* sound = nullptr;
        std::uintptr_t module = 0;
        DWORD flags = 0;
    };

    // What the button looks like, as its setters leave it.
    struct Look {
        BOOL grayDisabledBitmap = platform::TRUE;
        int imageMarginX = 3;
        int imageMarginY = 3;
        int pushOffsetX = 1;
        int pushOffsetY = 1;
        BOOL flat = platform::TRUE;
        BOOL transparent = platform::FALSE;
        std::uint8_t alignment = 0;
        BOOL drawBorder = platform::TRUE;
        BOOL flatFocus = platform::FALSE;
        // 0 background hovered/pressed, 1 its text, 2 background normal, 3 its text, 4
        // background focused, 5 its text.
        std::array<COLORREF, 6> colors{};
    };

    // The inputs of one paint: the draw request's state decoded once, the look, and the images
    // in force. The drawing steps read only this and the device context.
    struct PaintState {
        RECT item{};
        int clientWidth = 0;
        bool pressed = false;
        bool focused = false;
        bool disabled = false;
        bool hovering = false;
        bool isDefault = false;
        bool isCheckBox = false;
        Look look;
        // The icon or bitmap the state shows (the first, or the second when the button is
        // neither hovered nor pressed), or null when the button has none.
        const IconImage* pIcon = nullptr;
        const BitmapImage* pBitmap = nullptr;
        std::u16string caption;
    };

    // The button is made with the window style its dialog template gives; PreSubclassWindow
    // reads it when the dialog takes the control over.
    explicit ImageButton(QWidget* pParent = nullptr, DWORD dwStyle = platform::BS_PUSHBUTTON);
    ~ImageButton() override;
    ImageButton(const ImageButton&) = delete;
    ImageButton& operator=(const ImageButton&) = delete;

    // The window style word, as the platform keeps it for the control.
    DWORD GetStyle() const { return m_dwStyle; }
    // Reads the template's button type (check box, default button), then makes the control
    // owner-drawn whatever the template said.
    virtual void PreSubclassWindow();

    // Paints the whole button into the request's context: the steps below in their order,
    // each given the state of this paint.
    virtual void DrawItem(platform::DRAWITEMSTRUCT* pDrawItem);
    // What a paint of the item rectangle in the item state (ODS_ flags) shows.
    PaintState PaintStateFor(UINT nItemState, const RECT& item) const;
    // The image rectangle for an image of w x h; narrows the caption rectangle to leave it room.
    static RECT LayoutImage(const PaintState& state, RECT* pCaption, DWORD w, DWORD h);

    int ResetColors(BOOL bRepaint);
    // Style 0: pressed images and caption move by (1, 1); style 1: by (0, 2); 6 for others.
    int SetPushOffset(int nStyle, BOOL bRepaint);
    // Copies the parent's pixels under the button; taken once, then reused.
    void PaintParentBackground(DeviceContext* pDC);

    // Icons by resource number, with requested sizes (0: the resource's own); the second may
    // be 0 or a marker. 0, or 1 when an icon's information cannot be read.
    int SetIcon(int nIcon, int nIcon2);
    int SetIcon(int nIcon, int cxIcon, int cyIcon, int nIcon2, int cxIcon2, int cyIcon2);
    // Takes both icons over; with no first icon the button shows none.
    int SetIcon(std::unique_ptr<Icon> pIcon, SecondIcon second = nullptr);
    // Releases every image: icon 0, icon 1, bitmap 0, bitmap 1, mask 0, mask 1.
    void FreeImages();

    // New icons, or null; the source is not consumed.
    static std::unique_ptr<Icon> MakeGrayscaleIcon(const Icon* pSource);
    static std::unique_ptr<Icon> MakeDarkerIcon(const Icon* pSource);
    static COLORREF DarkenColor(COLORREF colour, double dFactor);

    // Setters for what this program leaves at the defaults.
    void SetFlat(BOOL bFlat, BOOL bRepaint);
    // 0: image left of the caption, 1: above it, 2: right of it.
    void SetAlignment(std::uint8_t nAlignment, BOOL bRepaint);
    void SetImageMargins(int nMarginX, int nMarginY, BOOL bRepaint);
    // nIndex 0 to 5 as in colors; 1 for another index.
    int SetColor(int nIndex, COLORREF colour, BOOL bRepaint);
    void SetDrawBorder(BOOL bDrawBorder, BOOL bRepaint);
    void SetFlatFocus(BOOL bFlatFocus, BOOL bRepaint);
    void SetTransparent(BOOL bTransparent, BOOL bRepaint);
    // Bitmaps in place of icons, with the colour that is transparent in each; the second (for
    // the normal state) may be null. Takes them over; 0.
    int SetBitmaps(std::unique_ptr<Bitmap> pBitmap, COLORREF transparentColor,
                   std::unique_ptr<Bitmap> pBitmap2 = nullptr, COLORREF transparentColor2 = 0);

    // The tooltip's text; the tool covers the button as it is at the first call. Null: nothing.
    void SetTooltipText(const char16_t* pszText, BOOL bActivate);
    void EnsureTooltip();
    // Builds the menu resource's menu for the button (0: none), with the toolbar's images
    // (0: none); the chosen command goes to the owner. 0, or 1 when a resource does not load.
    int AttachMenu(UINT nMenu, QWidget* pOwner, BOOL bFlatMenuStyle, UINT nToolbar, int cxImage,
                   int cyImage, COLORREF imageBackground, BOOL bRepaint);
    // The message sent to the window, with the pop-up's menu object, before the pop-up opens.
    int SetMenuCallback(QObject* pWnd, UINT nMessage, platform::LPARAM lParam);
    // Narrow text; at most 259 bytes are kept, never half of a two-byte character. Null clears.
    int SetLinkUrl(const char* pszUrl);
    int ApplyCheck(BOOL bCheck, BOOL bRepaint);
    BOOL IsChecked() const { return m_bChecked; }
    void CancelHover();

    // The pop-up's requests: the attached menu measures the items of the pop-ups it owns and
    // answers typed characters for them.
    QWidget* PopupParent() const override { return const_cast<ImageButton*>(this); }
    void OnMeasureItem(platform::HMENU hMenu, platform::MEASUREITEMSTRUCT* pMeasure) override;
    platform::LRESULT OnMenuChar(UINT nChar, UINT nFlags, platform::HMENU hMenu) override;

protected:
    // The drawing steps, in DrawItem's order; a derived button may replace any one of them.
    // The background may narrow the work rectangle; the images narrow the caption's.
    virtual void DrawBackground(DeviceContext* pDC, const PaintState& state, RECT* pRect);
    virtual void DrawBorder(DeviceContext* pDC, const PaintState& state, RECT* pRect);
    virtual void DrawIconImage(DeviceContext* pDC, const PaintState& state, RECT* pCaption);
    virtual void DrawBitmapImage(DeviceContext* pDC, const PaintState& state, RECT* pCaption);
    virtual void DrawCaption(DeviceContext* pDC, const PaintState& state, RECT* pCaption);

    // Renders through DrawItem, then copies the image to the screen.
    void paintEvent(QPaintEvent* pEvent) override;
    void changeEvent(QEvent* pEvent) override;
    // The tooltip's relay, a double click taken as a second click, the button messages.
    bool event(QEvent* pEvent) override;
    void mouseMoveEvent(QMouseEvent* pEvent) override;
    void enterEvent(QEnterEvent* pEvent) override;
    void leaveEvent(QEvent* pEvent) override;
    void focusOutEvent(QFocusEvent* pEvent) override;

private:
    friend class ImageButtonTestAccess;

    void OnClicked();
    void OnSysColorChange();
    platform::LRESULT OnMessage(const platform::MessageEvent& message);
    // Which of the two images the state shows: 0 hovered or pressed, else 1 when there is one.
    int ImageIndex(bool bHasSecond, bool bPressed) const;
    void DropBackgroundCache();
    void Repaint(BOOL bRepaint);
    void UpdateFont();

    DWORD m_dwStyle;
    Look m_look;
    BOOL m_bHovering = platform::FALSE;
    BOOL m_bDefault = platform::FALSE;
    BOOL m_bCheckBox = platform::FALSE;
    BOOL m_bChecked = platform::FALSE;
    // Tracking the hover in every window, not only while the button's window is active.
    BOOL m_bAlwaysTrack = platform::TRUE;
    LumoMenu m_menu;
    QPointer<QWidget> m_menuOwner;
    BOOL m_bMenuShowing = platform::FALSE;
    MenuCallback m_menuCallback;
    std::optional<QCursor> m_cursor;
    // Made by the tooltip behaviour: a window of its own, not a child of the button.
    std::unique_ptr<platform::CToolTipCtrl> m_pTooltip;
    // The parent's pixels under a transparent button, taken at its first paint.
    std::unique_ptr<DeviceContext> m_pBackgroundDC;
    std::unique_ptr<Bitmap> m_pBackgroundBitmap;
    Bitmap* m_pOldBackgroundBitmap = nullptr;
    char m_szLinkUrl[260] = {};
    std::array<IconImage, 2> m_icons;
    std::array<BitmapImage, 2> m_bitmaps;
    // Never set in this program; kept so that a button can play them.
    Sound m_hoverSound;
    Sound m_clickSound;
    // The button's font as a device context selects it, and the image paintEvent renders into.
    std::unique_ptr<platform::Font> m_pFont;
    QImage m_frame;
};

}  // namespace vesk
