#include "ui/UIView.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "ui/MainThread.h"
#include "ui/UIGestureRecognizer.h"
#include "ui/UIViewController.h"
#include "ui/UIWindow.h"

namespace pf {

namespace {

bool finiteRect(const CGRect& r) {
    return std::isfinite(r.origin.x) && std::isfinite(r.origin.y) && std::isfinite(r.size.width) &&
           std::isfinite(r.size.height);
}

// One axis of the autoresizing rule: the change of the superview's extent is shared among the
// flexible parts (leading margin, size, trailing margin) in proportion to their current sizes,
// or equally when they are all zero.
void resizeAxis(CGFloat& origin, CGFloat& extent, CGFloat oldSuper, CGFloat newSuper, bool flexLead,
                bool flexSize, bool flexTrail) {
    const CGFloat delta = newSuper - oldSuper;
    if (delta == 0 || !(flexLead || flexSize || flexTrail)) return;
    const CGFloat lead = origin;
    const CGFloat trail = oldSuper - origin - extent;
    CGFloat total = (flexLead ? std::max<CGFloat>(lead, 0) : 0) + (flexSize ? extent : 0) +
                    (flexTrail ? std::max<CGFloat>(trail, 0) : 0);
    const int count = int(flexLead) + int(flexSize) + int(flexTrail);
    auto share = [&](bool flex, CGFloat part) -> CGFloat {
        if (!flex) return 0;
        return total > 0 ? delta * std::max<CGFloat>(part, 0) / total : delta / count;
    };
    const CGFloat dLead = share(flexLead, lead);
    const CGFloat dSize = share(flexSize, extent);
    origin += dLead;
    extent = std::max<CGFloat>(0, extent + dSize);
}

CGFloat edgeValue(const CGRect& r, NSLayoutAttribute a) {
    switch (a) {
    case NSLayoutAttribute::top:
        return r.minY();
    case NSLayoutAttribute::leading:
        return r.minX();
    case NSLayoutAttribute::bottom:
        return r.maxY();
    case NSLayoutAttribute::trailing:
        return r.maxX();
    }
    return 0;
}

// The smallest box of pixels in which two ARGB32 images of one size differ: [x0, x1) x [y0, y1).
// False when they are equal.
bool changedBox(cairo_surface_t* a, cairo_surface_t* b, int& x0, int& y0, int& x1, int& y1) {
    const int w = cairo_image_surface_get_width(a);
    const int h = cairo_image_surface_get_height(a);
    const int strideA = cairo_image_surface_get_stride(a);
    const int strideB = cairo_image_surface_get_stride(b);
    const unsigned char* da = cairo_image_surface_get_data(a);
    const unsigned char* db = cairo_image_surface_get_data(b);
    x0 = w;
    x1 = 0;
    y0 = h;
    y1 = 0;
    for (int y = 0; y < h; ++y) {
        const auto* ra = reinterpret_cast<const std::uint32_t*>(da + std::ptrdiff_t(y) * strideA);
        const auto* rb = reinterpret_cast<const std::uint32_t*>(db + std::ptrdiff_t(y) * strideB);
        if (std::memcmp(ra, rb, std::size_t(w) * 4) == 0) continue;
        y0 = std::min(y0, y);
        y1 = y + 1;
        int left = 0;
        while (left < x0 && ra[left] == rb[left])
            ++left;
        x0 = std::min(x0, left);
        int right = w;
        while (right > x1 && ra[right - 1] == rb[right - 1])
            --right;
        x1 = std::max(x1, right);
    }
    return y1 > y0;
}

} // namespace

UIView::UIView(const CGRect& frame) {
    const CGRect f = frame.standardized();
    bounds_ = {0, 0, f.size.width, f.size.height};
    center_ = {f.midX(), f.midY()};
}

UIView::~UIView() {
    releaseLayer();
}

void UIView::releaseLayer() {
    if (layer_) cairo_surface_destroy(layer_);
    if (spare_) cairo_surface_destroy(spare_);
    layer_ = nullptr;
    spare_ = nullptr;
}

void UIView::addExtent(CGRect& box) const {
    box = box.unionWith(convertTo(bounds_, nullptr));
    for (const auto& sub : subviews_)
        if (!sub->hidden_) sub->addExtent(box);
}

void UIView::invalidateShown() const {
    UIWindow* w = window();
    if (!w) return;
    if (w == this) {
        w->invalidateAll();
        return;
    }
    CGRect box = CGRect::null();
    addExtent(box);
    w->invalidate(box);
}

void UIView::invalidateLayerPixels(int x0, int y0, int x1, int y1) const {
    UIWindow* w = window();
    if (!w || !(layerScale_ > 0)) return;
    const CGRect r{bounds_.origin.x + x0 / layerScale_, bounds_.origin.y + y0 / layerScale_,
                   (x1 - x0) / layerScale_, (y1 - y0) / layerScale_};
    w->invalidate(convertTo(r, nullptr));
}

CGRect UIView::frame() const {
    const CGRect local{-bounds_.size.width / 2, -bounds_.size.height / 2, bounds_.size.width,
                       bounds_.size.height};
    return local.applying(transform_).offsetBy(center_.x, center_.y);
}

void UIView::setFrame(const CGRect& frame) {
    if (!finiteRect(frame)) return;
    const CGRect f = frame.standardized();
    // With a transform in place the platform leaves the result undefined; we keep the transform
    // and place the untransformed bounds at the frame's size and centre.
    setCenter({f.midX(), f.midY()});
    setBounds({bounds_.origin.x, bounds_.origin.y, f.size.width, f.size.height});
}

void UIView::setBounds(const CGRect& bounds) {
    if (!finiteRect(bounds)) return;
    const CGRect b = bounds.standardized();
    if (b == bounds_) return;
    const CGSize oldSize = bounds_.size;
    invalidateShown();
    bounds_ = b;
    if (oldSize != b.size) sizeChanged(oldSize);
    invalidateShown();
    requestPass();
}

void UIView::setCenter(const CGPoint& center) {
    if (!std::isfinite(center.x) || !std::isfinite(center.y) || center == center_) return;
    invalidateShown();
    center_ = center;
    invalidateShown();
    requestPass();
}

void UIView::setTransform(const CGAffineTransform& transform) {
    if (transform == transform_) return;
    invalidateShown();
    transform_ = transform;
    invalidateShown();
    requestPass();
}

void UIView::sizeChanged(const CGSize& oldSize) {
    if (autoresizesSubviews) autoresizeSubviews(oldSize);
    setNeedsLayout();
    if (UIView* s = superview()) s->setNeedsLayout();
}

void UIView::autoresizeSubviews(const CGSize& oldSize) {
    for (const auto& sub : subviews_) {
        const unsigned m = sub->autoresizingMask;
        if (!sub->translatesAutoresizingMaskIntoConstraints || m == UIViewAutoresizingNone)
            continue;
        CGRect f = sub->frame();
        resizeAxis(f.origin.x, f.size.width, oldSize.width, bounds_.size.width,
                   m & UIViewAutoresizingFlexibleLeftMargin, m & UIViewAutoresizingFlexibleWidth,
                   m & UIViewAutoresizingFlexibleRightMargin);
        resizeAxis(f.origin.y, f.size.height, oldSize.height, bounds_.size.height,
                   m & UIViewAutoresizingFlexibleTopMargin, m & UIViewAutoresizingFlexibleHeight,
                   m & UIViewAutoresizingFlexibleBottomMargin);
        sub->setFrame(f);
    }
}

void UIView::setAlpha(CGFloat alpha) {
    if (!std::isfinite(alpha)) return;
    const CGFloat a = std::clamp<CGFloat>(alpha, 0, 1);
    if (a == alpha_) return;
    alpha_ = a;
    invalidateShown();
    requestPass();
}

void UIView::setHidden(bool hidden) {
    if (hidden == hidden_) return;
    hidden_ = hidden;
    invalidateShown();
    requestPass();
}

void UIView::setBackgroundColor(std::optional<UIColor> color) {
    if (color == background_) return;
    background_ = color;
    invalidateShown();
    requestPass();
}

void UIView::setClipsToBounds(bool clips) {
    if (clips == clips_) return;
    clips_ = clips;
    invalidateShown();
    requestPass();
}

UIWindow* UIView::window() const {
    const UIView* v = this;
    while (UIView* s = v->superview())
        v = s;
    return dynamic_cast<UIWindow*>(const_cast<UIView*>(v));
}

bool UIView::isDescendant(const UIView* view) const {
    for (const UIView* v = this; v; v = v->superview())
        if (v == view) return true;
    return false;
}

void UIView::insertSubview(const std::shared_ptr<UIView>& view, std::size_t index) {
    requireMainThread("UIView::insertSubview called off the main thread");
    if (!view || view.get() == this || isDescendant(view.get())) return;
    UIWindow* oldWindow = view->window();
    const bool sameSuper = view->superview() == this;
    view->invalidateShown();
    if (UIView* old = view->superview()) {
        auto& subs = old->subviews_;
        subs.erase(std::remove(subs.begin(), subs.end(), view), subs.end());
    }
    index = std::min(index, subviews_.size());
    subviews_.insert(subviews_.begin() + static_cast<std::ptrdiff_t>(index), view);
    view->superview_ = weak_from_this();
    if (!sameSuper) {
        view->setNeedsLayout();
        setNeedsLayout();
        view->didMoveToSuperview();
    }
    view->moveToWindow(oldWindow, window());
    view->invalidateShown();
    requestPass();
}

void UIView::addSubview(const std::shared_ptr<UIView>& view) {
    insertSubview(view, subviews_.size());
}

void UIView::bringSubviewToFront(UIView* view) {
    auto it = std::find_if(subviews_.begin(), subviews_.end(),
                           [&](const auto& s) { return s.get() == view; });
    if (it == subviews_.end()) return;
    std::rotate(it, it + 1, subviews_.end());
    (*std::prev(subviews_.end()))->invalidateShown();
    requestPass();
}

void UIView::removeFromSuperview() {
    requireMainThread("UIView::removeFromSuperview called off the main thread");
    auto parent = superview_.lock();
    if (!parent) return;
    // Keep this view alive while it leaves: its superview may hold the last reference.
    const std::shared_ptr<UIView> self = shared_from_this();
    UIWindow* oldWindow = window();
    invalidateShown();
    auto& subs = parent->subviews_;
    subs.erase(std::remove(subs.begin(), subs.end(), self), subs.end());
    // Constraints that tie this view to its old superview go with it.
    auto& cons = parent->constraints_;
    cons.erase(std::remove_if(cons.begin(), cons.end(),
                              [&](const NSLayoutConstraint& c) {
                                  return c.firstItem.lock() == self || c.secondItem.lock() == self;
                              }),
               cons.end());
    superview_.reset();
    parent->setNeedsLayout();
    parent->requestPass();
    didMoveToSuperview();
    moveToWindow(oldWindow, nullptr);
}

void UIView::moveToWindow(UIWindow* oldWindow, UIWindow* newWindow) {
    if (oldWindow == newWindow) return;
    // A layer drawn for another window may have another scale; it is redrawn on demand.
    didMoveToWindow();
    for (const auto& sub : subviews_)
        sub->moveToWindow(oldWindow, newWindow);
}

void UIView::setNeedsLayout() {
    requireMainThread("UIView::setNeedsLayout called off the main thread");
    needsLayout_ = true;
    requestPass();
}

void UIView::layoutSubviews() {
    // The edge rule: every subview edge constrained equal to one of this view's edges follows it.
    for (const NSLayoutConstraint& c : constraints_) {
        auto item = c.firstItem.lock();
        if (!item || item->superview() != this || c.secondItem.lock().get() != this) continue;
        CGRect f = item->frame();
        const CGFloat v = edgeValue(bounds_, c.secondAttribute);
        switch (c.firstAttribute) {
        case NSLayoutAttribute::top:
            f.size.height = f.maxY() - v;
            f.origin.y = v;
            break;
        case NSLayoutAttribute::leading:
            f.size.width = f.maxX() - v;
            f.origin.x = v;
            break;
        case NSLayoutAttribute::bottom:
            f.size.height = v - f.minY();
            break;
        case NSLayoutAttribute::trailing:
            f.size.width = v - f.minX();
            break;
        }
        item->setFrame(f);
    }
}

void UIView::layoutSubtree() {
    if (needsLayout_) {
        needsLayout_ = false;
        const auto controller = controller_.lock();
        if (controller) controller->viewWillLayoutSubviews();
        layoutSubviews();
        if (controller) controller->viewDidLayoutSubviews();
    }
    // Copy: layout code may add or remove subviews.
    const auto subs = subviews_;
    for (const auto& sub : subs)
        sub->layoutSubtree();
}

void UIView::layoutIfNeeded() {
    // Settles in a few rounds: a layout may change sizes that mark views laid out earlier.
    for (int round = 0; round < 8; ++round) {
        layoutSubtree();
        bool pending = false;
        std::vector<const UIView*> stack{this};
        while (!stack.empty() && !pending) {
            const UIView* v = stack.back();
            stack.pop_back();
            pending = v->needsLayout_;
            for (const auto& s : v->subviews_)
                stack.push_back(s.get());
        }
        if (!pending) return;
    }
}

void UIView::setNeedsDisplay() {
    requireMainThread("UIView::setNeedsDisplay called off the main thread");
    needsDisplay_ = true;
    requestPass();
}

void UIView::draw(const CGRect& /*rect*/) {
    drewDefault_ = true;
}

void UIView::requestPass() const {
    if (UIWindow* w = window()) w->passRequested();
}

UIView* UIView::hitTest(const CGPoint& point, const UIEvent* event) {
    if (hidden_ || !userInteraction_ || alpha_ < 0.01) return nullptr;
    if (!pointInside(point, event)) return nullptr;
    for (auto it = subviews_.rbegin(); it != subviews_.rend(); ++it) {
        UIView* sub = it->get();
        if (!sub->transform_.isInvertible()) continue;
        if (UIView* hit = sub->hitTest(sub->fromSuperview(point), event)) return hit;
    }
    return this;
}

bool UIView::pointInside(const CGPoint& point, const UIEvent* /*event*/) const {
    return bounds_.contains(point);
}

CGPoint UIView::toSuperview(const CGPoint& p) const {
    const CGPoint local{p.x - bounds_.midX(), p.y - bounds_.midY()};
    const CGPoint t = applying(local, transform_);
    return {t.x + center_.x, t.y + center_.y};
}

CGPoint UIView::fromSuperview(const CGPoint& p) const {
    const CGPoint t = applying(CGPoint{p.x - center_.x, p.y - center_.y}, transform_.inverted());
    return {t.x + bounds_.midX(), t.y + bounds_.midY()};
}

CGPoint UIView::convertTo(const CGPoint& point, const UIView* view) const {
    // Up to the root, then down to the target view.
    CGPoint p = point;
    const UIView* root = this;
    for (; root->superview(); root = root->superview())
        p = root->toSuperview(p);
    if (!view) return p;
    const UIView* viewRoot = view;
    while (viewRoot->superview())
        viewRoot = viewRoot->superview();
    if (viewRoot != root) return p;
    std::vector<const UIView*> chain;
    for (const UIView* v = view; v->superview(); v = v->superview())
        chain.push_back(v);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it)
        p = (*it)->fromSuperview(p);
    return p;
}

