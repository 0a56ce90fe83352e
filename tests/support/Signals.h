// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

/// Deterministic test signals.
struct Stereo {
  std::vector<float> left;
  std::vector<float> right;
  explicit Stereo(size_t frames = 0) : left(frames, 0.0f), right(frames, 0.0f) {}
  size_t frames() const { return left.size(); }
};

inline Stereo sineAndNoise(size_t frames, float amplitude = 0.5f, uint32_t seed = 1) {
  Stereo s(frames);
  uint32_t state = seed;
  const auto noise = [&state] {
    state = state * 1664525u + 1013904223u;
    return static_cast<float>(state >> 8) / 16777216.0f - 0.5f;
  };
  for (size_t i = 0; i < frames; ++i) {
    const float phase = static_cast<float>(i) * 0.0623f;
    s.left[i] = amplitude * (0.7f * std::sin(phase) + 0.3f * noise());
    s.right[i] = amplitude * (0.7f * std::sin(1.37f * phase) + 0.3f * noise());
  }
  return s;
}

/// Every sample `value` (NaN, for instance, to see which samples a call writes).
inline Stereo filled(size_t frames, float value) {
  Stereo s(frames);
  std::fill(s.left.begin(), s.left.end(), value);
  std::fill(s.right.begin(), s.right.end(), value);
  return s;
}

/// The same samples, bit for bit.
inline bool same(const Stereo& a, const Stereo& b) {
  return a.frames() == b.frames() && std::memcmp(a.left.data(), b.left.data(), a.frames() * sizeof(float)) == 0 &&
         std::memcmp(a.right.data(), b.right.data(), a.frames() * sizeof(float)) == 0;
}
