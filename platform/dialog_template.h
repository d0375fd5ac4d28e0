#pragma once

#include "win_types.h"

#include <QFont>
#include <string>
#include <vector>

// Dialog templates as data: the dialog's frame and font, then its controls in template order
// (which is also the tab order), each with its number, class, text, rectangle in dialog units
// and style. The program registers its templates at start-up; a dialog is built from one.
namespace vesk::platform {

// The numbers of the buttons that end a dialog.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

enum class ControlClass {
    Button,  // push buttons, radio buttons and check boxes, told apart by the style
    Edit,
    Static,
    ActiveX,  // a hosted control; the dialog makes it
};

struct DLGITEMTEMPLATE {
    int nId = -1;
    ControlClass controlClass = ControlClass::Static;
    std::u16string text;  // a static icon's: the icon resource's number
    RECT rect;            // x, y, x + width, y + height, in dialog units
    DWORD style = 0;
};

struct DLGTEMPLATE {
    DWORD style = 0;
    DWORD exStyle = 0;
    SIZE size;  // in dialog units
    std::u16string caption;
    std::u16string fontFace;
    int nPointSize = 9;
    std::vector<DLGITEMTEMPLATE> items;
};

void RegisterDialogTemplate(UINT nId, DLGTEMPLATE dialogTemplate);
// Null when there is no such template.
const DLGTEMPLATE* FindDialogTemplate(UINT nId);

// The dialog's font: the template's face at its size where the desktop has it, else the
// desktop's font for Chinese text at that size.
QFont DialogFont(const DLGTEMPLATE& dialogTemplate);
// The font's base units as dialogs take them: the average width of the Latin letters (rounded)
// and the character height.
SIZE GetDialogBaseUnits(const QFont& font);
// A rectangle in dialog units in pixels: a quarter of the base width and an eighth of the base
// height per unit, rounded.
RECT MapDialogRect(const RECT& rect, SIZE baseUnits);

}  // namespace vesk::platform
