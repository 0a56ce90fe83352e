#include <cstring>

#include "TriBandDistortion.h"

namespace {

constexpr float kFuzzSqrtDriveScale = 100.0f;
constexpr float kFuzzSqrtOutputScale = 2.0f;

/// What one band uses during a block, read once at its start.
struct BandSettings {
  int32_t selector;
  float drive;
  float fuzzSqrtDrive;
  float gainFactor;
  SoftCurve* soft;
  AnarchikCurve* anarchik;
};

struct SharedFuzz {
  FuzzAtanCurve& atan;
  FuzzExpCurve& exp;
  FuzzSqrtCurve& sqrt;
};

// Shapes one band's filtered pair in place. The fuzz curves are shared by
// all bands, and each band takes its result right after its own call.
inline void shapeBand(const BandSettings& band, SharedFuzz fuzz, float& left, float& right) noexcept {
  switch (band.selector) {
    case curve::soft:
      band.soft->apply(left, right);
      left = band.soft->outLeft;
      right = band.soft->outRight;
      break;
    case curve::fuzzAtan:
      fuzz.atan.apply(left, right, band.drive);
      left = fuzz.atan.outLeft;
      right = fuzz.atan.outRight;
      break;
    case curve::fuzzExp:
      fuzz.exp.apply(left, right, band.drive);
      left = fuzz.exp.outLeft;
      right = fuzz.exp.outRight;
      break;
    case curve::fuzzSqrt:
      fuzz.sqrt.apply(left, right, band.fuzzSqrtDrive);
      left = kFuzzSqrtOutputScale * fuzz.sqrt.outLeft;
      right = kFuzzSqrtOutputScale * fuzz.sqrt.outRight;
      break;
    case curve::anarchik:
      band.anarchik->apply(left, right);
      left = band.anarchik->outLeft;
      right = band.anarchik->outRight;
      break;
    default:
      break;  // filtered but unshaped
  }
}

inline bool sameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Designs a filter only when its frequency or Q changed since the last block.
template <class Filter>
void designFilter(Filter& filter, float frequencyHz, float q, float rate, float& lastFrequency, float& lastQ) {
  if (sameBits(frequencyHz, lastFrequency) && sameBits(q, lastQ)) return;
  filter.setup(frequencyHz, q, rate);
  lastFrequency = frequencyHz;
  lastQ = q;
}

}  // namespace

void TriBandDistortion::designForBlock() noexcept {
  if (historyResetPending.exchange(false, std::memory_order_acquire)) {
    lowFilter.reset();
    midFilter.reset();
    highFilter.reset();
  }
  designFilter(lowFilter, kLowCutoffMapping.frequency(relaxed(lowCutoff)), relaxed(lowQ), filterSampleRate,
               designed[0].frequencyHz, designed[0].q);
  designFilter(midFilter, kMidCutoffMapping.frequency(relaxed(midCutoff)), relaxed(midQ), filterSampleRate,
               designed[1].frequencyHz, designed[1].q);
  designFilter(highFilter, kHighCutoffMapping.frequency(relaxed(highCutoff)), relaxed(highQ), filterSampleRate,
               designed[2].frequencyHz, designed[2].q);

  const Value* const thresholds[] = {&lowThreshold, &midThreshold, &highThreshold};
  SoftCurve* const softs[] = {&lowSoftCurve, &midSoftCurve, &highSoftCurve};
  AnarchikCurve* const anarchiks[] = {&lowAnarchikCurve, &midAnarchikCurve, &highAnarchikCurve};
  for (int band = 0; band < 3; ++band) {
    const float threshold = relaxed(*thresholds[band]);
    if (sameBits(threshold, designed[band].threshold)) continue;
    softs[band]->setThreshold(threshold);
    anarchiks[band]->setThreshold(threshold);
    designed[band].threshold = threshold;
  }
}

template <bool adding>
void TriBandDistortion::render(float** inputs, float** outputs, int32_t sampleFrames) noexcept {
  const float* inLeft = inputs[0];
  const float* inRight = inputs[1];
  float* outLeft = outputs[0];
  float* outRight = outputs[1];
  if (sampleFrames <= 0) return;

  designForBlock();
  const auto settings = [](const Selector& selector, const Value& drive, const Value& threshold,
                               const Value& gainFactor, SoftCurve& soft, AnarchikCurve& anarchik) {
    return BandSettings{selector.load(std::memory_order_relaxed), relaxed(drive),
                        relaxed(threshold) * kFuzzSqrtDriveScale, relaxed(gainFactor), &soft, &anarchik};
  };
  const BandSettings low = settings(lowCurve, lowDrive, lowThreshold, lowGainFactor, lowSoftCurve, lowAnarchikCurve);
  const BandSettings mid = settings(midCurve, midDrive, midThreshold, midGainFactor, midSoftCurve, midAnarchikCurve);
  const BandSettings high =
      settings(highCurve, highDrive, highThreshold, highGainFactor, highSoftCurve, highAnarchikCurve);
  const SharedFuzz fuzz{fuzzAtanCurve, fuzzExpCurve, fuzzSqrtCurve};

  for (int32_t i = 0; i < sampleFrames; ++i) {
    // Both inputs are read before either output is written, so in-place and
    // crossed buffers give the same result as separate ones.
    const float inL = inLeft[i];
    const float inR = inRight[i];
    float lowL = lowFilter.processSample(Channel::left, inL);
    float lowR = lowFilter.processSample(Channel::right, inR);
    float midL = midFilter.processSample(Channel::left, inL);
    float midR = midFilter.processSample(Channel::right, inR);
    float highL = highFilter.processSample(Channel::left, inL);
    float highR = highFilter.processSample(Channel::right, inR);
    shapeBand(low, fuzz, lowL, lowR);
    shapeBand(mid, fuzz, midL, midR);
    shapeBand(high, fuzz, highL, highR);
    const float left = (highL * high.gainFactor + midL * mid.gainFactor) + lowL * low.gainFactor;
    const float right = (highR * high.gainFactor + midR * mid.gainFactor) + lowR * low.gainFactor;
    if (adding) {
      outLeft[i] += left;
      outRight[i] += right;
    } else {
      outLeft[i] = left;
      outRight[i] = right;
    }
  }
}

void TriBandDistortion::process(float** inputs, float** outputs, int32_t sampleFrames) {
  render<true>(inputs, outputs, sampleFrames);
}

void TriBandDistortion::processReplacing(float** inputs, float** outputs, int32_t sampleFrames) {
  render<false>(inputs, outputs, sampleFrames);
}
