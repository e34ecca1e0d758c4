#include "core/PropertyList.h"

#include <plist/plist.h>

#include <algorithm>
#include <bit>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>

#include "core/FileManager.h"
#include "core/NSError.h"

namespace pf {

// Dictionary

const PlistValue* PlistDictionary::find(std::string_view key) const noexcept {
    for (const auto& entry : entries_) {
        if (entry.first == key) return &entry.second;
    }
    return nullptr;
}

PlistValue* PlistDictionary::find(std::string_view key) noexcept {
    return const_cast<PlistValue*>(std::as_const(*this).find(key));
}

void PlistDictionary::set(std::string key, PlistValue value) {
    if (PlistValue* existing = find(key)) {
        *existing = std::move(value);
    } else {
        entries_.emplace_back(std::move(key), std::move(value));
    }
}

PlistValue& PlistDictionary::operator[](std::string_view key) {
    if (PlistValue* existing = find(key)) return *existing;
    return entries_.emplace_back(std::string(key), PlistValue()).second;
}

bool PlistDictionary::erase(std::string_view key) {
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        if (it->first == key) {
            entries_.erase(it);
            return true;
        }
    }
    return false;
}

PlistDictionary PlistDictionary::fromEntries(std::vector<Entry> entries) {
    PlistDictionary out;
    // Reserved up front, so the keys never move and the views into them stay valid.
    out.entries_.reserve(entries.size());
    std::unordered_map<std::string_view, std::size_t> positions;
    positions.reserve(entries.size());
    for (auto& entry : entries) {
        out.entries_.push_back(std::move(entry));
        const auto [at, added] =
            positions.try_emplace(out.entries_.back().first, out.entries_.size() - 1);
        if (!added) {
            out.entries_[at->second].second = std::move(out.entries_.back().second);
            out.entries_.pop_back();
        }
    }
    return out;
}

std::vector<std::string> PlistDictionary::keys() const {
    std::vector<std::string> out;
    out.reserve(entries_.size());
    for (const auto& entry : entries_)
        out.push_back(entry.first);
    return out;
}

// Value

PlistValue::Type PlistValue::type() const noexcept {
    switch (value_.index()) {
    case 0:
        return Type::string;
    case 1:
    case 2:
        return Type::integer;
    case 3:
        return Type::real;
    case 4:
        return Type::boolean;
    case 5:
        return Type::data;
    case 6:
        return Type::date;
    case 7:
        return Type::array;
    default:
        return Type::dictionary;
    }
}

std::optional<bool> PlistValue::boolean() const noexcept {
    if (auto* b = std::get_if<bool>(&value_)) return *b;
    return std::nullopt;
}

std::optional<std::int64_t> PlistValue::integer() const noexcept {
    if (auto* i = std::get_if<std::int64_t>(&value_)) return *i;
    if (auto* u = std::get_if<std::uint64_t>(&value_)) {
        if (*u <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
            return static_cast<std::int64_t>(*u);
        }
    }
    return std::nullopt;
}

std::optional<std::uint64_t> PlistValue::unsignedInteger() const noexcept {
    if (auto* u = std::get_if<std::uint64_t>(&value_)) return *u;
    if (auto* i = std::get_if<std::int64_t>(&value_); i && *i >= 0) {
        return static_cast<std::uint64_t>(*i);
    }
    return std::nullopt;
}

std::optional<double> PlistValue::real() const noexcept {
    if (auto* d = std::get_if<double>(&value_)) return *d;
    return std::nullopt;
}

std::optional<double> PlistValue::number() const noexcept {
    if (auto* d = std::get_if<double>(&value_)) return *d;
    if (auto* i = std::get_if<std::int64_t>(&value_)) return static_cast<double>(*i);
    if (auto* u = std::get_if<std::uint64_t>(&value_)) return static_cast<double>(*u);
    return std::nullopt;
}

std::optional<PlistDate> PlistValue::date() const noexcept {
    if (auto* d = std::get_if<PlistDate>(&value_)) return *d;
    return std::nullopt;
}

// Serialisation

