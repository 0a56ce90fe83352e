// SPDX-License-Identifier: GPL-3.0-or-later
#include <cmath>
#include <cstdio>
#include <cstring>

#include "ParameterSide.h"
#include "NumberText.h"

using param::Kind;

namespace {

// The nearest whole number of |x|, an exact half rounding up, without sign:
// 362.5 shows 363, and values between 0 and 0.5 show an empty text.
void wholeNumberText(float x, char* text) {
  constexpr double kLargestShown = 99999999.0;  // the 8 characters a host's field holds
  const double v = static_cast<double>(x);
  if (v != v) {
    std::strcpy(text, kNotANumberText);
    return;
  }
  if (v == 0.0) {
    std::strcpy(text, "0");
    return;
  }
  const double n = std::floor(std::fabs(v) + 0.5);
  if (n > kLargestShown) {
    std::strcpy(text, kOverflowText);
    return;
  }
  if (n == 0.0) {
    text[0] = '\0';
    return;
  }
  std::sprintf(text, "%.0f", n);
}

float percent(float v) { return static_cast<float>(100.0 * static_cast<double>(v)); }

}  // namespace

void ParameterSide::getName(int32_t index, char* text) const {
  if (param::isValid(index)) std::strcpy(text, param::kTable[index].name);
}

void ParameterSide::getLabel(int32_t index, char* text) const {
  if (param::isValid(index)) std::strcpy(text, param::kTable[index].label);
}

void ParameterSide::writeDisplay(const param::Info& p, float workingValue, int32_t selector, float gainFactor,
                                 char* text) {
  switch (p.kind) {
    case Kind::cutoff: wholeNumberText(kCutoffMappings[p.band].frequency(workingValue), text); break;
    case Kind::q:
    case Kind::threshold: wholeNumberText(percent(workingValue), text); break;
    case Kind::distoType:
      // A selector outside 1..5 would leave the text as it was; none is ever stored.
      if (selector >= 1 && selector <= curve::kCount) std::strcpy(text, curve::nameOf(selector, p.band));
      break;
    case Kind::gain: writeDecibels(gainFactor, text); break;
    case Kind::choice:
    case Kind::mix:
    case Kind::level: break;  // options have no display in the record
  }
}

void ParameterSide::getDisplay(int32_t index, char* text) const {
  if (!param::isValid(index)) return;
  const param::Info& p = param::kTable[index];
  const int32_t selector = p.kind == Kind::distoType ? (this->*kCurve[p.band]).load(std::memory_order_relaxed) : 0;
  const float gainFactor = p.kind == Kind::gain ? relaxed(this->*kGainFactor[p.band]) : 0.0f;
  writeDisplay(p, relaxed(working(index)), selector, gainFactor, text);
}

void ParameterSide::displayOf(int32_t index, float value, char* text) {
  if (!param::isValid(index)) return;
  const param::Info& p = param::kTable[index];
  writeDisplay(p, p.kind == Kind::q ? limitedQ(p.band, value) : value, curveSelectorFromType(value), value * kGainScale,
               text);
}
