// Controls with text: a label, a push button, a slider and a one-line text field, drawn with the
// layer's own text and path drawing in a plain flat style. [main-thread] All of it.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "ui/TextDrawing.h"
#include "ui/UIColor.h"
#include "ui/UIControl.h"
#include "ui/UIFont.h"

namespace pf {

// Text in a rectangle, vertically centred, wrapped at its width. Takes no touches.
class UILabel : public UIView {
public:
    explicit UILabel(const CGRect& frame = CGRect::zero());
    const std::string& text() const { return text_; }
    void setText(const std::string& text);
    UIFont font = UIFont::systemFont(17);
    UIColor textColor = UIColor::black();
    NSTextAlignment textAlignment = NSTextAlignment::natural;
    // Changing the font, colour or alignment needs a setNeedsDisplay() of its own.
    void draw(const CGRect& rect) override;

private:
    std::string text_;
};

// A button with a title; it sends its actions through the control's tracking (an action for
// touchUpInside is its tap).
class UIButton : public UIControl {
public:
    explicit UIButton(const CGRect& frame = CGRect::zero());
    const std::string& title() const { return title_; }
    void setTitle(const std::string& title);
    UIColor tintColor{0.0, 0.48, 1.0, 1};
    UIFont titleFont = UIFont::systemFont(15);
    void draw(const CGRect& rect) override;

private:
    std::string title_;
};

// A horizontal slider; dragging the thumb sets the value (clamped to the range) and sends
// valueChanged while it moves (on release only when not continuous).
class UISlider : public UIControl {
public:
    explicit UISlider(const CGRect& frame = CGRect::zero());
    float value() const { return value_; }
    // Clamped to minimumValue..maximumValue; no action is sent.
    void setValue(float value);
    float minimumValue = 0;
    float maximumValue = 1;
    bool isContinuous = true;
    UIColor tintColor{0.0, 0.48, 1.0, 1};

    bool beginTracking(const UITouch& touch, const UIEvent* event) override;
    bool continueTracking(const UITouch& touch, const UIEvent* event) override;
    void endTracking(const UITouch* touch, const UIEvent* event) override;
    void draw(const CGRect& rect) override;

private:
    void trackTo(const UITouch& touch, const UIEvent* event, bool send);
    float value_ = 0;
    bool changedWhileTracking_ = false;
};

// A one-line editable text. A touch makes it the application's text receiver (UIApplication);
// typed text is appended, backspace removes the last character (UTF-8 aware).
class UITextField : public UIControl {
public:
    explicit UITextField(const CGRect& frame = CGRect::zero());
    const std::string& text() const { return text_; }
    void setText(const std::string& text);
    std::string placeholder;
    UIFont font = UIFont::systemFont(15);

    bool isFirstResponder() const;
    bool becomeFirstResponder();
    void resignFirstResponder();
    // Keyboard input (the application calls these on its first responder).
    void insertText(const std::string& text);
    void deleteBackward();

    void touchesBegan(const UITouchSet& touches, const UIEvent* event) override;
    void draw(const CGRect& rect) override;

private:
    std::string text_;
};

} // namespace pf
