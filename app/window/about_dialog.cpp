#include "about_dialog.h"

#include "viewer_resources.h"

namespace vesk {

AboutDialog::AboutDialog(QWidget* pParent) : TemplateDialog(pParent) {
    BuildFromTemplate(res::IDD_ABOUTBOX);
}

int AboutDialog::DoModal() {
    setWindowModality(Qt::WindowModal);
    return exec() == QDialog::Accepted ? platform::IDOK : platform::IDCANCEL;
}

}  // namespace vesk