namespace {

constexpr std::int64_t kReferenceDateUnix = 978307200; // 2001-01-01T00:00:00Z
constexpr std::int64_t kNoSuchFileError = 260;         // the file layer's code for a missing file
constexpr std::int64_t kWriteInvalidError = 3851;      // a value the chosen form cannot hold

NSError corruptDataError(std::string_view reason) {
    return NSError(NSCocoaErrorDomain, NSPropertyListReadCorruptError,
                   {{NSLocalizedDescriptionKey,
                     "The data couldn\u2019t be read because it isn\u2019t in the correct format."},
                    {NSDebugDescriptionErrorKey, std::string(reason)}});
}

struct PlistFree {
    void operator()(plist_t node) const noexcept { plist_free(node); }
};
using PlistPtr = std::unique_ptr<void, PlistFree>;

// Deeper documents are refused: the parser, the tree it builds and the value model recurse per
// level. Counted in containers, the outermost one included.
constexpr std::size_t kMaximumDepth = 512;

NSError tooLargeError(std::string_view what, std::uint64_t bound) {
    return corruptDataError("expands to more than " + std::to_string(bound) + " " +
                            std::string(what));
}

// An XML document as it is handed to the parser: dictionaries rewritten as arrays and their keys
// as strings, because the parser looks up every key it adds in a hash table of a fixed size (the
// time grows with the square of the key count); the dictionaries are rebuilt from the arrays.
struct XmlDocument {
    std::string text;
    std::vector<bool> dictionaries; // per container, in document order: was it a dictionary
};

// Walks the elements of an XML document before it is parsed, refusing what the parser would
// recurse into too deeply, more elements than a document may hold, U+0000 (which XML cannot
// hold; the parser would change it), and a dictionary key without a value or a value without a
// key. Everything else is left to the parser.
XmlDocument prepareXml(std::string_view text) {
    if (text.find('\0') != std::string_view::npos) {
        throw NSErrorException(corruptDataError("the document holds U+0000"));
    }
    struct Container {
        bool dictionary;
        bool keyPending;
    };
    std::vector<Container> open;
    XmlDocument out;
    out.text.reserve(text.size() + text.size() / 8);
    std::size_t copied = 0;
    std::uint64_t objects = 0;
    const auto rename = [&](std::size_t at, std::size_t length, std::string_view to) {
        out.text.append(text.substr(copied, at - copied)).append(to);
        copied = at + length;
    };
    const auto skipPast = [&](std::size_t from, std::string_view end) {
        const auto at = text.find(end, from);
        return at == std::string_view::npos ? text.size() : at + end.size();
    };
    std::size_t i = 0;
    while ((i = text.find('<', i)) != std::string_view::npos) {
        const std::string_view rest = text.substr(i);
        if (rest.starts_with("<!--")) {
            i = skipPast(i + 4, "-->");
            continue;
        }
        if (rest.starts_with("<![CDATA[")) {
            i = skipPast(i + 9, "]]>");
            continue;
        }
        if (rest.starts_with("<?")) {
            i = skipPast(i + 2, "?>");
            continue;
        }
        const auto close = text.find('>', i);
        if (close == std::string_view::npos) break;
        std::string_view tag = text.substr(i + 1, close - i - 1);
        const std::size_t nameAt = i + 1 + (tag.starts_with('/') ? 1 : 0);
        i = close + 1;
        if (tag.starts_with('!')) continue; // the document type
        const bool closing = tag.starts_with('/');
        if (closing) tag.remove_prefix(1);
        const bool empty = !closing && tag.ends_with('/');
        if (empty) tag.remove_suffix(1);
        const std::string_view name = tag.substr(0, tag.find_first_of(" \t\r\n"));
        const bool container = name == "dict" || name == "array";
        if (name == "dict") rename(nameAt, name.size(), "array");
        if (name == "key") rename(nameAt, name.size(), "string");
        if (closing) {
            if (!container || open.empty()) continue;
            if (open.back().keyPending) {
                throw NSErrorException(corruptDataError("a dictionary key has no value"));
            }
            open.pop_back();
            continue;
        }
        if (name != "plist" && ++objects > PropertyListSerialization::kMaximumObjects) {
            throw NSErrorException(
                tooLargeError("objects", PropertyListSerialization::kMaximumObjects));
        }
        if (!open.empty() && open.back().dictionary) {
            const bool key = name == "key";
            if (key == open.back().keyPending) {
                throw NSErrorException(corruptDataError(key ? "a dictionary key has no value"
                                                            : "a dictionary value has no key"));
            }
            open.back().keyPending = key;
        }
        if (container) out.dictionaries.push_back(name == "dict");
        if (container && !empty) {
            if (open.size() >= kMaximumDepth) {
                throw NSErrorException(corruptDataError("nested too deeply"));
            }
            open.push_back({name == "dict", false});
        }
    }
    out.text.append(text.substr(copied));
    return out;
}

std::uint64_t bigEndian(const std::uint8_t* bytes, std::size_t count) noexcept {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < count; ++i)
        value = (value << 8) | bytes[i];
    return value;
}

