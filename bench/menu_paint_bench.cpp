// Menu 130's pop-up in the flat look, as the pop-up window asks for it: every item measured and
// painted into the window's image with the menu font; and, when the selection moves, the one
// item repainted selected.

#include "lumo_menu.h"
#include "viewer_resources.h"

#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>

namespace {

using namespace vesk;
using namespace vesk::platform;

struct Popup {
    Popup() {
        res::RegisterViewerResources();
        LumoMenu::settings.drawModeOther = 1;
        menu.LoadTemplate(res::IDR_POPUP);
        pPopup = dynamic_cast<LumoMenu*>(menu.SubMenuAt(0));
    }
    ~Popup() { LumoMenu::settings.drawModeOther = 0; }

    // Measures every item; the pop-up's size.
    SIZE Measure(std::vector<RECT>& rects) const {
        rects.clear();
        int nWidth = 0;
        int y = 1;
        for (int i = 0; i < pPopup->GetMenuItemCount(); ++i) {
            MEASUREITEMSTRUCT measure;
            measure.CtlType = ODT_MENU;
            measure.itemID = pPopup->GetMenuItemID(i);
            measure.itemData =
                GetMenuItemData(pPopup->m_hMenu, static_cast<UINT>(i), MF_BYPOSITION);
            pPopup->MeasureItem(&measure);
            nWidth = std::max(nWidth, static_cast<int>(measure.itemWidth) + 12);
            rects.push_back(RECT{1, y, 1, y + static_cast<int>(measure.itemHeight)});
            y += static_cast<int>(measure.itemHeight);
        }
        for (RECT& rect : rects) {
            rect.right = 1 + nWidth;
        }
        return SIZE{nWidth + 2, y + 1};
    }

    void Draw(DeviceContext& dc, int nPos, const RECT& rect, UINT nState) const {
        DRAWITEMSTRUCT draw;
        draw.CtlType = ODT_MENU;
        draw.itemID = pPopup->GetMenuItemID(nPos);
        draw.itemState = nState;
        draw.hwndItem = pPopup->m_hMenu;
        draw.hDC = &dc;
        draw.rcItem = rect;
        draw.itemData = GetMenuItemData(pPopup->m_hMenu, static_cast<UINT>(nPos), MF_BYPOSITION);
        pPopup->DrawItem(&draw);
    }

    LumoMenu menu;
    LumoMenu* pPopup = nullptr;
};

void BM_WholePopup(benchmark::State& state) {
    Popup popup;
    const std::unique_ptr<Font> pFont = CreateMenuFont();
    std::vector<RECT> rects;
    for (auto _ : state) {
        const SIZE size = popup.Measure(rects);
        QImage image(size.cx, size.cy, QImage::Format_RGB32);
        DeviceContext dc(&image);
        dc.SelectObject(pFont.get());
        for (int i = 0; i < static_cast<int>(rects.size()); ++i) {
            popup.Draw(dc, i, rects[static_cast<std::size_t>(i)], 0);
        }
        benchmark::DoNotOptimize(image.constBits());
    }
}

void BM_OneItemSelected(benchmark::State& state) {
    Popup popup;
    const std::unique_ptr<Font> pFont = CreateMenuFont();
    std::vector<RECT> rects;
    const SIZE size = popup.Measure(rects);
    QImage image(size.cx, size.cy, QImage::Format_RGB32);
    DeviceContext dc(&image);
    dc.SelectObject(pFont.get());
    for (auto _ : state) {
        popup.Draw(dc, 1, rects[1], ODS_SELECTED);
        benchmark::DoNotOptimize(image.constBits());
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    for (const auto& [pszName, fn] :
         {std::pair{"MenuPopup/measure and paint all five items", &BM_WholePopup},
          std::pair{"MenuPopup/repaint one item selected", &BM_OneItemSelected}}) {
        benchmark::RegisterBenchmark(pszName, fn)
            ->Repetitions(9)
            ->ReportAggregatesOnly(true)
            ->Unit(benchmark::kMicrosecond);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
