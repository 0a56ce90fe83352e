// SPDX-License-Identifier: GPL-3.0-or-later
#include "EffectBase.h"

AEffect* createPlugin(audioMasterCallback audioMaster) {
  // Without a callback there is nobody to ask; calling through null would
  // take the host down.
  if (!audioMaster) return nullptr;
  if (audioMaster(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) return nullptr;
  EffectBase* effect = createEffectInstance(audioMaster);
  return effect ? effect->record() : nullptr;
}
