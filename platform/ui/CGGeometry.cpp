#include "ui/CGGeometry.h"

#include <algorithm>

namespace pf {

CGRect CGRect::null() {
    constexpr CGFloat inf = std::numeric_limits<CGFloat>::infinity();
    return {inf, inf, 0, 0};
}

bool CGRect::isNull() const {
    return std::isinf(origin.x) || std::isinf(origin.y);
}

bool CGRect::isEmpty() const {
    return isNull() || size.width == 0 || size.height == 0;
}

CGRect CGRect::standardized() const {
    if (isNull()) return *this;
    return {minX(), minY(), width(), height()};
}

bool CGRect::contains(CGPoint p) const {
    if (isNull()) return false;
    return p.x >= minX() && p.x < maxX() && p.y >= minY() && p.y < maxY();
}

bool CGRect::contains(const CGRect& r) const {
    if (isNull() || r.isNull()) return false;
    return r.minX() >= minX() && r.maxX() <= maxX() && r.minY() >= minY() && r.maxY() <= maxY();
}

bool CGRect::intersects(const CGRect& r) const {
    return !intersection(r).isNull();
}

CGRect CGRect::intersection(const CGRect& r) const {
    if (isNull() || r.isNull()) return null();
    const CGFloat x0 = std::max(minX(), r.minX());
    const CGFloat y0 = std::max(minY(), r.minY());
    const CGFloat x1 = std::min(maxX(), r.maxX());
    const CGFloat y1 = std::min(maxY(), r.maxY());
    if (x1 < x0 || y1 < y0) return null();
    return {x0, y0, x1 - x0, y1 - y0};
}

CGRect CGRect::unionWith(const CGRect& r) const {
    if (isNull()) return r.standardized();
    if (r.isNull()) return standardized();
    const CGFloat x0 = std::min(minX(), r.minX());
    const CGFloat y0 = std::min(minY(), r.minY());
    return {x0, y0, std::max(maxX(), r.maxX()) - x0, std::max(maxY(), r.maxY()) - y0};
}

CGRect CGRect::insetBy(CGFloat dx, CGFloat dy) const {
    if (isNull()) return *this;
    CGRect s = standardized();
    s.origin.x += dx;
    s.origin.y += dy;
    s.size.width -= 2 * dx;
    s.size.height -= 2 * dy;
    if (s.size.width < 0 || s.size.height < 0) return null();
    return s;
}

CGRect CGRect::offsetBy(CGFloat dx, CGFloat dy) const {
    if (isNull()) return *this;
    return {origin.x + dx, origin.y + dy, size.width, size.height};
}

CGRect CGRect::applying(const CGAffineTransform& t) const {
    if (isNull()) return *this;
    const CGPoint corners[4] = {
        pf::applying(CGPoint{minX(), minY()}, t), pf::applying(CGPoint{maxX(), minY()}, t),
        pf::applying(CGPoint{minX(), maxY()}, t), pf::applying(CGPoint{maxX(), maxY()}, t)};
    CGFloat x0 = corners[0].x, x1 = x0, y0 = corners[0].y, y1 = y0;
    for (const CGPoint& p : corners) {
        x0 = std::min(x0, p.x);
        x1 = std::max(x1, p.x);
        y0 = std::min(y0, p.y);
        y1 = std::max(y1, p.y);
    }
    return {x0, y0, x1 - x0, y1 - y0};
}

CGAffineTransform CGAffineTransform::makeRotation(CGFloat radians) {
    const CGFloat c = std::cos(radians), s = std::sin(radians);
    return {c, s, -s, c, 0, 0};
}

bool CGAffineTransform::isInvertible() const {
    const CGFloat det = determinant();
    return std::isfinite(a) && std::isfinite(b) && std::isfinite(c) && std::isfinite(d) &&
           std::isfinite(tx) && std::isfinite(ty) && std::isfinite(det) && det != 0;
}

CGAffineTransform CGAffineTransform::inverted() const {
    if (!isInvertible()) return *this;
    const CGFloat det = determinant();
    CGAffineTransform r;
    r.a = d / det;
    r.b = -b / det;
    r.c = -c / det;
    r.d = a / det;
    r.tx = (c * ty - d * tx) / det;
    r.ty = (b * tx - a * ty) / det;
    return r;
}

CGAffineTransform CGAffineTransform::concatenating(const CGAffineTransform& t) const {
    CGAffineTransform r;
    r.a = a * t.a + b * t.c;
    r.b = a * t.b + b * t.d;
    r.c = c * t.a + d * t.c;
    r.d = c * t.b + d * t.d;
    r.tx = tx * t.a + ty * t.c + t.tx;
    r.ty = tx * t.b + ty * t.d + t.ty;
    return r;
}

CGAffineTransform CGAffineTransform::translatedBy(CGFloat x, CGFloat y) const {
    return makeTranslation(x, y).concatenating(*this);
}

CGAffineTransform CGAffineTransform::scaledBy(CGFloat sx, CGFloat sy) const {
    return makeScale(sx, sy).concatenating(*this);
}

CGAffineTransform CGAffineTransform::rotated(CGFloat radians) const {
    return makeRotation(radians).concatenating(*this);
}

CGPoint applying(CGPoint p, const CGAffineTransform& t) {
    return {t.a * p.x + t.c * p.y + t.tx, t.b * p.x + t.d * p.y + t.ty};
}

CGSize applying(CGSize s, const CGAffineTransform& t) {
    return {t.a * s.width + t.c * s.height, t.b * s.width + t.d * s.height};
}

} // namespace pf
