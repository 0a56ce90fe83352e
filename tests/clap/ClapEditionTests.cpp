// SPDX-License-Identifier: GPL-3.0-or-later
// The CLAP edition as hosts meet it: entry, factory, descriptor, ports,
// parameters and their texts, what it plays (the engine's output bit for
// bit, events at their frames), and state, also loaded while the audio
// thread runs.

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <thread>
#include <vector>

#include "ClapHost.h"
#include "ReferenceBlock.h"
#include "ReferenceBlockData.h"
#include "Signals.h"
#include "TestSize.h"
#include "TriBandEngine.h"

using namespace claphost;

namespace {

constexpr uint32_t kParameters = 21;  // the record's fifteen, bypass, the other options
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

class ClapEdition : public ::testing::Test {
protected:
  Module module{TRIBAND_CLAP_PLUGIN};
  Host host;
  Instance plugin{module, host};

  void SetUp() override {
    ASSERT_NE(module.factory, nullptr);
    ASSERT_NE(plugin.plugin, nullptr);
    ASSERT_TRUE(plugin.ports && plugin.params && plugin.state && plugin.latency);
  }

  /// The input through the plug-in in blocks of `block` frames, the first
  /// block's events from `first`.
  Stereo render(Instance& p, const Stereo& in, uint32_t block, const Events* first = nullptr, bool inPlace = false) {
    Stereo out = inPlace ? in : filled(in.frames(), kNaN);
    const uint32_t frames = static_cast<uint32_t>(in.frames());
    for (uint32_t at = 0; at < frames; at += block) {
      const uint32_t n = std::min(block, frames - at);
      float* il = inPlace ? out.left.data() + at : const_cast<float*>(in.left.data()) + at;
      float* ir = inPlace ? out.right.data() + at : const_cast<float*>(in.right.data()) + at;
      EXPECT_EQ(p.process(il, ir, out.left.data() + at, out.right.data() + at, n, at == 0 ? first : nullptr),
                CLAP_PROCESS_CONTINUE);
    }
    return out;
  }

  std::string text(clap_id id, double value, uint32_t capacity = 256) {
    std::vector<char> out(capacity + 1, '#');
    if (!plugin.params->value_to_text(plugin.plugin, id, value, out.data(), capacity)) return "<refused>";
    EXPECT_EQ(out[capacity], '#') << "written past the capacity";
    return out.data();
  }
};

}  // namespace

TEST(ClapModule, EntryFactoryAndDescriptor) {
  Module module{TRIBAND_CLAP_PLUGIN};
  ASSERT_NE(module.entry, nullptr) << TRIBAND_CLAP_PLUGIN;
  EXPECT_EQ(module.entry->clap_version.major, 1u);
  // Initialised again before deinitialised: a host scanning while another part of it plays.
  EXPECT_TRUE(module.entry->init(TRIBAND_CLAP_PLUGIN));
  module.entry->deinit();
  EXPECT_EQ(module.entry->get_factory("foo-factory-1"), nullptr);
  const clap_plugin_factory_t* f = module.factory;
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->get_plugin_count(f), 1u);
  EXPECT_EQ(f->get_plugin_descriptor(f, 1), nullptr);
  const clap_plugin_descriptor_t* d = f->get_plugin_descriptor(f, 0);
  ASSERT_NE(d, nullptr);
  EXPECT_STREQ(d->id, "org.example.tribanddistortion");
  EXPECT_STREQ(d->name, "TriBandDistortion");
  EXPECT_STREQ(d->version, TRIBAND_VERSION);
  std::vector<std::string> features;
  for (const char* const* f2 = d->features; *f2; ++f2) features.push_back(*f2);
  EXPECT_EQ(features, (std::vector<std::string>{"audio-effect", "distortion", "stereo"}));
  Host host;
  EXPECT_EQ(f->create_plugin(f, &host.host, "org.example.tribanddistortionx1"), nullptr);
  EXPECT_EQ(f->create_plugin(f, &host.host, "org.example"), nullptr);
  // Created and destroyed without ever being activated.
  const clap_plugin_t* p = f->create_plugin(f, &host.host, d->id);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->desc, d);
  EXPECT_NE(p->on_main_thread, nullptr);
  p->destroy(p);
}

