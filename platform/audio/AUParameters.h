// The parameter tree of an audio unit: parameters, groups and the tree that owns them.
//
// Ownership: a group owns its children (shared), a child refers back to its parent weakly. A tree
// is a group that indexes its parameters by address once, at creation; children are fixed then.
//
// Value flow (the platform's rules):
//  - reading `value()` asks the nearest implementor value provider (the node itself or an
//    ancestor); without one it answers the value last stored;
//  - `setValue()` stores the value, hands it to the nearest implementor value observer, then calls
//    every observer added with a token on the parameter or an ancestor, once each, synchronously
//    on the setting thread, in the order they were added (the parameter's own first, then its
//    group's, then the tree's);
//  - a value set before any observer exists is only stored.
//
// Threads: [any-thread] for values and observers. A short mutex guards the observer lists; no
// callback is called while it is held, so a callback may add or remove observers. Not for the
// render thread: the render thread reads parameters through the unit's own atomics.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "audio/CoreAudioTypes.h"

namespace pf {

using AudioUnitParameterOptions = std::uint32_t;

enum AudioUnitParameterUnit : std::uint32_t {
    kAudioUnitParameterUnit_Generic = 0,
    kAudioUnitParameterUnit_Indexed = 1,
    kAudioUnitParameterUnit_Boolean = 2,
    kAudioUnitParameterUnit_Percent = 3,
    kAudioUnitParameterUnit_Seconds = 4,
    kAudioUnitParameterUnit_Hertz = 8,
    kAudioUnitParameterUnit_Decibels = 13,
    kAudioUnitParameterUnit_Milliseconds = 24,
};

inline constexpr AudioUnitParameterOptions kAudioUnitParameterFlag_IsReadable = 0x40000000u;
inline constexpr AudioUnitParameterOptions kAudioUnitParameterFlag_IsWritable = 0x80000000u;

class AUParameter;
class AUParameterGroup;

// Opaque handle of an observer added with `tokenByAddingParameterObserver`; 0 is never issued.
using AUParameterObserverToken = std::uint64_t;

// Called with the address and the new value of a parameter that was set.
using AUParameterObserver = std::function<void(AUParameterAddress, AUValue)>;
// The unit's side of the tree: the store a set value goes to, and the source a read comes from.
using AUImplementorValueObserver = std::function<void(AUParameter&, AUValue)>;
using AUImplementorValueProvider = std::function<AUValue(AUParameter&)>;
// Text of the given value, or of the parameter's current value when no value is given.
using AUImplementorStringFromValueCallback =
    std::function<std::string(AUParameter&, const AUValue*)>;

// A node of the tree: a parameter or a group.
class AUParameterNode : public std::enable_shared_from_this<AUParameterNode> {
public:
    virtual ~AUParameterNode();
    AUParameterNode(const AUParameterNode&) = delete;
    AUParameterNode& operator=(const AUParameterNode&) = delete;

    const std::string& identifier() const { return identifier_; }
    const std::string& displayName() const { return displayName_; }
    // Identifiers from the root's child down to this node, joined by '.'.
    std::string keyPath() const;
    virtual bool isGroup() const { return false; }
    std::shared_ptr<AUParameterNode> parentNode() const { return parent_.lock(); }

    // Implementor callbacks; installed on a group or the tree they serve every descendant.
    void setImplementorValueObserver(AUImplementorValueObserver observer);
    void setImplementorValueProvider(AUImplementorValueProvider provider);
    void setImplementorStringFromValueCallback(AUImplementorStringFromValueCallback callback);

    // Adds an observer of every parameter at or below this node; returns its token.
    AUParameterObserverToken tokenByAddingParameterObserver(AUParameterObserver observer);
    // Removes the observer of that token; an unknown token is ignored. An observer removed
    // before a set hears nothing of it.
    void removeParameterObserver(AUParameterObserverToken token);

protected:
    AUParameterNode(std::string identifier, std::string displayName);
    void adopt(const std::shared_ptr<AUParameterNode>& child);

    template <typename Callback> using Shared = std::shared_ptr<const Callback>;

