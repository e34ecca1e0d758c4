// The plug-in module's one exported symbol: its entry, which makes the principal class named in
// the bundle's Info.plist ("AudioUnitViewController"). Compiled into the plug-in module only.
#include "AudioUnitViewController.h"
#include "audio/PluginEntry.h"

PF_AUDIO_PLUGIN_ENTRY(makeOrvexPrincipal)
