// Shared by the tests of presents: an exact comparison of two images, and a view that draws a
// small mark in a large transparent area.
#pragma once

#include <cairo.h>

#include <cstring>

#include "ui/Offscreen.h"
#include "ui/UIBezierPath.h"
#include "ui/UIView.h"

// Every byte of two images of one size.
inline bool samePixels(const pf::ImageSurface& a, const pf::ImageSurface& b) {
    cairo_surface_flush(a.surface());
    cairo_surface_flush(b.surface());
    return a.width() == b.width() && a.height() == b.height() &&
           std::memcmp(cairo_image_surface_get_data(a.surface()),
                       cairo_image_surface_get_data(b.surface()),
                       std::size_t(cairo_image_surface_get_stride(a.surface())) * a.height()) == 0;
}

// Draws a small mark at `at` in a large transparent view, as the meter draws its needles over
// the whole panel.
class Marker : public pf::UIView {
public:
    using pf::UIView::UIView;
    void draw(const pf::CGRect&) override {
        pf::UIColor(1, 1, 0, 1).setFill();
        pf::UIBezierPath::rect({at.x, at.y, 6, 6}).fill();
    }
    pf::CGPoint at{20, 20};
};
