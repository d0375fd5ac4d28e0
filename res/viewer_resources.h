#pragma once

// The viewer's resources by number: dialog 102, the main window; dialog 100, the About box; menu
// 130, the pop-up of the menu button; icons 128 (the program's own, 24 x 24), 131 (the go button's,
// 32 x 32) and 132 (the menu button's, 32 x 32).
namespace vesk::res {

inline constexpr unsigned int IDD_ABOUTBOX = 100;
inline constexpr unsigned int IDD_MAIN = 102;
inline constexpr int IDC_URL = 1000;
inline constexpr int IDC_GO = 1001;
inline constexpr int IDC_ONLY_STARTER = 1002;
inline constexpr int IDC_PARTIAL = 1003;
inline constexpr int IDC_NAMES = 1004;
inline constexpr int IDC_SHOW_ALL = 1005;
inline constexpr int IDC_BROWSER = 1006;
inline constexpr int IDC_MENU_BUTTON = 1007;

inline constexpr unsigned int IDR_MAINFRAME = 128;
inline constexpr unsigned int IDI_GO = 131;
inline constexpr unsigned int IDI_MENU = 132;

inline constexpr unsigned int IDR_POPUP = 130;
inline constexpr unsigned int ID_VIEW_THREAD = 32771;
inline constexpr unsigned int ID_BROWSE_BOARD = 32773;
inline constexpr unsigned int ID_HELP_PAGE = 32774;
inline constexpr unsigned int ID_ABOUT = 32775;
inline constexpr unsigned int ID_LIBRARY_HOME = 32776;
// Put before 帖子库 while a thread is shown.
inline constexpr unsigned int ID_READ_WHOLE = 32777;
// After it: watching the shown thread, or no longer.
inline constexpr unsigned int ID_WATCH_THREAD = 32778;
inline constexpr unsigned int ID_UNWATCH_THREAD = 32779;
// After 读取全帖, for a kept thread: brings it up to date through the library.
inline constexpr unsigned int ID_UPDATE_THREAD = 32780;
// After 帖子库: the night page, on or off.
inline constexpr unsigned int ID_NIGHT_PAGE = 32781;
// After it: the picture-less mode, and whether updates fetch pictures.
inline constexpr unsigned int ID_NO_PICTURES = 32782;
inline constexpr unsigned int ID_SKIP_PICTURES = 32783;
// After 关注本帖, for a kept thread: its posts as a file to take along.
inline constexpr unsigned int ID_EXPORT_THREAD = 32784;
// After 更新本帖, for a kept thread: reads every page of it again.
inline constexpr unsigned int ID_CHECK_THREAD = 32785;

// Registers them with the platform layer; safe to call more than once.
void RegisterViewerResources();

}  // namespace vesk::res
