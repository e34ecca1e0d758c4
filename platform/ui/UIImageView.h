// A view that shows an image scaled to fill its bounds. [main-thread]
#pragma once

#include <memory>

#include "ui/UIImage.h"
#include "ui/UIView.h"

namespace pf {

class UIImageView : public UIView {
public:
    explicit UIImageView(const CGRect& frame = CGRect::zero());
    explicit UIImageView(std::shared_ptr<UIImage> image);

    const std::shared_ptr<UIImage>& image() const { return image_; }
    // Shows another image (none: nothing); redraws only when the image changes.
    void setImage(std::shared_ptr<UIImage> image);

    void draw(const CGRect& rect) override;

private:
    std::shared_ptr<UIImage> image_;
};

} // namespace pf
