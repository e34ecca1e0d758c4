// The plug-in module's one exported symbol: the entry that makes the principal class
// (AudioUnitViewController) by the name the bundle's Info.plist gives.
#include "AudioUnitViewController.h"
#include "audio/PluginEntry.h"

PF_AUDIO_PLUGIN_ENTRY(makeOrvexPrincipal)
