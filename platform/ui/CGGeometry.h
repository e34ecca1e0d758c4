// Geometry of the drawing layer: points, sizes, rectangles and affine transforms in the
// platform's view coordinates (x to the right, y downwards). Plain values, usable on any thread.
#pragma once

#include <cmath>
#include <limits>

namespace pf {

using CGFloat = double;

struct CGPoint {
    CGFloat x = 0;
    CGFloat y = 0;
    static constexpr CGPoint zero() { return {}; }
    friend constexpr bool operator==(CGPoint, CGPoint) = default;
};

struct CGSize {
    CGFloat width = 0;
    CGFloat height = 0;
    static constexpr CGSize zero() { return {}; }
    friend constexpr bool operator==(CGSize, CGSize) = default;
};

struct CGAffineTransform;

// A rectangle as origin and size. Width and height may be negative ("not standardised");
// the min/max accessors and the set operations work on the standardised form, as the platform's do.
struct CGRect {
    CGPoint origin;
    CGSize size;

    constexpr CGRect() = default;
    constexpr CGRect(CGPoint o, CGSize s) : origin(o), size(s) {}
    constexpr CGRect(CGFloat x, CGFloat y, CGFloat w, CGFloat h) : origin{x, y}, size{w, h} {}
    static constexpr CGRect zero() { return {}; }
    // The null rectangle: what the intersection of two disjoint rectangles is.
    static CGRect null();

    CGFloat width() const { return std::fabs(size.width); }
    CGFloat height() const { return std::fabs(size.height); }
    CGFloat minX() const { return size.width < 0 ? origin.x + size.width : origin.x; }
    CGFloat minY() const { return size.height < 0 ? origin.y + size.height : origin.y; }
    CGFloat maxX() const { return minX() + width(); }
    CGFloat maxY() const { return minY() + height(); }
    CGFloat midX() const { return minX() + width() / 2; }
    CGFloat midY() const { return minY() + height() / 2; }

    bool isNull() const;
    bool isEmpty() const; // null, or zero width or height
    CGRect standardized() const;
    // Half-open: a point on the right or bottom edge is outside, as the platform's rule says.
    bool contains(CGPoint p) const;
    bool contains(const CGRect& r) const;
    // True when the intersection is not null (edge-touching rectangles intersect).
    bool intersects(const CGRect& r) const;
    CGRect intersection(const CGRect& r) const;
    CGRect unionWith(const CGRect& r) const;
    CGRect insetBy(CGFloat dx, CGFloat dy) const;
    CGRect offsetBy(CGFloat dx, CGFloat dy) const;
    // The bounding box of the transformed rectangle.
    CGRect applying(const CGAffineTransform& t) const;

    friend constexpr bool operator==(const CGRect&, const CGRect&) = default;
};

// Row-vector convention, as the platform's: x' = a*x + c*y + tx, y' = b*x + d*y + ty.
struct CGAffineTransform {
    CGFloat a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;

    static constexpr CGAffineTransform identity() { return {}; }
    static CGAffineTransform makeTranslation(CGFloat x, CGFloat y) { return {1, 0, 0, 1, x, y}; }
    static CGAffineTransform makeScale(CGFloat sx, CGFloat sy) { return {sx, 0, 0, sy, 0, 0}; }
    static CGAffineTransform makeRotation(CGFloat radians);

    bool isIdentity() const { return *this == identity(); }
    CGFloat determinant() const { return a * d - b * c; }
    // True when every entry is finite and the determinant is finite and non-zero.
    bool isInvertible() const;
    // The inverse, or the transform unchanged when it is not invertible (the platform's rule).
    CGAffineTransform inverted() const;
    // this first, then t.
    CGAffineTransform concatenating(const CGAffineTransform& t) const;
    CGAffineTransform translatedBy(CGFloat x, CGFloat y) const;
    CGAffineTransform scaledBy(CGFloat sx, CGFloat sy) const;
    CGAffineTransform rotated(CGFloat radians) const;

    friend constexpr bool operator==(const CGAffineTransform&, const CGAffineTransform&) = default;
};

CGPoint applying(CGPoint p, const CGAffineTransform& t);
CGSize applying(CGSize s, const CGAffineTransform& t);

} // namespace pf
