#pragma once

#include <cstdint>

#include "AudioSide.h"
#include "EffectBase.h"
#include "ParameterSide.h"

/// The three-band stereo distortion: the record's operations forwarded to
/// its two sides. The parameter side belongs to the control threads, the
/// audio side to the processing calls; each block hands the one to the other
/// through a BlockSettings, so a change made between two processing calls
/// takes effect on the first frame of the next call.
class TriBandDistortion : public EffectBase {
public:
  static constexpr int32_t kNumPrograms = ParameterSide::kNumPrograms;
  static constexpr int32_t kNumParams = param::count;

  explicit TriBandDistortion(audioMasterCallback audioMaster);
  ~TriBandDistortion() override;

  void setParameter(int32_t index, float value) override;
  float getParameter(int32_t index) override;
  void process(float** inputs, float** outputs, int32_t sampleFrames) override;
  void processReplacing(float** inputs, float** outputs, int32_t sampleFrames) override;
  void setProgram(int32_t program) override;
  void setProgramName(char* name) override;
  void getProgramName(char* name) override;
  void getParameterLabel(int32_t index, char* label) override;
  void getParameterDisplay(int32_t index, char* text) override;
  void getParameterName(int32_t index, char* text) override;
  void suspend() override;
  void resume() override;

  /// The audio path's kernel set: the fastest the processor runs, or the one
  /// a test or benchmark chose.
  void useKernelSet(const KernelSet& set) { audio.useKernelSet(set); }
  const KernelSet& kernels() const { return audio.kernels(); }

private:
  ParameterSide parameters;
  AudioSide audio;
};
