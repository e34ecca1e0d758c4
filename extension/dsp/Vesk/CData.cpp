#include "Vesk/CData.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace Vesk {

int CData::count = -1;
char* CData::temp = nullptr;
std::uint32_t* CData::wtemp = nullptr;
char* CData::err = nullptr;

extern const std::array<char, 512> hextable = [] {
    constexpr char digits[] = "0123456789ABCDEF";
    std::array<char, 512> table{};
    for (int b = 0; b < 256; ++b) {
        table[static_cast<std::size_t>(2 * b)] = digits[b >> 4];
        table[static_cast<std::size_t>(2 * b + 1)] = digits[b & 15];
    }
    return table;
}();
extern const char kNullMarker[] = "(null*)";
extern const char kUndefinedXML[] = "<CData>\n\tundefined</CData>";

namespace {
char* marker() noexcept {
    return const_cast<char*>(kNullMarker);
}
constexpr char kOutOfMemory[] = "(out of memory)";
} // namespace

CData::CData() noexcept : data_(marker()) {
    ++count;
}

CData::CData(const CData& other) noexcept : data_(marker()) {
    ++count;
    CopyFrom(other);
}

CData::CData(CData&& other) noexcept : data_(marker()) {
    ++count;
    TakeFrom(other);
}

CData& CData::operator=(const CData& other) noexcept {
    if (this != &other) CopyFrom(other);
    return *this;
}

CData& CData::operator=(CData&& other) noexcept {
    if (this != &other) TakeFrom(other);
    return *this;
}

CData::~CData() {
    Clear();
    --count;
    if (count <= 0) {
        std::free(temp);
        std::free(wtemp);
        std::free(err);
        temp = nullptr;
        wtemp = nullptr;
        err = nullptr;
    }
}

void CData::CopyFrom(const CData& other) noexcept {
    if (!other.HasData()) {
        Clear();
        return;
    }
    char* buffer = AllocText(other.length_);
    if (buffer != nullptr) std::memcpy(buffer, other.data_, other.length_);
    Adopt(buffer, buffer != nullptr ? other.length_ : 0);
}

void CData::TakeFrom(CData& other) noexcept {
    Clear();
    data_ = std::exchange(other.data_, marker());
    length_ = std::exchange(other.length_, 0u);
}

const char* CData::ClassName() const noexcept {
    return className_;
}
int CData::ClassCount() const noexcept {
    return count;
}
std::uint32_t CData::Length() const noexcept {
    return length_;
}
bool CData::Empty() const noexcept {
    return length_ == 0;
}
std::uint32_t CData::DataSize() const noexcept {
    return static_cast<std::uint32_t>(Padding(length_));
}
std::uint32_t CData::ObjectSize() const noexcept {
    return 32;
}
const char* CData::String() {
    return Hex5();
}

std::size_t CData::Padding(std::size_t n) noexcept {
    if (n < 1 || n > kMaxLength) return 0;
    return (n + 4) & ~static_cast<std::size_t>(3);
}

void* CData::CAlloc(std::size_t count, std::size_t size) noexcept {
    if (count == 0 || size == 0 || count > SIZE_MAX / size) return nullptr;
    return std::calloc(count, size);
}

std::uint32_t CData::StrLen(const char* text) noexcept {
    return text == nullptr ? 0u : static_cast<std::uint32_t>(std::strlen(text));
}

void CData::Clear() noexcept {
    if (data_ != kNullMarker) std::free(data_);
    data_ = marker();
    length_ = 0;
}

char* CData::AllocText(std::size_t length) noexcept {
    if (length == 0 || length > kMaxLength) return nullptr;
    return static_cast<char*>(CAlloc(Padding(length), 1));
}

void CData::Adopt(char* buffer, std::size_t length) noexcept {
    char* old = data_;
    if (buffer == nullptr || length == 0) {
        std::free(buffer);
        data_ = marker();
        length_ = 0;
    } else {
        data_ = buffer;
        length_ = static_cast<std::uint32_t>(length);
    }
    if (old != kNullMarker) std::free(old);
}

char* CData::SetTemp(char* buffer) noexcept {
    std::free(temp);
    temp = buffer;
    return temp;
}

const char* CData::HexForm(const char* emptyText, std::size_t k, const char* lead,
                           const char* pairPrefix, bool separated) {
    if (!HasData()) return emptyText;
    if (length_ > kMaxLength / k) return kOutOfMemory;
    char* out = AllocText(k * length_);
    if (out == nullptr) return kOutOfMemory;
    const auto* bytes = reinterpret_cast<const unsigned char*>(data_);
    const std::size_t leadLength = std::strlen(lead);
    const std::size_t prefixLength = std::strlen(pairPrefix);
    char* p = out;
    std::memcpy(p, lead, leadLength);
    p += leadLength;
    for (std::uint32_t i = 0; i < length_; ++i) {
        std::memcpy(p, pairPrefix, prefixLength);
        p += prefixLength;
        std::memcpy(p, &hextable[std::size_t{2} * bytes[i]], 2);
        p += 2;
        if (separated) *p++ = ' ';
    }
    if (separated) --p; // the last separator becomes the terminator
    *p = '\0';
    return SetTemp(out);
}

const char* CData::Hex2() {
    return HexForm("00", 2, "", "", false);
}
const char* CData::ColorRGB() {
    return HexForm("#000000", 2, "#", "", false);
}
const char* CData::Hex3() {
    return HexForm("00", 3, "", "", true);
}
const char* CData::Hex4() {
    return HexForm("#00", 4, "", "#", true);
}
const char* CData::Hex5() {
    return HexForm("0x00", 5, "", "0x", true);
}

const char* CData::XmlElement(int n, const char* open, const char* body, std::size_t bodyLength,
                              const char* close) noexcept {
    const std::size_t tabs = n < 0 ? 0u : static_cast<std::size_t>(n);
    const std::size_t openLength = std::strlen(open);
    const std::size_t closeLength = std::strlen(close);
    const std::size_t fixed = openLength + 1 + closeLength;
    if (tabs > kMaxLength / 4 || bodyLength > kMaxLength - 3 * tabs - fixed) return kUndefinedXML;
    char* out = AllocText(3 * tabs + bodyLength + fixed);
    if (out == nullptr) return kUndefinedXML;
    char* p = out;
    auto put = [&p](const char* text, std::size_t size) {
        std::memcpy(p, text, size);
        p += size;
    };
    auto indent = [&p, tabs] {
        std::memset(p, '\t', tabs);
        p += tabs;
    };
    indent();
    put(open, openLength);
    indent();
    put(body, bodyLength);
    put("\n", 1);
    indent();
    put(close, closeLength);
    return SetTemp(out); // body may be the old temp: it is released only now
}

const char* CData::XML(int n) {
    if (!HasData()) return kUndefinedXML;
    const char* hex = Hex5();
    if (hex != temp) return kUndefinedXML;
    return XmlElement(n, "<CData encoding='HEX5'>\n\t", hex, std::strlen(hex), "</CData>\n");
}

} // namespace Vesk
