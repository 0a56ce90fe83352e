// SPDX-License-Identifier: GPL-3.0-or-later
// The VST3 module as hosts meet it: exports, factory, objects and their
// interfaces, buses, parameters and state, through the test host's own view
// of the interface.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "Vst3Host.h"

using namespace vst3host;

namespace {

constexpr int32_t kParameters = 21;  // the record's fifteen, bypass, the other options
constexpr uint32_t kBypass = 15;

class Vst3Module : public ::testing::Test {
protected:
  Module module{TRIBAND_VST3_BUNDLE};
};

struct ParameterInfo {
  uint32_t id;
  std::string title, units;
  int32_t stepCount;
  double defaultValue;
  int32_t flags;
};

ParameterInfo info(const Instance& plugin, int32_t index, int32_t* result = nullptr) {
  alignas(8) unsigned char bytes[layout::kParameterInfoSize];
  std::memset(bytes, 0xEE, sizeof bytes);
  const int32_t r = plugin.controller.call<int32_t>(slot::getParameterInfo, index, static_cast<void*>(bytes));
  if (result) *result = r;
  ParameterInfo p;
  p.id = get<uint32_t>(bytes, 0);
  p.title = utf8(reinterpret_cast<const char16_t*>(bytes + 4));
  p.units = utf8(reinterpret_cast<const char16_t*>(bytes + 516));
  p.stepCount = get<int32_t>(bytes, 772);
  p.defaultValue = get<double>(bytes, 776);
  p.flags = get<int32_t>(bytes, 788);
  return p;
}

std::string text(const Instance& plugin, uint32_t id, double value) {
  char16_t s[128];
  std::fill(std::begin(s), std::end(s), u'#');
  if (plugin.controller.call<int32_t>(slot::getParamStringByValue, id, value, static_cast<char16_t*>(s)) != kOk)
    return "<refused>";
  return utf8(s);
}

bool value(const Instance& plugin, uint32_t id, const std::string& shown, double& out) {
  std::u16string s(shown.begin(), shown.end());
  return plugin.controller.call<int32_t>(slot::getParamValueByString, id, const_cast<char16_t*>(s.c_str()), &out) ==
         kOk;
}

// A state as a future version would write it: more values after ours.
std::vector<unsigned char> stateOf(uint32_t version, const std::vector<double>& values) {
  std::vector<unsigned char> b = {'T', 'B', 'D', '3'};
  auto u32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<unsigned char>(v >> (8 * i)));
  };
  u32(version);
  u32(static_cast<uint32_t>(values.size()));
  for (double d : values) {
    uint64_t v;
    std::memcpy(&v, &d, sizeof v);
    for (int i = 0; i < 8; ++i) b.push_back(static_cast<unsigned char>(v >> (8 * i)));
  }
  return b;
}

}  // namespace

TEST_F(Vst3Module, ExportsTheEntryPointsAndAcceptsItsEntry) {
  ASSERT_TRUE(module.loaded()) << module.path;
  EXPECT_TRUE(module.entryAccepted());
  EXPECT_NE(module.symbol("GetPluginFactory"), nullptr);
#ifndef _WIN32
  EXPECT_NE(module.symbol("ModuleExit"), nullptr);
  // A second load of the same module pairs its entry and exit too.
  Module again{TRIBAND_VST3_BUNDLE};
  EXPECT_TRUE(again.entryAccepted());
#endif
}

