// The plug-in's interface as a host shows it: its controller in a 1024 x 680 window of the
// offscreen backend (the panel fills it at twice its 512 x 340 design size), the main run loop
// on a manual clock, mouse input through the application's routing (left button = one touch,
// right button = long press, wheel = pinch), the console captured, and probes that read what
// the window shows.
#pragma once

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "../ui_touch/TouchHarness.h"
#include "AudioUnitViewController.h"
#include "core/Console.h"
#include "core/RunLoop.h"
#include "ui/Offscreen.h"
#include "ui/UIApplication.h"
#include "ui/UIWindow.h"
#include "ui/WindowBackend.h"

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
// The contrast and freeze buttons a long press shows, in the panel's top corners.
inline constexpr CGPoint kContrastButton{62, 31}, kFreezeButton{450, 31};
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

class Harness {
public:
    Harness() {
        pf::RunLoop::claimMainThread();
        previousBackend_ = pf::WindowBackend::setShared(std::make_unique<pf::OffscreenBackend>());
        pf::RunLoop::main().setClock(clock_);
        window = std::make_shared<pf::UIWindow>(pf::CGRect{0, 0, 1024, 680});
        pf::UIApplication::shared().attach(*window);
        controller = AudioUnitViewController::make();
    }
    ~Harness() {
        controller.reset();
        drain();
        window.reset();
        runFor(1s); // let one-shot timers of the test go
        pf::RunLoop::main().setClock(nullptr);
        pf::WindowBackend::setShared(std::move(previousBackend_));
    }

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
    void runFor(pf::Clock::duration d) { pf::RunLoop::main().runFor(d); }
    void drain() { pf::RunLoop::main().drainQueue(); }

    // Mouse input, in window points.
    void send(pf::InputEvent::Kind kind, CGPoint p = {}, int button = 1, double wheel = 0) {
        pf::InputEvent e;
        e.kind = kind;
        e.location = p;
        e.button = button;
        e.clicks = 1;
        e.wheelY = wheel;
        e.modifiers = kind == pf::InputEvent::Kind::wheel ? unsigned{pf::InputModifierControl} : 0u;
        window->sendInput(e);
    }
    void down(CGPoint p, int button = 1) { send(pf::InputEvent::Kind::mouseDown, p, button); }
    void move(CGPoint p) { send(pf::InputEvent::Kind::mouseMove, p); }
    void up(CGPoint p, int button = 1) { send(pf::InputEvent::Kind::mouseUp, p, button); }
    void click(CGPoint p) {
        down(p);
        up(p);
    }
    // Ctrl + wheel by `notches`.
    void wheel(CGPoint p, double notches) { send(pf::InputEvent::Kind::wheel, p, 0, notches); }
    // Gestures, each followed by a second of quiet so the next is not a double click.
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
    void doubleClick(CGPoint p, pf::Clock::duration apart = 100ms) {
        click(p);
        runFor(apart);
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

    // A point of the panel in design units, in window points, wherever the panel now is.
    CGPoint at(CGPoint design) const {
        const pf::CGRect f = controller->pluginView->frame();
        const double s = f.size.width / 512;
        return {f.origin.x + design.x * s, f.origin.y + design.y * s};
    }
    // A point of the panel in design units, in window points, as the panel's own scale maps it.
    CGPoint panelPoint(CGPoint design) const {
        const auto& s = controller->mainView->baseClass->viewScale;
        return controller->mainView->convertTo(CGPoint{design.x * s.width, design.y * s.height},
                                               nullptr);
    }
    static CGPoint centre(const pf::UIBezierPath& path) {
        const pf::CGRect b = path.bounds();
        return {b.midX(), b.midY()};
    }
    // The centre of a view, in window points.
    static CGPoint centreOf(const pf::UIView& view) { return touchtest::Harness::centreOf(view); }
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
            if (is(pixel(img,
                         {centre.x + radius * std::sin(r), centre.y - radius * std::cos(r)}))) {
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
    std::shared_ptr<pf::UIWindow> window;
    std::shared_ptr<AudioUnitViewController> controller;

private:
    std::shared_ptr<pf::ManualClock> clock_ = std::make_shared<pf::ManualClock>();
    std::unique_ptr<pf::WindowBackend> previousBackend_;
};

} // namespace ifacetest
