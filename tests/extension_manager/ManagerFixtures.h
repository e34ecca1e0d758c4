// Shared pieces of the extension-manager tests. Each test binary runs with PF_AUDIO_COMPONENT_PATH
// set to one folder of test bundles (see CMakeLists.txt), since the shared registry scans once
// per process; the engine renders on the manual device and never starts.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "AUExtensionManager.h"
#include "core/Console.h"
#include "core/Dispatch.h"
#include "core/ProcessInfo.h"
#include "core/RunLoop.h"

namespace test {

// What the delegate heard, in order, with the thread and the console's length at that moment.
struct DelegateEvent {
    std::string name;
    bool onMainThread = false;
    std::thread::id thread;
    std::size_t linesBefore = 0;
    std::shared_ptr<pf::AVAudioUnit> unit;
};

class RecordingDelegate : public AUExtensionManagerDelegate {
public:
    explicit RecordingDelegate(const pf::ConsoleCapture& console) : console_(console) {}

    void onFoundComponent(std::shared_ptr<pf::AVAudioUnit> unit) override {
        record("onFoundComponent", std::move(unit));
    }
    void onEngineInitialized() override {
        record("onEngineInitialized", nullptr);
        pf::DispatchQueue::main().async([this] { initialized_ = true; });
    }

    bool initialized() const { return initialized_.load(); }
    std::vector<DelegateEvent> events() const {
        std::lock_guard lock(mutex_);
        return events_;
    }

private:
    void record(std::string name, std::shared_ptr<pf::AVAudioUnit> unit) {
        std::lock_guard lock(mutex_);
        events_.push_back({std::move(name), pf::RunLoop::isMainThread(), std::this_thread::get_id(),
                           console_.lines().size(), std::move(unit)});
    }

    const pf::ConsoleCapture& console_;
    mutable std::mutex mutex_;
    std::vector<DelegateEvent> events_;
    std::atomic<bool> initialized_{false};
};

// Runs the main loop until the delegate has heard onEngineInitialized().
inline bool runMainUntilInitialized(const RecordingDelegate& delegate) {
    return pf::RunLoop::main().runUntil([&] { return delegate.initialized(); },
                                        std::chrono::seconds(10));
}

// Runs the main loop until `console` holds the line `line`. A watcher thread (no sleeping: it
// yields) hands the news to the main queue, which wakes the loop.
inline bool runMainUntilLine(const pf::ConsoleCapture& console, const std::string& line) {
    auto seen = std::make_shared<std::atomic<bool>>(false);
    auto stop = std::make_shared<std::atomic<bool>>(false);
    const auto contains = [&console, line] {
        for (const auto& l : console.lines()) {
            if (l == line) return true;
        }
        return false;
    };
    std::thread watcher([contains, seen, stop] {
        while (!stop->load() && !contains())
            std::this_thread::yield();
        pf::DispatchQueue::main().async([seen] { seen->store(true); });
    });
    const bool found =
        pf::RunLoop::main().runUntil([&] { return seen->load(); }, std::chrono::seconds(10));
    stop->store(true);
    watcher.join();
    return found && contains();
}

// The console lines without the test plug-in's own reports.
inline std::vector<std::string> withoutPluginLines(const std::vector<std::string>& lines) {
    std::vector<std::string> kept;
    for (const auto& line : lines) {
        if (line.rfind("TestGain: ", 0) != 0) kept.push_back(line);
    }
    return kept;
}

inline const std::string kNote =
    "NOTE: WE ARE IN AUDIO UNIT RELEASE MODE. ENSURE THE STORYBOARD CONNECTIONS ARE VALID!";

// The lines of the component's log: the process block and the description block.
inline std::vector<std::string> logLines(const std::string& flags) {
    const auto& process = pf::ProcessInfo::processInfo();
    return {"AUExtensionManager: Loaded component has following properties.",
            "",
            "Process Name: " + process.processName() +
                " PID: " + std::to_string(process.processIdentifier()),
            "",
            "AUExtension (",
            "type: aumf",
            "subtype: orvc",
            "manufacturer: Qrbn",
            "flags: " + flags,
            ")"};
}

} // namespace test
