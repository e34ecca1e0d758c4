#include "AppDelegate.h"

#include "ViewController.h"
#include "core/ClassRegistry.h"

const char* AppDelegate::className() {
    static const bool registered = [] {
        pf::ClassRegistry::shared().registerClass<pf::UIApplicationDelegate>(
            "AppDelegate", [] { return std::make_shared<AppDelegate>(); });
        registerMainStoryboard();
        return true;
    }();
    (void)registered;
    return "AppDelegate";
}

AppDelegate::AppDelegate() : window_(nullptr) {}

bool AppDelegate::application(pf::UIApplication&, const pf::UIApplicationLaunchOptions&) {
    return true;
}

void AppDelegate::applicationWillResignActive(pf::UIApplication&) {}
void AppDelegate::applicationDidEnterBackground(pf::UIApplication&) {}
void AppDelegate::applicationWillEnterForeground(pf::UIApplication&) {}
void AppDelegate::applicationDidBecomeActive(pf::UIApplication&) {}
void AppDelegate::applicationWillTerminate(pf::UIApplication&) {}
