// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "KernelSetParam.h"
#if defined(TRIBAND_WIDE_STAND_IN)
#include "WideStandIn.h"
#endif

// No kernel set ships without running: each set this build carries runs in
// the tests natively, or, where the processor lacks its instructions, its
// formula runs as a portable stand-in of the same width.

const KernelSet* const* standIns(int& count) noexcept {
#if defined(TRIBAND_WIDE_STAND_IN)
  static const KernelSet* const kStandIns[] = {&wideStandIn()};
  count = 1;
  return kStandIns;
#else
  count = 0;
  return nullptr;
#endif
}

TEST(KernelSets, EveryCompiledSetRunsNativelyOrAsAPortableStandIn) {
  int count = 0, standInCount = 0;
  const KernelSet* const* sets = kernels::all(count);
  const KernelSet* const* stands = standIns(standInCount);
  for (int i = 0; i < count; ++i) {
    const std::string name = sets[i]->name;
    std::string how = "not at all";
    if (sets[i]->runsHere()) {
      how = "natively";
    } else {
      for (int s = 0; s < standInCount; ++s)
        if (stands[s]->name == name + "-portable" && stands[s]->runsHere()) how = "as a portable stand-in";
    }
    std::printf("kernel set %-7s runs %s\n", name.c_str(), how.c_str());
    EXPECT_NE(how, "not at all") << "the " << name << " kernels are built but no test runs their formula here";
  }
}
