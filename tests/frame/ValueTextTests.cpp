// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "RecordingEffect.h"

namespace {

// Every text fits 8 characters and its zero: the sentinel after them survives.
class Texts : public ::testing::Test {
protected:
  template <class Format>
  std::string written(Format format) {
    std::memset(buffer, '#', sizeof buffer);
    format(buffer);
    EXPECT_EQ(buffer[9], '#') << "wrote past the ninth byte";
    EXPECT_LE(std::strlen(buffer), 8u);
    return buffer;
  }
  std::string floatText(float v) {
    return written([&](char* t) { effect.formatFloat(v, t); });
  }
  std::string decibels(float v) {
    return written([&](char* t) { effect.formatDecibels(v, t); });
  }
  std::string integer(int32_t v) {
    return written([&](char* t) { effect.formatInteger(v, t); });
  }

  RecordingEffect effect{nullptr};
  char buffer[32];
};

}  // namespace

TEST_F(Texts, FloatCutsDigitsInsteadOfRounding) {
  EXPECT_EQ(floatText(0.0f), "0.000000");
  EXPECT_EQ(floatText(1.0f), "1.000000");
  EXPECT_EQ(floatText(-1.0f), "-1.00000");
  EXPECT_EQ(floatText(0.7f), "0.699999");
  EXPECT_EQ(floatText(12.5f), "12.50000");
  EXPECT_EQ(floatText(123.456f), "123.4560");
  EXPECT_EQ(floatText(9999999.0f), "9999999.");
  EXPECT_EQ(floatText(-999999.0f), "-999999.");
}

TEST_F(Texts, FloatTooLargeOrNotANumber) {
  EXPECT_EQ(floatText(100000000.0f), " Huge!  ");
  EXPECT_EQ(floatText(-10000000.0f), " Huge!  ");
  EXPECT_EQ(floatText(std::numeric_limits<float>::infinity()), " Huge!  ");
  EXPECT_EQ(floatText(-std::numeric_limits<float>::infinity()), " Huge!  ");
  // Whole parts the width cannot hold show the overflow text rather than
  // silently losing their leading digits.
  EXPECT_EQ(floatText(12345678.0f), " Huge!  ");
  EXPECT_EQ(floatText(-1234567.0f), " Huge!  ");
  EXPECT_EQ(floatText(std::numeric_limits<float>::quiet_NaN()), "  NaN   ");
}

TEST_F(Texts, Decibels) {
  EXPECT_EQ(decibels(1.0f), "0.000000");
  EXPECT_EQ(decibels(2.0f), "6.020599");
  EXPECT_EQ(decibels(0.5f), "-6.02059");
  EXPECT_EQ(decibels(0.0f), "  -oo   ");
  EXPECT_EQ(decibels(-1.0f), "  -oo   ");
  EXPECT_EQ(decibels(std::numeric_limits<float>::quiet_NaN()), "  -oo   ");
}

TEST_F(Texts, HertzAndMillisecondsUseTheSampleRate) {
  EXPECT_EQ(written([&](char* t) { effect.formatHertz(100.0f, t); }), "441.0000");
  EXPECT_EQ(written([&](char* t) { effect.formatHertz(0.0f, t); }), "0.000000");
  EXPECT_EQ(written([&](char* t) { effect.formatMilliseconds(441.0f, t); }), "10.00000");
  effect.setSampleRate(0.0f);
  EXPECT_EQ(written([&](char* t) { effect.formatMilliseconds(441.0f, t); }), " Huge!  ");
}

TEST_F(Texts, Integers) {
  EXPECT_EQ(integer(5), "      5");
  EXPECT_EQ(integer(-5), "     -5");
  EXPECT_EQ(integer(99999999), "99999999");
  EXPECT_EQ(integer(100000000), " Huge!  ");
  EXPECT_EQ(integer(-9999999), "-9999999");
  EXPECT_EQ(integer(-10000000), " Huge!  ");
  EXPECT_EQ(integer(INT32_MIN), " Huge!  ");
}