// Walks the object graph of a binary property list before it is parsed: containers nested too
// deeply, a container that holds itself, dictionary keys holding U+0000 (the parser asserts on
// them), and a graph that expands past the bounds once shared references are followed (the
// parser copies a child once per reference) are refused, as are offsets, references and lengths
// outside the document.
class BinaryCheck {
public:
    explicit BinaryCheck(std::span<const std::uint8_t> data) : data_(data) {}

    void run() {
        constexpr std::size_t kTrailer = 32;
        if (data_.size() < 8 + kTrailer) damaged();
        end_ = data_.size() - kTrailer;
        const std::uint8_t* trailer = data_.data() + end_;
        offsetSize_ = trailer[6];
        refSize_ = trailer[7];
        count_ = bigEndian(trailer + 8, 8);
        const std::uint64_t top = bigEndian(trailer + 16, 8);
        table_ = bigEndian(trailer + 24, 8);
        if (offsetSize_ < 1 || offsetSize_ > 8 || refSize_ < 1 || refSize_ > 8 || count_ == 0 ||
            top >= count_ || table_ < 8 || table_ > end_ ||
            count_ > (end_ - table_) / offsetSize_) {
            damaged();
        }
        walk(top);
    }

private:
    enum : std::uint8_t { unseen, onPath, done };
    struct Container {
        std::uint64_t refs = 0;  // offset of the first reference
        std::uint64_t count = 0; // references
        std::uint64_t keys = 0;  // the first `keys` references are dictionary keys
    };
    struct Frame {
        std::uint64_t object;
        Container container;
        std::uint64_t next = 0;
        std::uint16_t deepest = 0; // levels of containers below this one
        std::uint64_t objects = 1; // expanded so far, this container included
        std::uint64_t bytes = 0;   // of text and data, expanded so far
    };

    [[noreturn]] static void damaged() {
        throw NSErrorException(corruptDataError("truncated or damaged binary property list"));
    }

    std::uint64_t offsetOf(std::uint64_t object) const {
        const std::uint64_t offset =
            bigEndian(data_.data() + table_ + object * offsetSize_, offsetSize_);
        if (offset < 8 || offset >= end_) damaged();
        return offset;
    }

    // The length of the object at `offset` and where its content starts.
    std::pair<std::uint64_t, std::uint64_t> lengthAt(std::uint64_t offset) const {
        const std::uint64_t length = data_[offset] & 0x0F;
        if (length != 0x0F) return {length, offset + 1};
        if (offset + 2 > end_ || (data_[offset + 1] >> 4) != 0x1) damaged();
        const std::size_t bytes = std::size_t{1} << (data_[offset + 1] & 0x0F);
        if (bytes > 8 || offset + 2 + bytes > end_) damaged();
        return {bigEndian(data_.data() + offset + 2, bytes), offset + 2 + bytes};
    }

    std::optional<Container> containerAt(std::uint64_t object) const {
        const std::uint64_t offset = offsetOf(object);
        const unsigned kind = data_[offset] >> 4;
        if (kind != 0xA && kind != 0xC && kind != 0xD) return std::nullopt;
        const auto [length, content] = lengthAt(offset);
        const std::uint64_t perEntry = kind == 0xD ? 2 : 1;
        if (length > (end_ - content) / refSize_ / perEntry) damaged();
        return Container{content, length * perEntry, kind == 0xD ? length : 0};
    }

    std::uint64_t reference(const Container& container, std::uint64_t i) const {
        const std::uint64_t object =
            bigEndian(data_.data() + container.refs + i * refSize_, refSize_);
        if (object >= count_) damaged();
        return object;
    }

    // The bytes of text or data a leaf expands to (UTF-16 text takes up to 3 bytes a unit).
    std::uint64_t leafBytes(std::uint64_t object) const {
        const std::uint64_t offset = offsetOf(object);
        const unsigned kind = data_[offset] >> 4;
        if (kind != 0x4 && kind != 0x5 && kind != 0x6) return 0;
        const auto [length, content] = lengthAt(offset);
        const std::uint64_t unit = kind == 0x6 ? 2 : 1;
        if (length > (end_ - content) / unit) damaged();
        return length * (kind == 0x6 ? 3 : 1);
    }

