#include "HelpViewController.h"

#include <algorithm>
#include <cctype>

#include "core/Bundle.h"
#include "core/Console.h"
#include "core/FileManager.h"

using pf::Console;

namespace {

// The help site inside the application bundle's resources.
constexpr const char* kHelpFolder = "help";
constexpr const char* kSiteRootPage = "index.html";
constexpr const char* kProductPage = "orvex-compander.html";

std::optional<pf::URL> helpPage(const char* page) {
    const auto& resources = pf::Bundle::main().resourceURL();
    if (!resources) return std::nullopt;
    return resources->appendingPathComponent(kHelpFolder, true).appendingPathComponent(page);
}

std::string uppercase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

} // namespace

HelpViewController::HelpViewController(std::optional<std::string> nibName, const pf::Bundle* bundle)
    : pf::UIViewController(std::move(nibName), bundle) {}

HelpViewController::~HelpViewController() = default;

std::optional<pf::URL> HelpViewController::helpSiteRootURL() {
    return helpPage(kSiteRootPage);
}

std::optional<pf::URL> HelpViewController::productHelpPageURL() {
    return helpPage(kProductPage);
}

// ---- Interface resources -------------------------------------------------------------------

void HelpViewController::loadView() {
    constexpr pf::CGRect kCanvas{0, 0, 800, 600};
    constexpr pf::CGFloat kBar = 44;
    auto root = std::make_shared<pf::UIView>(kCanvas);
    root->setBackgroundColor(pf::UIColor(0.94, 0.94, 0.95, 1));

    auto web = std::make_shared<pf::WKWebView>(
        pf::CGRect{0, kBar, kCanvas.size.width, kCanvas.size.height - kBar});
    web->autoresizingMask =
        pf::UIViewAutoresizingFlexibleWidth | pf::UIViewAutoresizingFlexibleHeight;
    root->addSubview(web);

    auto exit = std::make_shared<pf::UIButton>(pf::CGRect{kCanvas.size.width - 88, 6, 80, 32});
    exit->setTitle("Done");
    exit->autoresizingMask = pf::UIViewAutoresizingFlexibleLeftMargin;
    root->addSubview(exit);

    setView(root);
    setWebView(web);
    buttonExit = exit;
    const std::weak_ptr<pf::UIViewController> weakSelf = weak_from_this();
    buttonExit->addTarget(
        shared_from_this(), "onButtonExit:",
        [weakSelf](pf::UIControl& sender, const pf::UIEvent*) {
            if (const auto self = std::dynamic_pointer_cast<HelpViewController>(weakSelf.lock())) {
                self->onButtonExit(std::shared_ptr<void>(sender.shared_from_this()));
            }
        },
        pf::UIControlEventTouchUpInside);
}

// ---- Life cycle ----------------------------------------------------------------------------

void HelpViewController::viewDidLoad() {
    pf::UIViewController::viewDidLoad();
    const auto self = std::static_pointer_cast<HelpViewController>(shared_from_this());
    webView()->uiDelegate = std::static_pointer_cast<pf::WKUIDelegate>(self);
    webView()->navigationDelegate = std::static_pointer_cast<pf::WKNavigationDelegate>(self);
}

void HelpViewController::didReceiveMemoryWarning() {
    pf::UIViewController::didReceiveMemoryWarning();
}

void HelpViewController::viewWillAppear(bool animated) {
    pf::UIViewController::viewWillAppear(animated);
    if (identifier_ == "ShowHelp") {
        loadHelpPdf();
    } else if (identifier_ == "ShowInfo") {
        navigateWeb();
    }
}

void HelpViewController::prepareInfo(const std::string& which) {
    identifier_ = which;
}

void HelpViewController::onButtonExit(const std::shared_ptr<void>&) {
    dismiss(true, [] {});
}

// ---- Loaders -------------------------------------------------------------------------------

void HelpViewController::load(const std::optional<pf::URL>& url) {
    if (!url) {
        std::fprintf(stderr, "HelpViewController: the application bundle has no help pages\n");
        return;
    }
    (void)webView()->load(pf::URLRequest(url));
}

// The product's help page (a PDF on the original site; an HTML page here).
void HelpViewController::loadHelpPdf() {
    load(productHelpPageURL());
}

void HelpViewController::navigateWeb() {
    load(helpSiteRootURL());
}

// The bundle's own "help.html", shown with its own file URL as the base. Not called.
void HelpViewController::loadHelpHtml() {
    const auto url = pf::Bundle::main().url("help", "html");
    if (!url) return;
    // Read as the web view reads its local pages: a regular file within its bound, nothing else.
    const auto bytes =
        pf::FileManager::defaultManager().contents(url->path(), pf::WKWebView::kMaxLocalPageBytes);
    if (!bytes) {
        Console::printLine("The file \u201c" + url->lastPathComponent() +
                           "\u201d couldn\u2019t be opened.");
        return;
    }
    (void)webView()->loadHTMLString(std::string(bytes->begin(), bytes->end()),
                                    pf::URL::fileURLWithPath(url->path()));
}

// ---- Web view delegates --------------------------------------------------------------------

void HelpViewController::webView(
    pf::WKWebView&, const pf::WKNavigationAction& decidePolicyFor,
    std::function<void(pf::WKNavigationActionPolicy)> decisionHandler) {
    Console::printLine("navigationAction: ");
    if (const auto& url = decidePolicyFor.request.url) Console::printLine(url->absoluteString());
    decisionHandler(pf::WKNavigationActionPolicy::allow);
}

void HelpViewController::webView(
    pf::WKWebView&, const pf::WKNavigationResponse& decidePolicyFor,
    std::function<void(pf::WKNavigationResponsePolicy)> decisionHandler) {
    Console::printLine("navigationResponse: ");
    const auto& url = decidePolicyFor.response.url;
    if (url) Console::printLine(url->absoluteString());
    const std::string extension = url ? uppercase(url->pathExtension()) : std::string();
    const bool shown = extension.empty() || extension == "PDF" || extension == "HTML";
    decisionHandler(shown ? pf::WKNavigationResponsePolicy::allow
                          : pf::WKNavigationResponsePolicy::cancel);
}

std::shared_ptr<pf::WKWebView> HelpViewController::webView(pf::WKWebView&,
                                                           const pf::WKWebViewConfiguration&,
                                                           const pf::WKNavigationAction& _for,
                                                           const pf::WKWindowFeatures&) {
    Console::printLine("createWebViewWith:");
    if (const auto& url = _for.request.url) Console::printLine(url->absoluteString());
    return nullptr;
}
