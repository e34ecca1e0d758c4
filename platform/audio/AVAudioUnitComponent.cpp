#include "audio/AVAudioUnitComponent.h"

#include <exception>
#include <utility>

#include "audio/AVAudioNode.h"
#include "audio/PluginModule.h"
#include "core/Dispatch.h"
#include "core/NSError.h"

namespace pf {
namespace {

constexpr std::string_view kNameSeparator = ": ";

} // namespace

std::string AVAudioUnitComponent::name() const {
    const std::string& full = component_->name;
    const auto separator = full.find(kNameSeparator);
    return separator == std::string::npos ? full : full.substr(separator + kNameSeparator.size());
}

std::string AVAudioUnitComponent::manufacturerName() const {
    const std::string& full = component_->name;
    const auto separator = full.find(kNameSeparator);
    return separator == std::string::npos ? std::string() : full.substr(0, separator);
}

AVAudioUnitComponentManager& AVAudioUnitComponentManager::sharedAudioUnitComponentManager() {
    static AVAudioUnitComponentManager manager(AudioComponentRegistry::shared());
    return manager;
}

std::vector<std::shared_ptr<AVAudioUnitComponent>>
AVAudioUnitComponentManager::components(const AudioComponentDescription& matching) const {
    std::vector<std::shared_ptr<AVAudioUnitComponent>> result;
    for (const AudioComponent component : registry_.components(matching)) {
        result.push_back(std::make_shared<AVAudioUnitComponent>(component));
    }
    return result;
}

// ---- AVAudioUnit::instantiate ----------------------------------------------------------------

void AVAudioUnit::instantiate(const AudioComponentDescription& with,
                              AudioComponentInstantiationOptions options,
                              InstantiationHandler completionHandler) {
    instantiate(AudioComponentRegistry::shared(), with, options, std::move(completionHandler));
}

void AVAudioUnit::instantiate(AudioComponentRegistry& registry,
                              const AudioComponentDescription& with,
                              AudioComponentInstantiationOptions options,
                              InstantiationHandler completionHandler) {
    DispatchQueue::global().async(
        [&registry, with, options, completion = std::move(completionHandler)] {
            std::shared_ptr<AUAudioUnit> unit;
            std::optional<NSError> error;
            try {
                const AudioComponent component = registry.findNext(nullptr, with);
                if (component == nullptr || !component->factory) {
                    error = statusError(kAudioUnitErr_ExtensionNotFound,
                                        "No audio component matches the description.");
                } else {
                    unit = component->factory(with, options);
                    if (!unit) {
                        error = statusError(kAudioUnitErr_FailedInitialization,
                                            "The audio component made no unit.");
                    }
                }
            } catch (const NSErrorException& e) {
                error = e.error();
            } catch (const std::exception& e) {
                error = statusError(kAudioUnitErr_FailedInitialization, e.what());
            } catch (...) {
                // Whatever a plug-in throws ends its instantiation, never the host.
                error = statusError(kAudioUnitErr_FailedInitialization,
                                    "The audio component failed to make a unit.");
            }
            if (!completion) return;
            if (error) {
                completion(nullptr, std::move(error));
            } else {
                completion(std::make_shared<AVAudioUnit>(std::move(unit)), std::nullopt);
            }
        });
}

} // namespace pf
