// PF_UI_ACTIONS: a short script of user actions that the application performs once its first
// screen is up, so that it can be driven without a display or a person at it:
//
//   PF_UI_ACTIONS="Plug-In; Play; wait 10; quit"
//
// Actions are separated by ';' (blanks around them and empty entries are ignored):
//   TITLE    taps the control on screen whose title is TITLE (a button's title, compared
//            exactly): a click of the left button at its centre, through the window's input as
//            a user's click would go, on any window backend
//   wait N   waits N seconds while the run loop keeps running: a decimal number of seconds from
//            0 to 86400, written with digits and at most one '.' (no sign, exponent or hex)
//   wait for TEXT
//            waits until the application prints a line containing TEXT on standard output
//            after the script started and after the line that ended the previous `wait for`
//            (the run loop keeps running; without such a line the script waits for ever)
//   quit     ends the application as a user's quit does (UIApplicationMain's last step)
// Each action runs from the main queue after what the previous one queued there, so a tap sees
// the screen that the previous tap produced. A script that cannot be read, or a title that names
// no control on screen (visible, not covered at its centre), prints one line on standard error
// and ends the application with status 2.
//
// [main-thread] All of it.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace pf {

class UIControl;
class UIWindow;

struct UIAction {
    enum class Kind { tap, wait, waitFor, quit };
    Kind kind = Kind::tap;
    std::string title;  // tap: the control's title; waitFor: the text awaited
    double seconds = 0; // wait
};

// The actions of `script`; none (and `error` set) when an entry cannot be read.
std::optional<std::vector<UIAction>> parseUIActions(const std::string& script, std::string& error);

// The control on screen in `window` with that title that a tap at its centre reaches, or null.
std::shared_ptr<UIControl> controlTitled(UIWindow& window, const std::string& title);

// Runs `actions` on `window`, one after the other as described above. `end` is called once, with
// status 0 for "quit" and 2 with a message for a title that names no control on screen; a script
// that runs out without "quit" calls nothing and leaves the application running.
using UIActionScriptEnd = std::function<void(int status, const std::string& message)>;
void runUIActions(const std::shared_ptr<UIWindow>& window, std::vector<UIAction> actions,
                  UIActionScriptEnd end);

// Reads PF_UI_ACTIONS (nothing happens when it is unset or empty) and runs it on `window`,
// ending the application with terminateApplication (UIApplicationMain.h).
void runUIActionsFromEnvironment(const std::shared_ptr<UIWindow>& window);

} // namespace pf
