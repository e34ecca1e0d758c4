// The help screen: page choice, the navigation policies and their lines, new windows, exit.
#include "AppTestSupport.h"

namespace {

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

    apptest::TestBundle bundle_;
    pf::ConsoleCapture console_;
    std::shared_ptr<pf::UIViewController> presenter_ = std::make_shared<pf::UIViewController>();
};

TEST_F(HelpScreenTest,
       TheIdentifierSelectsThePageLoadedOnEveryAppearanceNewWindowsOpenNothingAndExitDismisses) {
    auto help = show("ShowInfo");
    const auto root = HelpViewController::helpSiteRootURL();
    EXPECT_EQ(help->webView()->url(), root);
    presenter_->dismiss(true);
    console_.clear();
    presenter_->present(help, true);
    pf::RunLoop::main().drainQueue();
    EXPECT_EQ(console_.lines(),
              (std::vector<std::string>{"navigationAction: ", root->absoluteString(),
                                        "navigationResponse: ", root->absoluteString()}));
    // A link asking for a new window is logged and opens nothing.
    console_.clear();
    help->webView()->activateLink(*pf::URL::string("https://help.example.org/new"), true);
    pf::RunLoop::main().drainQueue();
    EXPECT_EQ(console_.lines(),
              (std::vector<std::string>{"createWebViewWith:", "https://help.example.org/new"}));
    EXPECT_EQ(help->webView()->url(), root);
    help->buttonExit->sendActions(pf::UIControlEventTouchUpInside);
    EXPECT_FALSE(presenter_->presentedViewController());
    EXPECT_FALSE(help->view()->superview());

    help = show(std::nullopt); // shown without preparation: the product page
    EXPECT_EQ(help->webView()->url(), HelpViewController::productHelpPageURL());
    EXPECT_EQ(help->webView()->title(), "Orvex Compander \u2013 Help");
    presenter_->dismiss(true);

    console_.clear();
    help = show("showinfo");
    EXPECT_FALSE(help->webView()->url());
    EXPECT_TRUE(console_.lines().empty());
}

TEST_F(HelpScreenTest, ResponsesPassOnlyWithoutExtensionOrAsPdfOrHtmlInAnyCase) {
    auto help = show("elsewhere");
    const std::pair<std::optional<std::string>, bool> cases[] = {
        {"https://help.example.org/", true}, {"file:///help/guide.pdf", true},
        {"file:///help/guide.PDF", true},    {"file:///help/page.Html", true},
        {"file:///help/readme", true},       {"file:///help/page.htm", false},
        {"file:///help/picture.png", false}, {std::nullopt, true}};
    for (const auto& [url, allowed] : cases) {
        pf::WKNavigationResponse response;
        if (url) response.response.url = pf::URL::string(*url);
        std::vector<pf::WKNavigationResponsePolicy> answers;
        help->webView(*help->webView(), response,
                      [&](pf::WKNavigationResponsePolicy p) { answers.push_back(p); });
        const auto name = url.value_or("(none)");
        ASSERT_EQ(answers.size(), 1u) << name;
        EXPECT_EQ(answers[0] == pf::WKNavigationResponsePolicy::allow, allowed) << name;
    }
}

} // namespace
