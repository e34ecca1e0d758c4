#include "ui/UIControl.h"

#include <algorithm>

#include "ui/UITouch.h"

namespace pf {

UIControl::UIControl(const CGRect& frame) : UIView(frame) {}

void UIControl::addTarget(const std::shared_ptr<void>& target, const std::string& selector,
                          Action action, std::uint32_t events) {
    if (!action || events == 0) return;
    for (Entry& e : entries_) {
        if (e.targetKey == target.get() && e.selector == selector) {
            e.events |= events;
            return;
        }
    }
    entries_.push_back({target, target.get(), selector, std::move(action), events});
}

void UIControl::removeTarget(const void* target, std::uint32_t events) {
    for (Entry& e : entries_)
        if (!target || e.targetKey == target) e.events &= ~events;
    entries_.erase(std::remove_if(entries_.begin(), entries_.end(),
                                  [](const Entry& e) { return e.events == 0; }),
                   entries_.end());
}

std::vector<std::string> UIControl::actions(const void* target, std::uint32_t event) const {
    std::vector<std::string> out;
    for (const Entry& e : entries_)
        if (e.targetKey == target && (e.events & event)) out.push_back(e.selector);
    return out;
}

std::uint32_t UIControl::allControlEvents() const {
    std::uint32_t all = 0;
    for (const Entry& e : entries_)
        all |= e.events;
    return all;
}

void UIControl::sendActions(std::uint32_t events, const UIEvent* event) {
    // Keep this control alive and work on a copy: an action may remove targets or the control.
    const auto self = weak_from_this().lock();
    const std::vector<Entry> snapshot = entries_;
    bool expired = false;
    for (const Entry& e : snapshot) {
        if (!(e.events & events)) continue;
        if (e.targetKey && e.target.expired()) {
            expired = true;
            continue;
        }
        e.action(*this, event);
    }
    if (expired) {
        entries_.erase(
            std::remove_if(entries_.begin(), entries_.end(),
                           [](const Entry& e) { return e.targetKey && e.target.expired(); }),
            entries_.end());
    }
}

bool UIControl::beginTracking(const UITouch&, const UIEvent*) {
    return true;
}
bool UIControl::continueTracking(const UITouch&, const UIEvent*) {
    return true;
}
void UIControl::endTracking(const UITouch*, const UIEvent*) {}
void UIControl::cancelTracking(const UIEvent*) {}

void UIControl::touchesBegan(const UITouchSet& touches, const UIEvent* event) {
    if (!enabled_ || touches.empty()) return;
    const auto keep = weak_from_this().lock();
    const UITouch& touch = *touches.front();
    touchInside_ = true;
    tracking_ = beginTracking(touch, event);
    setHighlighted(true);
    sendActions(UIControlEventTouchDown, event);
}

void UIControl::touchesMoved(const UITouchSet& touches, const UIEvent* event) {
    if (!enabled_ || touches.empty()) return;
    const auto keep = weak_from_this().lock();
    const UITouch& touch = *touches.front();
    const bool inside = pointInside(touch.location(this), event);
    setHighlighted(inside);
    if (tracking_) tracking_ = continueTracking(touch, event);
    touchInside_ = inside;
    sendActions(inside ? UIControlEventTouchDragInside : UIControlEventTouchDragOutside, event);
}

void UIControl::touchesEnded(const UITouchSet& touches, const UIEvent* event) {
    if (!enabled_ || touches.empty()) return;
    const auto keep = weak_from_this().lock();
    const UITouch& touch = *touches.front();
    touchInside_ = pointInside(touch.location(this), event);
    if (tracking_) endTracking(&touch, event);
    tracking_ = false;
    setHighlighted(false);
    sendActions(touchInside_ ? UIControlEventTouchUpInside : UIControlEventTouchUpOutside, event);
}

void UIControl::touchesCancelled(const UITouchSet&, const UIEvent* event) {
    if (!enabled_) return;
    const auto keep = weak_from_this().lock();
    if (tracking_) cancelTracking(event);
    tracking_ = false;
    setHighlighted(false);
    sendActions(UIControlEventTouchCancel, event);
}

} // namespace pf
