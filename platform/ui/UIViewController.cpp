#include "ui/UIViewController.h"

#include <algorithm>
#include <cstdio>

#include "core/RunLoop.h"
#include "ui/MainThread.h"
#include "ui/UIWindow.h"

namespace pf {

UIViewController::UIViewController(std::optional<std::string> nibName, const Bundle* bundle)
    : nibName_(std::move(nibName)), nibBundle_(bundle) {}

UIViewController::~UIViewController() = default;

std::shared_ptr<UIView> UIViewController::view() {
    requireMainThread("UIViewController::view called off the main thread");
    if (!view_ && !loading_) {
        loading_ = true;
        loadView();
        if (!view_) setView(std::make_shared<UIView>());
        loading_ = false;
        viewDidLoad();
    }
    return view_;
}

void UIViewController::setView(std::shared_ptr<UIView> view) {
    if (view_) view_->setOwningViewController({});
    view_ = std::move(view);
    if (view_) view_->setOwningViewController(weak_from_this());
}

void UIViewController::loadView() {
    setView(std::make_shared<UIView>(CGRect{0, 0, 320, 480}));
}

void UIViewController::addChild(const std::shared_ptr<UIViewController>& child) {
    if (!child || child.get() == this) return;
    if (auto old = child->parent(); old.get() == this) return;
    child->removeFromParent();
    child->willMove(this);
    children_.push_back(child);
    child->parent_ = weak_from_this();
}

void UIViewController::removeFromParent() {
    auto p = parent();
    if (!p) return;
    const auto keep = shared_from_this();
    std::erase_if(p->children_, [this](const auto& c) { return c.get() == this; });
    parent_.reset();
    didMove(nullptr);
}

void UIViewController::present(const std::shared_ptr<UIViewController>& controller, bool animated,
                               std::function<void()> completion) {
    requireMainThread("UIViewController::present called off the main thread");
    if (!controller) return;
    if (presented_) {
        std::fprintf(stderr, "UIViewController: refused to present while already presenting\n");
        return;
    }
    const auto host = view();
    UIView* over = host->window() ? static_cast<UIView*>(host->window()) : host.get();
    const auto shown = controller->view();
    presented_ = controller;
    controller->presenting_ = weak_from_this();
    shown->setFrame(over->bounds());
    shown->autoresizingMask = UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight;
    controller->viewWillAppear(animated);
    over->addSubview(shown);
    controller->viewDidAppear(animated);
    if (completion) RunLoop::main().perform(std::move(completion));
}

void UIViewController::dismiss(bool animated, std::function<void()> completion) {
    if (!presented_) {
        if (auto presenter = presentingViewController())
            presenter->dismiss(animated, std::move(completion));
        return;
    }
    const auto gone = std::move(presented_);
    presented_.reset();
    gone->presenting_.reset();
    gone->viewWillDisappear(animated);
    if (gone->isViewLoaded()) gone->view()->removeFromSuperview();
    gone->viewDidDisappear(animated);
    if (completion) RunLoop::main().perform(std::move(completion));
}

void UIViewController::registerSegue(const std::string& identifier,
                                     SegueDestinationFactory factory) {
    segues_.emplace_back(identifier, std::move(factory));
}

bool UIViewController::performSegue(const std::string& identifier,
                                    const std::shared_ptr<void>& sender) {
    const auto it = std::find_if(segues_.begin(), segues_.end(),
                                 [&](const auto& s) { return s.first == identifier; });
    if (it == segues_.end() || !it->second) return false;
    auto destination = it->second();
    if (!destination) return false;
    UIStoryboardSegue segue(identifier, shared_from_this(), destination);
    prepare(segue, sender);
    present(destination, true);
    return true;
}

} // namespace pf
