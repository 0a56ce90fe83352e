// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Flush.h"

/// Coefficients of one second-order section, normalised so that a0 = 1.
struct BiquadCoefficients {
  float b0 = 0.0f;
  float b1 = 0.0f;
  float b2 = 0.0f;
  float a1 = 0.0f;
  float a2 = 0.0f;
};

enum class Channel { left = 0, right = 1 };

/// Two previous inputs and outputs of one channel; element 0 is the newer.
struct BiquadHistory {
  float x[2] = {0.0f, 0.0f};
  float y[2] = {0.0f, 0.0f};
};

/// One direct-form-I step, summed in double in the order of the equation and
/// stored as a float. Each product of two floats is exact in double; each
/// partial sum is rounded to double, and the result once more to float.
inline float biquadStep(const BiquadCoefficients& c, BiquadHistory& h, float x) noexcept {
  const auto d = [](float v) { return static_cast<double>(v); };
  const double sum =
      d(c.b0) * d(x) + d(c.b1) * d(h.x[0]) + d(c.b2) * d(h.x[1]) - d(c.a1) * d(h.y[0]) - d(c.a2) * d(h.y[1]);
  const float y = flush::denormalOrUnusable(static_cast<float>(sum));
  h.x[1] = h.x[0];
  h.x[0] = x;
  h.y[1] = h.y[0];
  h.y[0] = y;
  return y;
}

/// The coefficient set and the two channels' histories of one filter. Both
/// channels share the coefficients; only the histories are per channel.
class StereoBiquad {
public:
  float processSample(Channel channel, float x) noexcept {
    return biquadStep(coefficients, history[static_cast<int>(channel)], x);
  }
  void reset() noexcept {
    history[0] = BiquadHistory{};
    history[1] = BiquadHistory{};
  }

  BiquadCoefficients coefficients;
  BiquadHistory history[2];
};

// The three band filters share no base class: each owns its section and
// differs only in how setup designs the coefficients.
#define TRIBAND_FILTER_SAMPLE_OPERATIONS                                                               \
  float processSample(Channel channel, float x) noexcept { return section.processSample(channel, x); } \
  void reset() noexcept { section.reset(); }                                                           \
  const BiquadCoefficients& coefficients() const { return section.coefficients; }                      \
  StereoBiquad& state() { return section; }

/// Low band: bilinear transform of w^2 / (s^2 + 2*zeta*w*s + w^2) without
/// pre-warping, damping zeta = 2 * (1 - q); q runs 0 (heavy damping) to 0.98.
class LowPassFilter {
public:
  virtual ~LowPassFilter() = default;
  /// frequencyHz 25..700, q at most 0.98, sampleRateHz > 0.
  void setup(float frequencyHz, float q, float sampleRateHz) noexcept;
  TRIBAND_FILTER_SAMPLE_OPERATIONS

private:
  StereoBiquad section;
};

/// Mid band: band-pass with 0 dB peak at the centre; q is the quality factor.
class BandPassFilter {
public:
  virtual ~BandPassFilter() = default;
  /// frequencyHz below half the rate, q at least 0.01.
  void setup(float frequencyHz, float q, float sampleRateHz) noexcept;
  TRIBAND_FILTER_SAMPLE_OPERATIONS

private:
  StereoBiquad section;
  float twoPi = 6.2831855f;  // 0x40C90FDB
};

/// High band: second-order high-pass of the same family as the band-pass.
class HighPassFilter {
public:
  virtual ~HighPassFilter() = default;
  /// frequencyHz below half the rate, q at least 0.01.
  void setup(float frequencyHz, float q, float sampleRateHz) noexcept;
  TRIBAND_FILTER_SAMPLE_OPERATIONS

private:
  StereoBiquad section;
  float twoPi = 6.2831855f;  // 0x40C90FDB
};

#undef TRIBAND_FILTER_SAMPLE_OPERATIONS
