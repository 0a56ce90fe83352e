// SPDX-License-Identifier: GPL-3.0-or-later
#include <algorithm>
#include <string>
#include <vector>

#include "EffectFixture.h"
#include "ReferenceEffect.h"
#include "Signals.h"
#include "TriBandDistortion.h"

namespace {

// Disto Type values of each curve, and the band settings at default cut-offs.
constexpr float kTypeValue[6] = {0.0f, 0.0f, 0.2f, 0.4f, 0.6f, 0.8f};
constexpr float kBandFrequency[3] = {700.0f, 4350.0f, 7000.0f};

struct BandChoice {
  int32_t selector;
  float threshold;
  float gain;
};

class AudioTest : public EffectTest {
protected:
  void choose(const BandChoice (&bands)[3]) {
    ReferenceEffect::Band configured[3];
    for (int b = 0; b < 3; ++b) {
      host.set(6 + b, kTypeValue[bands[b].selector]);
      host.set(9 + b, bands[b].threshold);
      host.set(12 + b, bands[b].gain);
      configured[b] = {kBandFrequency[b],
                       0.7f,
                       bands[b].selector,
                       bands[b].threshold,
                       ParameterSide::driveFromThreshold(bands[b].threshold),
                       bands[b].gain * 2.0f};
    }
    reference.configure(configured);
  }
  Stereo replace(Stereo in, int32_t block = 512) { return run(in, block, false); }
  Stereo run(Stereo in, int32_t block, bool adding, Stereo held = Stereo()) {
    Stereo out = held.frames() ? held : Stereo(in.frames());
    for (size_t start = 0; start < in.frames(); start += block) {
      const int32_t n = static_cast<int32_t>(std::min<size_t>(block, in.frames() - start));
      if (adding)
        host.add(&in.left[start], &in.right[start], &out.left[start], &out.right[start], n);
      else
        host.replace(&in.left[start], &in.right[start], &out.left[start], &out.right[start], n);
    }
    return out;
  }
  Stereo expected(const Stereo& in) {
    Stereo out(in.frames());
    for (size_t i = 0; i < in.frames(); ++i) reference.frame(in.left[i], in.right[i], out.left[i], out.right[i]);
    return out;
  }

  ReferenceEffect reference;
};

void expectSame(const Stereo& a, const Stereo& b) {
  ASSERT_EQ(a.frames(), b.frames());
  for (size_t i = 0; i < a.frames(); ++i) {
    ASSERT_EQ(a.left[i], b.left[i]) << "frame " << i;
    ASSERT_EQ(a.right[i], b.right[i]) << "frame " << i;
  }
}

bool allZero(const Stereo& s) {
  for (size_t i = 0; i < s.frames(); ++i)
    if (s.left[i] != 0.0f || s.right[i] != 0.0f) return false;
  return true;
}

}  // namespace

TEST_F(AudioTest, FirstFrameOfAFreshEffectIsTheSumOfTheFilterGains) {
  float inL[1] = {1.0f}, inR[1] = {0.0f}, outL[1], outR[1];
  host.replace(inL, inR, outL, outR, 1);
  EXPECT_NEAR(outL[0], 0.4820401f + 0.2932320f + 0.0023408f, 2e-7f);
  EXPECT_EQ(outR[0], 0.0f);
}

TEST_F(AudioTest, EqualsTheFrameByFrameCompositionOnEveryCurve) {
  const Stereo in = sineAndNoise(2400, 0.9f);
  const BandChoice settings[][3] = {
      {{4, 0.3f, 0.5f}, {2, 0.7f, 0.8f}, {3, 0.5f, 0.5f}},  // three different fuzz curves
      {{2, 0.2f, 0.5f}, {2, 0.6f, 0.3f}, {2, 1.0f, 1.0f}},  // one shared "fuzz atan"
      {{3, 0.1f, 0.5f}, {3, 0.9f, 0.5f}, {3, 0.5f, 0.5f}},  // one shared "fuzz exp"
      {{4, 0.4f, 1.0f}, {1, 0.5f, 0.5f}, {4, 0.9f, 0.2f}},  // "fuzz sqrt" on two bands
      {{5, 0.25f, 0.5f}, {5, 0.5f, 0.5f}, {5, 1.0f, 0.5f}}, {{1, 1.0f, 0.0f}, {5, 0.0f, 1.0f}, {1, 0.5f, 0.7f}},
  };
  // Each setting picks up where the previous left off: the change between
  // two calls acts from the first frame of the next, and the shared running
  // maxima carry on.
  for (const auto& setting : settings) {
    choose(setting);
    expectSame(replace(in, 333), expected(in));
  }
}