TEST_F(ClapEdition, OneStereoPortEachWayAndNoLatency) {
  for (bool input : {true, false}) {
    EXPECT_EQ(plugin.ports->count(plugin.plugin, input), 1u);
    clap_audio_port_info_t info;
    ASSERT_TRUE(plugin.ports->get(plugin.plugin, 0, input, &info));
    EXPECT_EQ(info.id, 0u);
    EXPECT_STREQ(info.name, input ? "Stereo In" : "Stereo Out");
    EXPECT_EQ(info.flags, 1u);
    EXPECT_EQ(info.channel_count, 2u);
    EXPECT_STREQ(info.port_type, "stereo");
    EXPECT_EQ(info.in_place_pair, 0u);
    EXPECT_FALSE(plugin.ports->get(plugin.plugin, 1, input, &info));
  }
  EXPECT_EQ(plugin.latency->get(plugin.plugin), 0u);
  EXPECT_EQ(plugin.plugin->get_extension(plugin.plugin, "clap.gui"), nullptr);
}

TEST_F(ClapEdition, ParametersAreTheRecordsFifteenThenTheOptions) {
  ASSERT_EQ(plugin.params->count(plugin.plugin), kParameters);
  const char* modules[] = {"Low", "Mid", "High"};
  // Bypass, Band Edges, Mix, Output, Oversampling, Stereo: choices are indices.
  const double optionMaxima[] = {1.0, 1.0, 1.0, 1.0, 3.0, 1.0};
  const bool optionStepped[] = {true, true, false, false, true, true};
  for (uint32_t i = 0; i < kParameters; ++i) {
    SCOPED_TRACE(i);
    clap_param_info_t info;
    ASSERT_TRUE(plugin.params->get_info(plugin.plugin, i, &info));
    EXPECT_EQ(info.id, i);
    EXPECT_STREQ(info.module, i < 15 ? modules[i % 3] : "");
    EXPECT_TRUE(info.flags & CLAP_PARAM_IS_AUTOMATABLE);
    const bool type = i >= 6 && i <= 8;
    EXPECT_EQ((info.flags & CLAP_PARAM_IS_STEPPED) != 0, i < 15 ? type : optionStepped[i - 15]);
    EXPECT_EQ((info.flags & CLAP_PARAM_IS_BYPASS) != 0, i == 15);
    EXPECT_EQ(info.min_value, 0.0);
    EXPECT_EQ(info.max_value, i < 15 ? (type ? 4.0 : 1.0) : optionMaxima[i - 15]);
    EXPECT_GE(info.default_value, info.min_value);
    EXPECT_LE(info.default_value, info.max_value);
    EXPECT_EQ(plugin.value(i), info.default_value);  // right after init
  }
  clap_param_info_t info;
  EXPECT_FALSE(plugin.params->get_info(plugin.plugin, kParameters, &info));
  plugin.params->get_info(plugin.plugin, 0, &info);
  EXPECT_STREQ(info.name, "Low Cutoff");
  EXPECT_EQ(info.default_value, 1.0);
  plugin.params->get_info(plugin.plugin, 3, &info);
  EXPECT_EQ(info.default_value, static_cast<double>(0.7f));
}

