// The engine's pull graph on the render thread: no allocation, no lock (the player's state is
// only try-locked), no exception.
#include <cstring>

#include "audio/engine/EngineNodeState.h"

namespace pf {

namespace {

using NodeState = AVAudioEngine::NodeState;

void silence(float* const* channels, AVAudioChannelCount count, AUAudioFrameCount frames) noexcept {
    for (AVAudioChannelCount c = 0; c < count; ++c) {
        std::memset(channels[c], 0, std::size_t{frames} * sizeof(float));
    }
}

void pullSource(void* context, AUAudioFrameCount frames, float* const* channels) noexcept {
    renderEngineNode(*static_cast<NodeState::Input*>(context)->source, frames, channels);
}

void renderInput(NodeState::Input& input, AUAudioFrameCount frames,
                 float* const* channels) noexcept {
    input.converter.render(frames, channels, &pullSource, &input);
}

// Sums every input, each converted to this node's format. With one input the converter writes
// straight into the destination.
void renderMix(NodeState& state, AUAudioFrameCount frames, float* const* channels) noexcept {
    const AVAudioChannelCount count = state.outputChannels;
    if (state.inputs.size() == 1) {
        renderInput(*state.inputs.front(), frames, channels);
        return;
    }
    silence(channels, count, frames);
    for (const auto& input : state.inputs) {
        renderInput(*input, frames, state.mixPointers.data());
        for (AVAudioChannelCount c = 0; c < count; ++c) {
            float* out = channels[c];
            const float* in = state.mixPointers[c];
            for (AUAudioFrameCount i = 0; i < frames; ++i)
                out[i] += in[i];
        }
    }
}

void renderUnit(NodeState& state, AUAudioFrameCount frames, float* const* channels) noexcept {
    const AVAudioChannelCount count = state.outputChannels;
    if (!state.allocated || !state.renderBlock) {
        silence(channels, count, frames);
        return;
    }
    AudioBufferList list;
    list.mNumberBuffers = count;
    for (AVAudioChannelCount c = 0; c < count; ++c) {
        list.mBuffers[c] = {1, static_cast<std::uint32_t>(frames * sizeof(float)), channels[c]};
    }
    AudioUnitRenderActionFlags flags = 0;
    AudioTimeStamp timestamp;
    timestamp.mSampleTime = state.sampleTime;
    timestamp.mFlags = kAudioTimeStampSampleTimeValid;
    state.noteUnitRendered(state.sampleTime);
    state.sampleTime += frames;
    const auto status = state.renderBlock(&flags, &timestamp, frames, 0, &list, state.pullBlock);
    if (status != noErr) {
        silence(channels, count, frames);
        return;
    }
    // A unit may answer with memory of its own (in place on its input).
    for (AVAudioChannelCount c = 0; c < count && c < list.mNumberBuffers; ++c) {
        if (list.mBuffers[c].mData != channels[c] && list.mBuffers[c].mData != nullptr) {
            std::memcpy(channels[c], list.mBuffers[c].mData, std::size_t{frames} * sizeof(float));
        }
    }
}

} // namespace

void renderEngineNode(NodeState& state, AUAudioFrameCount frames, float* const* channels) noexcept {
    switch (state.kind) {
    case NodeState::Kind::player:
        state.player->renderOutput(frames, channels, state.outputChannels);
        return;
    case NodeState::Kind::unit:
        renderUnit(state, frames, channels);
        return;
    case NodeState::Kind::mixer:
    case NodeState::Kind::output:
        renderMix(state, frames, channels);
        return;
    case NodeState::Kind::other:
        silence(channels, state.outputChannels, frames);
        return;
    }
}

// The pull-input block an engine gives a unit: renders the unit's input bus from its source,
// into the list's memory or, where the list has none, into the engine's buffer for that bus.
AURenderPullInputBlock makeEnginePullBlock(NodeState* state) {
    return AURenderPullInputBlock([state](AudioUnitRenderActionFlags*, const AudioTimeStamp*,
                                          AUAudioFrameCount frames, NSInteger bus,
                                          AudioBufferList* in) noexcept -> AUAudioUnitStatus {
        if (in == nullptr || frames > AVAudioEngine::kMaximumFramesToRender) {
            return kAudio_ParamError;
        }
        const AVAudioChannelCount count = state->unitInputChannels;
        float* pointers[kAudioBufferListCapacity] = {};
        for (AVAudioChannelCount c = 0; c < count; ++c) {
            float* own =
                state->unitInput.data() + std::size_t{c} * AVAudioEngine::kMaximumFramesToRender;
            if (c < in->mNumberBuffers) {
                if (in->mBuffers[c].mData == nullptr) in->mBuffers[c].mData = own;
                in->mBuffers[c].mDataByteSize = static_cast<std::uint32_t>(frames * sizeof(float));
                pointers[c] = static_cast<float*>(in->mBuffers[c].mData);
            } else {
                pointers[c] = own; // a list with fewer buffers than channels gets what it holds
            }
        }
        NodeState::Input* input = bus >= 0 ? state->inputForBus(NSUInteger(bus)) : nullptr;
        if (input == nullptr || input->source == nullptr) {
            silence(pointers, count, frames);
            return noErr;
        }
        renderInput(*input, frames, pointers);
        return noErr;
    });
}

} // namespace pf
