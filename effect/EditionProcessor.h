// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <mutex>
#include <optional>

#include "TriBandEngine.h"

/// What the processing side of every edition with automation points keeps,
/// whatever its interface: the engine, each parameter's value as the host
/// last sent it (bypass and the other options included, which the engine
/// takes like the rest), and a state restored from a control thread that
/// reaches the engine whole at the start of a block. The edition cuts its
/// blocks at its points (apply, then render the frames up to the next).
///
/// `Rules` names the edition's parameters: kCount; isValid(id);
/// defaultValue(id); engineValue(id, value), the normalised value the engine
/// receives for the parameter of the same index.
///
/// Threads: apply, render, restart and takeRestored on the audio thread (or
/// on the control thread while nothing processes); restore and values on
/// control threads. Values are atomics, so none is ever read torn, and the
/// restored state passes through a sequence-counted copy the audio thread
/// only reads: no lock on its side.
template <class Rules>
class EditionProcessor {
public:
  static constexpr int32_t kCount = Rules::kCount;
  using Values = std::array<double, kCount>;

  EditionProcessor() {
    for (int32_t i = 0; i < kCount; ++i) {
      const double v = Rules::defaultValue(static_cast<uint32_t>(i));
      current[i].store(v, std::memory_order_relaxed);
      restored[i].store(v, std::memory_order_relaxed);
    }
    restart();
  }

  /// The host's rate and largest block, from the next restart.
  void setup(double rate, int32_t maxBlockFrames) {
    sampleRate.store(rate, std::memory_order_relaxed);
    blockFrames.store(maxBlockFrames, std::memory_order_relaxed);
  }

  /// A fresh engine (histories and the fuzz curves' running peaks empty)
  /// with the current values. Allocates nothing.
  void restart() noexcept {
    engine.emplace();
    engine->setSampleRate(static_cast<float>(sampleRate.load(std::memory_order_relaxed)));
    engine->setBlockSize(blockFrames.load(std::memory_order_relaxed));
    for (int32_t i = 0; i < kCount; ++i) apply(static_cast<uint32_t>(i), current[i].load(std::memory_order_relaxed));
  }

  /// The value as last sent or restored; 0 for an unknown id.
  double value(uint32_t id) const { return Rules::isValid(id) ? current[id].load(std::memory_order_relaxed) : 0.0; }
  Values values() const {
    Values v;
    for (int32_t i = 0; i < kCount; ++i) v[static_cast<size_t>(i)] = current[i].load(std::memory_order_relaxed);
    return v;
  }

  /// Control thread: the next block starts with these values.
  void restore(const Values& values) {
    std::lock_guard<std::mutex> writers(restoreWriters);
    const uint32_t sequence = restoreSequence.load(std::memory_order_relaxed);
    restoreSequence.store(sequence + 1, std::memory_order_relaxed);
    // Each value is released, so a reader that sees it also sees the odd
    // sequence number before it (no fences: ThreadSanitizer follows these).
    for (int32_t i = 0; i < kCount; ++i) {
      restored[i].store(values[static_cast<size_t>(i)], std::memory_order_release);
      current[i].store(values[static_cast<size_t>(i)], std::memory_order_relaxed);
    }
    restoreSequence.store(sequence + 2, std::memory_order_release);
  }

  /// Audio thread, at a block's start: applies a restored state, if one is
  /// new and finished; one caught being written waits for the next block.
  void takeRestored() noexcept {
    const uint32_t sequence = restoreSequence.load(std::memory_order_acquire);
    if (sequence == appliedSequence || (sequence & 1u) != 0) return;
    double copy[kCount];
    for (int32_t i = 0; i < kCount; ++i) copy[i] = restored[i].load(std::memory_order_acquire);
    if (restoreSequence.load(std::memory_order_relaxed) != sequence) return;
    appliedSequence = sequence;
    // The restore set the values already; a later one may be setting them now.
    for (int32_t i = 0; i < kCount; ++i) use(static_cast<uint32_t>(i), copy[i]);
  }

  /// One value as the host sent it; unknown ids and NaN change nothing.
  void apply(uint32_t id, double value) noexcept {
    if (!Rules::isValid(id) || std::isnan(value)) return;
    current[id].store(value, std::memory_order_relaxed);
    use(id, value);
  }

  /// Frames start..start+frames of two channels.
  void render(float* const* in, float* const* out, int32_t start, int32_t frames) noexcept {
    float* pieceIn[2] = {in[0] + start, in[1] + start};
    float* pieceOut[2] = {out[0] + start, out[1] + start};
    engine->processReplacing(pieceIn, pieceOut, frames);
  }

private:
  void use(uint32_t id, double value) noexcept {
    if (!Rules::isValid(id) || std::isnan(value)) return;
    engine->setParameter(static_cast<int32_t>(id), Rules::engineValue(id, value));
  }

  std::optional<TriBandEngine> engine;
  std::atomic<double> current[kCount];
  std::atomic<double> sampleRate{TriBandEngine::kDesignRate};
  std::atomic<int32_t> blockFrames{1024};

  std::mutex restoreWriters;
  std::atomic<double> restored[kCount];
  std::atomic<uint32_t> restoreSequence{0};
  uint32_t appliedSequence = 0;  // audio thread
};
