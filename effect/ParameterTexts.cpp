#include <cmath>
#include <cstdio>
#include <cstring>

#include "TriBandDistortion.h"
#include "ValueText.h"

void TriBandDistortion::getParameterName(int32_t index, char* text) {
  if (param::isValid(index)) std::strcpy(text, param::kTable[index].name);
}

void TriBandDistortion::getParameterLabel(int32_t index, char* label) {
  if (param::isValid(index)) std::strcpy(label, param::kTable[index].label);
}

// The nearest whole number of |x|, an exact half rounding up, without sign:
// 362.5 shows 363, and values between 0 and 0.5 show an empty text.
void TriBandDistortion::wholeNumberText(float x, char* text) {
  constexpr double kLargestShown = 99999999.0;  // the 8 characters a host's field holds
  const double v = x;
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

void TriBandDistortion::getParameterDisplay(int32_t index, char* text) {
  if (!param::isValid(index)) return;
  const auto percent = [](float v) { return static_cast<float>(100.0 * static_cast<double>(v)); };
  const auto curveLabel = [text](int32_t selector, const char* const* labels) {
    if (selector >= curve::soft && selector <= curve::anarchik) std::strcpy(text, labels[selector - 1]);
  };
  switch (index) {
    case param::lowCutoff: wholeNumberText(kLowCutoffMapping.frequency(relaxed(lowCutoff)), text); break;
    case param::midCutoff: wholeNumberText(kMidCutoffMapping.frequency(relaxed(midCutoff)), text); break;
    case param::highCutoff: wholeNumberText(kHighCutoffMapping.frequency(relaxed(highCutoff)), text); break;
    case param::lowQ: wholeNumberText(percent(relaxed(lowQ)), text); break;
    case param::midQ: wholeNumberText(percent(relaxed(midQ)), text); break;
    case param::highQ: wholeNumberText(percent(relaxed(highQ)), text); break;
    case param::lowDistoType: curveLabel(lowCurve.load(std::memory_order_relaxed), curve::kLowMidLabels); break;
    case param::midDistoType: curveLabel(midCurve.load(std::memory_order_relaxed), curve::kLowMidLabels); break;
    case param::highDistoType: curveLabel(highCurve.load(std::memory_order_relaxed), curve::kHighLabels); break;
    case param::lowThreshold: wholeNumberText(percent(relaxed(lowThreshold)), text); break;
    case param::midThreshold: wholeNumberText(percent(relaxed(midThreshold)), text); break;
    case param::highThreshold: wholeNumberText(percent(relaxed(highThreshold)), text); break;
    case param::lowGain: formatDecibels(relaxed(lowGainFactor), text); break;
    case param::midGain: formatDecibels(relaxed(midGainFactor), text); break;
    case param::highGain: formatDecibels(relaxed(highGainFactor), text); break;
    default: break;
  }
}
