#include "audio/AVAudioNode.h"

#include <cstdio>
#include <exception>

#include "audio/AVAudioEngine.h"

namespace pf {

// ---- AVAudioNode -------------------------------------------------------------------------------

AVAudioNode::~AVAudioNode() = default;

std::shared_ptr<AVAudioEngine> AVAudioNode::engine() const {
    std::lock_guard lock(mutex_);
    return engine_.lock();
}

std::shared_ptr<const AVAudioFormat> AVAudioNode::inputFormat(NSUInteger) const {
    return nullptr;
}
std::shared_ptr<const AVAudioFormat> AVAudioNode::outputFormat(NSUInteger) const {
    return nullptr;
}
std::optional<std::string> AVAudioNode::nameForInputBus(NSUInteger) const {
    return std::nullopt;
}
std::optional<std::string> AVAudioNode::nameForOutputBus(NSUInteger) const {
    return std::nullopt;
}

std::optional<AVAudioTime> AVAudioNode::lastRenderTime() const {
    if (const auto time = renderSampleTime_.load(std::memory_order_acquire); time != kNotRendered) {
        return AVAudioTime::timeWithSampleTime(time,
                                               renderSampleRate_.load(std::memory_order_relaxed));
    }
    std::lock_guard lock(mutex_);
    return lastRenderTime_;
}

void AVAudioNode::setLastRenderTime(std::optional<AVAudioTime> time) {
    std::lock_guard lock(mutex_);
    lastRenderTime_ = time;
}

double AVAudioNode::outputPresentationLatency() const {
    std::lock_guard lock(mutex_);
    return outputPresentationLatency_;
}

void AVAudioNode::setOutputPresentationLatency(double seconds) {
    std::lock_guard lock(mutex_);
    outputPresentationLatency_ = seconds;
}

// ---- AVAudioUnit --------------------------------------------------------------------------------

namespace {

std::shared_ptr<AUAudioUnitBus> busOf(const std::shared_ptr<AUAudioUnitBusArray>& array,
                                      NSUInteger bus) {
    return array ? (*array)[bus] : nullptr;
}

} // namespace

AVAudioUnit::AVAudioUnit(std::shared_ptr<AUAudioUnit> unit) : unit_(std::move(unit)) {}

AudioComponentDescription AVAudioUnit::audioComponentDescription() const {
    return unit_ ? unit_->componentDescription() : AudioComponentDescription{};
}

std::optional<std::string> AVAudioUnit::name() const {
    return unit_ ? unit_->audioUnitName() : std::nullopt;
}

std::optional<std::string> AVAudioUnit::manufacturerName() const {
    return unit_ ? unit_->manufacturerName() : std::nullopt;
}

std::uint32_t AVAudioUnit::version() const {
    return unit_ ? unit_->componentVersion() : 0;
}

NSUInteger AVAudioUnit::numberOfInputs() const {
    const auto busses = unit_ ? unit_->inputBusses() : nullptr;
    return busses ? busses->count() : 0;
}

NSUInteger AVAudioUnit::numberOfOutputs() const {
    const auto busses = unit_ ? unit_->outputBusses() : nullptr;
    return busses ? busses->count() : 0;
}

std::shared_ptr<const AVAudioFormat> AVAudioUnit::inputFormat(NSUInteger bus) const {
    const auto b = unit_ ? busOf(unit_->inputBusses(), bus) : nullptr;
    return b ? b->format() : nullptr;
}

std::shared_ptr<const AVAudioFormat> AVAudioUnit::outputFormat(NSUInteger bus) const {
    const auto b = unit_ ? busOf(unit_->outputBusses(), bus) : nullptr;
    return b ? b->format() : nullptr;
}

std::optional<std::string> AVAudioUnit::nameForInputBus(NSUInteger bus) const {
    const auto b = unit_ ? busOf(unit_->inputBusses(), bus) : nullptr;
    return b ? b->name() : std::nullopt;
}

std::optional<std::string> AVAudioUnit::nameForOutputBus(NSUInteger bus) const {
    const auto b = unit_ ? busOf(unit_->outputBusses(), bus) : nullptr;
    return b ? b->name() : std::nullopt;
}

// ---- AVAudioUnitEffect ------------------------------------------------------------------------

namespace {

std::shared_ptr<AUAudioUnit> instantiate(const AudioComponentDescription& description) {
    const AudioComponent component = AudioComponentFindNext(nullptr, description);
    if (component == nullptr || !component->factory) {
        std::fprintf(stderr, "AVAudioUnitEffect: no component matches the description\n");
        return nullptr;
    }
    try {
        return component->factory(component->description, 0);
    } catch (const NSErrorException& e) {
        std::fprintf(stderr, "AVAudioUnitEffect: instantiation failed: %s\n",
                     e.error().localizedDescription().c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "AVAudioUnitEffect: instantiation failed: %s\n", e.what());
    }
    return nullptr;
}

} // namespace

AVAudioUnitEffect::AVAudioUnitEffect(const AudioComponentDescription& description)
    : AVAudioUnit(pf::instantiate(description)) {}

bool AVAudioUnitEffect::bypass() const {
    return auAudioUnit() ? auAudioUnit()->shouldBypassEffect() : false;
}

void AVAudioUnitEffect::setBypass(bool bypass) {
    if (auAudioUnit()) auAudioUnit()->setShouldBypassEffect(bypass);
}

} // namespace pf
