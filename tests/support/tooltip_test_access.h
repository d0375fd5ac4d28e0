#pragma once

#include "tooltip.h"

namespace vesk::platform {

// What tests read of a tooltip, and its delays made short.
class TooltipTestAccess {
public:
    static RECT ToolRect(const CToolTipCtrl& tip, UINT nIdTool) {
        const auto* pTool = Find(tip, nIdTool);
        return pTool != nullptr ? pTool->rect : RECT{};
    }
    static QString ToolText(const CToolTipCtrl& tip, UINT nIdTool) {
        const auto* pTool = Find(tip, nIdTool);
        return pTool != nullptr ? pTool->text : QString();
    }
    static bool IsActive(const CToolTipCtrl& tip) { return tip.m_bActive; }
    static void SetDelayTimes(CToolTipCtrl& tip, int nInitialMs, int nAutoPopMs) {
        tip.m_initial.setInterval(nInitialMs);
        tip.m_autoPop.setInterval(nAutoPopMs);
    }

private:
    static const CToolTipCtrl::Tool* Find(const CToolTipCtrl& tip, UINT nIdTool) {
        for (const auto& tool : tip.m_tools) {
            if (tool.nId == nIdTool) {
                return &tool;
            }
        }
        return nullptr;
    }
};

}  // namespace vesk::platform