CGPoint UIView::convertFrom(const CGPoint& point, const UIView* view) const {
    if (view) return view->convertTo(point, this);
    // From root coordinates down to this view.
    std::vector<const UIView*> chain;
    for (const UIView* v = this; v->superview(); v = v->superview())
        chain.push_back(v);
    CGPoint p = point;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it)
        p = (*it)->fromSuperview(p);
    return p;
}

CGRect UIView::convertTo(const CGRect& rect, const UIView* view) const {
    const CGRect r = rect.standardized();
    const CGPoint pts[4] = {
        convertTo(CGPoint{r.minX(), r.minY()}, view), convertTo(CGPoint{r.maxX(), r.minY()}, view),
        convertTo(CGPoint{r.minX(), r.maxY()}, view), convertTo(CGPoint{r.maxX(), r.maxY()}, view)};
    CGRect box = CGRect::null();
    for (const CGPoint& p : pts)
        box = box.unionWith(CGRect(p, {}));
    return box;
}

CGRect UIView::convertFrom(const CGRect& rect, const UIView* view) const {
    if (view) return view->convertTo(rect, this);
    const CGRect r = rect.standardized();
    const CGPoint pts[4] = {convertFrom(CGPoint{r.minX(), r.minY()}, nullptr),
                            convertFrom(CGPoint{r.maxX(), r.minY()}, nullptr),
                            convertFrom(CGPoint{r.minX(), r.maxY()}, nullptr),
                            convertFrom(CGPoint{r.maxX(), r.maxY()}, nullptr)};
    CGRect box = CGRect::null();
    for (const CGPoint& p : pts)
        box = box.unionWith(CGRect(p, {}));
    return box;
}

