// SPDX-License-Identifier: GPL-3.0-or-later
#include "OptionPath.h"

#include <cstring>

#include "Flush.h"

void OptionPath::prepare(const OptionSettings& o, float hostRate) noexcept {
  const auto stepsOf = [hostRate](float seconds) { return static_cast<int32_t>(seconds * hostRate + 0.5f); };
  mixGlide.setSteps(stepsOf(kGlideSeconds));
  outputGlide.setSteps(stepsOf(kGlideSeconds));
  fade.setSteps(stepsOf(kFadeSeconds));
  mixGlide.aim(o.mix);
  outputGlide.aim(o.outputFactor);
  // A mix of nothing but the input is the input itself, as bypass gives it.
  fade.aim(o.bypass || o.mix == 0.0f);
  resampler.setFactor(o.oversampling);
  // An effect's first block starts where its options are, without gliding
  // there from the defaults.
  if (first) {
    mixGlide.jump(o.mix);
    outputGlide.jump(o.outputFactor);
    fade.finish();
    first = false;
  }
}

void OptionPath::encode(float* const* in, int32_t at, int32_t m, bool midSide) noexcept {
  const size_t bytes = sizeof(float) * static_cast<size_t>(m);
  std::memcpy(raw[0], in[0] + at, bytes);
  std::memcpy(raw[1], in[1] + at, bytes);
  // The resampling filters and the mix keep what they are given: a value no
  // audio has (infinity, NaN, beyond 2^40) would stay in them for good.
  if (midSide) {
    for (int32_t i = 0; i < m; ++i) {
      bandIn[0][i] = flush::denormalOrUnusable((raw[0][i] + raw[1][i]) * 0.5f);
      bandIn[1][i] = flush::denormalOrUnusable((raw[0][i] - raw[1][i]) * 0.5f);
    }
    return;
  }
  for (int c = 0; c < 2; ++c)
    for (int32_t i = 0; i < m; ++i) bandIn[c][i] = flush::denormalOrUnusable(raw[c][i]);
}

// Dry and wet meet at the running rate, where both have been through the
// same upsampling filters and go through the same downsampling ones: the dry
// path's phase is the wet path's at every frequency.
void OptionPath::mix(int32_t m, int32_t factor) noexcept {
  if (mixGlide.settledAt(1.0f)) return;
  float share[kChunk];
  for (int32_t i = 0; i < m; ++i) share[i] = mixGlide.next();
  for (int c = 0; c < 2; ++c)
    for (int32_t i = 0; i < m * factor; ++i) {
      const float w = share[i / factor];
      wet[c][i] = wet[c][i] * w + up[c][i] * (1.0f - w);
    }
}

void OptionPath::finish(float* const* out, int32_t at, int32_t m, bool midSide) noexcept {
  if (midSide)
    for (int32_t i = 0; i < m; ++i) {
      const float mid = back[0][i], side = back[1][i];
      back[0][i] = mid + side;
      back[1][i] = mid - side;
    }
  if (!outputGlide.settledAt(1.0f)) {
    float level[kChunk];
    for (int32_t i = 0; i < m; ++i) level[i] = outputGlide.next();
    for (int c = 0; c < 2; ++c)
      for (int32_t i = 0; i < m; ++i) back[c][i] *= level[i];
  }
  const size_t bytes = sizeof(float) * static_cast<size_t>(m);
  if (fade.fullyProcessed()) {
    for (int c = 0; c < 2; ++c) std::memcpy(out[c] + at, back[c], bytes);
    return;
  }
  if (fade.fullyBypassed()) {
    for (int c = 0; c < 2; ++c) std::memcpy(out[c] + at, raw[c], bytes);
    return;
  }
  for (int32_t i = 0; i < m; ++i) {
    const float g = fade.next();
    for (int c = 0; c < 2; ++c)
      out[c][at + i] = g == 0.0f ? raw[c][i] : g == 1.0f ? back[c][i] : back[c][i] * g + raw[c][i] * (1.0f - g);
  }
}
