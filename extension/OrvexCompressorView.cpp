#include "OrvexCompressorView.h"

#include <algorithm>
#include <cmath>

#include "AudioUnitViewController.h"
#include "core/Console.h"
#include "core/SwiftText.h"
#include "ui/UITouch.h"

using pf::CGFloat;
using pf::CGPoint;

namespace {

struct Knob {
    const char* name;
    pf::UIBezierPath OrvexCompressorViewBase::*path;
    CGFloat OrvexCompressorViewBase::*value;
    bool OrvexCompressorViewBase::*active;
    int address;
};

constexpr Knob kKnobs[] = {
    {"attack", &OrvexCompressorViewBase::hotspotAttackPath, &OrvexCompressorViewBase::valueAttack,
     &OrvexCompressorViewBase::isAttackActive, 0},
    {"release", &OrvexCompressorViewBase::hotspotReleasePath,
     &OrvexCompressorViewBase::valueRelease, &OrvexCompressorViewBase::isReleaseActive, 1},
    {"threshold", &OrvexCompressorViewBase::hotspotThresholdPath,
     &OrvexCompressorViewBase::valueThreshold, &OrvexCompressorViewBase::isThresholdActive, 2},
    {"ratio", &OrvexCompressorViewBase::hotspotRatioPath, &OrvexCompressorViewBase::valueRatio,
     &OrvexCompressorViewBase::isRatioActive, 3},
    {"gain", &OrvexCompressorViewBase::hotspotGainPath, &OrvexCompressorViewBase::valueGain,
     &OrvexCompressorViewBase::isGainActive, 4},
    {"mix", &OrvexCompressorViewBase::hotspotMixPath, &OrvexCompressorViewBase::valueMix,
     &OrvexCompressorViewBase::isMixActive, 5},
};

const Knob* knobNamed(const std::string& name) {
    for (const Knob& k : kKnobs)
        if (name == k.name) return &k;
    return nullptr;
}

// The hit-test order after the knobs: the meter before the mode button.
struct Other {
    const char* name;
    pf::UIBezierPath OrvexCompressorViewBase::*path;
};
constexpr Other kOthers[] = {
    {"bypass", &OrvexCompressorViewBase::hotspotBypassPath},
    {"audition", &OrvexCompressorViewBase::hotspotAuditionPath},
    {"caption", &OrvexCompressorViewBase::hotspotCaptionPath},
    {"meter", &OrvexCompressorViewBase::hotspotMeterPath},
    {"mode", &OrvexCompressorViewBase::hotspotModePath},
};

} // namespace

OrvexCompressorView::OrvexCompressorView(const pf::CGRect& frame) : pf::UIControl(frame) {}

void OrvexCompressorView::setViewController(
    const std::shared_ptr<AudioUnitViewController>& controller) {
    viewController_ = controller;
    baseClass->viewController = controller;
}

std::shared_ptr<Orvex_Compander_Extension_AudioUnit> OrvexCompressorView::audioUnit() const {
    const auto controller = viewController();
    return controller ? controller->audioUnit() : nullptr;
}

void OrvexCompressorView::setFocus(bool) {
    setNeedsDisplay();
}

void OrvexCompressorView::setContrast(CGFloat c) {
    baseClass->colorContrast = pf::UIColor(1 - c, 1 - c, 1 - c, 1);
    baseClass->colorContrastInverted = pf::UIColor(c, c, c, 1);
    baseClass->colorMain = baseClass->colorContrast;
    setNeedsDisplay();
}

void OrvexCompressorView::setParameter(int address, float value) {
    OrvexCompressorViewBase& b = *baseClass;
    if (address >= 0 && address <= 5) {
        b.*(kKnobs[address].value) = static_cast<CGFloat>(value);
    } else if (address == 6) {
        // Truncated toward zero; a value with no integer (NaN, infinite, huge) changes nothing.
        const double t = std::trunc(static_cast<double>(value));
        if (t == 0)
            b.valueMode = "dual";
        else if (t == 1)
            b.valueMode = "linked";
        else if (t == 2)
            b.valueMode = "m/s";
    } else if (address == 7) {
        b.isBypassSelected = value == 1.0f;
    } else if (address == 8) {
        b.isAuditioSelected = value == 1.0f;
    }
    pf::Console::printLine("editor received parameter : address: " + std::to_string(address) +
                           ", value: " + pf::swiftText(value));
    setNeedsDisplay();
}

void OrvexCompressorView::draw(const pf::CGRect&) {
    if (isHidden()) return;
    baseClass->drawMain(bounds(), OrvexCompressorViewBase::ResizingBehavior0::aspectFit);
}

bool OrvexCompressorView::hitTest(CGPoint location, const pf::UIBezierPath& path) const {
    return path.contains(location);
}

