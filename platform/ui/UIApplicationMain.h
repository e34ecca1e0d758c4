// The application's entry: the delegate protocol, interface resources built in code
// (storyboards by name), and UIApplicationMain, which runs the application until it ends.
//
// UIApplicationMain, in this order:
//   1. makes the delegate by class name (ClassRegistry, base UIApplicationDelegate);
//   2. when the main bundle's Info.plist names a storyboard (UIMainStoryboardFile) that is
//      registered, makes a window of the storyboard's canvas size, instantiates the initial view
//      controller, puts its view over the whole window and hands the window to the delegate;
//   3. calls application(_:didFinishLaunchingWithOptions:), shows the window (the window
//      backend picks SDL or offscreen, PF_UI_BACKEND), routes its input through
//      UIApplication and calls applicationDidBecomeActive(_:);
//   4. runs the main run loop until it is stopped: the window is closed, or the process gets
//      SIGINT, SIGTERM or SIGHUP;
//   5. calls applicationWillResignActive(_:) and applicationWillTerminate(_:), runs the process
//      exit handlers (core/ProcessExit.h: running audio output is stopped and its file
//      finished), flushes standard output and ends the process (it never returns) with the
//      status given to terminateApplication; without one (0), with the failure recorded on the
//      way (recordProcessFailure: 3 when the audio output could not be opened or written), or
//      else 0. Worker threads end with the process; no destructor of the application's
//      objects runs.
// A second SIGINT, SIGTERM or SIGHUP, or one that arrives during step 5, ends the process at
// once with status 128 + the signal's number, finishing nothing.
// With PF_UI_ACTIONS set, a script of taps, waits and a quit runs once the window is shown
// (UIActionScript.h).
// With PF_UI_SCREENSHOT=PATH the window is also written as PNG to PATH once, after
// PF_UI_SCREENSHOT_DELAY seconds (default 3) of running; a line on standard error says where.
//
// [main-thread] All of it.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "core/Bundle.h"
#include "ui/CGGeometry.h"

namespace pf {

class UIApplication;
class UIViewController;
class UIWindow;

class UIResponder {
public:
    virtual ~UIResponder() = default;
};

// Launch options: none are passed on this platform.
using UIApplicationLaunchOptions = std::map<std::string, std::string>;

class UIApplicationDelegate {
public:
    virtual ~UIApplicationDelegate() = default;
    // The application's window; UIApplicationMain sets it when a storyboard makes one.
    virtual std::shared_ptr<UIWindow> window() const { return nullptr; }
    virtual void setWindow(std::shared_ptr<UIWindow> window) { (void)window; }
    virtual bool application(UIApplication& application,
                             const UIApplicationLaunchOptions& didFinishLaunchingWithOptions) {
        (void)application, (void)didFinishLaunchingWithOptions;
        return true;
    }
    virtual void applicationWillResignActive(UIApplication& application) { (void)application; }
    virtual void applicationDidEnterBackground(UIApplication& application) { (void)application; }
    virtual void applicationWillEnterForeground(UIApplication& application) { (void)application; }
    virtual void applicationDidBecomeActive(UIApplication& application) { (void)application; }
    virtual void applicationWillTerminate(UIApplication& application) { (void)application; }
};

// Interface resources built in code: a storyboard is a name, a canvas size and the initial view
// controller it makes (with its view tree, outlets, actions and segues).
class UIStoryboard {
public:
    using InitialViewControllerFactory = std::function<std::shared_ptr<UIViewController>()>;
    // Registers (or replaces) the storyboard `name`.
    static void registerStoryboard(std::string name, CGSize canvasSize,
                                   InitialViewControllerFactory factory);
    static bool contains(const std::string& name);
    static CGSize canvasSize(const std::string& name);
    // A new initial view controller of the storyboard; null when no such storyboard exists.
    static std::shared_ptr<UIViewController>
    instantiateInitialViewController(const std::string& name);
};

// UIApplicationMain with the main bundle given; see the top of this file.
[[noreturn]] int UIApplicationMainWithBundle(int argc, char** argv, const char* principalClassName,
                                             const char* delegateClassName,
                                             const Bundle& mainBundle);

// [any-thread] Ends a running application as a user's quit does (the main run loop stops and
// UIApplicationMain takes its last step), with `status` as the process's exit status.
void terminateApplication(int status);

// Runs the application; the main bundle is the calling module's (the application's own).
[[noreturn, gnu::visibility("hidden")]] inline int
UIApplicationMain(int argc, char** argv, const char* principalClassName,
                  const char* delegateClassName) {
    UIApplicationMainWithBundle(argc, argv, principalClassName, delegateClassName, Bundle::main());
}

} // namespace pf
