#include "audio/AVAudioEngine.h"

#include <algorithm>

#include "core/Check.h"

namespace pf {

AVAudioEngine::~AVAudioEngine() {
    for (const auto& node : nodes_) {
        std::lock_guard nodeLock(node->mutex_);
        node->engine_.reset();
    }
}

void AVAudioEngine::attach(const std::shared_ptr<AVAudioNode>& node) {
    if (!node) return;
    std::lock_guard lock(mutex_);
    if (std::find(nodes_.begin(), nodes_.end(), node) != nodes_.end()) return;
    {
        std::lock_guard nodeLock(node->mutex_);
        if (!node->engine_.expired()) {
            checkFailed("AVAudioEngine::attach: the node is attached to another engine");
            return;
        }
        node->engine_ = weak_from_this();
    }
    nodes_.push_back(node);
}

void AVAudioEngine::detach(const std::shared_ptr<AVAudioNode>& node) {
    if (!node) return;
    std::lock_guard lock(mutex_);
    const auto found = std::find(nodes_.begin(), nodes_.end(), node);
    if (found == nodes_.end()) return;
    {
        std::lock_guard nodeLock(node->mutex_);
        node->engine_.reset();
    }
    nodes_.erase(found);
}

std::vector<std::shared_ptr<AVAudioNode>> AVAudioEngine::attachedNodes() const {
    std::lock_guard lock(mutex_);
    return nodes_;
}

bool AVAudioEngine::isAttached(const AVAudioNode& node) const {
    std::lock_guard lock(mutex_);
    return std::any_of(nodes_.begin(), nodes_.end(),
                       [&node](const auto& held) { return held.get() == &node; });
}

} // namespace pf
