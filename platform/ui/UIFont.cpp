#include "ui/UIFont.h"

#include <pango/pangocairo.h>
#include <strings.h>

#include <map>
#include <vector>

#include "ui/TextDrawing.h"

namespace pf {

namespace {

struct Face {
    std::string family;
    bool bold = false;
};

const std::string kSystemFontName = ".SFUI-Regular";

std::vector<Face> candidatesFor(const std::string& name) {
    if (name == "HelveticaNeue-CondensedBold") return {{"Nimbus Sans Narrow", true}};
    if (name == "HelveticaNeue" || name == kSystemFontName)
        return {{"Nimbus Sans", false}, {"DejaVu Sans", false}};
    if (name == "HelveticaNeue-Bold") return {{"Nimbus Sans", true}, {"DejaVu Sans", true}};
    return {{name, false}};
}

PangoFontDescription* describe(const Face& face, CGFloat size) {
    PangoFontDescription* d = pango_font_description_new();
    pango_font_description_set_family(d, face.family.c_str());
    pango_font_description_set_weight(d, face.bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_font_description_set_style(d, PANGO_STYLE_NORMAL);
    pango_font_description_set_absolute_size(d, size * PANGO_SCALE);
    return d;
}

// True when fontconfig loads a face of exactly this family (and weight) for the description.
bool isInstalled(const Face& face) {
    PangoFontDescription* d = describe(face, 12);
    PangoFont* font =
        pango_font_map_load_font(pango_cairo_font_map_get_default(), textMeasuringContext(), d);
    bool ok = false;
    if (font) {
        PangoFontDescription* loaded = pango_font_describe(font);
        const char* fam = pango_font_description_get_family(loaded);
        const bool bold = pango_font_description_get_weight(loaded) >= PANGO_WEIGHT_SEMIBOLD;
        ok = fam && strcasecmp(fam, face.family.c_str()) == 0 && bold == face.bold;
        pango_font_description_free(loaded);
        g_object_unref(font);
    }
    pango_font_description_free(d);
    return ok;
}

// Resolutions are remembered: the panel creates its fonts on every draw.
std::optional<Face> resolve(const std::string& name) {
    static std::map<std::string, std::optional<Face>> cache;
    auto it = cache.find(name);
    if (it != cache.end()) return it->second;
    std::optional<Face> found;
    for (const Face& f : candidatesFor(name)) {
        if (isInstalled(f)) {
            found = f;
            break;
        }
    }
    cache.emplace(name, found);
    return found;
}

} // namespace

UIFont::UIFont(std::string fontName, std::string family, bool bold, CGFloat size)
    : fontName_(std::move(fontName)), family_(std::move(family)), bold_(bold), size_(size) {
    desc_.reset(describe({family_, bold_}, size_), pango_font_description_free);
}

std::optional<UIFont> UIFont::named(const std::string& fontName, CGFloat size) {
    if (fontName.empty() || !std::isfinite(size) || size < 0) return std::nullopt;
    std::optional<Face> face = resolve(fontName);
    if (!face) return std::nullopt;
    return UIFont(fontName, face->family, face->bold, size);
}

UIFont UIFont::systemFont(CGFloat size) {
    if (!std::isfinite(size) || size < 0) size = 0;
    std::optional<Face> face = resolve(kSystemFontName);
    // With neither stand-in installed, Pango's generic family still draws something.
    if (!face) face = Face{"Sans", false};
    return UIFont(kSystemFontName, face->family, face->bold, size);
}

UIFont UIFont::withSize(CGFloat size) const {
    return UIFont(fontName_, family_, bold_, size);
}

} // namespace pf