TEST_F(ClapEdition, TextsAreTheRecordsDisplaysAndReadBack) {
  EXPECT_EQ(text(0, 1.0), "700");
  EXPECT_EQ(text(6, 2.0), "fuzz exp");
  EXPECT_EQ(text(8, 4.0), "arnarchik");
  EXPECT_EQ(text(12, 0.0), "-oo");
  EXPECT_EQ(text(99, 0.0), "<refused>");
  EXPECT_EQ(text(1, 0.5, 3), "43");  // cut to the capacity, terminated
  double v = -1.0;
  ASSERT_TRUE(plugin.params->text_to_value(plugin.plugin, 7, "fuzz sqrt", &v));
  EXPECT_EQ(v, 3.0);
  EXPECT_FALSE(plugin.params->text_to_value(plugin.plugin, 0, "loud", &v));
  // value -> text -> value -> text gives the same text, and the same value the second time.
  std::mt19937 random(4);
  for (uint32_t id = 0; id < kParameters; ++id) {
    clap_param_info_t info;
    plugin.params->get_info(plugin.plugin, id, &info);
    for (int k = 0; k <= 100; ++k) {
      const double original = info.min_value + (info.max_value - info.min_value) * k / 100.0;
      const double value = (info.flags & CLAP_PARAM_IS_STEPPED) ? std::round(original) : original;
      const std::string shown = text(id, value);
      double back = -1.0, again = -2.0;
      ASSERT_TRUE(plugin.params->text_to_value(plugin.plugin, id, shown.c_str(), &back)) << id << " " << shown;
      const std::string reshown = text(id, back);
      EXPECT_EQ(reshown, shown) << id;
      ASSERT_TRUE(plugin.params->text_to_value(plugin.plugin, id, reshown.c_str(), &again));
      EXPECT_EQ(again, back) << id;
    }
  }
}

TEST_F(ClapEdition, EqualsTheEngineAtAnyBlockSizeInPlaceOrNot) {
  const Stereo in = sineAndNoise(static_cast<size_t>(scaledCount(20000)), 0.5f, 3);
  Events settings;
  settings.add(7, 1.0, 0);  // mid: fuzz atan
  settings.add(10, 0.6, 0);
  settings.add(8, 4.0, 0);  // high: anarchik
  settings.add(12, 0.8, 0);
  TriBandEngine engine;
  for (auto [i, v] : {std::pair{7, 0.2f}, {10, 0.6f}, {8, 0.8f}, {12, 0.8f}}) engine.setParameter(i, v);
  Stereo expected(in.frames());
  float* ins[2] = {const_cast<float*>(in.left.data()), const_cast<float*>(in.right.data())};
  float* outs[2] = {expected.left.data(), expected.right.data()};
  engine.processReplacing(ins, outs, static_cast<int32_t>(in.frames()));

  plugin.start();
  EXPECT_TRUE(same(render(plugin, in, 512, &settings), expected));
  for (uint32_t block : {1u, 17u, 333u, 8192u}) {
    SCOPED_TRACE(block);
    plugin.plugin->reset(plugin.plugin);  // afresh, values kept
    EXPECT_TRUE(same(render(plugin, in, block, nullptr, block != 17), expected));
  }
}

TEST_F(ClapEdition, ReferenceBlockEqualsTheKeptOutput) {
  Events settings;
  for (const auto& s : reference_block::kSettings) {
    const bool type = s.index >= 6 && s.index <= 8;
    settings.add(static_cast<clap_id>(s.index),
                 type ? static_cast<double>(std::floor(s.value * 5.0f)) : static_cast<double>(s.value));
  }
  Stereo in;
  reference_block::input(in.left, in.right);
  plugin.start();
  const Stereo out = render(plugin, in, reference_block::kFrames, &settings);
  int differing = 0;
  for (int i = 0; i < reference_block::kFrames; ++i) {
    differing += std::memcmp(&out.left[static_cast<size_t>(i)], &reference_block::kOutput[0][i], 4) != 0;
    differing += std::memcmp(&out.right[static_cast<size_t>(i)], &reference_block::kOutput[1][i], 4) != 0;
  }
  std::printf("CLAP reference block: %d of %d samples differ from the kept Linux x86-64 output\n", differing,
              2 * reference_block::kFrames);
  EXPECT_EQ(differing, 0);
}

