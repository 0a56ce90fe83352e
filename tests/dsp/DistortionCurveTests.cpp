// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <ios>
#include <vector>

#include "DistortionCurves.h"

namespace {

constexpr float kDrive = 10.0f;
const std::vector<float> kSequence = {0.5f, 0.25f, -0.5f, 1.0f, 0.5f, -1.0f};

template <class Curve>
void expectSequence(const std::vector<float>& expectedLeft) {
  Curve curve;
  for (size_t i = 0; i < kSequence.size(); ++i) {
    curve.apply(kSequence[i], 0.0f, kDrive);
    EXPECT_NEAR(curve.outLeft, expectedLeft[i], 5e-7f) << "sample " << i;
    EXPECT_EQ(curve.outRight, 0.0f) << "sample " << i;
  }
}

}  // namespace

TEST(SoftCurve, ThresholdZeroIsTheIdentityAndUnitInputsStayPut) {
  SoftCurve soft;
  soft.setThreshold(0.0f);
  soft.apply(0.3f, -0.7f);
  EXPECT_EQ(soft.outLeft, 0.3f);
  EXPECT_EQ(soft.outRight, -0.7f);
  for (float threshold : {0.0f, 0.25f, 0.5f, 0.9f, 1.0f}) {
    soft.setThreshold(threshold);
    soft.apply(1.0f, -1.0f);
    EXPECT_FLOAT_EQ(soft.outLeft, 1.0f) << threshold;
    EXPECT_FLOAT_EQ(soft.outRight, -1.0f) << threshold;
  }
}

TEST(SoftCurve, HalfThresholdWorkedValues) {
  SoftCurve soft;
  soft.setThreshold(0.5f);
  EXPECT_FLOAT_EQ(soft.k, 1.809524f);
  soft.apply(0.5f, 1e-39f);
  EXPECT_FLOAT_EQ(soft.outLeft, 0.7375f);
  EXPECT_EQ(soft.outRight, 0.0f);  // a denormal result is flushed
}

TEST(AnarchikCurve, ThresholdSetUpNudgesTheZeroSines) {
  AnarchikCurve curve;
  curve.setThreshold(0.0f);
  EXPECT_FLOAT_EQ(curve.limit, 62.5f);
  EXPECT_FLOAT_EQ(curve.scale, 1.000421f);
  curve.setThreshold(0.25f);
  EXPECT_FLOAT_EQ(curve.limit, 2.0f);
  EXPECT_FLOAT_EQ(curve.scale, 1.5707964f);
  curve.apply(0.5f, 0.0f);
  EXPECT_FLOAT_EQ(curve.outLeft, 0.7071068f);
  curve.setThreshold(0.5f);
  EXPECT_FLOAT_EQ(curve.limit, 0.9842519f);
  EXPECT_FLOAT_EQ(curve.scale, -63.52656f);
  curve.setThreshold(0.75f);
  EXPECT_FLOAT_EQ(curve.scale, -4.712389f);
  curve.setThreshold(1.0f);
  EXPECT_FLOAT_EQ(curve.limit, 0.5040323f);
  EXPECT_FLOAT_EQ(curve.scale, -124.0519f);
}

TEST(AnarchikCurve, DenormalThresholdsCountAsZero) {
  AnarchikCurve zero;
  zero.setThreshold(0.0f);
  AnarchikCurve curve;
  for (uint32_t bits = 1; bits < 0x00800000u; bits = bits < 4096 ? bits + 1 : bits * 3 + 7) {
    for (uint32_t sign : {0u, 0x80000000u}) {
      float threshold;
      const uint32_t pattern = bits | sign;
      std::memcpy(&threshold, &pattern, sizeof threshold);
      curve.setThreshold(threshold);
      ASSERT_EQ(curve.limit, zero.limit) << std::hexfloat << threshold;
      ASSERT_EQ(curve.scale, zero.scale) << std::hexfloat << threshold;
    }
  }
}

TEST(AnarchikCurve, EveryThresholdFromZeroToOneGivesAFiniteCurve) {
  // Every bit pattern of the smallest denormals and around the smallest
  // normal, a stride through the rest of 0..1, with the largest inputs a
  // filter lets through.
  const auto next = [](uint32_t bits) {
    const bool dense = bits < 0x10000u || (bits >= 0x007F0000u && bits < 0x00810000u);
    return bits + (dense ? 1u : 4093u);
  };
  AnarchikCurve curve;
  const float inputs[] = {-0x1p40f, -1.0f, -1e-30f, 0.0f, 0.3f, 0.99f, 0x1p40f};
  for (uint32_t bits = 0; bits <= 0x3F800000u; bits = next(bits)) {
    float threshold;
    std::memcpy(&threshold, &bits, sizeof threshold);
    curve.setThreshold(threshold);
    ASSERT_TRUE(std::isfinite(curve.limit) && std::isfinite(curve.scale)) << std::hexfloat << threshold;
    for (float x : inputs) {
      curve.apply(x, -x);
      ASSERT_TRUE(std::isfinite(curve.outLeft) && std::isfinite(curve.outRight)) << std::hexfloat << threshold;
    }
  }
}

