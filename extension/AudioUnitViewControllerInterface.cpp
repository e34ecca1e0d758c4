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

// The fourteen outlets: name, setter selector, and how to read and write the member.
template <typename Base> struct OutletEntry {
    const char* name;
    const char* setter;
    std::shared_ptr<Base> (*get)(const AudioUnitViewController&);
    bool (*set)(AudioUnitViewController&, const std::shared_ptr<Base>&);
};

template <typename Base, typename T, std::shared_ptr<T> AudioUnitViewController::*Member>
std::shared_ptr<Base> getOutlet(const AudioUnitViewController& c) {
    return c.*Member;
}
template <typename Base, typename T, std::shared_ptr<T> AudioUnitViewController::*Member>
bool setOutlet(AudioUnitViewController& c, const std::shared_ptr<Base>& value) {
    auto typed = std::dynamic_pointer_cast<T>(value);
    if (value && !typed) return false;
    c.*Member = std::move(typed);
    return true;
}
#define ORVEX_OUTLET(Base, T, name, setter)                                                        \
    OutletEntry<Base> {                                                                            \
#name, setter, getOutlet < Base, T, &AudioUnitViewController::name>, setOutlet < Base, T,  \
            &AudioUnitViewController::name>                                                        \
    }

const OutletEntry<pf::UIView> kViewOutlets[] = {
    ORVEX_OUTLET(pf::UIView, PluginFrameEx, pluginFrame, "setPluginFrame:"),
    ORVEX_OUTLET(pf::UIView, pf::UIView, pluginView, "setPluginView:"),
    ORVEX_OUTLET(pf::UIView, OrvexDynamicsDisplayView, displayView, "setDisplayView:"),
    ORVEX_OUTLET(pf::UIView, OrvexCompressorView, mainView, "setMainView:"),
    ORVEX_OUTLET(pf::UIView, pf::UIView, infoView, "setInfoView:"),
    ORVEX_OUTLET(pf::UIView, pf::UILabel, infoMessage, "setInfoMessage:"),
    ORVEX_OUTLET(pf::UIView, pf::UIButton, contrastButton, "setContrastButton:"),
    ORVEX_OUTLET(pf::UIView, pf::UISlider, brightnessSlider, "setBrightnessSlider:"),
    ORVEX_OUTLET(pf::UIView, pf::UIButton, freezeButton, "setFreezeButton:"),
};
const OutletEntry<pf::UIGestureRecognizer> kGestureOutlets[] = {
    ORVEX_OUTLET(pf::UIGestureRecognizer, pf::UIPanGestureRecognizer, panGesture, "setPanGesture:"),
    ORVEX_OUTLET(pf::UIGestureRecognizer, pf::UIPinchGestureRecognizer, pinchGesture,
                 "setPinchGesture:"),
    ORVEX_OUTLET(pf::UIGestureRecognizer, pf::UITapGestureRecognizer, doubleTapGesture,
                 "setDoubleTapGesture:"),
    ORVEX_OUTLET(pf::UIGestureRecognizer, pf::UITapGestureRecognizer, tapGesture, "setTapGesture:"),
    ORVEX_OUTLET(pf::UIGestureRecognizer, pf::UILongPressGestureRecognizer, longPressGesture,
                 "setLongPressGesture:"),
};
#undef ORVEX_OUTLET

template <typename Base, std::size_t N>
const OutletEntry<Base>* findOutlet(const OutletEntry<Base> (&table)[N], const std::string& key,
                                    bool bySetter) {
    for (const auto& e : table)
        if (key == (bySetter ? e.setter : e.name)) return &e;
    return nullptr;
}

