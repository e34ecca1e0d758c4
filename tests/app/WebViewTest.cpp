// The web view: the order of the delegates' decisions, what they change, which addresses are
// fetched (local files only for the application's own loads; no network), the page reduction,
// and the application's URL opening.
#include <fstream>

#include "AppTestSupport.h"
#include "ui/UIWindow.h"
#include "ui/WKWebView.h"

namespace {

// Records each decision with its address and answers with the configured policies.
class Recorder : public pf::WKNavigationDelegate, public pf::WKUIDelegate {
public:
    void webView(pf::WKWebView&, const pf::WKNavigationAction& action,
                 std::function<void(pf::WKNavigationActionPolicy)> decide) override {
        events.push_back("action " + text(action.request.url));
        if (answerTwice) decide(pf::WKNavigationActionPolicy::cancel);
        decide(actionPolicy);
        if (answerTwice) decide(pf::WKNavigationActionPolicy::cancel);
    }
    void webView(pf::WKWebView&, const pf::WKNavigationResponse& response,
                 std::function<void(pf::WKNavigationResponsePolicy)> decide) override {
        events.push_back("response " + text(response.response.url) + " " +
                         response.response.mimeType);
        decide(responsePolicy);
    }
    std::shared_ptr<pf::WKWebView> webView(pf::WKWebView&, const pf::WKWebViewConfiguration&,
                                           const pf::WKNavigationAction& action,
                                           const pf::WKWindowFeatures&) override {
        events.push_back("new window " + text(action.request.url));
        return newWindow;
    }
    static std::string text(const std::optional<pf::URL>& url) {
        return url ? url->absoluteString() : "(none)";
    }

    std::vector<std::string> events;
    pf::WKNavigationActionPolicy actionPolicy = pf::WKNavigationActionPolicy::allow;
    pf::WKNavigationResponsePolicy responsePolicy = pf::WKNavigationResponsePolicy::allow;
    bool answerTwice = false;
    std::shared_ptr<pf::WKWebView> newWindow;
};

class WebViewTest : public ::testing::Test {
protected:
    WebViewTest() {
        pf::RunLoop::claimMainThread();
        web_->navigationDelegate = recorder_;
        web_->uiDelegate = recorder_;
        page_ = pf::URL::fileURLWithPath(dir_.file("page.html"));
        std::ofstream(dir_.file("page.html"))
            << "<html><head><title>A &amp; B</title><style>p{}</style></head>"
               "<body><h1>Heading</h1><p>First   line<br>second</p><ul><li>one</li></ul>"
               "<script>var x = '<p>';</script></body></html>";
    }
    void drain() { pf::RunLoop::main().drainQueue(); }

