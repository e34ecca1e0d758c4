// The application's entry and the application object's URL opening.
#include "ui/UIApplicationMain.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <unistd.h>

#include "core/ClassRegistry.h"
#include "core/Dispatch.h"
#include "core/ProcessExit.h"
#include "core/RunLoop.h"
#include "core/Timer.h"
#include "core/Workspace.h"
#include "ui/Offscreen.h"
#include "ui/UIActionScript.h"
#include "ui/UIApplication.h"
#include "ui/UIViewController.h"
#include "ui/UIWindow.h"

namespace pf {

namespace {

struct StoryboardEntry {
    CGSize canvas;
    UIStoryboard::InitialViewControllerFactory factory;
};

std::mutex gStoryboardMutex;
std::map<std::string, StoryboardEntry>& storyboards() {
    static std::map<std::string, StoryboardEntry> entries;
    return entries;
}

std::atomic<int> gExitStatus{0};

std::mutex gOpenerMutex;
UIApplication::URLOpener gOpener;

std::atomic<bool> gShuttingDown{false};

// SIGINT, SIGTERM and SIGHUP end the run loop from a thread of their own, so they arrive as an
// ordinary stop. A second signal, or one that comes while the application is already ending,
// ends the process at once (a shutdown that hangs must not need SIGKILL). Called before any
// other thread exists, so every later thread inherits the mask.
void routeTerminationSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    if (pthread_sigmask(SIG_BLOCK, &set, nullptr) != 0) return;
    std::thread([set] {
        for (bool stopping = false;; stopping = true) {
            int signal = 0;
            while (sigwait(&set, &signal) != 0) {
            }
            if (stopping || gShuttingDown.load()) {
                static constexpr char kLine[] = "pf: ending at once on a second signal\n";
                (void)!::write(STDERR_FILENO, kLine, sizeof kLine - 1);
                ::_exit(128 + signal);
            }
            RunLoop::main().stop();
        }
    }).detach();
}

void scheduleScreenshot(const std::shared_ptr<UIWindow>& window) {
    const char* path = std::getenv("PF_UI_SCREENSHOT");
    if (path == nullptr || *path == '\0') return;
    double delay = 3;
    if (const char* text = std::getenv("PF_UI_SCREENSHOT_DELAY"); text && *text) {
        char* end = nullptr;
        const double value = std::strtod(text, &end);
        if (end != text && value >= 0 && value < 3600) delay = value;
    }
    Timer::scheduledTimer(delay, false, [window, file = std::string(path)](Timer&) {
        const bool written = renderToPNG(*window, file);
        std::fprintf(stderr,
                     written ? "pf: screenshot written to %s\n"
                             : "pf: the screenshot could not be written to %s\n",
                     file.c_str());
    });
}

} // namespace

// ---- Storyboards ------------------------------------------------------------------------------

void UIStoryboard::registerStoryboard(std::string name, CGSize canvasSize,
                                      InitialViewControllerFactory factory) {
    std::lock_guard lock(gStoryboardMutex);
    storyboards()[std::move(name)] = StoryboardEntry{canvasSize, std::move(factory)};
}

bool UIStoryboard::contains(const std::string& name) {
    std::lock_guard lock(gStoryboardMutex);
    return storyboards().count(name) != 0;
}

CGSize UIStoryboard::canvasSize(const std::string& name) {
    std::lock_guard lock(gStoryboardMutex);
    const auto found = storyboards().find(name);
    return found == storyboards().end() ? CGSize{0, 0} : found->second.canvas;
}

std::shared_ptr<UIViewController>
UIStoryboard::instantiateInitialViewController(const std::string& name) {
    InitialViewControllerFactory factory;
    {
        std::lock_guard lock(gStoryboardMutex);
        const auto found = storyboards().find(name);
        if (found == storyboards().end()) return nullptr;
        factory = found->second.factory;
    }
    return factory ? factory() : nullptr;
}

// ---- Opening URLs -----------------------------------------------------------------------------

