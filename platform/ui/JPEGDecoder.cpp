#include "ui/JPEGDecoder.h"

#include <cairo.h>

#ifdef PF_UI_HAVE_JPEG
#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>
#endif

namespace pf {

#ifdef PF_UI_HAVE_JPEG

namespace {

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

[[noreturn]] void onError(j_common_ptr info) {
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}

void quiet(j_common_ptr) {}

// Decodes into `surface` (created here). Kept free of objects with destructors, since an error
// leaves it through longjmp.
bool decode(std::span<const std::uint8_t> data, cairo_surface_t** surface) {
    jpeg_decompress_struct info;
    ErrorManager err;
    info.err = jpeg_std_error(&err.base);
    err.base.error_exit = onError;
    err.base.output_message = quiet;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data.data(), static_cast<unsigned long>(data.size()));
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    // Cairo's ARGB32 in memory: B, G, R, A on little-endian machines, A, R, G, B otherwise.
    info.out_color_space =
        (__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__) ? JCS_EXT_BGRA : JCS_EXT_ARGB;
    jpeg_start_decompress(&info);
    if (info.output_width > 16384 || info.output_height > 16384 || info.output_components != 4) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    *surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, static_cast<int>(info.output_width),
                                          static_cast<int>(info.output_height));
    unsigned char* pixels = cairo_image_surface_get_data(*surface);
    const int stride = cairo_image_surface_get_stride(*surface);
    if (!pixels) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = pixels + static_cast<std::ptrdiff_t>(info.output_scanline) * stride;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    cairo_surface_mark_dirty(*surface);
    return true;
}

} // namespace

bool jpegDecodingAvailable() {
    return true;
}

cairo_surface_t* decodeJPEG(std::span<const std::uint8_t> data) {
    cairo_surface_t* surface = nullptr;
    if (!decode(data, &surface)) {
        if (surface) cairo_surface_destroy(surface);
        return nullptr;
    }
    return surface;
}

#else

bool jpegDecodingAvailable() {
    return false;
}

cairo_surface_t* decodeJPEG(std::span<const std::uint8_t>) {
    return nullptr;
}

#endif

} // namespace pf