    static void checkExpansion(std::uint64_t objects, std::uint64_t bytes) {
        if (objects > PropertyListSerialization::kMaximumObjects) {
            throw NSErrorException(
                tooLargeError("objects", PropertyListSerialization::kMaximumObjects));
        }
        if (bytes > PropertyListSerialization::kMaximumBytes) {
            throw NSErrorException(
                tooLargeError("bytes of text and data", PropertyListSerialization::kMaximumBytes));
        }
    }

    // Adds what a child expands to, each time it is referenced.
    static void add(Frame& frame, std::uint64_t objects, std::uint64_t bytes) {
        frame.objects += objects;
        frame.bytes += bytes;
        checkExpansion(frame.objects, frame.bytes);
    }

    void checkKey(std::uint64_t object) const {
        const std::uint64_t offset = offsetOf(object);
        const unsigned kind = data_[offset] >> 4;
        if (kind != 0x5 && kind != 0x6) return;
        const auto [length, content] = lengthAt(offset);
        const std::uint64_t unit = kind == 0x6 ? 2 : 1;
        if (length > (end_ - content) / unit) damaged();
        for (std::uint64_t i = content; i < content + length * unit; i += unit) {
            if (data_[i] == 0 && (unit == 1 || data_[i + 1] == 0)) {
                throw NSErrorException(corruptDataError("a dictionary key holds U+0000"));
            }
        }
    }

    // Depth first with a stack of our own. Every container is walked once and remembers how
    // many levels of containers it holds, so one shared by several parents counts at its deepest,
    // and what it expands to, so a parent adds that once per reference. Totals are checked as
    // they grow, so they stay below twice the bounds.
    void walk(std::uint64_t top) {
        std::vector<std::uint8_t> state(count_, unseen);
        std::vector<std::uint16_t> height(count_, 0);
        std::vector<std::uint32_t> objects(count_, 1);
        std::vector<std::uint32_t> bytes(count_, 0);
        std::vector<Frame> path;
        const auto enter = [&](std::uint64_t object) {
            if (state[object] == onPath) {
                throw NSErrorException(corruptDataError("a container holds itself"));
            }
            if (state[object] == unseen) {
                if (const auto container = containerAt(object)) {
                    if (path.size() >= kMaximumDepth) {
                        throw NSErrorException(corruptDataError("nested too deeply"));
                    }
                    state[object] = onPath;
                    path.push_back({object, *container});
                    return;
                }
                bytes[object] = static_cast<std::uint32_t>(
                    std::min<std::uint64_t>(leafBytes(object), UINT32_MAX));
                state[object] = done;
            }
            if (path.size() + height[object] > kMaximumDepth) {
                throw NSErrorException(corruptDataError("nested too deeply"));
            }
            if (path.empty()) {
                checkExpansion(1, bytes[object]); // a document of one leaf
            } else {
                path.back().deepest = std::max(path.back().deepest, height[object]);
                add(path.back(), objects[object], bytes[object]);
            }
        };
        enter(top);
        while (!path.empty()) {
            Frame& frame = path.back();
            if (frame.next < frame.container.count) {
                const std::uint64_t child = reference(frame.container, frame.next);
                if (frame.next < frame.container.keys) checkKey(child);
                ++frame.next;
                enter(child);
                continue;
            }
            const std::uint64_t object = frame.object;
            height[object] = static_cast<std::uint16_t>(frame.deepest + 1);
            objects[object] = static_cast<std::uint32_t>(frame.objects);
            bytes[object] = static_cast<std::uint32_t>(frame.bytes);
            state[object] = done;
            path.pop_back();
            if (!path.empty()) {
                path.back().deepest = std::max(path.back().deepest, height[object]);
                add(path.back(), objects[object], bytes[object]);
            }
        }
    }

    std::span<const std::uint8_t> data_;
    std::uint64_t end_ = 0;
    std::uint64_t table_ = 0;
    std::uint64_t count_ = 0;
    unsigned offsetSize_ = 0;
    unsigned refSize_ = 0;
};

