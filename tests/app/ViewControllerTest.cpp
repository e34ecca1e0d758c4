// The main screen: embedding of the plug-in's view, buttons and segues.
#include <thread>

#include "AppTestSupport.h"

namespace {

using apptest::ScreenTest;

// A plug-in controller stand-in that records where it moved.
class ChildController : public pf::UIViewController {
public:
    void loadView() override { setView(std::make_shared<pf::UIView>(pf::CGRect{0, 0, 120, 80})); }
    void didMove(pf::UIViewController* toParent) override { movedTo = toParent; }
    pf::UIViewController* movedTo = nullptr;
};

// A unit node whose view-controller request answers `controller`, on the main queue or, with
// `offMain`, straight from a worker thread.
std::shared_ptr<pf::AVAudioUnit> unitAnswering(std::shared_ptr<pf::UIViewController> controller,
                                               bool offMain = false) {
    std::shared_ptr<enginetest::GainUnit> unit;
    auto node = enginetest::makeGainNode(&unit);
    unit->setViewControllerProvider([controller, offMain](pf::AUViewControllerCompletion done) {
        if (offMain) {
            std::thread([controller, done] { done(controller); }).join();
        } else {
            pf::DispatchQueue::main().async([controller, done] { done(controller); });
        }
    });
    return node;
}

TEST_F(ScreenTest, EmbedsThePlugInViewPinnedToTheHiddenAreaOnTheMainThreadWhereverTheAnswerComes) {
    for (const bool offMain : {false, true}) {
        auto child = std::make_shared<ChildController>();
        console_.clear();
        const auto before = screen_->children().size();
        std::thread([&] { screen_->onFoundComponent(unitAnswering(child, offMain)); }).join();
        EXPECT_EQ(screen_->children().size(), before) << "no view work off the main thread";
        ASSERT_TRUE(runUntil([&] { return child->movedTo == screen_.get(); }));
        EXPECT_EQ(console_.lines(), std::vector<std::string>{
                                        "ViewController: Loading the audio unit's interface..."});
        EXPECT_EQ(screen_->children().back(), child);
        EXPECT_EQ(child->view()->superview(), screen_->pluginView.get());
        EXPECT_EQ(screen_->pluginView->constraints().size(), 4u * (offMain ? 2 : 1));
        screen_->pluginView->setFrame({0, 52, 500, 300});
        window_->layoutIfNeeded();
        EXPECT_EQ(child->view()->frame(), screen_->pluginView->bounds());
        EXPECT_TRUE(screen_->pluginView->isHidden());
        EXPECT_FALSE(screen_->audioUnitViewController()) << "held as a child only";
    }
}

// Whichever thread answers the request (the main queue or a worker), each on a fresh screen.
class EmbeddingTest : public ScreenTest, public ::testing::WithParamInterface<bool> {};
INSTANTIATE_TEST_SUITE_P(AnswerOnMainQueueOrWorker, EmbeddingTest, ::testing::Bool());

TEST_P(EmbeddingTest, EmbedsThePlugInViewPinnedToTheHiddenAreaOnTheMainThread) {
    auto child = std::make_shared<ChildController>();
    console_.clear();
    std::thread([&] { screen_->onFoundComponent(unitAnswering(child, GetParam())); }).join();
    EXPECT_TRUE(screen_->children().empty()) << "no view work off the main thread";
    ASSERT_TRUE(runUntil([&] { return child->movedTo == screen_.get(); }));
    EXPECT_EQ(console_.lines(),
              std::vector<std::string>{"ViewController: Loading the audio unit's interface..."});
    EXPECT_EQ(screen_->children(), std::vector<std::shared_ptr<pf::UIViewController>>{child});
    EXPECT_EQ(child->view()->superview(), screen_->pluginView.get());
    EXPECT_EQ(screen_->pluginView->constraints().size(), 4u) << "pinned at its four edges";
    screen_->pluginView->setFrame({0, 52, 500, 300});
    window_->layoutIfNeeded();
    EXPECT_EQ(child->view()->frame(), screen_->pluginView->bounds());
    EXPECT_TRUE(screen_->pluginView->isHidden());
    EXPECT_FALSE(screen_->audioUnitViewController()) << "held as a child only";
}

TEST_F(ScreenTest, NoUnitOrNoControllerEmbedsNothingAndSaysWhy) {
    console_.clear();
    screen_->onFoundComponent(nullptr);
    EXPECT_EQ(console_.lines(),
              (std::vector<std::string>{
                  "ViewController: Loading the audio unit's interface...",
                  "ERROR: The audio unit is not initialized to load the user interface."}));
    screen_->onFoundComponent(unitAnswering(nullptr));
    ASSERT_TRUE(waitForLine(
        "ERROR: Something is wrong with the view controller and view of the audio unit."));
    EXPECT_TRUE(screen_->pluginView->subviews().empty());

    EXPECT_TRUE(screen_->children().empty());
}

TEST_F(ScreenTest, TheUnitButtonTogglesTheAreaAndBothPlaybackButtonsToggleFollowingTheReport) {
    // At the start Play is shown, Stop and the area hidden, and the screen hears the player.
    EXPECT_FALSE(screen_->playButton->isHidden());
    EXPECT_TRUE(screen_->stopButton->isHidden());
    EXPECT_TRUE(screen_->pluginView->isHidden());
    EXPECT_EQ(screen_->audioUnitManager()->auEngine->delegate().get(),
              static_cast<AUEnginePlayerDelegate*>(screen_.get()));
    tap(*screen_->buttonUnit);
    EXPECT_FALSE(screen_->pluginView->isHidden());
    tap(*screen_->buttonUnit);
    EXPECT_TRUE(screen_->pluginView->isHidden());

    bundle_.addTone(1);
    screen_->audioUnitManager()->auEngine->setRandomDrawForTesting([](int, int) { return 1; });
    // Stop while stopped starts playback; the buttons change only on the report.
    tap(*screen_->stopButton);
    EXPECT_FALSE(screen_->playButton->isHidden());
    ASSERT_TRUE(runUntil([&] { return screen_->playButton->isHidden(); }));
    EXPECT_FALSE(screen_->stopButton->isHidden());
    tap(*screen_->playButton);
    ASSERT_TRUE(runUntil([&] { return !screen_->playButton->isHidden(); }));
    EXPECT_TRUE(screen_->stopButton->isHidden());
}

TEST_F(ScreenTest, HelpHandsTheSiteRootToTheBrowserAndBothHelpButtonsShowTheHelpScreen) {
    const std::string root =
        pf::URL::fileURLWithPath((bundle_.resources() / "help" / "index.html").string())
            .absoluteString();
    const struct {
        pf::UIButton& button;
        const char* identifier;
        std::vector<std::string> opened;
    } cases[] = {{*screen_->buttonInfo, "ShowInfo", {}},
                 {*screen_->buttonHelp, "ShowHelp", {root}}};
    for (const auto& c : cases) {
        console_.clear();
        tap(c.button);
        EXPECT_EQ(opener_.urls, c.opened) << c.identifier;
        const auto lines = console_.lines();
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.front(), c.identifier);
        const auto help =
            std::dynamic_pointer_cast<HelpViewController>(screen_->presentedViewController());
        ASSERT_TRUE(help);
        EXPECT_EQ(help->identifier(), c.identifier);
        tap(*help->buttonExit);
        EXPECT_FALSE(screen_->presentedViewController());
    }
}

TEST_F(ScreenTest, SegueWithAnotherDestinationOrIdentifierOnlyPrintsTheIdentifier) {
    console_.clear();
    // A mis-wired "ShowHelp" segue whose destination is no help screen is skipped, not trusted.
    pf::UIStoryboardSegue wrong("ShowHelp", screen_, std::make_shared<pf::UIViewController>());
    screen_->prepare(wrong, nullptr);
    pf::UIStoryboardSegue other("ShowSomething", screen_, std::make_shared<HelpViewController>());
    screen_->prepare(other, nullptr);
    pf::UIStoryboardSegue unnamed(std::nullopt, screen_, std::make_shared<HelpViewController>());
    screen_->prepare(unnamed, nullptr);
    EXPECT_EQ(console_.lines(), (std::vector<std::string>{"ShowHelp", "ShowSomething"}));
}

} // namespace
