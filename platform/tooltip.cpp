#include "tooltip.h"

#include <QEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>

namespace vesk::platform {

CToolTipCtrl::CToolTipCtrl() : QLabel(nullptr, Qt::ToolTip | Qt::BypassGraphicsProxyWidget) {
    setWordWrap(true);
    setTextFormat(Qt::PlainText);
    setMargin(2);
    setForegroundRole(QPalette::ToolTipText);
    setBackgroundRole(QPalette::ToolTipBase);
    setAutoFillBackground(true);
    setFrameStyle(QFrame::Box | QFrame::Plain);
    m_initial.setSingleShot(true);
    m_initial.setInterval(500);
    m_autoPop.setSingleShot(true);
    m_autoPop.setInterval(5000);
    connect(&m_initial, &QTimer::timeout, this, [this] { ShowTip(); });
    connect(&m_autoPop, &QTimer::timeout, this, [this] { Pop(); });
}

BOOL CToolTipCtrl::Create(QWidget* pParent, DWORD /*dwStyle*/) {
    if (m_pOwner != nullptr || pParent == nullptr) {
        return FALSE;
    }
    m_pOwner = pParent;
    return TRUE;
}

BOOL CToolTipCtrl::AddTool(QWidget* pWnd, const QString& text, const RECT& rect, UINT nIdTool) {
    if (pWnd == nullptr || Find(pWnd, nIdTool) != nullptr) {
        return FALSE;
    }
    m_tools.push_back(Tool{pWnd, nIdTool, rect, text});
    return TRUE;
}

void CToolTipCtrl::UpdateTipText(const QString& text, QWidget* pWnd, UINT nIdTool) {
    if (Tool* pTool = Find(pWnd, nIdTool)) {
        pTool->text = text;
        if (isVisible()) {
            setText(text);
            adjustSize();
        }
    }
}

void CToolTipCtrl::Activate(BOOL bActivate) {
    m_bActive = bActivate != FALSE;
    if (!m_bActive) {
        Pop();
    }
}

void CToolTipCtrl::SetMaxTipWidth(int nWidth) {
    setMaximumWidth(nWidth);
}

void CToolTipCtrl::RelayEvent(QWidget* pWnd, const QEvent* pEvent) {
    switch (pEvent->type()) {
        case QEvent::MouseMove: {
            const auto* pMouse = static_cast<const QMouseEvent*>(pEvent);
            const Tool* pTool = m_bActive ? ToolAt(pWnd, pMouse->position().toPoint()) : nullptr;
            if (pTool == nullptr) {
                Pop();
            } else if (!isVisible() && pTool != m_pPending) {
                m_pPending = pTool;
                m_at = pMouse->globalPosition().toPoint();
                m_initial.start();
            } else if (!isVisible()) {
                m_at = pMouse->globalPosition().toPoint();
            }
            break;
        }
        case QEvent::Leave:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
            Pop();
            break;
        default:
            break;
    }
}

CToolTipCtrl::Tool* CToolTipCtrl::Find(QWidget* pWnd, UINT nIdTool) {
    for (Tool& tool : m_tools) {
        if (tool.window == pWnd && tool.nId == nIdTool) {
            return &tool;
        }
    }
    return nullptr;
}

const CToolTipCtrl::Tool* CToolTipCtrl::ToolAt(QWidget* pWnd, QPoint local) const {
    for (const Tool& tool : m_tools) {
        if (tool.window == pWnd && local.x() >= tool.rect.left && local.x() < tool.rect.right &&
            local.y() >= tool.rect.top && local.y() < tool.rect.bottom) {
            return &tool;
        }
    }
    return nullptr;
}

void CToolTipCtrl::Pop() {
    m_initial.stop();
    m_autoPop.stop();
    m_pPending = nullptr;
    hide();
}

void CToolTipCtrl::ShowTip() {
    if (m_pPending == nullptr || !m_bActive || m_pPending->text.isEmpty()) {
        return;
    }
    setText(m_pPending->text);
    adjustSize();
    // Below the pointer, inside the screen.
    QPoint at = m_at + QPoint(0, 20);
    if (const QScreen* pScreen = QGuiApplication::screenAt(m_at)) {
        const QRect area = pScreen->availableGeometry();
        at.setX(std::max(area.left(), std::min(at.x(), area.right() + 1 - width())));
        if (at.y() + height() > area.bottom() + 1) {
            at.setY(m_at.y() - height() - 4);
        }
    }
    move(at);
    show();
    m_autoPop.start();
}

}  // namespace vesk::platform
