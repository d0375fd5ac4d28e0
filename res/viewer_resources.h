#pragma once

// The viewer's resources by number: menu 130, the pop-up of the menu button.
namespace vesk::res {

inline constexpr unsigned int IDR_POPUP = 130;
inline constexpr unsigned int ID_VIEW_THREAD = 32771;
inline constexpr unsigned int ID_BROWSE_BOARD = 32773;
inline constexpr unsigned int ID_HELP_PAGE = 32774;
inline constexpr unsigned int ID_ABOUT = 32775;

// Registers them with the platform layer; safe to call more than once.
void RegisterViewerResources();

}  // namespace vesk::res
