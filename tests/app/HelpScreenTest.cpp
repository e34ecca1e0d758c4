// The help screen: page choice, the navigation policies and their lines, new windows, exit.
#include "AppTestSupport.h"

namespace {

using apptest::TestBundle;

class HelpScreenTest : public ::testing::Test {
protected:
    HelpScreenTest() {
        pf::RunLoop::claimMainThread();
        presenter_->loadViewIfNeeded();
    }
    ~HelpScreenTest() override { pf::RunLoop::main().drainQueue(); }

    // Presents a help screen prepared with `which` and lets its page load.
    std::shared_ptr<HelpViewController> show(const std::optional<std::string>& which) {
        auto help = std::make_shared<HelpViewController>();
        if (which) help->prepareInfo(*which);
        presenter_->present(help, true);
        pf::RunLoop::main().drainQueue();
        return help;
    }

    static std::string address(const std::optional<pf::URL>& url) {
        return url ? url->absoluteString() : std::string("(none)");
    }

    TestBundle bundle_;
    pf::ConsoleCapture console_;
    std::shared_ptr<pf::UIViewController> presenter_ = std::make_shared<pf::UIViewController>();
};

TEST_F(HelpScreenTest, TheIdentifierSelectsThePageLoadedOnEveryAppearanceAndOtherTextLoadsNothing) {
    auto help = show("ShowInfo");
    EXPECT_EQ(help->webView()->url(), HelpViewController::helpSiteRootURL());
    presenter_->dismiss(true);
    console_.clear();
    presenter_->present(help, true);
    pf::RunLoop::main().drainQueue();
    const std::string root = address(HelpViewController::helpSiteRootURL());
    EXPECT_EQ(console_.lines(),
              (std::vector<std::string>{"navigationAction: ", root, "navigationResponse: ", root}));
    presenter_->dismiss(true);

    help = show(std::nullopt); // shown without preparation: the product page
    EXPECT_EQ(help->webView()->url(), HelpViewController::productHelpPageURL());
    EXPECT_EQ(help->webView()->title(), "Orvex Compander \u2013 Help");
    presenter_->dismiss(true);

    console_.clear();
    help = show("showinfo");
    EXPECT_FALSE(help->webView()->url());
    EXPECT_TRUE(help->webView()->pageBlocks().empty());
    EXPECT_TRUE(console_.lines().empty());
}

TEST_F(HelpScreenTest, ResponsesPassOnlyWithoutExtensionOrAsPdfOrHtmlInAnyCase) {
    auto help = show("elsewhere");
    auto& web = *help->webView();
    const auto decide = [&](std::optional<std::string> url) {
        pf::WKNavigationResponse response;
        if (url) response.response.url = pf::URL::string(*url);
        std::optional<pf::WKNavigationResponsePolicy> answer;
        int calls = 0;
        help->webView(web, response, [&](pf::WKNavigationResponsePolicy p) {
            answer = p;
            ++calls;
        });
        EXPECT_EQ(calls, 1);
        return answer == pf::WKNavigationResponsePolicy::allow;
    };
    EXPECT_TRUE(decide("https://help.example.org/"));
    EXPECT_TRUE(decide("file:///help/guide.pdf"));
    EXPECT_TRUE(decide("file:///help/guide.PDF"));
    EXPECT_TRUE(decide("file:///help/page.Html"));
    EXPECT_TRUE(decide("file:///help/readme"));
    EXPECT_FALSE(decide("file:///help/page.htm"));
    EXPECT_FALSE(decide("file:///help/picture.png"));
    console_.clear();
    EXPECT_TRUE(decide(std::nullopt));
    EXPECT_EQ(console_.lines(), std::vector<std::string>{"navigationResponse: "});
}

TEST_F(HelpScreenTest, EveryActionIsAllowedAndLoggedAndANewWindowLinkOpensNothing) {
    auto help = show("ShowInfo");
    const auto before = help->webView()->url();
    console_.clear();
    int allowed = 0;
    pf::WKNavigationAction action;
    const auto decide = [&] {
        help->webView(*help->webView(), action, [&](pf::WKNavigationActionPolicy p) {
            allowed += p == pf::WKNavigationActionPolicy::allow;
        });
    };
    decide();
    action.request.url = pf::URL::string("https://help.example.org/x.png");
    decide();
    EXPECT_EQ(allowed, 2);
    help->webView()->activateLink(*pf::URL::string("https://help.example.org/new"), true);
    pf::RunLoop::main().drainQueue();
    EXPECT_EQ(console_.lines(),
              (std::vector<std::string>{
                  "navigationAction: ", "navigationAction: ", "https://help.example.org/x.png",
                  "createWebViewWith:", "https://help.example.org/new"}));
    EXPECT_EQ(help->webView()->url(), before);
}

TEST_F(HelpScreenTest, TheExitButtonDismissesTheScreenAndTheDelegatesAreTheScreen) {
    auto help = show("ShowInfo");
    EXPECT_EQ(help->webView()->navigationDelegate.lock().get(),
              static_cast<pf::WKNavigationDelegate*>(help.get()));
    EXPECT_EQ(help->webView()->uiDelegate.lock().get(), static_cast<pf::WKUIDelegate*>(help.get()));
    help->buttonExit->sendActions(pf::UIControlEventTouchUpInside);
    EXPECT_FALSE(presenter_->presentedViewController());
    EXPECT_FALSE(help->view()->superview());
}

} // namespace
