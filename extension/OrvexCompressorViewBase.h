// The model and painter of the plug-in's control panel: six knobs, the mode button, the bypass
// and audition buttons, the needle meter and the title inside a rounded outline, drawn in a
// 512 x 340 design space. Its view writes values, touch and selection flags into it, calls
// drawMain from its draw, and hit-tests touches against the eleven hotspot paths each drawMain
// leaves behind (in design units; a touch is mapped by dividing it by `viewScale`).
// Owned by its view. [main-thread]
#pragma once

#include <memory>
#include <string>

#include "PanelSymbols.h"
#include "ResizingBehavior.h"
#include "ui/CGGeometry.h"
#include "ui/UIBezierPath.h"
#include "ui/UIColor.h"

class AudioUnitViewController;
class Orvex_Compander_Extension_AudioUnit;

class OrvexCompressorViewBase {
public:
    enum class ResizingBehavior : int { aspectFit = 0, aspectFill = 1, stretch = 2, center = 3 };
    enum class ResizingBehavior0 : int { aspectFit = 0, aspectFill = 1, stretch = 2, center = 3 };

    OrvexCompressorViewBase() = default;
    virtual ~OrvexCompressorViewBase() = default;

    // Mirror of the view's controller; not owned.
    std::weak_ptr<AudioUnitViewController> viewController;
    // The view controller's unit, or none without a view controller.
    virtual std::shared_ptr<Orvex_Compander_Extension_AudioUnit> audioUnit() const;

    pf::UIColor colorContrast{0, 0, 0, 1};
    pf::UIColor colorContrastInverted{1, 1, 1, 1};
    pf::UIColor colorMain{0.753, 0.753, 0.753, 1};
    pf::UIColor colorSelected1{0.76, 0.29, 0.29, 1};
    pf::UIColor colorSelected2{0.195, 0.479, 0.75, 1};
    pf::UIColor colorHotspots{0.652, 0.8, 0.32, 0.198};

    // Touch flags: a touched control is drawn at 1.5 instead of 1.1 about its anchor.
    bool isAttackActive = false;
    bool isReleaseActive = false;
    bool isThresholdActive = false;
    bool isModeActive = false;
    bool isRatioActive = false;
    bool isGainActive = false;
    bool isMixActive = false;
    bool isBypassActive = false;
    bool isAuditionActive = false;

    pf::CGFloat valueAttack = 0.5;
    pf::CGFloat valueRelease = 0.5;
    pf::CGFloat valueThreshold = 0.5;
    pf::CGFloat valueRatio = 0.5;
    pf::CGFloat valueGain = 0.5;
    pf::CGFloat valueMix = 0.5;
    std::string valueMode = "dual";

    bool isAttackSelected = false;
    bool isReleaseSelected = false;
    bool isThresholdSelected = false;
    bool isRatioSelected = false;
    bool isGainSelected = false;
    bool isMixSelected = false;
    bool isBypassSelected = false;
    bool isAuditioSelected = false;

    pf::CGFloat value1 = 1.0;
    pf::CGFloat value2 = 1.0;

    // Touch areas in design units; empty until the first drawMain, replaced by every drawMain.
    pf::UIBezierPath hotspotAttackPath;
    pf::UIBezierPath hotspotReleasePath;
    pf::UIBezierPath hotspotThresholdPath;
    pf::UIBezierPath hotspotRatioPath;
    pf::UIBezierPath hotspotGainPath;
    pf::UIBezierPath hotspotMixPath;
    pf::UIBezierPath hotspotBypassPath;
    pf::UIBezierPath hotspotAuditionPath;
    pf::UIBezierPath hotspotCaptionPath;
    pf::UIBezierPath hotspotModePath;
    pf::UIBezierPath hotspotMeterPath;

    // Scale of the last drawMain (view points per design unit), (1, 1) before the first.
    pf::CGSize viewScale{1, 1};

    // Draws the panel into the current context and rebuilds the hotspots. Without a current
    // context it draws nothing and leaves hotspots and `viewScale` as they were.
    virtual void drawMain(pf::CGRect frame = {0, 0, 512, 340},
                          ResizingBehavior0 resizing = ResizingBehavior0::aspectFit);

    // The symbols, each in its own design rectangle; they leave the context as they found it.
    virtual void drawSymbolKnob(pf::CGRect frame = {0, 0, 90, 90},
                                ResizingBehavior resizing = ResizingBehavior::aspectFit,
                                pf::CGFloat valueKnob = 0.5,
                                const std::string& labelKnob = "parameter", bool isSelected = true);
    virtual void drawSymbolMeter(pf::CGRect frame = {0, 0, 206, 106},
                                 ResizingBehavior resizing = ResizingBehavior::aspectFit,
                                 pf::CGFloat valueMeter1 = 0.774, pf::CGFloat valueMeter2 = 0.799,
                                 pf::CGFloat valueKnob = 0.5);
    virtual void drawSymbolHistory(pf::CGRect frame = {0, 0, 390, 134},
                                   ResizingBehavior resizing = ResizingBehavior::aspectFit);
    virtual void drawSymbolButton(pf::CGRect frame = {0, 0, 86, 38},
                                  ResizingBehavior resizing = ResizingBehavior::aspectFit,
                                  bool isSelected = true,
                                  const std::string& labelButton = "button");
    virtual void drawSymbolButton2(pf::CGRect frame = {0, 0, 54, 26},
                                   ResizingBehavior resizing = ResizingBehavior::aspectFit,
                                   const std::string& labelButton = "button");

    // The horizontal scale of the last drawMain, which the touch code multiplies drags by.
    float getScalingFactor() const { return static_cast<float>(viewScale.width); }
};
