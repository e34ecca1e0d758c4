// The help screen: page choice, the navigation policies and their lines, new windows, exit,
// and pages that cannot be shown.
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

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

// The site root as a named pipe, a device, a folder or a file past 4 MiB: "Page not found" with
// the reason, and nothing blocks (a regression ends the test by its alarm instead).
TEST_F(HelpScreenTest, APageThatIsNoRegularFileWithinTheBoundIsNotFoundWithItsReason) {
    const std::string page = (bundle_.resources() / "help" / "index.html").string();
    const std::string noPage = "There is no page at this address.";
    const std::pair<std::function<void()>, std::string> cases[] = {
        {[&] { ASSERT_EQ(::mkfifo(page.c_str(), 0600), 0); }, noPage},
        {[&] { std::filesystem::create_symlink("/dev/zero", page); }, noPage},
        {[&] { std::filesystem::create_directory(page); }, noPage},
        {[&] {
             std::ofstream(page) << "<html><body>help</body></html>";
             std::filesystem::resize_file(page, (std::uintmax_t{4} << 20) + 1);
         },
         "The page is too large to show."}};
    ::alarm(10);
    for (const auto& [make, reason] : cases) {
        std::filesystem::remove(page);
        make();
        const auto help = show("ShowInfo");
        EXPECT_EQ(help->webView()->title(), "Page not found") << reason;
        ASSERT_EQ(help->webView()->pageBlocks().size(), 2u);
        EXPECT_EQ(help->webView()->pageBlocks()[1].text,
                  reason + "\n" + HelpViewController::helpSiteRootURL()->absoluteString());
        presenter_->dismiss(true);
    }
    ::alarm(0);
}

} // namespace
