// The plug-in's controller in a window of the offscreen backend, the main run loop on a manual
// clock, a unit whose meters the test sets, and the console captured.
#pragma once

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "../ui_touch/TouchHarness.h"
#include "AudioUnitViewController.h"
#include "core/Console.h"

namespace ifacetest {

using namespace std::chrono_literals;

// The real unit with meters the test sets and counts.
class MeterUnit : public Orvex_Compander_Extension_AudioUnit {
public:
    MeterUnit() : Orvex_Compander_Extension_AudioUnit(kComponentDescription, 0) {}
    std::atomic<float> meters[4] = {0.25f, 0.75f, 0.125f, 0.375f};
    std::atomic<int> reads{0};
    float getDynamicsValue1() override {
        ++reads;
        return meters[0];
    }
    float getDynamicsValue2() override { return meters[1]; }
    float getPeakValue1() override { return meters[2]; }
    float getPeakValue2() override { return meters[3]; }
};

inline std::shared_ptr<MeterUnit> makeUnit() {
    return std::make_shared<MeterUnit>();
}

class Harness : public touchtest::Harness {
public:
    Harness() : touchtest::Harness({0, 0, 768, 510}) {
        controller = AudioUnitViewController::make();
    }
    ~Harness() { controller.reset(); }

    // Loads the view into the window and runs a layout and display pass.
    void show() {
        auto v = controller->view();
        v->setFrame(window->bounds());
        window->addSubview(v);
        window->runPasses();
    }
    // Lines printed since the capture began (or was cleared), without the unit's own.
    std::vector<std::string> lines() const {
        std::vector<std::string> out;
        for (const auto& l : console.lines())
            if (l.rfind("AUExtension", 0) != 0) out.push_back(l);
        return out;
    }
    std::size_t count(const std::string& line) const {
        const auto all = lines();
        return static_cast<std::size_t>(std::count(all.begin(), all.end(), line));
    }
    bool has(const std::string& line) const { return count(line) > 0; }

    // A point of the panel in design units, in window points.
    pf::CGPoint panelPoint(pf::CGPoint design) const {
        const auto& s = controller->mainView->baseClass->viewScale;
        return controller->mainView->convertTo(pf::CGPoint{design.x * s.width, design.y * s.height},
                                               nullptr);
    }
    static pf::CGPoint centre(const pf::UIBezierPath& path) {
        const pf::CGRect b = path.bounds();
        return {b.midX(), b.midY()};
    }

    pf::ConsoleCapture console;
    std::shared_ptr<AudioUnitViewController> controller;
};

} // namespace ifacetest
