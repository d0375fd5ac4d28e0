#pragma once

#include "image_button.h"

namespace vesk {

// What tests set and read of a button beyond its own interface: the state the pointer and the
// menu leave, the images held, the background cache and the sounds.
class ImageButtonTestAccess {
public:
    explicit ImageButtonTestAccess(ImageButton& button) : b(button) {}

    ImageButton::Look& Look() { return b.m_look; }
    platform::BOOL& Hovering() { return b.m_bHovering; }
    platform::BOOL& Default() { return b.m_bDefault; }
    platform::BOOL& CheckBox() { return b.m_bCheckBox; }
    platform::BOOL& Checked() { return b.m_bChecked; }
    platform::BOOL& AlwaysTrack() { return b.m_bAlwaysTrack; }
    platform::BOOL& MenuShowing() { return b.m_bMenuShowing; }
    LumoMenu& Menu() { return b.m_menu; }
    QWidget* MenuOwner() { return b.m_menuOwner; }
    platform::CToolTipCtrl* Tooltip() { return b.m_pTooltip.get(); }
    std::unique_ptr<platform::DeviceContext>& BackgroundDC() { return b.m_pBackgroundDC; }
    std::unique_ptr<platform::Bitmap>& BackgroundBitmap() { return b.m_pBackgroundBitmap; }
    const char* LinkUrl() { return b.m_szLinkUrl; }
    const ImageButton::IconImage& Icon(int i) { return b.m_icons[static_cast<std::size_t>(i)]; }
    const ImageButton::BitmapImage& Bitmap(int i) {
        return b.m_bitmaps[static_cast<std::size_t>(i)];
    }
    ImageButton::Sound& HoverSound() { return b.m_hoverSound; }
    ImageButton::Sound& ClickSound() { return b.m_clickSound; }

private:
    ImageButton& b;
};

}  // namespace vesk
