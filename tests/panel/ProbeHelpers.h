// Helpers shared by the panel tests: colour comparison and pixel probes with a tolerance.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "ui/Offscreen.h"
#include "ui/UIColor.h"

inline ::testing::AssertionResult colorNear(const pf::UIColor& a, const pf::UIColor& b) {
    const double d = std::fabs(a.red() - b.red()) + std::fabs(a.green() - b.green()) +
                     std::fabs(a.blue() - b.blue()) + std::fabs(a.alpha() - b.alpha());
    if (d < 1e-9) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "(" << a.red() << ", " << a.green() << ", " << a.blue() << ", " << a.alpha()
           << ") vs (" << b.red() << ", " << b.green() << ", " << b.blue() << ", " << b.alpha()
           << ")";
}

// The pixel containing the point (x, y) of the image, against an expected colour in 0..255
// (fractions allowed), within 2/255 on each opaque channel.
inline ::testing::AssertionResult pixelNear(const pf::ImageSurface& img, double x, double y,
                                            double r, double g, double b, double a = 255) {
    const pf::RGBA8 p = img.pixel(static_cast<int>(std::floor(x)), static_cast<int>(std::floor(y)));
    const bool ok =
        std::fabs(p.a - a) <= 2 &&
        (a == 0 || (std::fabs(p.r - r) <= 2 && std::fabs(p.g - g) <= 2 && std::fabs(p.b - b) <= 2));
    if (ok) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "pixel (" << x << ", " << y << ") is (" << int(p.r) << ", " << int(p.g) << ", "
           << int(p.b) << ", " << int(p.a) << "), expected (" << r << ", " << g << ", " << b << ", "
           << a << ")";
}

// An image rendered on an opaque black ground: a pixel of the drawing over black.
inline bool isBlack(const pf::ImageSurface& img, double x, double y) {
    const pf::RGBA8 p = img.pixel(static_cast<int>(x), static_cast<int>(y));
    return p.r <= 2 && p.g <= 2 && p.b <= 2;
}