TEST_F(Vst3Module, FactoryDescribesOneAudioEffectClass) {
  Ref f = module.factory();
  ASSERT_TRUE(f);
  Ref f2;
  ASSERT_EQ(f.query(kIPluginFactory2, f2), kOk);
  Ref f3;
  EXPECT_EQ(f.query(kIPluginFactory3, f3), kNoInterface);
  EXPECT_EQ(f3.p, nullptr);

  unsigned char factoryInfo[layout::kFactoryInfoSize];
  std::memset(factoryInfo, 0xEE, sizeof factoryInfo);
  ASSERT_EQ(f.call<int32_t>(slot::getFactoryInfo, static_cast<void*>(factoryInfo)), kOk);
  EXPECT_STREQ(reinterpret_cast<char*>(factoryInfo), "The TriBandDistortion developers");
  EXPECT_EQ(factoryInfo[63], 0);  // zero-filled to the end of the field
  EXPECT_EQ(get<int32_t>(factoryInfo, 448), 0x10);

  EXPECT_EQ(f.call<int32_t>(slot::countClasses), 1);
  unsigned char info2[layout::kClassInfo2Size];
  ASSERT_EQ(f2.call<int32_t>(slot::getClassInfo2, 0, static_cast<void*>(info2)), kOk);
  EXPECT_TRUE(kClassId == info2);
  EXPECT_EQ(get<int32_t>(info2, 16), 0x7FFFFFFF);
  EXPECT_STREQ(reinterpret_cast<char*>(info2 + 20), "Audio Module Class");
  EXPECT_STREQ(reinterpret_cast<char*>(info2 + 52), "TriBandDistortion");
  EXPECT_EQ(get<uint32_t>(info2, 116), 0u);  // never to be run apart
  EXPECT_STREQ(reinterpret_cast<char*>(info2 + 120), "Fx|Distortion|Stereo");
  EXPECT_STREQ(reinterpret_cast<char*>(info2 + 312), TRIBAND_VERSION);
  unsigned char info[layout::kClassInfoSize];
  ASSERT_EQ(f.call<int32_t>(slot::getClassInfo, 0, static_cast<void*>(info)), kOk);
  EXPECT_EQ(std::memcmp(info, info2, 116), 0);
  EXPECT_EQ(f.call<int32_t>(slot::getClassInfo, 1, static_cast<void*>(info)), kInvalidArgument);
  EXPECT_EQ(f.call<int32_t>(slot::getClassInfo, -1, static_cast<void*>(info)), kInvalidArgument);
}

TEST_F(Vst3Module, UnknownClassOrInterfaceGivesNoObject) {
  Ref f = module.factory();
  void* obj = &obj;
  EXPECT_EQ(f.call<int32_t>(slot::createInstance, kIComponent.data(), kIComponent.data(), &obj), kNoInterface);
  EXPECT_EQ(obj, nullptr);
  obj = &obj;
  EXPECT_EQ(f.call<int32_t>(slot::createInstance, kClassId.data(), kIBStream.data(), &obj), kNoInterface);
  EXPECT_EQ(obj, nullptr);
}

TEST_F(Vst3Module, EveryInterfaceIsTheSameObjectAndCountsReferences) {
  Instance plugin(module, kClassId);
  ASSERT_EQ(plugin.created, kOk);
  ASSERT_TRUE(plugin.component && plugin.processor && plugin.controller);
  // The component, the processor and the controller: three references besides the one creation handed over.
  EXPECT_EQ(plugin.component.addRef(), 4u);
  EXPECT_EQ(plugin.component.release(), 3u);
  // Each interface asked for from any other answers with a pointer whose slots work.
  for (const Ref* from : {&plugin.component, &plugin.processor, &plugin.controller}) {
    Ref c, p, e, u, b;
    ASSERT_EQ(from->query(kIComponent, c), kOk);
    ASSERT_EQ(from->query(kIAudioProcessor, p), kOk);
    ASSERT_EQ(from->query(kIEditController, e), kOk);
    ASSERT_EQ(from->query(kFUnknown, u), kOk);
    ASSERT_EQ(from->query(kIPluginBase, b), kOk);
    EXPECT_EQ(c.p, plugin.component.p);
    EXPECT_EQ(p.p, plugin.processor.p);
    EXPECT_EQ(e.p, plugin.controller.p);
    EXPECT_EQ(u.p, plugin.component.p);  // one identity
    EXPECT_EQ(c.call<int32_t>(slot::getBusCount, 0, 0), 1);
    EXPECT_EQ(p.call<uint32_t>(slot::getLatencySamples), 0u);
    EXPECT_EQ(e.call<int32_t>(slot::getParameterCount), kParameters);
    for (Ref* r : {&c, &p, &e, &u, &b}) r->release();
    Ref none;
    none.p = &none;
    EXPECT_EQ(from->query(kIConnectionPoint, none), kNoInterface);
    EXPECT_EQ(none.p, nullptr);
  }
  EXPECT_EQ(plugin.component.addRef(), 4u);
  EXPECT_EQ(plugin.component.release(), 3u);
}

