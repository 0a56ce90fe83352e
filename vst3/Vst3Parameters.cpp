// SPDX-License-Identifier: GPL-3.0-or-later
#include "Vst3Parameters.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "DisplayTexts.h"
#include "ParameterSide.h"
#include "UnitValues.h"

namespace vst3params {

namespace {

using param::Kind;

constexpr const char* kBypassTitle = "Bypass";
constexpr const char* kOnText = "on";
constexpr const char* kOffText = "off";
constexpr double kPercent = 100.0;
// The gain's normalised value at -60 dB: below it the band is as good as off,
// and hosts that keep the value in decibels store it as off.
constexpr double kGainOffValue = 0.0005;

double held(double v) { return v > 1.0 ? 1.0 : v >= 0.0 ? v : 0.0; }  // NaN gives 0
Kind kindOf(vst3::ParamID id) { return param::kTable[id].kind; }

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
  if (info.id == kBypassId) {
    copyTrimmed(kBypassTitle, info.title, 128);
    copyTrimmed(kBypassTitle, info.shortTitle, 128);
    info.stepCount = 1;
    info.defaultNormalizedValue = 0.0;
    info.flags = vst3::kCanAutomate | vst3::kIsBypass;
    return true;
  }
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
  return true;
}

double defaultValue(vst3::ParamID id) {
  if (!isValid(id) || id == kBypassId) return 0.0;
  return param::kTable[id].defaultValue;
}

float engineValue(vst3::ParamID id, double normalised) {
  if (!isValid(id) || id == kBypassId) return 0.0f;
  if (kindOf(id) == Kind::distoType)
    return units::normalised(static_cast<int32_t>(id), static_cast<float>(typeIndex(normalised) + 1));
  return static_cast<float>(held(normalised));
}

bool bypassOn(double normalised) { return normalised >= 0.5; }

double toPlain(vst3::ParamID id, double normalised) {
  if (!isValid(id)) return 0.0;
  const double v = held(normalised);
  if (id == kBypassId) return bypassOn(v) ? 1.0 : 0.0;
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
  }
  return 0.0;
}

double toNormalised(vst3::ParamID id, double plain) {
  if (!isValid(id) || std::isnan(plain)) return 0.0;
  if (id == kBypassId) return plain >= 0.5 ? 1.0 : 0.0;
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
  }
  return 0.0;
}

void text(vst3::ParamID id, double normalised, char* out) {
  out[0] = '\0';
  if (!isValid(id)) return;
  if (id == kBypassId)
    std::strcpy(out, bypassOn(normalised) ? kOnText : kOffText);
  else
    display::text(static_cast<int32_t>(id), engineValue(id, normalised), out);
}

bool fromText(vst3::ParamID id, const char* in, double& normalised) {
  if (!isValid(id) || !in) return false;
  if (id == kBypassId) {
    char word[8] = "";
    std::sscanf(in, " %7s", word);
    for (char& c : word) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const bool on = !std::strcmp(word, kOnText) || !std::strcmp(word, "1");
    const bool off = !std::strcmp(word, kOffText) || !std::strcmp(word, "0");
    if (on == off) return false;
    normalised = on ? 1.0 : 0.0;
    return true;
  }
  float value = 0.0f;
  if (!display::valueOf(static_cast<int32_t>(id), in, value)) return false;
  if (kindOf(id) == Kind::distoType)
    normalised = static_cast<double>(ParameterSide::curveSelectorFromType(value) - 1) / kTypeSteps;
  else
    normalised = value;
  return true;
}

}  // namespace vst3params
