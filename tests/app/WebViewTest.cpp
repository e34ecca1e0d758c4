// The web view: the order of the delegates' decisions, the page reduction, which addresses are
// fetched (local regular files only, for the application's own loads), and the application's URL
// opening.
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "AppTestSupport.h"
#include "ui/WKWebView.h"

namespace {

// Records each decision with its address and allows it.
class Recorder : public pf::WKNavigationDelegate {
public:
    void webView(pf::WKWebView&, const pf::WKNavigationAction& action,
                 std::function<void(pf::WKNavigationActionPolicy)> decide) override {
        events.push_back("action " + action.request.url->absoluteString());
        decide(pf::WKNavigationActionPolicy::allow);
    }
    void webView(pf::WKWebView&, const pf::WKNavigationResponse& response,
                 std::function<void(pf::WKNavigationResponsePolicy)> decide) override {
        events.push_back("response " + response.response.url->absoluteString() + " " +
                         response.response.mimeType);
        decide(pf::WKNavigationResponsePolicy::allow);
    }
    std::vector<std::string> events;
};

TEST(WebView, DecidesActionThenResponseThenShowsThePageReadingOnlyRegularFilesOfItsOwnLoads) {
    pf::RunLoop::claimMainThread();
    enginetest::TempDir dir;
    const auto page = pf::URL::fileURLWithPath(dir.file("page.html"));
    std::ofstream(dir.file("page.html"))
        << "<html><head><title>A &amp; B</title><style>p{}</style></head>"
           "<body><h1>Heading</h1><p>First   line<br>second</p><ul><li>one</li></ul>"
           "<script>var x = '<p>';</script></body></html>";
    auto web = std::make_shared<pf::WKWebView>(pf::CGRect{0, 0, 400, 300});
    auto recorder = std::make_shared<Recorder>();
    web->navigationDelegate = recorder;
    ASSERT_TRUE(web->load(pf::URLRequest(page)));
    EXPECT_TRUE(recorder->events.empty()) << "nothing is decided inside the caller's call";
    pf::RunLoop::main().drainQueue();
    EXPECT_EQ(recorder->events,
              (std::vector<std::string>{"action " + page.absoluteString(),
                                        "response " + page.absoluteString() + " text/html"}));
    EXPECT_EQ(web->url(), page);
    EXPECT_EQ(web->title(), "A & B");
    using K = pf::WKPageBlock::Kind;
    EXPECT_EQ(web->pageBlocks(), (std::vector<pf::WKPageBlock>{{K::heading, "Heading"},
                                                               {K::paragraph, "First line\nsecond"},
                                                               {K::item, "one"}}));

    // Only the application's own loads may read files; a link from a page may not.
    recorder->events.clear();
    web->activateLink(pf::URL::fileURLWithPath("/etc/passwd"), false);
    pf::RunLoop::main().drainQueue();
    EXPECT_EQ(recorder->events, std::vector<std::string>{"action file:///etc/passwd"});
    EXPECT_EQ(web->title(), "Local file not opened");
    for (const auto& block : web->pageBlocks())
        EXPECT_EQ(block.text.find("root:"), std::string::npos);

    // A named pipe, a folder or a file past 4 MiB is no page, and nothing blocks (a regression
    // ends the test by its alarm instead of hanging the suite).
    ASSERT_EQ(::mkfifo(dir.file("pipe.html").c_str(), 0600), 0);
    std::filesystem::create_directory(dir.file("folder.html"));
    std::ofstream(dir.file("huge.html")) << "<p>big</p>";
    std::filesystem::resize_file(dir.file("huge.html"), (std::uintmax_t{4} << 20) + 1);
    ::alarm(10);
    for (const std::string name : {"pipe.html", "folder.html", "huge.html"}) {
        const auto url = pf::URL::fileURLWithPath(dir.file(name));
        web->load(pf::URLRequest(url));
        pf::RunLoop::main().drainQueue();
        EXPECT_EQ(web->pageBlocks(),
                  (std::vector<pf::WKPageBlock>{
                      {K::heading, "Page not found"},
                      {K::notice, (name == "huge.html" ? "The page is too large to show.\n"
                                                       : "There is no page at this address.\n") +
                                      url.absoluteString()}}));
    }
    ::alarm(0);
}

TEST(ApplicationOpenURL, OnlyWebFileAndMailAddressesReachTheOpener) {
    apptest::RecordingOpener opener;
    auto& application = pf::UIApplication::shared();
    EXPECT_TRUE(application.open(*pf::URL::string("https://help.example.org/")));
    EXPECT_TRUE(application.open(pf::URL::fileURLWithPath("/tmp/help/index.html")));
    EXPECT_FALSE(application.open(*pf::URL::string("javascript:alert(1)")));
    EXPECT_FALSE(application.open(*pf::URL::string("--help")));
    EXPECT_EQ(opener.urls, (std::vector<std::string>{"https://help.example.org/",
                                                     "file:///tmp/help/index.html"}));
}

} // namespace
