// Libraries that look like plug-ins but are not sound ones, for the host's
// error handling. Which one is built is chosen by ODD_PLUGIN_KIND.
#include <cstdint>
#include <cstring>

#include "EffectRecord.h"

#define ODD_EXPORT extern "C" __attribute__((visibility("default")))

#if ODD_PLUGIN_KIND == 1  // exports no entry at all
ODD_EXPORT int somethingElse() { return 1; }
#elif ODD_PLUGIN_KIND == 2  // its entry creates nothing
ODD_EXPORT AEffect* VSTPluginMain(audioMasterCallback) { return nullptr; }
#elif ODD_PLUGIN_KIND == 3  // its entry returns a record of another kind
ODD_EXPORT AEffect* VSTPluginMain(audioMasterCallback) {
  static AEffect record;
  std::memset(&record, 0, sizeof record);
  record.magic = 0x12345678;
  return &record;
}
#endif