// Which of the arrays the parser built from an XML document were dictionaries, in the order a
// depth-first walk meets them; none for a binary document.
class Dictionaries {
public:
    explicit Dictionaries(const std::vector<bool>* flags = nullptr) : flags_(flags) {}
    bool next() {
        if (flags_ == nullptr) return false;
        if (next_ >= flags_->size()) {
            throw NSErrorException(corruptDataError("not a property list"));
        }
        return (*flags_)[next_++];
    }

private:
    const std::vector<bool>* flags_;
    std::size_t next_ = 0;
};

PlistValue fromNode(plist_t node, Dictionaries& dictionaries);

// An array of keys and values, as the XML path hands dictionaries to the parser. The document
// was checked to alternate keys and values, so anything else means the parser read it otherwise.
PlistValue dictionaryFromPairs(plist_t node, Dictionaries& dictionaries) {
    const std::uint32_t n = plist_array_get_size(node);
    std::vector<PlistDictionary::Entry> entries;
    entries.reserve(n / 2);
    for (std::uint32_t i = 0; i < n; i += 2) {
        const plist_t key = plist_array_get_item(node, i);
        std::uint64_t length = 0;
        const char* text = plist_get_node_type(key) == PLIST_STRING && i + 1 < n
                               ? plist_get_string_ptr(key, &length)
                               : nullptr;
        if (text == nullptr) throw NSErrorException(corruptDataError("not a property list"));
        entries.emplace_back(std::string(std::string_view(text, length)),
                             fromNode(plist_array_get_item(node, i + 1), dictionaries));
    }
    return PlistValue(PlistDictionary::fromEntries(std::move(entries)));
}

// The nesting was checked before parsing, so this recursion is bounded.
PlistValue fromNode(plist_t node, Dictionaries& dictionaries) {
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        std::uint8_t b = 0;
        plist_get_bool_val(node, &b);
        return PlistValue(b != 0);
    }
    case PLIST_UINT: {
        std::uint64_t u = 0;
        plist_get_uint_val(node, &u);
        return PlistValue(static_cast<long long>(u)); // the same bits; negatives come back
    }
    case PLIST_UID: {
        std::uint64_t u = 0;
        plist_get_uid_val(node, &u);
        return PlistValue(static_cast<unsigned long long>(u));
    }
    case PLIST_REAL: {
        double d = 0;
        plist_get_real_val(node, &d);
        return PlistValue(d);
    }
    case PLIST_STRING: {
        // By pointer and length: a string may hold U+0000.
        std::uint64_t length = 0;
        const char* text = plist_get_string_ptr(node, &length);
        return PlistValue(text != nullptr ? std::string(text, length) : std::string());
    }
    case PLIST_DATA: {
        char* bytes = nullptr;
        std::uint64_t length = 0;
        plist_get_data_val(node, &bytes, &length);
        PlistData data(reinterpret_cast<std::uint8_t*>(bytes),
                       reinterpret_cast<std::uint8_t*>(bytes) + (bytes != nullptr ? length : 0));
        std::free(bytes);
        return PlistValue(std::move(data));
    }
    case PLIST_DATE: {
        std::int32_t sec = 0;
        std::int32_t usec = 0;
        plist_get_date_val(node, &sec, &usec);
        return PlistValue(PlistDate{sec + usec / 1e6});
    }
    case PLIST_ARRAY: {
        if (dictionaries.next()) return dictionaryFromPairs(node, dictionaries);
        PlistArray array;
        const std::uint32_t n = plist_array_get_size(node);
        array.reserve(n);
        for (std::uint32_t i = 0; i < n; ++i)
            array.push_back(fromNode(plist_array_get_item(node, i), dictionaries));
        return PlistValue(std::move(array));
    }
    case PLIST_DICT: {
        std::vector<PlistDictionary::Entry> entries;
        entries.reserve(plist_dict_get_size(node));
        plist_dict_iter it = nullptr;
        plist_dict_new_iter(node, &it);
        const std::unique_ptr<void, void (*)(void*)> iterator(it, std::free);
        for (;;) {
            char* key = nullptr;
            plist_t value = nullptr;
            plist_dict_next_item(node, it, &key, &value);
            if (key == nullptr) break;
            std::string k = key;
            std::free(key);
            entries.emplace_back(std::move(k), fromNode(value, dictionaries));
        }
        return PlistValue(PlistDictionary::fromEntries(std::move(entries)));
    }
    default:
        throw NSErrorException(corruptDataError("unsupported node type"));
    }
}

