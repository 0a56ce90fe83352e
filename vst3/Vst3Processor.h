// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>

#include "TriBandEngine.h"
#include "Vst3Abi.h"
#include "Vst3Parameters.h"
#include "Vst3State.h"

/// The edition's processing side: the engine, the values it runs with, and
/// process(). Parameter points are applied at their sample offsets by
/// processing the block in pieces between them, so a change at offset k
/// sounds from frame k; a block without points is one engine call, the
/// record edition's output bit for bit.
///
/// Threads: process and restart run on the audio thread; restore and the
/// set-up calls on the host's control thread. A restored state reaches the
/// engine whole, at the start of a block, through a sequence-counted copy
/// the audio thread only reads (no lock on its side); the parameter values
/// are atomics, so none is ever read torn.
class Vst3Processor {
public:
  Vst3Processor();

  /// Control thread, while inactive.
  void setup(double sampleRate, int32_t maxBlockFrames);
  /// A fresh engine (histories and the fuzz curves' running peaks empty)
  /// with the current values; allocates nothing, so the audio thread may
  /// call it (setProcessing).
  void restart();

  vst3::tresult process(vst3::ProcessData& data) noexcept;

  /// The values the processor runs with (or will, once restored), by ID.
  vst3state::Values values() const;
  /// Control thread: the next block starts with these values.
  void restore(const vst3state::Values& values);

private:
  static constexpr int32_t kMostQueues = 64;          // a queue per parameter, and room for hosts that repeat one
  static constexpr int32_t kBypassChunkFrames = 256;  // the engine's input while bypassed, copied aside

  struct Cursor;
  void applyRestored() noexcept;
  void apply(vst3::ParamID id, double value) noexcept;
  void render(float* const* in, float* const* out, int32_t start, int32_t frames) noexcept;

  std::optional<TriBandEngine> engine;
  std::atomic<double> current[vst3params::kCount];
  std::atomic<double> sampleRate{TriBandEngine::kDesignRate};
  std::atomic<int32_t> maxBlockFrames{1024};
  bool bypassed = false;  // audio thread

  // The last restored state, written under the writers' lock and
  // published by an even sequence number.
  std::mutex restoreWriters;
  std::atomic<double> restored[vst3params::kCount];
  std::atomic<uint32_t> restoreSequence{0};
  uint32_t appliedSequence = 0;  // audio thread

  float bypassIn[2][kBypassChunkFrames] = {};
  float bypassOut[2][kBypassChunkFrames] = {};
};
