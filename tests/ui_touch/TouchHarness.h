// A window on the offscreen backend, the main run loop on a manual clock, and mouse input sent
// through the application's routing, for tests of touches, gestures and controllers.
#pragma once

#include <chrono>
#include <memory>

#include "core/RunLoop.h"
#include "ui/UIApplication.h"
#include "ui/UIWindow.h"
#include "ui/WindowBackend.h"

namespace touchtest {

using namespace std::chrono_literals;

class Harness {
public:
    explicit Harness(pf::CGRect frame = {0, 0, 400, 300}) {
        pf::RunLoop::claimMainThread();
        previousBackend_ = pf::WindowBackend::setShared(std::make_unique<pf::OffscreenBackend>());
        clock_ = std::make_shared<pf::ManualClock>();
        pf::RunLoop::main().setClock(clock_);
        window = std::make_shared<pf::UIWindow>(frame);
        pf::UIApplication::shared().attach(*window);
    }
    ~Harness() {
        pf::RunLoop::main().drainQueue();
        window.reset();
        pf::RunLoop::main().runFor(1s); // let one-shot timers of the test go
        pf::RunLoop::main().setClock(nullptr);
        pf::WindowBackend::setShared(std::move(previousBackend_));
    }

    void send(pf::InputEvent::Kind kind, pf::CGPoint p, int button = 1, int clicks = 1) {
        pf::InputEvent e;
        e.kind = kind;
        e.location = p;
        e.button = button;
        e.clicks = clicks;
        window->sendInput(e);
    }
    void down(pf::CGPoint p, int button = 1) { send(pf::InputEvent::Kind::mouseDown, p, button); }
    void move(pf::CGPoint p) { send(pf::InputEvent::Kind::mouseMove, p); }
    void up(pf::CGPoint p, int button = 1) { send(pf::InputEvent::Kind::mouseUp, p, button); }
    void click(pf::CGPoint p) {
        down(p);
        up(p);
    }
    void wheel(pf::CGPoint p, double amount, unsigned modifiers = 0) {
        pf::InputEvent e;
        e.kind = pf::InputEvent::Kind::wheel;
        e.location = p;
        e.wheelY = amount;
        e.modifiers = modifiers;
        window->sendInput(e);
    }
    // The centre of a view, in window points.
    static pf::CGPoint centreOf(const pf::UIView& view) {
        const pf::CGRect b = view.bounds();
        return view.convertTo(pf::CGPoint{b.midX(), b.midY()}, nullptr);
    }
    void runFor(pf::Clock::duration d) { pf::RunLoop::main().runFor(d); }
    void drain() { pf::RunLoop::main().drainQueue(); }

    std::shared_ptr<pf::UIWindow> window;

private:
    std::unique_ptr<pf::WindowBackend> previousBackend_;
    std::shared_ptr<pf::ManualClock> clock_;
};

} // namespace touchtest
