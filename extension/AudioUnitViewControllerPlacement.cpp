// Placement of the panel, the gestures that move and scale it, and the appearance controls.
#include "AudioUnitViewController.h"

using pf::CGAffineTransform;
using pf::CGFloat;
using pf::CGRect;
using pf::UIGestureRecognizerState;

namespace {
constexpr CGFloat kPinchMinimumWidth = 128;
constexpr CGFloat kHelperMinimumWidth = 256;
constexpr CGFloat kMaximumWidth = 2048;

// `origin` scaled by `s` in both directions about its own centre.
CGRect scaledAboutCentre(const CGRect& origin, CGFloat s) {
    const CGFloat cx = origin.minX() + origin.size.width / 2;
    const CGFloat cy = origin.minY() + origin.size.height / 2;
    const CGAffineTransform t = CGAffineTransform::makeTranslation(-cx, -cy)
                                    .concatenating(CGAffineTransform::makeScale(s, s))
                                    .concatenating(CGAffineTransform::makeTranslation(cx, cy));
    return origin.applying(t);
}
} // namespace

// ---- Placement ----------------------------------------------------------------------------------

void AudioUnitViewController::centerpluginView() {
    const CGRect b = view()->bounds();
    resetpluginView(b.size.width, b.size.height);
}

void AudioUnitViewController::resetpluginView(CGFloat w, CGFloat h, CGFloat inset) {
    if (!currentView) return;
    const CGFloat fw = w - 2 * inset;
    const CGFloat fh = h - 2 * inset;
    const CGRect b = view()->bounds();
    CGRect frame;
    if (fh < fw && fitToHeight) {
        const CGFloat width = fh / ratio;
        frame = {b.size.width / 2 - width / 2 + inset, inset, width, fh};
    } else {
        const CGFloat height = fw * ratio;
        frame = {inset, b.size.height / 2 - height / 2, fw, height};
    }
    currentView->setFrame(frame);
}

void AudioUnitViewController::doTranslationTransform(pf::UIView& view, CGRect origin,
                                                     pf::CGPoint position) {
    view.setFrame(origin.offsetBy(position.x, position.y));
    view.setNeedsDisplay();
}

void AudioUnitViewController::doScalingTransform(pf::UIView& view, CGRect origin, CGFloat scaling) {
    const CGRect r = scaledAboutCentre(origin, scaling);
    if (r.size.width < kHelperMinimumWidth || r.size.width > kMaximumWidth) return;
    view.setFrame(r);
    view.setNeedsDisplay();
}

// ---- Gestures -----------------------------------------------------------------------------------

void AudioUnitViewController::onPanGesture(pf::UIPanGestureRecognizer& sender) {
    if (!isSizeable || touchesLocked || !currentView) return;
    switch (sender.state()) {
    case UIGestureRecognizerState::began:
        lockAutoLayout = true;
        controlFrame = currentView->frame();
        break;
    case UIGestureRecognizerState::changed: {
        const pf::CGPoint t = sender.translation(view().get());
        currentView->setFrame(controlFrame.offsetBy(t.x, t.y));
        break;
    }
    case UIGestureRecognizerState::ended:
        lockAutoLayout = false;
        controlFrame = currentView->frame();
        touchesLocked = false;
        break;
    case UIGestureRecognizerState::cancelled:
        controlFrame = currentView->frame();
        lockAutoLayout = false;
        touchesLocked = false;
        break;
    default:
        break;
    }
}

void AudioUnitViewController::onPinchGesture(pf::UIPinchGestureRecognizer& sender) {
    if (!isSizeable || !currentView) return;
    touchesLocked = false;
    switch (sender.state()) {
    case UIGestureRecognizerState::began:
        lockAutoLayout = true;
        controlFrame = currentView->frame();
        break;
    case UIGestureRecognizerState::changed: {
        const CGRect r = scaledAboutCentre(controlFrame, sender.scale());
        if (r.size.width >= kPinchMinimumWidth && r.size.width <= kMaximumWidth)
            currentView->setFrame(r);
        break;
    }
    case UIGestureRecognizerState::ended:
        lockAutoLayout = false;
        controlFrame = currentView->frame();
        break;
    case UIGestureRecognizerState::cancelled:
        lockAutoLayout = false;
        break;
    default:
        break;
    }
}

void AudioUnitViewController::onTapGesture(pf::UITapGestureRecognizer&) {
    touchesLocked = false;
    if (currentView) controlFrame = currentView->frame();
}

void AudioUnitViewController::onDoubleTapGesture(pf::UITapGestureRecognizer&) {
    touchesLocked = false;
    const CGRect b = view()->bounds();
    resetpluginView(b.size.width, b.size.height);
}

// ---- Appearance controls ------------------------------------------------------------------------

void AudioUnitViewController::tintButtonsForFrame() {
    const pf::UIColor tint = pluginFrame->legibleTint();
    for (pf::UIButton* button : {contrastButton.get(), freezeButton.get()}) {
        if (!button) continue;
        button->tintColor = tint;
        button->setNeedsDisplay();
    }
}

void AudioUnitViewController::onContrastButton(pf::UIButton& sender) {
    brightnessSlider->setHidden(!brightnessSlider->isHidden());
    if (!brightnessSlider->isHidden()) {
        sender.setAlpha(1.0);
        touchesLocked = true;
    } else {
        sender.setAlpha(0.5);
        touchesLocked = false;
    }
}

void AudioUnitViewController::onBrightnessSlider(pf::UISlider& sender) {
    const float v = sender.value();
    touchesLocked = true;
    pluginFrame->contrast = v;
    pluginFrame->setNeedsDisplay();
    tintButtonsForFrame();
    mainView->setContrast(static_cast<CGFloat>(v));
    displayView->setContrast(static_cast<CGFloat>(v));
}

void AudioUnitViewController::onFreezeButton(pf::UIButton& sender) {
    isSizeable = !isSizeable;
    sender.setAlpha(isSizeable ? 0.5 : 1.0);
}

void AudioUnitViewController::onlongPressGesture(pf::UILongPressGestureRecognizer& sender) {
    switch (sender.state()) {
    case UIGestureRecognizerState::began:
        contrastButton->setHidden(!contrastButton->isHidden());
        freezeButton->setHidden(contrastButton->isHidden());
        if (!contrastButton->isHidden()) {
            touchesLocked = true;
        } else {
            brightnessSlider->setHidden(true);
            touchesLocked = false;
        }
        break;
    case UIGestureRecognizerState::ended:
        contrastButton->setAlpha(1.0);
        touchesLocked = false;
        break;
    default:
        break;
    }
}
