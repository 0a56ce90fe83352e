// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <string>
#include <thread>

#include "EffectBase.h"
#include "FakeHost.h"
#include "Signals.h"

// A host automates parameters on one thread and changes, renames and lists
// programs on another while its audio thread processes. Run under
// ThreadSanitizer this proves the three never race; here it also checks that
// the audio stays finite and that no name is ever read half written.
TEST(Concurrency, AutomationProgramChangesAndRenamesDuringProcessing) {
  FakeHost::reset();
  AEffect* effect = createPlugin(FakeHost::callback);
  ASSERT_NE(effect, nullptr);
  std::atomic<int> running{2};
  std::atomic<bool> namesWhole{true};

  std::thread automation([&] {
    uint32_t state = 5;
    for (int round = 0; round < 20000; ++round) {
      state = state * 1664525u + 1013904223u;
      const int32_t index = static_cast<int32_t>(state % 15);
      effect->setParameter(effect, index, static_cast<float>(state >> 8) / 16777216.0f);
      effect->getParameter(effect, index);
      if (round % 50 == 0) {
        char text[64];
        effect->dispatcher(effect, effGetParamDisplay, index, 0, text, 0.0f);
      }
    }
    --running;
  });

  std::thread programs([&] {
    char first[] = "Crunch all the bands";
    char second[] = "Fuzz";
    for (int round = 0; round < 4000; ++round) {
      effect->dispatcher(effect, effSetProgram, 0, round % 16, nullptr, 0.0f);
      effect->dispatcher(effect, effSetProgramName, 0, 0, round % 2 ? first : second, 0.0f);
      char name[64];
      effect->dispatcher(effect, effGetProgramName, 0, 0, name, 0.0f);
      const std::string read = name;
      const bool whole = read == first || read == second || read == "--- Default ---" || read.rfind("Init ", 0) == 0;
      if (!whole) namesWhole = false;
      effect->dispatcher(effect, effGetProgram, 0, 0, nullptr, 0.0f);
      if (round % 389 == 0) effect->dispatcher(effect, effMainsChanged, 0, round % 2, nullptr, 0.0f);
      if (round % 97 == 0) effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, 48000.0f);
    }
    --running;
  });

  Stereo in = sineAndNoise(128, 0.8f);
  Stereo out(128);
  float* inputs[2] = {in.left.data(), in.right.data()};
  float* outputs[2] = {out.left.data(), out.right.data()};
  bool finite = true;
  int blocks = 0;
  while (running > 0 || blocks < 100) {
    effect->processReplacing(effect, inputs, outputs, 128);
    for (size_t i = 0; i < 128; ++i) finite = finite && std::isfinite(out.left[i]) && std::isfinite(out.right[i]);
    ++blocks;
  }
  automation.join();
  programs.join();
  EXPECT_TRUE(finite);
  EXPECT_TRUE(namesWhole);
  const intptr_t program = effect->dispatcher(effect, effGetProgram, 0, 0, nullptr, 0.0f);
  EXPECT_TRUE(program >= 0 && program < 16);
  EXPECT_EQ(effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f), 1);
}
