// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "EffectBase.h"
#include "FakeHost.h"
#include "ReferenceBlock.h"
#include "ReferenceBlockData.h"

// The Windows build is held against this build's output of the reference
// block; this test keeps the kept output true. TRIBAND_WRITE_REFERENCE=FILE
// writes it anew.
TEST(ReferenceBlock, KeptOutputIsThisBuildsOutput) {
  FakeHost::reset();
  RecordDriver host(createPlugin(FakeHost::callback));
  for (const auto& s : reference_block::kSettings) host.set(s.index, s.value);
  std::vector<float> inL, inR, outL(reference_block::kFrames), outR(reference_block::kFrames);
  reference_block::input(inL, inR);
  host.replace(inL.data(), inR.data(), outL.data(), outR.data(), reference_block::kFrames);
  host.close();

  if (const char* path = std::getenv("TRIBAND_WRITE_REFERENCE")) {
    FILE* f = std::fopen(path, "w");
    ASSERT_NE(f, nullptr);
    std::fprintf(f,
                 "// SPDX-License-Identifier: GPL-3.0-or-later\n#pragma once\n\n// Written by ReferenceBlockTest from "
                 "the Linux x86-64 build.\n// clang-format off\n");
    std::fprintf(f, "namespace reference_block {\nconstexpr float kOutput[2][kFrames] = {\n");
    for (const auto* channel : {&outL, &outR}) {
      std::fprintf(f, "    {");
      for (size_t i = 0; i < channel->size(); ++i)
        std::fprintf(f, "%s%a", i ? (i % 6 ? ", " : ",\n     ") : "", static_cast<double>((*channel)[i]));
      std::fprintf(f, "},\n");
    }
    std::fprintf(f, "};\n}  // namespace reference_block\n// clang-format on\n");
    std::fclose(f);
  }
  int differing = 0;
  for (int i = 0; i < reference_block::kFrames; ++i) {
    differing += std::memcmp(&outL[i], &reference_block::kOutput[0][i], sizeof(float)) != 0;
    differing += std::memcmp(&outR[i], &reference_block::kOutput[1][i], sizeof(float)) != 0;
  }
  std::printf("reference block: %d of %d samples differ from the kept Linux x86-64 output\n", differing,
              2 * reference_block::kFrames);
  EXPECT_EQ(std::memcmp(outL.data(), reference_block::kOutput[0], sizeof reference_block::kOutput[0]), 0);
  EXPECT_EQ(std::memcmp(outR.data(), reference_block::kOutput[1], sizeof reference_block::kOutput[1]), 0);
}
