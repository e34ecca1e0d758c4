#include "ui/UIImage.h"

#include <cairo.h>

#include <cstring>

#include "core/FileManager.h"
#include "ui/CGContext.h"
#include "ui/JPEGDecoder.h"

namespace pf {

namespace {

struct Reader {
    std::span<const std::uint8_t> data;
    std::size_t pos = 0;
};

cairo_status_t readChunk(void* closure, unsigned char* out, unsigned int length) {
    auto* r = static_cast<Reader*>(closure);
    if (r->data.size() - r->pos < length) return CAIRO_STATUS_READ_ERROR;
    std::memcpy(out, r->data.data() + r->pos, length);
    r->pos += length;
    return CAIRO_STATUS_SUCCESS;
}

constexpr std::uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};

} // namespace

std::shared_ptr<UIImage> UIImage::fromData(std::span<const std::uint8_t> data) {
    if (data.size() >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) {
        cairo_surface_t* s = decodeJPEG(data);
        return s ? std::shared_ptr<UIImage>(new UIImage(s)) : nullptr;
    }
    if (data.size() < sizeof kPngSignature ||
        std::memcmp(data.data(), kPngSignature, sizeof kPngSignature) != 0)
        return nullptr;
    Reader reader{data};
    cairo_surface_t* s = cairo_image_surface_create_from_png_stream(readChunk, &reader);
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(s);
        return nullptr;
    }
    return std::shared_ptr<UIImage>(new UIImage(s));
}

std::shared_ptr<UIImage> UIImage::contentsOfFile(const std::string& path) {
    const auto bytes = FileManager::defaultManager().contents(path, kMaxFileBytes);
    return bytes ? fromData(*bytes) : nullptr;
}

std::shared_ptr<UIImage> UIImage::fromSurface(cairo_surface_t* surface) {
    if (!surface || cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) return nullptr;
    return std::shared_ptr<UIImage>(new UIImage(cairo_surface_reference(surface)));
}

UIImage::~UIImage() {
    cairo_surface_destroy(surface_);
}

CGSize UIImage::size() const {
    return {static_cast<CGFloat>(cairo_image_surface_get_width(surface_)),
            static_cast<CGFloat>(cairo_image_surface_get_height(surface_))};
}

void UIImage::draw(const CGRect& rect) const {
    CGContext* ctx = UIGraphicsGetCurrentContext();
    const CGRect r = rect.standardized();
    const CGSize s = size();
    if (!ctx || ctx->isDrawingSuppressed() || r.isEmpty() || s.width <= 0 || s.height <= 0) return;
    ctx->saveGState();
    ctx->translateBy(r.minX(), r.minY());
    ctx->scaleBy(r.width() / s.width, r.height() / s.height);
    if (!ctx->isDrawingSuppressed()) {
        cairo_t* cr = ctx->cairo();
        cairo_set_source_surface(cr, surface_, 0, 0);
        // Edge pixels extend to the rectangle's edges instead of fading out when scaled up.
        cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
        cairo_rectangle(cr, 0, 0, s.width, s.height);
        cairo_fill(cr);
    }
    ctx->restoreGState();
}

} // namespace pf
