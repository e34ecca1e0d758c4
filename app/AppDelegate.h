// AppDelegate: the application's delegate. It keeps the window the main storyboard makes and
// otherwise leaves every life-cycle callback empty. [main-thread]
#pragma once

#include <memory>

#include "ui/UIApplicationMain.h"
#include "ui/UIWindow.h"

class AppDelegate : public pf::UIResponder, public pf::UIApplicationDelegate {
public:
    // The name the application's entry passes to UIApplicationMain. Registers the class (and
    // the main storyboard) with the platform on first use.
    static const char* className();

    AppDelegate();

    std::shared_ptr<pf::UIWindow> window() const override { return window_; }
    void setWindow(std::shared_ptr<pf::UIWindow> window) override { window_ = std::move(window); }

    bool application(pf::UIApplication& application,
                     const pf::UIApplicationLaunchOptions& didFinishLaunchingWithOptions) override;
    void applicationWillResignActive(pf::UIApplication& application) override;
    void applicationDidEnterBackground(pf::UIApplication& application) override;
    void applicationWillEnterForeground(pf::UIApplication& application) override;
    void applicationDidBecomeActive(pf::UIApplication& application) override;
    void applicationWillTerminate(pf::UIApplication& application) override;

private:
    std::shared_ptr<pf::UIWindow> window_;
};
