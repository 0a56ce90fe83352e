// SPDX-License-Identifier: GPL-3.0-or-later
#include "DisplayTexts.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "NumberText.h"
#include "ParameterSide.h"
#include "Parameters.h"
#include "UnitValues.h"

namespace display {

namespace {

/// Equal but for case and the spaces around each.
bool sameWord(const char* a, const char* b) {
  while (*a == ' ') ++a;
  while (*b == ' ') ++b;
  for (; *a && *b; ++a, ++b)
    if (std::tolower(static_cast<unsigned char>(*a)) != std::tolower(static_cast<unsigned char>(*b))) break;
  while (*a == ' ') ++a;
  while (*b == ' ') ++b;
  return *a == '\0' && *b == '\0';
}

/// A number, then optionally the parameter's unit; nothing else.
bool readNumber(const char* in, const char* unit, double& number) {
  char* end = nullptr;
  number = std::strtod(in, &end);
  if (end == in || !std::isfinite(number)) return false;
  while (*end == ' ') ++end;
  return *end == '\0' || (*unit && sameWord(end, unit));
}

/// The float nearest `candidate` whose display is `wanted`, within a few
/// steps (a display cuts digits, so the exact inverse can show one digit
/// less); the candidate itself when none shows it.
float matchingDisplay(int32_t index, float candidate, const char* wanted) {
  constexpr int kSteps = 64;
  char shown[kTextSize];
  float up = candidate, down = candidate;
  for (int i = 0; i <= kSteps; ++i) {
    for (float v : {up, down}) {
      if (v < 0.0f || v > 1.0f) continue;
      text(index, v, shown);
      if (sameWord(shown, wanted)) return v;
    }
    up = std::nextafter(up, 2.0f);
    down = std::nextafter(down, -1.0f);
  }
  return candidate;
}

// The options, which the record has not: a choice by name, Mix in whole
// percent, Output in dB to its 0.01 dB steps.
void optionText(const param::Info& p, int32_t index, float value, char* out) {
  switch (p.kind) {
    case param::Kind::choice: std::snprintf(out, kTextSize, "%s", p.choices[param::choiceOf(p, value)]); return;
    case param::Kind::mix:
      std::snprintf(out, kTextSize, "%.0f", static_cast<double>(units::unitValue(index, value)));
      return;
    case param::Kind::level:
      std::snprintf(out, kTextSize, "%.2f", static_cast<double>(units::levelDecibels(value)));
      return;
    default: out[0] = '\0';
  }
}

}  // namespace

void text(int32_t index, float value, char* out) {
  out[0] = '\0';
  if (param::isOption(index)) {
    optionText(param::kTable[index], index, value, out);
    return;
  }
  if (!param::isValid(index)) return;
  char shown[kTextSize] = "";
  ParameterSide::displayOf(index, value, shown);
  const char* from = shown;
  while (*from == ' ') ++from;
  size_t n = std::strlen(from);
  while (n > 0 && from[n - 1] == ' ') --n;
  std::memcpy(out, from, n);
  out[n] = '\0';
  if (n == 0) std::strcpy(out, "0");
}

bool valueOf(int32_t index, const char* in, float& value) {
  if (!param::isKnown(index) || !in) return false;
  const param::Info& p = param::kTable[index];
  if (p.kind == param::Kind::choice) {
    for (int32_t choice = 0; choice < p.choiceCount; ++choice) {
      const char number[2] = {static_cast<char>('0' + choice), '\0'};
      if (sameWord(in, p.choices[choice]) || sameWord(in, number)) {
        value = param::valueOfChoice(p, choice);
        return true;
      }
    }
    return false;
  }
  if (p.kind == param::Kind::distoType) {
    for (int32_t selector = 1; selector <= curve::kCount; ++selector) {
      const curve::Info& c = curve::kTable[selector - 1];
      const char number[2] = {static_cast<char>('0' + selector), '\0'};
      if (sameWord(in, c.name) || sameWord(in, c.highName) || sameWord(in, number)) {
        value = units::normalised(index, static_cast<float>(selector));
        return true;
      }
    }
    return false;
  }
  if (p.kind == param::Kind::gain && sameWord(in, kMinusInfinityText)) {
    value = 0.0f;
    return true;
  }
  double number = 0.0;
  if (!readNumber(in, param::kindOf(p.kind).unit, number)) return false;
  value = matchingDisplay(index, units::normalised(index, static_cast<float>(number)), in);
  return true;
}

}  // namespace display
