#include "view_choices.h"

#include "popup_edits.h"
#include "viewer_resources.h"
#include "viewer_settings.h"
#include "web_browser.h"
#include "window_watch.h"

namespace vesk {

ViewChoices::ViewChoices(CWebBrowser2& browser, ViewerSettings& settings, WindowWatch& watch)
    : m_browser(browser), m_settings(settings), m_watch(watch) {}

void ViewChoices::Restore() {
    m_browser.SetZoom(m_settings.Zoom());
    m_browser.SetNight(m_settings.Night());
    m_browser.SetNoPictures(m_settings.NoPictures());
}

void ViewChoices::Keep() {
    m_settings.SetZoom(m_browser.Zoom());
}

void ViewChoices::Show(MenuState& state) const {
    state.bNight = m_browser.IsNight();
    state.bNoPictures = m_browser.IsNoPictures();
    state.bSkipPictures = m_settings.SkipPictures();
}

bool ViewChoices::OnCommand(unsigned int nId) {
    switch (nId) {
        case res::ID_NIGHT_PAGE:
            m_browser.SetNight(!m_browser.IsNight());
            m_settings.SetNight(m_browser.IsNight());
            return true;
        case res::ID_NO_PICTURES:
            m_browser.SetNoPictures(!m_browser.IsNoPictures());
            m_settings.SetNoPictures(m_browser.IsNoPictures());
            return true;
        case res::ID_SKIP_PICTURES:
            m_settings.SetSkipPictures(!m_settings.SkipPictures());
            m_watch.SetPictures(!m_settings.SkipPictures());
            return true;
        default:
            return false;
    }
}

}  // namespace vesk
