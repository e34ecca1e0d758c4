#include "core/Bundle.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <array>
#include <climits>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>

#include "core/FileManager.h"
#include "core/NSError.h"

namespace pf {
namespace {

std::mutex gMutex;
std::map<std::string, std::unique_ptr<Bundle>> gByModule; // never shrinks: references stay valid
std::optional<std::string> gOverride;
std::map<std::string, std::unique_ptr<Bundle>> gOverrides;

std::string executablePath() {
    std::array<char, PATH_MAX> buffer{};
    const auto n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    return n > 0 ? std::string(buffer.data(), static_cast<std::size_t>(n)) : std::string();
}

std::string modulePathOf(const void* address) {
    Dl_info info{};
    link_map* map = nullptr;
    if (dladdr1(address, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) == 0 ||
        map == nullptr || map->l_name == nullptr || map->l_name[0] == '\0') {
        return executablePath(); // the main program's link map has no name
    }
    std::array<char, PATH_MAX> resolved{};
    if (::realpath(map->l_name, resolved.data()) != nullptr) return resolved.data();
    return map->l_name;
}

std::string parentOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool isDirectory(const std::string& path) {
    bool directory = false;
    return FileManager::defaultManager().fileExists(path, directory) && directory;
}

PlistDictionary readInfo(const std::string& bundlePath) {
    const std::string infoPath = bundlePath + "/Info.plist";
    if (!FileManager::defaultManager().fileExists(infoPath)) return {};
    try {
        auto value = PropertyListSerialization::propertyListWithContentsOfFile(infoPath);
        if (auto* dict = value.dictionary()) return std::move(*dict);
    } catch (const NSErrorException&) {
    }
    return {};
}

bool endsWith(const std::string& text, std::string_view suffix) {
    return text.size() > suffix.size() && text.ends_with(suffix);
}

} // namespace

Bundle::Bundle(URL bundleURL, std::optional<URL> resourceURL, std::optional<URL> executableURL)
    : bundleURL_(std::move(bundleURL)), resourceURL_(std::move(resourceURL)),
      executableURL_(std::move(executableURL)), info_(readInfo(bundleURL_.path())) {}

Bundle Bundle::withPath(std::string_view path) {
    const std::string folder(path);
    const std::string resources = folder + "/Resources";
    std::optional<URL> resourceURL;
    if (isDirectory(resources)) resourceURL = URL::fileURLWithPath(resources, true);
    return Bundle(URL::fileURLWithPath(folder, true), std::move(resourceURL), std::nullopt);
}

Bundle Bundle::forModulePath(const std::string& modulePath) {
    const std::string folder = parentOf(modulePath);
    const std::string bundle = parentOf(folder);
    auto executable = std::optional<URL>(URL::fileURLWithPath(modulePath));
    if (nameOf(folder) == "MacOS" && (endsWith(bundle, ".app") || endsWith(bundle, ".appex"))) {
        Bundle result = withPath(bundle);
        result.executableURL_ = std::move(executable);
        return result;
    }
    return Bundle(URL::fileURLWithPath(folder, true), URL::fileURLWithPath(folder, true),
                  std::move(executable));
}

const Bundle& Bundle::forAddress(const void* address) {
    const std::string modulePath = modulePathOf(address);
    std::lock_guard lock(gMutex);
    auto& slot = gByModule[modulePath];
    if (!slot) slot.reset(new Bundle(forModulePath(modulePath)));
    return *slot;
}

const Bundle& Bundle::mainFor(const void* address) {
    {
        std::lock_guard lock(gMutex);
        if (gOverride) {
            auto& slot = gOverrides[*gOverride];
            if (!slot) slot.reset(new Bundle(withPath(*gOverride)));
            return *slot;
        }
    }
    return forAddress(address);
}

void Bundle::setMainBundleOverride(std::optional<std::string> path) {
    std::lock_guard lock(gMutex);
    gOverride = std::move(path);
}

std::optional<std::string> Bundle::bundleIdentifier() const {
    if (const PlistValue* value = info_.find("CFBundleIdentifier"); value && value->string()) {
        return *value->string();
    }
    return std::nullopt;
}

std::optional<URL> Bundle::url(std::string_view forResource, std::string_view withExtension) const {
    if (!resourceURL_) return std::nullopt;
    std::string name(forResource);
    if (!withExtension.empty()) {
        name += '.';
        name.append(withExtension.starts_with('.') ? withExtension.substr(1) : withExtension);
    }
    URL candidate = resourceURL_->appendingPathComponent(name);
    if (!FileManager::defaultManager().fileExists(candidate.path())) return std::nullopt;
    return candidate;
}

} // namespace pf
