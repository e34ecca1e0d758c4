#include "ResizingBehavior.h"

#include <algorithm>
#include <cmath>

namespace panel {

ResizedRect resize(ResizingKind kind, const CGRect& rect, const CGRect& target) {
    if (rect == target || target == CGRect::zero()) return {rect, std::nullopt};
    CGFloat sx = std::fabs(target.size.width / rect.size.width);
    CGFloat sy = std::fabs(target.size.height / rect.size.height);
    switch (kind) {
    case ResizingKind::aspectFit:
        sx = sy = std::min(sx, sy);
        break;
    case ResizingKind::aspectFill:
        sx = sy = std::max(sx, sy);
        break;
    case ResizingKind::stretch:
        break;
    case ResizingKind::center:
        sx = sy = 1;
        break;
    }
    CGRect result = rect.standardized();
    result.size.width *= sx;
    result.size.height *= sy;
    result.origin.x = target.minX() + (target.width() - result.size.width) / 2;
    result.origin.y = target.minY() + (target.height() - result.size.height) / 2;
    return {result, CGSize{sx, sy}};
}

} // namespace panel
