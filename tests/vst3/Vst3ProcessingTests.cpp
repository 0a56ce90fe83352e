// SPDX-License-Identifier: GPL-3.0-or-later
// What the VST3 edition plays: the engine's output bit for bit, parameter
// points applied at their frames, bypass, flush calls, silence flags, a
// restart, and state restored while the audio thread runs.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <thread>
#include <vector>

#include "ReferenceBlock.h"
#include "ReferenceBlockData.h"
#include "Signals.h"
#include "TestSize.h"
#include "TriBandEngine.h"
#include "Vst3Host.h"

using namespace vst3host;

namespace {

constexpr uint32_t kBypass = 15;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

Stereo music(size_t frames, uint32_t seed = 1) { return sineAndNoise(frames, 0.5f, seed); }

// The VST3 value of a Disto Type picks the same curve as the record's value v.
double typeValue(int curveIndex) { return curveIndex / 4.0; }

/// The engine driven directly, a block per call: what the edition must equal.
Stereo engineRender(const Stereo& in, const std::vector<std::pair<int32_t, float>>& settings) {
  TriBandEngine engine;
  for (const auto& s : settings) engine.setParameter(s.first, s.second);
  Stereo out(in.left.size());
  float* ins[2] = {const_cast<float*>(in.left.data()), const_cast<float*>(in.right.data())};
  float* outs[2] = {out.left.data(), out.right.data()};
  engine.processReplacing(ins, outs, static_cast<int32_t>(in.left.size()));
  return out;
}

class Vst3Processing : public ::testing::Test {
protected:
  Module module{TRIBAND_VST3_BUNDLE};
  Instance plugin{module, kClassId};
  void SetUp() override {
    ASSERT_EQ(plugin.created, kOk);
    plugin.start();
  }

  /// The input through the plug-in in blocks of `block` frames, points of
  /// the first block from `first`.
  Stereo render(const Stereo& in, int32_t block, ParameterChanges* first = nullptr, bool inPlace = false) {
    Stereo out = inPlace ? in : filled(in.left.size(), kNaN);
    const int32_t frames = static_cast<int32_t>(in.left.size());
    for (int32_t at = 0; at < frames; at += block) {
      const int32_t n = std::min(block, frames - at);
      float* il = inPlace ? out.left.data() + at : const_cast<float*>(in.left.data()) + at;
      float* ir = inPlace ? out.right.data() + at : const_cast<float*>(in.right.data()) + at;
      EXPECT_EQ(plugin.process(il, ir, out.left.data() + at, out.right.data() + at, n, at == 0 ? first : nullptr), kOk);
    }
    return out;
  }
};

}  // namespace

TEST_F(Vst3Processing, EqualsTheEngineInPlaceOrNotAndAtAnyBlockSize) {
  const Stereo in = music(static_cast<size_t>(scaledCount(20000)));
  ParameterChanges settings;
  settings.add(7, {{0, typeValue(1)}});  // mid: fuzz atan
  settings.add(10, {{0, 0.6}});
  settings.add(8, {{0, typeValue(4)}});  // high: anarchik
  settings.add(12, {{0, 0.8}});
  const Stereo expected = engineRender(in, {{7, 0.25f}, {10, 0.6f}, {8, 1.0f}, {12, 0.8f}});
  EXPECT_TRUE(same(render(in, 512, &settings), expected));
  for (int32_t block : {1, 17, 256, 8192}) {
    SCOPED_TRACE(block);
    plugin.processor.call<int32_t>(slot::setProcessing, uint8_t{0});
    plugin.processor.call<int32_t>(slot::setProcessing, uint8_t{1});  // afresh, values kept
    EXPECT_TRUE(same(render(in, block, nullptr, block != 17), expected));
  }
}

