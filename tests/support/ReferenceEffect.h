// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

#include "BandFilters.h"
#include "DistortionCurves.h"

/// The audio path composed frame by frame from the filter and curve classes,
/// in the effect's order, with no block-level organisation at all. Tests hold
/// the effect's output against it bit for bit.
class ReferenceEffect {
public:
  struct Band {
    float frequencyHz;
    float q;
    int32_t selector;  // 1 soft .. 5 anarchik
    float threshold;
    float drive;
    float gainFactor;
  };

  ReferenceEffect() {
    configure({{700.0f, 0.7f, 1, 0.0f, 1.5f, 1.0f},
               {4350.0f, 0.7f, 1, 0.0f, 1.5f, 1.0f},
               {7000.0f, 0.7f, 1, 0.0f, 1.5f, 1.0f}});
  }

  void configure(const Band (&bands)[3]) {
    for (int b = 0; b < 3; ++b) band[b] = bands[b];
    low.setup(band[0].frequencyHz, band[0].q, kRate);
    mid.setup(band[1].frequencyHz, band[1].q, kRate);
    high.setup(band[2].frequencyHz, band[2].q, kRate);
    for (int b = 0; b < 3; ++b) {
      soft[b].setThreshold(band[b].threshold);
      anarchik[b].setThreshold(band[b].threshold);
    }
  }

  void reset() {
    low.reset();
    mid.reset();
    high.reset();
  }

  void frame(float inL, float inR, float& outL, float& outR) {
    float l[3] = {low.processSample(Channel::left, inL), mid.processSample(Channel::left, inL),
                  high.processSample(Channel::left, inL)};
    float r[3] = {low.processSample(Channel::right, inR), mid.processSample(Channel::right, inR),
                  high.processSample(Channel::right, inR)};
    for (int b = 0; b < 3; ++b) shape(b, l[b], r[b]);
    outL = (l[2] * band[2].gainFactor + l[1] * band[1].gainFactor) + l[0] * band[0].gainFactor;
    outR = (r[2] * band[2].gainFactor + r[1] * band[1].gainFactor) + r[0] * band[0].gainFactor;
  }

  Band band[3];
  FuzzAtanCurve atan;
  FuzzExpCurve exp;
  FuzzSqrtCurve sqrt;

private:
  static constexpr float kRate = 44100.0f;

  void shape(int b, float& l, float& r) {
    switch (band[b].selector) {
      case 1:
        soft[b].apply(l, r);
        l = soft[b].outLeft;
        r = soft[b].outRight;
        break;
      case 2:
        atan.apply(l, r, band[b].drive);
        l = atan.outLeft;
        r = atan.outRight;
        break;
      case 3:
        exp.apply(l, r, band[b].drive);
        l = exp.outLeft;
        r = exp.outRight;
        break;
      case 4:
        sqrt.apply(l, r, band[b].threshold * 100.0f);
        l = 2.0f * sqrt.outLeft;
        r = 2.0f * sqrt.outRight;
        break;
      case 5:
        anarchik[b].apply(l, r);
        l = anarchik[b].outLeft;
        r = anarchik[b].outRight;
        break;
      default: break;
    }
  }

  LowPassFilter low;
  BandPassFilter mid;
  HighPassFilter high;
  SoftCurve soft[3];
  AnarchikCurve anarchik[3];
};