TEST_F(Vst3Module, ArdoursLifecycleRunsTwiceWithoutComplaint) {
  Instance plugin(module, kClassId);
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(plugin.component.call<int32_t>(slot::initialize, nullptr), kOk);
    EXPECT_EQ(plugin.controller.call<int32_t>(slot::initialize, nullptr), kOk);  // the second initialize
    EXPECT_EQ(plugin.controller.call<int32_t>(slot::setComponentHandler, nullptr), kOk);
    EXPECT_EQ(plugin.controller.call<void*>(slot::createView, "editor"), nullptr);
    EXPECT_EQ(plugin.setup(48000.0, 1024), kOk);
    EXPECT_EQ(plugin.component.call<int32_t>(slot::activateBus, 0, 0, 0, uint8_t{1}), kOk);
    EXPECT_EQ(plugin.component.call<int32_t>(slot::activateBus, 0, 1, 0, uint8_t{1}), kOk);
    uint64_t stereo = 3;
    EXPECT_EQ(plugin.processor.call<int32_t>(slot::setBusArrangements, &stereo, 1, &stereo, 1), kOk);
    EXPECT_EQ(plugin.component.call<int32_t>(slot::setActive, uint8_t{1}), kOk);
    EXPECT_EQ(plugin.processor.call<int32_t>(slot::setProcessing, uint8_t{1}), kOk);
    std::vector<float> l(512, 0.25f), r(512, -0.25f);
    EXPECT_EQ(plugin.process(l.data(), r.data(), l.data(), r.data(), 512), kOk);
    // An offline bounce: the set-up again with a larger block.
    EXPECT_EQ(plugin.processor.call<int32_t>(slot::setProcessing, uint8_t{0}), kOk);
    EXPECT_EQ(plugin.component.call<int32_t>(slot::setActive, uint8_t{0}), kOk);
    EXPECT_EQ(plugin.setup(48000.0, 8192), kOk);
    EXPECT_EQ(plugin.component.call<int32_t>(slot::setActive, uint8_t{1}), kOk);
    EXPECT_EQ(plugin.processor.call<int32_t>(slot::setProcessing, uint8_t{1}), kOk);
    EXPECT_EQ(plugin.processor.call<int32_t>(slot::setProcessing, uint8_t{0}), kOk);
    EXPECT_EQ(plugin.component.call<int32_t>(slot::setActive, uint8_t{0}), kOk);
    EXPECT_EQ(plugin.component.call<int32_t>(slot::terminate), kOk);
    EXPECT_EQ(plugin.controller.call<int32_t>(slot::terminate), kOk);
  }
}