TEST_F(Vst3Processing, ReferenceBlockEqualsTheKeptOutput) {
  ParameterChanges settings;
  for (const auto& s : reference_block::kSettings) {
    // Disto Types by the curve the record's value picks; the rest as sent.
    const bool type = s.index >= 6 && s.index <= 8;
    const double v = type ? typeValue(static_cast<int>(std::floor(s.value * 5.0f))) : static_cast<double>(s.value);
    settings.add(static_cast<uint32_t>(s.index), {{0, v}});
  }
  Stereo in;
  reference_block::input(in.left, in.right);
  const Stereo out = render(in, reference_block::kFrames, &settings);
  int differing = 0;
  for (int i = 0; i < reference_block::kFrames; ++i) {
    differing += std::memcmp(&out.left[i], &reference_block::kOutput[0][i], sizeof(float)) != 0;
    differing += std::memcmp(&out.right[i], &reference_block::kOutput[1][i], sizeof(float)) != 0;
  }
  std::printf("VST3 reference block: %d of %d samples differ from the kept Linux x86-64 output\n", differing,
              2 * reference_block::kFrames);
  EXPECT_EQ(differing, 0);
}

TEST_F(Vst3Processing, PointsApplyFromTheirFrame) {
  // Random points on random parameters at random offsets, 0 and the block's
  // end included, against the engine driven piece by piece.
  std::mt19937 random(3);
  const int32_t block = 256, blocks = static_cast<int32_t>(scaledCount(40));
  const Stereo in = music(static_cast<size_t>(block * blocks), 9);
  TriBandEngine reference;
  Stereo expected(in.left.size()), out(in.left.size());
  struct Change {
    int32_t frame;
    uint32_t id;
    double value;
  };
  for (int32_t b = 0; b < blocks; ++b) {
    ParameterChanges changes;
    std::vector<Change> points;
    for (uint32_t id : {0u, 4u, 6u, 10u, 13u, kBypass}) {
      if (random() % 3 == 0) continue;
      std::vector<Point> queue;
      int32_t at = 0;
      while (queue.size() < 4) {
        at += static_cast<int32_t>(random() % 150);
        if (random() % 5 == 0) at = block;  // Ardour's point one past the last frame
        const int32_t offset = std::min(at, block);
        const double v = id == 6         ? typeValue(static_cast<int>(random() % 5))
                         : id == kBypass ? static_cast<double>(random() % 8 == 0)
                                         : std::uniform_real_distribution<double>(0.0, 1.0)(random);
        queue.push_back({offset, v});
        points.push_back({offset, id, v});
        if (offset == block) break;
        at = offset + 1;  // the next point may be on the adjacent frame: a jump
      }
      changes.add(id, queue);
    }
    changes.add(999, {{5, 0.5}});  // no such parameter: ignored
    const int32_t base = b * block;
    ASSERT_EQ(plugin.process(const_cast<float*>(in.left.data()) + base, const_cast<float*>(in.right.data()) + base,
                             out.left.data() + base, out.right.data() + base, block, &changes),
              kOk);

    // The reference: the engine cut at each point's frame; a point at the
    // block's end counts from the next block.
    std::stable_sort(points.begin(), points.end(), [](const Change& x, const Change& y) { return x.frame < y.frame; });
    // Bypass is the engine's own option, which fades.
    auto apply = [&](const Change& c) {
      reference.setParameter(static_cast<int32_t>(c.id),
                             c.id == kBypass ? (c.value >= 0.5 ? 1.0f : 0.0f) : static_cast<float>(c.value));
    };
    size_t next = 0;
    for (int32_t start = 0; start < block;) {
      while (next < points.size() && points[next].frame <= start) apply(points[next++]);
      const int32_t end = next < points.size() ? points[next].frame : block;
      const size_t at = static_cast<size_t>(base + start);
      float* ins[2] = {const_cast<float*>(in.left.data()) + at, const_cast<float*>(in.right.data()) + at};
      float* outs[2] = {expected.left.data() + at, expected.right.data() + at};
      reference.processReplacing(ins, outs, end - start);
      start = end;
    }
    while (next < points.size()) apply(points[next++]);
  }
  int differing = 0;
  for (size_t i = 0; i < in.left.size(); ++i)
    differing +=
        std::memcmp(&out.left[i], &expected.left[i], 4) != 0 || std::memcmp(&out.right[i], &expected.right[i], 4) != 0;
  EXPECT_EQ(differing, 0) << "of " << in.left.size() << " frames";
}

