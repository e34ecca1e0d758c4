#include "core/ClassRegistry.h"

#include <cstring>
#include <map>
#include <mutex>

namespace pf {
namespace {

struct Entry {
    std::string baseType; // by mangled name: type_info objects differ between modules
    std::function<std::shared_ptr<void>()> factory;
};

std::mutex gMutex;
std::map<std::string, Entry, std::less<>> gClasses;

} // namespace

ClassRegistry& ClassRegistry::shared() {
    static ClassRegistry registry;
    return registry;
}

void ClassRegistry::add(std::string className, const char* baseType,
                        std::function<std::shared_ptr<void>()> factory) {
    std::lock_guard lock(gMutex);
    gClasses[std::move(className)] = Entry{baseType, std::move(factory)};
}

std::shared_ptr<void> ClassRegistry::make(std::string_view className, const char* baseType) const {
    std::function<std::shared_ptr<void>()> factory;
    {
        std::lock_guard lock(gMutex);
        auto it = gClasses.find(className);
        if (it == gClasses.end() || it->second.baseType != baseType) return nullptr;
        factory = it->second.factory;
    }
    return factory(); // outside the lock: a factory may register or create classes itself
}

bool ClassRegistry::contains(std::string_view className) const {
    std::lock_guard lock(gMutex);
    return gClasses.find(className) != gClasses.end();
}

} // namespace pf