TEST_F(Vst3Module, OneStereoBusEachWayAndNothingElse) {
  Instance plugin(module, kClassId);
  const Ref& c = plugin.component;
  EXPECT_EQ(c.call<int32_t>(slot::getBusCount, 0, 0), 1);
  EXPECT_EQ(c.call<int32_t>(slot::getBusCount, 0, 1), 1);
  EXPECT_EQ(c.call<int32_t>(slot::getBusCount, 1, 0), 0);  // no event buses
  EXPECT_EQ(c.call<int32_t>(slot::getBusCount, 1, 1), 0);
  unsigned char bus[layout::kBusInfoSize];
  for (int32_t dir : {0, 1}) {
    ASSERT_EQ(c.call<int32_t>(slot::getBusInfo, 0, dir, 0, static_cast<void*>(bus)), kOk);
    EXPECT_EQ(get<int32_t>(bus, 4), dir);
    EXPECT_EQ(get<int32_t>(bus, 8), 2);
    EXPECT_EQ(utf8(reinterpret_cast<char16_t*>(bus + 12)), dir ? "Stereo Out" : "Stereo In");
    EXPECT_EQ(get<int32_t>(bus, 268), 0);    // main
    EXPECT_EQ(get<uint32_t>(bus, 272), 1u);  // active by default
    EXPECT_EQ(c.call<int32_t>(slot::getBusInfo, 0, dir, 1, static_cast<void*>(bus)), kInvalidArgument);
    EXPECT_EQ(c.call<int32_t>(slot::getBusInfo, 1, dir, 0, static_cast<void*>(bus)), kInvalidArgument);
    EXPECT_EQ(c.call<int32_t>(slot::activateBus, 0, dir, 1, uint8_t{1}), kInvalidArgument);
    uint64_t arrangement = 0;
    EXPECT_EQ(plugin.processor.call<int32_t>(slot::getBusArrangement, dir, 0, &arrangement), kOk);
    EXPECT_EQ(arrangement, 3u);
    EXPECT_EQ(plugin.processor.call<int32_t>(slot::getBusArrangement, dir, 1, &arrangement), kInvalidArgument);
  }
  EXPECT_EQ(c.call<int32_t>(slot::getBusInfo, 0, 2, 0, static_cast<void*>(bus)), kInvalidArgument);
  unsigned char routing[24];
  EXPECT_EQ(c.call<int32_t>(slot::getRoutingInfo, static_cast<void*>(routing), static_cast<void*>(routing + 12)),
            kNotImplemented);
  // Mono, surround and two buses are refused; stereo stays.
  uint64_t mono = 0x80000, stereo = 3, surround = 0x3F, two[2] = {3, 3};
  EXPECT_EQ(plugin.processor.call<int32_t>(slot::setBusArrangements, &mono, 1, &mono, 1), kFalse);
  EXPECT_EQ(plugin.processor.call<int32_t>(slot::setBusArrangements, &stereo, 1, &surround, 1), kFalse);
  EXPECT_EQ(plugin.processor.call<int32_t>(slot::setBusArrangements, two, 2, &stereo, 1), kFalse);
  EXPECT_EQ(plugin.processor.call<int32_t>(slot::setBusArrangements, &stereo, 0, &stereo, 1), kFalse);
  EXPECT_EQ(plugin.processor.call<int32_t>(slot::setBusArrangements, nullptr, 1, nullptr, 1), kFalse);
  uint64_t arrangement = 0;
  plugin.processor.call<int32_t>(slot::getBusArrangement, 1, 0, &arrangement);
  EXPECT_EQ(arrangement, 3u);
  // 32-bit samples only.
  EXPECT_EQ(plugin.processor.call<int32_t>(slot::canProcessSampleSize, 0), kOk);
  EXPECT_EQ(plugin.processor.call<int32_t>(slot::canProcessSampleSize, 1), kFalse);
  EXPECT_EQ(plugin.setup(44100.0, 512, 1), kFalse);
  EXPECT_EQ(plugin.setup(0.0, 512), kInvalidArgument);
  EXPECT_EQ(plugin.setup(44100.0, 0), kInvalidArgument);
  unsigned char cid[16];
  std::memset(cid, 0xEE, sizeof cid);
  EXPECT_EQ(c.call<int32_t>(slot::getControllerClassId, static_cast<void*>(cid)), kFalse);
  EXPECT_EQ(std::count(cid, cid + 16, 0), 16);
}

TEST_F(Vst3Module, ParametersAreTheRecordsFifteenThenBypassAndTheOptions) {
  Instance plugin(module, kClassId);
  ASSERT_EQ(plugin.controller.call<int32_t>(slot::getParameterCount), kParameters);
  const char* titles[] = {
      "Low Cutoff",     "Mid Cutoff",     "High Cutoff",     "Low Q",       "Mid Q",       "High Q",
      "Low Disto Type", "Mid Disto Type", "High Disto Type", "L Threshold", "M Threshold", "H Threshold",
      "Low Gain",       "Mid Gain",       "High Gain",       "Bypass",      "Band Edges",  "Mix",
      "Output",         "Oversampling",   "Stereo"};
  const char* units[] = {"Hz", "Hz", "Hz", "%",  "%", "%", "",  "",   "", "%", "%",
                         "%",  "dB", "dB", "dB", "",  "",  "%", "dB", "", ""};
  const double defaults[] = {1.0, 0.5, 0.0, 0.7f, 0.7f, 0.7f, 0,   0,           0, 0, 0,
                             0,   0.5, 0.5, 0.5,  0,    0,    1.0, 2.0f / 3.0f, 0, 0};
  const int32_t steps[] = {0, 0, 0, 0, 0, 0, 4, 4, 4, 0, 0, 0, 0, 0, 0, 1, 1, 0, 0, 3, 1};
  int bypasses = 0;
  for (int32_t i = 0; i < kParameters; ++i) {
    SCOPED_TRACE(i);
    int32_t result = kFalse;
    const ParameterInfo p = info(plugin, i, &result);
    ASSERT_EQ(result, kOk);
    EXPECT_EQ(p.id, static_cast<uint32_t>(i));  // the record's index, stable forever
    EXPECT_EQ(p.title, titles[i]);
    EXPECT_EQ(p.units, units[i]);
    EXPECT_EQ(p.defaultValue, defaults[i]);
    EXPECT_EQ(plugin.parameter(p.id), p.defaultValue);
    EXPECT_EQ(p.stepCount, steps[i]);
    EXPECT_TRUE(p.flags & 1);                                // automatable
    EXPECT_EQ((p.flags & 8) != 0, steps[i] > 0 && i != 15);  // lists
    bypasses += (p.flags & 0x10000) != 0;
  }
  EXPECT_EQ(bypasses, 1);
  EXPECT_EQ(info(plugin, 15).flags & 0x10000, 0x10000);
  int32_t result = kOk;
  info(plugin, kParameters, &result);
  EXPECT_EQ(result, kInvalidArgument);
  info(plugin, -1, &result);
  EXPECT_EQ(result, kInvalidArgument);
}