void UIView::displayIfNeeded(CGFloat scale) {
    requireMainThread("UIView::displayIfNeeded called off the main thread");
    if (hidden_) return; // marks wait until the view is shown again
    if (content_ != Content::none) {
        const bool resized = layer_ && (layerSize_ != bounds_.size || layerScale_ != scale);
        if (needsDisplay_ || resized || !layer_) {
            const int w = static_cast<int>(std::ceil(bounds_.size.width * scale));
            const int h = static_cast<int>(std::ceil(bounds_.size.height * scale));
            if (w <= 0 || h <= 0 || w > 16384 || h > 16384 || !(scale > 0)) {
                if (layer_) invalidateShown();
                releaseLayer();
            } else {
                // A redraw of a layer that keeps its size goes into the spare image, so that
                // only the pixels it changed are reported; any other redraw changes it all.
                const bool sameSize = layer_ && !resized &&
                                      cairo_image_surface_get_width(layer_) == w &&
                                      cairo_image_surface_get_height(layer_) == h;
                if (!sameSize) releaseLayer();
                if (spare_ && (cairo_image_surface_get_width(spare_) != w ||
                               cairo_image_surface_get_height(spare_) != h)) {
                    cairo_surface_destroy(spare_);
                    spare_ = nullptr;
                }
                if (!spare_) {
                    spare_ = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
                } else {
                    cairo_t* clr = cairo_create(spare_);
                    cairo_set_operator(clr, CAIRO_OPERATOR_CLEAR);
                    cairo_paint(clr);
                    cairo_destroy(clr);
                }
                cairo_t* cr = cairo_create(spare_);
                cairo_scale(cr, scale, scale);
                cairo_translate(cr, -bounds_.origin.x, -bounds_.origin.y);
                {
                    CGContext ctx(cr);
                    ScopedCurrentContext current(ctx);
                    drewDefault_ = false;
                    draw(bounds_);
                    ++layerDraws_;
                }
                cairo_destroy(cr);
                cairo_surface_flush(spare_);
                std::swap(layer_, spare_);
                layerSize_ = bounds_.size;
                layerScale_ = scale;
                int x0 = 0, y0 = 0, x1 = w, y1 = h;
                if (drewDefault_) {
                    content_ = Content::none;
                    releaseLayer();
                    if (sameSize) invalidateLayerPixels(0, 0, w, h); // the old layer is gone
                } else {
                    content_ = Content::drawn;
                    if (!sameSize || changedBox(layer_, spare_, x0, y0, x1, y1))
                        invalidateLayerPixels(x0, y0, x1, y1);
                }
            }
        }
    }
    needsDisplay_ = false;
    const auto subs = subviews_;
    for (const auto& sub : subs)
        sub->displayIfNeeded(scale);
}