TEST_F(Vst3Processing, BypassPassesTheInputAndKeepsTheEffectRunning) {
  const Stereo in = music(4096, 4);
  ParameterChanges on, off;
  on.add(kBypass, {{0, 1.0}});
  off.add(kBypass, {{0, 0.0}});
  ParameterChanges drive;
  drive.add(9, {{0, 0.7}});
  drive.add(6, {{0, typeValue(2)}});
  render(Stereo(16), 16, &drive);
  plugin.processor.call<int32_t>(slot::setProcessing, uint8_t{1});
  const Stereo processed = render(in, 512);
  plugin.processor.call<int32_t>(slot::setProcessing, uint8_t{1});
  // A start that is bypassed begins at the input; switching back fades in
  // over 10 ms and then sounds as if the effect had run all along.
  EXPECT_TRUE(same(render(in, 512, &on), in));
  EXPECT_TRUE(same(render(in, 333, nullptr, true), in));
  plugin.processor.call<int32_t>(slot::setProcessing, uint8_t{1});
  Stereo half(2048), rest(2048);
  std::copy(in.left.begin(), in.left.begin() + 2048, half.left.begin());
  std::copy(in.right.begin(), in.right.begin() + 2048, half.right.begin());
  std::copy(in.left.begin() + 2048, in.left.end(), rest.left.begin());
  std::copy(in.right.begin() + 2048, in.right.end(), rest.right.begin());
  render(half, 512, &on);
  const Stereo after = render(rest, 512, &off);
  constexpr int kFadeFrames = 441;
  EXPECT_TRUE(
      std::equal(after.left.begin() + kFadeFrames, after.left.end(), processed.left.begin() + 2048 + kFadeFrames));
  EXPECT_FALSE(std::equal(after.left.begin(), after.left.begin() + kFadeFrames, processed.left.begin() + 2048));
}

TEST_F(Vst3Processing, FlushCallsApplyValuesAndTouchNoBuffer) {
  Stereo sentinel = filled(64, kNaN);
  ParameterChanges changes;
  changes.add(0, {{0, 0.125}, {7, 0.25}});
  // No frames; then no buses at all.
  EXPECT_EQ(plugin.process(sentinel.left.data(), sentinel.right.data(), sentinel.left.data(), sentinel.right.data(), 0,
                           &changes),
            kOk);
  changes.queues[0].points = {{0, 0.5}};
  EXPECT_EQ(plugin.process(nullptr, nullptr, nullptr, nullptr, 64, &changes, 0), kOk);
  EXPECT_TRUE(std::all_of(sentinel.left.begin(), sentinel.left.end(), [](float s) { return std::isnan(s); }));
  const std::vector<unsigned char> state = plugin.state();
  double low = 0.0;
  std::memcpy(&low, state.data() + 12, 8);  // little-endian systems only run these tests
  EXPECT_EQ(low, 0.5);
}

TEST_F(Vst3Processing, EveryOutputSampleIsWrittenFiniteAndSilenceIsFlagged) {
  std::mt19937 random(8);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  for (int round = 0; round < scaledCount(40); ++round) {
    ParameterChanges changes;
    for (uint32_t id = 0; id < 15; ++id) changes.add(id, {{0, unit(random)}});
    Stereo in = music(1000, static_cast<uint32_t>(round));
    if (round % 4 == 0) in = filled(1000, 1e-30f);  // below the float's normal range once filtered
    const int32_t block = 1 + static_cast<int32_t>(random() % 700);
    const Stereo out = render(in, block, &changes);
    for (size_t i = 0; i < out.left.size(); ++i) {
      for (float s : {out.left[i], out.right[i]}) {
        ASSERT_TRUE(std::isfinite(s)) << "round " << round << " frame " << i;
        ASSERT_TRUE(s == 0.0f || std::fabs(s) >= std::numeric_limits<float>::min()) << "a denormal at " << i;
      }
    }
  }
  plugin.processor.call<int32_t>(slot::setProcessing, uint8_t{1});
  Stereo quiet(256), out = filled(256, kNaN);
  plugin.process(quiet.left.data(), quiet.right.data(), out.left.data(), out.right.data(), 256);
  EXPECT_TRUE(same(out, quiet));
  EXPECT_EQ(plugin.silence, 3u);
  Stereo loud = music(256);
  plugin.process(loud.left.data(), loud.right.data(), out.left.data(), out.right.data(), 256);
  EXPECT_EQ(plugin.silence, 0u);
}

