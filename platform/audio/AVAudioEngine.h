// AVAudioEngine: the owner of a graph of audio nodes. This layer offers attaching and detaching
// nodes; connections, devices and rendering build on it.
//
// Ownership: the engine holds the nodes attached to it; a node refers back to it weakly, and a
// node that outlives its engine is attached to none. Always held by `std::shared_ptr`.
//
// Threads: [any-thread, not render]; the engine serialises itself.
#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "audio/AVAudioNode.h"

namespace pf {

class AVAudioEngine : public std::enable_shared_from_this<AVAudioEngine> {
public:
    AVAudioEngine() = default;
    ~AVAudioEngine();
    AVAudioEngine(const AVAudioEngine&) = delete;
    AVAudioEngine& operator=(const AVAudioEngine&) = delete;

    static std::shared_ptr<AVAudioEngine> make() { return std::make_shared<AVAudioEngine>(); }

    // Adds `node` to the engine. Attaching a node the engine holds already does nothing; a node
    // attached to another engine is misuse (reported through checkFailed(), nothing changes).
    // Attaching does not touch the node's audio unit.
    void attach(const std::shared_ptr<AVAudioNode>& node);
    // Removes `node`; a node the engine does not hold is left alone.
    void detach(const std::shared_ptr<AVAudioNode>& node);

    // The attached nodes, in the order they were attached.
    std::vector<std::shared_ptr<AVAudioNode>> attachedNodes() const;
    bool isAttached(const AVAudioNode& node) const;

private:
    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<AVAudioNode>> nodes_;
};

} // namespace pf
