// SPDX-License-Identifier: GPL-3.0-or-later
#include "TriBandEngine.h"

TriBandEngine::TriBandEngine() { selectProgram(0); }

void TriBandEngine::setParameter(int32_t index, float value) { parameters.set(currentProgram(), index, value); }

void TriBandEngine::selectProgram(int32_t index) {
  if (index < 0 || index >= kNumPrograms) return;
  program.store(index, std::memory_order_relaxed);
  parameters.load(index);
}

void TriBandEngine::process(float** inputs, float** outputs, int32_t frames) noexcept {
  if (frames <= 0) return;
  BlockSettings settings = held.current(parameters);
  settings.clearHistories = parameters.takeHistoryClear();
  audio.process(settings, inputs, outputs, frames);
}

void TriBandEngine::processReplacing(float** inputs, float** outputs, int32_t frames) noexcept {
  if (frames <= 0) return;
  BlockSettings settings = held.current(parameters);
  settings.clearHistories = parameters.takeHistoryClear();
  settings.hostRate = hostRate.load(std::memory_order_relaxed);
  audio.processReplacing(settings, inputs, outputs, frames);
}
