#include "core/PropertyList.h"

#include <plist/plist.h>

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <memory>

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

// Deeper documents are refused: the value model (and its destructor) recurse per level.
constexpr int kMaximumDepth = 512;

PlistValue fromNode(plist_t node, int depth) {
    if (depth > kMaximumDepth) throw NSErrorException(corruptDataError("nested too deeply"));
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
    case PLIST_STRING:
    case PLIST_KEY: {
        char* s = nullptr;
        plist_get_string_val(node, &s);
        std::string text = s != nullptr ? s : "";
        std::free(s);
        return PlistValue(std::move(text));
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
        PlistArray array;
        const std::uint32_t n = plist_array_get_size(node);
        array.reserve(n);
        for (std::uint32_t i = 0; i < n; ++i)
            array.push_back(fromNode(plist_array_get_item(node, i), depth + 1));
        return PlistValue(std::move(array));
    }
    case PLIST_DICT: {
        PlistDictionary dict;
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
            dict.set(std::move(k), fromNode(value, depth + 1));
        }
        return PlistValue(std::move(dict));
    }
    default:
        throw NSErrorException(corruptDataError("unsupported node type"));
    }
}

plist_t toNode(const PlistValue& value) {
    switch (value.type()) {
    case PlistValue::Type::string:
        return plist_new_string(value.string()->c_str());
    case PlistValue::Type::integer:
        return plist_new_uint(value.isUnsignedInteger()
                                  ? *value.unsignedInteger()
                                  : static_cast<std::uint64_t>(*value.integer()));
    case PlistValue::Type::real:
        return plist_new_real(*value.real());
    case PlistValue::Type::boolean:
        return plist_new_bool(*value.boolean() ? 1 : 0);
    case PlistValue::Type::data:
        return plist_new_data(reinterpret_cast<const char*>(value.data()->data()),
                              value.data()->size());
    case PlistValue::Type::date: {
        const double seconds = value.date()->secondsSinceReferenceDate;
        const double whole = std::floor(seconds);
        return plist_new_date(static_cast<std::int32_t>(whole),
                              static_cast<std::int32_t>(std::lround((seconds - whole) * 1e6)));
    }
    case PlistValue::Type::array: {
        plist_t node = plist_new_array();
        for (const auto& item : *value.array())
            plist_array_append_item(node, toNode(item));
        return node;
    }
    case PlistValue::Type::dictionary: {
        plist_t node = plist_new_dict();
        for (const auto& [key, item] : *value.dictionary()) {
            plist_dict_set_item(node, key.c_str(), toNode(item));
        }
        return node;
    }
    }
    return nullptr;
}

void appendEscaped(std::string& out, std::string_view text) {
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
    if (data.size() > std::numeric_limits<std::uint32_t>::max()) {
        throw NSErrorException(corruptDataError("data too large"));
    }
    const auto* bytes = reinterpret_cast<const char*>(data.data());
    const auto length = static_cast<std::uint32_t>(data.size());
    const bool binary = plist_is_binary(bytes, length) != 0;
    if (!binary) {
        // libplist accepts a document cut right before its closing tag; the platform does not.
        std::string_view text(bytes, length);
        while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
            text.remove_suffix(1);
        }
        if (!text.ends_with("</plist>")) throw NSErrorException(corruptDataError("truncated XML"));
    }
    plist_t root = nullptr;
    plist_from_memory(bytes, length, &root);
    PlistPtr owner(root);
    if (root == nullptr) {
        throw NSErrorException(corruptDataError(binary ? "truncated or damaged binary property list"
                                                       : "not a property list"));
    }
    if (format != nullptr) *format = binary ? PropertyListFormat::binary : PropertyListFormat::xml;
    return fromNode(root, 0);
}

PlistValue PropertyListSerialization::propertyList(std::string_view data,
                                                   PropertyListFormat* format) {
    return propertyList(std::span(reinterpret_cast<const std::uint8_t*>(data.data()), data.size()),
                        format);
}

PlistValue PropertyListSerialization::propertyListWithContentsOfFile(const std::string& path,
                                                                     PropertyListFormat* format) {
    const auto bytes = FileManager::defaultManager().readData(path);
    return propertyList(std::span<const std::uint8_t>(bytes), format);
}

std::vector<std::uint8_t> PropertyListSerialization::data(const PlistValue& value,
                                                          PropertyListFormat format) {
    if (format == PropertyListFormat::binary) {
        PlistPtr root(toNode(value));
        char* bytes = nullptr;
        std::uint32_t length = 0;
        plist_to_bin(root.get(), &bytes, &length);
        std::vector<std::uint8_t> out(reinterpret_cast<std::uint8_t*>(bytes),
                                      reinterpret_cast<std::uint8_t*>(bytes) + length);
        plist_to_bin_free(bytes);
        return out;
    }
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                      "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
                      "<plist version=\"1.0\">\n";
    writeXml(xml, value, 0);
    xml += "</plist>\n";
    return std::vector<std::uint8_t>(xml.begin(), xml.end());
}

} // namespace pf
