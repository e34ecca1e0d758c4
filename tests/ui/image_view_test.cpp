#include <gtest/gtest.h>

#include "ui/Offscreen.h"
#include "ui/UIImageView.h"

using namespace pf;

TEST(ImageViewDrawing, ShowsItsImageScaledToItsBoundsAndRedrawsOnlyOnChange) {
    ImageSurface blue(1, 1);
    blue.fill(UIColor(0, 0, 1, 1));
    auto image = UIImage::fromSurface(blue.surface());
    auto view = std::make_shared<UIImageView>(CGRect{0, 0, 8, 6});
    EXPECT_EQ(renderView(*view).pixel(4, 3).a, 0);
    view->setImage(image);
    ImageSurface shot = renderView(*view);
    EXPECT_EQ(shot.pixel(0, 0), (RGBA8{0, 0, 255, 255}));
    EXPECT_EQ(shot.pixel(7, 5), (RGBA8{0, 0, 255, 255}));
    const auto draws = view->layerDrawCount();
    view->setImage(image);
    renderView(*view);
    EXPECT_EQ(view->layerDrawCount(), draws) << "the same image again: no redraw";
    EXPECT_EQ(UIImageView(image).frame(), (CGRect{0, 0, 1, 1}));
}
