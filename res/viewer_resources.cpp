#include "viewer_resources.h"

#include "resources.h"

#include <QFile>

namespace vesk::res {

void RegisterViewerResources() {
    using platform::MenuTemplateItem;
    // MENU 130: one pop-up "POP"; the thread items at its top are rebuilt before every showing.
    const std::vector<MenuTemplateItem> popup = {
        {0, ID_VIEW_THREAD, u"查看帖子原文", {}},
        {0, ID_BROWSE_BOARD, u"浏览【】吧", {}},
        {0, 0, u"", {}},
        {0, ID_HELP_PAGE, u"帮助", {}},
        {0, ID_ABOUT, u"关于", {}},
    };
    platform::RegisterResource(platform::RT_MENU, IDR_POPUP,
                               platform::BuildMenuTemplate({{0, 0, u"POP", popup}}));

    // The icons are ICO files, each holding several sizes of one picture.
    for (const unsigned int nIcon : {IDR_MAINFRAME, IDI_GO, IDI_MENU}) {
        QFile file(QStringLiteral(":/vesk/icons/%1.ico").arg(nIcon));
        if (file.open(QIODevice::ReadOnly)) {
            platform::RegisterResource(platform::RT_GROUP_ICON, nIcon,
                                       file.readAll().toStdString());
        }
    }
}

}  // namespace vesk::res