TEST_F(AudioTest, BlockSizeDoesNotMatter) {
  const Stereo in = sineAndNoise(4096, 0.8f, 7);
  const BandChoice fuzz[3] = {{3, 0.3f, 0.5f}, {5, 0.7f, 0.5f}, {3, 0.6f, 0.5f}};
  choose(fuzz);
  const Stereo whole = replace(in, 4096);
  for (int32_t block : {1, 7, 64, 333}) {
    host.close();
    SetUp();
    choose(fuzz);
    expectSame(replace(in, block), whole);
  }
}

TEST_F(AudioTest, ProcessAddsWhatProcessReplacingStores) {
  const Stereo in = sineAndNoise(1000, 0.7f, 3);
  Stereo held = sineAndNoise(1000, 0.3f, 4);
  const BandChoice setting[3] = {{4, 0.5f, 0.6f}, {2, 0.5f, 0.5f}, {5, 0.3f, 0.9f}};
  choose(setting);
  const Stereo added = run(in, 256, true, held);
  host.close();
  SetUp();
  choose(setting);
  const Stereo replaced = replace(in, 256);
  for (size_t i = 0; i < in.frames(); ++i) {
    ASSERT_EQ(added.left[i], held.left[i] + replaced.left[i]) << i;
    ASSERT_EQ(added.right[i], held.right[i] + replaced.right[i]) << i;
  }
}

TEST_F(AudioTest, InPlaceAndCrossedBuffersGiveTheSameSamples) {
  const Stereo in = sineAndNoise(700, 0.9f, 5);
  const BandChoice setting[3] = {{3, 0.5f, 0.5f}, {4, 0.5f, 0.5f}, {1, 0.5f, 0.5f}};
  choose(setting);
  const Stereo separate = replace(in);

  host.close();
  SetUp();
  choose(setting);
  Stereo inPlace = in;
  host.replace(inPlace.left.data(), inPlace.right.data(), inPlace.left.data(), inPlace.right.data(), 700);
  expectSame(inPlace, separate);

  host.close();
  SetUp();
  choose(setting);
  Stereo crossed = in;  // output left is input right, and the other way round
  host.replace(crossed.left.data(), crossed.right.data(), crossed.right.data(), crossed.left.data(), 700);
  std::swap(crossed.left, crossed.right);
  expectSame(crossed, separate);
}

TEST_F(AudioTest, NoFramesChangeNothing) {
  Stereo in = sineAndNoise(64, 0.9f);
  Stereo out = sineAndNoise(64, 0.2f, 9);
  const Stereo before = out;
  for (int32_t frames : {0, -1, INT32_MIN}) {
    host.replace(in.left.data(), in.right.data(), out.left.data(), out.right.data(), frames);
    host.add(in.left.data(), in.right.data(), out.left.data(), out.right.data(), frames);
  }
  expectSame(out, before);
  host.effect->processReplacing(host.effect, nullptr, nullptr, 0);  // no buffer lists at all
  host.effect->process(host.effect, nullptr, nullptr, 0);
  expectSame(replace(in), expected(in));  // the state did not move either
}

TEST_F(AudioTest, SilenceInGivesExactZeros) {
  const Stereo silence(512);
  for (int32_t selector : {1, 4, 5}) {
    const BandChoice setting[3] = {{selector, 0.5f, 1.0f}, {selector, 0.3f, 1.0f}, {selector, 0.9f, 1.0f}};
    choose(setting);
    EXPECT_TRUE(allZero(replace(silence))) << selector;
  }
}

TEST_F(AudioTest, ZeroGainsWriteZerosAndAddNothing) {
  const Stereo in = sineAndNoise(256, 0.9f);
  const BandChoice setting[3] = {{4, 0.5f, 0.0f}, {2, 0.5f, 0.0f}, {5, 0.5f, 0.0f}};
  choose(setting);
  EXPECT_TRUE(allZero(replace(in)));
  const Stereo held = sineAndNoise(256, 0.5f, 2);
  expectSame(run(in, 256, true, held), held);
}

