// Shared pieces of the extension-manager tests. Each test binary runs with PF_AUDIO_COMPONENT_PATH
// set to one folder of test bundles (see CMakeLists.txt), since the shared registry scans once
// per process; the engine renders on the manual device and never starts.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
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
    // Runs the main loop until onEngineInitialized() was heard.
    bool runMainUntilInitialized() const {
        return pf::RunLoop::main().runUntil([&] { return initialized_.load(); },
                                            std::chrono::seconds(10));
    }
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

// A manager started on the main thread with a recording delegate and a captured console.
struct ManagerRun {
    ~ManagerRun() { manager->setDelegate(nullptr); }
    bool mainThreadClaimed = (pf::RunLoop::claimMainThread(), true);
    pf::ConsoleCapture console;
    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>(console);
    std::shared_ptr<AUExtensionManager> manager = AUExtensionManager::make(delegate);
};

// Runs the main loop until `console` holds the line `line` (the capture wakes the loop for
// every line printed on another thread).
inline bool runMainUntilLine(const pf::ConsoleCapture& console, const std::string& line) {
    return pf::RunLoop::main().runUntil(
        [&] {
            const auto lines = console.lines();
            return std::find(lines.begin(), lines.end(), line) != lines.end();
        },
        std::chrono::seconds(10));
}

// The console lines without the test plug-in's own reports.
inline std::vector<std::string> withoutPluginLines(std::vector<std::string> lines) {
    std::erase_if(lines, [](const std::string& l) { return l.starts_with("TestGain: "); });
    return lines;
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

// Reaches the start-up's steps directly; its construction queues no search.
class StepsManager : public AUExtensionManager {
public:
    explicit StepsManager(std::shared_ptr<AUExtensionManagerDelegate> delegate)
        : AUExtensionManager(std::move(delegate)) {}
    using AUExtensionManager::log;
    using AUExtensionManager::selectAudioUnitWithComponentDescription;
    using AUExtensionManager::selectfoundComponent;
};

// A unit that answers with the factory preset list it is given, or with none.
class PresetUnit : public pf::AUAudioUnit {
public:
    std::optional<std::vector<std::shared_ptr<pf::AUAudioUnitPreset>>> factoryPresets() override {
        return list;
    }
    std::optional<std::vector<std::shared_ptr<pf::AUAudioUnitPreset>>> list;
};

} // namespace test
