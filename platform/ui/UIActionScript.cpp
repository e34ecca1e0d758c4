#include "ui/UIActionScript.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "core/Console.h"
#include "core/Dispatch.h"
#include "core/Timer.h"
#include "ui/UIApplication.h"
#include "ui/UIApplicationMain.h"
#include "ui/UILabel.h"
#include "ui/UIWindow.h"

namespace pf {

namespace {

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

bool isShown(const UIView& view) {
    for (const UIView* v = &view; v != nullptr; v = v->superview()) {
        if (v->isHidden() || v->alpha() < 0.01) return false;
    }
    return true;
}

std::shared_ptr<UIControl> findTitled(UIWindow& window, UIView& view, const std::string& title) {
    // Front-most first: subviews are drawn in order, so the last one is on top.
    const auto& subviews = view.subviews();
    for (auto it = subviews.rbegin(); it != subviews.rend(); ++it) {
        if (auto found = findTitled(window, **it, title)) return found;
    }
    auto* button = dynamic_cast<UIButton*>(&view);
    if (button == nullptr || button->title() != title || !isShown(view)) return nullptr;
    const CGRect bounds = view.bounds();
    const CGPoint centre = view.convertTo(
        CGPoint{bounds.origin.x + bounds.size.width / 2, bounds.origin.y + bounds.size.height / 2},
        nullptr);
    for (UIView* hit = window.hitTest(centre, nullptr); hit != nullptr; hit = hit->superview()) {
        if (hit == &view) return std::static_pointer_cast<UIControl>(view.shared_from_this());
    }
    return nullptr;
}

void tap(UIWindow& window, UIControl& control) {
    const CGRect bounds = control.bounds();
    InputEvent event;
    event.location = control.convertTo(
        CGPoint{bounds.origin.x + bounds.size.width / 2, bounds.origin.y + bounds.size.height / 2},
        nullptr);
    event.button = 1;
    event.clicks = 1;
    event.kind = InputEvent::Kind::mouseDown;
    UIApplication::shared().sendInput(window, event);
    event.kind = InputEvent::Kind::mouseUp;
    UIApplication::shared().sendInput(window, event);
}

// The lines a script's `wait for` entries await, matched in order as the console prints them.
struct LineWatch {
    std::mutex mutex;
    std::vector<std::string> texts;
    std::size_t matched = 0;      // texts seen so far, in order
    std::function<void()> resume; // set while the script waits for texts[matched]

    void observe(std::string_view printed) {
        std::function<void()> now;
        {
            std::lock_guard lock(mutex);
            if (matched >= texts.size() || printed.find(texts[matched]) == std::string_view::npos)
                return;
            ++matched;
            now.swap(resume);
        }
        if (now) now();
    }
};

struct Runner : std::enable_shared_from_this<Runner> {
    std::weak_ptr<UIWindow> window;
    std::vector<UIAction> actions;
    std::size_t next = 0;
    std::size_t waitsFor = 0; // `wait for` entries run so far
    std::shared_ptr<LineWatch> lines;
    UIActionScriptEnd end;

    void step() {
        if (next >= actions.size()) return;
        const UIAction action = actions[next++];
        auto self = shared_from_this();
        switch (action.kind) {
        case UIAction::Kind::quit:
            end(0, {});
            return;
        case UIAction::Kind::wait:
            Timer::scheduledTimer(action.seconds, false, [self](Timer&) { self->queueStep(); });
            return;
        case UIAction::Kind::waitFor: {
            const std::size_t index = waitsFor++;
            std::lock_guard lock(lines->mutex);
            if (lines->matched > index) {
                queueStep();
            } else {
                lines->resume = [self] { self->queueStep(); };
            }
            return;
        }
        case UIAction::Kind::tap: {
            const auto shown = window.lock();
            const auto control = shown ? controlTitled(*shown, action.title) : nullptr;
            if (!control) {
                end(2, "pf: PF_UI_ACTIONS: no control titled '" + action.title + "' on screen");
                return;
            }
            tap(*shown, *control);
            queueStep();
            return;
        }
        }
    }
    void queueStep() {
        DispatchQueue::main().async([self = shared_from_this()] { self->step(); });
    }
};

// A decimal number of seconds from 0 to 86400: digits and a point only (from_chars alone would
// take a sign, "inf" and "nan").
std::optional<double> decimalSeconds(const std::string& text) {
    if (text.empty() || text.find_first_not_of("0123456789.") != std::string::npos) {
        return std::nullopt;
    }
    double seconds = 0;
    const auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), seconds, std::chars_format::fixed);
    if (error != std::errc() || end != text.data() + text.size() || seconds > 86400) {
        return std::nullopt;
    }
    return seconds;
}

} // namespace

std::optional<std::vector<UIAction>> parseUIActions(const std::string& script, std::string& error) {
    std::vector<UIAction> actions;
    std::size_t from = 0;
    while (from <= script.size()) {
        auto to = script.find(';', from);
        if (to == std::string::npos) to = script.size();
        const std::string entry = trimmed(script.substr(from, to - from));
        from = to + 1;
        if (entry.empty()) continue;
        UIAction action;
        if (entry == "quit") {
            action.kind = UIAction::Kind::quit;
        } else if (entry.rfind("wait for ", 0) == 0) {
            action.kind = UIAction::Kind::waitFor;
            action.title = trimmed(entry.substr(9));
        } else if (entry.rfind("wait", 0) == 0 && (entry.size() == 4 || entry[4] == ' ')) {
            const auto seconds = decimalSeconds(trimmed(entry.substr(4)));
            if (!seconds) {
                error = "pf: PF_UI_ACTIONS: '" + entry +
                        "': a wait takes a decimal number of seconds from 0 to 86400, such as "
                        "'wait 2.5', or 'wait for' and a text to wait for";
                return std::nullopt;
            }
            action.kind = UIAction::Kind::wait;
            action.seconds = *seconds;
        } else {
            action.title = entry;
        }
        actions.push_back(std::move(action));
    }
    return actions;
}

std::shared_ptr<UIControl> controlTitled(UIWindow& window, const std::string& title) {
    return findTitled(window, window, title);
}

void runUIActions(const std::shared_ptr<UIWindow>& window, std::vector<UIAction> actions,
                  UIActionScriptEnd end) {
    auto runner = std::make_shared<Runner>();
    runner->window = window;
    runner->actions = std::move(actions);
    runner->end = std::move(end);
    runner->lines = std::make_shared<LineWatch>();
    for (const auto& action : runner->actions) {
        if (action.kind == UIAction::Kind::waitFor) runner->lines->texts.push_back(action.title);
    }
    if (!runner->lines->texts.empty()) {
        Console::setObserver(
            [lines = runner->lines](std::string_view printed) { lines->observe(printed); });
    }
    runner->queueStep();
}

void runUIActionsFromEnvironment(const std::shared_ptr<UIWindow>& window) {
    const char* script = std::getenv("PF_UI_ACTIONS");
    if (script == nullptr || *script == '\0') return;
    const auto finish = [](int status, const std::string& message) {
        if (!message.empty()) std::fprintf(stderr, "%s\n", message.c_str());
        terminateApplication(status);
    };
    std::string error;
    auto actions = parseUIActions(script, error);
    if (!actions) {
        finish(2, error);
        return;
    }
    runUIActions(window, std::move(*actions), finish);
}

} // namespace pf
