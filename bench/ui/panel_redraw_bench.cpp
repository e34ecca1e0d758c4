// Redraw costs at 1024 x 680 points: the dynamics display (redrawn up to 25 times a second by
// the meter refresh; its budget is 2 ms), the full panel, and a composite of the window.
#include <benchmark/benchmark.h>
#include <cairo.h>

#include "OrvexCompressorViewBase.h"
#include "OrvexDynamicsDisplayView.h"
#include "PluginFrameEx.h"
#include "ui/Offscreen.h"
#include "ui/UIWindow.h"

namespace {

const pf::CGRect kBounds{0, 0, 1024, 680};

class PanelView : public pf::UIView {
public:
    using pf::UIView::UIView;
    void draw(const pf::CGRect&) override {
        base.drawMain(bounds(), OrvexCompressorViewBase::ResizingBehavior0::aspectFit);
    }
    OrvexCompressorViewBase base;
};

struct Scene {
    std::shared_ptr<pf::UIWindow> window = std::make_shared<pf::UIWindow>(kBounds);
    std::shared_ptr<PluginFrameEx> frame = std::make_shared<PluginFrameEx>(kBounds);
    std::shared_ptr<PanelView> panel = std::make_shared<PanelView>(kBounds);
    std::shared_ptr<OrvexDynamicsDisplayView> display =
        std::make_shared<OrvexDynamicsDisplayView>(kBounds);
    Scene() {
        window->addSubview(frame);
        window->addSubview(panel);
        window->addSubview(display);
        window->runPasses();
    }
};

// One meter refresh that changed the values: store, mark, display pass (the layer redraw).
void BM_DynamicsDisplayRedraw(benchmark::State& state) {
    Scene s;
    float v = 0.3f;
    for (auto _ : state) {
        v = v > 0.7f ? 0.3f : v + 0.01f;
        s.display->setCompressionValues(v, 1 - v);
        s.display->setOutputValues(v * 0.5f, v * 0.4f);
        s.window->runPasses();
    }
    state.counters["draws"] = static_cast<double>(s.display->layerDrawCount());
}
BENCHMARK(BM_DynamicsDisplayRedraw)->Unit(benchmark::kMillisecond);

// One full panel redraw: every knob, button, the meter and the title.
void BM_PanelRedraw(benchmark::State& state) {
    Scene s;
    double v = 0;
    for (auto _ : state) {
        v = v >= 1 ? 0 : v + 0.01;
        s.panel->base.valueAttack = v;
        s.panel->setNeedsDisplay();
        s.window->runPasses();
    }
}
BENCHMARK(BM_PanelRedraw)->Unit(benchmark::kMillisecond);

// Compositing the three layers into a window-sized image (what a backend presents).
void BM_WindowComposite(benchmark::State& state) {
    Scene s;
    pf::ImageSurface target(1024, 680);
    for (auto _ : state) {
        cairo_t* cr = cairo_create(target.surface());
        s.window->render(cr);
        cairo_destroy(cr);
        cairo_surface_flush(target.surface());
    }
}
BENCHMARK(BM_WindowComposite)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