TEST_F(Vst3Module, PlainValuesAreInTheUnitsAndInvertExactly) {
  Instance plugin(module, kClassId);
  auto plain = [&](uint32_t id, double v) {
    return plugin.controller.call<double>(slot::normalizedParamToPlain, id, v);
  };
  auto normal = [&](uint32_t id, double p) {
    return plugin.controller.call<double>(slot::plainParamToNormalized, id, p);
  };
  EXPECT_EQ(plain(0, 0.0), 25.0);
  EXPECT_EQ(plain(0, 1.0), 700.0);
  EXPECT_EQ(plain(1, 0.5), 4350.0);
  EXPECT_EQ(plain(2, 1.0), 20000.0);
  EXPECT_EQ(plain(3, 0.7), 70.0);
  EXPECT_EQ(plain(6, 0.0), 1.0);
  EXPECT_EQ(plain(6, 0.25), 2.0);
  EXPECT_EQ(plain(8, 1.0), 5.0);
  EXPECT_EQ(plain(12, 0.5), 0.0);
  EXPECT_EQ(plain(12, 0.0), -60.0);
  EXPECT_NEAR(plain(12, 1.0), 6.0206, 1e-4);
  EXPECT_EQ(plain(kBypass, 1.0), 1.0);
  EXPECT_EQ(plain(17, 0.5), 50.0);
  EXPECT_EQ(plain(18, 0.0), -24.0);
  EXPECT_EQ(plain(18, 1.0), 12.0);
  EXPECT_EQ(plain(19, 1.0), 3.0);
  std::mt19937 random(5);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  for (uint32_t id = 0; id < static_cast<uint32_t>(kParameters); ++id) {
    SCOPED_TRACE(id);
    const bool stepped = (id >= 6 && id <= 8) || id == kBypass || id == 16 || id == 19 || id == 20;
    double last = -1e9;
    for (int k = 0; k <= 100; ++k) {
      const double v = k / 100.0;
      const double p = plain(id, v);
      EXPECT_GE(p, last);  // monotonic
      last = p;
      // Round trips: continuous values to 1e-12, lists to their step.
      if (stepped) {
        EXPECT_EQ(plain(id, normal(id, p)), p);
      } else if (!(id >= 12 && id <= 14 && v < 0.0005)) {
        EXPECT_NEAR(normal(id, p), v, 1e-12);
      }
    }
    for (int k = 0; k < 50; ++k) {
      const double v = unit(random);
      if (!stepped && !(id >= 12 && id <= 14 && v < 0.0005)) {
        EXPECT_NEAR(normal(id, plain(id, v)), v, 1e-12);
      }
    }
    EXPECT_EQ(normal(id, -1e9), 0.0);  // held to the range
    EXPECT_EQ(normal(id, 1e9), 1.0);
  }
}

