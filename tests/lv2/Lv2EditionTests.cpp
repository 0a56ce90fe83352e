// SPDX-License-Identifier: GPL-3.0-or-later
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <lv2/core/lv2.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <vector>

#include "Parameters.h"
#include "Signals.h"
#include "TriBandDistortion.h"
#include "UnitValues.h"

// The LV2 edition as a host loads it, from its bundle's binary: whatever a
// host writes into a control port, the output stays finite and within what
// the port's range can give, and activation starts afresh.

namespace {

constexpr uint32_t kControls = 15;
constexpr uint32_t kTypePorts[3] = {6, 7, 8};
constexpr double kRate = 44100.0;
constexpr uint32_t kFrames = 4410;
// Three bands at full gain, a doubling curve and a resonant filter: the most
// the ranges allow stays well below this (the hostile values gave +129 dBFS).
constexpr float kMostAmplitude = 32.0f;

class Lv2Plugin {
public:
  Lv2Plugin() {
    library = dlopen(TRIBAND_LV2_BINARY, RTLD_NOW | RTLD_LOCAL);
    if (!library) return;
    auto entry = reinterpret_cast<const LV2_Descriptor* (*)(uint32_t)>(dlsym(library, "lv2_descriptor"));
    descriptor = entry ? entry(0) : nullptr;
  }
  ~Lv2Plugin() {
    if (library) dlclose(library);
  }
  const LV2_Descriptor* descriptor = nullptr;

private:
  void* library = nullptr;
};

/// One instance with its ports connected: controls at the defaults, stereo in and out.
class Instance {
public:
  explicit Instance(const LV2_Descriptor* descriptor)
      : d(descriptor), handle(d->instantiate(d, kRate, TRIBAND_LV2_BUNDLE, nullptr)) {
    for (uint32_t i = 0; i < kControls; ++i) d->connect_port(handle, i, &controls[i]);
    d->connect_port(handle, kControls, in.left.data());
    d->connect_port(handle, kControls + 1, in.right.data());
    d->connect_port(handle, kControls + 2, out.left.data());
    d->connect_port(handle, kControls + 3, out.right.data());
    d->activate(handle);
  }
  ~Instance() {
    d->deactivate(handle);
    d->cleanup(handle);
  }
  void run(const Stereo& signal) {
    std::copy(signal.left.begin(), signal.left.end(), in.left.begin());
    std::copy(signal.right.begin(), signal.right.end(), in.right.begin());
    d->run(handle, kFrames);
  }

  const LV2_Descriptor* d;
  LV2_Handle handle;
  float controls[kControls] = {700, 4350, 7000, 70, 70, 70, 1, 1, 1, 0, 0, 0, 0, 0, 0};
  Stereo in{kFrames}, out{kFrames};
};

}  // namespace

TEST(Lv2Edition, AnyValueInAnyPortGivesFiniteBoundedOutputWithEveryCurve) {
  Lv2Plugin plugin;
  ASSERT_NE(plugin.descriptor, nullptr) << dlerror();
  const float hostile[] = {-FLT_MAX, -1e30f,   -1.0f,    -0.0001f, -0.0f,   -1e-40f,  1e-40f,    150.0f,
                           200.0f,   22100.0f, 30000.0f, 1e30f,    FLT_MAX, INFINITY, -INFINITY, NAN};
  const Stereo signal = sineAndNoise(kFrames, 0.5f);
  for (float curve = 1; curve <= 5; ++curve)
    for (uint32_t port = 0; port < kControls; ++port)
      for (float value : hostile) {
        Instance instance(plugin.descriptor);
        for (uint32_t t : kTypePorts) instance.controls[t] = curve;
        instance.controls[9] = instance.controls[10] = instance.controls[11] = 40.0f;
        instance.controls[port] = value;
        instance.run(signal);
        instance.run(signal);
        for (const std::vector<float>* channel : {&instance.out.left, &instance.out.right})
          for (float s : *channel)
            ASSERT_TRUE(std::isfinite(s) && std::fabs(s) < kMostAmplitude)
                << "port " << port << " at " << value << ", curve " << curve << ": " << s;
      }
}

TEST(Lv2Edition, PortValuesPastTheRangeActAsItsEndsAndNanChangesNothing) {
  Lv2Plugin plugin;
  ASSERT_NE(plugin.descriptor, nullptr) << dlerror();
  const Stereo signal = sineAndNoise(kFrames, 0.5f);
  const auto rendered = [&](uint32_t port, float value) {
    Instance instance(plugin.descriptor);
    instance.controls[port] = value;
    instance.run(signal);
    return instance.out;
  };
  EXPECT_EQ(rendered(2, 1e30f).left, rendered(2, 20000.0f).left);
  EXPECT_EQ(rendered(9, -1.0f).left, rendered(9, 0.0f).left);
  EXPECT_EQ(rendered(12, 40.0f).left, rendered(12, 6.0206f).left);
  EXPECT_EQ(rendered(1, NAN).left, rendered(1, 4350.0f).left);
}