TEST_F(AudioTest, FuzzSqrtAtThresholdZeroSilencesItsBand) {
  const Stereo in = sineAndNoise(512, 0.9f);
  const BandChoice setting[3] = {{4, 0.0f, 1.0f}, {4, 0.0f, 1.0f}, {4, 0.0f, 1.0f}};
  choose(setting);
  EXPECT_TRUE(allZero(replace(in)));
}

TEST_F(AudioTest, SharedFuzzMaximaCoupleTheBands) {
  // Only the high band is heard. A loud low band on the same "fuzz sqrt"
  // raises the maxima that scale the quiet high band.
  Stereo in = sineAndNoise(2048, 0.05f);
  for (size_t i = 0; i < in.frames(); ++i) {  // a loud 100 Hz hum under quiet noise
    const float hum = 0.9f * std::sin(static_cast<float>(i) * 0.0142475f);
    in.left[i] += hum;
    in.right[i] += hum;
  }
  const BandChoice shared[3] = {{4, 0.5f, 0.0f}, {1, 0.0f, 0.0f}, {4, 0.5f, 0.5f}};
  const BandChoice apart[3] = {{1, 0.5f, 0.0f}, {1, 0.0f, 0.0f}, {4, 0.5f, 0.5f}};
  choose(shared);
  const Stereo coupled = replace(in);
  expectSame(coupled, expected(in));
  host.close();
  SetUp();
  choose(apart);
  const Stereo alone = replace(in);
  EXPECT_NE(coupled.left, alone.left);
}

TEST_F(AudioTest, SuspendAndResumeClearHistoriesButKeepFuzzMaxima) {
  const Stereo loud = sineAndNoise(1024, 1.0f, 11);
  const Stereo quiet = sineAndNoise(1024, 0.1f, 12);
  const BandChoice setting[3] = {{4, 0.5f, 0.5f}, {4, 0.5f, 0.5f}, {4, 0.5f, 0.5f}};
  choose(setting);
  expectSame(replace(loud), expected(loud));
  std::vector<std::string> displays;
  for (int32_t i = 0; i < 15; ++i) displays.push_back(host.text(effGetParamDisplay, i));
  const intptr_t program = host.dispatch(effGetProgram);
  host.dispatch(effMainsChanged, 0, 0);
  host.dispatch(effMainsChanged, 0, 1);
  reference.reset();
  const Stereo afterResume = replace(quiet);
  expectSame(afterResume, expected(quiet));
  for (int32_t i = 0; i < 15; ++i) EXPECT_EQ(host.text(effGetParamDisplay, i), displays[i]) << i;
  EXPECT_EQ(host.dispatch(effGetProgram), program);

  host.close();
  SetUp();
  choose(setting);
  EXPECT_NE(replace(quiet).left, afterResume.left);  // a fresh effect scales by its own peaks
}

TEST_F(AudioTest, ResumeStartsFromEmptyHistories) {
  float inL[4] = {0.3f, -0.2f, 0.9f, 1.0f}, inR[4] = {0.5f, 0.5f, 0.5f, 0.5f}, outL[4], outR[4];
  host.replace(inL, inR, outL, outR, 4);
  host.dispatch(effMainsChanged, 0, 1);
  float impulse[1] = {1.0f}, zero[1] = {0.0f};
  host.replace(impulse, zero, outL, outR, 1);
  EXPECT_NEAR(outL[0], 0.77761f, 1e-5f);
  EXPECT_EQ(outR[0], 0.0f);
}

TEST_F(AudioTest, ChannelsStayApart) {
  Stereo in = sineAndNoise(2048, 0.9f);
  std::fill(in.right.begin(), in.right.end(), 0.0f);
  for (int32_t selector : {1, 2, 3, 4, 5}) {
    const BandChoice setting[3] = {{selector, 0.5f, 1.0f}, {selector, 0.3f, 1.0f}, {selector, 0.9f, 1.0f}};
    choose(setting);
    const Stereo out = replace(in);
    EXPECT_TRUE(std::all_of(out.right.begin(), out.right.end(), [](float v) { return v == 0.0f; })) << selector;
  }
}
