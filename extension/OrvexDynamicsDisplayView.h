// The dynamics display: the moving parts of the panel's needle meter (two gain needles and two
// peak dots), drawn over the compressor panel in the same 512 x 340 design space. The view
// stores values and asks for a redraw only when a value changed; the drawing lives in its
// companion OrvexDynamicsDisplayViewBase. The view takes no touches. [main-thread]
#pragma once

#include <memory>

#include "PanelSymbols.h"
#include "ResizingBehavior.h"
#include "ui/UIColor.h"
#include "ui/UIControl.h"

class OrvexDynamicsDisplayViewBase {
public:
    enum class ResizingBehavior : int { aspectFit = 0, aspectFill = 1, stretch = 2, center = 3 };
    enum class ResizingBehavior0 : int { aspectFit = 0, aspectFill = 1, stretch = 2, center = 3 };

    OrvexDynamicsDisplayViewBase() = default;
    virtual ~OrvexDynamicsDisplayViewBase() = default;

    pf::UIColor colorContrast{0, 0, 0, 1};
    pf::UIColor colorContrastInverted{1, 1, 1, 1};
    pf::UIColor colorMain{0.753, 0.753, 0.753, 1};
    pf::UIColor colorSelected1{0.76, 0.29, 0.29, 1};
    pf::UIColor colorSelected2{0.195, 0.479, 0.75, 1};
    pf::CGFloat value1 = 1.0; // left gain factor, halved
    pf::CGFloat value2 = 1.0; // right gain factor, halved
    pf::CGFloat value3 = 0.0; // first output peak, halved
    pf::CGFloat value4 = 0.0; // second output peak, halved
    pf::CGFloat valueThreshold = 0.5;
    pf::CGSize viewScale{1, 1};

    // Draws the meter's moving parts at the meter's place (153, 242) of the design space.
    virtual void drawMain(pf::CGRect frame = {0, 0, 512, 340},
                          ResizingBehavior0 resizing = ResizingBehavior0::aspectFit);
    // Four marks: the peak dots (valueMeter4, then valueMeter3) and the gain needles
    // (valueMeter2, then valueMeter1). valueKnob does not change the picture.
    virtual void drawSymbolMeter(pf::CGRect frame = {0, 0, 206, 106},
                                 ResizingBehavior resizing = ResizingBehavior::aspectFit,
                                 pf::CGFloat valueMeter1 = 1, pf::CGFloat valueMeter2 = 1,
                                 pf::CGFloat valueMeter3 = 0, pf::CGFloat valueMeter4 = 0,
                                 pf::CGFloat valueKnob = 0.5);

    float getScalingFactor() const { return static_cast<float>(viewScale.width); }
};

class OrvexDynamicsDisplayView : public pf::UIControl {
public:
    explicit OrvexDynamicsDisplayView(const pf::CGRect& frame = pf::CGRect::zero());

    std::shared_ptr<OrvexDynamicsDisplayViewBase> baseClass =
        std::make_shared<OrvexDynamicsDisplayViewBase>();

    // Marks the view for redraw; the argument is not used.
    virtual void setFocus(bool focus);
    // The contrast rule (lines in grey 1 - c), then a redraw.
    virtual void setContrast(pf::CGFloat contrast);
    // Stores the threshold; no redraw (the meter does not show it).
    virtual void setThresholdValue(float value);
    // Store both and redraw only when either differs from the stored value.
    virtual void setCompressionValues(float value1, float value2);
    virtual void setOutputValues(float value3, float value4);
    // Gain needles back to 1.0, then a redraw; the peaks and the threshold stay.
    virtual void resetDisplay();

    // Nothing while hidden; otherwise the meter in the bounds, aspect-fit.
    void draw(const pf::CGRect& rect) override;
};
