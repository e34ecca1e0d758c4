// The action script that drives the application without a display: what it reads, what a tap
// reaches, waits in the run loop's time, and how it ends.
#include <gtest/gtest.h>

#include <span>

#include "core/Clock.h"
#include "core/Console.h"
#include "core/RunLoop.h"
#include "core/Timer.h"
#include "ui/UIActionScript.h"
#include "ui/UIApplication.h"
#include "ui/UILabel.h"
#include "ui/UIWindow.h"

namespace {

std::string describe(const std::optional<std::vector<pf::UIAction>>& actions) {
    if (!actions) return "error";
    std::string text;
    for (const auto& a : *actions) {
        text += a.kind == pf::UIAction::Kind::quit      ? "quit|"
                : a.kind == pf::UIAction::Kind::wait    ? "wait " + std::to_string(a.seconds) + "|"
                : a.kind == pf::UIAction::Kind::waitFor ? "wait for " + a.title + "|"
                                                        : "tap " + a.title + "|";
    }
    return text;
}

// Each script reads as the expected actions ("error" for a refused one, which then says why).
void expectReads(std::span<const std::pair<const char*, const char*>> cases) {
    for (const auto& [script, expected] : cases) {
        std::string error;
        const auto actions = pf::parseUIActions(script, error);
        EXPECT_EQ(describe(actions), expected) << script;
        EXPECT_EQ(error.empty(), actions.has_value()) << script;
    }
}

TEST(ActionScript, ReadsTapsWaitsAndQuitAndRefusesAWaitWithoutANumberOfSeconds) {
    const std::pair<const char*, const char*> cases[] = {
        {"Plug-In; Play; wait 10; quit", "tap Plug-In|tap Play|wait 10.000000|quit|"},
        {" ;Play  ;; wait 0.25 ", "tap Play|wait 0.250000|"},
        {"Wait 2", "tap Wait 2|"},
        {"waiting", "tap waiting|"},
        {"wait", "error"},
        {"wait ten", "error"},
        {"wait 3s", "error"},
        {"wait -1", "error"},
        {"wait nan", "error"},
    };
    expectReads(cases);
}

TEST(ActionScript, ReadsTapsWaitsAndQuitAndRefusesAWaitWithoutADecimalNumberOfSeconds) {
    const std::pair<const char*, const char*> cases[] = {
        {"Plug-In; Play; wait 10; quit", "tap Plug-In|tap Play|wait 10.000000|quit|"},
        {" ;Play  ;; wait 0.25 ", "tap Play|wait 0.250000|"},
        {"Wait 2", "tap Wait 2|"},
        {"waiting", "tap waiting|"},
        {"wait for  looped: 2. ;wait 86400", "wait for looped: 2.|wait 86400.000000|"},
    };
    expectReads(cases);
    for (const std::string wrong : {"wait", "wait ten", "wait -1", "wait nan", "wait 0x10",
                                    "wait 1e3", "wait 1.2.3", "wait 86400.5", "wait for"}) {
        std::string error;
        pf::parseUIActions("Play; " + wrong, error);
        EXPECT_EQ(error, "pf: PF_UI_ACTIONS: '" + wrong +
                             "': a wait takes a decimal number of seconds from 0 to 86400, such "
                             "as 'wait 2.5', or 'wait for' and a text to wait for");
    }
}

TEST(ActionScript, TapsTheShownControlOfATitleWaitsInRunLoopTimeAndEndsOnQuitOrAnUnknownTitle) {
    pf::RunLoop::claimMainThread();
    auto clock = std::make_shared<pf::ManualClock>();
    pf::RunLoop::main().setClock(clock);
    auto window = std::make_shared<pf::UIWindow>(pf::CGRect{0, 0, 300, 100});
    pf::UIApplication::shared().attach(*window);
    // Play is shown; Stop shares its place but is hidden; Help is covered at its centre.
    auto play = std::make_shared<pf::UIButton>(pf::CGRect{10, 10, 80, 30});
    auto stop = std::make_shared<pf::UIButton>(pf::CGRect{10, 10, 80, 30});
    auto covered = std::make_shared<pf::UIButton>(pf::CGRect{200, 10, 80, 30});
    play->setTitle("Play");
    stop->setTitle("Stop");
    covered->setTitle("Help");
    stop->setHidden(true);
    for (const auto& v : {std::shared_ptr<pf::UIView>(play), std::shared_ptr<pf::UIView>(stop),
                          std::shared_ptr<pf::UIView>(covered),
                          std::make_shared<pf::UIView>(pf::CGRect{190, 0, 110, 100})})
        window->addSubview(v);
    EXPECT_EQ(pf::controlTitled(*window, "Help"), nullptr) << "covered at its centre";
    EXPECT_EQ(pf::controlTitled(*window, "Stop"), nullptr) << "hidden";
    std::vector<long> taps; // in milliseconds of run-loop time
    const auto origin = clock->now();
    play->addTarget(
        nullptr, "tap",
        [&](pf::UIControl&, const pf::UIEvent*) {
            taps.push_back(
                std::chrono::duration_cast<std::chrono::milliseconds>(clock->now() - origin)
                    .count());
        },
        pf::UIControlEventTouchUpInside);

    std::optional<std::pair<int, std::string>> ended;
    const auto run = [&](const std::string& script) {
        std::string error;
        ended.reset();
        pf::runUIActions(
            window, *pf::parseUIActions(script, error),
            [&](int status, const std::string& message) { ended.emplace(status, message); });
        pf::RunLoop::main().runUntil([&] { return ended.has_value(); }, std::chrono::hours(1));
    };
    run("Play; wait 2; Play; wait 0.5; quit");
    EXPECT_EQ(taps, (std::vector<long>{0, 2000}));
    EXPECT_EQ(ended, (std::pair<int, std::string>{0, ""}));
    EXPECT_EQ(clock->now() - origin, std::chrono::milliseconds(2500));

    run("Stop; Play; quit");
    EXPECT_EQ(ended, (std::pair<int, std::string>{
                         2, "pf: PF_UI_ACTIONS: no control titled 'Stop' on screen"}));
    EXPECT_EQ(taps.size(), 2u) << "nothing runs after the failed tap";

    // A wait for a line ends when that line is printed, in order, not at an earlier one.
    pf::ConsoleCapture console;
    for (const auto& [seconds, line] :
         {std::pair{0.5, "ready: no"}, {1.0, "step 1"}, {1.5, "step 2"}, {2.0, "ready: yes"}})
        pf::Timer::scheduledTimer(seconds, false,
                                  [line = line](pf::Timer&) { pf::Console::printLine(line); });
    run("wait for step; wait for ready; Play; quit");
    EXPECT_EQ(taps, (std::vector<long>{0, 2000, 4500}));
    pf::RunLoop::main().setClock(nullptr);
}

} // namespace
