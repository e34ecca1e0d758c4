// AUPeakLimiter: the holder of the platform's peak-limiter unit ("aufx" / "lmtr" / "appl") that
// runs as the plug-in's final limiter stage. It instantiates the unit through an effect node,
// sends it its three settings pinned to their ranges, and offers a self-test with three
// diagnostic dumps of the node, the unit and its buses.
//
// Settings (parameter id, range): attackTime (0, 0.001 – 0.03 s), decayTime (1, 0.001 – 0.06 s),
// preGain (2, -40 – 40 dB). A write pins the value to its range, stores it and sends it to the
// unit in global scope, element 0, as a 32-bit float; also when it does not change. A NaN keeps
// the setting it had (and sends that), so a setting always lies within its range.
//
// Printing: construction prints its two lines directly on the calling thread, as do the
// self-test's own three lines; every dump line goes through `safeprint` (the main queue).
//
// Ownership: the holder owns the effect node and so the unit; the audio unit that uses the
// holder captures the unit's render block, never the holder. Threads: the thread that owns it;
// never the render thread.
#pragma once

#include <memory>
#include <string>

#include "audio/AVAudioEngine.h"
#include "audio/AVAudioNode.h"

class AUPeakLimiter {
public:
    AUPeakLimiter();

    double attackTime() const { return attackTime_; }
    void setAttackTime(double seconds);
    double decayTime() const { return decayTime_; }
    void setDecayTime(double seconds);
    double preGain() const { return preGain_; }
    void setPreGain(double decibels);

    // The platform unit (the audio unit calls it `wrapped`), or null without an effect.
    std::shared_ptr<pf::AUAudioUnit> auAudioUnit() const;

    // Readable and writable; storing does nothing else.
    std::shared_ptr<pf::AVAudioUnitEffect> internalEffect;

    // Queues `message` as one line for the main queue; returns at once.
    void safeprint(const std::string& message) const;

    // The self-test: places the effect in an engine of its own, dumps it, takes it out again.
    // `bus` is not used. The engine stays in the holder until the next run.
    void run(const std::shared_ptr<pf::AUAudioUnitBus>& bus);
    void nodeDiagnostics();
    void unitDiagnostics(pf::AUAudioUnit& unit);
    void busDiagnostics(pf::AUAudioUnitBus& bus, pf::NSInteger index);

    // The engine of the last self-test, or null.
    const std::shared_ptr<pf::AVAudioEngine>& lastEngine() const { return engine; }

private:
    pf::AudioUnit internalAU() const;
    void create();
    void initialize();
    void send(pf::AudioUnitParameterID id, double value) const;

    const pf::AudioComponentDescription cd{pf::fourCharCode("aufx"), pf::fourCharCode("lmtr"),
                                           pf::fourCharCode("appl"), 0, 0};
    std::shared_ptr<pf::AVAudioEngine> engine;
    double attackTime_ = 0.012;
    double decayTime_ = 0.024;
    double preGain_ = 0.0;
};