NSError writeError(std::string_view reason) {
    return NSError(
        NSCocoaErrorDomain, kWriteInvalidError,
        {{NSLocalizedDescriptionKey,
          "The data couldn\u2019t be written because it isn\u2019t in the correct format."},
         {NSDebugDescriptionErrorKey, std::string(reason)}});
}

// `text` as UTF-16 code units; nothing when it is not UTF-8.
std::optional<std::u16string> utf16(std::string_view text) {
    static constexpr std::uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t n = lead < 0x80         ? 1
                              : lead >> 5 == 0x6  ? 2
                              : lead >> 4 == 0xE  ? 3
                              : lead >> 3 == 0x1E ? 4
                                                  : 0;
        if (n == 0 || i + n > text.size()) return std::nullopt;
        std::uint32_t code = n == 1 ? lead : lead & (0x7F >> n);
        for (std::size_t k = 1; k < n; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if (next >> 6 != 0x2) return std::nullopt;
            code = code << 6 | (next & 0x3F);
        }
        if (code < kSmallest[n] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            return std::nullopt;
        }
        if (code >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(code);
        }
        i += n;
    }
    return out;
}

// The binary form, written here rather than by libplist, whose writer cuts strings at U+0000.
// Objects are written children first, so a container knows its children's numbers; nothing is
// shared. Text that is ASCII without U+0000 is written as ASCII, other text as UTF-16 (the reader
// keeps U+0000 only in UTF-16 text).
class BinaryWriter {
public:
    std::vector<std::uint8_t> write(const PlistValue& root) {
        const std::uint64_t count = countObjects(root);
        refSize_ = byteCount(count - 1);
        out_ = {'b', 'p', 'l', 'i', 's', 't', '0', '0'};
        const std::uint64_t top = add(root);
        const std::uint64_t table = out_.size();
        const unsigned offsetSize = byteCount(table);
        for (const std::uint64_t offset : offsets_)
            appendBigEndian(offset, offsetSize);
        out_.insert(out_.end(), 6, 0);
        out_.push_back(static_cast<std::uint8_t>(offsetSize));
        out_.push_back(static_cast<std::uint8_t>(refSize_));
        appendBigEndian(count, 8);
        appendBigEndian(top, 8);
        appendBigEndian(table, 8);
        return std::move(out_);
    }

private:
    static unsigned byteCount(std::uint64_t value) {
        return value <= 0xFF ? 1 : value <= 0xFFFF ? 2 : value <= 0xFFFFFFFF ? 4 : 8;
    }

    static std::uint64_t countObjects(const PlistValue& value) {
        std::uint64_t count = 1;
        if (const PlistArray* array = value.array()) {
            for (const auto& item : *array)
                count += countObjects(item);
        } else if (const PlistDictionary* dictionary = value.dictionary()) {
            for (const auto& entry : *dictionary)
                count += 1 + countObjects(entry.second);
        }
        return count;
    }

    void appendBigEndian(std::uint64_t value, unsigned bytes) {
        for (unsigned i = bytes; i-- > 0;)
            out_.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }

    // A marker and its count; counts of 15 and more follow as an integer object.
    void head(unsigned kind, std::uint64_t count) {
        if (count < 15) {
            out_.push_back(static_cast<std::uint8_t>(kind << 4 | count));
            return;
        }
        out_.push_back(static_cast<std::uint8_t>(kind << 4 | 0xF));
        integer(count);
    }

    void integer(std::uint64_t bits) {
        const unsigned bytes = byteCount(bits);
        out_.push_back(static_cast<std::uint8_t>(0x10 | std::countr_zero(bytes)));
        appendBigEndian(bits, bytes);
    }

    std::uint64_t begin() {
        offsets_.push_back(out_.size());
        return offsets_.size() - 1;
    }

