#include "Follower.h"

#include "DSPMath.h"

namespace {
constexpr float kMinimumRampSamples = 16.0f;

// Samples of a ramp of `seconds` at `rate`, never fewer than 16.
float rampSamples(float seconds, float rate) noexcept {
    const float samples = seconds * rate;
    return samples < kMinimumRampSamples ? kMinimumRampSamples : samples;
}
} // namespace

Follower::Follower() noexcept
    : fSamplerate(48000.0f), fAttack(0.01f), fRelease(1.0f), fDecay(0.001f), attackTime(480.0f),
      releaseTime(48000.0f), decayTime(48), increase(0.0), decrease(0.0), currentPeak(0.0) {
    setSamplerate(48000.0f);
    init();
}

void Follower::setSamplerate(float rate) noexcept {
    if (!dsp::isFinite(rate)) return;
    fSamplerate = rate;
    setAttack(0.01f);
    setRelease(0.5f);
    setDecay(0.0001f);
}

void Follower::setAttack(float seconds) noexcept {
    if (!(seconds >= 0.0f && seconds <= 1.0f)) return;
    fAttack = seconds;
    const float samples = rampSamples(seconds, fSamplerate);
    attackTime = samples;
    increase = 1.0 / static_cast<double>(samples);
}

void Follower::setRelease(float seconds) noexcept {
    if (!(seconds >= 0.0f && seconds <= 10.0f)) return;
    fRelease = seconds;
    const float samples = rampSamples(seconds, fSamplerate);
    releaseTime = samples;
    decrease = 1.0 / static_cast<double>(samples);
}

void Follower::setDecay(float seconds) noexcept {
    if (!(seconds >= 0.0f && seconds <= 1.0f)) return;
    fDecay = seconds;
    decayTime = holdSamples();
}

void Follower::init() noexcept {
    currentPeak = 0.0;
}

void Follower::processSample(const float* sample) noexcept {
    Running running = begin();
    running.process(*sample);
    end(running);
}