TEST_F(Vst3Module, TextsAreTheRecordsDisplaysAndReadBack) {
  Instance plugin(module, kClassId);
  EXPECT_EQ(text(plugin, 0, 1.0), "700");
  EXPECT_EQ(text(plugin, 1, 0.5), "4350");
  EXPECT_EQ(text(plugin, 3, 0.7), "70");
  EXPECT_EQ(text(plugin, 3, 1.0), "98");  // the low band's resonance limit
  EXPECT_EQ(text(plugin, 6, 0.0), "soft");
  EXPECT_EQ(text(plugin, 6, 0.5), "fuzz exp");
  EXPECT_EQ(text(plugin, 7, 0.75), "fuzz sqrt");
  EXPECT_EQ(text(plugin, 8, 1.0), "arnarchik");  // the high band's own spelling
  EXPECT_EQ(text(plugin, 6, 1.0), "anarchik");
  EXPECT_EQ(text(plugin, 12, 0.5), "0.000000");
  EXPECT_EQ(text(plugin, 12, 0.0), "-oo");
  EXPECT_EQ(text(plugin, kBypass, 1.0), "on");
  EXPECT_EQ(text(plugin, kBypass, 0.0), "off");
  EXPECT_EQ(text(plugin, 16, 1.0), "host rate");
  EXPECT_EQ(text(plugin, 17, 0.5), "50");
  EXPECT_EQ(text(plugin, 18, 2.0 / 3.0), "0.00");
  EXPECT_EQ(text(plugin, 18, 0.0), "-24.00");
  EXPECT_EQ(text(plugin, 19, 2.0 / 3.0), "4x");
  EXPECT_EQ(text(plugin, 20, 1.0), "mid/side");
  EXPECT_EQ(text(plugin, 99, 0.0), "<refused>");

  double v = -1.0;
  ASSERT_TRUE(value(plugin, 6, "fuzz atan", v));
  EXPECT_EQ(v, 0.25);
  ASSERT_TRUE(value(plugin, 8, "anarchik", v));  // either spelling
  EXPECT_EQ(v, 1.0);
  ASSERT_TRUE(value(plugin, 7, " 4 ", v));
  EXPECT_EQ(v, 0.75);
  ASSERT_TRUE(value(plugin, 0, "400 Hz", v));
  EXPECT_EQ(text(plugin, 0, v), "400");
  ASSERT_TRUE(value(plugin, 13, "-oo", v));
  EXPECT_EQ(v, 0.0);
  ASSERT_TRUE(value(plugin, kBypass, "on", v));
  EXPECT_EQ(v, 1.0);
  ASSERT_TRUE(value(plugin, 19, "8x", v));
  EXPECT_EQ(v, 1.0);
  ASSERT_TRUE(value(plugin, 18, "-6 dB", v));
  EXPECT_EQ(text(plugin, 18, v), "-6.00");
  EXPECT_FALSE(value(plugin, 0, "loud", v));
  EXPECT_FALSE(value(plugin, 6, "fuzz", v));
  EXPECT_FALSE(value(plugin, 0, "", v));
  EXPECT_FALSE(value(plugin, 99, "1", v));

  // Whatever a value shows reads back as a value that shows the same.
  std::mt19937 random(11);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  for (uint32_t id = 0; id < static_cast<uint32_t>(kParameters); ++id) {
    for (int k = 0; k < 200; ++k) {
      const double original = k == 0 ? 0.0 : k == 1 ? 1.0 : unit(random);
      const std::string shown = text(plugin, id, original);
      double back = -1.0;
      ASSERT_TRUE(value(plugin, id, shown, back)) << id << " '" << shown << "'";
      EXPECT_EQ(text(plugin, id, back), shown) << id << " from " << original;
    }
  }
}

TEST_F(Vst3Module, ControllerValuesAreStoredHeldAndChecked) {
  Instance plugin(module, kClassId);
  EXPECT_EQ(plugin.setParameter(0, 0.25), kOk);
  EXPECT_EQ(plugin.parameter(0), 0.25);
  EXPECT_EQ(plugin.setParameter(0, 7.0), kOk);
  EXPECT_EQ(plugin.parameter(0), 1.0);
  EXPECT_EQ(plugin.setParameter(0, NAN), kInvalidArgument);
  EXPECT_EQ(plugin.parameter(0), 1.0);
  EXPECT_EQ(plugin.setParameter(kParameters, 0.5), kInvalidArgument);
  EXPECT_EQ(plugin.setParameter(0xFFFFFFFFu, 0.5), kInvalidArgument);
  EXPECT_EQ(plugin.parameter(0xFFFFFFFFu), 0.0);
}

