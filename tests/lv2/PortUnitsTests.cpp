// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "UnitValues.h"
#include "TriBandDistortion.h"

// The LV2 edition's ports against what the record edition shows: a port
// value goes to the normalised value the record would receive, and the
// record's display of it reads back the port value.

namespace {

constexpr float kDefaults[15] = {700, 4350, 7000, 70, 70, 70, 1, 1, 1, 0, 0, 0, 0, 0, 0};

uint32_t bits(float v) {
  uint32_t b;
  std::memcpy(&b, &v, sizeof b);
  return b;
}

/// What the record edition displays for a normalised value, as a number
/// (the curve's selector for the Disto Types, -60 for "-oo").
double displayed(int32_t index, float normalised) {
  TriBandDistortion effect(nullptr);
  effect.setParameter(index, normalised);
  char text[64] = {};
  effect.getParameterDisplay(index, text);
  const std::string shown = text;
  if (param::kTable[index].kind == param::Kind::distoType) {
    for (int s = 1; s <= curve::kCount; ++s)
      if (shown == curve::nameOf(s, param::kTable[index].band)) return s;
    return 0;
  }
  if (shown == "  -oo   ") return units::kGainOffDecibels;
  return std::strtod(text, nullptr);
}

/// One display step of a parameter: whole units, or the last digit of a dB text.
double stepOf(int32_t index) { return param::kTable[index].kind == param::Kind::gain ? 1.0001e-5 : 1.0; }

}  // namespace

TEST(Lv2Ports, DefaultsGoToTheRecordsDefaultsExactly) {
  for (int32_t i = 0; i < 15; ++i)
    EXPECT_EQ(bits(units::normalised(i, kDefaults[i])), bits(param::kTable[i].defaultValue)) << i;
}

TEST(Lv2Ports, EveryPortValueShowsAsItselfInTheRecordsDisplay) {
  struct Grid {
    int32_t index;
    float from, to, step;
  };
  const Grid grids[] = {
      {0, 25, 700, 25}, {1, 700, 8000, 100}, {2, 7000, 20000, 500}, {3, 0, 98, 7},   {4, 1, 100, 9},
      {5, 1, 100, 11},  {6, 1, 5, 1},        {7, 1, 5, 1},          {8, 1, 5, 1},    {9, 0, 100, 5},
      {10, 0, 100, 10}, {11, 0, 100, 25},    {12, -59, 6, 5},       {13, -30, 6, 3}, {14, -12, 6, 2},
  };
  for (const Grid& g : grids)
    for (float u = g.from; u <= g.to; u += g.step) {
      const float v = units::normalised(g.index, u);
      EXPECT_NEAR(displayed(g.index, v), u, stepOf(g.index)) << g.index << " at " << u;
      EXPECT_NEAR(units::unitValue(g.index, v), u, stepOf(g.index)) << g.index << " at " << u;
    }
}

TEST(Lv2Ports, TheGainPortsEndsAreOffAndTheRecordsFullGain) {
  EXPECT_EQ(units::normalised(12, -60.0f), 0.0f);
  EXPECT_EQ(units::normalised(13, -1000.0f), 0.0f);
  EXPECT_EQ(units::normalised(14, units::kGainMaxDecibels), 1.0f);
  EXPECT_EQ(displayed(12, units::normalised(12, -60.0f)), units::kGainOffDecibels);
}

TEST(Lv2Ports, DistoTypesSelectTheirCurveWhateverTheHostRoundsTo) {
  for (int32_t index : {6, 7, 8}) {
    EXPECT_EQ(ParameterSide::curveSelectorFromType(units::normalised(index, 2.4f)), 2);
    EXPECT_EQ(ParameterSide::curveSelectorFromType(units::normalised(index, 0.0f)), 1);
    EXPECT_EQ(ParameterSide::curveSelectorFromType(units::normalised(index, 9.0f)), 5);
  }
}
