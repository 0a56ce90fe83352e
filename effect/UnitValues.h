// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

// The parameters in the units their displays show, as the LV2 edition's
// control ports and tribandist's --set carry them: a value in a parameter's
// unit turns into the normalised value the record would receive, and back.
//
//   cut-off   Hz, the band's range     v = (Hz - base) / span
//   Q         %                        v = % / 100
//   type      1..5, the selector       v = 0, 0.2, 0.4, 0.6, 0.8 (the lower
//                                          bound of the selector's share)
//   threshold %                        v = % / 100
//   gain      dB, -60..+6.0206         v = 10^(dB / 20) / 2, clamped to 1;
//                                          -60 dB (the minimum) is v = 0, off
//   choice    its index 0..n-1         v = index / (n - 1)
//   mix       %                        v = % / 100
//   level     dB, -24..+12             v = (dB + 24) / 36; the level is
//                                          taken in steps of 0.01 dB, so the
//                                          default (2/3 as a float) is 0 dB
// Each is formed in double and rounded once to float. A value outside its
// range is taken as the nearest end, so no host or user can drive a filter
// past its design or a curve past its gain.
namespace units {

constexpr float kGainOffDecibels = -60.0f;   // the range's minimum: the band is off
constexpr float kGainMaxDecibels = 6.0206f;  // 20 log10(2): the record's Gain 1
constexpr float kLevelMinDecibels = -24.0f;
constexpr float kLevelMaxDecibels = 12.0f;

struct Range {
  float minimum;
  float maximum;
};

/// The range of parameter `index` in its unit.
Range range(int32_t index);

/// The normalised value of parameter `index` for `unitValue`, which is first
/// held to the range. NaN is no value: the caller keeps what it had.
float normalised(int32_t index, float unitValue);

/// The value in the unit for a normalised value (the inverse; for defaults and tests).
float unitValue(int32_t index, float normalised);

/// A level's decibels (in 0.01 dB steps) and linear factor for a normalised
/// value; 0 dB is a factor of exactly 1.
float levelDecibels(float normalised);
float levelFactor(float normalised);

}  // namespace units
