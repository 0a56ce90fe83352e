// SPDX-License-Identifier: GPL-3.0-or-later
#include "Vst3Parameters.h"

#include <cmath>
#include <cstring>

#include "DisplayTexts.h"
#include "ParameterSide.h"
#include "UnitValues.h"

namespace vst3params {

namespace {

using param::Kind;

constexpr double kPercent = 100.0;
// The gain's normalised value at -60 dB: below it the band is as good as off,
// and hosts that keep the value in decibels store it as off.
constexpr double kGainOffValue = 0.0005;
constexpr double kLevelLowest = units::kLevelMinDecibels;
constexpr double kLevelSpan = static_cast<double>(units::kLevelMaxDecibels) - kLevelLowest;

double held(double v) { return v > 1.0 ? 1.0 : v >= 0.0 ? v : 0.0; }  // NaN gives 0
Kind kindOf(vst3::ParamID id) { return param::kTable[id].kind; }

int32_t steps(vst3::ParamID id) { return param::kTable[id].choiceCount - 1; }
int32_t choiceIndex(vst3::ParamID id, double normalised) {
  return static_cast<int32_t>(std::lround(held(normalised) * steps(id)));
}

int32_t typeIndex(double normalised) {
  const int32_t index = static_cast<int32_t>(std::floor(held(normalised) * (kTypeSteps + 1)));
  return index > kTypeSteps ? kTypeSteps : index;
}

void copyTrimmed(const char* from, char16_t* to, int size) {
  while (*from == ' ') ++from;
  int n = 0;
  while (from[n] && n < size - 1) ++n;
  while (n > 0 && from[n - 1] == ' ') --n;
  for (int i = 0; i < n; ++i) to[i] = static_cast<char16_t>(static_cast<unsigned char>(from[i]));
  to[n] = 0;
}

}  // namespace

bool describe(int32_t index, vst3::ParameterInfo& info) {
  if (index < 0 || index >= kCount) return false;
  std::memset(&info, 0, sizeof info);
  info.id = static_cast<vst3::ParamID>(index);
  info.unitId = 0;
  const param::Info& p = param::kTable[index];
  copyTrimmed(p.name, info.title, 128);
  copyTrimmed(p.name, info.shortTitle, 128);
  copyTrimmed(param::kindOf(p.kind).unit, info.units, 128);
  info.defaultNormalizedValue = defaultValue(info.id);
  info.flags = vst3::kCanAutomate;
  if (p.kind == Kind::distoType) {
    info.stepCount = kTypeSteps;
    info.flags |= vst3::kIsList;
  }
  if (p.kind == Kind::choice) {
    info.stepCount = steps(info.id);
    info.flags |= info.id == kBypassId ? vst3::kIsBypass : vst3::kIsList;
  }
  return true;
}

double defaultValue(vst3::ParamID id) {
  return isValid(id) ? static_cast<double>(param::kTable[id].defaultValue) : 0.0;
}

float engineValue(vst3::ParamID id, double normalised) {
  if (!isValid(id)) return 0.0f;
  if (kindOf(id) == Kind::distoType)
    return units::normalised(static_cast<int32_t>(id), static_cast<float>(typeIndex(normalised) + 1));
  if (kindOf(id) == Kind::choice) return param::valueOfChoice(param::kTable[id], choiceIndex(id, normalised));
  return static_cast<float>(held(normalised));
}

double toPlain(vst3::ParamID id, double normalised) {
  if (!isValid(id)) return 0.0;
  const double v = held(normalised);
  const param::Info& p = param::kTable[id];
  switch (p.kind) {
    case Kind::cutoff: {
      const CutoffMapping& m = kCutoffMappings[p.band];
      return static_cast<double>(m.baseHz) + static_cast<double>(m.spanHz) * v;
    }
    case Kind::q:
    case Kind::threshold: return v * kPercent;
    case Kind::distoType: return typeIndex(v) + 1;
    case Kind::gain:
      return v <= kGainOffValue ? static_cast<double>(units::kGainOffDecibels) : 20.0 * std::log10(2.0 * v);
    case Kind::choice: return choiceIndex(id, v);
    case Kind::mix: return v * kPercent;
    case Kind::level: return kLevelLowest + kLevelSpan * v;
  }
  return 0.0;
}

double toNormalised(vst3::ParamID id, double plain) {
  if (!isValid(id) || std::isnan(plain)) return 0.0;
  const param::Info& p = param::kTable[id];
  switch (p.kind) {
    case Kind::cutoff: {
      const CutoffMapping& m = kCutoffMappings[p.band];
      return held((plain - static_cast<double>(m.baseHz)) / static_cast<double>(m.spanHz));
    }
    case Kind::q:
    case Kind::threshold: return held(plain / kPercent);
    case Kind::distoType: {
      const double selector = std::round(plain);
      const double index = (selector < 1.0 ? 1.0 : selector > kTypeSteps + 1 ? kTypeSteps + 1 : selector) - 1.0;
      return index / kTypeSteps;
    }
    case Kind::gain:
      return plain <= static_cast<double>(units::kGainOffDecibels) ? 0.0 : held(std::pow(10.0, plain / 20.0) / 2.0);
    case Kind::choice: return held(std::round(plain) / steps(id));
    case Kind::mix: return held(plain / kPercent);
    case Kind::level: return held((plain - kLevelLowest) / kLevelSpan);
  }
  return 0.0;
}

void text(vst3::ParamID id, double normalised, char* out) {
  out[0] = '\0';
  if (isValid(id)) display::text(static_cast<int32_t>(id), engineValue(id, normalised), out);
}

bool fromText(vst3::ParamID id, const char* in, double& normalised) {
  float value = 0.0f;
  if (!isValid(id) || !in || !display::valueOf(static_cast<int32_t>(id), in, value)) return false;
  if (kindOf(id) == Kind::distoType)
    normalised = static_cast<double>(ParameterSide::curveSelectorFromType(value) - 1) / kTypeSteps;
  else
    normalised = value;
  return true;
}

}  // namespace vst3params