    Shared<AUImplementorValueObserver> valueObserver() const;
    Shared<AUImplementorValueProvider> valueProvider() const;
    Shared<AUImplementorStringFromValueCallback> stringFromValueCallback() const;
    void collectObservers(std::vector<Shared<AUParameterObserver>>& into) const;

private:
    template <typename T> Shared<T> nearest(Shared<T> AUParameterNode::*member) const;

    struct ObserverEntry {
        AUParameterObserverToken token;
        Shared<AUParameterObserver> observer;
    };

    std::string identifier_;
    std::string displayName_;
    std::weak_ptr<AUParameterNode> parent_;

    mutable std::mutex mutex_;
    Shared<AUImplementorValueObserver> valueObserver_;
    Shared<AUImplementorValueProvider> valueProvider_;
    Shared<AUImplementorStringFromValueCallback> stringFromValue_;
    std::vector<ObserverEntry> observers_;
};

class AUParameter final : public AUParameterNode {
public:
    struct Description {
        std::string identifier;
        std::string name;
        AUParameterAddress address = 0;
        AUValue min = 0;
        AUValue max = 1;
        AudioUnitParameterUnit unit = kAudioUnitParameterUnit_Generic;
        std::optional<std::string> unitName;
        AudioUnitParameterOptions flags = 0;
        std::optional<std::vector<std::string>> valueStrings;
        std::optional<std::vector<AUParameterAddress>> dependentParameters;
    };

    explicit AUParameter(Description description);

    AUParameterAddress address() const { return d_.address; }
    AUValue minValue() const { return d_.min; }
    AUValue maxValue() const { return d_.max; }
    AudioUnitParameterUnit unit() const { return d_.unit; }
    const std::optional<std::string>& unitName() const { return d_.unitName; }
    AudioUnitParameterOptions flags() const { return d_.flags; }
    const std::optional<std::vector<std::string>>& valueStrings() const { return d_.valueStrings; }
    const std::optional<std::vector<AUParameterAddress>>& dependentParameters() const {
        return d_.dependentParameters;
    }

    // [any-thread] See the value flow at the top of this file. No clamping: the unit decides.
    AUValue value() const;
    void setValue(AUValue value);

    // Text of `value`, or of the current value when absent: the implementor callback when one is
    // installed, otherwise the value in the shortest form that reads back the same.
    std::string stringFromValue(const AUValue* value = nullptr);

private:
    Description d_;
    std::atomic<AUValue> cached_{0};
};

class AUParameterGroup : public AUParameterNode {
public:
    AUParameterGroup(std::string identifier, std::string displayName);

    bool isGroup() const override { return true; }
    const std::vector<std::shared_ptr<AUParameterNode>>& children() const { return children_; }
    // Every parameter below this group, depth first, in the order of the children.
    std::vector<std::shared_ptr<AUParameter>> allParameters() const;

protected:
    void setChildren(std::vector<std::shared_ptr<AUParameterNode>> children);

private:
    friend class AUParameterTree;
    std::vector<std::shared_ptr<AUParameterNode>> children_;
};

class AUParameterTree final : public AUParameterGroup {
public:
    AUParameterTree();

    // The factories of the platform. A node may be given to one group or tree only.
    static std::shared_ptr<AUParameter>
    createParameter(std::string identifier, std::string name, AUParameterAddress address,
                    AUValue min, AUValue max, AudioUnitParameterUnit unit,
                    std::optional<std::string> unitName, AudioUnitParameterOptions flags,
                    std::optional<std::vector<std::string>> valueStrings,
                    std::optional<std::vector<AUParameterAddress>> dependentParameters);
    static std::shared_ptr<AUParameterGroup>
    createGroup(std::string identifier, std::string name,
                std::vector<std::shared_ptr<AUParameterNode>> children);
    static std::shared_ptr<AUParameterTree>
    createTree(std::vector<std::shared_ptr<AUParameterNode>> children);

    // The parameter at `address`, or null. When two share an address the first (depth first) wins.
    std::shared_ptr<AUParameter> parameterWithAddress(AUParameterAddress address) const;

private:
    std::unordered_map<AUParameterAddress, std::shared_ptr<AUParameter>> byAddress_;
};

} // namespace pf
