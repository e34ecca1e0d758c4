// One value of every type, written and checked through PersistentAppData.
#pragma once

#include <cstdlib>
#include <string>

#include "PersistentAppData.h"

inline pf::PlistValue settingsObject() {
    pf::PlistDictionary d;
    d.set("frame", PersistentAppData::frameToDictionary(pf::CGRect(1, 2, 3, 4)));
    d.set("names", pf::PlistArray{pf::PlistValue("a"), pf::PlistValue("b")});
    d.set("blob", pf::PlistData{9, 8, 7});
    return pf::PlistValue(std::move(d));
}

inline pf::URL settingsFileURL() {
    return pf::URL::fileURLWithPath(std::string(std::getenv("HOME")) + "/Documents/x.plist");
}

inline void writeSettings(PersistentAppData& data, PersistentAppData::Storage s) {
    data.setString("s", "Größe – size", s);
    data.setInteger("i", -1234567890123, s);
    data.setFloat("f", 0.7f, s);
    data.setBool("b", true, s);
    data.setURL("u", settingsFileURL(), s);
    data.setURL("w", pf::URL::string("https://example.org/a?b=c"), s);
    data.setObject("o", settingsObject(), s);
}

// Empty when every value reads back as written; otherwise the first key that differs.
inline std::string checkSettings(PersistentAppData& data, PersistentAppData::Storage s) {
    if (data.getString("s", s) != "Größe – size") return "s";
    if (data.getInteger("i", s) != -1234567890123) return "i";
    if (data.getFloat("f", s) != 0.7f) return "f";
    if (!data.getBool("b", s)) return "b";
    if (data.getUrl("u", s) != settingsFileURL()) return "u";
    if (data.getUrl("w", s) != pf::URL::string("https://example.org/a?b=c")) return "w";
    if (data.getObject("o", s) != settingsObject()) return "o";
    return {};
}
