// AVAudioMixerNode and AVAudioOutputNode: the engine's main mixer and its output.
//
// The mixer takes any number of input buses (each connection takes the next free one), converts
// each input from its source's output format to the mixer's output format (rate and channels,
// see engine/FormatConverter.h) and sums them at unity gain. The output node is the device: its
// format is the device's (48000 Hz, 2 channels, standard float), known before the engine starts;
// it converts its one input the same way when that arrives in another format.
//
// The engine keeps the formats of these nodes; the accessors are [any-thread, not render].
#pragma once

#include <map>
#include <memory>
#include <mutex>

#include "audio/AVAudioNode.h"

namespace pf {

class AVAudioMixerNode final : public AVAudioNode {
public:
    AVAudioMixerNode();
    NSUInteger numberOfInputs() const override;
    NSUInteger numberOfOutputs() const override { return 1; }
    // The format of a connected input bus (its source's format); absent for a free bus.
    std::shared_ptr<const AVAudioFormat> inputFormat(NSUInteger bus) const override;
    std::shared_ptr<const AVAudioFormat> outputFormat(NSUInteger bus) const override;
    // The lowest input bus without a connection.
    NSUInteger nextAvailableInputBus() const;

private:
    friend class AVAudioEngine;
    mutable std::mutex formatMutex_;
    std::map<NSUInteger, std::shared_ptr<const AVAudioFormat>> inputs_;
    std::shared_ptr<const AVAudioFormat> output_;
};

class AVAudioOutputNode final : public AVAudioNode {
public:
    AVAudioOutputNode();
    NSUInteger numberOfInputs() const override { return 1; }
    NSUInteger numberOfOutputs() const override { return 1; }
    // Bus 0 of either side: the device format.
    std::shared_ptr<const AVAudioFormat> inputFormat(NSUInteger bus) const override;
    std::shared_ptr<const AVAudioFormat> outputFormat(NSUInteger bus) const override;

private:
    std::shared_ptr<const AVAudioFormat> format_;
};

} // namespace pf
