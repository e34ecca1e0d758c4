#include "audio/AVAudioEngine.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>

#include "audio/devices/AudioOutputDevice.h"
#include "audio/engine/EngineNodeState.h"
#include "core/Check.h"
#include "core/NSError.h"

namespace pf {

namespace {

using NodeState = AVAudioEngine::NodeState;

std::shared_ptr<AUAudioUnitBus> unitBus(AUAudioUnit& unit, bool input) {
    const auto busses = input ? unit.inputBusses() : unit.outputBusses();
    return busses ? (*busses)[0] : nullptr;
}

bool sameFormat(const std::shared_ptr<const AVAudioFormat>& a,
                const std::shared_ptr<const AVAudioFormat>& b) {
    return a && b ? a->isEqual(*b) : a == b;
}

void reportFailure(const char* what, const std::exception& e) {
    std::fprintf(stderr, "AVAudioEngine: %s: %s\n", what, e.what());
}

} // namespace

AVAudioEngine::AVAudioEngine() = default;

AVAudioEngine::~AVAudioEngine() {
    std::lock_guard lock(mutex_);
    stopLocked();
    for (const auto& state : states_) {
        std::lock_guard nodeLock(state->node->mutex_);
        state->node->engine_.reset();
    }
}

NodeState* AVAudioEngine::stateOf(const AVAudioNode* node) const {
    for (const auto& state : states_) {
        if (state->node.get() == node) return state.get();
    }
    return nullptr;
}

// ---- Attaching -----------------------------------------------------------------------------

void AVAudioEngine::attach(const std::shared_ptr<AVAudioNode>& node) {
    std::lock_guard lock(mutex_);
    attachLocked(node);
}

void AVAudioEngine::attachLocked(const std::shared_ptr<AVAudioNode>& node) {
    if (!node || stateOf(node.get()) != nullptr) return;
    {
        std::lock_guard nodeLock(node->mutex_);
        if (!node->engine_.expired()) {
            checkFailed("AVAudioEngine::attach: the node is attached to another engine");
            return;
        }
        node->engine_ = weak_from_this();
    }
    auto state = std::make_unique<NodeState>();
    state->node = node;
    if (auto* player = dynamic_cast<AVAudioPlayerNode*>(node.get())) {
        state->kind = NodeState::Kind::player;
        state->player = player;
    } else if (auto* unit = dynamic_cast<AVAudioUnit*>(node.get())) {
        state->kind = NodeState::Kind::unit;
        state->unit = unit;
        state->pullBlock = makeEnginePullBlock(state.get());
    } else if (dynamic_cast<AVAudioMixerNode*>(node.get()) != nullptr) {
        state->kind = NodeState::Kind::mixer;
    } else if (dynamic_cast<AVAudioOutputNode*>(node.get()) != nullptr) {
        state->kind = NodeState::Kind::output;
    }
    states_.push_back(std::move(state));
    rebuildLocked();
}

void AVAudioEngine::detach(const std::shared_ptr<AVAudioNode>& node) {
    if (!node) return;
    std::lock_guard lock(mutex_);
    const auto found = std::find_if(states_.begin(), states_.end(),
                                    [&](const auto& s) { return s->node == node; });
    if (found == states_.end()) return;
    std::erase_if(connections_, [&](const Connection& c) {
        return c.source == node.get() || c.destination == node.get();
    });
    deallocateUnitLocked(**found);
    {
        std::lock_guard nodeLock(node->mutex_);
        node->engine_.reset();
    }
    if (node == mainMixer_) mainMixer_.reset();
    if (node == output_) output_.reset();
    states_.erase(found);
    rebuildLocked();
}

std::vector<std::shared_ptr<AVAudioNode>> AVAudioEngine::attachedNodes() const {
    std::lock_guard lock(mutex_);
    std::vector<std::shared_ptr<AVAudioNode>> nodes;
    for (const auto& state : states_)
        nodes.push_back(state->node);
    return nodes;
}

bool AVAudioEngine::isAttached(const AVAudioNode& node) const {
    std::lock_guard lock(mutex_);
    return stateOf(&node) != nullptr;
}

// ---- Connections ---------------------------------------------------------------------------

void AVAudioEngine::connect(const std::shared_ptr<AVAudioNode>& source,
                            const std::shared_ptr<AVAudioNode>& destination,
                            std::shared_ptr<const AVAudioFormat> format) {
    std::lock_guard lock(mutex_);
    connectLocked(source, destination, std::move(format));
}

void AVAudioEngine::connectLocked(const std::shared_ptr<AVAudioNode>& source,
                                  const std::shared_ptr<AVAudioNode>& destination,
                                  std::shared_ptr<const AVAudioFormat> format) {
    NodeState* from = source ? stateOf(source.get()) : nullptr;
    NodeState* to = destination ? stateOf(destination.get()) : nullptr;
    if (from == nullptr || to == nullptr || from == to) {
        checkFailed("AVAudioEngine::connect: both nodes must be distinct and attached");
        return;
    }
    if (format && !format->isStandard()) {
        checkFailed("AVAudioEngine::connect: only the standard format is supported");
        return;
    }
    // An output bus feeds one destination.
    std::erase_if(connections_, [&](const Connection& c) { return c.source == source.get(); });
    NSUInteger bus = 0;
    if (to->kind == NodeState::Kind::mixer) {
        while (std::any_of(connections_.begin(), connections_.end(), [&](const Connection& c) {
            return c.destination == destination.get() && c.destinationBus == bus;
        })) {
            ++bus;
        }
    } else {
        std::erase_if(connections_, [&](const Connection& c) {
            return c.destination == destination.get() && c.destinationBus == 0;
        });
    }
    if (format) setOutputFormatLocked(*from, std::move(format));
    connections_.push_back({source.get(), destination.get(), bus});
    rebuildLocked();
}

void AVAudioEngine::disconnectNodeInput(const std::shared_ptr<AVAudioNode>& node) {
    if (!node) return;
    std::lock_guard lock(mutex_);
    std::erase_if(connections_, [&](const Connection& c) { return c.destination == node.get(); });
    rebuildLocked();
}

bool AVAudioEngine::isConnected(const AVAudioNode* node) const {
    return std::any_of(connections_.begin(), connections_.end(), [&](const Connection& c) {
        return c.source == node || c.destination == node;
    });
}

std::optional<AVAudioConnectionPoint> AVAudioEngine::inputConnectionPoint(const AVAudioNode& node,
                                                                          NSUInteger bus) const {
    std::lock_guard lock(mutex_);
    for (const auto& c : connections_) {
        if (c.destination == &node && c.destinationBus == bus) {
            return AVAudioConnectionPoint{stateOf(c.source)->node, 0};
        }
    }
    return std::nullopt;
}

std::vector<AVAudioConnectionPoint> AVAudioEngine::outputConnectionPoints(const AVAudioNode& node,
                                                                          NSUInteger bus) const {
    std::lock_guard lock(mutex_);
    std::vector<AVAudioConnectionPoint> points;
    if (bus != 0) return points;
    for (const auto& c : connections_) {
        if (c.source == &node) points.push_back({stateOf(c.destination)->node, c.destinationBus});
    }
    return points;
}

std::shared_ptr<AVAudioOutputNode> AVAudioEngine::outputNode() {
    std::lock_guard lock(mutex_);
    return outputNodeLocked();
}

std::shared_ptr<AVAudioOutputNode> AVAudioEngine::outputNodeLocked() {
    if (!output_) {
        output_ = std::make_shared<AVAudioOutputNode>();
        attachLocked(output_);
    }
    return output_;
}

std::shared_ptr<AVAudioMixerNode> AVAudioEngine::mainMixerNode() {
    std::lock_guard lock(mutex_);
    return mainMixerNodeLocked();
}

std::shared_ptr<AVAudioMixerNode> AVAudioEngine::mainMixerNodeLocked() {
    if (!mainMixer_) {
        mainMixer_ = std::make_shared<AVAudioMixerNode>();
        attachLocked(mainMixer_);
        connectLocked(mainMixer_, outputNodeLocked(), nullptr);
    }
    return mainMixer_;
}

// ---- Formats -------------------------------------------------------------------------------

std::shared_ptr<const AVAudioFormat> AVAudioEngine::outputFormatOf(const AVAudioNode& node) const {
    return node.outputFormat(0);
}

void AVAudioEngine::setOutputFormatLocked(NodeState& state,
                                          std::shared_ptr<const AVAudioFormat> format) {
    switch (state.kind) {
    case NodeState::Kind::player:
        state.player->setOutputFormat(std::move(format));
        break;
    case NodeState::Kind::unit:
        setUnitFormatLocked(state, false, std::move(format));
        break;
    case NodeState::Kind::mixer: {
        auto& mixer = static_cast<AVAudioMixerNode&>(*state.node);
        std::lock_guard lock(mixer.formatMutex_);
        mixer.output_ = std::move(format);
        break;
    }
    case NodeState::Kind::output:
    case NodeState::Kind::other:
        break; // the device decides the output node's format
    }
}

void AVAudioEngine::setUnitFormatLocked(NodeState& state, bool input,
                                        std::shared_ptr<const AVAudioFormat> format) {
    const auto& au = state.unit->auAudioUnit();
    if (!au || !format) return;
    const auto bus = unitBus(*au, input);
    if (!bus || sameFormat(bus->format(), format)) return;
    // A bus keeps its format while the unit is allocated: release first, allocate again later.
    if (au->renderResourcesAllocated()) {
        deallocateUnitLocked(state);
        if (au->renderResourcesAllocated()) au->deallocateRenderResources();
    }
    NSError error(NSOSStatusErrorDomain, noErr);
    if (!bus->setFormat(format, &error)) {
        std::fprintf(stderr, "AVAudioEngine: the unit refused the %s format: %s\n",
                     input ? "input" : "output", error.localizedDescription().c_str());
    }
}

// ---- Render state --------------------------------------------------------------------------

void AVAudioEngine::rebuildLocked() {
    // Formats flow downstream: each destination input takes its source's output format, and a
    // unit's output follows its input's rate. A few passes settle any chain.
    for (std::size_t pass = 0; pass <= connections_.size(); ++pass) {
        bool changed = false;
        for (const auto& c : connections_) {
            NodeState* to = stateOf(c.destination);
            const auto format = outputFormatOf(*c.source);
            if (!format) continue;
            if (to->kind == NodeState::Kind::unit && to->unit->auAudioUnit()) {
                const auto& au = to->unit->auAudioUnit();
                const auto in = unitBus(*au, true);
                if (in && !sameFormat(in->format(), format)) {
                    setUnitFormatLocked(*to, true, format);
                    changed = true;
                }
                const auto out = unitBus(*au, false);
                const auto outFormat = out ? out->format() : nullptr;
                if (outFormat && outFormat->sampleRate() != format->sampleRate()) {
                    setUnitFormatLocked(*to, false,
                                        AVAudioFormat::standardFormatWithSampleRate(
                                            format->sampleRate(), outFormat->channelCount()));
                    changed = true;
                }
            }
        }
        if (!changed) break;
    }

    for (const auto& state : states_) {
        state->inputs.clear();
        const auto outFormat = outputFormatOf(*state->node);
        state->outputChannels = outFormat ? outFormat->channelCount() : 0;
    }
    for (const auto& state : states_) {
        if (state->kind != NodeState::Kind::mixer) continue;
        auto& mixer = static_cast<AVAudioMixerNode&>(*state->node);
        std::lock_guard lock(mixer.formatMutex_);
        mixer.inputs_.clear();
    }
    for (const auto& c : connections_) {
        NodeState* from = stateOf(c.source);
        NodeState* to = stateOf(c.destination);
        const auto sourceFormat = outputFormatOf(*c.source);
        std::shared_ptr<const AVAudioFormat> destinationFormat;
        if (to->kind == NodeState::Kind::mixer) {
            auto& mixer = static_cast<AVAudioMixerNode&>(*to->node);
            std::lock_guard lock(mixer.formatMutex_);
            mixer.inputs_[c.destinationBus] = sourceFormat;
            destinationFormat = mixer.output_;
        } else {
            destinationFormat = to->node->inputFormat(c.destinationBus);
        }
        if (!sourceFormat || !destinationFormat) continue;
        auto input = std::make_unique<NodeState::Input>();
        input->bus = c.destinationBus;
        input->source = from;
        input->converter.configure(*sourceFormat, *destinationFormat);
        to->inputs.push_back(std::move(input));
    }
    for (const auto& state : states_) {
        const std::size_t frames = kMaximumFramesToRender;
        if (state->kind == NodeState::Kind::mixer || state->kind == NodeState::Kind::output) {
            state->mixScratch.assign(frames * state->outputChannels, 0.0f);
            state->mixPointers.resize(state->outputChannels);
            for (std::size_t c = 0; c < state->outputChannels; ++c) {
                state->mixPointers[c] = state->mixScratch.data() + c * frames;
            }
        } else if (state->kind == NodeState::Kind::unit) {
            const auto in = state->node->inputFormat(0);
            state->unitInputChannels = in ? in->channelCount() : 0;
            state->unitInput.assign(frames * state->unitInputChannels, 0.0f);
        }
    }
    if (prepared_) allocateUnitsLocked(false);
}

void AVAudioEngine::allocateUnitsLocked(bool throwOnFailure) {
    for (const auto& state : states_) {
        if (state->kind != NodeState::Kind::unit || state->allocated) continue;
        const auto& au = state->unit->auAudioUnit();
        if (!au || !isConnected(state->node.get())) continue;
        try {
            if (au->renderResourcesAllocated()) au->deallocateRenderResources();
            au->setMaximumFramesToRender(kMaximumFramesToRender);
            au->allocateRenderResources();
            // Fetched after allocation, so it carries the blocks the host set before.
            state->renderBlock = au->renderBlock();
            const auto format = state->node->outputFormat(0);
            state->restartUnitClock(format ? format->sampleRate() : 0.0);
            state->allocated = true;
        } catch (const std::exception& e) {
            if (throwOnFailure) throw;
            reportFailure("a unit could not allocate its render resources", e);
        }
    }
}

void AVAudioEngine::deallocateUnitLocked(NodeState& state) noexcept {
    if (state.kind != NodeState::Kind::unit || !state.allocated) return;
    state.renderBlock = nullptr;
    state.allocated = false;
    state.restartUnitClock(0.0);
    if (const auto& au = state.unit->auAudioUnit()) au->deallocateRenderResources();
}

// ---- Life cycle ----------------------------------------------------------------------------

void AVAudioEngine::prepare() {
    std::lock_guard lock(mutex_);
    prepared_ = true;
    allocateUnitsLocked(false);
}

void AVAudioEngine::start() {
    std::lock_guard lock(mutex_);
    if (running_) return;
    outputNodeLocked();
    try {
        prepared_ = true;
        allocateUnitsLocked(true);
        device_ = startAudioOutputDevice([this](AUAudioFrameCount frames, float* const* channels) {
            renderCycle(frames, channels);
        });
    } catch (...) {
        device_.reset();
        stopLocked();
        throw;
    }
    running_ = true;
}

void AVAudioEngine::stop() {
    std::lock_guard lock(mutex_);
    stopLocked();
}

void AVAudioEngine::stopLocked() noexcept {
    // The device's callback only try-locks the engine, so joining it under the lock is safe.
    if (device_) {
        device_->stop();
        device_.reset();
    }
    running_ = false;
    prepared_ = false;
    for (const auto& state : states_)
        deallocateUnitLocked(*state);
}

bool AVAudioEngine::isRunning() const {
    std::lock_guard lock(mutex_);
    return running_;
}

void AVAudioEngine::renderCycle(AUAudioFrameCount frames, float* const* channels) noexcept {
    std::unique_lock lock(mutex_, std::try_to_lock);
    NodeState* output = nullptr;
    if (lock.owns_lock() && running_ && output_) output = stateOf(output_.get());
    if (output == nullptr || output->outputChannels != AudioOutputDevice::kChannels) {
        if (!lock.owns_lock()) dropouts_.fetch_add(1, std::memory_order_relaxed);
        for (AVAudioChannelCount c = 0; c < AudioOutputDevice::kChannels; ++c) {
            std::memset(channels[c], 0, std::size_t{frames} * sizeof(float));
        }
        return;
    }
    float* chunk[AudioOutputDevice::kChannels] = {};
    for (AUAudioFrameCount done = 0; done < frames;) {
        const AUAudioFrameCount n = std::min(frames - done, kMaximumFramesToRender);
        for (AVAudioChannelCount c = 0; c < AudioOutputDevice::kChannels; ++c) {
            chunk[c] = channels[c] + done;
        }
        renderEngineNode(*output, n, chunk);
        done += n;
    }
}

} // namespace pf
