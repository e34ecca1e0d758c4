// AVAudioTime: a moment of an audio stream, as a host time, a sample time at a rate, or both.
// An immutable value. [any-thread]
#pragma once

#include <cstdint>

#include "audio/CoreAudioTypes.h"

namespace pf {

class AVAudioTime {
public:
    // A time known only by its host time.
    static AVAudioTime timeWithHostTime(std::uint64_t hostTime) {
        return AVAudioTime(hostTime, true, 0, false, 0.0);
    }
    // A time known by its sample time at `sampleRate`.
    static AVAudioTime timeWithSampleTime(AUEventSampleTime sampleTime, double sampleRate) {
        return AVAudioTime(0, false, sampleTime, true, sampleRate);
    }

    std::uint64_t hostTime() const { return hostTime_; }
    bool isHostTimeValid() const { return hostTimeValid_; }
    AUEventSampleTime sampleTime() const { return sampleTime_; }
    bool isSampleTimeValid() const { return sampleTimeValid_; }
    double sampleRate() const { return sampleRate_; }

private:
    AVAudioTime(std::uint64_t host, bool hostValid, AUEventSampleTime sample, bool sampleValid,
                double rate)
        : hostTime_(host), sampleTime_(sample), sampleRate_(rate), hostTimeValid_(hostValid),
          sampleTimeValid_(sampleValid) {}

    std::uint64_t hostTime_;
    AUEventSampleTime sampleTime_;
    double sampleRate_;
    bool hostTimeValid_;
    bool sampleTimeValid_;
};

} // namespace pf
