// Blocks: the reference-counted, immutable callables through which hosts and audio units call
// each other (pull input, render, MIDI output, host context).
//
// `Block<Sig>` is a nullable shared pointer to a `std::function`. Making one allocates, so blocks
// are made off the render thread; copying one only increments a reference count, and calling it
// is one indirect call, so both are fine on the render thread. Two blocks are equal when they
// share the same callable (identity, as for the platform's blocks).
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <type_traits>
#include <utility>

#include "audio/AURenderEvent.h"
#include "audio/CoreAudioTypes.h"

namespace pf {

template <class Signature> class Block;

template <class R, class... Args> class Block<R(Args...)> {
public:
    using Function = std::function<R(Args...)>;
    using Pointer = std::shared_ptr<const Function>;

    Block() noexcept = default;
    Block(std::nullptr_t) noexcept {}
    explicit Block(Pointer function) noexcept : function_(std::move(function)) {}

    // [any-thread, not render] Wraps a callable; allocates.
    template <class F>
    requires(!std::same_as<std::remove_cvref_t<F>, Block> &&
             !std::same_as<std::remove_cvref_t<F>, Pointer> &&
             std::is_invocable_r_v<R, F&, Args...>) Block(F&& callable)
        : function_(std::make_shared<const Function>(std::forward<F>(callable))) {}

    explicit operator bool() const noexcept { return function_ && *function_; }

    // Calls the block; it must not be absent.
    R operator()(Args... args) const { return (*function_)(std::forward<Args>(args)...); }

    // The shared callable, for holders that exchange blocks atomically.
    const Pointer& pointer() const noexcept { return function_; }

    friend bool operator==(const Block& a, const Block& b) noexcept {
        return a.function_ == b.function_;
    }

private:
    Pointer function_;
};

// Pulls the input of bus `inputBusNumber` for one cycle into `inputData`. A non-null `mData` in
// the list is the memory to fill; the block may instead point the list at memory of its own.
using AURenderPullInputBlock = Block<AUAudioUnitStatus(
    AudioUnitRenderActionFlags* actionFlags, const AudioTimeStamp* timestamp,
    AUAudioFrameCount frameCount, NSInteger inputBusNumber, AudioBufferList* inputData)>;

// Renders one cycle of output bus `outputBusNumber` into `outputData`, applying the events of
// `realtimeEventListHead` (may be null) and pulling input through `pullInputBlock` (may be absent).
using AUInternalRenderBlock = Block<AUAudioUnitStatus(
    AudioUnitRenderActionFlags* actionFlags, const AudioTimeStamp* timestamp,
    AUAudioFrameCount frameCount, NSInteger outputBusNumber, AudioBufferList* outputData,
    const AURenderEvent* realtimeEventListHead, const AURenderPullInputBlock& pullInputBlock)>;

// Hands one MIDI message produced during a render cycle to the host.
using AUMIDIOutputEventBlock = Block<OSStatus(AUEventSampleTime eventSampleTime, std::uint8_t cable,
                                              NSInteger length, const std::uint8_t* midiBytes)>;

// Asks the host for its musical context; any pointer may be null. False when unavailable.
using AUHostMusicalContextBlock =
    Block<bool(double* currentTempo, double* timeSignatureNumerator,
               NSInteger* timeSignatureDenominator, double* currentBeatPosition,
               NSInteger* sampleOffsetToNextBeat, double* currentMeasureDownbeatPosition)>;

using AUHostTransportStateFlags = std::uint32_t;
inline constexpr AUHostTransportStateFlags AUHostTransportStateChanged = 1u << 0;
inline constexpr AUHostTransportStateFlags AUHostTransportStateMoving = 1u << 1;
inline constexpr AUHostTransportStateFlags AUHostTransportStateRecording = 1u << 2;
inline constexpr AUHostTransportStateFlags AUHostTransportStateCycling = 1u << 3;

// Asks the host for its transport state; any pointer may be null. False when unavailable.
using AUHostTransportStateBlock =
    Block<bool(AUHostTransportStateFlags* transportStateFlags, double* currentSamplePosition,
               double* cycleStartBeatPosition, double* cycleEndBeatPosition)>;

// [any-thread] Schedules a parameter change for the render cycle that holds `eventSampleTime`
// (or AUEventSampleTimeImmediate). The value is to be reached over `rampDurationSampleFrames`
// (0 = at once); the unit decides whether it ramps.
using AUScheduleParameterBlock =
    Block<void(AUEventSampleTime eventSampleTime, AUAudioFrameCount rampDurationSampleFrames,
               AUParameterAddress parameterAddress, AUValue value)>;

// [any-thread] Schedules a MIDI message of 1 to 3 bytes on `cable` for the render cycle that holds
// `eventSampleTime` (or AUEventSampleTimeImmediate).
using AUScheduleMIDIEventBlock = Block<void(AUEventSampleTime eventSampleTime, std::uint8_t cable,
                                            NSInteger length, const std::uint8_t* midiBytes)>;

} // namespace pf
