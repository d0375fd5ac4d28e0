#include "template_dialog.h"

#include "bitmap_resources.h"
#include "system.h"
#include "window_message.h"
#include "window_styles.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace vesk {

using namespace platform;

TemplateDialog::TemplateDialog(QWidget* pParent) : QDialog(pParent) {
    m_focusWatch =
        connect(qApp, &QApplication::focusChanged, this, [this] { TellDefaultButtons(); });
}

TemplateDialog::~TemplateDialog() {
    // The controls go only after this: the focus moves while they do, and the buttons must not
    // be asked about it then.
    disconnect(m_focusWatch);
}

void TemplateDialog::TellDefaultButtons() {
    for (QPushButton* pButton : findChildren<QPushButton*>(Qt::FindDirectChildrenOnly)) {
        const bool bDefault = pButton->isDefault();
        const auto it = m_defaultTold.find(pButton);
        if (it == m_defaultTold.end() || it->second != bDefault) {
            m_defaultTold[pButton] = bDefault;
            SendMessageA(pButton, BM_SETSTYLE, bDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
        }
    }
}

QWidget* TemplateDialog::GetDlgItem(int nId) const {
    const auto it = m_controls.find(nId);
    return it == m_controls.end() ? nullptr : it->second;
}

QWidget* TemplateDialog::MakeStandardControl(const DLGITEMTEMPLATE& item) {
    const QString text = QString::fromStdU16String(item.text);
    switch (item.controlClass) {
        case ControlClass::Edit:
            return new QLineEdit(this);
        case ControlClass::Static: {
            auto* pLabel = new QLabel(this);
            if ((item.style & SS_TYPEMASK) == SS_ICON) {
                // An icon control takes the size of a standard icon.
                const int cx = GetSystemMetrics(SM_CXICON);
                pLabel->setPixmap(
                    IconResourceQIcon(text.toUInt()).pixmap(cx, GetSystemMetrics(SM_CYICON)));
                pLabel->setFixedSize(cx, GetSystemMetrics(SM_CYICON));
                return pLabel;
            }
            // A '&' marks a mnemonic unless SS_NOPREFIX; statics take no focus, so it is hidden.
            pLabel->setTextFormat(Qt::PlainText);
            pLabel->setText((item.style & SS_NOPREFIX) != 0 ? text : QString(text).remove(u'&'));
            return pLabel;
        }
        case ControlClass::Button: {
            const DWORD dwType = item.style & BS_TYPEMASK;
            if (dwType == BS_AUTORADIOBUTTON) {
                return new QRadioButton(text, this);
            }
            auto* pButton = new QPushButton(text, this);
            pButton->setDefault(dwType == BS_DEFPUSHBUTTON);
            // OK and Cancel end the dialog, as the base class's handlers do.
            if (item.nId == IDOK) {
                connect(pButton, &QPushButton::clicked, this, &QDialog::accept);
            } else if (item.nId == IDCANCEL) {
                connect(pButton, &QPushButton::clicked, this, &QDialog::reject);
            }
            return pButton;
        }
        case ControlClass::ActiveX:
            return new QWidget(this);
    }
    return nullptr;
}

bool TemplateDialog::BuildFromTemplate(UINT nTemplate, const ControlFactory& factory) {
    const DLGTEMPLATE* pTemplate = FindDialogTemplate(nTemplate);
    if (pTemplate == nullptr) {
        return false;
    }
    const QFont font = DialogFont(*pTemplate);
    setFont(font);
    m_baseUnits = GetDialogBaseUnits(font);
    setWindowTitle(QString::fromStdU16String(pTemplate->caption));
    Qt::WindowFlags flags =
        Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (pTemplate->style & WS_MINIMIZEBOX) {
        flags |= Qt::WindowMinimizeButtonHint;
    }
    if (pTemplate->style & WS_MAXIMIZEBOX) {
        flags |= Qt::WindowMaximizeButtonHint;
    }
    setWindowFlags(flags);
    const RECT frame = MapDialogRect({0, 0, pTemplate->size.cx, pTemplate->size.cy}, m_baseUnits);
    if (pTemplate->style & WS_THICKFRAME) {
        resize(frame.Width(), frame.Height());
    } else {
        setFixedSize(frame.Width(), frame.Height());
    }

    for (const DLGITEMTEMPLATE& item : pTemplate->items) {
        QWidget* pControl = factory ? factory(item, this) : nullptr;
        if (pControl == nullptr) {
            pControl = MakeStandardControl(item);
        }
        // Position and size are converted each on its own, as dialogs make their controls.
        const RECT place = MapDialogRect(
            {item.rect.left, item.rect.top, item.rect.Width(), item.rect.Height()}, m_baseUnits);
        pControl->setGeometry(place.left, place.top, place.right, place.bottom);
        if (item.controlClass == ControlClass::Static) {
            pControl->setFocusPolicy(Qt::NoFocus);
        } else if ((item.style & WS_TABSTOP) == 0) {
            pControl->setFocusPolicy(Qt::ClickFocus);
        }
        pControl->setVisible((item.style & WS_VISIBLE) != 0);
        if (item.nId != -1) {
            pControl->setObjectName(QString::number(item.nId));
            m_controls[item.nId] = pControl;
        }
    }
    return true;
}

}  // namespace vesk
