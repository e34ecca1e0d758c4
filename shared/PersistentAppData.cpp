#include "PersistentAppData.h"

#include <cmath>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <set>
#include <string>

#include "core/Console.h"
#include "core/SwiftText.h"

namespace NSUserDefaultsExt {

std::shared_ptr<pf::NSUserDefaults> suite(std::string_view suiteName) {
    if (auto opened = pf::NSUserDefaults::initWithSuiteName(suiteName)) return opened;
    static std::mutex mutex;
    static std::set<std::string, std::less<>> told;
    {
        std::lock_guard lock(mutex);
        if (told.insert(std::string(suiteName)).second) {
            std::fprintf(stderr,
                         "PersistentAppData: the suite \"%.*s\" was refused; its settings are kept "
                         "in memory only\n",
                         static_cast<int>(suiteName.size()), suiteName.data());
        }
    }
    return pf::NSUserDefaults::inMemorySuite(suiteName);
}

std::shared_ptr<pf::NSUserDefaults> shared() {
    return suite(sharedContainer);
}

std::shared_ptr<pf::NSUserDefaults> combined() {
    auto standard = pf::NSUserDefaults::standardUserDefaults();
    standard->addSuiteNamed(sharedContainer);
    return standard;
}

} // namespace NSUserDefaultsExt

std::optional<PersistentAppData::Storage>
PersistentAppData::makeStorage(std::int64_t rawValue) noexcept {
    if (rawValue < 0 || rawValue > 2) return std::nullopt;
    return static_cast<Storage>(rawValue);
}

PersistentAppData& PersistentAppData::sharedInstance() {
    static PersistentAppData instance;
    return instance;
}

PersistentAppData::PersistentAppData()
    : defaults(pf::NSUserDefaults::standardUserDefaults()), shared(NSUserDefaultsExt::shared()),
      combined(NSUserDefaultsExt::combined()) {}

pf::NSUserDefaults& PersistentAppData::store(Storage storage) const {
    switch (storage) {
    case Storage::shared:
        return *shared;
    case Storage::combined:
        return *combined;
    case Storage::defaults:
        break;
    }
    return *defaults;
}

void PersistentAppData::setString(std::string_view key, std::string_view value, Storage storage) {
    store(storage).setValue(pf::PlistValue(value), key);
}
std::optional<std::string> PersistentAppData::getString(std::string_view key, Storage from) {
    return store(from).stringForKey(key);
}
void PersistentAppData::setInteger(std::string_view key, std::int64_t value, Storage storage) {
    store(storage).setInteger(value, key);
}
std::int64_t PersistentAppData::getInteger(std::string_view key, Storage from) {
    return store(from).integerForKey(key);
}
void PersistentAppData::setFloat(std::string_view key, float value, Storage storage) {
    store(storage).setFloat(value, key);
}
float PersistentAppData::getFloat(std::string_view key, Storage from) {
    return store(from).floatForKey(key);
}
void PersistentAppData::setBool(std::string_view key, bool value, Storage storage) {
    store(storage).setBool(value, key);
}
bool PersistentAppData::getBool(std::string_view key, Storage from) {
    return store(from).boolForKey(key);
}
void PersistentAppData::setURL(std::string_view key, const std::optional<pf::URL>& value,
                               Storage storage) {
    store(storage).setURL(value, key);
}
std::optional<pf::URL> PersistentAppData::getUrl(std::string_view key, Storage from) {
    return store(from).URLForKey(key);
}
void PersistentAppData::setObject(std::string_view key, std::optional<pf::PlistValue> value,
                                  Storage storage) {
    store(storage).setObject(std::move(value), key);
}
std::optional<pf::PlistValue> PersistentAppData::getObject(std::string_view key, Storage from) {
    return store(from).objectForKey(key);
}

