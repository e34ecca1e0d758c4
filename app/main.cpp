// The application's entry: runs the application with its delegate; never returns in practice.
#include "AppDelegate.h"

int main(int argc, char** argv) {
    pf::UIApplicationMain(argc, argv, nullptr, AppDelegate::className());
    return 0;
}