    std::uint64_t text(std::string_view text, bool key) {
        const bool hasNul = text.find('\0') != std::string_view::npos;
        if (key && hasNul) throw NSErrorException(writeError("a dictionary key holds U+0000"));
        const std::uint64_t id = begin();
        if (!hasNul && std::all_of(text.begin(), text.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
            head(0x5, text.size());
            out_.insert(out_.end(), text.begin(), text.end());
            return id;
        }
        const auto units = utf16(text);
        if (!units) throw NSErrorException(writeError("a string is not UTF-8"));
        head(0x6, units->size());
        for (const char16_t unit : *units)
            appendBigEndian(unit, 2);
        return id;
    }

    std::uint64_t add(const PlistValue& value) {
        std::vector<std::uint64_t> children;
        if (const PlistArray* array = value.array()) {
            for (const auto& item : *array)
                children.push_back(add(item));
        } else if (const PlistDictionary* dictionary = value.dictionary()) {
            for (const auto& entry : *dictionary)
                children.push_back(text(entry.first, true));
            for (const auto& entry : *dictionary)
                children.push_back(add(entry.second));
        }
        if (const std::string* string = value.string()) return text(*string, false);
        const std::uint64_t id = begin();
        switch (value.type()) {
        case PlistValue::Type::integer: {
            const std::uint64_t bits = value.isUnsignedInteger()
                                           ? *value.unsignedInteger()
                                           : static_cast<std::uint64_t>(*value.integer());
            if (value.integer().value_or(-1) >= 0) {
                integer(bits);
            } else { // negative, or unsigned past INT64_MAX: all 64 bits
                out_.push_back(0x13);
                appendBigEndian(bits, 8);
            }
            break;
        }
        case PlistValue::Type::real:
            out_.push_back(0x23);
            appendBigEndian(std::bit_cast<std::uint64_t>(*value.real()), 8);
            break;
        case PlistValue::Type::boolean:
            out_.push_back(*value.boolean() ? 0x09 : 0x08);
            break;
        case PlistValue::Type::data:
            head(0x4, value.data()->size());
            out_.insert(out_.end(), value.data()->begin(), value.data()->end());
            break;
        case PlistValue::Type::date:
            out_.push_back(0x33);
            appendBigEndian(std::bit_cast<std::uint64_t>(value.date()->secondsSinceReferenceDate),
                            8);
            break;
        case PlistValue::Type::array:
            head(0xA, children.size());
            break;
        case PlistValue::Type::dictionary:
            head(0xD, children.size() / 2);
            break;
        case PlistValue::Type::string:
            break;
        }
        for (const std::uint64_t child : children)
            appendBigEndian(child, refSize_);
        return id;
    }

    std::vector<std::uint8_t> out_;
    std::vector<std::uint64_t> offsets_;
    unsigned refSize_ = 1;
};

void appendEscaped(std::string& out, std::string_view text) {
    if (text.find('\0') != std::string_view::npos) {
        throw NSErrorException(writeError("a string holds U+0000, which XML cannot hold"));
    }
    for (char c : text) {
        switch (c) {
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '&':
            out += "&amp;";
            break;
        default:
            out += c;
        }
    }
}

std::string realText(double d) {
    if (std::isnan(d)) return "nan";
    if (std::isinf(d)) return d > 0 ? "+infinity" : "-infinity";
    char buffer[40];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, d);
    return std::string(buffer, result.ptr);
}

std::string base64(const PlistData& data) {
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < data.size(); i += 3) {
        const std::uint32_t n = (data[i] << 16) | (i + 1 < data.size() ? data[i + 1] << 8 : 0) |
                                (i + 2 < data.size() ? data[i + 2] : 0);
        out += kAlphabet[(n >> 18) & 63];
        out += kAlphabet[(n >> 12) & 63];
        out += i + 1 < data.size() ? kAlphabet[(n >> 6) & 63] : '=';
        out += i + 2 < data.size() ? kAlphabet[n & 63] : '=';
    }
    return out;
}

std::string dateText(const PlistDate& date) {
    const auto unix = static_cast<std::time_t>(
        std::llround(std::floor(date.secondsSinceReferenceDate)) + kReferenceDateUnix);
    std::tm tm{};
    gmtime_r(&unix, &tm);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return buffer;
}

