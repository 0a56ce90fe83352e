#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>

#include "EffectBase.h"
#include "FakeHost.h"
#include "Signals.h"

// A host's interface thread sets parameters and programs while its audio
// thread processes. Run under ThreadSanitizer this proves the two never race;
// here it also checks that the audio stays finite throughout.
TEST(Concurrency, ParameterAndProgramChangesDuringProcessing) {
  FakeHost::reset();
  AEffect* effect = createPlugin(FakeHost::callback);
  ASSERT_NE(effect, nullptr);
  std::atomic<bool> done{false};

  std::thread control([&] {
    uint32_t state = 5;
    for (int round = 0; round < 20000; ++round) {
      state = state * 1664525u + 1013904223u;
      const int32_t index = static_cast<int32_t>(state % 15);
      const float value = static_cast<float>(state >> 8) / 16777216.0f;
      effect->setParameter(effect, index, value);
      effect->getParameter(effect, index);
      if (round % 97 == 0) effect->dispatcher(effect, effSetProgram, 0, round % 16, nullptr, 0.0f);
      if (round % 389 == 0) effect->dispatcher(effect, effMainsChanged, 0, round % 2, nullptr, 0.0f);
      if (round % 50 == 0) {
        char text[64];
        effect->dispatcher(effect, effGetParamDisplay, index, 0, text, 0.0f);
      }
    }
    done = true;
  });

  Stereo in = sineAndNoise(128, 0.8f);
  Stereo out(128);
  float* inputs[2] = {in.left.data(), in.right.data()};
  float* outputs[2] = {out.left.data(), out.right.data()};
  bool finite = true;
  int blocks = 0;
  while (!done || blocks < 100) {
    effect->processReplacing(effect, inputs, outputs, 128);
    for (size_t i = 0; i < 128; ++i) finite = finite && std::isfinite(out.left[i]) && std::isfinite(out.right[i]);
    ++blocks;
  }
  control.join();
  EXPECT_TRUE(finite);
  EXPECT_EQ(effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f), 1);
}
