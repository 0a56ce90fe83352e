// SPDX-License-Identifier: GPL-3.0-or-later
#include "UnitValues.h"

#include <cmath>

#include "ParameterSide.h"
#include "Parameters.h"

namespace units {

namespace {

constexpr double kPercent = 100.0;
constexpr float kTypeValues[] = {0.0f, 0.2f, 0.4f, 0.6f, 0.8f};  // selectors 1..5
constexpr int kTypes = curve::kCount;
static_assert(sizeof kTypeValues / sizeof kTypeValues[0] == kTypes, "a Disto Type value for every curve");

}  // namespace

Range range(int32_t index) {
  if (!param::isKnown(index)) return {0.0f, 0.0f};
  const param::Info& p = param::kTable[index];
  switch (p.kind) {
    case param::Kind::cutoff: {
      const CutoffMapping& m = kCutoffMappings[p.band];
      return {m.baseHz, m.frequency(1.0f)};
    }
    case param::Kind::q:
    case param::Kind::threshold: return {0.0f, static_cast<float>(kPercent)};
    case param::Kind::distoType: return {1.0f, static_cast<float>(kTypes)};
    case param::Kind::gain: return {kGainOffDecibels, kGainMaxDecibels};
    case param::Kind::choice: return {0.0f, static_cast<float>(p.choiceCount - 1)};
    case param::Kind::mix: return {0.0f, static_cast<float>(kPercent)};
    case param::Kind::level: return {kLevelMinDecibels, kLevelMaxDecibels};
  }
  return {0.0f, 0.0f};
}

float normalised(int32_t index, float unitValue) {
  if (!param::isKnown(index)) return 0.0f;
  const param::Info& p = param::kTable[index];
  const Range r = range(index);
  const double u = static_cast<double>(unitValue < r.minimum   ? r.minimum
                                       : unitValue > r.maximum ? r.maximum
                                                               : unitValue);
  switch (p.kind) {
    case param::Kind::cutoff: {
      const CutoffMapping& m = kCutoffMappings[p.band];
      return static_cast<float>((u - static_cast<double>(m.baseHz)) / static_cast<double>(m.spanHz));
    }
    case param::Kind::q:
    case param::Kind::threshold: return static_cast<float>(u / kPercent);
    case param::Kind::distoType: {
      long selector = std::lround(u);
      if (selector < 1) selector = 1;
      if (selector > kTypes) selector = kTypes;
      return kTypeValues[selector - 1];
    }
    case param::Kind::gain: {
      if (!(u > static_cast<double>(kGainOffDecibels))) return 0.0f;
      const double v = std::pow(10.0, u / 20.0) / 2.0;
      return v >= 1.0 ? 1.0f : static_cast<float>(v);
    }
    case param::Kind::choice: return param::valueOfChoice(p, static_cast<int32_t>(std::lround(u)));
    case param::Kind::mix: return static_cast<float>(u / kPercent);
    case param::Kind::level:
      return static_cast<float>((u - static_cast<double>(kLevelMinDecibels)) /
                                (static_cast<double>(kLevelMaxDecibels) - static_cast<double>(kLevelMinDecibels)));
  }
  return 0.0f;
}

float unitValue(int32_t index, float normalisedValue) {
  if (!param::isKnown(index)) return 0.0f;
  const param::Info& p = param::kTable[index];
  const double v = static_cast<double>(normalisedValue);
  switch (p.kind) {
    case param::Kind::cutoff: return kCutoffMappings[p.band].frequency(normalisedValue);
    case param::Kind::q:
    case param::Kind::threshold: return static_cast<float>(v * kPercent);
    case param::Kind::distoType: {
      const int32_t selector = ParameterSide::curveSelectorFromType(normalisedValue);
      return static_cast<float>(selector == 0 ? 1 : selector);
    }
    case param::Kind::gain: return v <= 0.0 ? kGainOffDecibels : static_cast<float>(20.0 * std::log10(2.0 * v));
    case param::Kind::choice: return static_cast<float>(param::choiceOf(p, normalisedValue));
    case param::Kind::mix: return static_cast<float>(v * kPercent);
    case param::Kind::level: return levelDecibels(normalisedValue);
  }
  return 0.0f;
}

float levelDecibels(float normalisedValue) {
  constexpr double kStepsPerDecibel = 100.0;
  const double lowest = static_cast<double>(kLevelMinDecibels);
  const double span = static_cast<double>(kLevelMaxDecibels) - lowest;
  const double v = normalisedValue > 1.0f ? 1.0 : normalisedValue >= 0.0f ? static_cast<double>(normalisedValue) : 0.0;
  return static_cast<float>(std::round(v * span * kStepsPerDecibel) / kStepsPerDecibel + lowest);
}

float levelFactor(float normalisedValue) {
  return static_cast<float>(std::pow(10.0, static_cast<double>(levelDecibels(normalisedValue)) / 20.0));
}

}  // namespace units