    enginetest::TempDir dir_;
    pf::URL page_ = pf::URL::fileURLWithPath("/");
    std::shared_ptr<pf::WKWebView> web_ =
        std::make_shared<pf::WKWebView>(pf::CGRect{0, 0, 400, 300});
    std::shared_ptr<Recorder> recorder_ = std::make_shared<Recorder>();
};

TEST_F(WebViewTest, AnApplicationLoadDecidesTheActionThenTheResponseThenShowsThePage) {
    ASSERT_TRUE(web_->load(pf::URLRequest(page_)));
    EXPECT_TRUE(recorder_->events.empty()); // nothing is decided inside the caller's call
    EXPECT_TRUE(web_->isLoading());
    drain();
    EXPECT_EQ(recorder_->events,
              (std::vector<std::string>{"action " + page_.absoluteString(),
                                        "response " + page_.absoluteString() + " text/html"}));
    EXPECT_FALSE(web_->isLoading());
    EXPECT_EQ(web_->url(), page_);
    EXPECT_EQ(web_->title(), "A & B");
    using K = pf::WKPageBlock::Kind;
    EXPECT_EQ(web_->pageBlocks(),
              (std::vector<pf::WKPageBlock>{{K::heading, "Heading"},
                                            {K::paragraph, "First line\nsecond"},
                                            {K::item, "one"}}));
}

TEST_F(WebViewTest, CancelledDecisionsFetchOrShowNothingAndAWebAddressOrAMissingPageIsShownAsSuch) {
    recorder_->answerTwice = true; // cancel, then allow, then cancel: the first answer counts
    web_->load(pf::URLRequest(page_));
    drain();
    EXPECT_EQ(recorder_->events.size(), 1u);
    EXPECT_FALSE(web_->url());

    recorder_->answerTwice = false;
    web_->load(pf::URLRequest(page_));
    drain();
    ASSERT_EQ(web_->url(), page_);
    recorder_->responsePolicy = pf::WKNavigationResponsePolicy::cancel;
    const auto other = pf::URL::fileURLWithPath(dir_.file("other.html"));
    std::ofstream(dir_.file("other.html")) << "<title>Other</title>";
    web_->load(pf::URLRequest(other));
    drain();
    EXPECT_EQ(web_->url(), page_);
    EXPECT_EQ(web_->title(), "A & B");

    recorder_->events.clear();
    web_->load(pf::URLRequest(pf::URL::fileURLWithPath(dir_.file("missing.html"))));
    drain();
    EXPECT_EQ(recorder_->events.size(), 1u) << "no response";
    EXPECT_EQ(web_->title(), "Page not found");

    recorder_->events.clear();
    web_->load(pf::URLRequest(*pf::URL::string("https://help.example.org/guide")));
    drain();
    EXPECT_EQ(recorder_->events, std::vector<std::string>{"action https://help.example.org/guide"});
    ASSERT_EQ(web_->pageBlocks().size(), 2u);
    EXPECT_NE(web_->pageBlocks()[1].text.find("no network"), std::string::npos);
    EXPECT_NE(web_->pageBlocks()[1].text.find("https://help.example.org/guide"), std::string::npos);
}

TEST_F(WebViewTest, APageLinkNeverOpensALocalFile) {
    web_->load(pf::URLRequest(page_));
    drain();
    recorder_->events.clear();
    // Only the application's own loads may read files; a link from a page may not.
    web_->activateLink(pf::URL::fileURLWithPath("/etc/passwd"), false);
    drain();
    EXPECT_EQ(recorder_->events, std::vector<std::string>{"action file:///etc/passwd"});
    EXPECT_EQ(web_->title(), "Local file not opened");
    for (const auto& block : web_->pageBlocks())
        EXPECT_EQ(block.text.find("root:"), std::string::npos);
}

TEST_F(WebViewTest, ANewWindowGoesToTheUIDelegateAndAnAnsweredViewLoadsIt) {
    const auto link = *pf::URL::string("https://help.example.org/new");
    web_->activateLink(link, true);
    drain();
    EXPECT_EQ(recorder_->events,
              std::vector<std::string>{"new window https://help.example.org/new"});
    EXPECT_FALSE(web_->isLoading());

    recorder_->events.clear();
    recorder_->newWindow = std::make_shared<pf::WKWebView>();
    web_->activateLink(link, true);
    drain();
    EXPECT_TRUE(recorder_->newWindow->pageBlocks().size() == 2u);
    EXPECT_EQ(recorder_->newWindow->title(), "Web page not loaded");
}

TEST_F(WebViewTest, ANewLoadSupersedesAPendingOne) {
    const auto other = pf::URL::fileURLWithPath(dir_.file("other.html"));
    std::ofstream(dir_.file("other.html")) << "<title>Other</title>";
    web_->load(pf::URLRequest(page_));
    web_->load(pf::URLRequest(other));
    drain();
    EXPECT_EQ(recorder_->events,
              (std::vector<std::string>{"action " + other.absoluteString(),
                                        "response " + other.absoluteString() + " text/html"}));
    EXPECT_EQ(web_->title(), "Other");
}

TEST_F(WebViewTest, AnHTMLStringIsDecidedLikeALoadWithItsBaseAddress) {
    web_->loadHTMLString("<p>Hi &#x263A; &unknown; &#0;</p>", page_);
    drain();
    EXPECT_EQ(recorder_->events.size(), 2u);
    EXPECT_EQ(web_->url(), page_);
    ASSERT_EQ(web_->pageBlocks().size(), 1u);
    EXPECT_EQ(web_->pageBlocks()[0].text, "Hi \u263A &unknown; \uFFFD");
}

TEST_F(WebViewTest, ALongPageScrollsByDraggingWithinItsLengthAndANewPageStartsAtTheTop) {
    std::string html = "<title>Long</title>";
    for (int i = 0; i < 60; ++i)
        html += "<p>Paragraph " + std::to_string(i) + "</p>";
    web_->loadHTMLString(html, std::nullopt);
    drain();
    const pf::CGFloat limit = web_->contentHeight() - 300;
    ASSERT_GT(limit, 200);
    ASSERT_LT(limit, 8 * 280);

    auto window = std::make_shared<pf::UIWindow>(pf::CGRect{0, 0, 400, 300});
    window->addSubview(web_);
    const auto drag = [&](pf::CGFloat fromY, pf::CGFloat toY) {
        auto& app = pf::UIApplication::shared();
        pf::InputEvent e;
        e.button = 1;
        e.clicks = 1;
        e.kind = pf::InputEvent::Kind::mouseDown;
        e.location = {200, fromY};
        app.sendInput(*window, e);
        e.kind = pf::InputEvent::Kind::mouseMove;
        e.location = {200, toY};
        app.sendInput(*window, e);
        e.kind = pf::InputEvent::Kind::mouseUp;
        app.sendInput(*window, e);
    };
    drag(250, 150); // the page follows the finger up
    EXPECT_DOUBLE_EQ(web_->contentOffsetY(), 100);
    for (int i = 0; i < 8; ++i)
        drag(290, 10);
    EXPECT_DOUBLE_EQ(web_->contentOffsetY(), limit);
    for (int i = 0; i < 8; ++i)
        drag(10, 290);
    EXPECT_DOUBLE_EQ(web_->contentOffsetY(), 0);

    drag(250, 150);
    web_->load(pf::URLRequest(page_));
    drain();
    EXPECT_DOUBLE_EQ(web_->contentOffsetY(), 0);
}

TEST(ApplicationOpenURL, OnlyWebFileAndMailAddressesReachTheOpener) {
    apptest::RecordingOpener opener;
    auto& application = pf::UIApplication::shared();
    EXPECT_TRUE(application.open(*pf::URL::string("https://help.example.org/")));
    EXPECT_TRUE(application.open(pf::URL::fileURLWithPath("/tmp/help/index.html")));
    EXPECT_FALSE(application.open(*pf::URL::string("javascript:alert(1)")));
    EXPECT_FALSE(application.open(*pf::URL::string("--help")));
    EXPECT_EQ(opener.urls(), (std::vector<std::string>{"https://help.example.org/",
                                                       "file:///tmp/help/index.html"}));
}

} // namespace
