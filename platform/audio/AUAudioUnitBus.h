// Buses of an audio unit and the arrays that publish them.
//
// A bus carries one stream in one format. Its format is validated when set: the standard format
// (non-interleaved 32-bit float) with 1 to `maximumChannelCount` channels (no limit until set) at
// a rate above 0, and, while the owning unit has its render resources allocated, only the format
// it already has. The owning unit may refuse more (`AUAudioUnit::shouldChangeToFormat`).
//
// Ownership: a unit owns its bus arrays, an array owns its buses. A bus and an array know their
// owning unit without keeping it alive; `ownerAudioUnit()` answers null once the unit is gone.
//
// Threads: [any-thread, not render]. Formats and flags are read by the unit when it allocates
// render resources; the render thread never touches a bus.
#pragma once

#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "audio/AVAudioFormat.h"
#include "audio/CoreAudioTypes.h"
#include "core/NSError.h"

namespace pf {

class AUAudioUnit;

enum class AUAudioUnitBusType : NSInteger {
    AUAudioUnitBusTypeInput = 1,
    AUAudioUnitBusTypeOutput = 2,
};

// An error of the platform's status domain with `status` as its code.
inline NSError osStatusError(OSStatus status) {
    return NSError(NSOSStatusErrorDomain, status);
}

// A unit hands this to its buses and bus arrays; it is reset when the unit goes, so they can tell.
using AUAudioUnitOwnerAnchor = std::shared_ptr<AUAudioUnit* const>;

class AUAudioUnitBus {
public:
    // A bus with `format`. Absent, with `*outError` = kAudioUnitErr_FormatNotSupported, when the
    // format is absent or not one a bus can carry; otherwise `*outError` = noErr. `outError` may
    // be null.
    static std::shared_ptr<AUAudioUnitBus>
    initWithFormat(std::shared_ptr<const AVAudioFormat> format, OSStatus* outError = nullptr);
    // Prefer initWithFormat; this one takes the format unchecked.
    explicit AUAudioUnitBus(std::shared_ptr<const AVAudioFormat> format);

    AUAudioUnitBus(const AUAudioUnitBus&) = delete;
    AUAudioUnitBus& operator=(const AUAudioUnitBus&) = delete;

    std::shared_ptr<const AVAudioFormat> format() const;
    // Sets the format when it is valid (see the top of this file). On refusal the format stays
    // and `outError` (when given) receives an error of NSOSStatusErrorDomain:
    // kAudioUnitErr_FormatNotSupported, or kAudioUnitErr_Initialized for a different format
    // while the owner's render resources are allocated.
    bool setFormat(std::shared_ptr<const AVAudioFormat> format, NSError* outError);
    // The same, answering the status: noErr when the format was taken.
    OSStatus setFormat(std::shared_ptr<const AVAudioFormat> format);

    bool isEnabled() const;
    void setEnabled(bool enabled);
    bool shouldAllocateBuffer() const;
    void setShouldAllocateBuffer(bool allocate);
    AUAudioChannelCount maximumChannelCount() const;
    void setMaximumChannelCount(AUAudioChannelCount count);
    std::optional<std::string> name() const;
    void setName(std::optional<std::string> name);
    double contextPresentationLatency() const;
    void setContextPresentationLatency(double seconds);

    // Set by the array that publishes the bus.
    AUAudioUnitBusType busType() const;
    NSUInteger index() const;
    AUAudioUnit* ownerAudioUnit() const;

private:
    friend class AUAudioUnitBusArray;
    void attach(const AUAudioUnitOwnerAnchor& owner, AUAudioUnitBusType type, NSUInteger index);
    template <class T> T locked(const T& field) const;
    template <class T> void store(T& field, T value);

    mutable std::mutex mutex_;
    std::shared_ptr<const AVAudioFormat> format_;
    bool enabled_ = true;
    bool shouldAllocateBuffer_ = true;
    AUAudioChannelCount maximumChannelCount_ = std::numeric_limits<AUAudioChannelCount>::max();
    std::optional<std::string> name_;
    double contextPresentationLatency_ = 0.0;
    AUAudioUnitBusType busType_ = AUAudioUnitBusType::AUAudioUnitBusTypeInput;
    NSUInteger index_ = 0;
    std::weak_ptr<AUAudioUnit* const> owner_;
};

class AUAudioUnitBusArray {
public:
    // An array of `busses` of one type, owned by the unit that `owner` anchors
    // (`AUAudioUnit::ownerAnchor()`). Each bus learns its type, its index and its owner.
    AUAudioUnitBusArray(const AUAudioUnitOwnerAnchor& owner, AUAudioUnitBusType busType,
                        std::vector<std::shared_ptr<AUAudioUnitBus>> busses);
    static std::shared_ptr<AUAudioUnitBusArray>
    make(const AUAudioUnitOwnerAnchor& owner, AUAudioUnitBusType busType,
         std::vector<std::shared_ptr<AUAudioUnitBus>> busses);

    NSUInteger count() const { return busses_.size(); }
    // The bus at `index`, or null past the end.
    std::shared_ptr<AUAudioUnitBus> operator[](NSUInteger index) const;
    AUAudioUnitBusType busType() const { return busType_; }
    AUAudioUnit* ownerAudioUnit() const;
    bool isCountChangeable() const { return false; }

private:
    std::weak_ptr<AUAudioUnit* const> owner_;
    AUAudioUnitBusType busType_;
    std::vector<std::shared_ptr<AUAudioUnitBus>> busses_;
};

// The platform's text of a bus type: "input" or "output".
const char* busTypeText(AUAudioUnitBusType type);

} // namespace pf
