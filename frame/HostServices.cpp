// SPDX-License-Identifier: GPL-3.0-or-later
#include "EffectBase.h"

// Calls the effect makes of its host. A missing callback counts as a host that
// answers nothing: version 1, no id, every pin connected.

void EffectBase::setParameterAutomated(int32_t index, float value) {
  setParameter(index, value);
  if (audioMaster) audioMaster(&effectRecord, audioMasterAutomate, index, 0, nullptr, value);
}

int32_t EffectBase::getHostVersion() {
  if (!audioMaster) return 1;
  const intptr_t version = audioMaster(&effectRecord, audioMasterVersion, 0, 0, nullptr, 0.0f);
  return version == 0 ? 1 : static_cast<int32_t>(version);
}

int32_t EffectBase::getHostCurrentId() {
  if (!audioMaster) return 0;
  return static_cast<int32_t>(audioMaster(&effectRecord, audioMasterCurrentId, 0, 0, nullptr, 0.0f));
}

void EffectBase::hostIdle() {
  if (audioMaster) audioMaster(&effectRecord, audioMasterIdle, 0, 0, nullptr, 0.0f);
}

// The host answers 0 for a connected pin.
bool EffectBase::isInputPinConnected(int32_t input) {
  if (!audioMaster) return true;
  return audioMaster(&effectRecord, audioMasterPinConnected, input, 0, nullptr, 0.0f) == 0;
}

bool EffectBase::isOutputPinConnected(int32_t output) {
  if (!audioMaster) return true;
  return audioMaster(&effectRecord, audioMasterPinConnected, output, 1, nullptr, 0.0f) == 0;
}