TEST(Lv2Edition, ActivationStartsAfreshAsANewInstance) {
  Lv2Plugin plugin;
  ASSERT_NE(plugin.descriptor, nullptr) << dlerror();
  const Stereo quiet = sineAndNoise(kFrames, 0.1f);
  for (float curve = 2; curve <= 4; ++curve) {
    Instance used(plugin.descriptor), fresh(plugin.descriptor);
    for (uint32_t t : kTypePorts) used.controls[t] = fresh.controls[t] = curve;
    // One loud sample raises the fuzz curves' running peaks for good...
    Stereo loud(kFrames);
    loud.left[0] = loud.right[0] = 2.0f;
    used.run(loud);
    // ...until the host deactivates and activates the instance.
    used.d->deactivate(used.handle);
    used.d->activate(used.handle);
    used.run(quiet);
    fresh.run(quiet);
    EXPECT_EQ(used.out.left, fresh.out.left) << "curve " << curve;
    EXPECT_EQ(used.out.right, fresh.out.right) << "curve " << curve;
  }
}

// The LV2 edition against the record edition, bit for bit, as hosts drive
// it: control changes between run() calls of any length (0 included),
// deactivation and activation (a fresh effect, whose port values are applied
// again), a control port left unconnected (its parameter keeps its default),
// and the output written over the input.
TEST(Lv2Edition, EqualsTheRecordEditionWhateverTheHostDoes) {
  Lv2Plugin plugin;
  ASSERT_NE(plugin.descriptor, nullptr) << dlerror();
  std::mt19937 rng(7);
  const auto pick = [&rng](uint32_t count) { return std::uniform_int_distribution<uint32_t>(0, count - 1)(rng); };
  for (int round = 0; round < 8; ++round) {
    const uint32_t unconnected = pick(kControls);
    const bool inPlace = round % 2 == 1;
    float controls[kControls];
    for (uint32_t i = 0; i < kControls; ++i) controls[i] = units::unitValue(i, param::kTable[i].defaultValue);
    std::vector<float> left(4096), right(4096), outLeft(4096), outRight(4096);
    const LV2_Descriptor* d = plugin.descriptor;
    LV2_Handle lv2 = d->instantiate(d, kRate, TRIBAND_LV2_BUNDLE, nullptr);
    for (uint32_t i = 0; i < kControls; ++i)
      if (i != unconnected) d->connect_port(lv2, i, &controls[i]);
    d->connect_port(lv2, kControls, left.data());
    d->connect_port(lv2, kControls + 1, right.data());
    d->connect_port(lv2, kControls + 2, inPlace ? left.data() : outLeft.data());
    d->connect_port(lv2, kControls + 3, inPlace ? right.data() : outRight.data());
    d->activate(lv2);
    auto record = std::make_unique<TriBandDistortion>(nullptr);
    const auto applyAll = [&] {
      for (uint32_t i = 0; i < kControls; ++i)
        if (i != unconnected) record->setParameter(static_cast<int32_t>(i), units::normalised(i, controls[i]));
    };
    applyAll();
    Stereo signal = sineAndNoise(200000, 0.6f, static_cast<uint32_t>(round + 1));
    size_t at = 0;
    for (int step = 0; step < 120 && at < signal.frames(); ++step) {
      switch (pick(6)) {
        case 0: {  // a control changes to anywhere in its range
          const uint32_t i = pick(kControls);
          const units::Range r = units::range(static_cast<int32_t>(i));
          const float t = std::uniform_real_distribution<float>(0.0f, 1.0f)(rng);
          controls[i] = param::kindOf(param::kTable[i].kind).stepped
                            ? std::round(r.minimum + t * (r.maximum - r.minimum))
                            : r.minimum + t * (r.maximum - r.minimum);
          if (i != unconnected) record->setParameter(static_cast<int32_t>(i), units::normalised(i, controls[i]));
          break;
        }
        case 1:  // deactivate and activate: a fresh effect on both sides
          d->deactivate(lv2);
          d->activate(lv2);
          record = std::make_unique<TriBandDistortion>(nullptr);
          applyAll();
          break;
        default: break;
      }
      const uint32_t frames =
          std::min<uint32_t>(pick(4) == 0 ? 0 : pick(1500), static_cast<uint32_t>(signal.frames() - at));
      std::copy_n(signal.left.begin() + at, frames, left.begin());
      std::copy_n(signal.right.begin() + at, frames, right.begin());
      std::vector<float> expectedLeft(frames), expectedRight(frames);
      float* in[2] = {left.data(), right.data()};
      float* out[2] = {expectedLeft.data(), expectedRight.data()};
      record->processReplacing(in, out, static_cast<int32_t>(frames));
      d->run(lv2, frames);
      const float* gotLeft = inPlace ? left.data() : outLeft.data();
      const float* gotRight = inPlace ? right.data() : outRight.data();
      // Bit for bit; an empty vector's data may be null, which memcmp must not get.
      const auto sameBits = [frames](const float* a, const float* b) {
        return frames == 0 || std::memcmp(a, b, frames * sizeof(float)) == 0;
      };
      ASSERT_TRUE(sameBits(gotLeft, expectedLeft.data())) << "round " << round << ", step " << step;
      ASSERT_TRUE(sameBits(gotRight, expectedRight.data())) << "round " << round << ", step " << step;
      at += frames;
    }
    d->deactivate(lv2);
    d->cleanup(lv2);
  }
}