void OrvexCompressorView::setHotspotMode(CGPoint location) {
    hotspotMode.clear();
    const OrvexCompressorViewBase& b = *baseClass;
    for (const Knob& k : kKnobs) {
        if (hitTest(location, b.*(k.path))) {
            hotspotMode = k.name;
            break;
        }
    }
    if (hotspotMode.empty()) {
        for (const Other& o : kOthers) {
            if (hitTest(location, b.*(o.path))) {
                hotspotMode = o.name;
                break;
            }
        }
    }
    pf::Console::printLine(hotspotMode);
}

CGPoint OrvexCompressorView::designLocation(const pf::UITouchSet& touches) const {
    const CGPoint p = touches.front()->location(this);
    return {p.x / baseClass->viewScale.width, p.y / baseClass->viewScale.height};
}

void OrvexCompressorView::setTouchesLocked(bool locked) const {
    if (const auto controller = viewController()) controller->touchesLocked = locked;
}

void OrvexCompressorView::clearActiveFlag() {
    OrvexCompressorViewBase& b = *baseClass;
    if (const Knob* k = knobNamed(hotspotMode))
        b.*(k->active) = false;
    else if (hotspotMode == "bypass")
        b.isBypassActive = false;
    else if (hotspotMode == "audition")
        b.isAuditionActive = false;
    else if (hotspotMode == "mode")
        b.isModeActive = false;
}

void OrvexCompressorView::touchesBegan(const pf::UITouchSet& touches, const pf::UIEvent* event) {
    const auto delegate = this->delegate();
    if (!viewController() || !delegate || touches.empty()) return;
    startLocation = designLocation(touches);
    setHotspotMode(startLocation);
    if (hotspotMode.empty()) {
        setTouchesLocked(false);
        return;
    }
    setTouchesLocked(true);
    OrvexCompressorViewBase& b = *baseClass;
    if (const Knob* k = knobNamed(hotspotMode)) {
        savedValue = b.*(k->value);
        b.*(k->active) = true;
    } else if (hotspotMode == "bypass") {
        b.isBypassActive = true;
        b.isBypassSelected = !b.isBypassSelected;
        delegate->onOrvexCompressorViewParameter(7, b.isBypassSelected ? 1.0f : 0.0f);
    } else if (hotspotMode == "audition") {
        b.isAuditionActive = true;
        b.isAuditioSelected = !b.isAuditioSelected;
        delegate->onOrvexCompressorViewParameter(8, b.isAuditioSelected ? 1.0f : 0.0f);
    } else if (hotspotMode == "mode") {
        b.isModeActive = true;
        if (b.valueMode == "dual") {
            b.valueMode = "linked";
            delegate->onOrvexCompressorViewParameter(6, 1.0f);
        } else if (b.valueMode == "linked") {
            b.valueMode = "m/s";
            delegate->onOrvexCompressorViewParameter(6, 2.0f);
        } else if (b.valueMode == "m/s") {
            b.valueMode = "dual";
            delegate->onOrvexCompressorViewParameter(6, 0.0f);
        }
    }
    setNeedsDisplay();
    sendActions(pf::UIControlEventTouchDown, event);
}

void OrvexCompressorView::touchesMoved(const pf::UITouchSet& touches, const pf::UIEvent* event) {
    const auto delegate = this->delegate();
    if (!viewController() || !delegate || hotspotMode.empty() || touches.empty()) return;
    OrvexCompressorViewBase& b = *baseClass;
    const CGPoint p = designLocation(touches);
    const double dx = (p.x - startLocation.x) / b.viewScale.width * scaler;
    const double dy = (p.y - startLocation.y) / b.viewScale.height * scaler;
    if (const Knob* k = knobNamed(hotspotMode)) {
        float step = static_cast<float>(dy - dx) / 2.0f / 100.0f * b.getScalingFactor();
        step = std::clamp(step, -1.0f, 1.0f);
        const double value = std::clamp(savedValue - static_cast<double>(step), 0.0, 1.0);
        // A drag that yields no number (a broken scale) changes nothing.
        if (!std::isnan(value)) {
            b.*(k->value) = value;
            if (hotspotMode == "threshold") pf::Console::printLine(pf::swiftText(value));
            delegate->onOrvexCompressorViewParameter(k->address, static_cast<float>(value));
        }
    }
    setNeedsDisplay();
    sendActions(pf::UIControlEventValueChanged, event);
}

void OrvexCompressorView::touchesEnded(const pf::UITouchSet& touches, const pf::UIEvent* event) {
    if (!viewController()) return;
    const auto keep = shared_from_this();
    touchesMoved(touches, event);
    clearActiveFlag();
    hotspotMode.clear();
    setTouchesLocked(false);
    setNeedsDisplay();
    // As the panel has always decided it: the touch-down point in design units against the
    // bounds in points.
    sendActions(bounds().contains(startLocation) ? pf::UIControlEventTouchUpInside
                                                 : pf::UIControlEventTouchUpOutside,
                event);
}

void OrvexCompressorView::touchesCancelled(const pf::UITouchSet&, const pf::UIEvent* event) {
    if (!viewController()) return;
    setTouchesLocked(false);
    clearActiveFlag();
    setNeedsDisplay();
    sendActions(pf::UIControlEventTouchCancel, event);
}
