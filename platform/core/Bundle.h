#pragma once
// Bundles: the folder a module (executable or shared library) belongs to.
//
// A module at X.app/MacOS/<file> or X.appex/MacOS/<file> belongs to the bundle folder X.app or
// X.appex, whose resources are in its Resources folder and whose Info.plist sits at its top.
// Any other module's bundle is its own folder, which also serves as its resource folder.
// Bundle::main() resolves the module that calls it, so the application and each plug-in it
// loads each find their own bundle. [any-thread]

#include <optional>
#include <string>
#include <string_view>

#include "core/PropertyList.h"
#include "core/URL.h"

namespace pf {

class Bundle {
public:
    // The bundle of the module that calls this function: every module compiles its own hidden
    // copy of it, and its address names the module.
    [[gnu::visibility("hidden")]] static const Bundle& main() {
        return mainFor(reinterpret_cast<const void*>(&Bundle::main));
    }
    // The bundle of the module that holds `address` (code or data).
    static const Bundle& forAddress(const void* address);
    // The bundle whose folder is `path` (no module needed).
    static Bundle withPath(std::string_view path);

    // Tests: while set, main() answers the bundle at `path` for every module. Empty restores
    // the resolution by module.
    static void setMainBundleOverride(std::optional<std::string> path);
    // main() of the module holding `address`, honouring the override.
    static const Bundle& mainFor(const void* address);

    const URL& bundleURL() const noexcept { return bundleURL_; }
    std::string bundlePath() const { return bundleURL_.path(); }
    // Nothing when the bundle folder has no resource folder.
    const std::optional<URL>& resourceURL() const noexcept { return resourceURL_; }
    // The module file, when known.
    const std::optional<URL>& executableURL() const noexcept { return executableURL_; }
    // The top-level dictionary of Info.plist (empty when there is none or it cannot be read).
    const PlistDictionary& infoDictionary() const noexcept { return info_; }
    // CFBundleIdentifier of Info.plist.
    std::optional<std::string> bundleIdentifier() const;

    // <resources>/<name>.<ext> (or <name> when `withExtension` is empty) when that file exists.
    std::optional<URL> url(std::string_view forResource, std::string_view withExtension) const;

private:
    Bundle(URL bundleURL, std::optional<URL> resourceURL, std::optional<URL> executableURL);
    static Bundle forModulePath(const std::string& modulePath);

    URL bundleURL_;
    std::optional<URL> resourceURL_;
    std::optional<URL> executableURL_;
    PlistDictionary info_;
};

} // namespace pf
