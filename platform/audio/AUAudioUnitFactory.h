// AUAudioUnitFactory: what a plug-in bundle's principal class offers a host.
//
// The registry makes one principal object per instantiation (through the bundle's entry point,
// see PluginEntry.h) and drives it in this order:
//   1. [main-thread] the principal object is created and `loadPrincipalView()` is called: the
//      view is loaded (outlets, recognisers, actions, then viewDidLoad) before any unit exists;
//   2. [a global-queue thread] `createAudioUnit(with)` makes the unit;
//   3. [main-thread] `principalViewController()` answers the host's `requestViewController`.
//
// The audio layer knows nothing of views: `UIViewController` is only named here. A plug-in's
// view controller derives from the interface layer's `AUViewController` and from this class,
// and answers `loadPrincipalView()` with its own view loading and `principalViewController()`
// with itself.
//
// Ownership: the registry holds the principal object strongly for as long as the unit lives (the
// unit's view-controller provider keeps it). A principal that holds its unit strongly forms a
// cycle that keeps both for the life of the process, which is what an extension's process does.
#pragma once

#include <memory>

#include "audio/AUAudioUnit.h"
#include "audio/AudioComponent.h"

namespace pf {

class UIViewController;

class AUAudioUnitFactory {
public:
    virtual ~AUAudioUnitFactory() = default;

    // [global-queue thread when the registry calls; any thread otherwise] A new unit for
    // `with` (the registered description). Throws NSErrorException, or answers null, when no
    // unit can be made; the host's instantiation then fails.
    virtual std::shared_ptr<AUAudioUnit> createAudioUnit(const AudioComponentDescription& with) = 0;

    // [main-thread] Loads the principal object's view. The default has no view.
    virtual void loadPrincipalView() {}

    // [main-thread] The view controller a host embeds; null when the plug-in has none.
    virtual std::shared_ptr<UIViewController> principalViewController() { return nullptr; }
};

} // namespace pf
