// SPDX-License-Identifier: GPL-3.0-or-later
// The module's entry and its factory of one plug-in.

#include <cstring>
#include <mutex>
#include <new>

#include "ClapAbi.h"
#include "ClapEffect.h"

namespace {

// Hosts may initialise the module again before deinitialising it; nothing is
// set up per initialisation, so the count only keeps the pairs honest.
struct Initialisations {
  std::mutex lock;
  int count = 0;
};
Initialisations& initialisations() {
  static Initialisations instance;
  return instance;
}

bool CLAP_ABI entryInit(const char*) {
  std::lock_guard<std::mutex> guard(initialisations().lock);
  ++initialisations().count;
  return true;
}

void CLAP_ABI entryDeinit() {
  std::lock_guard<std::mutex> guard(initialisations().lock);
  if (initialisations().count > 0) --initialisations().count;
}

uint32_t CLAP_ABI pluginCount(const clap_plugin_factory_t*) { return 1; }

const clap_plugin_descriptor_t* CLAP_ABI descriptor(const clap_plugin_factory_t*, uint32_t index) {
  return index == 0 ? &ClapEffect::kDescriptor : nullptr;
}

const clap_plugin_t* CLAP_ABI createPlugin(const clap_plugin_factory_t*, const clap_host_t* host, const char* id) {
  if (!host || !id || std::strcmp(id, ClapEffect::kDescriptor.id) != 0) return nullptr;
  ClapEffect* effect = new (std::nothrow) ClapEffect(host);
  return effect ? effect->plugin() : nullptr;
}

constexpr clap_plugin_factory_t kFactory = {pluginCount, descriptor, createPlugin};

const void* CLAP_ABI factory(const char* id) {
  return id && !std::strcmp(id, CLAP_PLUGIN_FACTORY_ID) ? &kFactory : nullptr;
}

}  // namespace

extern "C" {
#ifdef _WIN32
__declspec(dllexport)
#else
__attribute__((visibility("default")))
#endif
    extern const clap_plugin_entry_t clap_entry = {CLAP_VERSION, entryInit, entryDeinit, factory};
}
