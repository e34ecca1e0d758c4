// Pixel probes with a tolerance, shared by the panel tests.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "ui/Offscreen.h"
#include "ui/UIColor.h"

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
