// SPDX-License-Identifier: GPL-3.0-or-later
#include "EffectBase.h"

// The two names hosts look up. On Windows the module-definition file exports
// VSTPluginMain, and the same function as `main` at ordinal 1. Elsewhere
// `main` cannot be declared under its own name in C++, so its symbol is given
// through an assembler label.
#if defined(_WIN32)
extern "C" AEffect* VSTPluginMain(audioMasterCallback audioMaster) { return createPlugin(audioMaster); }
#else
#define TRIBAND_EXPORT extern "C" __attribute__((visibility("default")))

TRIBAND_EXPORT AEffect* VSTPluginMain(audioMasterCallback audioMaster) { return createPlugin(audioMaster); }

TRIBAND_EXPORT AEffect* pluginMainEntry(audioMasterCallback audioMaster) __asm__("main");
AEffect* pluginMainEntry(audioMasterCallback audioMaster) { return createPlugin(audioMaster); }
#endif
