#include "MIDIDefinitions.h"

#include <cstring>
#include <new>
#include <stdexcept>

MyMetaEvent::MyMetaEvent(std::uint8_t type, std::span<const std::uint8_t> data) : size_(0) {
    if (data.size() > UINT32_MAX - sizeof(MIDIMetaEvent))
        throw std::length_error("MyMetaEvent: data too long for one meta event");
    size_ = static_cast<std::int64_t>(sizeof(MIDIMetaEvent) + data.size());
    mem_ = std::make_unique<std::uint8_t[]>(static_cast<std::size_t>(size_)); // zero-filled
    auto* event = new (mem_.get()) MIDIMetaEvent{};
    event->metaEventType = type;
    event->dataLength = static_cast<std::uint32_t>(data.size());
    // The data field runs on past the fixed record, so copy through the buffer.
    if (!data.empty())
        std::memcpy(mem_.get() + offsetof(MIDIMetaEvent, data), data.data(), data.size());
}

void MyMetaEvent::withMIDIMetaEventPtr(
    const std::function<void(const MIDIMetaEvent*)>& body) const {
    body(std::launder(reinterpret_cast<const MIDIMetaEvent*>(mem_.get())));
}

void test_MyMetaEvent() {
    const std::uint8_t data[3] = {0, 0, 0};
    const MyMetaEvent event(0x7F, data);
    event.withMIDIMetaEventPtr([](const MIDIMetaEvent*) {});
}
