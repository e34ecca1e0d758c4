#include "ui/UIImageView.h"

namespace pf {

UIImageView::UIImageView(const CGRect& frame) : UIView(frame) {}

UIImageView::UIImageView(std::shared_ptr<UIImage> image)
    : UIView(image ? CGRect{{0, 0}, image->size()} : CGRect::zero()), image_(std::move(image)) {}

void UIImageView::setImage(std::shared_ptr<UIImage> image) {
    if (image == image_) return;
    image_ = std::move(image);
    setNeedsDisplay();
}

void UIImageView::draw(const CGRect& /*rect*/) {
    // An image view always keeps a layer, even while it shows nothing, so a later image shows.
    if (image_) image_->draw(bounds());
}

} // namespace pf