void writeXml(std::string& out, const PlistValue& value, int depth) {
    const std::string indent(static_cast<std::size_t>(depth), '\t');
    out += indent;
    switch (value.type()) {
    case PlistValue::Type::string:
        out += "<string>";
        appendEscaped(out, *value.string());
        out += "</string>\n";
        break;
    case PlistValue::Type::integer:
        out += "<integer>";
        out += value.isUnsignedInteger() ? std::to_string(*value.unsignedInteger())
                                         : std::to_string(*value.integer());
        out += "</integer>\n";
        break;
    case PlistValue::Type::real:
        out += "<real>" + realText(*value.real()) + "</real>\n";
        break;
    case PlistValue::Type::boolean:
        out += *value.boolean() ? "<true/>\n" : "<false/>\n";
        break;
    case PlistValue::Type::data:
        out += "<data>\n" + indent + base64(*value.data()) + "\n" + indent + "</data>\n";
        break;
    case PlistValue::Type::date:
        out += "<date>" + dateText(*value.date()) + "</date>\n";
        break;
    case PlistValue::Type::array:
        if (value.array()->empty()) {
            out += "<array/>\n";
            break;
        }
        out += "<array>\n";
        for (const auto& item : *value.array())
            writeXml(out, item, depth + 1);
        out += indent + "</array>\n";
        break;
    case PlistValue::Type::dictionary:
        if (value.dictionary()->empty()) {
            out += "<dict/>\n";
            break;
        }
        out += "<dict>\n";
        for (const auto& [key, item] : *value.dictionary()) {
            out += indent + "\t<key>";
            appendEscaped(out, key);
            out += "</key>\n";
            writeXml(out, item, depth + 1);
        }
        out += indent + "</dict>\n";
        break;
    }
}

} // namespace

PlistValue PropertyListSerialization::propertyList(std::span<const std::uint8_t> data,
                                                   PropertyListFormat* format) {
    if (data.empty()) throw NSErrorException(corruptDataError("no data"));
    if (data.size() > kMaximumBytes) {
        throw NSErrorException(
            corruptDataError("larger than " + std::to_string(kMaximumBytes) + " bytes"));
    }
    const auto* bytes = reinterpret_cast<const char*>(data.data());
    const auto length = static_cast<std::uint32_t>(data.size());
    const bool binary = plist_is_binary(bytes, length) != 0;
    plist_t root = nullptr;
    XmlDocument xml;
    if (!binary) {
        // libplist accepts a document cut right before its closing tag; the platform does not.
        std::string_view text(bytes, length);
        while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
            text.remove_suffix(1);
        }
        if (!text.ends_with("</plist>")) throw NSErrorException(corruptDataError("truncated XML"));
        xml = prepareXml(text);
        plist_from_xml(xml.text.data(), static_cast<std::uint32_t>(xml.text.size()), &root);
    } else {
        BinaryCheck(data).run();
        plist_from_bin(bytes, length, &root);
    }
    PlistPtr owner(root);
    if (root == nullptr) {
        throw NSErrorException(corruptDataError(binary ? "truncated or damaged binary property list"
                                                       : "not a property list"));
    }
    if (format != nullptr) *format = binary ? PropertyListFormat::binary : PropertyListFormat::xml;
    Dictionaries dictionaries(binary ? nullptr : &xml.dictionaries);
    return fromNode(root, dictionaries);
}

PlistValue PropertyListSerialization::propertyList(std::string_view data,
                                                   PropertyListFormat* format) {
    return propertyList(std::span(reinterpret_cast<const std::uint8_t*>(data.data()), data.size()),
                        format);
}

PlistValue PropertyListSerialization::propertyListWithContentsOfFile(const std::string& path,
                                                                     PropertyListFormat* format) {
    try {
        const auto bytes = FileManager::defaultManager().readData(path, kFileLimit);
        return propertyList(std::span<const std::uint8_t>(bytes), format);
    } catch (const NSErrorException& e) {
        // A missing file is the caller's to word; anything else is named here, once for all
        // readers (presets, settings, bundles).
        if (e.error().code() != kNoSuchFileError) {
            const auto& info = e.error().userInfo();
            const auto debug = info.find(NSDebugDescriptionErrorKey);
            const std::string reason =
                debug != info.end() ? debug->second : e.error().localizedDescription();
            std::fprintf(stderr, "pf: the property list %s cannot be read: %s\n", path.c_str(),
                         reason.c_str());
        }
        throw;
    }
}

std::vector<std::uint8_t> PropertyListSerialization::data(const PlistValue& value,
                                                          PropertyListFormat format) {
    if (format == PropertyListFormat::binary) return BinaryWriter().write(value);
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                      "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
                      "<plist version=\"1.0\">\n";
    writeXml(xml, value, 0);
    xml += "</plist>\n";
    return std::vector<std::uint8_t>(xml.begin(), xml.end());
}

} // namespace pf
