// SPDX-License-Identifier: GPL-3.0-or-later
#include <dlfcn.h>
#include <gtest/gtest.h>

#include "FakeHost.h"

// The built library, loaded the way a host loads it.
TEST(Exports, BothEntryNamesCreateWorkingEffects) {
  void* library = dlopen(TRIBAND_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << dlerror();
  using Entry = AEffect* (*)(audioMasterCallback);
  for (const char* name : {"VSTPluginMain", "main"}) {
    auto entry = reinterpret_cast<Entry>(dlsym(library, name));
    ASSERT_NE(entry, nullptr) << name;
    FakeHost::reset();
    AEffect* effect = entry(FakeHost::callback);
    ASSERT_NE(effect, nullptr) << name;
    ASSERT_EQ(FakeHost::calls().size(), 1u);
    EXPECT_EQ(FakeHost::calls()[0].opcode, audioMasterVersion);
    EXPECT_EQ(FakeHost::calls()[0].effect, nullptr);
    RecordDriver host(effect);
    EXPECT_EQ(effect->magic, 0x56737450);
    EXPECT_EQ(effect->numInputs, 2);
    EXPECT_EQ(effect->numOutputs, 2);
    EXPECT_EQ(effect->numPrograms, 16);
    EXPECT_EQ(effect->numParams, 15);
    EXPECT_EQ(effect->flags, effFlagsCanMono | effFlagsCanReplacing);
    EXPECT_EQ(effect->uniqueID, 0x51643372);  // "Qd3r"
    EXPECT_EQ(host.text(effGetParamName, 8), " High Disto Type ");
    float in[4] = {1, 0, 0, 0}, silent[4] = {}, outL[4], outR[4];
    host.replace(in, silent, outL, outR, 4);
    EXPECT_NEAR(outL[0], 0.77761f, 1e-5f);
    EXPECT_EQ(outR[0], 0.0f);
    EXPECT_EQ(host.close(), 1);
    FakeHost::answer(audioMasterVersion) = 0;
    EXPECT_EQ(entry(FakeHost::callback), nullptr);
    EXPECT_EQ(entry(nullptr), nullptr);
  }
  // Nothing of ours but the two entries is visible.
  EXPECT_EQ(dlsym(library, "createPlugin"), nullptr);
  EXPECT_EQ(dlsym(library, "_Z12createPluginPFlP7AEffectiilPvfE"), nullptr);
  dlclose(library);
}