TEST_F(ClapEdition, EventsApplyFromTheirFrameAndOthersChangeNothing) {
  const uint32_t block = 512;
  const Stereo in = sineAndNoise(block * 4, 0.5f, 8);
  // Changes at frames 0, 100 and 101 (a jump), 511, and at the block's end.
  const std::vector<std::pair<uint32_t, float>> steps = {{0, 0.3f}, {100, 0.9f}, {101, 0.1f}, {511, 0.6f}};
  Events events;
  for (auto [at, v] : steps) events.add(9, v, at);
  events.add(9, 0.75, block);
  events.add(9, 1.0, 200, nullptr, 0xB33F);  // another space: not ours
  events.add(999, 1.0, 300);                 // no such parameter
  plugin.start();
  const Stereo out = render(plugin, in, block, &events);

  TriBandEngine engine;
  Stereo expected(in.frames());
  uint32_t start = 0;
  for (size_t k = 0; k <= steps.size(); ++k) {
    const uint32_t end = k + 1 < steps.size() ? steps[k + 1].first
                         : k < steps.size()   ? block
                                              : static_cast<uint32_t>(in.frames());
    if (k < steps.size()) engine.setParameter(9, steps[k].second);
    if (k == steps.size()) engine.setParameter(9, 0.75f);
    float* ins[2] = {const_cast<float*>(in.left.data()) + start, const_cast<float*>(in.right.data()) + start};
    float* outs[2] = {expected.left.data() + start, expected.right.data() + start};
    engine.processReplacing(ins, outs, static_cast<int32_t>(end - start));
    start = end;
  }
  EXPECT_TRUE(same(out, expected));
  EXPECT_EQ(plugin.value(9), 0.75);
}

TEST_F(ClapEdition, EveryOutputSampleWrittenFiniteAndNothingPast) {
  std::mt19937 random(12);
  plugin.start();
  for (int round = 0; round < scaledCount(30); ++round) {
    Events values;
    for (uint32_t id = 0; id < kParameters; ++id) {
      clap_param_info_t info;
      plugin.params->get_info(plugin.plugin, id, &info);
      const double v = std::uniform_real_distribution<double>(info.min_value, info.max_value)(random);
      values.add(id, (info.flags & CLAP_PARAM_IS_STEPPED) ? std::floor(v) : v, 0);
    }
    const uint32_t frames = 1 + static_cast<uint32_t>(random() % 4096);
    Stereo in = round % 3 ? sineAndNoise(frames, 0.8f, static_cast<uint32_t>(round)) : filled(frames, 1e-39f);
    Stereo out = filled(frames + 1, kNaN);
    ASSERT_EQ(plugin.process(in.left.data(), in.right.data(), out.left.data(), out.right.data(), frames, &values),
              CLAP_PROCESS_CONTINUE);
    for (uint32_t i = 0; i < frames; ++i)
      for (float s : {out.left[i], out.right[i]}) {
        ASSERT_TRUE(std::isfinite(s)) << "round " << round << " frame " << i;
        ASSERT_TRUE(s == 0.0f || std::fabs(s) >= std::numeric_limits<float>::min()) << "subnormal at " << i;
      }
    EXPECT_TRUE(std::isnan(out.left[frames]) && std::isnan(out.right[frames]));
  }
}

TEST_F(ClapEdition, FlushSetsValuesWithoutAudioAndGetValueFollows) {
  Events values;
  values.add(0, 0.25, 0);
  values.add(6, 2.0, 0);
  values.add(1, 0.5, 0, nullptr, 0xB33F);
  plugin.params->flush(plugin.plugin, values.list(), nullptr);  // inactive: the main thread
  EXPECT_EQ(plugin.value(0), 0.25);
  EXPECT_EQ(plugin.value(6), 2.0);
  EXPECT_EQ(plugin.value(1), 0.5);  // the default, untouched
  plugin.start();
  Events more;
  more.add(0, 7.0, 0);  // held to the range
  plugin.params->flush(plugin.plugin, more.list(), nullptr);
  EXPECT_EQ(plugin.value(0), 1.0);
}

