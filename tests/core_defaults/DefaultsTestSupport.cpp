#include "DefaultsTestSupport.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "core/UserDefaults.h"

std::string makeTestBundle(const std::string& parent) {
    const std::string folder = parent + "/Defaults.app";
    std::filesystem::create_directories(folder);
    pf::PlistDictionary info;
    info.set("CFBundleIdentifier", kTestBundleIdentifier);
    const auto bytes = pf::PropertyListSerialization::data(pf::PlistValue(std::move(info)),
                                                           pf::PropertyListFormat::xml);
    std::ofstream(folder + "/Info.plist", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return folder;
}

pf::URL EveryType::fileURL() {
    return pf::URL::fileURLWithPath(std::string(std::getenv("HOME")) + "/Music/take 1.m4a");
}

pf::URL EveryType::webURL() {
    return *pf::URL::string("https://example.org/help?page=2");
}

pf::PlistValue EveryType::object() {
    pf::PlistDictionary inner;
    inner.set("left", 10.5f);
    inner.set("when", pf::PlistDate{123456.0}); // XML dates keep whole seconds
    inner.set("bytes", pf::PlistData{0, 1, 2, 255});
    inner.set("list",
              pf::PlistArray{pf::PlistValue(1), pf::PlistValue("two"), pf::PlistValue(false)});
    return pf::PlistValue(std::move(inner));
}

void writeEveryType(pf::NSUserDefaults& d) {
    d.setValue(pf::PlistValue(EveryType::string()), "string");
    d.setInteger(EveryType::integer(), "integer");
    d.setFloat(EveryType::real(), "float");
    d.setBool(EveryType::boolean(), "bool");
    d.setURL(EveryType::fileURL(), "fileURL");
    d.setURL(EveryType::webURL(), "webURL");
    d.setObject(EveryType::object(), "object");
}

std::string checkEveryType(const pf::NSUserDefaults& d) {
    if (d.stringForKey("string") != EveryType::string()) return "string";
    if (d.integerForKey("integer") != EveryType::integer()) return "integer";
    const float f = d.floatForKey("float");
    if (f != EveryType::real()) return "float";
    if (d.boolForKey("bool") != EveryType::boolean()) return "bool";
    if (d.URLForKey("fileURL") != EveryType::fileURL()) return "fileURL";
    if (d.URLForKey("webURL") != EveryType::webURL()) return "webURL";
    if (d.objectForKey("object") != EveryType::object()) return "object";
    return {};
}