std::shared_ptr<pf::UIButton> makeButton(const CGRect& frame, const std::string& title) {
    auto button = std::make_shared<pf::UIButton>(frame);
    button->setTitle(title);
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

const std::vector<std::string>& AudioUnitViewController::outletNames() {
    static const std::vector<std::string> all = [] {
        std::vector<std::string> out;
        for (const auto& e : kViewOutlets)
            out.emplace_back(e.name);
        for (const auto& e : kGestureOutlets)
            out.emplace_back(e.name);
        return out;
    }();
    return all;
}

const std::vector<std::string>& AudioUnitViewController::outletSetterSelectors() {
    static const std::vector<std::string> all = [] {
        std::vector<std::string> out;
        for (const auto& e : kViewOutlets)
            out.emplace_back(e.setter);
        for (const auto& e : kGestureOutlets)
            out.emplace_back(e.setter);
        return out;
    }();
    return all;
}

std::shared_ptr<pf::UIView> AudioUnitViewController::viewOutlet(const std::string& name) const {
    const auto* e = findOutlet(kViewOutlets, name, false);
    return e ? e->get(*this) : nullptr;
}

std::shared_ptr<pf::UIGestureRecognizer>
AudioUnitViewController::gestureOutlet(const std::string& name) const {
    const auto* e = findOutlet(kGestureOutlets, name, false);
    return e ? e->get(*this) : nullptr;
}

bool AudioUnitViewController::performSetter(const std::string& selector,
                                            const std::shared_ptr<pf::UIView>& value) {
    const auto* e = findOutlet(kViewOutlets, selector, true);
    return e && e->set(*this, value);
}

bool AudioUnitViewController::performSetter(const std::string& selector,
                                            const std::shared_ptr<pf::UIGestureRecognizer>& value) {
    const auto* e = findOutlet(kGestureOutlets, selector, true);
    return e && e->set(*this, value);
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

    auto panel = std::make_shared<pf::UIView>(kDesign);
    panel->autoresizesSubviews = true;
    root->addSubview(panel);

    auto frame = std::make_shared<PluginFrameEx>(kDesign);
    frame->setUserInteractionEnabled(false);
    auto compressor = std::make_shared<OrvexCompressorView>(kDesign);
    auto display = std::make_shared<OrvexDynamicsDisplayView>(kDesign);
    display->setUserInteractionEnabled(false); // the meters lie over the panel's hotspots
    for (const std::shared_ptr<pf::UIView>& v :
         std::initializer_list<std::shared_ptr<pf::UIView>>{frame, compressor, display}) {
        v->autoresizingMask = kScalesWithPanel;
        panel->addSubview(v);
    }

    // The buttons sit in the top corners inside the panel's drawn outline (whose inner edge
    // runs 21 design units down and 18 across, with corners of radius 8.5) and above the knobs'
    // labels (from 42 down).
    auto contrast = makeButton({30, 23, 64, 16}, "contrast");
    auto freeze = makeButton({418, 23, 64, 16}, "freeze");
    auto slider = std::make_shared<pf::UISlider>(CGRect{102, 23, 160, 16});
    slider->autoresizingMask = kScalesWithPanel;
    slider->setValue(0.15f);
    slider->setHidden(true);
    panel->addSubview(contrast);
    panel->addSubview(freeze);
    panel->addSubview(slider);

    auto info = std::make_shared<pf::UIView>(CGRect{136, 130, 240, 80});
    info->autoresizingMask = kScalesWithPanel;
    info->setBackgroundColor(pf::UIColor(0, 0, 0, 0.75));
    info->setUserInteractionEnabled(false);
    info->setHidden(true);
    auto message = std::make_shared<pf::UILabel>(CGRect{8, 8, 224, 64});
    message->autoresizingMask =
        pf::UIViewAutoresizingFlexibleWidth | pf::UIViewAutoresizingFlexibleHeight;
    message->textColor = pf::UIColor(0.9, 0.9, 0.9, 1);
    message->textAlignment = pf::NSTextAlignment::center;
    info->addSubview(message);
    panel->addSubview(info);

    auto doubleTap = std::make_shared<pf::UITapGestureRecognizer>();
    doubleTap->numberOfTapsRequired = 2;
    const std::pair<const char*, std::shared_ptr<pf::UIGestureRecognizer>> recognisers[] = {
        {"setPanGesture:", std::make_shared<pf::UIPanGestureRecognizer>()},
        {"setPinchGesture:", std::make_shared<pf::UIPinchGestureRecognizer>()},
        {"setDoubleTapGesture:", doubleTap},
        {"setTapGesture:", std::make_shared<pf::UITapGestureRecognizer>()},
        {"setLongPressGesture:", std::make_shared<pf::UILongPressGestureRecognizer>()},
    };

    // The outlets, connected by their setters as the interface resources name them.
    const std::pair<const char*, std::shared_ptr<pf::UIView>> views[] = {
        {"setPluginFrame:", frame},       {"setPluginView:", panel},
        {"setDisplayView:", display},     {"setMainView:", compressor},
        {"setInfoView:", info},           {"setInfoMessage:", message},
        {"setContrastButton:", contrast}, {"setBrightnessSlider:", slider},
        {"setFreezeButton:", freeze},
    };
    for (const auto& [setter, v] : views)
        performSetter(setter, v);
    for (const auto& [setter, r] : recognisers)
        performSetter(setter, r);
    tintButtonsForFrame();

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
    connectControl(*contrast, "onContrastButton:", pf::UIControlEventTouchUpInside);
    connectControl(*slider, "onBrightnessSlider:", pf::UIControlEventValueChanged);
    connectControl(*freeze, "onFreezeButton:", pf::UIControlEventTouchUpInside);
    const auto connectGesture = [&](const std::shared_ptr<pf::UIGestureRecognizer>& r,
                                    const char* selector) {
        const std::string name = selector;
        r->addTarget(target, name, [weak, name](pf::UIGestureRecognizer& sender) {
            if (const auto c = weak.lock()) c->performAction(name, sender);
        });
        root->addGestureRecognizer(r);
    };
    const char* actions[] = {"onPanGesture:", "onPinchGesture:", "onDoubleTapGesture:",
                             "onTapGesture:", "onlongPressGesture:"};
    for (std::size_t i = 0; i < std::size(actions); ++i)
        connectGesture(recognisers[i].second, actions[i]);

    setView(root);
}
