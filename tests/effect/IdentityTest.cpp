// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "FakeHost.h"
#include "Parameters.h"
#include "Flush.h"
#include "ReferenceEffect.h"
#include "KernelSetParam.h"
#include "TestSize.h"
#include "TriBandDistortion.h"

// The effect's block-organised audio path against the frame-by-frame
// composition of the filter and curve classes, byte for byte, over millions
// of frames of random settings, signals, block sizes and buffer layouts.

namespace {

constexpr float kThresholds[] = {0.0f, 0.25f, 0.499f, 0.5f, 0.5001f, 1.0f};
constexpr float kCurveTypes[] = {0.1f, 0.3f, 0.5f, 0.7f, 0.9f};
constexpr CutoffMapping kMappings[3] = {kLowCutoffMapping, kMidCutoffMapping, kHighCutoffMapping};

class Scenario {
public:
  Scenario(uint32_t seed, const KernelSet& set) : rng(seed) {
    effect = createPlugin(FakeHost::callback);
    host.effect = effect;
    static_cast<TriBandDistortion*>(EffectBase::fromRecord(effect))->useKernelSet(set);
  }
  ~Scenario() { host.close(); }

  void changeSomething() {
    switch (pick(8)) {
      case 0:
      case 1: host.set(static_cast<int32_t>(pick(15)), uniform()); break;
      case 2: host.set(9 + static_cast<int32_t>(pick(3)), kThresholds[pick(6)]); break;
      case 3: host.set(6 + static_cast<int32_t>(pick(3)), kCurveTypes[pick(5)]); break;
      case 4: {  // every band on one curve, so the fuzz curves are shared three ways
        const float type = kCurveTypes[pick(5)];
        for (int32_t b = 0; b < 3; ++b) {
          host.set(6 + b, type);
          host.set(9 + b, kThresholds[pick(6)]);
        }
        break;
      }
      case 5: host.selectProgram(static_cast<int32_t>(pick(16))); break;
      case 6:
        host.dispatch(effMainsChanged, 0, 0);
        host.dispatch(effMainsChanged, 0, 1);
        reference.reset();
        break;
      default: break;
    }
    ReferenceEffect::Band bands[3];
    for (int b = 0; b < 3; ++b) {
      const float threshold = host.get(9 + b);
      bands[b] = {kMappings[b].frequency(host.get(b)),
                  host.get(3 + b),
                  ParameterSide::curveSelectorFromType(host.get(6 + b)),
                  threshold,
                  ParameterSide::driveFromThreshold(threshold),
                  host.get(12 + b) * 2.0f};
    }
    reference.configure(bands);
  }

  /// Runs one block both ways; false at the first differing byte.
  bool block() {
    // A third of the blocks as short as hosts set for live playing send.
    const int32_t n = 1 + static_cast<int32_t>(pick(3) == 0 ? pick(48) : pick(700));
    std::vector<float> inL(n), inR(n);
    fillSignal(inL, inR);
    const bool adding = pick(4) == 0;
    std::vector<float> heldL(n), heldR(n);
    for (int32_t i = 0; i < n; ++i) {
      heldL[i] = adding ? uniform() - 0.5f : 0.0f;
      heldR[i] = adding ? uniform() - 0.5f : 0.0f;
    }
    std::vector<float> expectedL(n), expectedR(n);
    for (int32_t i = 0; i < n; ++i) {
      float l, r;
      reference.frame(inL[i], inR[i], l, r);
      if (!adding) {  // what replaces the host's samples is never below the normal range
        flush::keepNormal(&l, 1);
        flush::keepNormal(&r, 1);
      }
      expectedL[i] = adding ? heldL[i] + l : l;
      expectedR[i] = adding ? heldR[i] + r : r;
    }

    std::vector<float> outL = heldL, outR = heldR;
    float* inputs[2] = {inL.data(), inR.data()};
    float* outputs[2] = {outL.data(), outR.data()};
    const unsigned layout = adding ? 0 : pick(3);
    if (layout == 1) {  // in place
      outputs[0] = inputs[0];
      outputs[1] = inputs[1];
    } else if (layout == 2) {  // crossed
      outputs[0] = inputs[1];
      outputs[1] = inputs[0];
    }
    if (adding)
      effect->process(effect, inputs, outputs, n);
    else
      effect->processReplacing(effect, inputs, outputs, n);
    frames += n;
    for (int32_t i = 0; i < n; ++i) {
      if (!same(outputs[0][i], expectedL[i]) || !same(outputs[1][i], expectedR[i])) {
        difference = "frame " + std::to_string(i) + " of " + std::to_string(n) + ": effect " +
                     std::to_string(outputs[0][i]) + ", " + std::to_string(outputs[1][i]) + "; composition " +
                     std::to_string(expectedL[i]) + ", " + std::to_string(expectedR[i]);
        return false;
      }
    }
    return true;
  }

  std::string difference;
  long frames = 0;

private:
  // The same bits; or both not a number, since compilers keep no NaN's sign
  // or payload (a sample near the float limit drives "fuzz atan" to NaN).
  static bool same(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0 || (std::isnan(a) && std::isnan(b)); }

  unsigned pick(unsigned count) { return std::uniform_int_distribution<unsigned>(0, count - 1)(rng); }
  float uniform() { return std::uniform_real_distribution<float>(0.0f, 1.0f)(rng); }

  void fillSignal(std::vector<float>& l, std::vector<float>& r) {
    const unsigned kind = pick(6);
    const float level = kind == 0 ? 2.0f : kind == 1 ? 0.0f : kind == 2 ? 1e-30f : 0.5f;
    for (size_t i = 0; i < l.size(); ++i) {
      const float ramp = kind == 3 ? static_cast<float>(i) / static_cast<float>(l.size()) * 1.5f : 1.0f;
      phase += 0.037f;
      l[i] = level * ramp * (0.6f * std::sin(phase) + 0.4f * (uniform() - 0.5f));
      r[i] = level * ramp * (0.6f * std::sin(1.3f * phase) + 0.4f * (uniform() - 0.5f));
      if (kind == 5 && i % 97 == 0) {  // bad samples from the host
        const float bad[] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(), -3e38f,
                             1e-39f};
        l[i] = bad[pick(4)];
        r[i] = bad[pick(4)];
      }
    }
  }

  std::mt19937 rng;
  AEffect* effect;
  RecordDriver host{nullptr};
  ReferenceEffect reference;
  float phase = 0.0f;
};

}  // namespace

class Identity : public KernelSetTest {};

// Every kernel set against the composition, the frame-by-frame set
// included: it runs the classes in the effect's order, through the record.
TEST_P(Identity, EveryKernelSetEqualsFrameByFrameComposition) {
  FakeHost::reset();
  const long kFrames = scaledCount(3000000);
  long total = 0;
  for (uint32_t seed = 1; total < kFrames; ++seed) {
    Scenario scenario(seed, set());
    for (int step = 0; step < 400; ++step) {
      scenario.changeSomething();
      ASSERT_TRUE(scenario.block()) << "seed " << seed << ", step " << step << ", " << scenario.difference;
    }
    total += scenario.frames;
  }
}

TRIBAND_FOR_EVERY_KERNEL_SET(Identity);
