#pragma once

#include "dialog_template.h"

#include <QDialog>
#include <functional>
#include <map>

namespace vesk {

// A dialog built from a dialog template: its caption, frame and font, then one child widget per
// control in template order (so the tab order is the template's), placed by converting dialog
// units with the font's base units. Controls without the visible style start hidden; buttons and
// edits without the tab-stop style take the focus only when clicked.
class TemplateDialog : public QDialog {
    Q_OBJECT

public:
    // Makes the widget of a control, or returns null to have the standard one made.
    using ControlFactory =
        std::function<QWidget*(const platform::DLGITEMTEMPLATE& item, QWidget* pParent)>;

    explicit TemplateDialog(QWidget* pParent = nullptr);
    ~TemplateDialog() override;

    // The control with this number; null when there is none.
    QWidget* GetDlgItem(int nId) const;
    platform::SIZE BaseUnits() const { return m_baseUnits; }

protected:
    // False when there is no such template.
    bool BuildFromTemplate(platform::UINT nTemplate, const ControlFactory& factory = {});

private:
    QWidget* MakeStandardControl(const platform::DLGITEMTEMPLATE& item);
    // The dialog manager's part when the focus moves: the push button that has become the
    // default one (the toolkit's dialog moves that role) is told so with BM_SETSTYLE, and the
    // one that no longer is, likewise.
    void TellDefaultButtons();

    std::map<int, QWidget*> m_controls;
    std::map<QObject*, bool> m_defaultTold;
    QMetaObject::Connection m_focusWatch;
    platform::SIZE m_baseUnits;
};

}  // namespace vesk
