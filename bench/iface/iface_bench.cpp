// The plug-in interface's steady work: one meter refresh (25 a second for the life of the
// plug-in) and one knob drag step from mouse input to the unit and back into the panel,
// the redraw of the panel in the window pass included.
#include <benchmark/benchmark.h>

#include "AudioUnitViewController.h"
#include "core/Console.h"
#include "core/RunLoop.h"
#include "core/Timer.h"
#include "ui/UIApplication.h"
#include "ui/UIWindow.h"
#include "ui/WindowBackend.h"

namespace {

struct Setup {
    std::shared_ptr<pf::ManualClock> clock = std::make_shared<pf::ManualClock>();
    std::shared_ptr<pf::UIWindow> window;
    std::shared_ptr<AudioUnitViewController> controller;
    std::shared_ptr<Orvex_Compander_Extension_AudioUnit> unit;
    pf::ConsoleCapture console; // the panel logs every host value

    Setup() {
        pf::RunLoop::claimMainThread();
        pf::WindowBackend::setShared(std::make_unique<pf::OffscreenBackend>());
        pf::RunLoop::main().setClock(clock);
        window = std::make_shared<pf::UIWindow>(pf::CGRect{0, 0, 768, 510});
        pf::UIApplication::shared().attach(*window);
        controller = AudioUnitViewController::make();
        auto view = controller->view();
        view->setFrame(window->bounds());
        window->addSubview(view);
        unit = Orvex_Compander_Extension_AudioUnit::create(
            Orvex_Compander_Extension_AudioUnit::kComponentDescription);
        controller->setAudioUnit(unit);
        pf::RunLoop::main().drainQueue();
        window->runPasses();
    }
};

void BM_MeterRefresh(benchmark::State& state) {
    Setup s;
    for (auto _ : state)
        s.controller->onTimer(*s.controller->timer());
}
BENCHMARK(BM_MeterRefresh);

void BM_KnobDragStep(benchmark::State& state) {
    Setup s;
    const auto& base = *s.controller->mainView->baseClass;
    const pf::CGRect r = base.hotspotGainPath.bounds();
    const pf::CGPoint p = s.controller->mainView->convertTo(
        pf::CGPoint{r.midX() * base.viewScale.width, r.midY() * base.viewScale.height}, nullptr);
    pf::InputEvent e;
    e.kind = pf::InputEvent::Kind::mouseDown;
    e.button = 1;
    e.location = p;
    s.window->sendInput(e);
    e.kind = pf::InputEvent::Kind::mouseMove;
    int i = 0;
    for (auto _ : state) {
        e.location = {p.x, p.y - static_cast<double>(++i % 100)};
        s.window->sendInput(e);
        pf::RunLoop::main().drainQueue(); // the tree observer's panel update
        s.console.clear();
    }
    e.kind = pf::InputEvent::Kind::mouseUp;
    s.window->sendInput(e);
}
BENCHMARK(BM_KnobDragStep);

} // namespace

BENCHMARK_MAIN();
