// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <cstring>

namespace flush {

constexpr uint32_t kExponentMask = 0x7F800000u;

inline uint32_t exponentBits(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits & kExponentMask;
}

/// Zero of either sign and denormals become +0, so decaying values settle at
/// exact zero instead of crawling through the slow denormal range.
inline float denormal(float value) { return exponentBits(value) == 0 ? 0.0f : value; }

/// Filter results of at least this magnitude are unusable, like infinities
/// and NaN: 2^40, about 1.1e12 or 241 dB above full scale, far beyond any
/// audio. Below it no curve's running state can overflow: the worst a shared
/// fuzz curve can make of band values under 2^40 (peaks raised at threshold
/// 0, then the full drive) stays below 1e35 at the mix, where 2^64 would
/// already overflow a float.
constexpr uint32_t kUnusableExponent = (127u + 40u) << 23;  // the exponent field of 2^40

/// As denormal(), and values of magnitude 2^40 or more, infinities and NaN
/// become +0 too: one bad sample must not stay in a recursion's history, nor
/// raise the fuzz curves' running maxima for good.
inline float denormalOrUnusable(float value) {
  const uint32_t exponent = exponentBits(value);
  return (exponent == 0 || exponent >= kUnusableExponent) ? 0.0f : value;
}

constexpr uint32_t kSignMask = 0x80000000u;

/// A sample below the float's normal range becomes zero of its sign; every
/// other sample keeps its bits.
inline float normal(float sample) {
  uint32_t bits;
  std::memcpy(&bits, &sample, sizeof bits);
  if ((bits & kExponentMask) == 0) bits &= kSignMask;
  std::memcpy(&sample, &bits, sizeof bits);
  return sample;
}

inline void keepNormal(float* samples, int32_t count) {
  for (int32_t i = 0; i < count; ++i) samples[i] = normal(samples[i]);
}

}  // namespace flush
