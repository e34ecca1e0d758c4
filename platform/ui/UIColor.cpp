#include "ui/UIColor.h"

#include "ui/CGContext.h"

namespace pf {

bool UIColor::getRed(CGFloat* red, CGFloat* green, CGFloat* blue, CGFloat* alpha) const {
    if (red) *red = r_;
    if (green) *green = g_;
    if (blue) *blue = b_;
    if (alpha) *alpha = a_;
    return true;
}

void UIColor::setFill() const {
    if (CGContext* ctx = UIGraphicsGetCurrentContext()) ctx->setFillColor(*this);
}

void UIColor::setStroke() const {
    if (CGContext* ctx = UIGraphicsGetCurrentContext()) ctx->setStrokeColor(*this);
}

void UIColor::set() const {
    setFill();
    setStroke();
}

} // namespace pf
