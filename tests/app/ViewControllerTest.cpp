// The main screen: start-up state, embedding of the plug-in's view, buttons, segues, layout
// routine, picker and alert.
#include <thread>

#include "AppTestSupport.h"
#include "core/SwiftText.h"
#include "ui/UIAlertController.h"
#include "ui/UIDocumentPickerViewController.h"

namespace {

using apptest::contains;
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

TEST_F(ScreenTest, StartsWithPlayShownStopHiddenAreaHiddenAndTheScreenAsThePlayersDelegate) {
    EXPECT_FALSE(screen_->playButton->isHidden());
    EXPECT_TRUE(screen_->stopButton->isHidden());
    EXPECT_TRUE(screen_->pluginView->isHidden());
    ASSERT_TRUE(screen_->audioUnitManager());
    EXPECT_EQ(screen_->audioUnitManager()->auEngine->delegate().get(),
              static_cast<AUEnginePlayerDelegate*>(screen_.get()));

    auto lines = console_.lines();
    lines.erase(std::remove(lines.begin(), lines.end(), "ERROR: There were no audio units found."),
                lines.end());
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "Info: Main view controller loaded.");
    EXPECT_EQ(lines[1].rfind("NOTE: WE ARE IN AUDIO UNIT RELEASE MODE.", 0), 0u);
    EXPECT_EQ(lines[2], "ViewController: The app's documents path is: " + screen_->documentsPath());
    EXPECT_EQ(lines[3],
              "ViewController: The app's resources path is: " + bundle_.resources().string());
    EXPECT_EQ(screen_->resourcesPath(), bundle_.resources().string());
}

TEST_F(ScreenTest, EmbedsThePlugInViewPinnedToTheAreaWhichStaysHidden) {
    auto child = std::make_shared<ChildController>();
    console_.clear();
    screen_->onFoundComponent(unitAnswering(child));
    ASSERT_TRUE(runUntil([&] { return !screen_->children().empty(); }));

    EXPECT_EQ(console_.lines(),
              std::vector<std::string>{"ViewController: Loading the audio unit's interface..."});
    ASSERT_EQ(screen_->children().size(), 1u);
    EXPECT_EQ(screen_->children()[0], child);
    EXPECT_EQ(child->movedTo, screen_.get());
    EXPECT_EQ(child->view()->superview(), screen_->pluginView.get());
    const auto& pins = screen_->pluginView->constraints();
    ASSERT_EQ(pins.size(), 4u);
    EXPECT_EQ(pins[0].firstAttribute, pf::NSLayoutAttribute::top);
    EXPECT_EQ(pins[1].firstAttribute, pf::NSLayoutAttribute::leading);
    EXPECT_EQ(pins[2].firstAttribute, pf::NSLayoutAttribute::bottom);
    EXPECT_EQ(pins[3].firstAttribute, pf::NSLayoutAttribute::trailing);
    window_->layoutIfNeeded();
    EXPECT_EQ(child->view()->frame(), screen_->pluginView->bounds());
    EXPECT_TRUE(screen_->pluginView->isHidden());
    // The embedded controller is held as a child only.
    EXPECT_FALSE(screen_->audioUnitViewController());
}

TEST_F(ScreenTest, AnAnswerFromAnotherThreadIsEmbeddedOnTheMainThread) {
    auto child = std::make_shared<ChildController>();
    std::thread([&] { screen_->onFoundComponent(unitAnswering(child, true)); }).join();
    // Nothing touched the views on the worker thread.
    EXPECT_TRUE(screen_->children().empty());
    ASSERT_TRUE(runUntil([&] { return !screen_->children().empty(); }));
    EXPECT_EQ(child->view()->superview(), screen_->pluginView.get());
}

TEST_F(ScreenTest, NoUnitOrNoControllerEmbedsNothingAndSaysWhy) {
    console_.clear();
    screen_->onFoundComponent(nullptr);
    EXPECT_EQ(console_.lines(),
              (std::vector<std::string>{
                  "ViewController: Loading the audio unit's interface...",
                  "ERROR: The audio unit is not initialized to load the user interface."}));

    console_.clear();
    screen_->onFoundComponent(unitAnswering(nullptr));
    ASSERT_TRUE(waitForLine(
        "ERROR: Something is wrong with the view controller and view of the audio unit."));
    EXPECT_TRUE(screen_->children().empty());
    EXPECT_TRUE(screen_->pluginView->subviews().empty());
}

