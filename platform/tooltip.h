#pragma once

#include "win_types.h"

#include <QLabel>
#include <QPoint>
#include <QPointer>
#include <QTimer>
#include <vector>

class QEvent;

// The platform's tooltip control: a window of its own that shows a tool's text when the pointer
// rests over the tool's rectangle in its window, as the tool's window relays its mouse events.
namespace vesk::platform {

class CToolTipCtrl final : public QLabel {
public:
    CToolTipCtrl();

    // The tooltip for the tools of one window; FALSE when it exists already. The style
    // changes nothing: this system never sets one.
    BOOL Create(QWidget* pParent, DWORD dwStyle);
    // A tool: a rectangle of a window (in its client coordinates) and its text.
    BOOL AddTool(QWidget* pWnd, const QString& text, const RECT& rect, UINT nIdTool);
    void UpdateTipText(const QString& text, QWidget* pWnd, UINT nIdTool);
    int GetToolCount() const { return static_cast<int>(m_tools.size()); }
    // TTM_ACTIVATE: an inactive tooltip never shows.
    void Activate(BOOL bActivate);
    // TTM_SETMAXTIPWIDTH: longer texts wrap.
    void SetMaxTipWidth(int nWidth);

    // TTM_RELAYEVENT: a mouse event of a tool's window.
    void RelayEvent(QWidget* pWnd, const QEvent* pEvent);

private:
    friend class TooltipTestAccess;

    struct Tool {
        QPointer<QWidget> window;
        UINT nId;
        RECT rect;
        QString text;
    };
    Tool* Find(QWidget* pWnd, UINT nIdTool);
    const Tool* ToolAt(QWidget* pWnd, QPoint local) const;
    void Pop();
    void ShowTip();

    QPointer<QWidget> m_pOwner;
    std::vector<Tool> m_tools;
    bool m_bActive = true;
    const Tool* m_pPending = nullptr;
    QPoint m_at;
    QTimer m_initial;
    QTimer m_autoPop;
};

}  // namespace vesk::platform