void UIView::renderInto(cairo_t* cr) const {
    if (hidden_ || alpha_ <= 0 || !transform_.isInvertible()) return;
    cairo_save(cr);
    cairo_translate(cr, center_.x, center_.y);
    const cairo_matrix_t m = {transform_.a, transform_.b,  transform_.c,
                              transform_.d, transform_.tx, transform_.ty};
    cairo_transform(cr, &m);
    cairo_translate(cr, -bounds_.midX(), -bounds_.midY());
    cairo_matrix_t ctm;
    cairo_get_matrix(cr, &ctm);
    if (cairo_matrix_invert(&ctm) != CAIRO_STATUS_SUCCESS) {
        cairo_restore(cr);
        return;
    }
    const bool group = alpha_ < 1;
    if (group) cairo_push_group(cr);
    if (background_ && background_->alpha() > 0) {
        cairo_set_source_rgba(cr, background_->red(), background_->green(), background_->blue(),
                              background_->alpha());
        cairo_rectangle(cr, bounds_.origin.x, bounds_.origin.y, bounds_.size.width,
                        bounds_.size.height);
        cairo_fill(cr);
    }
    if (layer_ && layerScale_ > 0) {
        cairo_save(cr);
        cairo_translate(cr, bounds_.origin.x, bounds_.origin.y);
        cairo_scale(cr, 1 / layerScale_, 1 / layerScale_);
        cairo_set_source_surface(cr, layer_, 0, 0);
        cairo_paint(cr);
        cairo_restore(cr);
    }
    if (clips_) {
        cairo_rectangle(cr, bounds_.origin.x, bounds_.origin.y, bounds_.size.width,
                        bounds_.size.height);
        cairo_clip(cr);
    }
    for (const auto& sub : subviews_)
        sub->renderInto(cr);
    if (group) {
        cairo_pop_group_to_source(cr);
        cairo_paint_with_alpha(cr, alpha_);
    }
    cairo_restore(cr);
}

