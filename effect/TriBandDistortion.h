// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

#include "EffectBase.h"
#include "TriBandEngine.h"

/// The record edition: the record's operations forwarded to the engine. The
/// one place where the engine meets the record interface.
class TriBandDistortion : public EffectBase {
public:
  static constexpr int32_t kNumPrograms = TriBandEngine::kNumPrograms;
  static constexpr int32_t kNumParams = TriBandEngine::kNumParams;

  explicit TriBandDistortion(audioMasterCallback host);
  ~TriBandDistortion() override;

  // The record has the fifteen parameters and none of the newer editions' options.
  void setParameter(int32_t index, float value) override {
    if (param::isValid(index)) engine.setParameter(index, value);
  }
  float getParameter(int32_t index) override { return param::isValid(index) ? engine.getParameter(index) : 0.0f; }
  void process(float** inputs, float** outputs, int32_t sampleFrames) override {
    engine.process(inputs, outputs, sampleFrames);
  }
  void processReplacing(float** inputs, float** outputs, int32_t sampleFrames) override {
    engine.processReplacing(inputs, outputs, sampleFrames);
  }
  void setProgram(int32_t program) override;
  void setProgramName(char* name) override { engine.setProgramName(name); }
  void getProgramName(char* name) override { engine.programName(name); }
  void getParameterLabel(int32_t index, char* label) override { engine.parameterLabel(index, label); }
  void getParameterDisplay(int32_t index, char* text) override { engine.parameterDisplay(index, text); }
  void getParameterName(int32_t index, char* text) override { engine.parameterName(index, text); }
  // Suspend and resume only clear the filter histories; the fuzz curves'
  // running maxima stay.
  void suspend() override { engine.suspend(); }
  void resume() override { engine.resume(); }

  /// The audio path's kernel set: the fastest the processor runs, or the one
  /// a test or benchmark chose.
  void useKernelSet(const KernelSet& set) { engine.useKernelSet(set); }
  const KernelSet& kernels() const { return engine.kernels(); }

private:
  TriBandEngine engine;
};
