// Helpers of the audio-unit tests: a unit made the way the plug-in's factory makes it, the lines
// the console printed once the main queue has run, and a bundle in a temporary folder whose
// resources hold a factory-preset folder.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "Orvex_Compressor_Extension_AudioUnit.h"
#include "TempDir.h"
#include "core/Bundle.h"
#include "core/Console.h"
#include "core/RunLoop.h"

namespace unittest {

using Unit = Orvex_Compander_Extension_AudioUnit;

// A unit whose construction lines have already been printed.
inline std::shared_ptr<Unit> makeUnit() {
    auto unit = Unit::create(Unit::kComponentDescription, 0);
    pf::drainMainQueue();
    return unit;
}

// Runs the main queue (and the log ring), then answers every line captured so far.
inline std::vector<std::string> drainedLines(const pf::ConsoleCapture& capture) {
    pf::drainMainQueue();
    return capture.lines();
}

// Whether `line` was printed, and how often.
inline int countOf(const std::vector<std::string>& lines, const std::string& line) {
    int n = 0;
    for (const auto& l : lines)
        n += l == line ? 1 : 0;
    return n;
}

// A plug-in bundle folder in a temporary folder, made the main bundle while it lives.
class TemporaryBundle {
public:
    TemporaryBundle() {
        std::filesystem::create_directories(bundle() / "Resources");
        pf::Bundle::setMainBundleOverride(bundle().string());
    }
    ~TemporaryBundle() { pf::Bundle::setMainBundleOverride(std::nullopt); }
    TemporaryBundle(const TemporaryBundle&) = delete;
    TemporaryBundle& operator=(const TemporaryBundle&) = delete;

    std::filesystem::path makePresetFolder() const {
        const auto folder =
            bundle() / "Resources" / "Orvex Compander Folder" / "Library" / "Factory Presets";
        std::filesystem::create_directories(folder);
        return folder;
    }
    std::filesystem::path root() const { return folder_.path(); }

private:
    std::filesystem::path bundle() const { return root() / "Test.appex"; }
    test::TempDir folder_;
};

} // namespace unittest
