// SPDX-License-Identifier: GPL-3.0-or-later
#include "TriBandEngine.h"

TriBandEngine::TriBandEngine() { selectProgram(0); }

void TriBandEngine::setParameter(int32_t index, float value) { parameters.set(currentProgram(), index, value); }

void TriBandEngine::selectProgram(int32_t index) {
  if (index < 0 || index >= kNumPrograms) return;
  program.store(index, std::memory_order_relaxed);
  parameters.load(index);
}

BlockSettings TriBandEngine::nextBlockSettings() noexcept {
  BlockSettings settings = held.current(parameters);
  settings.clearHistories = parameters.takeHistoryClear();
  settings.hostRate = hostRate.load(std::memory_order_relaxed);
  return settings;
}

void TriBandEngine::process(float** inputs, float** outputs, int32_t frames) noexcept {
  if (frames > 0) audio.process(nextBlockSettings(), inputs, outputs, frames);
}

void TriBandEngine::processReplacing(float** inputs, float** outputs, int32_t frames) noexcept {
  if (frames > 0) audio.processReplacing(nextBlockSettings(), inputs, outputs, frames);
}
