// Offscreen rendering: image surfaces to draw into and to read back, and the rendering of a
// window or of any view (with its subtree) to an image or a PNG file. Tests, tools and the
// offscreen backend use it; nothing here needs a display. [main-thread]
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "ui/CGContext.h"
#include "ui/UIView.h"

typedef struct _cairo_surface cairo_surface_t;

namespace pf {

struct RGBA8 {
    std::uint8_t r = 0, g = 0, b = 0, a = 0;
    friend bool operator==(const RGBA8&, const RGBA8&) = default;
};

// An ARGB32 image (premultiplied in memory, as Cairo keeps it).
class ImageSurface {
public:
    ImageSurface(int width, int height); // transparent
    explicit ImageSurface(cairo_surface_t* adopt);
    ~ImageSurface();
    ImageSurface(ImageSurface&& other) noexcept;
    ImageSurface& operator=(ImageSurface&& other) noexcept;
    ImageSurface(const ImageSurface&) = delete;
    ImageSurface& operator=(const ImageSurface&) = delete;

    int width() const;
    int height() const;
    cairo_surface_t* surface() const { return surface_; }
    // The pixel, un-premultiplied; transparent black outside the image.
    RGBA8 pixel(int x, int y) const;
    void fill(const UIColor& color);
    // Writes the image as PNG over the regular file at `path` (made when missing). False when the
    // file cannot be written, and for anything but a regular file (a named pipe, a device, a
    // directory), which is refused without blocking and left untouched.
    bool writePNG(const std::string& path) const;

private:
    cairo_surface_t* surface_ = nullptr;
};

// A graphics context on an image, scaled so that one user unit is `scale` pixels. It is the
// current context while a `ScopedCurrentContext` on `context()` lives.
class BitmapContext {
public:
    BitmapContext(int widthPoints, int heightPoints, CGFloat scale = 1);
    ~BitmapContext();
    CGContext& context() { return *ctx_; }
    const ImageSurface& image() const { return image_; }
    ImageSurface& image() { return image_; }

private:
    ImageSurface image_;
    std::unique_ptr<CGContext> ctx_;
};

// Lays out and displays the view's subtree, then composites it (transform included) into a
// new image of its frame's size times `scale`, the frame's origin at the image's origin.
ImageSurface renderView(UIView& view, CGFloat scale = 1);
// The same, written as PNG. False when the file cannot be written.
bool renderToPNG(UIView& view, const std::string& path, CGFloat scale = 1);

} // namespace pf
