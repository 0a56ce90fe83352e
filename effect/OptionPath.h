// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <cstdint>

#include "BlockSettings.h"
#include "Oversampler.h"
#include "Smoothing.h"

/// What the newer editions' options put around the bands, in signal order:
/// mid/side encoding, upsampling, the bands (the caller's), the dry/wet mix
/// at the running rate (so the dry path shares the resampling filters' phase),
/// downsampling, decoding, the output level and the bypass fade against the
/// untouched input. While every option is at its default and nothing glides,
/// the audio side skips all of it and runs the record's path alone.
class OptionPath {
public:
  static constexpr float kGlideSeconds = 0.02f;  // Mix and Output glide linearly over 20 ms
  static constexpr float kFadeSeconds = 0.01f;   // bypass crossfades over 10 ms

  /// Whether the block can run the bands alone: defaults, nothing gliding.
  bool idle(const OptionSettings& o) const {
    return !o.bypass && o.mix == 1.0f && o.outputFactor == 1.0f && o.oversampling == 1 && !o.midSide &&
           mixGlide.settledAt(1.0f) && outputGlide.settledAt(1.0f) && fade.fullyProcessed();
  }

  /// A block ran without the options: the next one that has them glides to them.
  void started() noexcept { first = false; }

  /// Makes n frames of `in` into `out` (which may be `in`); `bands(in, out,
  /// frames)` runs the band path at the running rate, replacing.
  template <class Bands>
  void process(const OptionSettings& o, float hostRate, float* const* in, float* const* out, int32_t n,
               Bands&& bands) noexcept {
    prepare(o, hostRate);
    const int32_t factor = o.oversampling;
    for (int32_t done = 0; done < n; done += kChunk) {
      const int32_t m = std::min(kChunk, n - done);
      encode(in, done, m, o.midSide);
      const float* const bandInput[2] = {bandIn[0], bandIn[1]};
      float* const high[2] = {up[0], up[1]};
      resampler.up(bandInput, m, high);
      float* const wetOut[2] = {wet[0], wet[1]};
      bands(high, wetOut, m * factor);
      mix(m, factor);
      float* const result[2] = {back[0], back[1]};
      resampler.down(wetOut, m, result);
      finish(out, done, m, o.midSide);
    }
  }

private:
  static constexpr int32_t kChunk = Oversampler::kMaxFrames;
  static constexpr int32_t kMaxRunFrames = kChunk * Oversampler::kMaxFactor;

  void prepare(const OptionSettings& o, float hostRate) noexcept;
  void encode(float* const* in, int32_t at, int32_t m, bool midSide) noexcept;
  void mix(int32_t m, int32_t factor) noexcept;
  void finish(float* const* out, int32_t at, int32_t m, bool midSide) noexcept;

  Oversampler resampler;
  LinearRamp mixGlide{1.0f};
  LinearRamp outputGlide{1.0f};
  BypassFade fade;
  bool first = true;

  float raw[2][kChunk] = {};     // the input as the host gave it
  float bandIn[2][kChunk] = {};  // what the bands take, at the host's rate
  float up[2][kMaxRunFrames] = {};
  float wet[2][kMaxRunFrames] = {};
  float back[2][kChunk] = {};
};