void NSLayoutConstraint::activate(const std::vector<NSLayoutConstraint>& constraints) {
    for (const NSLayoutConstraint& c : constraints) {
        auto first = c.firstItem.lock();
        auto second = c.secondItem.lock();
        if (!first || !second || first->superview() != second.get()) continue;
        second->constraints_.push_back(c);
        second->setNeedsLayout();
    }
}

void UIView::touchesBegan(const UITouchSet& touches, const UIEvent* event) {
    if (UIView* s = superview()) s->touchesBegan(touches, event);
}

void UIView::touchesMoved(const UITouchSet& touches, const UIEvent* event) {
    if (UIView* s = superview()) s->touchesMoved(touches, event);
}

void UIView::touchesEnded(const UITouchSet& touches, const UIEvent* event) {
    if (UIView* s = superview()) s->touchesEnded(touches, event);
}

void UIView::touchesCancelled(const UITouchSet& touches, const UIEvent* event) {
    if (UIView* s = superview()) s->touchesCancelled(touches, event);
}

void UIView::addGestureRecognizer(const std::shared_ptr<UIGestureRecognizer>& recognizer) {
    if (!recognizer) return;
    if (UIView* old = recognizer->view(); old && old != this)
        old->removeGestureRecognizer(recognizer.get());
    if (std::find(recognizers_.begin(), recognizers_.end(), recognizer) == recognizers_.end())
        recognizers_.push_back(recognizer);
    recognizer->attach(weak_from_this());
}

void UIView::removeGestureRecognizer(const UIGestureRecognizer* recognizer) {
    const auto it = std::find_if(recognizers_.begin(), recognizers_.end(),
                                 [&](const auto& r) { return r.get() == recognizer; });
    if (it == recognizers_.end()) return;
    const auto keep = *it; // the recogniser may be owned by this view alone
    recognizers_.erase(it);
    keep->attach({});
}

} // namespace pf