TEST_F(ClapEdition, StateRoundTripsAndForeignStateIsRefused) {
  Events values;
  values.add(0, 0.3, 0);
  values.add(7, 2.0, 0);
  plugin.params->flush(plugin.plugin, values.list(), nullptr);
  const std::vector<unsigned char> saved = plugin.save();
  ASSERT_FALSE(saved.empty());
  EXPECT_EQ(std::string(saved.begin(), saved.begin() + 4), "TBDC");
  EXPECT_EQ(plugin.save(23), saved);  // a stream that takes 23 bytes a call

  const Stereo in = sineAndNoise(4096, 0.5f, 2);
  plugin.start();
  const Stereo out = render(plugin, in, 512);
  for (uint64_t chunk : {uint64_t{1}, uint64_t{17}, UINT64_MAX}) {
    Host otherHost;
    Instance fresh(module, otherHost);
    ASSERT_TRUE(fresh.load(saved, chunk));
    EXPECT_EQ(otherHost.valueRescans, 1);
    EXPECT_EQ(fresh.value(0), 0.3);
    EXPECT_EQ(fresh.value(7), 2.0);
    EXPECT_EQ(fresh.save(), saved);  // byte for byte
    fresh.start();
    EXPECT_TRUE(same(render(fresh, in, 512), out));  // the same sound
  }
  std::vector<unsigned char> foreign = saved, truncated(saved.begin(), saved.end() - 1), notANumber = saved;
  foreign[3] = '3';
  std::memset(notANumber.data() + 12, 0xFF, 8);
  std::mt19937 random(1);
  std::vector<unsigned char> noise(1 << 16);
  for (auto& b : noise) b = static_cast<unsigned char>(random());
  for (const auto& bad : {foreign, truncated, notANumber, noise, std::vector<unsigned char>{}}) {
    EXPECT_FALSE(plugin.load(bad));
    EXPECT_EQ(plugin.value(0), 0.3);
  }
}

TEST_F(ClapEdition, StateLoadedWhilePlayingArrivesWhole) {
  Host hostA, hostB;
  Instance a(module, hostA), b(module, hostB);
  Events setA, setB;
  for (uint32_t id = 0; id < kParameters; ++id) {
    const bool type = id >= 6 && id <= 8;
    setA.add(id, type ? 1.0 : 0.2 + 0.01 * id, 0);
    setB.add(id, type ? 3.0 : 0.8 - 0.01 * id, 0);
  }
  a.params->flush(a.plugin, setA.list(), nullptr);
  b.params->flush(b.plugin, setB.list(), nullptr);
  const std::vector<unsigned char> stateA = a.save(), stateB = b.save();

  plugin.start();
  std::atomic<bool> running{true};
  std::thread control([&] {
    for (int i = 0; running.load() || i < 2; ++i) {  // at least one of each
      plugin.load(i % 2 ? stateA : stateB);
      (void)plugin.value(static_cast<clap_id>(i % 15));
      (void)plugin.save();
    }
  });
  Stereo block = sineAndNoise(64, 0.5f, 5);
  for (int i = 0; i < scaledCount(3000); ++i) {
    Stereo out(64);
    ASSERT_EQ(plugin.process(block.left.data(), block.right.data(), out.left.data(), out.right.data(), 64),
              CLAP_PROCESS_CONTINUE);
    for (float s : out.left) ASSERT_TRUE(std::isfinite(s));
  }
  running = false;
  control.join();
  const std::vector<unsigned char> last = plugin.save();
  EXPECT_TRUE(last == stateA || last == stateB);
}
