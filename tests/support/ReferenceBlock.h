// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <vector>

/// A block processed with every kind of curve arithmetic (exponential,
/// sine, square root), from an input made without the math library so that
/// every platform feeds the effect the same samples. The Linux build's output
/// is kept in ReferenceBlockData.h; other builds compare against it.
namespace reference_block {

constexpr int32_t kFrames = 256;

struct Setting {
  int32_t index;
  float value;
};

constexpr Setting kSettings[] = {{6, 0.5f},  {9, 0.3f},  {7, 0.9f},  {10, 0.7f}, {8, 0.7f},
                                 {11, 0.6f}, {12, 0.6f}, {13, 0.4f}, {14, 0.5f}};

/// A triangle wave plus noise from a linear congruential generator.
inline void input(std::vector<float>& left, std::vector<float>& right) {
  left.resize(kFrames);
  right.resize(kFrames);
  uint32_t state = 7;
  for (int32_t i = 0; i < kFrames; ++i) {
    state = state * 1664525u + 1013904223u;
    const float noise = static_cast<float>(state >> 8) / 16777216.0f - 0.5f;
    const int32_t phase = i % 64;
    const float triangle = static_cast<float>(phase < 32 ? phase : 64 - phase) / 16.0f - 1.0f;
    left[i] = 0.6f * triangle + 0.3f * noise;
    right[i] = 0.5f * noise - 0.2f * triangle;
  }
}

}  // namespace reference_block
