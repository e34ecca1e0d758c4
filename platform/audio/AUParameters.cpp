#include "audio/AUParameters.h"

#include <charconv>
#include <utility>

namespace pf {

namespace {

std::atomic<AUParameterObserverToken> nextToken{1};

std::string shortestText(float value) {
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

} // namespace

// ---- AUParameterNode --------------------------------------------------------------------------

AUParameterNode::AUParameterNode(std::string identifier, std::string displayName)
    : identifier_(std::move(identifier)), displayName_(std::move(displayName)) {}

AUParameterNode::~AUParameterNode() = default;

std::string AUParameterNode::keyPath() const {
    std::string path = identifier_;
    for (auto node = parentNode(); node && node->parentNode(); node = node->parentNode()) {
        path = node->identifier_ + "." + path;
    }
    return path;
}

void AUParameterNode::adopt(const std::shared_ptr<AUParameterNode>& child) {
    child->parent_ = weak_from_this();
}

void AUParameterNode::setImplementorValueObserver(AUImplementorValueObserver observer) {
    auto shared = observer ? std::make_shared<const AUImplementorValueObserver>(std::move(observer))
                           : nullptr;
    std::lock_guard lock(mutex_);
    valueObserver_ = std::move(shared);
}

void AUParameterNode::setImplementorValueProvider(AUImplementorValueProvider provider) {
    auto shared = provider ? std::make_shared<const AUImplementorValueProvider>(std::move(provider))
                           : nullptr;
    std::lock_guard lock(mutex_);
    valueProvider_ = std::move(shared);
}

void AUParameterNode::setImplementorStringFromValueCallback(
    AUImplementorStringFromValueCallback callback) {
    auto shared =
        callback ? std::make_shared<const AUImplementorStringFromValueCallback>(std::move(callback))
                 : nullptr;
    std::lock_guard lock(mutex_);
    stringFromValue_ = std::move(shared);
}

template <typename T>
AUParameterNode::Shared<T> AUParameterNode::nearest(Shared<T> AUParameterNode::*member) const {
    for (auto node = shared_from_this(); node; node = node->parent_.lock()) {
        std::lock_guard lock(node->mutex_);
        if ((*node).*member) return (*node).*member;
    }
    return nullptr;
}

AUParameterNode::Shared<AUImplementorValueObserver> AUParameterNode::valueObserver() const {
    return nearest(&AUParameterNode::valueObserver_);
}

AUParameterNode::Shared<AUImplementorValueProvider> AUParameterNode::valueProvider() const {
    return nearest(&AUParameterNode::valueProvider_);
}

AUParameterNode::Shared<AUImplementorStringFromValueCallback>
AUParameterNode::stringFromValueCallback() const {
    return nearest(&AUParameterNode::stringFromValue_);
}

AUParameterObserverToken
AUParameterNode::tokenByAddingParameterObserver(AUParameterObserver observer) {
    const AUParameterObserverToken token = nextToken.fetch_add(1, std::memory_order_relaxed);
    auto shared = std::make_shared<const AUParameterObserver>(std::move(observer));
    std::lock_guard lock(mutex_);
    observers_.push_back({token, std::move(shared)});
    return token;
}

void AUParameterNode::removeParameterObserver(AUParameterObserverToken token) {
    std::lock_guard lock(mutex_);
    std::erase_if(observers_, [token](const ObserverEntry& e) { return e.token == token; });
}

void AUParameterNode::collectObservers(std::vector<Shared<AUParameterObserver>>& into) const {
    for (auto node = shared_from_this(); node; node = node->parent_.lock()) {
        std::lock_guard lock(node->mutex_);
        for (const auto& entry : node->observers_) {
            if (entry.observer && *entry.observer) into.push_back(entry.observer);
        }
    }
}

// ---- AUParameter ------------------------------------------------------------------------------

AUParameter::AUParameter(Description description)
    : AUParameterNode(description.identifier, description.name), d_(std::move(description)) {}

AUValue AUParameter::value() const {
    if (auto provider = valueProvider()) {
        return (*provider)(const_cast<AUParameter&>(*this));
    }
    return cached_.load(std::memory_order_relaxed);
}

void AUParameter::setValue(AUValue value) {
    cached_.store(value, std::memory_order_relaxed);
    if (auto observer = valueObserver()) {
        (*observer)(*this, value);
    }
    std::vector<Shared<AUParameterObserver>> observers;
    collectObservers(observers);
    for (const auto& observer : observers) {
        (*observer)(d_.address, value);
    }
}

std::string AUParameter::stringFromValue(const AUValue* value) {
    if (auto callback = stringFromValueCallback()) {
        return (*callback)(*this, value);
    }
    return shortestText(value != nullptr ? *value : this->value());
}

// ---- AUParameterGroup / AUParameterTree ------------------------------------------------------

AUParameterGroup::AUParameterGroup(std::string identifier, std::string displayName)
    : AUParameterNode(std::move(identifier), std::move(displayName)) {}

void AUParameterGroup::setChildren(std::vector<std::shared_ptr<AUParameterNode>> children) {
    std::erase(children, nullptr);
    children_ = std::move(children);
    for (const auto& child : children_)
        adopt(child);
}

std::vector<std::shared_ptr<AUParameter>> AUParameterGroup::allParameters() const {
    std::vector<std::shared_ptr<AUParameter>> result;
    // Explicit stack instead of recursion: depth first, children in order.
    std::vector<std::pair<const AUParameterGroup*, std::size_t>> stack{{this, 0}};
    while (!stack.empty()) {
        auto& [group, next] = stack.back();
        if (next == group->children_.size()) {
            stack.pop_back();
            continue;
        }
        const auto& child = group->children_[next++];
        if (child->isGroup()) {
            stack.emplace_back(static_cast<const AUParameterGroup*>(child.get()), 0);
        } else {
            result.push_back(std::static_pointer_cast<AUParameter>(child));
        }
    }
    return result;
}

AUParameterTree::AUParameterTree() : AUParameterGroup("", "") {}

std::shared_ptr<AUParameter> AUParameterTree::createParameter(
    std::string identifier, std::string name, AUParameterAddress address, AUValue min, AUValue max,
    AudioUnitParameterUnit unit, std::optional<std::string> unitName,
    AudioUnitParameterOptions flags, std::optional<std::vector<std::string>> valueStrings,
    std::optional<std::vector<AUParameterAddress>> dependentParameters) {
    return std::make_shared<AUParameter>(AUParameter::Description{
        std::move(identifier), std::move(name), address, min, max, unit, std::move(unitName), flags,
        std::move(valueStrings), std::move(dependentParameters)});
}

std::shared_ptr<AUParameterGroup>
AUParameterTree::createGroup(std::string identifier, std::string name,
                             std::vector<std::shared_ptr<AUParameterNode>> children) {
    auto group = std::make_shared<AUParameterGroup>(std::move(identifier), std::move(name));
    group->setChildren(std::move(children));
    return group;
}

std::shared_ptr<AUParameterTree>
AUParameterTree::createTree(std::vector<std::shared_ptr<AUParameterNode>> children) {
    auto tree = std::make_shared<AUParameterTree>();
    tree->setChildren(std::move(children));
    for (auto& parameter : tree->allParameters()) {
        tree->byAddress_.try_emplace(parameter->address(), std::move(parameter));
    }
    return tree;
}

std::shared_ptr<AUParameter>
AUParameterTree::parameterWithAddress(AUParameterAddress address) const {
    const auto found = byAddress_.find(address);
    return found == byAddress_.end() ? nullptr : found->second;
}

} // namespace pf
