#include "EffectBase.h"

// The two names hosts look up. `main` cannot be declared under its own name in
// C++, so the exported symbol is given through an assembler label.
#define TRIBAND_EXPORT extern "C" __attribute__((visibility("default")))

TRIBAND_EXPORT AEffect* VSTPluginMain(audioMasterCallback audioMaster) { return createPlugin(audioMaster); }

TRIBAND_EXPORT AEffect* pluginMainEntry(audioMasterCallback audioMaster) __asm__("main");
AEffect* pluginMainEntry(audioMasterCallback audioMaster) { return createPlugin(audioMaster); }
