// Fonts by name and size, resolved to the faces installed on the machine.
//
// The panel names faces of another platform. They map to metric stand-ins from fonts-urw-base35:
//   "HelveticaNeue-CondensedBold"          -> Nimbus Sans Narrow, bold
//   "HelveticaNeue", the system font       -> Nimbus Sans (DejaVu Sans when it is missing)
// Any other name is taken as a family name. A name resolves only when fontconfig actually loads
// a face of the mapped family (fontconfig would otherwise substitute another face silently);
// otherwise `named` yields no font, as the platform's failable initialiser does.
//
// Sizes are absolute, in user-space units, so text scales with the context's transform.
// [main-thread]
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "ui/CGGeometry.h"

typedef struct _PangoFontDescription PangoFontDescription;

namespace pf {

class UIFont {
public:
    static std::optional<UIFont> named(const std::string& fontName, CGFloat size);
    static UIFont systemFont(CGFloat size);

    const std::string& fontName() const { return fontName_; }
    // The family fontconfig loaded for this font, e.g. "Nimbus Sans Narrow".
    const std::string& familyName() const { return family_; }
    bool isBold() const { return bold_; }
    CGFloat pointSize() const { return size_; }
    UIFont withSize(CGFloat size) const;

    // The Pango description of this font (owned by the font; valid while it lives).
    const PangoFontDescription* pangoDescription() const { return desc_.get(); }

private:
    UIFont(std::string fontName, std::string family, bool bold, CGFloat size);

    std::string fontName_;
    std::string family_;
    bool bold_ = false;
    CGFloat size_ = 0;
    std::shared_ptr<PangoFontDescription> desc_;
};

} // namespace pf
