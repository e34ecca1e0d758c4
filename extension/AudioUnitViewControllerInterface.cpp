// The plug-in's interface resources, built in code: the view tree with the fourteen outlets, the
// gesture recognisers and the eight actions, connected by their selector names.
//
// Tree: the controller's view holds `pluginView` (the panel that is placed, moved and scaled),
// which holds, back to front, `pluginFrame`, `mainView`, `displayView` (no touches), the contrast
// and freeze buttons and the brightness slider (hidden until a long press), and `infoView` with
// `infoMessage` (hidden until showInfo). Everything inside `pluginView` scales with it. The five
// recognisers sit on the controller's view, so they see touches anywhere on the plug-in.
#include "AudioUnitViewController.h"

using pf::CGRect;

namespace {

constexpr CGRect kDesign{0, 0, 512, 340};
constexpr unsigned kScalesWithPanel =
    pf::UIViewAutoresizingFlexibleLeftMargin | pf::UIViewAutoresizingFlexibleWidth |
    pf::UIViewAutoresizingFlexibleRightMargin | pf::UIViewAutoresizingFlexibleTopMargin |
    pf::UIViewAutoresizingFlexibleHeight | pf::UIViewAutoresizingFlexibleBottomMargin;

using ControlAction = void (*)(AudioUnitViewController&, pf::UIControl&);
using GestureAction = void (*)(AudioUnitViewController&, pf::UIGestureRecognizer&);

template <typename Sender, void (AudioUnitViewController::*Member)(Sender&)>
void callControl(AudioUnitViewController& c, pf::UIControl& sender) {
    if (auto* s = dynamic_cast<Sender*>(&sender)) (c.*Member)(*s);
}
template <typename Sender, void (AudioUnitViewController::*Member)(Sender&)>
void callGesture(AudioUnitViewController& c, pf::UIGestureRecognizer& sender) {
    if (auto* s = dynamic_cast<Sender*>(&sender)) (c.*Member)(*s);
}

struct ControlEntry {
    const char* selector;
    ControlAction call;
    bool (*accepts)(pf::UIControl&);
};
struct GestureEntry {
    const char* selector;
    GestureAction call;
    bool (*accepts)(pf::UIGestureRecognizer&);
};

template <typename T> bool isA(pf::UIControl& s) {
    return dynamic_cast<T*>(&s) != nullptr;
}
template <typename T> bool isAGesture(pf::UIGestureRecognizer& s) {
    return dynamic_cast<T*>(&s) != nullptr;
}

const ControlEntry kControlActions[] = {
    {"onContrastButton:", callControl<pf::UIButton, &AudioUnitViewController::onContrastButton>,
     isA<pf::UIButton>},
    {"onBrightnessSlider:", callControl<pf::UISlider, &AudioUnitViewController::onBrightnessSlider>,
     isA<pf::UISlider>},
    {"onFreezeButton:", callControl<pf::UIButton, &AudioUnitViewController::onFreezeButton>,
     isA<pf::UIButton>},
};

const GestureEntry kGestureActions[] = {
    {"onPanGesture:",
     callGesture<pf::UIPanGestureRecognizer, &AudioUnitViewController::onPanGesture>,
     isAGesture<pf::UIPanGestureRecognizer>},
    {"onPinchGesture:",
     callGesture<pf::UIPinchGestureRecognizer, &AudioUnitViewController::onPinchGesture>,
     isAGesture<pf::UIPinchGestureRecognizer>},
    {"onDoubleTapGesture:",
     callGesture<pf::UITapGestureRecognizer, &AudioUnitViewController::onDoubleTapGesture>,
     isAGesture<pf::UITapGestureRecognizer>},
    {"onTapGesture:",
     callGesture<pf::UITapGestureRecognizer, &AudioUnitViewController::onTapGesture>,
     isAGesture<pf::UITapGestureRecognizer>},
    {"onlongPressGesture:",
     callGesture<pf::UILongPressGestureRecognizer, &AudioUnitViewController::onlongPressGesture>,
     isAGesture<pf::UILongPressGestureRecognizer>},
};

std::shared_ptr<pf::UIButton> makeButton(const CGRect& frame, const std::string& title) {
    auto button = std::make_shared<pf::UIButton>(frame);
    button->setTitle(title);
    button->tintColor = pf::UIColor(0.753, 0.753, 0.753, 1);
    button->titleFont = pf::UIFont::systemFont(11);
    button->autoresizingMask = kScalesWithPanel;
    button->setHidden(true);
    button->setAlpha(0.5);
    return button;
}

} // namespace

const std::vector<std::string>& AudioUnitViewController::actionSelectors() {
    static const std::vector<std::string> all = [] {
        std::vector<std::string> out;
        for (const auto& e : kControlActions)
            out.emplace_back(e.selector);
        for (const auto& e : kGestureActions)
            out.emplace_back(e.selector);
        return out;
    }();
    return all;
}

bool AudioUnitViewController::performAction(const std::string& selector, pf::UIControl& sender) {
    for (const auto& e : kControlActions) {
        if (selector != e.selector) continue;
        if (!e.accepts(sender)) return false;
        e.call(*this, sender);
        return true;
    }
    return false;
}

