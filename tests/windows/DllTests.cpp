// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "FakeHost.h"
#include "ReferenceBlock.h"
#include "ReferenceBlockData.h"

// The DLL as a Windows host loads it: by name from the program's folder,
// its entry found by name and by ordinal 1.

namespace {

using Entry = AEffect* (*)(audioMasterCallback);

class Dll : public ::testing::Test {
protected:
  void SetUp() override {
    library = LoadLibraryA("TriBandDistortion.dll");
    ASSERT_NE(library, nullptr) << "LoadLibrary failed: " << GetLastError();
  }
  void TearDown() override { FreeLibrary(library); }

  Entry entry(const char* name) {
    // Through void*: FARPROC and the entry type are unrelated function types.
    return reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(library, name)));
  }

  HMODULE library = nullptr;
};

// Distance in float steps between two finite floats of the same sign.
int64_t ulps(float a, float b) {
  int32_t ia, ib;
  std::memcpy(&ia, &a, sizeof a);
  std::memcpy(&ib, &b, sizeof b);
  if ((ia < 0) != (ib < 0)) return a == b ? 0 : INT32_MAX;
  return ia > ib ? int64_t{ia} - ib : int64_t{ib} - ia;
}

}  // namespace

TEST_F(Dll, MainIsOrdinalOneAndVSTPluginMainTheSameFunction) {
  const Entry byName = entry("main");
  ASSERT_NE(byName, nullptr);
  EXPECT_EQ(entry(MAKEINTRESOURCEA(1)), byName);
  EXPECT_EQ(entry("VSTPluginMain"), byName);
}

TEST_F(Dll, RecordDispatcherParametersAndPrograms) {
  FakeHost::reset();
  AEffect* effect = entry("main")(FakeHost::callback);
  ASSERT_NE(effect, nullptr);
  RecordDriver host(effect);
  EXPECT_EQ(sizeof(AEffect), sizeof(void*) == 8 ? 192u : 144u);
  EXPECT_EQ(effect->magic, 0x56737450);
  EXPECT_EQ(effect->numInputs, 2);
  EXPECT_EQ(effect->numOutputs, 2);
  EXPECT_EQ(effect->numPrograms, 16);
  EXPECT_EQ(effect->numParams, 15);
  EXPECT_EQ(effect->flags, 24);
  EXPECT_EQ(effect->uniqueID, 0x51643372);
  EXPECT_EQ(host.dispatch(effIdentify), 0x4E764566);
  EXPECT_EQ(host.dispatch(25), 0);
  EXPECT_EQ(host.dispatch(-1), 0);
  EXPECT_EQ(host.text(effGetParamName, 8), " High Disto Type ");
  EXPECT_EQ(host.text(effGetParamLabel, 12), "   dB   ");
  EXPECT_EQ(host.text(effGetParamDisplay, 1), "4350");
  EXPECT_EQ(host.text(effGetParamDisplay, 14), "0.000000");
  EXPECT_EQ(host.text(effGetProgramName), "--- Default ---");
  host.set(3, 1.0f);
  const float q = host.get(3);
  uint32_t bits;
  std::memcpy(&bits, &q, sizeof bits);
  EXPECT_EQ(bits, 0x3F7AE148u);
  host.set(14, 1.0f);
  EXPECT_EQ(host.text(effGetParamDisplay, 14), "6.020599");
  host.selectProgram(7);
  EXPECT_EQ(host.text(effGetProgramName), "Init 7");
  EXPECT_EQ(host.close(), 1);
}

TEST_F(Dll, ProcessedBlockMatchesTheLinuxBuild) {
  FakeHost::reset();
  RecordDriver host(entry("main")(FakeHost::callback));
  for (const auto& s : reference_block::kSettings) host.set(s.index, s.value);
  std::vector<float> inL, inR, outL(reference_block::kFrames), outR(reference_block::kFrames);
  reference_block::input(inL, inR);
  host.replace(inL.data(), inR.data(), outL.data(), outR.data(), reference_block::kFrames);
  host.close();
  // Equal, or one float step apart where this platform's math library
  // rounds a sine or an exponential differently.
  int64_t worst = 0;
  int differing = 0;
  for (int i = 0; i < reference_block::kFrames; ++i) {
    for (int64_t d : {ulps(outL[i], reference_block::kOutput[0][i]), ulps(outR[i], reference_block::kOutput[1][i])}) {
      worst = d > worst ? d : worst;
      differing += d != 0;
    }
  }
  EXPECT_LE(worst, 1);
  std::printf("processed block: %d of %d samples differ from the Linux build, by at most %lld float step(s)\n",
              differing, 2 * reference_block::kFrames, static_cast<long long>(worst));
}
