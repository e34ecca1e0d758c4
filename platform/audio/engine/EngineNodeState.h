// The render side of a node attached to an AVAudioEngine: what the render thread needs to pull
// the node, rebuilt by the engine (under its lock) whenever the graph changes. Private to the
// engine's sources.
#pragma once

#include <memory>
#include <vector>

#include "audio/AVAudioEngine.h"
#include "audio/engine/FormatConverter.h"

namespace pf {

struct AVAudioEngine::NodeState {
    enum class Kind { player, unit, mixer, output, other };

    // One connected input bus: its source and the conversion from the source's output format to
    // this node's input format (a pass-through when they agree).
    struct Input {
        NSUInteger bus = 0;
        NodeState* source = nullptr;
        FormatConverter converter;
    };

    std::shared_ptr<AVAudioNode> node;
    Kind kind = Kind::other;
    AVAudioPlayerNode* player = nullptr;
    AVAudioUnit* unit = nullptr;

    std::vector<std::unique_ptr<Input>> inputs;
    AVAudioChannelCount outputChannels = 0;

    // Mixer and output: one input's converted frames before they are summed.
    std::vector<float> mixScratch;
    std::vector<float*> mixPointers;

    // Unit: render resources as the engine allocated them, and the sample time of the next cycle
    // in the unit's own rate (each cycle follows the previous one, however the frames were
    // chunked by the converters downstream).
    bool allocated = false;
    double sampleTime = 0;
    AURenderBlock renderBlock;
    AURenderPullInputBlock pullBlock;
    AVAudioChannelCount unitInputChannels = 0;
    std::vector<float> unitInput;

    // [render-thread] Publishes the time of the unit's cycle as the node's last render time.
    void noteUnitRendered(double time) noexcept {
        node->renderSampleTime_.store(static_cast<AUEventSampleTime>(time),
                                      std::memory_order_release);
    }
    // [not render] The unit's clock starts again at 0, in `rate` (0: not rendering).
    void restartUnitClock(double rate) noexcept {
        sampleTime = 0;
        node->renderSampleRate_.store(rate, std::memory_order_relaxed);
        node->renderSampleTime_.store(AVAudioNode::kNotRendered, std::memory_order_release);
    }

    Input* inputForBus(NSUInteger bus) const noexcept {
        for (const auto& input : inputs) {
            if (input->bus == bus) return input.get();
        }
        return nullptr;
    }
};

// [render-thread] Renders `frames` (≤ 4096) frames of `state`'s output into `channels`, one
// pointer per output channel.
void renderEngineNode(AVAudioEngine::NodeState& state, AUAudioFrameCount frames,
                      float* const* channels) noexcept;

} // namespace pf

namespace pf {
// [not render] The pull-input block for a unit's state (made once per state).
AURenderPullInputBlock makeEnginePullBlock(AVAudioEngine::NodeState* state);
} // namespace pf
