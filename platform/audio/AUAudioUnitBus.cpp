#include "audio/AUAudioUnitBus.h"

#include <cmath>
#include <limits>
#include <utility>

#include "audio/AUAudioUnit.h"

namespace pf {

namespace {

bool isCarriable(const AVAudioFormat& format, AUAudioChannelCount maximumChannels) {
    return format.isStandard() && format.channelCount() >= 1 &&
           format.channelCount() <= maximumChannels && std::isfinite(format.sampleRate()) &&
           format.sampleRate() > 0;
}

} // namespace

// Every field of a bus is read and written whole under the bus's mutex.
template <class T> T AUAudioUnitBus::locked(const T& field) const {
    std::lock_guard lock(mutex_);
    return field;
}

template <class T> void AUAudioUnitBus::store(T& field, T value) {
    std::lock_guard lock(mutex_);
    field = std::move(value);
}

std::shared_ptr<AUAudioUnitBus>
AUAudioUnitBus::initWithFormat(std::shared_ptr<const AVAudioFormat> format, OSStatus* outError) {
    const bool supported =
        format && isCarriable(*format, std::numeric_limits<AUAudioChannelCount>::max());
    if (outError != nullptr) *outError = supported ? noErr : kAudioUnitErr_FormatNotSupported;
    if (!supported) return nullptr;
    return std::make_shared<AUAudioUnitBus>(std::move(format));
}

AUAudioUnitBus::AUAudioUnitBus(std::shared_ptr<const AVAudioFormat> format)
    : format_(std::move(format)) {}

std::shared_ptr<const AVAudioFormat> AUAudioUnitBus::format() const {
    return locked(format_);
}

bool AUAudioUnitBus::setFormat(std::shared_ptr<const AVAudioFormat> format, NSError* outError) {
    const OSStatus status = setFormat(std::move(format));
    if (status != noErr && outError != nullptr) *outError = osStatusError(status);
    return status == noErr;
}

OSStatus AUAudioUnitBus::setFormat(std::shared_ptr<const AVAudioFormat> format) {
    if (!format || !isCarriable(*format, maximumChannelCount())) {
        return kAudioUnitErr_FormatNotSupported;
    }
    if (AUAudioUnit* owner = ownerAudioUnit()) {
        const auto current = this->format();
        if (owner->renderResourcesAllocated() && !(current && current->isEqual(*format))) {
            return kAudioUnitErr_Initialized;
        }
        if (!owner->shouldChangeToFormat(*format, *this)) return kAudioUnitErr_FormatNotSupported;
    }
    store(format_, std::move(format));
    return noErr;
}

bool AUAudioUnitBus::isEnabled() const {
    return locked(enabled_);
}
void AUAudioUnitBus::setEnabled(bool enabled) {
    store(enabled_, enabled);
}
bool AUAudioUnitBus::shouldAllocateBuffer() const {
    return locked(shouldAllocateBuffer_);
}
void AUAudioUnitBus::setShouldAllocateBuffer(bool allocate) {
    store(shouldAllocateBuffer_, allocate);
}
AUAudioChannelCount AUAudioUnitBus::maximumChannelCount() const {
    return locked(maximumChannelCount_);
}
void AUAudioUnitBus::setMaximumChannelCount(AUAudioChannelCount count) {
    store(maximumChannelCount_, count);
}
std::optional<std::string> AUAudioUnitBus::name() const {
    return locked(name_);
}
void AUAudioUnitBus::setName(std::optional<std::string> name) {
    store(name_, std::move(name));
}
double AUAudioUnitBus::contextPresentationLatency() const {
    return locked(contextPresentationLatency_);
}
void AUAudioUnitBus::setContextPresentationLatency(double seconds) {
    store(contextPresentationLatency_, seconds);
}
AUAudioUnitBusType AUAudioUnitBus::busType() const {
    return locked(busType_);
}
NSUInteger AUAudioUnitBus::index() const {
    return locked(index_);
}

AUAudioUnit* AUAudioUnitBus::ownerAudioUnit() const {
    const auto anchor = locked(owner_).lock();
    return anchor ? *anchor : nullptr;
}

void AUAudioUnitBus::attach(const AUAudioUnitOwnerAnchor& owner, AUAudioUnitBusType type,
                            NSUInteger index) {
    std::lock_guard lock(mutex_);
    owner_ = owner;
    busType_ = type;
    index_ = index;
}

// ---- AUAudioUnitBusArray ------------------------------------------------------------------

AUAudioUnitBusArray::AUAudioUnitBusArray(const AUAudioUnitOwnerAnchor& owner,
                                         AUAudioUnitBusType busType,
                                         std::vector<std::shared_ptr<AUAudioUnitBus>> busses)
    : owner_(owner), busType_(busType), busses_(std::move(busses)) {
    std::erase(busses_, nullptr);
    for (NSUInteger i = 0; i < busses_.size(); ++i)
        busses_[i]->attach(owner, busType_, i);
}

std::shared_ptr<AUAudioUnitBusArray>
AUAudioUnitBusArray::make(const AUAudioUnitOwnerAnchor& owner, AUAudioUnitBusType busType,
                          std::vector<std::shared_ptr<AUAudioUnitBus>> busses) {
    return std::make_shared<AUAudioUnitBusArray>(owner, busType, std::move(busses));
}

std::shared_ptr<AUAudioUnitBus> AUAudioUnitBusArray::operator[](NSUInteger index) const {
    return index < busses_.size() ? busses_[index] : nullptr;
}

AUAudioUnit* AUAudioUnitBusArray::ownerAudioUnit() const {
    const auto anchor = owner_.lock();
    return anchor ? *anchor : nullptr;
}

const char* busTypeText(AUAudioUnitBusType type) {
    return type == AUAudioUnitBusType::AUAudioUnitBusTypeOutput ? "output" : "input";
}

} // namespace pf
