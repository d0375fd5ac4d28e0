#pragma once

#include "template_dialog.h"

namespace vesk {

// The About box: dialog 100 with the program's icon, name and version and the contact note;
// OK and Esc close it.
class AboutDialog final : public TemplateDialog {
    Q_OBJECT

public:
    explicit AboutDialog(QWidget* pParent = nullptr);
    // Shown modally over its parent, which takes no input meanwhile; the button that closed it.
    int DoModal();
};

}  // namespace vesk
