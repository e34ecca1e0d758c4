// The view tree: a rectangle in its superview's coordinates that draws its own content into a
// cached layer and composites it with its subviews.
//
// Geometry follows the platform: `bounds` is the view's own coordinate space, `center` places
// it in the superview, `transform` applies about the centre, and `frame` is the bounding box
// of the transformed bounds in the superview. `alpha` is group opacity; a hidden view and its
// subviews are neither drawn nor hit.
//
// Drawing: a view that overrides `draw(_:)` keeps a layer (a Cairo image surface of its bounds
// times the window's scale). The layer is redrawn in a display pass only when the view was
// marked with `setNeedsDisplay()` or its bounds size changed; marks coalesce into one redraw.
// A redrawn layer reports to its window only the pixels that changed (see UIWindow.h).
// Layout: `setNeedsLayout()` marks; a layout pass runs `layoutSubviews()` top-down. A size
// change marks the view and its superview; adding a subview marks both.
//
// Ownership: a superview owns its subviews (shared); the back reference is weak. Views are
// made with std::make_shared (the tree needs shared_from_this).
// [main-thread] Every member.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "ui/CGContext.h"
#include "ui/CGGeometry.h"
#include "ui/UIColor.h"

typedef struct _cairo_surface cairo_surface_t;

namespace pf {

class UIEvent;
class UIWindow;
class UIView;
class UITouch;
class UIGestureRecognizer;
class UIViewController;
using UITouchSet = std::vector<std::shared_ptr<UITouch>>;

// Bits of the autoresizing mask, with the platform's values.
enum UIViewAutoresizing : unsigned {
    UIViewAutoresizingNone = 0,
    UIViewAutoresizingFlexibleLeftMargin = 1u << 0,
    UIViewAutoresizingFlexibleWidth = 1u << 1,
    UIViewAutoresizingFlexibleRightMargin = 1u << 2,
    UIViewAutoresizingFlexibleTopMargin = 1u << 3,
    UIViewAutoresizingFlexibleHeight = 1u << 4,
    UIViewAutoresizingFlexibleBottomMargin = 1u << 5,
};

enum class NSLayoutAttribute { top, leading, bottom, trailing };

// An equality between an edge of one view and an edge of another (no constant, no multiplier):
// all the layout the system asks for. Held by the common superview while active.
struct NSLayoutConstraint {
    std::weak_ptr<UIView> firstItem;
    NSLayoutAttribute firstAttribute = NSLayoutAttribute::top;
    std::weak_ptr<UIView> secondItem;
    NSLayoutAttribute secondAttribute = NSLayoutAttribute::top;

    // Activates the constraints together: each is added to the superview of its first item
    // (which must be its second item) and that superview is marked for layout.
    static void activate(const std::vector<NSLayoutConstraint>& constraints);
};

class UIView : public std::enable_shared_from_this<UIView> {
public:
    explicit UIView(const CGRect& frame = CGRect::zero());
    virtual ~UIView();
    UIView(const UIView&) = delete;
    UIView& operator=(const UIView&) = delete;

    // Geometry.
    CGRect frame() const;
    void setFrame(const CGRect& frame);
    CGRect bounds() const { return bounds_; }
    void setBounds(const CGRect& bounds);
    CGPoint center() const { return center_; }
    void setCenter(const CGPoint& center);
    CGAffineTransform transform() const { return transform_; }
    void setTransform(const CGAffineTransform& transform);

    // Appearance.
    CGFloat alpha() const { return alpha_; }
    void setAlpha(CGFloat alpha);
    bool isHidden() const { return hidden_; }
    void setHidden(bool hidden);
    bool isUserInteractionEnabled() const { return userInteraction_; }
    void setUserInteractionEnabled(bool enabled) { userInteraction_ = enabled; }
    std::optional<UIColor> backgroundColor() const { return background_; }
    void setBackgroundColor(std::optional<UIColor> color);
    bool clipsToBounds() const { return clips_; }
    void setClipsToBounds(bool clips);

    // Tree.
    UIView* superview() const { return superview_.lock().get(); }
    const std::vector<std::shared_ptr<UIView>>& subviews() const { return subviews_; }
    // Adds on top (moves the view when it has another superview; brings it to the front when
    // it is already a subview).
    void addSubview(const std::shared_ptr<UIView>& view);
    void insertSubview(const std::shared_ptr<UIView>& view, std::size_t index);
    void removeFromSuperview();
    void bringSubviewToFront(UIView* view);
    // The window at the root of this view's tree, or none.
    UIWindow* window() const;
    bool isDescendant(const UIView* view) const;

    // Layout.
    void setNeedsLayout();
    bool needsLayout() const { return needsLayout_; }
    // Runs the layout of this view's subtree now, when anything in it is marked.
    void layoutIfNeeded();
    // Places the subviews. The default applies this view's active edge constraints.
    virtual void layoutSubviews();
    unsigned autoresizingMask = UIViewAutoresizingNone;
    bool autoresizesSubviews = true;
    bool translatesAutoresizingMaskIntoConstraints = true;
    const std::vector<NSLayoutConstraint>& constraints() const { return constraints_; }

