#include "TriBandDistortion.h"

#include <cmath>
#include <limits>

#include "WideMath.h"

namespace {

bool hasWideMath() {
#if defined(__SSE2__)
  return widemath::available();
#else
  return false;
#endif
}

}  // namespace

TriBandDistortion::Value TriBandDistortion::* const TriBandDistortion::kWorkingValue[param::count] = {
    &TriBandDistortion::lowCutoff,     &TriBandDistortion::midCutoff,     &TriBandDistortion::highCutoff,
    &TriBandDistortion::lowQ,          &TriBandDistortion::midQ,          &TriBandDistortion::highQ,
    &TriBandDistortion::lowDistoType,  &TriBandDistortion::midDistoType,  &TriBandDistortion::highDistoType,
    &TriBandDistortion::lowThreshold,  &TriBandDistortion::midThreshold,  &TriBandDistortion::highThreshold,
    &TriBandDistortion::lowGain,       &TriBandDistortion::midGain,       &TriBandDistortion::highGain,
};

TriBandDistortion::TriBandDistortion(audioMasterCallback audioMaster)
    : EffectBase(audioMaster, kNumPrograms, kNumParams), filterSampleRate(sampleRate), wideMath(hasWideMath()) {
  constexpr float kNotYet = std::numeric_limits<float>::quiet_NaN();
  for (Designed& d : designed) d = {kNotYet, kNotYet, kNotYet};
  setNumInputs(2);
  setNumOutputs(2);
  setUniqueID(fourCharCode('Q', 'd', '3', 'r'));
  setCanMono(true);
  setCanReplacing(true);
  setProgram(0);
  lowFilter.reset();
  midFilter.reset();
  highFilter.reset();
}

TriBandDistortion::~TriBandDistortion() = default;

int32_t TriBandDistortion::curveSelectorFromType(float type) {
  const double v = type;
  const double step = curveStep;
  if (!(v >= 0.0 && v <= 1.0)) return 0;
  if (v < step) return curve::soft;
  if (v < 2.0 * step) return curve::fuzzAtan;
  if (v < 3.0 * step) return curve::fuzzExp;
  if (v < 4.0 * step) return curve::fuzzSqrt;
  return curve::anarchik;
}

float TriBandDistortion::driveFromThreshold(float threshold) {
  const double t = threshold;
  if (t <= 0.5) return static_cast<float>(1.5 + 50.0 * t);
  return static_cast<float>(50.0 + 300.0 * (t - 0.5));
}

void TriBandDistortion::setParameter(int32_t index, float value) {
  constexpr double kLowQLimit = 0.98;
  constexpr double kBandQLimit = 0.01;
  constexpr float kLowQLimitValue = 0.98f;   // 0x3F7AE148
  constexpr float kBandQLimitValue = 0.01f;  // 0x3C23D70A
  if (!param::isValid(index)) return;
  // A value that is not finite would leave NaN coefficients that silence or
  // poison the output for good; it is ignored as a whole.
  if (!std::isfinite(value)) return;

  programs[curProgram].values[index].store(value, std::memory_order_relaxed);
  float working = value;
  if (index == param::lowQ && value >= kLowQLimit) working = kLowQLimitValue;
  if ((index == param::midQ || index == param::highQ) && value <= kBandQLimit) working = kBandQLimitValue;
  (this->*kWorkingValue[index]).store(working, std::memory_order_relaxed);

  // Filters and the soft and anarchik curves are designed by the audio side
  // from the working values; what remains is derived here.
  Selector* const selectors[] = {&lowCurve, &midCurve, &highCurve};
  Value* const drives[] = {&lowDrive, &midDrive, &highDrive};
  Value* const gainFactors[] = {&lowGainFactor, &midGainFactor, &highGainFactor};
  switch (index) {
    case param::lowDistoType:
    case param::midDistoType:
    case param::highDistoType:
      if (const int32_t selector = curveSelectorFromType(value))
        selectors[index - param::lowDistoType]->store(selector, std::memory_order_relaxed);
      break;
    case param::lowThreshold:
    case param::midThreshold:
    case param::highThreshold:
      drives[index - param::lowThreshold]->store(driveFromThreshold(value), std::memory_order_relaxed);
      break;
    case param::lowGain:
    case param::midGain:
    case param::highGain:
      gainFactors[index - param::lowGain]->store(value * gainScale, std::memory_order_relaxed);
      break;
    default:
      break;
  }
}

float TriBandDistortion::getParameter(int32_t index) {
  if (!param::isValid(index)) return 0.0f;
  return relaxed(this->*kWorkingValue[index]);
}

void TriBandDistortion::suspend() { historyResetPending.store(true, std::memory_order_release); }

void TriBandDistortion::resume() { historyResetPending.store(true, std::memory_order_release); }
