// SPDX-License-Identifier: GPL-3.0-or-later
#include "ClapParameters.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "DisplayTexts.h"
#include "ParameterSide.h"
#include "UnitValues.h"

namespace clapparams {

namespace {

bool isType(clap_id id) { return param::kTable[id].kind == param::Kind::distoType; }
bool isChoice(clap_id id) { return param::kTable[id].kind == param::Kind::choice; }
bool isStepped(clap_id id) { return isType(id) || isChoice(id); }
constexpr double kLastType = curve::kCount - 1;

/// The module a host groups a parameter under: its band.
const char* moduleOf(param::Band band) {
  constexpr const char* kModules[] = {"Low", "Mid", "High", ""};
  return kModules[band];
}

void copyTrimmed(const char* from, char* to, size_t size) {
  while (*from == ' ') ++from;
  size_t n = std::min(std::strlen(from), size - 1);
  while (n > 0 && from[n - 1] == ' ') --n;
  std::memcpy(to, from, n);
  to[n] = '\0';
}

}  // namespace

bool describe(uint32_t index, clap_param_info_t& info) {
  if (!isValid(index)) return false;
  std::memset(&info, 0, sizeof info);
  const param::Info& p = param::kTable[index];
  info.id = index;
  info.flags = CLAP_PARAM_IS_AUTOMATABLE;
  if (isStepped(index)) info.flags |= CLAP_PARAM_IS_STEPPED | CLAP_PARAM_IS_ENUM;
  if (index == param::bypass) info.flags |= CLAP_PARAM_IS_BYPASS;
  info.cookie = nullptr;
  copyTrimmed(p.name, info.name, sizeof info.name);
  copyTrimmed(moduleOf(p.band), info.module, sizeof info.module);
  info.min_value = minimum(index);
  info.max_value = maximum(index);
  info.default_value = defaultValue(index);
  return true;
}

double defaultValue(clap_id id) {
  if (!isValid(id)) return 0.0;
  const param::Info& p = param::kTable[id];
  if (isChoice(id)) return param::choiceOf(p, p.defaultValue);
  return isType(id) ? ParameterSide::curveSelectorFromType(p.defaultValue) - 1 : static_cast<double>(p.defaultValue);
}

double minimum(clap_id) { return 0.0; }
double maximum(clap_id id) {
  if (!isValid(id)) return 1.0;
  return isType(id) ? kLastType : isChoice(id) ? param::kTable[id].choiceCount - 1 : 1.0;
}

double held(clap_id id, double value) {
  if (!isValid(id) || std::isnan(value)) return defaultValue(id);
  const double v = std::clamp(value, minimum(id), maximum(id));
  return isStepped(id) ? std::round(v) : v;
}

float engineValue(clap_id id, double value) {
  if (!isValid(id)) return 0.0f;
  const double v = held(id, value);
  if (isType(id)) return units::normalised(static_cast<int32_t>(id), static_cast<float>(v + 1.0));
  if (isChoice(id)) return param::valueOfChoice(param::kTable[id], static_cast<int32_t>(v));
  return static_cast<float>(v);
}

void text(clap_id id, double value, char* out, uint32_t capacity) {
  char shown[display::kTextSize] = "";
  display::text(static_cast<int32_t>(id), engineValue(id, value), shown);
  const size_t n = std::min<size_t>(std::strlen(shown), capacity - 1);
  std::memcpy(out, shown, n);
  out[n] = '\0';
}

bool fromText(clap_id id, const char* in, double& value) {
  float v = 0.0f;
  if (!isValid(id) || !display::valueOf(static_cast<int32_t>(id), in, v)) return false;
  if (isChoice(id))
    value = param::choiceOf(param::kTable[id], v);
  else
    value = isType(id) ? ParameterSide::curveSelectorFromType(v) - 1 : static_cast<double>(v);
  return true;
}

}  // namespace clapparams
