// Painting one image button of the main window's size (37 x 22 dialog units in the dialog's
// font) with the go button's icon, in each state: DrawItem into the button's image, and the
// whole paint event that then copies it.

#include "image_button.h"
#include "image_button_test_access.h"
#include "viewer_resources.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFontDatabase>
#include <QFontMetrics>

namespace {

using namespace vesk;
using namespace vesk::platform;

// The dialog font: 宋体 9 pt where it exists, else the desktop's CJK font at that size.
QFont DialogFont() {
    QFont font(QStringLiteral("SimSun"));
    if (!QFontDatabase::families().contains(QStringLiteral("SimSun"))) {
        font = QFont(QStringLiteral("WenQuanYi Micro Hei"));
    }
    font.setPointSize(9);
    return font;
}

// Dialog units to pixels with the font's base units, as dialogs convert them.
QSize ButtonPixels() {
    const QFontMetrics metrics(DialogFont());
    const int nLetters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    const int cx = (nLetters / 26 + 1) / 2;
    const int cy = metrics.height();
    return {37 * cx / 4, 22 * cy / 8};
}

struct State {
    const char* pszName;
    BOOL bFlat;
    BOOL bHovering;
    UINT nItemState;
};

constexpr State kStates[] = {
    {"flat idle", TRUE, FALSE, 0},
    {"flat hovered", TRUE, TRUE, 0},
    {"flat pressed", TRUE, TRUE, ODS_SELECTED},
    {"flat disabled", TRUE, FALSE, ODS_DISABLED},
    {"standard default focused", FALSE, FALSE, ODS_FOCUS},
};

void Prepare(ImageButton& button, const State& state) {
    res::RegisterViewerResources();
    button.setFont(DialogFont());
    button.resize(ButtonPixels());
    button.SetIcon(static_cast<int>(res::IDI_GO), 0);
    button.SetFlat(state.bFlat, FALSE);
    ImageButtonTestAccess access(button);
    access.Hovering() = state.bHovering;
    access.Default() = state.bFlat ? FALSE : TRUE;
}

void BM_DrawItem(benchmark::State& bench, const State& state) {
    ImageButton button;
    Prepare(button, state);
    QImage image(button.size(), QImage::Format_RGB32);
    for (auto _ : bench) {
        DeviceContext dc(&image);
        DRAWITEMSTRUCT item;
        item.itemState = state.nItemState;
        item.hDC = &dc;
        item.rcItem = {0, 0, button.width(), button.height()};
        button.DrawItem(&item);
        benchmark::DoNotOptimize(image.constBits());
    }
    bench.SetLabel(std::to_string(button.width()) + " x " + std::to_string(button.height()));
}

void BM_PaintEvent(benchmark::State& bench, const State& state) {
    ImageButton button;
    Prepare(button, state);
    button.setEnabled((state.nItemState & ODS_DISABLED) == 0);
    button.setDown((state.nItemState & ODS_SELECTED) != 0);
    QImage screen(button.size(), QImage::Format_RGB32);
    for (auto _ : bench) {
        button.render(&screen);
        benchmark::DoNotOptimize(screen.constBits());
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    for (const State& state : kStates) {
        benchmark::RegisterBenchmark((std::string("DrawItem/") + state.pszName).c_str(),
                                     BM_DrawItem, state)
            ->Repetitions(9)
            ->ReportAggregatesOnly(true)
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark((std::string("PaintEvent/") + state.pszName).c_str(),
                                     BM_PaintEvent, state)
            ->Repetitions(9)
            ->ReportAggregatesOnly(true)
            ->Unit(benchmark::kMicrosecond);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
