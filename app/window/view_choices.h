#pragma once

#include <QByteArray>

namespace vesk {

class CWebBrowser2;
struct MenuState;
class ViewerSettings;
class WindowWatch;

// How the reader likes to see the pages, kept between starts: the zoom, the night page, the
// picture-less mode, and whether updates leave pictures for later; the pop-up's items that
// switch them.
class ViewChoices final {
public:
    ViewChoices(CWebBrowser2& browser, ViewerSettings& settings, WindowWatch& watch);

    // The view as the reader left it.
    void Restore();
    // The view's zoom is kept for the next start.
    void Keep();
    // The pop-up's items show what is on.
    void Show(MenuState& state) const;
    // A command of the pop-up's that switches one of them; false for any other.
    bool OnCommand(unsigned int nId);

private:
    CWebBrowser2& m_browser;
    ViewerSettings& m_settings;
    WindowWatch& m_watch;
};

}  // namespace vesk
