// HelpViewController: the help screen. A web view shows one of the help site's pages and an
// exit button closes the screen. The main screen presents it through its segues "ShowHelp"
// (the product's help page) and "ShowInfo" (the site root) and says which before it is shown.
//
// The help site is our own set of HTML pages in the application bundle's Resources/help folder;
// its addresses are file: URLs, so help works offline, in the web view and in the browser.
//
// As the web view's delegates it logs every navigation, allows every navigation action, lets
// through only responses whose address has no extension or the extension PDF or HTML (in any
// letter case), and never opens a second web view.
//
// Ownership: made by the main screen's segues and owned by its presenter while shown; the web
// view outlet is weak (the screen's view tree owns the web view). [main-thread] All of it.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "core/URL.h"
#include "ui/UILabel.h"
#include "ui/UIViewController.h"
#include "ui/WKWebView.h"

class HelpViewController : public pf::UIViewController,
                           public pf::WKNavigationDelegate,
                           public pf::WKUIDelegate {
public:
    explicit HelpViewController(std::optional<std::string> nibName = std::nullopt,
                                const pf::Bundle* bundle = nullptr);
    ~HelpViewController() override;

    // The help site's root page and the product's help page in the application's bundle; none
    // when the bundle has no resource folder.
    static std::optional<pf::URL> helpSiteRootURL();
    static std::optional<pf::URL> productHelpPageURL();

    // ---- Outlets (filled by loadView)
    std::shared_ptr<pf::WKWebView> webView() const { return webView_.lock(); }
    void setWebView(const std::shared_ptr<pf::WKWebView>& view) { webView_ = view; }
    std::shared_ptr<pf::UIButton> buttonExit;

    const std::string& identifier() const { return identifier_; }
    void setIdentifier(std::string identifier) { identifier_ = std::move(identifier); }

    // Dismisses the screen, animated, with an empty completion.
    virtual void onButtonExit(const std::shared_ptr<void>& sender);

    // ---- Navigation delegate
    void webView(pf::WKWebView& webView, const pf::WKNavigationAction& decidePolicyFor,
                 std::function<void(pf::WKNavigationActionPolicy)> decisionHandler) override;
    void webView(pf::WKWebView& webView, const pf::WKNavigationResponse& decidePolicyFor,
                 std::function<void(pf::WKNavigationResponsePolicy)> decisionHandler) override;
    // ---- UI delegate: prints the request and opens nothing.
    std::shared_ptr<pf::WKWebView> webView(pf::WKWebView& webView,
                                           const pf::WKWebViewConfiguration& createWebViewWith,
                                           const pf::WKNavigationAction& _for,
                                           const pf::WKWindowFeatures& windowFeatures) override;

    // Stores the segue's identifier: it selects the page shown.
    void prepareInfo(const std::string& which);

    // ---- View life cycle
    // The interface resources: the web view over the screen and the exit button on top.
    void loadView() override;
    void viewDidLoad() override;
    void didReceiveMemoryWarning() override;
    // Loads the page `identifier` selects ("ShowHelp" the product page, "ShowInfo" the site
    // root, anything else nothing), every time the screen is about to appear.
    void viewWillAppear(bool animated) override;

private:
    void loadHelpHtml();
    void loadHelpPdf();
    void navigateWeb();
    void load(const std::optional<pf::URL>& url);

    std::string identifier_ = "ShowHelp";
    std::weak_ptr<pf::WKWebView> webView_;
};