TEST_F(Vst3Processing, StartingAgainStartsAfresh) {
  ParameterChanges fuzz;
  for (uint32_t id : {6u, 7u, 8u}) fuzz.add(id, {{0, typeValue(2)}});
  for (uint32_t id : {9u, 10u, 11u}) fuzz.add(id, {{0, 0.9}});
  const Stereo in = music(3000, 2);
  const Stereo first = render(in, 512, &fuzz);
  plugin.processor.call<int32_t>(slot::setProcessing, uint8_t{0});
  plugin.component.call<int32_t>(slot::setActive, uint8_t{0});
  plugin.component.call<int32_t>(slot::setActive, uint8_t{1});
  plugin.processor.call<int32_t>(slot::setProcessing, uint8_t{1});
  EXPECT_TRUE(same(render(in, 512), first));  // the fuzz curves' peaks start again too
}

TEST_F(Vst3Processing, StateRestoredWhileProcessingArrivesWhole) {
  // Two states differing in every value. One restored between blocks sounds
  // from the next block on, all of it; then the control thread restores them
  // in turn and moves the controller's values while the audio thread runs
  // (ThreadSanitizer's build watches every shared value), and what is left
  // is one of the two.
  Instance a(module, kClassId), b(module, kClassId);
  a.start();
  b.start();
  ParameterChanges setA, setB;
  for (uint32_t id = 0; id < 15; ++id) {
    setA.add(id, {{0, 0.2 + 0.01 * id}});
    setB.add(id, {{0, 0.8 - 0.01 * id}});
  }
  Stereo silence(1);
  a.process(silence.left.data(), silence.right.data(), silence.left.data(), silence.right.data(), 1, &setA);
  b.process(silence.left.data(), silence.right.data(), silence.left.data(), silence.right.data(), 1, &setB);
  const std::vector<unsigned char> stateA = a.state(), stateB = b.state();
  // A restored state reaches the next block whole.
  plugin.restore(stateB);
  const Stereo in = music(512, 6);
  const Stereo outB = render(in, 512);
  Instance fresh(module, kClassId);
  fresh.start();
  fresh.restore(stateB);
  Stereo expected = in;
  fresh.process(expected.left.data(), expected.right.data(), expected.left.data(), expected.right.data(), 512);
  EXPECT_TRUE(same(outB, expected));

  std::atomic<bool> running{true};
  std::thread control([&] {
    for (int i = 0; running.load() || i < 2; ++i) {  // at least one of each
      plugin.restore(i % 2 ? stateA : stateB);
      plugin.setParameter(static_cast<uint32_t>(i % 16), (i % 7) / 7.0);
      plugin.restoreController(i % 2 ? stateA : stateB);
      (void)plugin.state();
    }
  });
  Stereo block = music(64, 5);
  for (int i = 0; i < scaledCount(3000); ++i) {
    Stereo out(64);
    ASSERT_EQ(plugin.process(block.left.data(), block.right.data(), out.left.data(), out.right.data(), 64), kOk);
    for (float s : out.left) ASSERT_TRUE(std::isfinite(s));
  }
  running = false;
  control.join();
  const std::vector<unsigned char> last = plugin.state();
  EXPECT_TRUE(last == stateA || last == stateB);
}
