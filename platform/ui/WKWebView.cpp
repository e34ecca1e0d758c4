// The web view's navigation steps and its drawing. The HTML reduction is in WKWebViewPage.cpp.
#include "ui/WKWebView.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "core/Dispatch.h"
#include "core/FileManager.h"
#include "core/NSError.h"
#include "ui/TextDrawing.h"
#include "ui/UITouch.h"

namespace pf {

namespace {

std::string lowercase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string mimeTypeFor(const URL& url) {
    const std::string extension = lowercase(url.pathExtension());
    if (extension == "html" || extension == "htm" || extension == "xhtml") return "text/html";
    if (extension == "txt" || extension.empty()) return "text/plain";
    if (extension == "pdf") return "application/pdf";
    if (extension == "png") return "image/png";
    if (extension == "jpg" || extension == "jpeg") return "image/jpeg";
    return "application/octet-stream";
}

// The whole file when it is a regular file within the size limit; otherwise why not.
std::optional<std::string> readLocalPage(const std::string& path, std::string& whyNot) {
    try {
        const auto bytes =
            FileManager::defaultManager().readData(path, WKWebView::kMaxLocalPageBytes);
        return std::string(bytes.begin(), bytes.end());
    } catch (const NSErrorException& e) {
        switch (e.error().code()) {
        case NSFileReadTooLargeError:
            whyNot = "The page is too large to show.";
            break;
        case NSFileReadNoPermissionError:
            whyNot = "The page could not be read.";
            break;
        default:
            whyNot = "There is no page at this address.";
        }
        return std::nullopt;
    }
}

// A decision handler that takes one answer: later calls are reported and ignored.
template <class Policy>
std::function<void(Policy)> oneShot(const char* what, std::function<void(Policy)> decide) {
    auto used = std::make_shared<bool>(false);
    return [used, what, decide = std::move(decide)](Policy policy) {
        if (*used) {
            std::fprintf(stderr, "pf: a %s decision handler was called more than once\n", what);
            return;
        }
        *used = true;
        decide(policy);
    };
}

} // namespace

struct WKWebView::Pending {
    WKNavigationAction action;
    bool appInitiated = false;
    std::optional<std::string> html; // loadHTMLString's content, no fetch
    URLResponse response;
    std::string body;
};

WKWebView::WKWebView(const CGRect& frame, WKWebViewConfiguration) : UIView(frame) {
    setBackgroundColor(UIColor::white());
    setClipsToBounds(true);
}

WKWebView::~WKWebView() = default;

std::weak_ptr<WKWebView> WKWebView::weakSelf() {
    return std::static_pointer_cast<WKWebView>(shared_from_this());
}

std::shared_ptr<WKNavigation> WKWebView::load(const URLRequest& request) {
    if (!request.url) return nullptr;
    startNavigation(
        WKNavigationAction{request, WKNavigationType::other, WKFrameInfo{}, std::nullopt}, true,
        std::nullopt);
    return std::make_shared<WKNavigation>();
}

std::shared_ptr<WKNavigation> WKWebView::loadHTMLString(const std::string& html,
                                                        const std::optional<URL>& baseURL) {
    const auto address = baseURL ? baseURL : URL::string("about:blank");
    startNavigation(WKNavigationAction{URLRequest(address), WKNavigationType::other, WKFrameInfo{},
                                       std::nullopt},
                    true, html);
    return std::make_shared<WKNavigation>();
}

void WKWebView::activateLink(const URL& url, bool newWindow) {
    WKNavigationAction action{URLRequest(url), WKNavigationType::linkActivated, WKFrameInfo{},
                              WKFrameInfo{}};
    if (!newWindow) {
        startNavigation(std::move(action), false, std::nullopt);
        return;
    }
    action.targetFrame.reset();
    DispatchQueue::main().async([weak = weakSelf(), action = std::move(action)] {
        const auto self = weak.lock();
        if (!self) return;
        const auto delegate = self->uiDelegate.lock();
        if (!delegate) return;
        const auto created =
            delegate->webView(*self, WKWebViewConfiguration{}, action, WKWindowFeatures{});
        if (created && created.get() != self.get())
            created->startNavigation(action, false, std::nullopt);
    });
}

void WKWebView::stopLoading() {
    pending_.reset();
}

void WKWebView::startNavigation(WKNavigationAction action, bool appInitiated,
                                std::optional<std::string> html) {
    auto pending = std::make_shared<Pending>();
    pending->action = std::move(action);
    pending->appInitiated = appInitiated;
    pending->html = std::move(html);
    pending_ = pending;
    DispatchQueue::main().async([weak = weakSelf(), pending] {
        if (const auto self = weak.lock(); self && self->isCurrent(pending)) {
            self->decideAction(pending);
        }
    });
}

void WKWebView::decideAction(const std::shared_ptr<Pending>& pending) {
    auto decide = oneShot<WKNavigationActionPolicy>(
        "navigation action", [weak = weakSelf(), pending](WKNavigationActionPolicy policy) {
            const auto self = weak.lock();
            if (!self || !self->isCurrent(pending)) return;
            if (policy == WKNavigationActionPolicy::cancel) {
                self->pending_.reset();
                return;
            }
            DispatchQueue::main().async([weak, pending] {
                if (const auto view = weak.lock(); view && view->isCurrent(pending)) {
                    view->fetch(pending);
                }
            });
        });
    if (const auto delegate = navigationDelegate.lock()) {
        delegate->webView(*this, pending->action, std::move(decide));
    } else {
        decide(WKNavigationActionPolicy::allow);
    }
}

void WKWebView::fetch(const std::shared_ptr<Pending>& pending) {
    const auto& url = pending->action.request.url;
    if (pending->html) {
        pending->response =
            URLResponse{url, "text/html", static_cast<std::int64_t>(pending->html->size())};
        pending->body = *pending->html;
        decideResponse(pending);
        return;
    }
    if (!url) {
        showNotice(pending, "No address", "The page has no address.");
        return;
    }
    const std::string scheme = lowercase(url->scheme());
    if (scheme == "http" || scheme == "https") {
        showNotice(pending, "Web page not loaded",
                   "Pages on the web are not loaded here (this application has no network "
                   "access). Open this address in your browser:\n" +
                       url->absoluteString());
        return;
    }
    if (scheme != "file") {
        showNotice(pending, "Address not supported",
                   "This viewer shows local help pages only:\n" + url->absoluteString());
        return;
    }
    if (!pending->appInitiated) {
        // A page may not reach into local files; only the application's own loads may.
        showNotice(pending, "Local file not opened",
                   "A page may not open local files:\n" + url->absoluteString());
        return;
    }
    std::string whyNot;
    auto content = readLocalPage(url->path(), whyNot);
    if (!content) {
        showNotice(pending, "Page not found", whyNot + "\n" + url->absoluteString());
        return;
    }
    pending->response =
        URLResponse{url, mimeTypeFor(*url), static_cast<std::int64_t>(content->size())};
    pending->body = std::move(*content);
    decideResponse(pending);
}

void WKWebView::decideResponse(const std::shared_ptr<Pending>& pending) {
    auto decide = oneShot<WKNavigationResponsePolicy>(
        "navigation response", [weak = weakSelf(), pending](WKNavigationResponsePolicy policy) {
            const auto self = weak.lock();
            if (!self || !self->isCurrent(pending)) return;
            self->pending_.reset();
            if (policy == WKNavigationResponsePolicy::cancel) return;
            const std::string& type = pending->response.mimeType;
            self->url_ = pending->response.url;
            if (type == "text/html") {
                auto page = parseHTMLPage(pending->body);
                self->title_ = std::move(page.title);
                self->blocks_ = std::move(page.blocks);
            } else if (type == "text/plain") {
                self->title_ = self->url_ ? self->url_->lastPathComponent() : std::string();
                self->blocks_ = {WKPageBlock{WKPageBlock::Kind::paragraph, pending->body}};
            } else {
                self->title_ = self->url_ ? self->url_->lastPathComponent() : std::string();
                self->blocks_ = {
                    WKPageBlock{WKPageBlock::Kind::notice,
                                "A document of type " + type +
                                    " is not shown here. Open it in your browser:\n" +
                                    (self->url_ ? self->url_->absoluteString() : std::string())}};
            }
            self->offsetY_ = 0;
            self->setNeedsDisplay();
        });
    WKNavigationResponse response{pending->response, true, true};
    if (const auto delegate = navigationDelegate.lock()) {
        delegate->webView(*this, response, std::move(decide));
    } else {
        decide(WKNavigationResponsePolicy::allow);
    }
}

void WKWebView::showNotice(const std::shared_ptr<Pending>& pending, const std::string& title,
                           const std::string& text) {
    pending_.reset();
    (void)pending;
    title_ = title;
    blocks_ = {WKPageBlock{WKPageBlock::Kind::heading, title},
               WKPageBlock{WKPageBlock::Kind::notice, text}};
    offsetY_ = 0;
    setNeedsDisplay();
}

namespace {

constexpr CGFloat kMargin = 16;
constexpr CGFloat kGap = 10;

// The text and attributes a block is drawn with.
std::pair<std::string, NSStringAttributes> styled(const WKPageBlock& block) {
    NSStringAttributes attributes;
    attributes.font = UIFont::systemFont(14);
    std::string text = block.text;
    switch (block.kind) {
    case WKPageBlock::Kind::heading:
        attributes.font =
            UIFont::named("HelveticaNeue-CondensedBold", 20).value_or(UIFont::systemFont(20));
        break;
    case WKPageBlock::Kind::item:
        text = "\u2022 " + text;
        break;
    case WKPageBlock::Kind::notice:
        attributes.foregroundColor = UIColor(0.45, 0.45, 0.45, 1);
        break;
    case WKPageBlock::Kind::paragraph:
        break;
    }
    return {std::move(text), std::move(attributes)};
}

} // namespace

CGFloat WKWebView::contentHeight() const {
    const CGFloat width = std::max<CGFloat>(bounds().size.width - 2 * kMargin, 1);
    CGFloat height = kMargin;
    for (const auto& block : blocks_) {
        const auto [text, attributes] = styled(block);
        height += boundingRect(text, CGSize{width, 1e6}, NSStringDrawingUsesLineFragmentOrigin,
                               attributes)
                      .size.height +
                  kGap;
    }
    return height + kMargin;
}

void WKWebView::touchesMoved(const UITouchSet& touches, const UIEvent*) {
    if (touches.empty()) return;
    const CGFloat dy =
        touches.front()->location(this).y - touches.front()->previousLocation(this).y;
    const CGFloat limit = std::max<CGFloat>(contentHeight() - bounds().size.height, 0);
    const CGFloat offset = std::clamp<CGFloat>(offsetY_ - dy, 0, limit);
    if (offset != offsetY_) {
        offsetY_ = offset;
        setNeedsDisplay();
    }
}

void WKWebView::draw(const CGRect& rect) {
    (void)rect;
    const CGFloat width = std::max<CGFloat>(bounds().size.width - 2 * kMargin, 1);
    CGFloat y = kMargin - offsetY_;
    for (const auto& block : blocks_) {
        const auto [text, attributes] = styled(block);
        const CGFloat height = boundingRect(text, CGSize{width, 1e6},
                                            NSStringDrawingUsesLineFragmentOrigin, attributes)
                                   .size.height;
        if (y + height >= 0) drawText(text, CGRect{kMargin, y, width, height}, attributes);
        y += height + kGap;
        if (y > bounds().size.height) break;
    }
}

} // namespace pf
