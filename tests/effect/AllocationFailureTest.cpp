// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <new>

#include "EffectBase.h"
#include "FakeHost.h"

// This program replaces the nothrow allocation so it can refuse on demand.
namespace {
bool refuseAllocation = false;
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  if (refuseAllocation) return nullptr;
  return ::operator new(size);  // paired with the ordinary delete the effect's close uses
}

TEST(Entry, ARefusedAllocationReachesTheHostAsNull) {
  FakeHost::reset();
  refuseAllocation = true;
  EXPECT_EQ(createPlugin(FakeHost::callback), nullptr);
  refuseAllocation = false;
  AEffect* effect = createPlugin(FakeHost::callback);
  ASSERT_NE(effect, nullptr);
  EXPECT_EQ(effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f), 1);
}