    // Display.
    void setNeedsDisplay();
    bool needsDisplay() const { return needsDisplay_; }
    // Draws the view's content into the current context, in bounds coordinates, clipped to the
    // bounds. `rect` is the area to redraw (always the bounds here). The default draws nothing
    // and tells the layer it needs no content, so an override must not call it (a view that
    // draws nothing for now, like an empty image view, simply returns).
    virtual void draw(const CGRect& rect);
    // Called after the view moved into a window, or out of one.
    virtual void didMoveToWindow() {}
    // Called after the view moved to another superview, or out of one.
    virtual void didMoveToSuperview() {}

    // Hit-testing and conversion.
    // The front-most descendant (or this view) that contains the point, given in this view's
    // bounds coordinates; hidden views, views with user interaction off and nearly transparent
    // ones (alpha below 0.01) are skipped with their subviews.
    virtual UIView* hitTest(const CGPoint& point, const UIEvent* event);
    virtual bool pointInside(const CGPoint& point, const UIEvent* event) const;
    // From this view's bounds coordinates to another view's (to the root's when `view` is null
    // or in another tree), through frames, bounds origins and transforms.
    CGPoint convertTo(const CGPoint& point, const UIView* view) const;
    CGPoint convertFrom(const CGPoint& point, const UIView* view) const;
    CGRect convertTo(const CGRect& rect, const UIView* view) const;
    CGRect convertFrom(const CGRect& rect, const UIView* view) const;

    // Touches (see UITouch.h). The application delivers a touch to the view it went down on;
    // the defaults pass the touches on to the superview, as the responder chain does.
    virtual void touchesBegan(const UITouchSet& touches, const UIEvent* event);
    virtual void touchesMoved(const UITouchSet& touches, const UIEvent* event);
    virtual void touchesEnded(const UITouchSet& touches, const UIEvent* event);
    virtual void touchesCancelled(const UITouchSet& touches, const UIEvent* event);

    // Gesture recognisers attached to this view; they see the touches of this view and of its
    // descendants before the view does (see UIGestureRecognizer.h). The view owns them.
    void addGestureRecognizer(const std::shared_ptr<UIGestureRecognizer>& recognizer);
    void removeGestureRecognizer(const UIGestureRecognizer* recognizer);
    const std::vector<std::shared_ptr<UIGestureRecognizer>>& gestureRecognizers() const {
        return recognizers_;
    }

    // The controller whose root view this is (set by UIViewController); it hears of every
    // layout of this view (viewWillLayoutSubviews / viewDidLayoutSubviews).
    std::shared_ptr<UIViewController> owningViewController() const { return controller_.lock(); }
    void setOwningViewController(const std::weak_ptr<UIViewController>& controller) {
        controller_ = controller;
    }

    // Rendering, for windows and backends.
    // Redraws every marked (or resized) layer of the visible subtree at the given scale.
    void displayIfNeeded(CGFloat scale);
    // Composites this view and its subtree into `cr`, whose current matrix maps this view's
    // superview coordinates (root: the coordinates the view's frame is given in).
    void renderInto(cairo_t* cr) const;
    // How many times this view's draw(_:) has run into its layer (for tests and benchmarks).
    std::uint64_t layerDrawCount() const { return layerDraws_; }

protected:
    // Notifies the window, if any, that a pass or a present is due.
    void requestPass() const;

private:
    friend struct NSLayoutConstraint;
    CGPoint toSuperview(const CGPoint& p) const;
    CGPoint fromSuperview(const CGPoint& p) const;
    void sizeChanged(const CGSize& oldSize);
    void autoresizeSubviews(const CGSize& oldSize);
    void layoutSubtree();
    void moveToWindow(UIWindow* oldWindow, UIWindow* newWindow);
    void releaseLayer();
    // Adds where this view and its shown subviews appear to its window's dirty region.
    void invalidateShown() const;
    void addExtent(CGRect& box) const;
    // Adds the part of the bounds that `rect` (layer pixels) covers to the window's region.
    void invalidateLayerPixels(int x0, int y0, int x1, int y1) const;

    CGRect bounds_;
    CGPoint center_;
    CGAffineTransform transform_;
    CGFloat alpha_ = 1;
    bool hidden_ = false;
    bool userInteraction_ = true;
    bool clips_ = false;
    std::optional<UIColor> background_;

    std::weak_ptr<UIView> superview_;
    std::vector<std::shared_ptr<UIView>> subviews_;
    std::vector<NSLayoutConstraint> constraints_;
    std::vector<std::shared_ptr<UIGestureRecognizer>> recognizers_;
    std::weak_ptr<UIViewController> controller_;

    bool needsLayout_ = true;
    bool needsDisplay_ = true;
    enum class Content { unknown, drawn, none };
    Content content_ = Content::unknown;
    bool drewDefault_ = false;
    cairo_surface_t* layer_ = nullptr;
    // A second image of the layer's size: a redraw draws into it, is compared with the layer to
    // find the pixels it changed, and the two swap.
    cairo_surface_t* spare_ = nullptr;
    CGSize layerSize_;
    CGFloat layerScale_ = 0;
    std::uint64_t layerDraws_ = 0;
};

} // namespace pf
