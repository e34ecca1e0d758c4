// A web view for local help pages: the navigation model of the platform's web view, with the
// delegates' decisions at the platform's points, and a plain rendering of the page.
//
// Navigation, every step on the main queue (one block per step, so a load never decides inside
// the caller's own call):
//   1. navigation action: the navigation delegate decides (no delegate: allow). A new-window
//      action (no target frame) goes to the UI delegate's createWebViewWith instead; a null
//      answer drops it, a web view answered loads the request itself.
//   2. fetch. `file:` URLs are read only for loads the application starts itself (load,
//      loadHTMLString); a page's links never reach local files. Only a regular file of at most
//      kMaxLocalPageBytes is read; anything else (missing, a named pipe, a device, a directory:
//      refused without blocking, or a larger file) shows a "Page not found" page that gives the
//      reason and the address, and no response follows. `http:`/`https:` pages are not
//      fetched (the application has no network access here): the view shows a page that says so
//      and names the address, and no response follows. Other schemes are refused the same way.
//   3. navigation response: the navigation delegate decides (no delegate: allow).
//   4. commit: `url()` and `title()` change and the page is drawn. A cancelled response leaves
//      the previous page.
// A load started while another is pending supersedes it: decisions for the old one are ignored.
// Each decision handler takes exactly one answer; a second one is ignored with a line on
// standard error, and a handler never called leaves its navigation pending.
//
// Rendering: HTML is reduced to headings, paragraphs and list items (tags dropped, entities
// decoded, scripts and styles skipped) and drawn as wrapped text from the top; plain text as
// it is; any other type as a one-line notice with its address. A page taller than the view
// scrolls by dragging it; a new page starts at its top.
//
// Ownership: delegates are held weakly. [main-thread] All of it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/URL.h"
#include "ui/UIView.h"

namespace pf {

// A request for a URL; the platform's default cache policy and a 60 s time-out.
struct URLRequest {
    URLRequest() = default;
    explicit URLRequest(std::optional<URL> address) : url(std::move(address)) {}
    std::optional<URL> url;
    double timeoutInterval = 60;
};

struct URLResponse {
    std::optional<URL> url;
    std::string mimeType;
    std::int64_t expectedContentLength = -1;
};

enum class WKNavigationType {
    linkActivated,
    formSubmitted,
    backForward,
    reload,
    formResubmitted,
    other
};
enum class WKNavigationActionPolicy { cancel, allow };
enum class WKNavigationResponsePolicy { cancel, allow };

struct WKFrameInfo {
    bool isMainFrame = true;
};

struct WKNavigationAction {
    URLRequest request;
    WKNavigationType navigationType = WKNavigationType::other;
    // None for an action that asks for a new window.
    std::optional<WKFrameInfo> targetFrame = WKFrameInfo{};
    std::optional<WKFrameInfo> sourceFrame;
};

struct WKNavigationResponse {
    URLResponse response;
    bool isForMainFrame = true;
    bool canShowMIMEType = true;
};

// The identity of one load; the platform hands it out and its delegates may compare it.
class WKNavigation {};

struct WKWebViewConfiguration {};
struct WKWindowFeatures {};

class WKWebView;

class WKNavigationDelegate {
public:
    virtual ~WKNavigationDelegate() = default;
    // Decides a navigation action; the default allows it.
    virtual void webView(WKWebView& webView, const WKNavigationAction& decidePolicyFor,
                         std::function<void(WKNavigationActionPolicy)> decisionHandler) {
        (void)webView, (void)decidePolicyFor;
        decisionHandler(WKNavigationActionPolicy::allow);
    }
    // Decides a navigation response; the default allows it.
    virtual void webView(WKWebView& webView, const WKNavigationResponse& decidePolicyFor,
                         std::function<void(WKNavigationResponsePolicy)> decisionHandler) {
        (void)webView, (void)decidePolicyFor;
        decisionHandler(WKNavigationResponsePolicy::allow);
    }
};

class WKUIDelegate {
public:
    virtual ~WKUIDelegate() = default;
    // A web view for a new-window action, or null to drop the action (the default).
    virtual std::shared_ptr<WKWebView> webView(WKWebView& webView,
                                               const WKWebViewConfiguration& createWebViewWith,
                                               const WKNavigationAction& _for,
                                               const WKWindowFeatures& windowFeatures) {
        (void)webView, (void)createWebViewWith, (void)_for, (void)windowFeatures;
        return nullptr;
    }
};

// One block of a rendered page.
struct WKPageBlock {
    enum class Kind { heading, paragraph, item, notice };
    Kind kind = Kind::paragraph;
    std::string text;
    friend bool operator==(const WKPageBlock&, const WKPageBlock&) = default;
};

class WKWebView : public UIView {
public:
    explicit WKWebView(const CGRect& frame = CGRect::zero(),
                       WKWebViewConfiguration configuration = {});
    ~WKWebView() override;

    // The largest local page read (help pages are a few kilobytes).
    static constexpr std::size_t kMaxLocalPageBytes = std::size_t{4} << 20; // 4 MiB

    std::weak_ptr<WKNavigationDelegate> navigationDelegate;
    std::weak_ptr<WKUIDelegate> uiDelegate;

    // Starts a top-level load of the request (see above). Null when the request has no URL.
    std::shared_ptr<WKNavigation> load(const URLRequest& request);
    // Shows `html` as a page whose address is `baseURL` (relative references resolve against
    // it); the navigation runs its action and response decisions like a load.
    std::shared_ptr<WKNavigation> loadHTMLString(const std::string& html,
                                                 const std::optional<URL>& baseURL);
    // What a click on a link of the page does: a link-activated action for `url`, in this view
    // or, with `newWindow`, through the UI delegate.
    void activateLink(const URL& url, bool newWindow);
    // Stops a pending navigation (its decisions are then ignored).
    void stopLoading();

    // The committed page: its address, title and blocks.
    const std::optional<URL>& url() const { return url_; }
    const std::string& title() const { return title_; }
    const std::vector<WKPageBlock>& pageBlocks() const { return blocks_; }
    bool isLoading() const { return pending_ != nullptr; }

    // How far the page is scrolled down, in points (0 at its top).
    CGFloat contentOffsetY() const { return offsetY_; }
    // The height the page takes at the view's width.
    CGFloat contentHeight() const;

    void draw(const CGRect& rect) override;
    void touchesMoved(const UITouchSet& touches, const UIEvent* event) override;

private:
    struct Pending;
    void startNavigation(WKNavigationAction action, bool appInitiated,
                         std::optional<std::string> html);
    void decideAction(const std::shared_ptr<Pending>& pending);
    void fetch(const std::shared_ptr<Pending>& pending);
    void decideResponse(const std::shared_ptr<Pending>& pending);
    void showNotice(const std::shared_ptr<Pending>& pending, const std::string& title,
                    const std::string& text);
    bool isCurrent(const std::shared_ptr<Pending>& pending) const { return pending_ == pending; }
    std::weak_ptr<WKWebView> weakSelf();

    std::shared_ptr<Pending> pending_;
    std::optional<URL> url_;
    std::string title_;
    std::vector<WKPageBlock> blocks_;
    CGFloat offsetY_ = 0;
};

// The page's blocks and title from HTML (used by the view; exposed for tests).
struct WKParsedPage {
    std::string title;
    std::vector<WKPageBlock> blocks;
};
WKParsedPage parseHTMLPage(const std::string& html);

} // namespace pf
