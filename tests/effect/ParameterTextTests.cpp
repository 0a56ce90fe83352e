// SPDX-License-Identifier: GPL-3.0-or-later
#include <cstring>

#include "EffectFixture.h"

namespace {

struct Shown {
  int32_t index;
  float value;
  const char* text;
};

}  // namespace

TEST_F(EffectTest, NamesAndLabels) {
  const char* names[15] = {" Low Cutoff ",      " Mid Cutoff ",  " High Cutoff ",    " Low Q ",
                           " Mid Q ",           " High Q ",      " Low Disto Type ", " Mid Disto Type ",
                           " High Disto Type ", " L Threshold ", " M Threshold ",    " H Threshold ",
                           " Low Gain ",        " Mid Gain ",    " High Gain "};
  for (int32_t i = 0; i < 15; ++i) EXPECT_EQ(host.text(effGetParamName, i), names[i]) << i;
  EXPECT_EQ(host.text(effGetParamLabel, 0), "   Hz   ");
  EXPECT_EQ(host.text(effGetParamLabel, 3), "   %    ");
  EXPECT_EQ(host.text(effGetParamLabel, 6), "        ");
  EXPECT_EQ(host.text(effGetParamLabel, 11), "   %    ");
  EXPECT_EQ(host.text(effGetParamLabel, 12), "   dB   ");
}

TEST_F(EffectTest, TextRequestsWithoutABufferAreAnsweredZero) {
  for (int32_t opcode = effSetProgramName; opcode <= effGetParamName; ++opcode)
    EXPECT_EQ(host.dispatch(opcode, 1, 0, nullptr), 0) << opcode;
  EXPECT_EQ(host.text(effGetParamName, 1), " Mid Cutoff ");
}

TEST_F(EffectTest, TextsOfUnknownIndicesLeaveTheBufferAlone) {
  const std::string untouched(255, '#');
  EXPECT_EQ(host.text(effGetParamName, 15), untouched);
  EXPECT_EQ(host.text(effGetParamLabel, -1), untouched);
  EXPECT_EQ(host.text(effGetParamDisplay, 15), untouched);
}

TEST_F(EffectTest, DisplaysAfterConstruction) {
  const char* shown[15] = {"700",  "4350", "7000", "70", "70",       "70",       "soft",    "soft",
                           "soft", "0",    "0",    "0",  "0.000000", "0.000000", "0.000000"};
  for (int32_t i = 0; i < 15; ++i) EXPECT_EQ(host.text(effGetParamDisplay, i), shown[i]) << i;
}

TEST_F(EffectTest, DisplaysOfSetValues) {
  const Shown cases[] = {
      {0, 0.0f, "25"},        {0, 0.5f, "363"},       {0, 1.0f, "700"},        {1, 1.0f, "8000"},
      {2, 1.0f, "20000"},     {9, 0.5f, "50"},        {10, 1.0f, "100"},       {11, 0.123f, "12"},
      {9, 0.004f, ""},        {10, 0.0f, "0"},        {11, -0.5f, "50"},       {8, 1.0f, "arnarchik"},
      {6, 1.0f, "anarchik"},  {7, 0.8f, "anarchik"},  {6, 0.2f, "fuzz atan"},  {7, 0.4f, "fuzz exp"},
      {8, 0.6f, "fuzz sqrt"}, {12, 0.0f, "  -oo   "}, {13, 0.25f, "-6.02059"}, {14, 1.0f, "6.020599"},
      {12, 0.5f, "0.000000"}, {0, 1e30f, " Huge!  "},
  };
  for (const Shown& c : cases) {
    host.set(c.index, c.value);
    EXPECT_EQ(host.text(effGetParamDisplay, c.index), c.text) << c.index << " = " << c.value;
  }
}

TEST_F(EffectTest, TextsStayWithinTheirLengths) {
  // The longest name is 17 characters, the longest display the 9 of
  // "arnarchik" and every label 8: the text
  // is terminated within that length and the sentinel right after the
  // terminating zero survives.
  const auto expectWithin = [this](int32_t opcode, int32_t index, size_t longest) {
    char buffer[64];
    std::memset(buffer, '#', sizeof buffer);
    host.dispatch(opcode, index, 0, buffer);
    const void* zero = std::memchr(buffer, '\0', longest + 1);
    ASSERT_NE(zero, nullptr) << opcode << " " << index;
    const size_t length = static_cast<size_t>(static_cast<const char*>(zero) - buffer);
    EXPECT_EQ(buffer[length + 1], '#') << opcode << " " << index;
  };
  for (float value : {0.0f, 0.004f, 0.5f, 1.0f, -1e30f, 1e30f}) {
    for (int32_t i = 0; i < 15; ++i) {
      host.set(i, value);
      expectWithin(effGetParamName, i, 17);
      expectWithin(effGetParamLabel, i, 8);
      expectWithin(effGetParamDisplay, i, 9);
    }
  }
  EXPECT_EQ(host.text(effGetParamDisplay, 0), " Huge!  ");
}
