// SPDX-License-Identifier: GPL-3.0-or-later
#include "TriBandDistortion.h"

TriBandDistortion::TriBandDistortion(audioMasterCallback host) : EffectBase(host, kNumPrograms, kNumParams) {
  setNumInputs(2);
  setNumOutputs(2);
  setUniqueID(fourCharCode('Q', 'd', '3', 'r'));
  setCanMono(true);
  setCanReplacing(true);
  setProgram(0);
}

TriBandDistortion::~TriBandDistortion() = default;

// Program numbers outside the bank, negative ones included, never reach it.
void TriBandDistortion::setProgram(int32_t program) {
  if (program < 0 || program >= kNumPrograms) return;
  curProgram.store(program, std::memory_order_relaxed);
  engine.selectProgram(program);
}
