// panelshot: renders the plug-in's background plate, the compressor panel and the dynamics
// display over it, at a given size and with given values, to a PNG file.
//
//   panelshot OUT.png [--size=WxH] [--scale=S] [--contrast=C] [--attack=V] [--release=V]
//             [--threshold=V] [--ratio=V] [--gain=V] [--mix=V] [--mode=dual|linked|m/s]
//             [--bypass] [--audition] [--meters=G1,G2,P1,P2] [--active=attack|release|...]
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>

#include "OrvexCompressorViewBase.h"
#include "OrvexDynamicsDisplayView.h"
#include "PluginFrameEx.h"
#include "ui/Offscreen.h"
#include "ui/UIWindow.h"

namespace {

// Draws the panel model the way the compressor view does (the view itself lives with the
// plug-in's touch handling).
class PanelView : public pf::UIView {
public:
    using pf::UIView::UIView;
    void draw(const pf::CGRect&) override {
        base.drawMain(bounds(), OrvexCompressorViewBase::ResizingBehavior0::aspectFit);
    }
    OrvexCompressorViewBase base;
};

int usage() {
    std::fprintf(
        stderr, "usage: panelshot OUT.png [--size=WxH] [--scale=S] [--contrast=C] [--attack=V]\n"
                "       [--release=V] [--threshold=V] [--ratio=V] [--gain=V] [--mix=V]\n"
                "       [--mode=TEXT] [--bypass] [--audition] [--meters=G1,G2,P1,P2]\n"
                "       [--active=attack|release|threshold|ratio|gain|mix|mode|bypass|audition]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argv[1][0] == '-') return usage();
    const std::string out = argv[1];
    double width = 1024, height = 680, scale = 1, contrast = -1; // -1: as the plug-in starts
    auto panel = std::make_shared<PanelView>();
    auto display = std::make_shared<OrvexDynamicsDisplayView>();
    OrvexCompressorViewBase& b = panel->base;
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
        } else {
            return usage();
        }
    }
    if (!(width > 0 && height > 0 && scale > 0)) return usage();

    const pf::CGRect bounds{0, 0, width, height};
    auto window = std::make_shared<pf::UIWindow>(bounds);
    window->setScreenScale(scale);
    auto frame = std::make_shared<PluginFrameEx>(bounds);
    if (contrast >= 0) {
        // The brightness slider's rule: plate in grey c, lines in grey 1 - c.
        frame->contrast = static_cast<float>(contrast);
        panel::applyContrast(b, contrast);
        display->setContrast(contrast);
    }
    panel->setFrame(bounds);
    display->setFrame(bounds);
    display->setUserInteractionEnabled(false);
    display->baseClass->valueThreshold = b.valueThreshold;
    display->setCompressionValues(meters[0], meters[1]);
    display->setOutputValues(meters[2], meters[3]);
    window->addSubview(frame);
    window->addSubview(panel);
    window->addSubview(display);

    if (!pf::renderToPNG(*window, out, scale)) {
        std::fprintf(stderr, "panelshot: cannot write %s\n", out.c_str());
        return 1;
    }
    std::printf("%s: %.0f x %.0f points at %gx\n", out.c_str(), width, height, scale);
    return 0;
}
