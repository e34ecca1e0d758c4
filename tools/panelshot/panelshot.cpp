// panelshot: renders the plug-in's interface (frame, compressor panel, dynamics display and the
// appearance buttons) at a given size and with given values, to a PNG file.
//
//   panelshot OUT.png [--size=WxH] [--scale=S] [--contrast=C] [--attack=V] [--release=V]
//             [--threshold=V] [--ratio=V] [--gain=V] [--mix=V] [--mode=dual|linked|m/s]
//             [--bypass] [--audition] [--meters=G1,G2,P1,P2] [--active=attack|release|...]
//             [--controls=hidden|buttons|slider]
//
// --contrast moves the brightness slider as a user would; --controls picks which appearance
// controls are shown (the buttons, by default).
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>

#include "AudioUnitViewController.h"
#include "ui/Offscreen.h"
#include "ui/UIWindow.h"

namespace {

int usage() {
    std::fprintf(stderr,
                 "usage: panelshot OUT.png [--size=WxH] [--scale=S] [--contrast=C] [--attack=V]\n"
                 "       [--release=V] [--threshold=V] [--ratio=V] [--gain=V] [--mix=V]\n"
                 "       [--mode=TEXT] [--bypass] [--audition] [--meters=G1,G2,P1,P2]\n"
                 "       [--active=attack|release|threshold|ratio|gain|mix|mode|bypass|audition]\n"
                 "       [--controls=hidden|buttons|slider]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argv[1][0] == '-') return usage();
    const std::string out = argv[1];
    double width = 1024, height = 680, scale = 1, contrast = -1; // -1: as the plug-in starts
    std::string controls = "buttons";
    auto controller = AudioUnitViewController::make();
    controller->loadViewIfNeeded();
    OrvexCompressorViewBase& b = *controller->mainView->baseClass;
    float meters[4] = {0.5f, 0.5f, 0.3f, 0.3f};
    const std::map<std::string, double*> knobs = {
        {"--attack", &b.valueAttack},       {"--release", &b.valueRelease},
        {"--threshold", &b.valueThreshold}, {"--ratio", &b.valueRatio},
        {"--gain", &b.valueGain},           {"--mix", &b.valueMix}};
    const std::map<std::string, bool*> active = {
        {"attack", &b.isAttackActive},       {"release", &b.isReleaseActive},
        {"threshold", &b.isThresholdActive}, {"ratio", &b.isRatioActive},
        {"gain", &b.isGainActive},           {"mix", &b.isMixActive},
        {"mode", &b.isModeActive},           {"bypass", &b.isBypassActive},
        {"audition", &b.isAuditionActive}};

    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto eq = arg.find('=');
        const std::string key = arg.substr(0, eq);
        const std::string val = eq == std::string::npos ? "" : arg.substr(eq + 1);
        if (key == "--size") {
            if (std::sscanf(val.c_str(), "%lfx%lf", &width, &height) != 2) return usage();
        } else if (key == "--scale") {
            scale = std::atof(val.c_str());
        } else if (key == "--contrast") {
            contrast = std::atof(val.c_str());
        } else if (knobs.count(key)) {
            *knobs.at(key) = std::atof(val.c_str());
        } else if (key == "--mode") {
            b.valueMode = val;
        } else if (key == "--bypass") {
            b.isBypassSelected = true;
        } else if (key == "--audition") {
            b.isAuditioSelected = true;
        } else if (key == "--meters") {
            if (std::sscanf(val.c_str(), "%f,%f,%f,%f", &meters[0], &meters[1], &meters[2],
                            &meters[3]) != 4)
                return usage();
        } else if (key == "--active" && active.count(val)) {
            *active.at(val) = true;
        } else if (key == "--controls" &&
                   (val == "hidden" || val == "buttons" || val == "slider")) {
            controls = val;
        } else {
            return usage();
        }
    }
    if (!(width > 0 && height > 0 && scale > 0)) return usage();

    const pf::CGRect bounds{0, 0, width, height};
    auto window = std::make_shared<pf::UIWindow>(bounds);
    window->setScreenScale(scale);
    const auto root = controller->view();
    root->setFrame(bounds);
    window->addSubview(root);

    controller->contrastButton->setHidden(controls == "hidden");
    controller->freezeButton->setHidden(controls == "hidden");
    controller->brightnessSlider->setHidden(controls != "slider");
    if (contrast >= 0) {
        controller->brightnessSlider->setValue(static_cast<float>(contrast));
        controller->onBrightnessSlider(*controller->brightnessSlider);
    }
    auto& display = *controller->displayView;
    display.baseClass->valueThreshold = b.valueThreshold;
    display.setCompressionValues(meters[0], meters[1]);
    display.setOutputValues(meters[2], meters[3]);
    window->layoutIfNeeded();

    if (!pf::renderToPNG(*window, out, scale)) {
        std::fprintf(stderr, "panelshot: cannot write %s\n", out.c_str());
        return 1;
    }
    std::printf("%s: %.0f x %.0f points at %gx\n", out.c_str(), width, height, scale);
    return 0;
}