TEST_F(Vst3Module, StateRoundTripsThroughAnyStreamAndIsRefusedWhenNotOurs) {
  Instance plugin(module, kClassId);
  plugin.start();
  // Values set through processing, as hosts send them.
  ParameterChanges changes;
  changes.add(0, {{0, 0.3}});
  changes.add(7, {{0, 0.5}});
  changes.add(kBypass, {{0, 1.0}});
  std::vector<float> l(64), r(64);
  plugin.process(l.data(), r.data(), l.data(), r.data(), 64, &changes);
  const std::vector<unsigned char> saved = plugin.state();
  ASSERT_EQ(plugin.stateResult, kOk);
  ASSERT_EQ(saved.size(), 12u + 8u * kParameters);
  EXPECT_EQ(std::string(saved.begin(), saved.begin() + 4), "TBD3");

  for (int32_t chunk : {1, 7, 13, 1 << 20}) {
    SCOPED_TRACE(chunk);
    Instance fresh(module, kClassId);
    fresh.start();
    EXPECT_EQ(fresh.restore(saved, chunk), kOk);
    EXPECT_EQ(fresh.state(), saved);  // byte for byte
    EXPECT_EQ(fresh.restoreController(saved, chunk), kOk);
    EXPECT_EQ(fresh.parameter(0), 0.3);
    EXPECT_EQ(fresh.parameter(7), 0.5);
    EXPECT_EQ(fresh.parameter(kBypass), 1.0);
  }

  // Not ours, cut short, corrupt: refused, nothing changed.
  std::vector<unsigned char> foreign = saved, truncated(saved.begin(), saved.end() - 3), notANumber = saved,
                             tooMany = stateOf(1, {}), header(saved.begin(), saved.begin() + 12);
  foreign[0] = 'X';
  std::memset(notANumber.data() + 12, 0xFF, 8);
  tooMany[8] = 0xFF;
  tooMany[9] = 0xFF;
  for (const auto& bad : {foreign, truncated, notANumber, tooMany, header, std::vector<unsigned char>{}}) {
    Instance other(module, kClassId);
    other.start();
    other.restore(saved);
    other.restoreController(saved);
    EXPECT_EQ(other.restore(bad), kFalse);
    EXPECT_EQ(other.restoreController(bad), kFalse);
    EXPECT_EQ(other.state(), saved);
    EXPECT_EQ(other.parameter(0), 0.3);
  }

  // An older state with fewer values sets the rest to their defaults; a
  // newer one with more values loads the ones this version knows.
  Instance other(module, kClassId);
  other.start();
  other.restore(saved);
  ASSERT_EQ(other.restore(stateOf(1, {0.1, 0.2})), kOk);
  ASSERT_EQ(other.restoreController(stateOf(1, {0.1, 0.2})), kOk);
  EXPECT_EQ(other.parameter(0), 0.1);
  EXPECT_EQ(other.parameter(1), 0.2);
  EXPECT_EQ(other.parameter(7), 0.0);
  EXPECT_EQ(other.parameter(kBypass), 0.0);
  std::vector<double> newer(kParameters + 5, 0.25);
  newer[1] = 2.0;  // held to 0..1
  ASSERT_EQ(other.restoreController(stateOf(7, newer)), kOk);
  EXPECT_EQ(other.parameter(0), 0.25);
  EXPECT_EQ(other.parameter(1), 1.0);

  // The controller keeps no state of its own, and takes an empty one.
  MemoryStream empty;
  EXPECT_EQ(other.controller.call<int32_t>(slot::setControllerState, static_cast<void*>(&empty)), kOk);
  EXPECT_EQ(other.controller.call<int32_t>(slot::getControllerState, static_cast<void*>(&empty)), kOk);
  EXPECT_EQ(other.component.call<int32_t>(slot::setState, nullptr), kInvalidArgument);
  EXPECT_EQ(other.component.call<int32_t>(slot::getState, nullptr), kInvalidArgument);
}
