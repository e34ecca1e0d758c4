#include "ui/UILabel.h"

#include <algorithm>
#include <cmath>

#include "ui/UIApplication.h"
#include "ui/UIBezierPath.h"
#include "ui/UITouch.h"

namespace pf {

namespace {
void drawCentredText(const std::string& text, const CGRect& box, const UIFont& font,
                     const UIColor& color, NSTextAlignment alignment) {
    if (text.empty()) return;
    NSStringAttributes attributes;
    attributes.font = font;
    attributes.foregroundColor = color;
    attributes.paragraphStyle.alignment = alignment;
    const CGFloat h =
        boundingRect(text, {box.size.width, 1e9}, NSStringDrawingUsesLineFragmentOrigin, attributes)
            .size.height;
    drawText(text, {box.origin.x, box.origin.y + (box.size.height - h) / 2, box.size.width, h},
             attributes);
}
} // namespace

// ---- UILabel ------------------------------------------------------------------------------------

UILabel::UILabel(const CGRect& frame) : UIView(frame) {
    setUserInteractionEnabled(false);
}

void UILabel::setText(const std::string& text) {
    if (text == text_) return;
    text_ = text;
    setNeedsDisplay();
}

void UILabel::draw(const CGRect&) {
    drawCentredText(text_, bounds(), font, textColor, textAlignment);
}

// ---- UIButton -----------------------------------------------------------------------------------

UIButton::UIButton(const CGRect& frame) : UIControl(frame) {}

void UIButton::setTitle(const std::string& title) {
    if (title == title_) return;
    title_ = title;
    setNeedsDisplay();
}

void UIButton::draw(const CGRect&) {
    const CGRect b = bounds().insetBy(1, 1);
    if (b.isEmpty()) return;
    UIBezierPath outline = UIBezierPath::roundedRect(b, 6);
    (isHighlighted() ? tintColor.withAlphaComponent(0.3) : UIColor::clear()).setFill();
    outline.fill();
    tintColor.setStroke();
    outline.lineWidth = 1;
    outline.stroke();
    drawCentredText(title_, b, titleFont, tintColor, NSTextAlignment::center);
}

// ---- UISlider -----------------------------------------------------------------------------------

UISlider::UISlider(const CGRect& frame) : UIControl(frame) {}

void UISlider::setValue(float value) {
    const float v =
        std::isnan(value) ? minimumValue : std::clamp(value, minimumValue, maximumValue);
    if (v == value_) return;
    value_ = v;
    setNeedsDisplay();
}

void UISlider::trackTo(const UITouch& touch, const UIEvent* event, bool send) {
    const CGRect b = bounds();
    const CGFloat thumb = std::min<CGFloat>(b.size.height, 24);
    const CGFloat usable = std::max<CGFloat>(b.size.width - thumb, 1);
    const CGFloat x = touch.location(this).x - b.origin.x - thumb / 2;
    const float f = float(std::clamp<CGFloat>(x / usable, 0, 1));
    const float before = value_;
    setValue(minimumValue + f * (maximumValue - minimumValue));
    if (value_ == before) return;
    changedWhileTracking_ = true;
    if (send) sendActions(UIControlEventValueChanged, event);
}

bool UISlider::beginTracking(const UITouch& touch, const UIEvent* event) {
    changedWhileTracking_ = false;
    trackTo(touch, event, isContinuous);
    return true;
}

bool UISlider::continueTracking(const UITouch& touch, const UIEvent* event) {
    trackTo(touch, event, isContinuous);
    return true;
}

void UISlider::endTracking(const UITouch* touch, const UIEvent* event) {
    if (touch) trackTo(*touch, event, isContinuous);
    if (!isContinuous && changedWhileTracking_) sendActions(UIControlEventValueChanged, event);
}

void UISlider::draw(const CGRect&) {
    const CGRect b = bounds();
    const CGFloat thumb = std::min<CGFloat>(b.size.height, 24);
    if (thumb <= 0 || b.size.width <= thumb) return;
    const CGFloat span = maximumValue - minimumValue;
    const CGFloat f = span > 0 ? (value_ - minimumValue) / span : 0;
    const CGFloat cx = b.origin.x + thumb / 2 + f * (b.size.width - thumb);
    const CGFloat cy = b.midY();
    UIBezierPath track =
        UIBezierPath::roundedRect({b.origin.x + thumb / 2, cy - 2, b.size.width - thumb, 4}, 2);
    UIColor::white(0.6, 1).setFill();
    track.fill();
    tintColor.setFill();
    UIBezierPath::roundedRect({b.origin.x + thumb / 2, cy - 2, cx - b.origin.x - thumb / 2, 4}, 2)
        .fill();
    UIBezierPath knob =
        UIBezierPath::ovalIn({cx - thumb / 2 + 1, cy - thumb / 2 + 1, thumb - 2, thumb - 2});
    UIColor::white().setFill();
    knob.fill();
    UIColor::white(0.5, 1).setStroke();
    knob.stroke();
}

// ---- UITextField --------------------------------------------------------------------------------

UITextField::UITextField(const CGRect& frame) : UIControl(frame) {}

void UITextField::setText(const std::string& text) {
    if (text == text_) return;
    text_ = text;
    setNeedsDisplay();
}

bool UITextField::isFirstResponder() const {
    return UIApplication::shared().textReceiver().get() == this;
}

bool UITextField::becomeFirstResponder() {
    auto self = std::static_pointer_cast<UITextField>(shared_from_this());
    UIApplication::shared().setTextReceiver(self);
    sendActions(UIControlEventEditingDidBegin);
    setNeedsDisplay();
    return true;
}

void UITextField::resignFirstResponder() {
    if (!isFirstResponder()) return;
    UIApplication::shared().setTextReceiver(nullptr);
    sendActions(UIControlEventEditingDidEnd);
    setNeedsDisplay();
}

void UITextField::insertText(const std::string& text) {
    if (text.empty()) return;
    text_ += text;
    setNeedsDisplay();
    sendActions(UIControlEventEditingChanged);
}

void UITextField::deleteBackward() {
    if (text_.empty()) return;
    std::size_t cut = text_.size() - 1;
    while (cut > 0 && (static_cast<unsigned char>(text_[cut]) & 0xC0) == 0x80)
        --cut; // back to the lead byte of the last character
    text_.erase(cut);
    setNeedsDisplay();
    sendActions(UIControlEventEditingChanged);
}

void UITextField::touchesBegan(const UITouchSet& touches, const UIEvent* event) {
    UIControl::touchesBegan(touches, event);
    if (isEnabled()) becomeFirstResponder();
}

void UITextField::draw(const CGRect&) {
    const CGRect b = bounds().insetBy(0.5, 0.5);
    if (b.isEmpty()) return;
    UIBezierPath box = UIBezierPath::roundedRect(b, 4);
    UIColor::white().setFill();
    box.fill();
    UIColor::white(isFirstResponder() ? 0.3 : 0.7, 1).setStroke();
    box.stroke();
    const CGRect inner = b.insetBy(6, 0);
    if (text_.empty())
        drawCentredText(placeholder, inner, font, UIColor::white(0.6, 1), NSTextAlignment::left);
    else
        drawCentredText(text_, inner, font, UIColor::black(), NSTextAlignment::left);
}

} // namespace pf
