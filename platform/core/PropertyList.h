#pragma once
// Property lists: a value model, and reading (XML or binary) and writing (XML or binary) of it.
//
// Dictionaries keep their keys in insertion order, and a dictionary read from a file keeps the
// file's order, so walking one is deterministic. Reals are doubles; a float stored as a real and
// read back converts to the same float, bit for bit (reals are written as the shortest text that
// reads back to the same double; NaN and infinities as "nan", "+infinity", "-infinity").
//
// XML keeps dates to the whole second, as the format does.
//
// Integers hold signed or unsigned 64-bit values and are written exactly. Reading goes through
// libplist 2.2, which keeps 64 bits but not their signedness: an unsigned value of 2^63 or more
// reads back as the signed value with the same bits.
//
// Text keeps every character in the binary form, U+0000 included; the XML form cannot hold
// U+0000, so writing it refuses such text rather than change it.
//
// Bounds. Nothing we write comes near them (a preset or a settings file is a few KiB): a
// property-list file is read only when it is a regular file of at most kFileLimit (4 MiB); a
// document is parsed only when it is at most kMaximumBytes long and would expand to at most
// kMaximumObjects objects (262,144, keys and containers included) and kMaximumBytes (16 MiB) of
// text and data once its shared references are followed (a binary list may name one child again
// and again, and the parser copies it once per reference). Reading at those bounds takes under
// 100 MB (a file of 131,071 small keys, the worst shape, peaks at about 66 MB) and a time linear
// in the size of the document.
//
// Thread: values are plain data; serialisation functions are [any-thread].

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace pf {

class PlistValue;
using PlistArray = std::vector<PlistValue>;
using PlistData = std::vector<std::uint8_t>;

// A moment, as seconds since 2001-01-01 00:00:00 UTC (the platform's reference date).
struct PlistDate {
    double secondsSinceReferenceDate = 0;
    friend bool operator==(const PlistDate&, const PlistDate&) = default;
};

class PlistDictionary {
public:
    using Entry = std::pair<std::string, PlistValue>;

    std::size_t size() const noexcept { return entries_.size(); }
    bool empty() const noexcept { return entries_.empty(); }
    bool contains(std::string_view key) const noexcept { return find(key) != nullptr; }
    // The value for `key`, or nullptr.
    const PlistValue* find(std::string_view key) const noexcept;
    PlistValue* find(std::string_view key) noexcept;
    // Replaces the value of an existing key in place, or appends the key at the end.
    void set(std::string key, PlistValue value);
    // The value for `key`; a new empty-string value is appended when the key is absent.
    PlistValue& operator[](std::string_view key);
    // Removes `key`; false when absent.
    bool erase(std::string_view key);
    std::vector<std::string> keys() const;

    // A dictionary of `entries` in their order, built without a search per key (a reader's
    // path: a file may hold tens of thousands of keys). A key that repeats keeps its first
    // position and takes its last value, as `set` would.
    static PlistDictionary fromEntries(std::vector<Entry> entries);

    auto begin() const noexcept { return entries_.begin(); }
    auto end() const noexcept { return entries_.end(); }
    auto begin() noexcept { return entries_.begin(); }
    auto end() noexcept { return entries_.end(); }

    friend bool operator==(const PlistDictionary& a, const PlistDictionary& b);

private:
    std::vector<Entry> entries_;
};

class PlistValue {
public:
    enum class Type { string, integer, real, boolean, data, date, array, dictionary };

    // An empty string.
    PlistValue() = default;
    PlistValue(const char* value) : value_(std::string(value)) {}
    PlistValue(std::string value) : value_(std::move(value)) {}
    PlistValue(std::string_view value) : value_(std::string(value)) {}
    PlistValue(bool value) : value_(value) {}
    PlistValue(int value) : value_(static_cast<std::int64_t>(value)) {}
    PlistValue(long value) : value_(static_cast<std::int64_t>(value)) {}
    PlistValue(long long value) : value_(static_cast<std::int64_t>(value)) {}
    PlistValue(unsigned value) : value_(static_cast<std::uint64_t>(value)) {}
    PlistValue(unsigned long value) : value_(static_cast<std::uint64_t>(value)) {}
    PlistValue(unsigned long long value) : value_(static_cast<std::uint64_t>(value)) {}
    PlistValue(float value) : value_(static_cast<double>(value)) {}
    PlistValue(double value) : value_(value) {}
    PlistValue(PlistData value) : value_(std::move(value)) {}
    PlistValue(PlistDate value) : value_(value) {}
    PlistValue(PlistArray value) : value_(std::move(value)) {}
    PlistValue(PlistDictionary value) : value_(std::move(value)) {}

    Type type() const noexcept;
    bool isUnsignedInteger() const noexcept {
        return std::holds_alternative<std::uint64_t>(value_);
    }

    // Typed views; empty (or nullptr) when the value has another type.
    const std::string* string() const noexcept { return std::get_if<std::string>(&value_); }
    std::optional<bool> boolean() const noexcept;
    // Integers only; an unsigned value above INT64_MAX gives nothing.
    std::optional<std::int64_t> integer() const noexcept;
    // Integers only; a negative value gives nothing.
    std::optional<std::uint64_t> unsignedInteger() const noexcept;
    // Reals only.
    std::optional<double> real() const noexcept;
    // Any number (integer or real) as a double.
    std::optional<double> number() const noexcept;
    const PlistData* data() const noexcept { return std::get_if<PlistData>(&value_); }
    std::optional<PlistDate> date() const noexcept;
    const PlistArray* array() const noexcept { return std::get_if<PlistArray>(&value_); }
    PlistArray* array() noexcept { return std::get_if<PlistArray>(&value_); }
    const PlistDictionary* dictionary() const noexcept {
        return std::get_if<PlistDictionary>(&value_);
    }
    PlistDictionary* dictionary() noexcept { return std::get_if<PlistDictionary>(&value_); }

    // Integers compare by value, whatever their signedness; reals by value (NaN equals nothing).
    friend bool operator==(const PlistValue& a, const PlistValue& b);

private:
    std::variant<std::string, std::int64_t, std::uint64_t, double, bool, PlistData, PlistDate,
                 PlistArray, PlistDictionary>
        value_;
};

enum class PropertyListFormat { xml, binary };

class PropertyListSerialization {
public:
    static constexpr std::size_t kFileLimit = std::size_t{4} << 20;
    static constexpr std::uint64_t kMaximumObjects = std::uint64_t{1} << 18;
    static constexpr std::uint64_t kMaximumBytes = std::uint64_t{16} << 20;

    // Parses a property list in XML or binary form; `format` receives the form found. Throws
    // NSErrorException (NSCocoaErrorDomain, NSPropertyListReadCorruptError, "The data couldn’t be
    // read because it isn’t in the correct format.", the reason in NSDebugDescription) for empty,
    // truncated or foreign data, for containers nested deeper than 512 levels, for a dictionary
    // key without a value (or a value without a key), for a key holding U+0000, for XML holding
    // U+0000, for a container that holds itself, and for a document past the bounds above. All
    // of these are checked before the document is parsed: the parser and the tree it builds
    // recurse once per level and copy a shared child once per reference. Strings keep every
    // character, U+0000 included.
    static PlistValue propertyList(std::span<const std::uint8_t> data,
                                   PropertyListFormat* format = nullptr);
    static PlistValue propertyList(std::string_view data, PropertyListFormat* format = nullptr);
    // Reads and parses a whole file; a file that cannot be read (not a regular file, larger than
    // kFileLimit) throws the file error, refused before anything is read. Any failure but a
    // missing file also prints "pf: the property list <path> cannot be read: <reason>" to
    // standard error.
    static PlistValue propertyListWithContentsOfFile(const std::string& path,
                                                     PropertyListFormat* format = nullptr);
    // Serialises `value`. XML is written in the platform's layout (tabs, one element a line).
    // Throws NSErrorException (NSCocoaErrorDomain, 3851, the reason in NSDebugDescription) for
    // what the form cannot hold exactly: U+0000 anywhere in XML; in binary a key holding U+0000
    // or text that is not UTF-8.
    static std::vector<std::uint8_t> data(const PlistValue& value, PropertyListFormat format);
};

inline bool operator==(const PlistValue& a, const PlistValue& b) {
    if (a.type() == PlistValue::Type::integer && b.type() == PlistValue::Type::integer) {
        return a.integer() == b.integer() && a.unsignedInteger() == b.unsignedInteger();
    }
    return a.value_ == b.value_;
}

inline bool operator==(const PlistDictionary& a, const PlistDictionary& b) {
    return a.entries_ == b.entries_;
}

} // namespace pf