bool UIApplication::open(const URL& url, std::function<void(bool success)> completionHandler) {
    const std::string& scheme = url.scheme();
    const bool allowed =
        scheme == "http" || scheme == "https" || scheme == "file" || scheme == "mailto";
    auto finish = [completionHandler](bool success) {
        if (completionHandler)
            DispatchQueue::main().async(
                [completionHandler, success] { completionHandler(success); });
    };
    if (!allowed) {
        std::fprintf(stderr, "pf: not opening '%s': only http, https, file and mailto addresses\n",
                     url.absoluteString().c_str());
        finish(false);
        return false;
    }
    URLOpener opener;
    {
        std::lock_guard lock(gOpenerMutex);
        opener = gOpener;
    }
    if (opener) {
        const bool accepted = opener(url);
        finish(accepted);
        return accepted;
    }
    const bool started =
        Workspace::openURL(url, completionHandler ? Workspace::Completion(completionHandler)
                                                  : Workspace::Completion());
    if (!started) {
        std::fprintf(stderr, "pf: the system browser could not be started for '%s'\n",
                     url.absoluteString().c_str());
        finish(false);
    }
    return started;
}

void UIApplication::setURLOpenerForTesting(URLOpener opener) {
    std::lock_guard lock(gOpenerMutex);
    gOpener = std::move(opener);
}

// ---- The entry --------------------------------------------------------------------------------

int UIApplicationMainWithBundle(int argc, char** argv, const char* principalClassName,
                                const char* delegateClassName, const Bundle& mainBundle) {
    (void)argc, (void)argv, (void)principalClassName; // one application class on this platform
    routeTerminationSignals();
    // A write past the process's file-size limit then fails with EFBIG, which the writer reports,
    // instead of killing the process with its files half written.
    std::signal(SIGXFSZ, SIG_IGN);
    RunLoop::claimMainThread();

    auto delegate = delegateClassName
                        ? ClassRegistry::shared().create<UIApplicationDelegate>(delegateClassName)
                        : nullptr;
    if (!delegate) {
        std::fprintf(stderr, "pf: no application delegate class named '%s'\n",
                     delegateClassName ? delegateClassName : "(none)");
        std::fflush(nullptr);
        ::_exit(1);
    }

    UIApplication& application = UIApplication::shared();
    std::shared_ptr<UIViewController> root;
    if (const PlistValue* value = mainBundle.infoDictionary().find("UIMainStoryboardFile");
        value && value->string() && UIStoryboard::contains(*value->string())) {
        const CGSize canvas = UIStoryboard::canvasSize(*value->string());
        auto window = std::make_shared<UIWindow>(CGRect{0, 0, canvas.width, canvas.height});
        root = UIStoryboard::instantiateInitialViewController(*value->string());
        if (root) {
            const auto view = root->view();
            view->setFrame(window->bounds());
            view->autoresizingMask =
                UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight;
            root->viewWillAppear(false);
            window->addSubview(view);
            root->viewDidAppear(false);
        }
        delegate->setWindow(window);
    }

    delegate->application(application, UIApplicationLaunchOptions{});
    const auto window = delegate->window();
    if (window) {
        application.attach(*window);
        window->makeKeyAndVisible();
        scheduleScreenshot(window);
        runUIActionsFromEnvironment(window);
    } else {
        std::fprintf(stderr, "pf: the application has no window\n");
    }
    delegate->applicationDidBecomeActive(application);

    RunLoop::main().run();

    gShuttingDown.store(true);
    delegate->applicationWillResignActive(application);
    delegate->applicationWillTerminate(application);
    runProcessExitHandlers();
    std::fflush(nullptr);
    // A failure recorded on the way (an audio output that could not be opened or written)
    // makes a run that would otherwise end with 0 end with its status.
    const int status = gExitStatus.load();
    ::_exit(status != 0 ? status : recordedProcessFailure());
}

void terminateApplication(int status) {
    gExitStatus.store(status);
    RunLoop::main().stop();
}

} // namespace pf