TEST_F(ScreenTest, AScreenGoneBeforeTheAnswerArrivesIsReported) {
    pf::AUViewControllerCompletion answer;
    std::shared_ptr<enginetest::GainUnit> unit;
    auto node = enginetest::makeGainNode(&unit);
    unit->setViewControllerProvider([&](pf::AUViewControllerCompletion done) { answer = done; });
    {
        // A screen whose view never loaded holds no manager, so nothing else keeps it.
        auto lonely = makeMainScreen();
        lonely->onFoundComponent(node);
    }
    ASSERT_TRUE(answer);
    console_.clear();
    answer(std::make_shared<ChildController>());
    EXPECT_EQ(console_.lines(), std::vector<std::string>{"ERROR: Self is nil !?"});
}

TEST_F(ScreenTest, TheUnitButtonTogglesTheAreaAndTwoPressesLeaveItAsItWas) {
    tap(*screen_->buttonUnit);
    EXPECT_FALSE(screen_->pluginView->isHidden());
    tap(*screen_->buttonUnit);
    EXPECT_TRUE(screen_->pluginView->isHidden());
}

TEST_F(ScreenTest, BothPlaybackButtonsToggleAndTheVisibleOneFollowsThePlayersReport) {
    bundle_.addTone(1);
    screen_->audioUnitManager()->auEngine->setRandomDrawForTesting([](int, int) { return 1; });

    // Stop while stopped starts playback; the buttons change only on the report.
    tap(*screen_->stopButton);
    EXPECT_FALSE(screen_->playButton->isHidden());
    ASSERT_TRUE(runUntil([&] { return screen_->playButton->isHidden(); }));
    EXPECT_FALSE(screen_->stopButton->isHidden());

    // Play while playing stops it.
    tap(*screen_->playButton);
    ASSERT_TRUE(runUntil([&] { return !screen_->playButton->isHidden(); }));
    EXPECT_TRUE(screen_->stopButton->isHidden());
}

TEST_F(ScreenTest, HelpOpensTheSiteRootInTheBrowserAndShowsTheProductPage) {
    console_.clear();
    tap(*screen_->buttonHelp);
    const std::string root =
        pf::URL::fileURLWithPath((bundle_.resources() / "help" / "index.html").string())
            .absoluteString();
    EXPECT_EQ(opener_.urls(), std::vector<std::string>{root});
    ASSERT_FALSE(console_.lines().empty());
    EXPECT_EQ(console_.lines().front(), "ShowHelp");
    const auto help =
        std::dynamic_pointer_cast<HelpViewController>(screen_->presentedViewController());
    ASSERT_TRUE(help);
    EXPECT_EQ(help->identifier(), "ShowHelp");
    ASSERT_TRUE(runUntil([&] { return !help->webView()->title().empty(); }));
    EXPECT_EQ(help->webView()->url(), HelpViewController::productHelpPageURL());

    tap(*help->buttonExit);
    EXPECT_FALSE(screen_->presentedViewController());
}

TEST_F(ScreenTest, TheInfoButtonShowsTheSiteRootWithoutTheBrowser) {
    console_.clear();
    tap(*screen_->buttonInfo);
    EXPECT_TRUE(opener_.urls().empty());
    const auto help =
        std::dynamic_pointer_cast<HelpViewController>(screen_->presentedViewController());
    ASSERT_TRUE(help);
    EXPECT_EQ(help->identifier(), "ShowInfo");
    EXPECT_EQ(console_.lines().front(), "ShowInfo");
    ASSERT_TRUE(runUntil([&] { return !help->webView()->title().empty(); }));
    EXPECT_EQ(help->webView()->url(), HelpViewController::helpSiteRootURL());
    EXPECT_EQ(help->webView()->title(), "Orvex Help");
}

