// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "FakeHost.h"
#include "KernelSetParam.h"
#include "Signals.h"
#include "TriBandDistortion.h"

namespace {

constexpr float kFuzzExpType = 0.5f;

}  // namespace

// Every kernel set writes what replaces the host's samples in the normal
// range itself, so each is held to it.
class NormalOutput : public KernelSetTest {
protected:
  void SetUp() override {
    KernelSetTest::SetUp();
    if (IsSkipped()) return;
    FakeHost::reset();
    host.effect = createPlugin(FakeHost::callback);
    static_cast<TriBandDistortion*>(EffectBase::fromRecord(host.effect))->useKernelSet(set());
  }
  void TearDown() override {
    if (host.effect) host.close();
  }
  Stereo replace(Stereo in) {
    Stereo out(in.frames());
    // Blocks of several lengths, so every kernel's short-block path writes too.
    for (size_t at = 0, n = 1; at < in.frames(); at += n, n = n * 3 % 700 + 1) {
      const auto count = static_cast<int32_t>(std::min(n, in.frames() - at));
      host.replace(&in.left[at], &in.right[at], &out.left[at], &out.right[at], count);
    }
    return out;
  }
  RecordDriver host{nullptr};
};

TEST_P(NormalOutput, NoSampleLeavesBelowTheFloatsNormalRange) {
  // Gains this small put the mix of ordinary bands below the normal range;
  // and as loud bands ring out into silence their sum crosses it too.
  for (int32_t gain = 12; gain <= 14; ++gain) host.set(gain, 1e-38f);
  Stereo noise = sineAndNoise(2048, 0.9f, 5);
  const Stereo tiny = replace(noise);
  for (int32_t gain = 12; gain <= 14; ++gain) host.set(gain, 0.5f);
  for (int32_t b = 0; b < 3; ++b) {
    host.set(6 + b, kFuzzExpType);
    host.set(9 + b, 0.8f);
  }
  const Stereo ringing = replace(noise), silence = replace(Stereo(20000));
  size_t zeros = 0;
  for (const Stereo* s : {&tiny, &ringing, &silence})
    for (const std::vector<float>* channel : {&s->left, &s->right})
      for (float x : *channel) {
        ASSERT_TRUE(x == 0.0f || std::fabs(x) >= std::numeric_limits<float>::min()) << x;
        zeros += x == 0.0f;
      }
  EXPECT_GT(zeros, 0u);  // the tiny mix became zero rather than vanishing from the test
}

TRIBAND_FOR_EVERY_KERNEL_SET(NormalOutput);
