// The compressor panel as a control: it draws its OrvexCompressorViewBase into its bounds,
// turns touches on the panel's hotspots into parameter changes for its delegate, and takes the
// values the host sets (setParameter) into the model.
//
// Touches: a touch is mapped into design units by dividing it by the model's `viewScale` (the
// scale of the last drawing). A touch on a knob drags its value: (vertical minus horizontal
// drag in design units) / 200, measured from the touch-down point against the value at touch
// down, clamped to 0..1; a touch on bypass or audition toggles it, a touch on the mode button
// cycles "dual" → "linked" → "m/s". The panel reports changes through its delegate and the
// control events touchDown, valueChanged, touchUpInside / touchUpOutside and touchCancel, and
// keeps the controller's `touchesLocked` true while a control is held.
//
// Ownership: the controller owns the view (through its view tree); the view refers back to the
// controller and to its delegate weakly, so a closed plug-in is freed. [main-thread]
#pragma once

#include <memory>
#include <string>

#include "OrvexCompressorViewBase.h"
#include "ui/UIBezierPath.h"
#include "ui/UIControl.h"

class AudioUnitViewController;
class Orvex_Compander_Extension_AudioUnit;

class OrvexCompressorViewDelegate {
public:
    virtual ~OrvexCompressorViewDelegate() = default;
    // A parameter was changed on the panel (addresses 0 to 8).
    virtual void onOrvexCompressorViewParameter(int address, float value) = 0;
    // Never called by the panel.
    virtual void onOrvexCompressorViewOption(int address, float value) = 0;
};

class OrvexCompressorView : public pf::UIControl {
public:
    explicit OrvexCompressorView(const pf::CGRect& frame = pf::CGRect::zero());

    // Setting it also sets `baseClass->viewController`.
    std::shared_ptr<AudioUnitViewController> viewController() const {
        return viewController_.lock();
    }
    virtual void setViewController(const std::shared_ptr<AudioUnitViewController>& controller);
    // The controller's unit, or none.
    virtual std::shared_ptr<Orvex_Compander_Extension_AudioUnit> audioUnit() const;
    std::shared_ptr<OrvexCompressorViewDelegate> delegate() const { return delegate_.lock(); }
    virtual void setDelegate(const std::shared_ptr<OrvexCompressorViewDelegate>& delegate) {
        delegate_ = delegate;
    }

    const std::shared_ptr<OrvexCompressorViewBase> baseClass =
        std::make_shared<OrvexCompressorViewBase>();

    // Marks the view for redraw; the argument is not used.
    virtual void setFocus(bool focus);
    // The contrast rule: lines in grey 1 - c, inverted grey c, the main colour = the contrast one.
    virtual void setContrast(pf::CGFloat contrast);
    // A value set by the host into the model (addresses 0 to 8; others only log), then a redraw.
    virtual void setParameter(int address, float value);

    void draw(const pf::CGRect& rect) override;
    void touchesBegan(const pf::UITouchSet& touches, const pf::UIEvent* event) override;
    void touchesMoved(const pf::UITouchSet& touches, const pf::UIEvent* event) override;
    void touchesEnded(const pf::UITouchSet& touches, const pf::UIEvent* event) override;
    void touchesCancelled(const pf::UITouchSet& touches, const pf::UIEvent* event) override;

    // The hotspot of the touch in progress ("" when none), for tests and diagnostics.
    const std::string& currentHotspot() const { return hotspotMode; }

private:
    void setHotspotMode(pf::CGPoint location);
    bool hitTest(pf::CGPoint location, const pf::UIBezierPath& path) const;
    pf::CGPoint designLocation(const pf::UITouchSet& touches) const;
    void setTouchesLocked(bool locked) const;
    void clearActiveFlag();

    std::weak_ptr<AudioUnitViewController> viewController_;
    std::weak_ptr<OrvexCompressorViewDelegate> delegate_;
    std::string hotspotMode;
    pf::CGPoint startLocation{0, 0};
    pf::CGFloat startValue = 0;
    pf::CGFloat scaler = 1.0;
    pf::CGFloat savedValue = 0;
    int lastIndex = 0;
};