TEST_F(ScreenTest, SegueWithAnotherDestinationOrIdentifierOnlyPrintsTheIdentifier) {
    const auto plain = std::make_shared<pf::UIViewController>();
    console_.clear();
    // A mis-wired "ShowHelp" segue whose destination is no help screen is skipped, not trusted.
    pf::UIStoryboardSegue wrong("ShowHelp", screen_, plain);
    screen_->prepare(wrong, nullptr);
    pf::UIStoryboardSegue other("ShowSomething", screen_, std::make_shared<HelpViewController>());
    screen_->prepare(other, nullptr);
    pf::UIStoryboardSegue unnamed(std::nullopt, screen_, std::make_shared<HelpViewController>());
    screen_->prepare(unnamed, nullptr);
    EXPECT_EQ(console_.lines(), (std::vector<std::string>{"ShowHelp", "ShowSomething"}));

    const auto help = std::make_shared<HelpViewController>();
    help->prepareInfo("elsewhere");
    pf::UIStoryboardSegue info("ShowInfo", screen_, help);
    screen_->prepare(info, nullptr);
    EXPECT_EQ(help->identifier(), "ShowInfo");
}

TEST_F(ScreenTest, TheLayoutRoutineMakesAFourByThreeBoxOrOnlyWarnsWithoutAController) {
    console_.clear();
    screen_->centerPluginView();
    EXPECT_EQ(console_.lines(),
              std::vector<std::string>{"WARNING: Cannot reset the pluginview (yet)."});

    auto child = std::make_shared<ChildController>();
    screen_->setAudioUnitViewController(child);
    screen_->view()->setFrame({0, 0, 300, 600});
    screen_->resetPluginView(300, 600);
    EXPECT_EQ(screen_->pluginView->frame(), (pf::CGRect{-250, 0, 800, 600}));
    EXPECT_EQ(child->view()->frame(), (pf::CGRect{0, 0, 800, 600}));

    screen_->view()->setFrame({0, 0, 800, 500});
    screen_->resetPluginView(800, 500);
    EXPECT_EQ(screen_->pluginView->frame(), (pf::CGRect{0, -50, 800, 600}));

    screen_->view()->setFrame({0, 0, 400, 400});
    screen_->centerPluginView(); // equal sides take the landscape branch
    EXPECT_EQ(screen_->pluginView->frame(), (pf::CGRect{0, 50, 400, 300}));
}

TEST_F(ScreenTest, EmbedPlugInViewFindsNoControllerInTheManager) {
    console_.clear();
    screen_->embedPlugInView();
    EXPECT_EQ(console_.lines(),
              std::vector<std::string>{"ERROR: Could not load audio unit's view controller."});
    EXPECT_TRUE(screen_->children().empty());
}

TEST_F(ScreenTest, PickerCallbacksAndAlertPrintTheirLines) {
    pf::UIDocumentPickerViewController picker({"public.folder"}, pf::UIDocumentPickerMode::open);
    const auto url = pf::URL::fileURLWithPath("/tmp/Orvex Folder", true);
    console_.clear();
    screen_->documentPicker(picker, std::vector<pf::URL>{url});
    screen_->documentPicker(picker, url);
    screen_->documentPickerWasCancelled(picker);
    EXPECT_EQ(console_.lines(),
              (std::vector<std::string>{"documentPicker: " + pf::swiftText(std::vector{url}),
                                        "documentPicker (didPickDocumentsAt): /tmp/Orvex Folder",
                                        "documentPicker (didPickDocumentAt): /tmp/Orvex Folder",
                                        "The document picker was canceled."}));

    console_.clear();
    screen_->alertMessage("Title", "Message");
    const auto alert =
        std::dynamic_pointer_cast<pf::UIAlertController>(screen_->presentedViewController());
    ASSERT_TRUE(alert);
    ASSERT_EQ(alert->actions().size(), 2u);
    EXPECT_EQ(alert->actions()[0]->title(), "OK");
    EXPECT_EQ(alert->actions()[1]->style(), pf::UIAlertActionStyle::cancel);
    alert->choose(alert->actions()[0]);
    drain();
    EXPECT_EQ(console_.lines(),
              (std::vector<std::string>{"Title: Message", "Alert was confirmed."}));
}

} // namespace
