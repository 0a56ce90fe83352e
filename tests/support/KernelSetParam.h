#pragma once

#include <gtest/gtest.h>

#include <string>

#include "kernels/KernelSet.h"

/// A test run once per kernel set of any build; a set this build lacks, or
/// this processor cannot run, is skipped with a message saying which.
class KernelSetTest : public ::testing::TestWithParam<const char*> {
protected:
  void SetUp() override {
    int count = 0;
    const KernelSet* const* sets = kernels::all(count);
    for (int i = 0; i < count; ++i)
      if (std::string(sets[i]->name) == GetParam()) {
        if (!sets[i]->runsHere()) GTEST_SKIP() << "this processor cannot run the " << GetParam() << " kernels";
        chosen = sets[i];
        return;
      }
    GTEST_SKIP() << "this build has no " << GetParam() << " kernels";
  }
  const KernelSet& set() const { return *chosen; }

private:
  const KernelSet* chosen = nullptr;
};

#define TRIBAND_FOR_EVERY_KERNEL_SET(suite)                                                                  \
  INSTANTIATE_TEST_SUITE_P(KernelSets, suite, ::testing::Values("frames", "sse2", "avx2", "avx512", "neon"), \
                           [](const ::testing::TestParamInfo<const char*>& info) { return std::string(info.param); })