namespace {

std::string plistDescription(const pf::PlistValue& value, int indent = 0);

void dumpStore(std::string_view heading, const pf::NSUserDefaults& store) {
    pf::Console::printLine(heading);
    for (const auto& [key, value] : store.dictionaryRepresentation())
        pf::Console::printLine(key + " = " + plistDescription(value) + " \n");
}

std::string quotedIfNeeded(const std::string& text) {
    if (!text.empty() &&
        text.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                               "0123456789_.$/:-") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

std::string nestedDescription(const pf::PlistValue& value, int indent) {
    if (const std::string* s = value.string()) return quotedIfNeeded(*s);
    return plistDescription(value, indent);
}

} // namespace

void PersistentAppData::dumpout() {
    dumpStore("PersistentAppData::dumpout() : UserDefaults.standard : ",
              *pf::NSUserDefaults::standardUserDefaults());
    dumpStore("PersistentAppData::dumpout() : UserDefaults.shared : ",
              *NSUserDefaultsExt::shared());
    dumpStore("PersistentAppData::dumpout() : UserDefaults.combined : ",
              *NSUserDefaultsExt::combined());
}

namespace {

// The text of a value as the platform's description shows it: strings bare, numbers in the
// language's form, containers in the old-style property-list layout.
std::string plistDescription(const pf::PlistValue& value, int indent) {
    const std::string pad(static_cast<std::size_t>(indent) * 4, ' ');
    const std::string inner(static_cast<std::size_t>(indent + 1) * 4, ' ');
    if (const std::string* s = value.string()) return *s;
    if (auto b = value.boolean()) return *b ? "1" : "0";
    if (auto i = value.integer()) return std::to_string(*i);
    if (auto u = value.unsignedInteger()) return std::to_string(*u);
    if (auto r = value.real()) {
        // Whole reals print without a fraction, as the platform's number description does.
        std::string text = pf::swiftText(*r);
        if (text.ends_with(".0")) text.resize(text.size() - 2);
        return text;
    }
    if (const pf::PlistData* d = value.data()) {
        std::string hex;
        static constexpr char digits[] = "0123456789abcdef";
        for (std::uint8_t byte : *d) {
            hex += digits[byte >> 4];
            hex += digits[byte & 15];
        }
        return "{length = " + std::to_string(d->size()) + ", bytes = 0x" + hex + "}";
    }
    if (auto date = value.date()) {
        // Seconds since 2001-01-01 00:00:00 UTC, shown as the platform shows a date.
        const double seconds = std::floor(date->secondsSinceReferenceDate) + 978'307'200.0;
        std::tm utc{};
        char text[40];
        if (std::isfinite(seconds) && std::fabs(seconds) < 1e15) {
            const auto time = static_cast<std::time_t>(seconds);
            if (::gmtime_r(&time, &utc) &&
                std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S +0000", &utc) != 0)
                return text;
        }
        return pf::swiftText(date->secondsSinceReferenceDate);
    }
    if (const pf::PlistArray* a = value.array()) {
        if (a->empty()) return "(\n" + pad + ")";
        std::string text = "(\n";
        for (std::size_t i = 0; i < a->size(); ++i) {
            text += inner + nestedDescription((*a)[i], indent + 1);
            text += i + 1 < a->size() ? ",\n" : "\n";
        }
        return text + pad + ")";
    }
    if (const pf::PlistDictionary* d = value.dictionary()) {
        std::string text = "{\n";
        for (const auto& [key, v] : *d)
            text += inner + quotedIfNeeded(key) + " = " + nestedDescription(v, indent + 1) + ";\n";
        return text + pad + "}";
    }
    return {};
}

} // namespace

pf::PlistDictionary PersistentAppData::frameToDictionary(const pf::CGRect& frame) {
    pf::PlistDictionary dict;
    dict.set("left", static_cast<float>(frame.minX()));
    dict.set("top", static_cast<float>(frame.minY()));
    dict.set("width", static_cast<float>(frame.width()));
    dict.set("height", static_cast<float>(frame.height()));
    return dict;
}

std::optional<pf::CGRect> PersistentAppData::dictionaryToFrame(std::string_view key) {
    const auto value = sharedInstance().getObject(key, Storage::defaults);
    if (!value) return std::nullopt;
    const pf::PlistDictionary* dict = value->dictionary();
    if (!dict) return std::nullopt;
    for (const auto& [k, v] : *dict)
        if (!v.number()) return std::nullopt; // not a dictionary of numbers
    double left = 0, top = 0, width = 100, height = 100;
    for (const auto& [k, v] : *dict) {
        // Narrowed to float first: the dictionary is one of 32-bit floats.
        const double number = static_cast<double>(static_cast<float>(*v.number()));
        if (k == "left")
            left = number;
        else if (k == "top")
            top = number;
        else if (k == "width")
            width = number;
        else if (k == "height")
            height = number;
    }
    return pf::CGRect(left, top, width, height);
}
