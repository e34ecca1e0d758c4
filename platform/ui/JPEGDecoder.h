// JPEG decoding for UIImage, available when the build found libjpeg. [any-thread]
#pragma once

#include <cstdint>
#include <span>

typedef struct _cairo_surface cairo_surface_t;

namespace pf {

// True when this build decodes JPEG.
bool jpegDecodingAvailable();
// A new ARGB32 surface (the caller owns it), or null for data that is no decodable JPEG.
cairo_surface_t* decodeJPEG(std::span<const std::uint8_t> data);

} // namespace pf
