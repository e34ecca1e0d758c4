// A small audio unit for the tests of the base class, the parameter calls and scheduled events: one
// stereo input and one stereo output bus, a two-parameter tree kept in atomics, and a render block
// that pulls its input, adds 1 to every sample, counts its cycles and records its render events.
#pragma once

#include <array>
#include <atomic>
#include <memory>
#include <vector>

#include "audio/AUAudioUnit.h"
#include "audio/ScopedFlushDenormals.h"
#include "core/RenderThread.h"

namespace pf::test {

inline constexpr AudioComponentDescription kTestDescription{
    fourCharCode("aufx"), fourCharCode("tst1"), fourCharCode("Tstm"), 0, 0};

// A render event as the unit saw it, with the start of its cycle.
struct SeenEvent {
    AUEventSampleTime cycleStart = 0;
    AUEventSampleTime time = 0;
    AURenderEventType type = AURenderEventParameter;
    AUParameterAddress address = 0; // parameter events
    AUAudioFrameCount ramp = 0;
    std::uint8_t status = 0; // MIDI events: the first byte and the length
    std::uint16_t length = 0;
};

struct RenderProbe {
    std::array<SeenEvent, 64> seen{}; // the first ones
    std::atomic<int> seenCount{0};
    std::atomic<int> cycles{0};
    std::atomic<bool> sawRenderThread{false};
    std::atomic<bool> sawFlushing{false};
};

class TestUnit final : public AUAudioUnit {
public:
    explicit TestUnit(const AudioComponentDescription& description = kTestDescription)
        : probe_(std::make_shared<RenderProbe>()), values_(std::make_shared<Values>()) {
        const auto make = [](const char* id, AUParameterAddress address, AUValue min) {
            return AUParameterTree::createParameter(id, id, address, min, 1,
                                                    kAudioUnitParameterUnit_Generic, std::nullopt,
                                                    0xC0000000u, std::nullopt, std::nullopt);
        };
        auto tree = AUParameterTree::createTree({make("a", 0, 0), make("b", 7, -1)});
        tree->setImplementorValueObserver([values = values_](AUParameter& p, AUValue v) {
            (p.address() == 0 ? values->a : values->b).store(v);
        });
        tree->setImplementorValueProvider([values = values_](AUParameter& p) {
            return (p.address() == 0 ? values->a : values->b).load();
        });
        setParameterTree(tree);
        const auto bus = [] {
            return AUAudioUnitBus::initWithFormat(
                AVAudioFormat::standardFormatWithSampleRate(48000.0, 2));
        };
        inputs_ = AUAudioUnitBusArray::make(ownerAnchor(),
                                            AUAudioUnitBusType::AUAudioUnitBusTypeInput, {bus()});
        outputs_ = AUAudioUnitBusArray::make(ownerAnchor(),
                                             AUAudioUnitBusType::AUAudioUnitBusTypeOutput, {bus()});
        initWithComponentDescription(description);
    }

    std::shared_ptr<AUAudioUnitBusArray> inputBusses() override { return inputs_; }
    std::shared_ptr<AUAudioUnitBusArray> outputBusses() override { return outputs_; }

    AUInternalRenderBlock internalRenderBlock() override {
        return AUInternalRenderBlock(
            [probe = probe_](AudioUnitRenderActionFlags* flags, const AudioTimeStamp* ts,
                             AUAudioFrameCount frames, NSInteger, AudioBufferList* out,
                             const AURenderEvent* events,
                             const AURenderPullInputBlock& pull) noexcept -> AUAudioUnitStatus {
                probe->cycles.fetch_add(1);
                for (const AURenderEvent* e = events; e != nullptr; e = e->head.next) {
                    const int n = probe->seenCount.fetch_add(1);
                    if (n >= static_cast<int>(probe->seen.size())) continue;
                    const bool midi = e->head.eventType >= AURenderEventMIDI;
                    probe->seen[std::size_t(n)] = {
                        static_cast<AUEventSampleTime>(ts->mSampleTime),
                        e->head.eventSampleTime,
                        e->head.eventType,
                        midi ? 0 : e->parameter.parameterAddress,
                        midi ? 0 : e->parameter.rampDurationSampleFrames,
                        midi ? e->MIDI.data[0] : std::uint8_t{0},
                        static_cast<std::uint16_t>(midi ? e->MIDI.length : 0)};
                }
                probe->sawRenderThread.store(isRenderThread());
                probe->sawFlushing.store(ScopedFlushDenormals::isFlushing());
                if (pull) {
                    if (const auto s = pull(flags, ts, frames, 0, out)) return s;
                }
                for (std::uint32_t b = 0; b < out->mNumberBuffers; ++b) {
                    auto* data = static_cast<float*>(out->mBuffers[b].mData);
                    for (std::uint32_t i = 0; data != nullptr && i < frames; ++i)
                        data[i] += 1.0f;
                }
                return noErr;
            });
    }

    const std::shared_ptr<RenderProbe>& probe() const { return probe_; }
    float storedA() const { return values_->a.load(); }

private:
    struct Values {
        std::atomic<float> a{0};
        std::atomic<float> b{0};
    };
    std::shared_ptr<RenderProbe> probe_;
    std::shared_ptr<Values> values_;
    std::shared_ptr<AUAudioUnitBusArray> inputs_;
    std::shared_ptr<AUAudioUnitBusArray> outputs_;
};

// One stereo cycle of at most 64 frames, rendered through a host's render block.
struct StereoCycle {
    std::array<float, 64> left{}, right{};
    AudioBufferList list;
    AudioTimeStamp time;
    StereoCycle() {
        list.mNumberBuffers = 2;
        list.mBuffers[0] = {1, sizeof left, left.data()};
        list.mBuffers[1] = {1, sizeof right, right.data()};
        time.mFlags = kAudioTimeStampSampleTimeValid;
    }
    AUAudioUnitStatus render(const AURenderBlock& block, AUEventSampleTime start,
                             AUAudioFrameCount frames = 64, NSInteger bus = 0) {
        time.mSampleTime = static_cast<double>(start);
        AudioUnitRenderActionFlags flags = 0;
        return block(&flags, &time, frames, bus, &list, nullptr);
    }
};

} // namespace pf::test
