// SPDX-License-Identifier: GPL-3.0-or-later
#include <cmath>
#include <cstdio>
#include <cstring>

#include "EffectBase.h"
#include "NumberText.h"

// Number texts for the host's parameter view: always 8 characters or fewer.
// Digits are cut, never rounded, so 0.7f shows as 0.699999.

// Through formatFloat, virtually: an effect's own float format applies to its decibels too.
void EffectBase::formatDecibels(float value, char* text) {
  if (!(value > 0.0f)) {  // zero, negative or not a number
    std::strcpy(text, kMinusInfinityText);
    return;
  }
  formatFloat(decibelsOf(value), text);
}

void EffectBase::formatHertz(float samples, char* text) {
  const float rate = getSampleRate();
  if (samples == 0.0f || samples != samples) {
    formatFloat(0.0f, text);
    return;
  }
  formatFloat(rate / samples, text);
}

void EffectBase::formatMilliseconds(float samples, char* text) {
  formatFloat(static_cast<float>(static_cast<double>(samples) * 1000.0 / static_cast<double>(getSampleRate())), text);
}

void EffectBase::formatFloat(float value, char* text) { writeFixedPoint(value, text); }

void EffectBase::formatInteger(int32_t value, char* text) { writeInteger(value, text); }