TEST(AnarchikCurve, LimitsOnlyThePositiveSideAboveTheLimit) {
  AnarchikCurve curve;
  curve.setThreshold(0.25f);  // limit 2, scale pi/2
  curve.apply(2.0f, std::nextafter(2.0f, 3.0f));
  EXPECT_EQ(curve.outLeft, static_cast<float>(std::sin(2.0 * double(curve.scale))));
  EXPECT_EQ(curve.outRight, 1.0f);
  curve.apply(-3.0f, -1.0f);
  EXPECT_EQ(curve.outLeft, static_cast<float>(std::sin(-3.0 * double(curve.scale))));
  EXPECT_FLOAT_EQ(curve.outRight, -1.0f);
}

TEST(FuzzCurves, WorkedSequenceFromNewObjects) {
  expectSequence<FuzzAtanCurve>({0.5f, 0.458333f, -0.5f, 1.0f, 0.916667f, -1.0f});
  expectSequence<FuzzExpCurve>({0.0f, 0.0f, 0.5f, -2.0f, -1.986614f, 1.0f});
  expectSequence<FuzzSqrtCurve>({0.5f, 0.353553f, -0.5f, 1.0f, 0.707107f, -1.0f});
}

TEST(FuzzCurves, FirstSampleWorkedValues) {
  FuzzAtanCurve atan;
  EXPECT_FLOAT_EQ(atan.shape(0.5f, 0.5f, kDrive), 1.427997f);
  atan.apply(0.5f, 0.0f, kDrive);
  EXPECT_FLOAT_EQ(atan.outLeft, 0.5f);
  EXPECT_FLOAT_EQ(FuzzSqrtCurve::shape(0.5f, 0.5f, kDrive), 3.162278f);

  FuzzExpCurve exp;
  EXPECT_NEAR(FuzzExpCurve::shape(0.5f, 0.5f, kDrive), -0.999955f, 5e-7f);
  exp.apply(0.5f, 0.0f, kDrive);
  EXPECT_EQ(exp.outLeft, 0.0f);
  exp.apply(-0.5f, 0.0f, kDrive);
  EXPECT_FLOAT_EQ(exp.outLeft, 0.5f);
}

TEST(FuzzCurves, ZeroInputGivesExactZeroAndSmallSignalsLeaveThePeak) {
  FuzzAtanCurve atan;
  FuzzExpCurve exp;
  FuzzSqrtCurve sqrt;
  atan.apply(0.0f, 0.0f, kDrive);
  exp.apply(0.0f, 0.0f, kDrive);
  sqrt.apply(0.0f, 0.0f, kDrive);
  EXPECT_EQ(atan.outLeft, 0.0f);
  EXPECT_EQ(atan.outRight, 0.0f);
  EXPECT_EQ(exp.outLeft, 0.0f);
  EXPECT_EQ(sqrt.outLeft, 0.0f);

  exp.apply(5e-5f, -0.9f, kDrive);
  sqrt.apply(1e-4f, 1e-5f, kDrive);
  EXPECT_EQ(exp.peakLeft, fuzz::kInitialMaximum);
  EXPECT_EQ(exp.peakRight, fuzz::kInitialMaximum);  // negative samples never raise a peak
  EXPECT_EQ(sqrt.peakLeft, fuzz::kInitialMaximum);  // an equal value does not raise it either

  for (int i = 0; i < 8; ++i) {
    exp.apply(0.1f * static_cast<float>(i), 0.0f, kDrive);
    sqrt.apply(-0.1f * static_cast<float>(i), 0.0f, kDrive);
  }
  exp.apply(0.0f, 0.0f, kDrive);
  sqrt.apply(0.0f, 0.0f, kDrive);
  EXPECT_EQ(exp.outLeft, 0.0f);
  EXPECT_EQ(sqrt.outLeft, 0.0f);
}

TEST(FuzzCurves, DriveZero) {
  FuzzAtanCurve atanZero, atanTiny;
  FuzzExpCurve expZero, expTiny;
  FuzzSqrtCurve sqrt;
  for (float x : kSequence) {
    atanZero.apply(x, -x, 0.0f);
    atanTiny.apply(x, -x, 1e-4f);
    expZero.apply(x, -x, 0.0f);
    expTiny.apply(x, -x, 1e-4f);
    sqrt.apply(x, -x, 0.0f);
    EXPECT_EQ(atanZero.outLeft, atanTiny.outLeft);
    EXPECT_EQ(atanZero.outRight, atanTiny.outRight);
    EXPECT_EQ(expZero.outLeft, expTiny.outLeft);
    EXPECT_EQ(expZero.outRight, expTiny.outRight);
    EXPECT_EQ(sqrt.outLeft, 0.0f);
    EXPECT_EQ(sqrt.outRight, 0.0f);
  }
}

TEST(FuzzCurves, ConsecutiveCallsShareTheirMaxima) {
  // Two bands through one object: the quiet call is scaled by the maxima the
  // loud call just raised, unlike the same quiet signal through its own object.
  FuzzSqrtCurve shared, alone;
  shared.apply(1.0f, 0.0f, 50.0f);
  shared.apply(0.1f, 0.0f, 50.0f);
  alone.apply(0.1f, 0.0f, 50.0f);
  EXPECT_EQ(shared.peakLeft, 1.0f);
  EXPECT_NE(shared.outLeft, alone.outLeft);
  EXPECT_FLOAT_EQ(alone.outLeft, 0.1f);  // a new maximum in both stages comes out at the peak
}
