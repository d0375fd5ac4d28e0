#include "viewer_resources.h"

#include "dialog_template.h"
#include "resources.h"
#include "window_styles.h"

#include <QFile>

namespace vesk::res {

namespace {

using namespace platform;

RECT At(int x, int y, int cx, int cy) {
    return RECT{x, y, x + cx, y + cy};
}

void RegisterMainDialog() {
    // DIALOG 102: the main window, 415 x 342 units in 宋体 9 pt, controls in tab order.
    constexpr DWORD kEdit = WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL;
    constexpr DWORD kRadio = WS_VISIBLE | BS_AUTORADIOBUTTON;
    DLGTEMPLATE main;
    main.style = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX |
                 WS_MAXIMIZEBOX | DS_SETFONT;
    main.exStyle = WS_EX_APPWINDOW;
    main.size = {415, 342};
    main.caption = u"vesk辅助查看器 意见与问题请到项目主页留言";
    main.fontFace = u"宋体";
    main.nPointSize = 9;
    main.items = {
        {IDC_URL, ControlClass::Edit, u"", At(72, 8, 336, 14), kEdit},
        {IDC_SHOW_ALL, ControlClass::Button, u"显示所有", At(71, 27, 48, 10), kRadio},
        {IDC_ONLY_STARTER, ControlClass::Button, u"只看原作者", At(71, 40, 56, 10), kRadio},
        {IDC_PARTIAL, ControlClass::Button, u"部分显示（用户名逗号分隔）", At(71, 53, 120, 10),
         kRadio},
        {IDC_NAMES, ControlClass::Edit, u"", At(195, 51, 213, 14), kEdit & ~WS_VISIBLE},
        {IDC_GO, ControlClass::Button, u"", At(71, 70, 37, 22),
         WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON},
        {IDC_MENU_BUTTON, ControlClass::Button, u"", At(119, 70, 37, 22),
         WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON},
        {IDC_BROWSER, ControlClass::ActiveX, u"", At(7, 95, 401, 240), WS_VISIBLE | WS_TABSTOP},
        {-1, ControlClass::Static, u"vesk单帖网址：", At(13, 10, 57, 8),
         WS_VISIBLE | WS_GROUP | SS_LEFT},
        {-1, ControlClass::Static, u"过滤模式：", At(29, 25, 41, 8),
         WS_VISIBLE | WS_GROUP | SS_LEFT},
    };
    RegisterDialogTemplate(IDD_MAIN, std::move(main));
}

void RegisterAboutDialog() {
    // DIALOG 100: the About box, 235 x 55 units; the icon control names icon 128.
    DLGTEMPLATE about;
    about.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;
    about.size = {235, 55};
    about.caption = u"关于";
    about.fontFace = u"宋体";
    about.nPointSize = 9;
    about.items = {
        {-1, ControlClass::Static, u"128", At(11, 17, 20, 20), WS_VISIBLE | SS_ICON},
        {-1, ControlClass::Static, u"vesk辅助查看器 1.0716 版", At(40, 10, 119, 8),
         WS_VISIBLE | SS_LEFT | SS_NOPREFIX},
        {-1, ControlClass::Static, u"意见与问题请到项目主页留言", At(40, 25, 119, 8),
         WS_VISIBLE | SS_LEFT},
        {IDOK, ControlClass::Button, u"确定", At(178, 7, 50, 14),
         WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON},
    };
    RegisterDialogTemplate(IDD_ABOUTBOX, std::move(about));
}

}  // namespace

void RegisterViewerResources() {
    using namespace platform;
    RegisterMainDialog();
    RegisterAboutDialog();

    // MENU 130: one pop-up "POP"; the thread items at its top are rebuilt before every showing.
    const std::vector<MenuTemplateItem> popup = {
        {0, ID_VIEW_THREAD, u"查看帖子原文", {}},
        {0, ID_BROWSE_BOARD, u"浏览【】吧", {}},
        {0, 0, u"", {}},
        {0, ID_LIBRARY_HOME, u"帖子库", {}},
        {0, ID_HELP_PAGE, u"帮助", {}},
        {0, ID_ABOUT, u"关于", {}},
    };
    RegisterResource(RT_MENU, IDR_POPUP, BuildMenuTemplate({{0, 0, u"POP", popup}}));

    // The icons are ICO files, each holding several sizes of one picture.
    for (const unsigned int nIcon : {IDR_MAINFRAME, IDI_GO, IDI_MENU}) {
        QFile file(QStringLiteral(":/vesk/icons/%1.ico").arg(nIcon));
        if (file.open(QIODevice::ReadOnly)) {
            RegisterResource(RT_GROUP_ICON, nIcon, file.readAll().toStdString());
        }
    }
}

}  // namespace vesk::res
