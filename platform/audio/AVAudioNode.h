// Nodes of an audio engine: the base `AVAudioNode`, `AVAudioUnit` (a node around an audio unit)
// and `AVAudioUnitEffect` (an effect unit made from a component description).
//
// Ownership: nodes are held by `std::shared_ptr`; an engine holds the nodes attached to it, a
// node refers to its engine weakly. An `AVAudioUnit` owns its audio unit.
//
// Threads: [any-thread, not render]; the engine that renders a node reads its audio unit's render
// block, never the node.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "audio/AUAudioUnit.h"
#include "audio/AVAudioFormat.h"
#include "audio/AVAudioTime.h"
#include "audio/AudioComponent.h"
#include "core/NSError.h"

namespace pf {

class AVAudioEngine;

class AVAudioNode : public std::enable_shared_from_this<AVAudioNode> {
public:
    virtual ~AVAudioNode();
    AVAudioNode(const AVAudioNode&) = delete;
    AVAudioNode& operator=(const AVAudioNode&) = delete;

    // The engine the node is attached to, or null.
    std::shared_ptr<AVAudioEngine> engine() const;

    virtual NSUInteger numberOfInputs() const { return 0; }
    virtual NSUInteger numberOfOutputs() const { return 0; }
    // The format of a bus, or null past the last bus.
    virtual std::shared_ptr<const AVAudioFormat> inputFormat(NSUInteger bus) const;
    virtual std::shared_ptr<const AVAudioFormat> outputFormat(NSUInteger bus) const;
    virtual std::optional<std::string> nameForInputBus(NSUInteger bus) const;
    virtual std::optional<std::string> nameForOutputBus(NSUInteger bus) const;

    // The time of the node's last render cycle; absent until the node has rendered. For a unit
    // an engine renders, its sample time is the one of the unit's render time stamps: the clock
    // events scheduled on the unit use (counted from 0 when the engine allocated the unit).
    std::optional<AVAudioTime> lastRenderTime() const;
    // Seconds of delay the node adds; 0 unless the node says otherwise.
    virtual double latency() const { return 0.0; }
    // Seconds from the node's output to the device; 0 while the node is not connected to one.
    double outputPresentationLatency() const;

protected:
    AVAudioNode() = default;
    // For the engine that renders the node.
    void setLastRenderTime(std::optional<AVAudioTime> time);
    void setOutputPresentationLatency(double seconds);

private:
    friend class AVAudioEngine;

    mutable std::mutex mutex_;
    std::weak_ptr<AVAudioEngine> engine_;
    std::optional<AVAudioTime> lastRenderTime_;
    // Written by an engine's render thread, without the lock; kNotRendered when absent.
    static constexpr AUEventSampleTime kNotRendered = INT64_MIN;
    std::atomic<AUEventSampleTime> renderSampleTime_{kNotRendered};
    std::atomic<double> renderSampleRate_{0.0};
    double outputPresentationLatency_ = 0.0;
};

class AVAudioUnit : public AVAudioNode {
public:
    // A node around `unit`, which may be null (an instantiation that failed).
    explicit AVAudioUnit(std::shared_ptr<AUAudioUnit> unit);

    // The unit, or null and the reason.
    using InstantiationHandler =
        std::function<void(std::shared_ptr<AVAudioUnit>, std::optional<NSError>)>;
    // [any-thread] Instantiates the first registered component matching `with`, asynchronously,
    // always in this process (the options are handed to the component's factory). A plug-in
    // bundle's principal class is made and its view loaded on the main queue first, so the main
    // run loop must be running. `completionHandler` runs once, on a global-queue thread (never
    // the main thread). Defined with the component manager (AVAudioUnitComponent.cpp).
    static void instantiate(const AudioComponentDescription& with,
                            AudioComponentInstantiationOptions options,
                            InstantiationHandler completionHandler);
    // The same over `registry`, which must outlive the completion (tests).
    static void instantiate(AudioComponentRegistry& registry, const AudioComponentDescription& with,
                            AudioComponentInstantiationOptions options,
                            InstantiationHandler completionHandler);

    const std::shared_ptr<AUAudioUnit>& auAudioUnit() const { return unit_; }
    // The instance handle for `AudioUnitSetParameter`; null when there is no unit.
    AudioUnit audioUnit() const { return unit_ ? unit_->audioUnitHandle() : nullptr; }
    AudioComponentDescription audioComponentDescription() const;
    std::optional<std::string> name() const;
    std::optional<std::string> manufacturerName() const;
    std::uint32_t version() const;

    NSUInteger numberOfInputs() const override;
    NSUInteger numberOfOutputs() const override;
    std::shared_ptr<const AVAudioFormat> inputFormat(NSUInteger bus) const override;
    std::shared_ptr<const AVAudioFormat> outputFormat(NSUInteger bus) const override;
    std::optional<std::string> nameForInputBus(NSUInteger bus) const override;
    std::optional<std::string> nameForOutputBus(NSUInteger bus) const override;
    double latency() const override { return unit_ ? unit_->latency() : 0.0; }

private:
    std::shared_ptr<AUAudioUnit> unit_;
};

class AVAudioUnitEffect : public AVAudioUnit {
public:
    // Instantiates the first registered component matching `description`, synchronously, on the
    // calling thread. When none matches or its factory fails, the node has no audio unit
    // (`auAudioUnit()` and `audioUnit()` are null); the failure goes to standard error.
    explicit AVAudioUnitEffect(const AudioComponentDescription& description);
    static std::shared_ptr<AVAudioUnitEffect> make(const AudioComponentDescription& description) {
        return std::make_shared<AVAudioUnitEffect>(description);
    }

    // The unit's `shouldBypassEffect`.
    bool bypass() const;
    void setBypass(bool bypass);
};

} // namespace pf
