// SPDX-License-Identifier: GPL-3.0-or-later
#include "BandFilters.h"

#include <cmath>

// Every named intermediate is a float; sine and cosine are taken in double on
// the float argument and stored back as floats.

namespace {

struct Angle {
  float cosW;
  float sinW;
  float alpha;
  float n;
};

Angle designAngle(float frequencyHz, float q, float sampleRateHz, float twoPi) {
  const float w = frequencyHz * twoPi / sampleRateHz;
  Angle a{};
  a.cosW = static_cast<float>(std::cos(static_cast<double>(w)));
  a.sinW = static_cast<float>(std::sin(static_cast<double>(w)));
  a.alpha = a.sinW / (2.0f * q);
  a.n = 1.0f / (1.0f + a.alpha);
  return a;
}

}  // namespace

void LowPassFilter::setup(float frequencyHz, float q, float sampleRateHz) noexcept {
  constexpr float kTwoPi = 6.2831855f;  // 0x40C90FDB
  const float T = 1.0f / sampleRateHz;
  const float d = 2.0f * (1.0f - q);
  const float omega = frequencyHz * kTwoPi;
  const float K2 = omega * omega * T * T;
  const float D = omega * d * T;
  const float n = 1.0f / (4.0f * (D + 1.0f) + K2);
  section.coefficients.a1 = n * (2.0f * K2 - 8.0f);
  section.coefficients.a2 = n * (K2 - 4.0f * D + 4.0f);
  section.coefficients.b0 = n * K2;
  section.coefficients.b1 = 2.0f * section.coefficients.b0;
  section.coefficients.b2 = section.coefficients.b0;
}

void BandPassFilter::setup(float frequencyHz, float q, float sampleRateHz) noexcept {
  const Angle a = designAngle(frequencyHz, q, sampleRateHz, twoPi);
  section.coefficients.b0 = a.n * a.alpha;
  section.coefficients.b1 = 0.0f;
  section.coefficients.b2 = -(a.n * a.alpha);
  section.coefficients.a1 = -2.0f * a.cosW * a.n;
  section.coefficients.a2 = (1.0f - a.alpha) * a.n;
}

void HighPassFilter::setup(float frequencyHz, float q, float sampleRateHz) noexcept {
  const Angle a = designAngle(frequencyHz, q, sampleRateHz, twoPi);
  const float onePlusCos = 1.0f + a.cosW;
  section.coefficients.b0 = onePlusCos * a.n * 0.5f;
  section.coefficients.b2 = section.coefficients.b0;
  section.coefficients.b1 = -(onePlusCos * a.n);
  section.coefficients.a1 = -2.0f * a.cosW * a.n;
  section.coefficients.a2 = (1.0f - a.alpha) * a.n;
}
