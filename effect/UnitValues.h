#pragma once

#include <cstdint>

// The LV2 edition's control ports carry the quantities the record's
// displays show; these turn a port's value into the normalised value the
// record would receive, and back.
//
//   cut-off   Hz, the band's range     v = (Hz - base) / span
//   Q         %                        v = % / 100
//   type      1..5, the selector       v = 0, 0.2, 0.4, 0.6, 0.8 (the lower
//                                          bound of the selector's share)
//   threshold %                        v = % / 100
//   gain      dB, -60..+6.0206         v = 10^(dB / 20) / 2, clamped to 1;
//                                          -60 dB (the minimum) is v = 0, off
// Each is formed in double and rounded once to float.
namespace lv2units {

constexpr float kGainOffDecibels = -60.0f;  // the port's minimum: the band is off
constexpr float kGainMaxDecibels = 6.0206f;  // 20 log10(2): the record's Gain 1

/// The normalised value of parameter `index` for the port value `unitValue`.
float normalised(int32_t index, float unitValue);

/// The port value for a normalised value (the inverse; for defaults and tests).
float unitValue(int32_t index, float normalised);

}  // namespace lv2units
