// What the built deliverables hold, read from their own files: every object of the shared support
// library is in the application and in the plug-in module, each with a copy of its own; and the
// module's Vesk namespace objects are built when it loads and destroyed at exit.
//
// The module exports its one entry point and nothing else, so its Vesk objects and counters are
// found through its full symbol table (nothing is stripped in any build type) and read in its
// memory once it is loaded, at its load address plus the symbol's value. That observes the real
// deliverable as built, with no extra export and no test-only build of its sources.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <link.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>

#include "ElfSymbols.h"
#include "Vesk/CPrinTable.h"

namespace {

using elftest::Symbol;
using elftest::Table;

constexpr std::string_view kAdapterSource = "Orvex_Compander_ExtensionDSPKernelAdapter.cpp";

std::set<std::string> definedNames(const std::vector<Symbol>& table) {
    std::set<std::string> names;
    for (const Symbol& s : table)
        if (s.defined) names.insert(s.name);
    return names;
}

// What each object of the support archive defines for others: its strong global definitions.
std::set<std::string> supportDefinitions() {
    std::set<std::string> names;
    for (const Symbol& s : elftest::archiveSymbols(ORVEX_SUPPORT_ARCHIVE))
        if (s.defined && !s.local && !s.weak) names.insert(s.name);
    return names;
}

// The plug-in module, loaded as a host loads it.
class LoadedModule {
public:
    LoadedModule() : handle_(dlopen(ORVEX_PLUGIN_MODULE, RTLD_NOW | RTLD_LOCAL)) {
        link_map* map = nullptr;
        if (handle_ && dlinfo(handle_, RTLD_DI_LINKMAP, &map) == 0) base_ = map->l_addr;
    }
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;
    // Never unloaded: the objects' exit-time destruction is part of what is checked.

    bool loaded() const { return handle_ != nullptr && base_ != 0; }
    template <typename T> const T* at(const Symbol& s) const {
        return reinterpret_cast<const T*>(base_ + s.value);
    }

private:
    void* handle_;
    ElfW(Addr) base_ = 0;
};

const Symbol& only(const std::vector<Symbol>& table, std::string_view name) {
    const auto match = [&](const Symbol& s) { return s.defined && s.name == name; };
    EXPECT_EQ(std::count_if(table.begin(), table.end(), match), 1) << name;
    const auto found = std::find_if(table.begin(), table.end(), match);
    if (found == table.end()) throw std::runtime_error("no symbol " + std::string(name));
    return *found;
}

const int* gCountAtExit = nullptr;

} // namespace

TEST(SupportLibrary, EveryObjectIsInBothDeliverablesEachWithItsOwnCopy) {
    const std::set<std::string> wanted = supportDefinitions();
    // Among them the objects that no code of either deliverable calls.
    for (const char* name : {"_ZN17PersistentAppDataC1Ev", "_ZN17NSUserDefaultsExt6sharedEv",
                             "_ZN17NSUserDefaultsExt8combinedEv", "_Z16test_MyMetaEventv"})
        ASSERT_TRUE(wanted.contains(name)) << name;

    for (const char* binary : {ORVEX_APP_EXECUTABLE, ORVEX_PLUGIN_MODULE}) {
        const std::set<std::string> held = definedNames(elftest::symbols(binary, Table::full));
        for (const std::string& name : wanted)
            EXPECT_TRUE(held.contains(name)) << binary << " lacks " << name;
    }

    // The module offers only its entry and takes none of these from elsewhere, so it binds its
    // own copy; the application offers none of them, so nothing it loads can bind to its copy.
    std::set<std::string> offered;
    for (const Symbol& s : elftest::symbols(ORVEX_PLUGIN_MODULE, Table::dynamic)) {
        if (s.defined) offered.insert(s.name);
        EXPECT_FALSE(wanted.contains(s.name)) << "the module imports " << s.name;
    }
    EXPECT_EQ(offered, std::set<std::string>{"pf_audio_plugin_entry"});
    for (const Symbol& s : elftest::symbols(ORVEX_APP_EXECUTABLE, Table::dynamic))
        EXPECT_FALSE(s.defined && wanted.contains(s.name)) << "the application offers " << s.name;
}

// Each source file that includes the Vesk header (the kernel adapter's and the string class's)
// holds a PrinTable, an invalid and an empty of its own; the string class's file adds tempstr.
TEST(VeskObjects, AreBuiltWhenTheModuleLoadsSoTheCountReadsLiveObjectsMinusOne) {
    const std::vector<Symbol> table = elftest::symbols(ORVEX_PLUGIN_MODULE, Table::full);
    std::multiset<std::string> tables, strings;
    std::vector<const Symbol*> printables;
    for (const Symbol& s : table) {
        if (!s.local || !s.defined) continue;
        if (s.name == "_ZN4VeskL9PrinTableE") {
            tables.insert(s.file);
            printables.push_back(&s);
        }
        if (s.name == "_ZN4VeskL7invalidE" || s.name == "_ZN4VeskL5emptyE") strings.insert(s.file);
    }
    ASSERT_TRUE(tables.contains(std::string(kAdapterSource))) << "the adapter has its own objects";
    ASSERT_TRUE(tables.contains("CString.cpp"));
    for (const std::string& file : tables)
        EXPECT_EQ(strings.count(file), 2u) << file << " holds one invalid and one empty";
    const int live = static_cast<int>(strings.size()) + 1; // and tempstr

    LoadedModule module;
    ASSERT_TRUE(module.loaded()) << dlerror();
    EXPECT_EQ(*module.at<int>(only(table, "_ZN4Vesk5CData5countE")), live - 1);
    EXPECT_EQ(*module.at<int>(only(table, "_ZN4Vesk7CString5countE")), live - 1);
    only(table, "_ZN4Vesk7CString7tempstrE"); // one for the module, counted in `live`
    for (const Symbol* s : printables) {
        const Vesk::CPrinTable& printable = *module.at<Vesk::CPrinTable>(*s);
        ASSERT_NE(printable[65], nullptr) << s->file << ": its table was never filled";
        EXPECT_STREQ(printable[65], "A") << s->file;
        EXPECT_STREQ(printable[127], "<DEL>") << s->file;
    }
}

// At exit the module's objects are destroyed, so its counts return to -1. The check runs in a
// child process from a handler registered before the module loads, which therefore runs after
// the module's destructors.
TEST(VeskObjects, AreDestroyedAtExit) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const std::vector<Symbol> table = elftest::symbols(ORVEX_PLUGIN_MODULE, Table::full);
    const Symbol& count = only(table, "_ZN4Vesk5CData5countE");
    EXPECT_EXIT(
        {
            std::atexit([] { std::_Exit(*gCountAtExit == -1 ? 0 : 10 + *gCountAtExit); });
            LoadedModule module;
            if (!module.loaded()) std::_Exit(2);
            gCountAtExit = module.at<int>(count);
            if (*gCountAtExit < 0) std::_Exit(3);
            std::exit(1);
        },
        testing::ExitedWithCode(0), "");
}
