// AVAudioSession: the process's audio session. On this system there is nothing to negotiate with:
// the session records its category, mode and activation and always succeeds, except where a test
// has injected a failure.
//
// Threads: [any-thread]; the session serialises itself.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

#include "core/NSError.h"

namespace pf {

using AVAudioSessionCategory = std::string;
using AVAudioSessionMode = std::string;
inline const AVAudioSessionCategory AVAudioSessionCategoryPlayback =
    "AVAudioSessionCategoryPlayback";
inline const AVAudioSessionCategory AVAudioSessionCategorySoloAmbient =
    "AVAudioSessionCategorySoloAmbient";
inline const AVAudioSessionMode AVAudioSessionModeDefault = "AVAudioSessionModeDefault";

using AVAudioSessionCategoryOptions = std::uint64_t;
using AVAudioSessionSetActiveOptions = std::uint64_t;

class AVAudioSession {
public:
    static AVAudioSession& sharedInstance();

    // Throws NSErrorException only when a failure was injected.
    void setCategory(const AVAudioSessionCategory& category, const AVAudioSessionMode& mode,
                     AVAudioSessionCategoryOptions options);
    void setActive(bool active, AVAudioSessionSetActiveOptions options);

    AVAudioSessionCategory category() const;
    AVAudioSessionMode mode() const;
    bool isActive() const;

    // Tests: the next calls of setCategory / setActive throw these errors until cleared.
    void setCategoryFailureForTesting(std::optional<NSError> error);
    void setActivationFailureForTesting(std::optional<NSError> error);

private:
    AVAudioSession() = default;

    mutable std::mutex mutex_;
    AVAudioSessionCategory category_ = AVAudioSessionCategorySoloAmbient;
    AVAudioSessionMode mode_ = AVAudioSessionModeDefault;
    bool active_ = false;
    std::optional<NSError> categoryFailure_;
    std::optional<NSError> activationFailure_;
};

} // namespace pf
