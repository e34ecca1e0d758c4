// The plug-in's background plate: a filled rounded rectangle, inset by 2 points, in the grey
// level of the brightness setting. The view keeps the settings and copies them into its
// drawing companion PluginFrameBaseEx at every redraw; setting them does not redraw by itself.
// It takes no touches. [main-thread]
#pragma once

#include <cstdint>
#include <memory>

#include "PanelSymbols.h"
#include "ResizingBehavior.h"
#include "ui/UIColor.h"
#include "ui/UIControl.h"

class PluginFrameBaseEx {
public:
    enum class ResizingBehavior : std::int64_t {
        aspectFit = 0,
        aspectFill = 1,
        stretch = 2,
        center = 3
    };

    PluginFrameBaseEx() = default;
    virtual ~PluginFrameBaseEx() = default;

    pf::CGFloat contrast() const { return contrast_; }
    void setContrast(pf::CGFloat c) { contrast_ = c; }
    pf::UIColor mainColor() const { return mainColor_; }
    void setMainColor(const pf::UIColor& c) { mainColor_ = c; }

    pf::CGSize viewScale{1, 1};

    // Fills the plate (2, 2, width - 4, height - 4), radius 4, in grey `contrast` (not clamped).
    // The design size is the frame's own size, so the plate follows the view's proportions.
    virtual void draw(pf::CGRect frame = {0, 0, 512, 384},
                      ResizingBehavior resizing = ResizingBehavior::aspectFit);

    float getScalingFactor() const { return static_cast<float>(viewScale.width); }

private:
    pf::CGFloat contrast_ = 0.25;
    pf::UIColor mainColor_ = pf::UIColor::lightGray();
};

class PluginFrameEx : public pf::UIControl {
public:
    explicit PluginFrameEx(const pf::CGRect& frame = pf::CGRect::zero());

    float contrast = 0.15f;                           // grey level of the plate, 0 black to 1 white
    pf::UIColor mainColor = pf::UIColor::lightGray(); // carried along, not drawn

    const std::shared_ptr<PluginFrameBaseEx>& baseClass() const { return baseClass_; }
    void setBaseClass(std::shared_ptr<PluginFrameBaseEx> base) { baseClass_ = std::move(base); }

    // Black or white, whichever contrasts more with the plate's grey `contrast` (taken as an
    // sRGB level, clamped to 0..1), so a control drawn on the plate stays legible at every
    // brightness: at least 4.5 : 1 over the whole range.
    pf::UIColor legibleTint() const;

    // Copies the settings into the companion and draws the plate in `rect`.
    void draw(const pf::CGRect& rect) override;

private:
    std::shared_ptr<PluginFrameBaseEx> baseClass_ = std::make_shared<PluginFrameBaseEx>();
};
