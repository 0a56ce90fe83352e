// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstdint>

#include "AudioSide.h"
#include "ParameterSide.h"

/// The three-band stereo distortion as every edition drives it, knowing no
/// plug-in interface: normalised parameter values by index with their names,
/// unit labels and displays, the program bank, the host's rate and block
/// size, suspend and resume, and blocks of any length. The parameter side
/// belongs to the control threads and the audio side to the processing
/// calls; each block hands the one to the other through a BlockSettings, so
/// a change made between two processing calls takes effect on the first
/// frame of the next call.
class TriBandEngine {
public:
  static constexpr int32_t kNumPrograms = ParameterSide::kNumPrograms;
  static constexpr int32_t kNumParams = param::count;  // the record's; the options follow, to param::allCount
  /// The rate the band filters are designed for, whatever the host runs at:
  /// stored songs rely on how the effect sounds.
  static constexpr float kDesignRate = 44100.0f;

  /// Program 0 selected, its defaults applied, the histories empty.
  TriBandEngine();

  /// Stores value in the current program and applies it; an option (15 on,
  /// for the newer editions) belongs to no program. Unknown indices and
  /// values that are not finite are ignored.
  void setParameter(int32_t index, float value);
  /// The working value (a Q after its limit); 0 for an unknown index.
  float getParameter(int32_t index) const { return parameters.get(index); }
  /// Texts as the record's displays show them; an unknown index leaves text as it was.
  void parameterName(int32_t index, char* text) const { parameters.getName(index, text); }
  void parameterLabel(int32_t index, char* text) const { parameters.getLabel(index, text); }
  void parameterDisplay(int32_t index, char* text) const { parameters.getDisplay(index, text); }
  /// The display parameterDisplay gives once `value` is set, for any value 0..1.
  static void displayOf(int32_t index, float value, char* text) { ParameterSide::displayOf(index, value, text); }

  /// Selects program 0..15 and applies its values; others are ignored.
  void selectProgram(int32_t program);
  int32_t currentProgram() const { return program.load(std::memory_order_relaxed); }
  void programName(char* text) { parameters.getProgramName(currentProgram(), text); }
  void setProgramName(const char* name) { parameters.setProgramName(currentProgram(), name); }

  /// The host's rate and block size, as announced; the filters stay designed
  /// for kDesignRate unless the band edges option asks for the host's rate.
  void setSampleRate(float rate) { hostRate.store(rate, std::memory_order_relaxed); }
  float sampleRate() const { return hostRate.load(std::memory_order_relaxed); }
  void setBlockSize(int32_t frames) { hostBlockFrames.store(frames, std::memory_order_relaxed); }
  int32_t blockSize() const { return hostBlockFrames.load(std::memory_order_relaxed); }

  /// Both clear the filter histories before the next block; the fuzz
  /// curves' running maxima stay.
  void suspend() { parameters.requestHistoryClear(); }
  void resume() { parameters.requestHistoryClear(); }

  /// Two inputs and two outputs of `frames` samples; nothing happens for 0
  /// or fewer frames (some hosts then pass null buffer lists). process adds
  /// to the outputs, processReplacing overwrites them.
  void process(float** inputs, float** outputs, int32_t frames) noexcept;
  void processReplacing(float** inputs, float** outputs, int32_t frames) noexcept;

  /// The audio path's kernel set: the fastest the processor runs, or the one
  /// a test or benchmark chose.
  void useKernelSet(const KernelSet& set) { audio.useKernelSet(set); }
  const KernelSet& kernels() const { return audio.kernels(); }

private:
  /// Audio thread: what the block about to run uses.
  BlockSettings nextBlockSettings() noexcept;

  ParameterSide parameters;
  HeldSettings held;  // the audio thread's
  AudioSide audio{kDesignRate};
  std::atomic<int32_t> program{0};
  std::atomic<float> hostRate{kDesignRate};
  std::atomic<int32_t> hostBlockFrames{1024};
};
