// AVAudioEngine: a graph of audio nodes (players, effect units, the main mixer, the output) that
// an output device pulls.
//
// Connections: `connect` wires output bus 0 of the source to input bus 0 of the destination, or
// to the mixer's lowest free input bus. An output bus feeds one destination, so connecting a
// source that is already connected replaces its connection; an input bus (other than a mixer's
// next free one) takes one source, so a new source replaces the old one. A format sets the
// source's output format; no format means the source's current output format. The destination's
// input bus always takes its source's output format. An effect unit renders at one rate: when its
// input takes a rate its output lacks, its output takes that rate (keeping its channel count), and
// whatever follows converts. The mixer and the output node convert each input to their own
// format (engine/FormatConverter.h). The main mixer is made, attached and connected to the output
// node on first access; the output node's format is the device's (48000 Hz stereo).
//
// Effect units: before a unit renders, the engine sets its `maximumFramesToRender` to 4096, its
// bus formats, allocates its render resources and only then fetches its render block, so the
// block carries whatever the host set before (the MIDI output block). Units are allocated by
// `prepare` and `start` (and when connected while prepared or running), released by `stop`,
// `detach` and by a format change (which allocates again when prepared or running).
//
// Rendering: the device's render thread pulls the output node in chunks of at most 4096 frames.
// Every method below takes the engine's lock; the render thread only try-locks it and renders
// silence for a cycle it cannot lock (counted in `renderDropouts`).
//
// Ownership: the engine holds its nodes and its device; a node refers back to it weakly. Stopping
// or destroying the engine stops the device and joins its thread.
//
// Threads: [any-thread, not render], except where noted.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "audio/AVAudioMixerNode.h"
#include "audio/AVAudioNode.h"
#include "audio/AVAudioPlayerNode.h"

namespace pf {

class AudioOutputDevice;

struct AVAudioConnectionPoint {
    std::shared_ptr<AVAudioNode> node;
    NSUInteger bus = 0;
};

class AVAudioEngine : public std::enable_shared_from_this<AVAudioEngine> {
public:
    static constexpr AUAudioFrameCount kMaximumFramesToRender = 4096;

    AVAudioEngine();
    ~AVAudioEngine();
    AVAudioEngine(const AVAudioEngine&) = delete;
    AVAudioEngine& operator=(const AVAudioEngine&) = delete;

    static std::shared_ptr<AVAudioEngine> make() { return std::make_shared<AVAudioEngine>(); }

    // Adds `node` to the engine. Attaching a node the engine holds already does nothing; a node
    // attached to another engine is misuse (reported through checkFailed(), nothing changes).
    void attach(const std::shared_ptr<AVAudioNode>& node);
    // Breaks every connection of `node`, releases its unit's render resources and removes it; a
    // node the engine does not hold is left alone.
    void detach(const std::shared_ptr<AVAudioNode>& node);

    // Wires `source` to `destination` as described at the top of this file. Both must be
    // attached (misuse otherwise, reported through checkFailed(); nothing changes).
    void connect(const std::shared_ptr<AVAudioNode>& source,
                 const std::shared_ptr<AVAudioNode>& destination,
                 std::shared_ptr<const AVAudioFormat> format);
    // Breaks every connection into `node` (all its input buses).
    void disconnectNodeInput(const std::shared_ptr<AVAudioNode>& node);

    std::shared_ptr<AVAudioMixerNode> mainMixerNode();
    std::shared_ptr<AVAudioOutputNode> outputNode();

    // Allocates the render resources of the connected units without starting the device. A unit
    // that fails keeps rendering silence; the failure goes to standard error.
    void prepare();
    // Allocates, opens the output device and starts it. Throws NSErrorException when a unit
    // cannot allocate or the device cannot open; the engine is then not running and holds no
    // device. Starting a running engine does nothing.
    void start();
    // Stops the device (joining its thread) and releases the units' render resources.
    void stop();
    bool isRunning() const;

    // The attached nodes, in the order they were attached.
    std::vector<std::shared_ptr<AVAudioNode>> attachedNodes() const;
    bool isAttached(const AVAudioNode& node) const;
    // What feeds input `bus` of `node`, if anything.
    std::optional<AVAudioConnectionPoint> inputConnectionPoint(const AVAudioNode& node,
                                                               NSUInteger bus) const;
    // Where output `bus` of `node` goes (none or one point).
    std::vector<AVAudioConnectionPoint> outputConnectionPoints(const AVAudioNode& node,
                                                               NSUInteger bus) const;

    // [any-thread] Device cycles rendered as silence because the graph was locked.
    std::uint64_t renderDropouts() const noexcept {
        return dropouts_.load(std::memory_order_relaxed);
    }

    struct NodeState; // the render side of one attached node

private:
    struct Connection {
        AVAudioNode* source;
        AVAudioNode* destination;
        NSUInteger destinationBus;
    };

    NodeState* stateOf(const AVAudioNode* node) const;
    void attachLocked(const std::shared_ptr<AVAudioNode>& node);
    void connectLocked(const std::shared_ptr<AVAudioNode>& source,
                       const std::shared_ptr<AVAudioNode>& destination,
                       std::shared_ptr<const AVAudioFormat> format);
    std::shared_ptr<AVAudioOutputNode> outputNodeLocked();
    std::shared_ptr<AVAudioMixerNode> mainMixerNodeLocked();
    std::shared_ptr<const AVAudioFormat> outputFormatOf(const AVAudioNode& node) const;
    void setOutputFormatLocked(NodeState& state, std::shared_ptr<const AVAudioFormat> format);
    void setUnitFormatLocked(NodeState& state, bool input,
                             std::shared_ptr<const AVAudioFormat> format);
    void rebuildLocked();
    void allocateUnitsLocked(bool throwOnFailure);
    void deallocateUnitLocked(NodeState& state) noexcept;
    void stopLocked() noexcept;
    bool isConnected(const AVAudioNode* node) const;

    // [render-thread] One device cycle.
    void renderCycle(AUAudioFrameCount frames, float* const* channels) noexcept;

    mutable std::mutex mutex_;
    std::vector<std::unique_ptr<NodeState>> states_;
    std::vector<Connection> connections_;
    std::shared_ptr<AVAudioMixerNode> mainMixer_;
    std::shared_ptr<AVAudioOutputNode> output_;
    std::shared_ptr<AudioOutputDevice> device_;
    bool prepared_ = false;
    bool running_ = false;
    std::atomic<std::uint64_t> dropouts_{0};
};

} // namespace pf
