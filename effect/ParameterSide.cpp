// SPDX-License-Identifier: GPL-3.0-or-later
#include "ParameterSide.h"

#include <cmath>

#include "UnitValues.h"

using param::Kind;

ParameterSide::Value ParameterSide::*const ParameterSide::kWorkingValue[param::count] = {
    &ParameterSide::lowCutoff,    &ParameterSide::midCutoff,    &ParameterSide::highCutoff,
    &ParameterSide::lowQ,         &ParameterSide::midQ,         &ParameterSide::highQ,
    &ParameterSide::lowDistoType, &ParameterSide::midDistoType, &ParameterSide::highDistoType,
    &ParameterSide::lowThreshold, &ParameterSide::midThreshold, &ParameterSide::highThreshold,
    &ParameterSide::lowGain,      &ParameterSide::midGain,      &ParameterSide::highGain,
};
ParameterSide::Value ParameterSide::*const ParameterSide::kDrive[param::kBands] = {
    &ParameterSide::lowDrive, &ParameterSide::midDrive, &ParameterSide::highDrive};
ParameterSide::Value ParameterSide::*const ParameterSide::kGainFactor[param::kBands] = {
    &ParameterSide::lowGainFactor, &ParameterSide::midGainFactor, &ParameterSide::highGainFactor};
ParameterSide::Selector ParameterSide::*const ParameterSide::kCurve[param::kBands] = {
    &ParameterSide::lowCurve, &ParameterSide::midCurve, &ParameterSide::highCurve};

// The low band's Q is limited from above, the others from below; the
// comparisons are made in double.
float ParameterSide::limitedQ(int band, float value) {
  constexpr double kLowQLimit = 0.98;
  constexpr double kBandQLimit = 0.01;
  constexpr float kLowQLimitValue = 0.98f;   // 0x3F7AE148
  constexpr float kBandQLimitValue = 0.01f;  // 0x3C23D70A
  if (band == param::low) return static_cast<double>(value) >= kLowQLimit ? kLowQLimitValue : value;
  return static_cast<double>(value) <= kBandQLimit ? kBandQLimitValue : value;
}

ParameterSide::ParameterSide() {
  for (int32_t i = param::count; i < param::allCount; ++i)
    options[i - param::count].store(param::kTable[i].defaultValue, std::memory_order_relaxed);
}

int32_t ParameterSide::curveSelectorFromType(float type) {
  constexpr float curveStep = 0.2f;  // 0x3E4CCCCD: one curve's share of a Disto Type value
  const double v = static_cast<double>(type);
  const double step = static_cast<double>(curveStep);
  if (!(v >= 0.0 && v <= 1.0)) return 0;
  if (v < step) return curve::soft;
  if (v < 2.0 * step) return curve::fuzzAtan;
  if (v < 3.0 * step) return curve::fuzzExp;
  if (v < 4.0 * step) return curve::fuzzSqrt;
  return curve::anarchik;
}

float ParameterSide::driveFromThreshold(float threshold) {
  const double t = static_cast<double>(threshold);
  if (t <= 0.5) return static_cast<float>(1.5 + 50.0 * t);
  return static_cast<float>(50.0 + 300.0 * (t - 0.5));
}

void ParameterSide::set(int32_t program, int32_t index, float value) {
  if (!std::isfinite(value)) return;
  if (param::isOption(index)) {
    options[index - param::count].store(value, std::memory_order_relaxed);
    if (index == param::output) outputFactor.store(units::levelFactor(value), std::memory_order_relaxed);
    changed();
    return;
  }
  if (!param::isValid(index)) return;
  programs[program].values[index].store(value, std::memory_order_relaxed);
  apply(index, value);
}

float ParameterSide::get(int32_t index) const {
  if (param::isOption(index)) return relaxed(options[index - param::count]);
  return param::isValid(index) ? relaxed(working(index)) : 0.0f;
}

// Loading writes no record but program 0's, so a program change racing with
// automation on another thread never carries one program's values into
// another's record.
void ParameterSide::load(int32_t program) {
  if (program == 0)
    for (int32_t i = 0; i < param::count; ++i)
      programs[0].values[i].store(param::kTable[i].defaultValue, std::memory_order_relaxed);
  for (int32_t i = 0; i < param::count; ++i) apply(i, programs[program].values[i].load(std::memory_order_relaxed));
}

void ParameterSide::apply(int32_t index, float value) {
  const param::Info& p = param::kTable[index];
  float workingValue = value;
  switch (p.kind) {
    case Kind::cutoff: break;  // the audio side designs the filter from the working value
    case Kind::q: workingValue = limitedQ(p.band, value); break;
    case Kind::distoType:
      if (const int32_t selector = curveSelectorFromType(value))
        (this->*kCurve[p.band]).store(selector, std::memory_order_relaxed);
      break;
    case Kind::threshold: (this->*kDrive[p.band]).store(driveFromThreshold(value), std::memory_order_relaxed); break;
    case Kind::gain: (this->*kGainFactor[p.band]).store(value * kGainScale, std::memory_order_relaxed); break;
    case Kind::choice:
    case Kind::mix:
    case Kind::level: break;  // options, which set() keeps apart
  }
  (this->*kWorkingValue[index]).store(workingValue, std::memory_order_relaxed);
  changed();
}

OptionSettings ParameterSide::optionSettings() const {
  const auto choice = [this](param::Index index) {
    return param::choiceOf(param::kTable[index], relaxed(options[index - param::count]));
  };
  OptionSettings o;
  o.bypass = choice(param::bypass) != 0;
  o.hostRateEdges = choice(param::bandEdges) != 0;
  o.mix = std::fmin(std::fmax(relaxed(options[param::mix - param::count]), 0.0f), 1.0f);
  o.outputFactor = relaxed(outputFactor);
  o.oversampling = 1 << choice(param::oversampling);
  o.midSide = choice(param::stereo) != 0;
  return o;
}

BlockSettings ParameterSide::blockSettings() const {
  BlockSettings s;
  for (int b = 0; b < param::kBands; ++b) {
    BandSettings& band = s.bands[b];
    band.frequencyHz = kCutoffMappings[b].frequency(relaxed(working(param::indexOf(Kind::cutoff, b))));
    band.q = relaxed(working(param::indexOf(Kind::q, b)));
    band.curve = (this->*kCurve[b]).load(std::memory_order_relaxed);
    band.threshold = relaxed(working(param::indexOf(Kind::threshold, b)));
    band.drive = relaxed(this->*kDrive[b]);
    band.gainFactor = relaxed(this->*kGainFactor[b]);
  }
  s.options = optionSettings();
  return s;
}
