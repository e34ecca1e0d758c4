// A view that sends actions to targets when control events happen: the platform's
// target-action mechanism. Touches on an enabled control are tracked the platform's way:
// touch down sends touchDown, each move touchDragInside or touchDragOutside, the lift
// touchUpInside or touchUpOutside (by whether the lift-off point is inside the bounds), a
// cancellation touchCancel; subclasses refine it through the tracking members or replace the
// touch handlers entirely. [main-thread]
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/UIView.h"

namespace pf {

// Control events, with the platform's bit values.
enum UIControlEvents : std::uint32_t {
    UIControlEventTouchDown = 1u << 0,
    UIControlEventTouchDownRepeat = 1u << 1,
    UIControlEventTouchDragInside = 1u << 2,
    UIControlEventTouchDragOutside = 1u << 3,
    UIControlEventTouchDragEnter = 1u << 4,
    UIControlEventTouchDragExit = 1u << 5,
    UIControlEventTouchUpInside = 1u << 6,
    UIControlEventTouchUpOutside = 1u << 7,
    UIControlEventTouchCancel = 1u << 8,
    UIControlEventValueChanged = 1u << 12,
    UIControlEventPrimaryActionTriggered = 1u << 13,
    UIControlEventEditingDidBegin = 1u << 16,
    UIControlEventEditingChanged = 1u << 17,
    UIControlEventEditingDidEnd = 1u << 18,
    UIControlEventEditingDidEndOnExit = 1u << 19,
    UIControlEventAllTouchEvents = 0x00000FFFu,
    UIControlEventAllEvents = 0xFFFFFFFFu,
};

class UIControl : public UIView {
public:
    // The action: a selector name (as the interface resources name it, e.g. "onPlayButton:")
    // and the call it stands for.
    using Action = std::function<void(UIControl& sender, const UIEvent* event)>;

    explicit UIControl(const CGRect& frame = CGRect::zero());

    // Registers an action for the events. The target is held weakly: once it is gone its
    // actions are skipped and dropped. An empty target (nullptr) means "no target object"; the
    // action always runs. Adding the same target and selector again for an event adds nothing.
    void addTarget(const std::shared_ptr<void>& target, const std::string& selector, Action action,
                   std::uint32_t events);
    // Removes the target's actions for those events (all targets when `target` is null).
    void removeTarget(const void* target, std::uint32_t events);
    // Selector names registered for a target and one event, in registration order.
    std::vector<std::string> actions(const void* target, std::uint32_t event) const;
    std::uint32_t allControlEvents() const;

    // Sends the actions registered for any of the events, in registration order.
    virtual void sendActions(std::uint32_t events, const UIEvent* event = nullptr);

    // Touch tracking (see above). Overrides of the touch handlers that do not call these
    // replace the tracking.
    void touchesBegan(const UITouchSet& touches, const UIEvent* event) override;
    void touchesMoved(const UITouchSet& touches, const UIEvent* event) override;
    void touchesEnded(const UITouchSet& touches, const UIEvent* event) override;
    void touchesCancelled(const UITouchSet& touches, const UIEvent* event) override;
    // Return false to stop tracking the touch.
    virtual bool beginTracking(const UITouch& touch, const UIEvent* event);
    virtual bool continueTracking(const UITouch& touch, const UIEvent* event);
    virtual void endTracking(const UITouch* touch, const UIEvent* event);
    virtual void cancelTracking(const UIEvent* event);
    bool isTracking() const { return tracking_; }
    bool isTouchInside() const { return touchInside_; }

    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled) { enabled_ = enabled; }
    bool isSelected() const { return selected_; }
    void setSelected(bool selected) { selected_ = selected; }
    bool isHighlighted() const { return highlighted_; }
    void setHighlighted(bool highlighted) { highlighted_ = highlighted; }

private:
    struct Entry {
        std::weak_ptr<void> target;
        const void* targetKey = nullptr;
        std::string selector;
        Action action;
        std::uint32_t events = 0;
    };
    std::vector<Entry> entries_;
    bool enabled_ = true;
    bool selected_ = false;
    bool highlighted_ = false;
    bool tracking_ = false;
    bool touchInside_ = false;
};

} // namespace pf
