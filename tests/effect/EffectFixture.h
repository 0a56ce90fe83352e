// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gtest/gtest.h>

#include <cstring>

#include "EffectBase.h"
#include "FakeHost.h"

/// A fresh effect from the entry point, driven through its record.
class EffectTest : public ::testing::Test {
protected:
  void SetUp() override {
    FakeHost::reset();
    AEffect* effect = createPlugin(FakeHost::callback);
    ASSERT_NE(effect, nullptr);
    host.effect = effect;
  }
  void TearDown() override {
    if (host.effect) {
      EXPECT_EQ(host.close(), 1);
    }
  }

  static uint32_t bits(float value) {
    uint32_t b;
    std::memcpy(&b, &value, sizeof b);
    return b;
  }

  RecordDriver host{nullptr};
};
