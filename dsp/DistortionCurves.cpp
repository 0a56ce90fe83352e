// SPDX-License-Identifier: GPL-3.0-or-later
#include "DistortionCurves.h"

#include <cmath>

void SoftCurve::setThreshold(float threshold) noexcept {
  constexpr float kThresholdScale = 0.95f;  // 0x3F733333
  const float a = threshold * kThresholdScale;
  k = 2.0f * a / (1.0f - a);
  onePlusK = k + 1.0f;
}

// Thresholds of 0, 0.5 and 1 would put a zero sine under the division; they
// are nudged by eps. A denormal threshold counts as 0, as the flush does
// elsewhere: its sine would be denormal and the reciprocal infinite.
void AnarchikCurve::setThreshold(float threshold) noexcept {
  constexpr float kEps = 0.008f;     // 0x3C03126F
  constexpr float kPi = 3.1415927f;  // 0x40490FDB
  float a = flush::denormal(threshold);
  if (!(a > 0.0f)) a = a + kEps;
  if (a == 0.5f) a = a + kEps;
  if (!(a < 1.0f)) a = a - kEps;
  const float e = a + a;
  const float f = e * kPi;
  const float g = 1.0f / static_cast<float>(std::sin(static_cast<double>(f)));
  scale = g * f;
  limit = 1.0f / e;
}

namespace {

// The two rescaling stages shared by the fuzz curves that keep reciprocals.
// Each raises its maximum before it scales, so a sample that sets a new
// maximum in both stages comes out at the current peak.
struct ReciprocalStage {
  float& maximum;
  float& reciprocal;
  float raise(float value) {
    if (value > maximum) {
      maximum = value;
      reciprocal = 1.0f / value;
    }
    return value;
  }
  float scale(float value, float peak) const { return reciprocal * peak * value; }
};

template <class Curve, class Shape>
void applyWithReciprocals(Curve& c, float left, float right, float drive, Shape shape) {
  if (drive == 0.0f) drive = fuzz::kInitialMaximum;
  if (left > c.peakLeft) c.peakLeft = left;
  if (right > c.peakRight) c.peakRight = right;
  const float yl = shape(left, c.peakLeft, drive);
  const float yr = shape(right, c.peakRight, drive);

  ReciprocalStage shapedL{c.shapedMaxLeft, c.shapedInvLeft}, shapedR{c.shapedMaxRight, c.shapedInvRight};
  shapedL.raise(yl);
  shapedR.raise(yr);
  const float zl = shapedL.scale(yl, c.peakLeft);
  const float zr = shapedR.scale(yr, c.peakRight);

  ReciprocalStage scaledL{c.scaledMaxLeft, c.scaledInvLeft}, scaledR{c.scaledMaxRight, c.scaledInvRight};
  scaledL.raise(zl);
  scaledR.raise(zr);
  c.outLeft = flush::denormal(scaledL.scale(zl, c.peakLeft));
  c.outRight = flush::denormal(scaledR.scale(zr, c.peakRight));
}

}  // namespace

float FuzzAtanCurve::shape(float x, float peak, float drive) const noexcept {
  constexpr double kOffset = 1e-10;
  const float t = x * drive;
  const float m = static_cast<float>(static_cast<double>(std::fabs(t)) + kOffset);
  float angle;
  if (peak >= 0.0f) {
    const float inv = 1.0f / (peak + m);
    const float r = (peak - m) * inv;
    angle = (1.0f - r) * quarterPi;
  } else {
    const float inv = 1.0f / (m - peak);
    const float r = (m + peak) * inv;
    angle = threeQuarterPi - r * quarterPi;
  }
  return t < 0.0f ? -angle : angle;
}

void FuzzAtanCurve::apply(float left, float right, float drive) noexcept {
  applyWithReciprocals(*this, left, right, drive, [this](float x, float peak, float d) { return shape(x, peak, d); });
}

void FuzzExpCurve::apply(float left, float right, float drive) noexcept {
  applyWithReciprocals(*this, left, right, drive, &FuzzExpCurve::shape);
}

void FuzzSqrtCurve::apply(float left, float right, float drive) noexcept {
  if (left > peakLeft) peakLeft = left;
  if (right > peakRight) peakRight = right;
  const float yl = shape(left, peakLeft, drive);
  const float yr = shape(right, peakRight, drive);
  if (yl > shapedMaxLeft) shapedMaxLeft = yl;
  if (yr > shapedMaxRight) shapedMaxRight = yr;
  const float zl = yl * peakLeft / shapedMaxLeft;
  const float zr = yr * peakRight / shapedMaxRight;
  if (zl > scaledMaxLeft) scaledMaxLeft = zl;
  if (zr > scaledMaxRight) scaledMaxRight = zr;
  outLeft = zl * peakLeft / scaledMaxLeft;
  outRight = zr * peakRight / scaledMaxRight;
}
