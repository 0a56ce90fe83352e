// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cmath>

#include "Flush.h"

// The five curves a band can select. Each apply() leaves its two results in
// outLeft and outRight, which the caller reads right after the call. Every
// named intermediate is a float; sin, exp and sqrt are taken in double.

/// "soft": (1 + k) x / (1 + k |x|), odd, maps +-1 to +-1; k = 0 is the identity.
class SoftCurve {
public:
  /// threshold 0..1 sets k = 2a / (1 - a) with a = 0.95 threshold.
  void setThreshold(float threshold) noexcept;
  void apply(float left, float right) noexcept {
    outLeft = shape(left);
    outRight = shape(right);
  }

  float outLeft = 0.0f;
  float outRight = 0.0f;
  float k = 0.0f;
  float onePlusK = 1.0f;

private:
  float shape(float x) const noexcept { return flush::denormal((x * onePlusK) / (std::fabs(x) * k + 1.0f)); }
};

/// "anarchik": exactly 1 above the limit, sin(x * scale) otherwise. Only the
/// positive side is limited.
class AnarchikCurve {
public:
  /// threshold 0..1 sets limit = 1 / 2a and scale = 2 pi a / sin(2 pi a).
  void setThreshold(float threshold) noexcept;
  void apply(float left, float right) noexcept {
    outLeft = shape(left);
    outRight = shape(right);
  }

  float outLeft = 0.0f;
  float outRight = 0.0f;
  float limit = 0.0f;
  float scale = 0.0f;

private:
  float shape(float x) const noexcept {
    if (x > limit) return 1.0f;
    return static_cast<float>(std::sin(static_cast<double>(x) * static_cast<double>(scale)));
  }
};

// The fuzz curves normalise by running maxima that only ever rise, so one
// loud passage sets the scale for the rest of the object's life.
namespace fuzz {
constexpr float kInitialMaximum = 1e-4f;  // 0x38D1B717
}

/// "fuzz atan": a rational approximation of atan2(x * drive, peak), rescaled
/// through two running maxima with stored reciprocals.
class FuzzAtanCurve {
public:
  /// drive > 0; a drive of 0 acts as 1e-4.
  void apply(float left, float right, float drive) noexcept;

  float outLeft = 0.0f;
  float outRight = 0.0f;
  float peakLeft = fuzz::kInitialMaximum;
  float peakRight = fuzz::kInitialMaximum;
  float shapedMaxLeft = fuzz::kInitialMaximum;
  float shapedMaxRight = fuzz::kInitialMaximum;
  float scaledMaxLeft = fuzz::kInitialMaximum;
  float scaledMaxRight = fuzz::kInitialMaximum;
  float shapedInvLeft = 0.0f;
  float shapedInvRight = 0.0f;
  float scaledInvLeft = 0.0f;
  float scaledInvRight = 0.0f;
  float quarterPi = 0.78539819f;      // 0x3F490FDB
  float threeQuarterPi = 2.3561945f;  // 0x4016CBE4

  float shape(float x, float peak, float drive) const noexcept;
};

/// "fuzz exp": -sign(t) (1 - e^-|t|) of t = x * drive / peak (the result has
/// the opposite sign to its input), rescaled like "fuzz atan".
class FuzzExpCurve {
public:
  /// drive > 0; a drive of 0 acts as 1e-4.
  void apply(float left, float right, float drive) noexcept;

  float outLeft = 0.0f;
  float outRight = 0.0f;
  float peakLeft = fuzz::kInitialMaximum;
  float peakRight = fuzz::kInitialMaximum;
  float shapedMaxLeft = fuzz::kInitialMaximum;
  float shapedMaxRight = fuzz::kInitialMaximum;
  float scaledMaxLeft = fuzz::kInitialMaximum;
  float scaledMaxRight = fuzz::kInitialMaximum;
  float shapedInvLeft = 0.0f;
  float shapedInvRight = 0.0f;
  float scaledInvLeft = 0.0f;
  float scaledInvRight = 0.0f;

  static float shape(float x, float peak, float drive) noexcept {
    const float t = x * drive / peak;
    const float s = t >= 0.0f ? -1.0f : 1.0f;
    return (1.0f - static_cast<float>(std::exp(static_cast<double>(s * t)))) * s;
  }
};

/// "fuzz sqrt": sign(t) sqrt|t| of t = x * drive / peak, rescaled by direct
/// division through two running maxima.
class FuzzSqrtCurve {
public:
  /// drive >= 0 (the caller passes 100 * threshold).
  void apply(float left, float right, float drive) noexcept;

  float outLeft = 0.0f;
  float outRight = 0.0f;
  float peakLeft = fuzz::kInitialMaximum;
  float peakRight = fuzz::kInitialMaximum;
  float shapedMaxLeft = fuzz::kInitialMaximum;
  float shapedMaxRight = fuzz::kInitialMaximum;
  float scaledMaxLeft = fuzz::kInitialMaximum;
  float scaledMaxRight = fuzz::kInitialMaximum;

  static float shape(float x, float peak, float drive) noexcept {
    const float sx = x >= 0.0f ? 1.0f : -1.0f;
    const float t = x * drive / peak;
    const float st = t >= 0.0f ? 1.0f : -1.0f;
    return static_cast<float>(std::sqrt(static_cast<double>(t * sx))) * st;
  }
};
