// View controllers: a lazily loaded root view with its life-cycle calls, containment of child
// controllers, modal presentation and segues.
//
// View: `view()` loads the view on first use: `loadView()` (the default makes an empty view),
// then `viewDidLoad()`. Every layout of the root view calls `viewWillLayoutSubviews()` before
// and `viewDidLayoutSubviews()` after the view's own layout.
//
// Presentation: `present` loads the presented controller's view and lays it over the whole
// window of the presenting controller's view (over the presenting view itself when that is in no
// window), on top of everything; one presentation per presenter at a time (a second is refused
// with a line on standard error). The completion runs on the main queue once the presented view
// is in place, not when it is dismissed. `dismiss` removes it; its completion runs the same way.
// `animated` is accepted and ignored.
//
// Segues: a segue registered under an identifier makes its destination on demand;
// `performSegue` calls `prepare(for:sender:)` on the source and then presents the destination.
//
// Ownership: a parent owns its children and a presenter its presented controller; the back
// references are weak. Controllers are made with std::make_shared. [main-thread] All of it.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ui/UIView.h"

namespace pf {

class Bundle;
class UIViewController;

class UIStoryboardSegue {
public:
    UIStoryboardSegue(std::optional<std::string> identifier,
                      std::shared_ptr<UIViewController> source,
                      std::shared_ptr<UIViewController> destination)
        : identifier_(std::move(identifier)), source_(std::move(source)),
          destination_(std::move(destination)) {}
    const std::optional<std::string>& identifier() const { return identifier_; }
    const std::shared_ptr<UIViewController>& source() const { return source_; }
    const std::shared_ptr<UIViewController>& destination() const { return destination_; }

private:
    std::optional<std::string> identifier_;
    std::shared_ptr<UIViewController> source_;
    std::shared_ptr<UIViewController> destination_;
};

class UIViewController : public std::enable_shared_from_this<UIViewController> {
public:
    explicit UIViewController(std::optional<std::string> nibName = std::nullopt,
                              const Bundle* bundle = nullptr);
    virtual ~UIViewController();
    UIViewController(const UIViewController&) = delete;
    UIViewController& operator=(const UIViewController&) = delete;

    const std::optional<std::string>& nibName() const { return nibName_; }
    const Bundle* nibBundle() const { return nibBundle_; }

    // ---- View
    std::shared_ptr<UIView> view();
    bool isViewLoaded() const { return view_ != nullptr; }
    void loadViewIfNeeded() { (void)view(); }
    // Replaces the root view (no viewDidLoad).
    void setView(std::shared_ptr<UIView> view);
    virtual void loadView();
    virtual void viewDidLoad() {}
    virtual void viewWillLayoutSubviews() {}
    virtual void viewDidLayoutSubviews() {}
    // Appearance: a presented controller hears viewWillAppear before its view goes on screen and
    // viewDidAppear after; on dismissal viewWillDisappear and viewDidDisappear. So does the
    // window's root controller when the application shows it.
    virtual void viewWillAppear(bool animated) { (void)animated; }
    virtual void viewDidAppear(bool animated) { (void)animated; }
    virtual void viewWillDisappear(bool animated) { (void)animated; }
    virtual void viewDidDisappear(bool animated) { (void)animated; }
    // Never sent on this platform (no memory pressure notices); kept for subclasses.
    virtual void didReceiveMemoryWarning() {}
    // Whether the controller takes the editing action `action` (a selector name); none here.
    virtual bool canPerformAction(const std::string& action, const std::shared_ptr<void>& sender) {
        (void)action, (void)sender;
        return false;
    }

    // ---- Containment
    void addChild(const std::shared_ptr<UIViewController>& child);
    void removeFromParent();
    const std::vector<std::shared_ptr<UIViewController>>& children() const { return children_; }
    std::shared_ptr<UIViewController> parent() const { return parent_.lock(); }
    virtual void willMove(UIViewController* toParent) { (void)toParent; }
    virtual void didMove(UIViewController* toParent) { (void)toParent; }

    // ---- Presentation
    void present(const std::shared_ptr<UIViewController>& controller, bool animated,
                 std::function<void()> completion = nullptr);
    // Dismisses what this controller presents, or, when it presents nothing, itself.
    void dismiss(bool animated, std::function<void()> completion = nullptr);
    std::shared_ptr<UIViewController> presentedViewController() const { return presented_; }
    std::shared_ptr<UIViewController> presentingViewController() const {
        return presenting_.lock();
    }

    // ---- Segues
    using SegueDestinationFactory = std::function<std::shared_ptr<UIViewController>()>;
    void registerSegue(const std::string& identifier, SegueDestinationFactory factory);
    // False (and nothing happens) for an identifier with no registered segue.
    bool performSegue(const std::string& identifier, const std::shared_ptr<void>& sender);
    virtual void prepare(UIStoryboardSegue& segue, const std::shared_ptr<void>& sender) {
        (void)segue, (void)sender;
    }

private:
    std::optional<std::string> nibName_;
    const Bundle* nibBundle_;
    std::shared_ptr<UIView> view_;
    bool loading_ = false;
    std::vector<std::shared_ptr<UIViewController>> children_;
    std::weak_ptr<UIViewController> parent_;
    std::shared_ptr<UIViewController> presented_;
    std::weak_ptr<UIViewController> presenting_;
    std::vector<std::pair<std::string, SegueDestinationFactory>> segues_;
};

// The view controller of an audio unit's interface (the principal class of a plug-in bundle
// derives from it and from AUAudioUnitFactory).
class AUViewController : public UIViewController {
public:
    using UIViewController::UIViewController;
};

} // namespace pf
