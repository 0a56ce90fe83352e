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

/// As denormal(), and infinities and NaN become +0 too: one bad sample must
/// not stay in a recursion's history.
inline float denormalOrNonFinite(float value) {
  const uint32_t exponent = exponentBits(value);
  return (exponent == 0 || exponent == kExponentMask) ? 0.0f : value;
}

}  // namespace flush