bool AudioUnitViewController::performAction(const std::string& selector,
                                            pf::UIGestureRecognizer& sender) {
    for (const auto& e : kGestureActions) {
        if (selector != e.selector) continue;
        if (!e.accepts(sender)) return false;
        e.call(*this, sender);
        return true;
    }
    return false;
}

void AudioUnitViewController::loadView() {
    auto root = std::make_shared<pf::UIView>(CGRect{0, 0, 768, 510});
    root->autoresizingMask =
        pf::UIViewAutoresizingFlexibleWidth | pf::UIViewAutoresizingFlexibleHeight;
    root->setBackgroundColor(pf::UIColor(0.1, 0.1, 0.1, 1));
    root->setClipsToBounds(true);

    pluginView = std::make_shared<pf::UIView>(kDesign);
    pluginView->autoresizesSubviews = true;
    root->addSubview(pluginView);

    pluginFrame = std::make_shared<PluginFrameEx>(kDesign);
    pluginFrame->setUserInteractionEnabled(false);
    mainView = std::make_shared<OrvexCompressorView>(kDesign);
    displayView = std::make_shared<OrvexDynamicsDisplayView>(kDesign);
    displayView->setUserInteractionEnabled(false); // the meters lie over the panel's hotspots
    for (const std::shared_ptr<pf::UIView>& v :
         std::initializer_list<std::shared_ptr<pf::UIView>>{pluginFrame, mainView, displayView}) {
        v->autoresizingMask = kScalesWithPanel;
        pluginView->addSubview(v);
    }

    contrastButton = makeButton({24, 24, 64, 22}, "contrast");
    freezeButton = makeButton({424, 24, 64, 22}, "freeze");
    brightnessSlider = std::make_shared<pf::UISlider>(CGRect{96, 24, 160, 22});
    brightnessSlider->autoresizingMask = kScalesWithPanel;
    brightnessSlider->setValue(0.15f);
    brightnessSlider->setHidden(true);
    pluginView->addSubview(contrastButton);
    pluginView->addSubview(freezeButton);
    pluginView->addSubview(brightnessSlider);

    infoView = std::make_shared<pf::UIView>(CGRect{136, 130, 240, 80});
    infoView->autoresizingMask = kScalesWithPanel;
    infoView->setBackgroundColor(pf::UIColor(0, 0, 0, 0.75));
    infoView->setUserInteractionEnabled(false);
    infoView->setHidden(true);
    infoMessage = std::make_shared<pf::UILabel>(CGRect{8, 8, 224, 64});
    infoMessage->autoresizingMask =
        pf::UIViewAutoresizingFlexibleWidth | pf::UIViewAutoresizingFlexibleHeight;
    infoMessage->textColor = pf::UIColor(0.9, 0.9, 0.9, 1);
    infoMessage->textAlignment = pf::NSTextAlignment::center;
    infoView->addSubview(infoMessage);
    pluginView->addSubview(infoView);

    panGesture = std::make_shared<pf::UIPanGestureRecognizer>();
    pinchGesture = std::make_shared<pf::UIPinchGestureRecognizer>();
    doubleTapGesture = std::make_shared<pf::UITapGestureRecognizer>();
    doubleTapGesture->numberOfTapsRequired = 2;
    tapGesture = std::make_shared<pf::UITapGestureRecognizer>();
    longPressGesture = std::make_shared<pf::UILongPressGestureRecognizer>();

    // Actions by selector; the controller is held weakly as their target.
    const auto target = self();
    std::weak_ptr<AudioUnitViewController> weak = target;
    const auto connectControl = [&](pf::UIControl& control, const char* selector,
                                    std::uint32_t events) {
        const std::string name = selector;
        control.addTarget(
            target, name,
            [weak, name](pf::UIControl& sender, const pf::UIEvent*) {
                if (const auto c = weak.lock()) c->performAction(name, sender);
            },
            events);
    };
    connectControl(*contrastButton, "onContrastButton:", pf::UIControlEventTouchUpInside);
    connectControl(*brightnessSlider, "onBrightnessSlider:", pf::UIControlEventValueChanged);
    connectControl(*freezeButton, "onFreezeButton:", pf::UIControlEventTouchUpInside);
    const auto connectGesture = [&](const std::shared_ptr<pf::UIGestureRecognizer>& r,
                                    const char* selector) {
        const std::string name = selector;
        r->addTarget(target, name, [weak, name](pf::UIGestureRecognizer& sender) {
            if (const auto c = weak.lock()) c->performAction(name, sender);
        });
        root->addGestureRecognizer(r);
    };
    connectGesture(panGesture, "onPanGesture:");
    connectGesture(pinchGesture, "onPinchGesture:");
    connectGesture(doubleTapGesture, "onDoubleTapGesture:");
    connectGesture(tapGesture, "onTapGesture:");
    connectGesture(longPressGesture, "onlongPressGesture:");

    setView(root);
}
