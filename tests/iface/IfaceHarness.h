// The plug-in's interface as a host shows it: its controller in a 1024 x 680 window of the
// offscreen backend (the panel fills it at twice its 512 x 340 design size), the main run loop
// on a manual clock, mouse input through the application's routing, the console captured, and
// probes that read what the window shows.
#pragma once

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "../ui_touch/TouchHarness.h"
#include "AudioUnitViewController.h"
#include "core/Console.h"
#include "ui/Offscreen.h"

namespace ifacetest {

using namespace std::chrono_literals;
using pf::CGPoint;
using Unit = Orvex_Compander_Extension_AudioUnit;

inline std::shared_ptr<Unit> makeUnit() {
    return Unit::create(Unit::kComponentDescription, 0);
}

// Where the panel draws its controls, in design units, as read off its picture: the centre of
// each knob (its pointer's pivot) and of each button, and the meter's needle pivot.
struct Control {
    const char* name;
    CGPoint at;
    int address;
};
inline const Control kKnobs[] = {{"attack", {84, 94.5}, 0},     {"release", {183, 94.5}, 1},
                                 {"threshold", {330, 94.5}, 2}, {"ratio", {429, 94.5}, 3},
                                 {"gain", {84.5, 202}, 4},      {"mix", {429.5, 202}, 5}};
inline const Control kMode{"mode", {256.5, 74.5}, 6};
inline const Control kBypass{"bypass", {88, 284}, 7};
inline const Control kAudition{"audition", {424, 282}, 8};
inline constexpr CGPoint kNeedlePivot{256.5, 233.5};

// What a pixel shows: the panel's grey lines, and its red and blue marks (red also where it
// covers blue).
inline bool grey(pf::RGBA8 p) {
    return p.r > 150 && std::abs(p.r - p.g) < 24 && std::abs(p.r - p.b) < 24;
}
inline bool red(pf::RGBA8 p) {
    return p.r > p.g + 40 && p.r > p.b + 20;
}
inline bool blue(pf::RGBA8 p) {
    return p.b > p.r + 50;
}

class Harness : public touchtest::Harness {
public:
    Harness() : touchtest::Harness({0, 0, 1024, 680}) {
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
    // Shows the view with `unit` connected, as a host opens the plug-in.
    template <class U> std::shared_ptr<U> open(std::shared_ptr<U> unit) {
        show();
        controller->setAudioUnit(unit);
        drain();
        return unit;
    }
    // Gives the plug-in an area of w x h.
    void resize(double w, double h) {
        controller->view()->setFrame({0, 0, w, h});
        window->runPasses();
    }
    // Mouse gestures, each followed by a second of quiet so the next is not a double click.
    void drag(CGPoint from, CGPoint by) {
        down(from);
        move({from.x + by.x / 2, from.y + by.y / 2});
        move({from.x + by.x, from.y + by.y});
        up({from.x + by.x, from.y + by.y});
        runFor(1s);
    }
    void tap(CGPoint p) {
        click(p);
        runFor(1s);
    }
    void doubleClick(CGPoint p) {
        click(p);
        runFor(100ms);
        tap(p);
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

    // A point of the panel in design units, in window points, wherever the panel now is.
    CGPoint at(CGPoint design) const {
        const pf::CGRect f = controller->pluginView->frame();
        const double s = f.size.width / 512;
        return {f.origin.x + design.x * s, f.origin.y + design.y * s};
    }
    pf::RGBA8 pixel(const pf::ImageSurface& img, CGPoint design) const {
        const CGPoint p = at(design);
        return img.pixel(static_cast<int>(p.x), static_cast<int>(p.y));
    }
    // What the window shows now.
    pf::ImageSurface shown() { return pf::renderView(*window); }

    // The direction, in degrees clockwise from straight up, in which pixels of the kind `is`
    // lie on the circle of `radius` design units about `centre`: the middle of those found
    // within `sweep` degrees of straight up; NaN when there are none.
    template <class Is>
    double direction(const pf::ImageSurface& img, CGPoint centre, double radius, Is is,
                     double sweep = 180) const {
        double sum = 0;
        int hits = 0;
        for (double a = -sweep; a <= sweep; a += 0.25) {
            const double r = a * M_PI / 180;
            if (is(pixel(img, {centre.x + radius * std::sin(r), centre.y - radius * std::cos(r)}))) {
                sum += a;
                ++hits;
            }
        }
        return hits ? sum / hits : std::nan("");
    }
    // Where a knob's pointer points.
    double pointer(const pf::ImageSurface& img, const Control& knob) const {
        return direction(img, knob.at, 11, grey);
    }
    // Where the meter's marks point: the gain needles (`radius` 50) or the peak dots (87) of
    // the left channel (red) or of the right (blue).
    double meter(const pf::ImageSurface& img, double radius, bool left) const {
        return left ? direction(img, kNeedlePivot, radius, red, 100)
                    : direction(img, kNeedlePivot, radius, blue, 100);
    }

    pf::ConsoleCapture console;
    std::shared_ptr<AudioUnitViewController> controller;
};

} // namespace ifacetest
