// SPDX-License-Identifier: GPL-3.0-or-later
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "EffectFixture.h"
#include "Signals.h"

// No sample a host can send breaks an instance: absurd values cost at most
// the samples they touch, never the rest of the instance's life.

namespace {

constexpr float kTypeOf[6] = {0.0f, 0.1f, 0.3f, 0.5f, 0.7f, 0.9f};  // Disto Type value per selector
constexpr float kLargest = std::numeric_limits<float>::max();

class Robustness : public EffectTest {
protected:
  void allBands(int32_t selector, float threshold, float gain = 1.0f) {
    for (int32_t b = 0; b < 3; ++b) {
      host.set(6 + b, kTypeOf[selector]);
      host.set(9 + b, threshold);
      host.set(12 + b, gain);
    }
  }
  Stereo replace(Stereo in) {
    Stereo out(in.frames());
    host.replace(in.left.data(), in.right.data(), out.left.data(), out.right.data(), static_cast<int32_t>(in.frames()));
    return out;
  }
  void mainsOffAndOn() {
    host.dispatch(effMainsChanged, 0, 0);
    host.dispatch(effMainsChanged, 0, 1);
  }
};

// Finite samples of every magnitude, many of them near the largest a filter
// lets through, with both signs.
Stereo everyMagnitude(size_t frames, uint32_t seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> exponent(-30.0f, 38.5f);
  Stereo s(frames);
  for (size_t i = 0; i < frames; ++i) {
    const auto one = [&] {
      const float magnitude = (rng() % 3 == 0) ? 0x1p40f * (0.25f + static_cast<float>(rng() % 8) * 0.25f)
                                               : std::min(kLargest, std::pow(10.0f, exponent(rng)));
      return rng() % 2 ? magnitude : -magnitude;
    };
    s.left[i] = one();
    s.right[i] = one();
  }
  return s;
}

bool allFinite(const Stereo& s) {
  for (size_t i = 0; i < s.frames(); ++i)
    if (!std::isfinite(s.left[i]) || !std::isfinite(s.right[i])) return false;
  return true;
}

// One sample so large that every filter result it touches is unusable.
Stereo absurdSampleIn(Stereo s) {
  s.left[5] = 3e26f;
  s.right[9] = -kLargest;
  s.left[40] = kLargest;
  return s;
}

}  // namespace

TEST_F(Robustness, FiniteSamplesOfAnyMagnitudeGiveFiniteOutputOnEveryCurve) {
  for (int32_t selector = 1; selector <= 5; ++selector) {
    for (float threshold : {0.0f, 0.25f, 0.5f, 0.75f, 1.0f}) {
      allBands(selector, threshold);
      for (uint32_t seed = 1; seed <= 4; ++seed)
        ASSERT_TRUE(allFinite(replace(everyMagnitude(1024, seed)))) << selector << " at " << threshold;
    }
  }
}

TEST_F(Robustness, FuzzPeaksRaisedAtThresholdZeroThenDrivenHardStayFinite) {
  // The worst case for the shared fuzz curves: a peak raised while no first
  // or second stage maximum can follow it, then the full drive on samples
  // of the other sign, on all three bands at once.
  for (int32_t selector : {2, 3, 4}) {
    for (float level : {1e10f, 1e11f, 5e11f, 1e12f, 2e12f, 4e12f, 1e15f, 1.8e19f}) {
      host.close();
      SetUp();
      allBands(selector, 0.0f);
      Stereo up(256), down(256);
      for (size_t i = 0; i < 256; ++i) {
        up.left[i] = up.right[i] = (i % 16 == 0) ? level : 0.0f;
        down.left[i] = down.right[i] = (i % 16 == 0) ? -level : 0.0f;
      }
      ASSERT_TRUE(allFinite(replace(up))) << selector << ", " << level;
      allBands(selector, 1.0f);
      ASSERT_TRUE(allFinite(replace(down))) << selector << ", " << level;
      ASSERT_TRUE(allFinite(replace(everyMagnitude(512, 3)))) << selector << ", " << level;
    }
  }
}

TEST_F(Robustness, AfterAnAbsurdSampleTheDefaultProgramSoundsLikeANewEffect) {
  const Stereo ordinary = sineAndNoise(1024, 0.8f, 21);
  for (int32_t selector = 1; selector <= 5; ++selector) {
    host.close();
    SetUp();
    allBands(selector, 0.5f);
    // Silence never raises a fuzz peak, so only the absurd samples could.
    ASSERT_TRUE(allFinite(replace(absurdSampleIn(Stereo(512)))));
    host.selectProgram(0);
    mainsOffAndOn();
    allBands(selector, 0.5f);
    const Stereo afterwards = replace(ordinary);

    host.close();
    SetUp();
    allBands(selector, 0.5f);
    const Stereo fresh = replace(ordinary);
    ASSERT_EQ(afterwards.left, fresh.left) << selector;
    ASSERT_EQ(afterwards.right, fresh.right) << selector;
  }
}

TEST_F(Robustness, ALoudButSanePassageStillRaisesTheFuzzPeaksForGood) {
  const Stereo quiet = sineAndNoise(1024, 0.1f, 23);
  allBands(4, 0.5f);
  replace(sineAndNoise(1024, 100.0f, 24));
  host.selectProgram(0);
  mainsOffAndOn();
  allBands(4, 0.5f);
  const Stereo afterLoud = replace(quiet);
  ASSERT_TRUE(allFinite(afterLoud));

  host.close();
  SetUp();
  allBands(4, 0.5f);
  EXPECT_NE(replace(quiet).left, afterLoud.left);
}
