// Decoded images (PNG; JPEG when the build has libjpeg) held as Cairo image surfaces, drawn into
// the current context. [main-thread] for draw; decoding is [any-thread].
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "ui/CGGeometry.h"

typedef struct _cairo_surface cairo_surface_t;

namespace pf {

class UIImage {
public:
    // The largest image file read: far above any picture the system shows, far below what would
    // strain memory.
    static constexpr std::size_t kMaxFileBytes = std::size_t{64} << 20; // 64 MiB

    // Decodes PNG or JPEG data; no image for anything else or a broken file.
    static std::shared_ptr<UIImage> fromData(std::span<const std::uint8_t> data);
    // The image in the regular file at `path`. No image for anything else at `path` (a named
    // pipe, a device, a directory: refused without blocking and without reading), for a file
    // larger than kMaxFileBytes (refused before anything is read) or for data that is no image.
    static std::shared_ptr<UIImage> contentsOfFile(const std::string& path);
    // Takes a reference on an ARGB32 image surface.
    static std::shared_ptr<UIImage> fromSurface(cairo_surface_t* surface);
    ~UIImage();
    UIImage(const UIImage&) = delete;
    UIImage& operator=(const UIImage&) = delete;

    CGSize size() const;
    cairo_surface_t* surface() const { return surface_; }
    // Draws the image scaled to fill `rect`.
    void draw(const CGRect& rect) const;

private:
    explicit UIImage(cairo_surface_t* s) : surface_(s) {}
    cairo_surface_t* surface_;
};

} // namespace pf
