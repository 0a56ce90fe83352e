// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "kernels/KernelSet.h"

/// The kernel sets the tests build themselves: a set's formula over portable
/// lane types, named "<set>-portable", for processors that lack the set's
/// instructions. Defined by the test program that has them.
const KernelSet* const* standIns(int& count) noexcept;

/// A test run once per kernel set of any build, and per stand-in; a set this
/// build lacks, or this processor cannot run, is skipped with a message
/// saying which.
class KernelSetTest : public ::testing::TestWithParam<const char*> {
protected:
  void SetUp() override {
    for (const KernelSet* set : everySet())
      if (std::string(set->name) == GetParam()) {
        if (!set->runsHere()) GTEST_SKIP() << "this processor cannot run the " << GetParam() << " kernels";
        chosen = set;
        return;
      }
    GTEST_SKIP() << "this build has no " << GetParam() << " kernels";
  }
  const KernelSet& set() const { return *chosen; }

  static std::vector<const KernelSet*> everySet() {
    std::vector<const KernelSet*> sets;
    int count = 0;
    const KernelSet* const* built = kernels::all(count);
    sets.assign(built, built + count);
    const KernelSet* const* tested = standIns(count);
    sets.insert(sets.end(), tested, tested + count);
    return sets;
  }

private:
  const KernelSet* chosen = nullptr;
};

#define TRIBAND_FOR_EVERY_KERNEL_SET(suite)                                                                  \
  INSTANTIATE_TEST_SUITE_P(KernelSets, suite,                                                                \
                           ::testing::Values("frames", "sse2", "avx2", "avx512", "avx512-portable", "neon"), \
                           [](const ::testing::TestParamInfo<const char*>& set) {                            \
                             std::string name = set.param;                                                   \
                             std::replace(name.begin(), name.end(), '-', '_');                               \
                             return name;                                                                    \
                           })
