// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <limits>

#include "BandFilters.h"

namespace {

constexpr float kRate = 44100.0f;

template <class Filter>
Filter designed(float frequencyHz, float q) {
  Filter f;
  f.setup(frequencyHz, q, kRate);
  return f;
}

void expectCoefficients(const BiquadCoefficients& c, float b0, float b1, float b2, float a1, float a2) {
  EXPECT_FLOAT_EQ(c.b0, b0);
  EXPECT_FLOAT_EQ(c.b1, b1);
  EXPECT_FLOAT_EQ(c.b2, b2);
  EXPECT_FLOAT_EQ(c.a1, a1);
  EXPECT_FLOAT_EQ(c.a2, a2);
}

template <class Filter>
void expectImpulse(Filter f, const float (&expected)[4]) {
  for (int i = 0; i < 4; ++i) EXPECT_FLOAT_EQ(f.processSample(Channel::left, i == 0 ? 1.0f : 0.0f), expected[i]) << i;
}

// Magnitude of the transfer function at frequencyHz.
double gainAt(const BiquadCoefficients& c, double frequencyHz) {
  const std::complex<double> z = std::polar(1.0, 2.0 * M_PI * frequencyHz / static_cast<double>(kRate));
  const std::complex<double> zi = 1.0 / z;
  return std::abs((double(c.b0) + double(c.b1) * zi + double(c.b2) * zi * zi) /
                  (1.0 + double(c.a1) * zi + double(c.a2) * zi * zi));
}

}  // namespace

TEST(LowPassFilter, DesignsTheWorkedCoefficientsAndImpulse) {
  auto f = designed<LowPassFilter>(700.0f, 0.7f);
  expectCoefficients(f.coefficients(), 0.00234078f, 0.00468156f, 0.00234078f, -1.877979f, 0.8873419f);
  EXPECT_EQ(f.coefficients().b1, 2.0f * f.coefficients().b0);
  EXPECT_EQ(f.coefficients().b2, f.coefficients().b0);
  expectImpulse(f, {0.00234078f, 0.009077496f, 0.01731105f, 0.02445495f});
  EXPECT_NEAR(gainAt(f.coefficients(), 0.0), 1.0, 1e-5);  // the float coefficients' precision
}

TEST(BandPassFilter, DesignsTheWorkedCoefficientsAndImpulse) {
  auto f = designed<BandPassFilter>(4350.0f, 0.7f);
  expectCoefficients(f.coefficients(), 0.293232f, 0.0f, -0.293232f, -1.150635f, 0.4135361f);
  EXPECT_EQ(f.coefficients().b1, 0.0f);
  EXPECT_EQ(f.coefficients().b2, -f.coefficients().b0);
  expectImpulse(f, {0.293232f, 0.3374031f, -0.02626607f, -0.169751f});
  EXPECT_NEAR(gainAt(f.coefficients(), 4350.0), 1.0, 1e-6);
}

TEST(HighPassFilter, DesignsTheWorkedCoefficientsAndImpulse) {
  auto f = designed<HighPassFilter>(7000.0f, 0.7f);
  expectCoefficients(f.coefficients(), 0.4820401f, -0.9640803f, 0.4820401f, -0.678175f, 0.2499855f);
  EXPECT_EQ(f.coefficients().b2, f.coefficients().b0);
  EXPECT_EQ(f.coefficients().b1, -2.0f * f.coefficients().b0);
  expectImpulse(f, {0.4820401f, -0.6371727f, -0.07057753f, 0.11142f});
  EXPECT_NEAR(gainAt(f.coefficients(), kRate / 2), 1.0, 1e-6);
}

TEST(BandFilters, ChannelsStayApart) {
  auto f = designed<BandPassFilter>(1000.0f, 2.0f);
  for (int i = 0; i < 256; ++i) {
    f.processSample(Channel::left, std::sin(0.1f * static_cast<float>(i)));
    EXPECT_EQ(f.processSample(Channel::right, 0.0f), 0.0f);
  }
}

TEST(BandFilters, SetupBetweenSamplesKeepsHistories) {
  auto changed = designed<HighPassFilter>(7000.0f, 0.7f);
  auto fresh = designed<HighPassFilter>(12000.0f, 0.7f);
  changed.processSample(Channel::left, 1.0f);
  changed.setup(12000.0f, 0.7f, kRate);
  // With histories kept, the next output differs from a fresh filter's.
  EXPECT_NE(changed.processSample(Channel::left, 0.0f), fresh.processSample(Channel::left, 0.0f));
}

TEST(BandFilters, ResetClearsBothChannelsAndKeepsCoefficients) {
  auto f = designed<LowPassFilter>(700.0f, 0.7f);
  f.processSample(Channel::left, 0.5f);
  f.processSample(Channel::right, -0.5f);
  f.reset();
  EXPECT_EQ(f.processSample(Channel::left, 1.0f), f.coefficients().b0);
  EXPECT_EQ(f.processSample(Channel::right, 0.0f), 0.0f);
}

TEST(BandFilters, FlushesDenormalsNegativeZeroAndNonFinite) {
  auto f = designed<BandPassFilter>(4350.0f, 0.7f);
  const float outputOfTiny = f.processSample(Channel::left, 1e-38f);  // b0 * 1e-38 is denormal
  EXPECT_EQ(outputOfTiny, 0.0f);
  EXPECT_FALSE(std::signbit(outputOfTiny));

  f.reset();
  const float negativeZero = f.processSample(Channel::left, -0.0f);
  EXPECT_EQ(negativeZero, 0.0f);
  EXPECT_FALSE(std::signbit(negativeZero));

  // A sum that overflows the float range is flushed as well.
  auto overflowing = designed<HighPassFilter>(7000.0f, 0.7f);
  overflowing.processSample(Channel::left, std::numeric_limits<float>::max());
  EXPECT_EQ(overflowing.processSample(Channel::left, -std::numeric_limits<float>::max()), 0.0f);

  // So is a finite result of 2^40 or more, while one just below passes.
  auto bounded = designed<BandPassFilter>(4350.0f, 0.7f);
  const float b0 = bounded.coefficients().b0;
  EXPECT_EQ(bounded.processSample(Channel::left, 0x1p40f / b0 * 1.0001f), 0.0f);
  bounded.reset();
  const float justBelow = bounded.processSample(Channel::left, 0x1p40f / b0 * 0.9999f);
  EXPECT_GT(justBelow, 0x1p39f);
  EXPECT_LT(justBelow, 0x1p40f);

  // One NaN and one infinity and one overflowing sample cost at most their own
  // samples: the histories never hold them.
  auto recovered = designed<BandPassFilter>(4350.0f, 0.7f);
  EXPECT_EQ(recovered.processSample(Channel::left, std::numeric_limits<float>::quiet_NaN()), 0.0f);
  EXPECT_EQ(recovered.processSample(Channel::left, std::numeric_limits<float>::infinity()), 0.0f);
  recovered.processSample(Channel::left, 0.0f);
  recovered.processSample(Channel::left, 0.0f);
  // Two samples later the bad ones have left the input history too.
  auto clean = designed<BandPassFilter>(4350.0f, 0.7f);
  for (int i = 0; i < 16; ++i) {
    const float x = std::sin(0.3f * static_cast<float>(i));
    EXPECT_EQ(recovered.processSample(Channel::left, x), clean.processSample(Channel::left, x)) << i;
  }
}
