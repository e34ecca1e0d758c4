#include "ui/Offscreen.h"

#include <cairo.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

namespace pf {

ImageSurface::ImageSurface(int width, int height)
    : surface_(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, std::max(width, 0),
                                          std::max(height, 0))) {}

ImageSurface::ImageSurface(cairo_surface_t* adopt) : surface_(adopt) {}

ImageSurface::~ImageSurface() {
    if (surface_) cairo_surface_destroy(surface_);
}

ImageSurface::ImageSurface(ImageSurface&& other) noexcept
    : surface_(std::exchange(other.surface_, nullptr)) {}

ImageSurface& ImageSurface::operator=(ImageSurface&& other) noexcept {
    if (this != &other) {
        if (surface_) cairo_surface_destroy(surface_);
        surface_ = std::exchange(other.surface_, nullptr);
    }
    return *this;
}

int ImageSurface::width() const {
    return surface_ ? cairo_image_surface_get_width(surface_) : 0;
}

int ImageSurface::height() const {
    return surface_ ? cairo_image_surface_get_height(surface_) : 0;
}

RGBA8 ImageSurface::pixel(int x, int y) const {
    if (!surface_ || x < 0 || y < 0 || x >= width() || y >= height()) return {};
    cairo_surface_flush(surface_);
    const unsigned char* data = cairo_image_surface_get_data(surface_);
    const int stride = cairo_image_surface_get_stride(surface_);
    std::uint32_t v;
    std::memcpy(&v, data + y * stride + x * 4, 4);
    const std::uint8_t a = v >> 24;
    if (a == 0) return {};
    auto un = [a](std::uint32_t c) {
        return static_cast<std::uint8_t>(std::min<std::uint32_t>(255, (c * 255 + a / 2) / a));
    };
    return {un((v >> 16) & 0xff), un((v >> 8) & 0xff), un(v & 0xff), a};
}

void ImageSurface::fill(const UIColor& color) {
    cairo_t* cr = cairo_create(surface_);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_rgba(cr, color.red(), color.green(), color.blue(), color.alpha());
    cairo_paint(cr);
    cairo_destroy(cr);
}

bool ImageSurface::writePNG(const std::string& path) const {
    if (!surface_) return false;
    std::vector<unsigned char> png;
    const auto append = [](void* closure, const unsigned char* data, unsigned int length) {
        auto* out = static_cast<std::vector<unsigned char>*>(closure);
        out->insert(out->end(), data, data + length);
        return CAIRO_STATUS_SUCCESS;
    };
    if (cairo_surface_write_to_png_stream(surface_, append, &png) != CAIRO_STATUS_SUCCESS)
        return false;
    // Opened without blocking (opening a named pipe for writing would wait for a reader) and
    // checked before anything is written. Opening truncates regular files only.
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    struct stat st {};
    bool written = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    for (std::size_t done = 0; written && done < png.size();) {
        const auto n = ::write(fd, png.data() + done, png.size() - done);
        if (n < 0 && errno == EINTR) continue;
        written = n > 0;
        if (written) done += static_cast<std::size_t>(n);
    }
    return ::close(fd) == 0 && written;
}

BitmapContext::BitmapContext(int widthPoints, int heightPoints, CGFloat scale)
    : image_(static_cast<int>(std::ceil(widthPoints * scale)),
             static_cast<int>(std::ceil(heightPoints * scale))) {
    cairo_t* cr = cairo_create(image_.surface());
    cairo_scale(cr, scale, scale);
    ctx_ = std::make_unique<CGContext>(cr);
    cairo_destroy(cr);
}

BitmapContext::~BitmapContext() = default;

ImageSurface renderView(UIView& view, CGFloat scale) {
    if (!(scale > 0) || !std::isfinite(scale)) scale = 1;
    view.layoutIfNeeded();
    view.displayIfNeeded(scale);
    const CGRect f = view.frame();
    ImageSurface image(static_cast<int>(std::ceil(f.width() * scale)),
                       static_cast<int>(std::ceil(f.height() * scale)));
    cairo_t* cr = cairo_create(image.surface());
    cairo_scale(cr, scale, scale);
    cairo_translate(cr, -f.minX(), -f.minY());
    view.renderInto(cr);
    cairo_destroy(cr);
    cairo_surface_flush(image.surface());
    return image;
}

bool renderToPNG(UIView& view, const std::string& path, CGFloat scale) {
    return renderView(view, scale).writePNG(path);
}

} // namespace pf
