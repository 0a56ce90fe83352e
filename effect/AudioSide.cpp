// SPDX-License-Identifier: GPL-3.0-or-later
#include "AudioSide.h"

#include "Flush.h"

#include <cstring>
#include <limits>

#include "kernels/BlockJob.h"

namespace {

constexpr float kFuzzSqrtDriveScale = 100.0f;

inline bool sameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// The highest cut-off as a share of the rate the filters run at: the record's
// 20000 Hz at 44100 Hz, so the classic design is never bounded, and a design
// for a lower rate (host-rate edges at 32 kHz, say) stays below Nyquist.
constexpr double kHighestCutoffShare = 20000.0 / 44100.0;

// The lowest cut-off as a share of the rate the filters run at: the low
// band's 25 Hz at 192 kHz. Its single-precision design loses the cut-off
// below that share (at 25 Hz: 1.6 dB off at 352.8 kHz, unstable at 768
// kHz), so an oversampled low band is held above it; at 192 kHz and below,
// which the classic design and every host-rate design without
// oversampling are, it never binds.
constexpr double kLowestCutoffShare = 25.0 / 192000.0;

// The bands run at most at this rate: 8x stops at 48 kHz, 4x at 96 kHz.
constexpr float kHighestRunningRate = 384000.0f;

// Designs a filter only when its frequency or Q changed since the last block.
template <class Filter>
void designFilter(Filter& filter, float frequencyHz, float q, float rate, float& lastFrequency, float& lastQ,
                  bool rateChanged) {
  if (!rateChanged && sameBits(frequencyHz, lastFrequency) && sameBits(q, lastQ)) return;
  const double highest = static_cast<double>(rate) * kHighestCutoffShare;
  const double lowest = static_cast<double>(rate) * kLowestCutoffShare;
  const double f = static_cast<double>(frequencyHz);
  filter.setup(f > highest  ? static_cast<float>(highest)
               : f < lowest ? static_cast<float>(lowest)
                            : frequencyHz,
               q, rate);
  lastFrequency = frequencyHz;
  lastQ = q;
}

}  // namespace

AudioSide::AudioSide(float designRate) : filterSampleRate(designRate), kernelSet(&kernels::best()) {
  constexpr float kNotYet = std::numeric_limits<float>::quiet_NaN();
  for (Designed& d : designed) d = {kNotYet, kNotYet, kNotYet};
  designedRate = filterSampleRate;
}

float AudioSide::hostRate(const BlockSettings& settings) const {
  constexpr float kHighestHostRate = 1.0e6f;  // beyond any host; keeps the product finite
  const float host = settings.hostRate;
  return host >= 1.0f && host <= kHighestHostRate ? host : filterSampleRate;
}

float AudioSide::runningRate(const BlockSettings& settings, int32_t factor) const {
  const float base = settings.options.hostRateEdges ? hostRate(settings) : filterSampleRate;
  return base * static_cast<float>(factor);
}

int32_t AudioSide::oversampling(const BlockSettings& settings) const {
  int32_t factor = settings.options.oversampling;
  while (factor > 1 && hostRate(settings) * static_cast<float>(factor) > kHighestRunningRate) factor /= 2;
  return factor;
}

void AudioSide::design(const BlockSettings& settings, float rate) noexcept {
  if (settings.clearHistories) {
    lowFilter.reset();
    midFilter.reset();
    highFilter.reset();
  }
  const BandSettings* const bands = settings.bands;
  const bool rateChanged = !sameBits(rate, designedRate);
  designedRate = rate;
  designFilter(lowFilter, bands[0].frequencyHz, bands[0].q, rate, designed[0].frequencyHz, designed[0].q, rateChanged);
  designFilter(midFilter, bands[1].frequencyHz, bands[1].q, rate, designed[1].frequencyHz, designed[1].q, rateChanged);
  designFilter(highFilter, bands[2].frequencyHz, bands[2].q, rate, designed[2].frequencyHz, designed[2].q, rateChanged);

  SoftCurve* const softs[] = {&lowSoftCurve, &midSoftCurve, &highSoftCurve};
  AnarchikCurve* const anarchiks[] = {&lowAnarchikCurve, &midAnarchikCurve, &highAnarchikCurve};
  for (int band = 0; band < 3; ++band) {
    const float threshold = bands[band].threshold;
    if (sameBits(threshold, designed[band].threshold)) continue;
    softs[band]->setThreshold(threshold);
    anarchiks[band]->setThreshold(threshold);
    designed[band].threshold = threshold;
  }
}

bool AudioSide::render(const BlockSettings& settings, float** inputs, float** outputs, int32_t sampleFrames,
                       bool adding) noexcept {
  OptionSettings o = settings.options;
  o.oversampling = oversampling(settings);
  design(settings, runningRate(settings, o.oversampling));
  if (adding || options.idle(o)) {
    options.started();
    // The bands' mix is the output: the kernel keeps it normal as it writes.
    renderBands(settings, inputs, outputs, sampleFrames, adding, !adding);
    return !adding;
  }
  options.process(o, hostRate(settings), inputs, outputs, sampleFrames,
                  [&](float* const* in, float* const* out, int32_t frames) {
                    renderBands(settings, in, out, frames, false, false);
                  });
  return false;
}

void AudioSide::renderBands(const BlockSettings& settings, float* const* inputs, float* const* outputs,
                            int32_t sampleFrames, bool adding, bool keepNormal) noexcept {
  const SoftCurve* const softs[] = {&lowSoftCurve, &midSoftCurve, &highSoftCurve};
  const AnarchikCurve* const anarchiks[] = {&lowAnarchikCurve, &midAnarchikCurve, &highAnarchikCurve};
  BlockJob job;
  for (int b = 0; b < 3; ++b) {
    const BandSettings& s = settings.bands[b];
    job.bands[b] = {s.curve, s.gainFactor, s.drive, s.threshold * kFuzzSqrtDriveScale, softs[b], anarchiks[b]};
  }
  job.filters[0] = &lowFilter.state();
  job.filters[1] = &midFilter.state();
  job.filters[2] = &highFilter.state();
  job.fuzzAtan = &fuzzAtanCurve;
  job.fuzzExp = &fuzzExpCurve;
  job.fuzzSqrt = &fuzzSqrtCurve;
  job.inLeft = inputs[0];
  job.inRight = inputs[1];
  job.outLeft = outputs[0];
  job.outRight = outputs[1];
  job.frames = sampleFrames;
  job.adding = adding;
  job.keepNormal = keepNormal;
  kernelSet->render(job);
}

void AudioSide::process(const BlockSettings& settings, float** inputs, float** outputs, int32_t sampleFrames) noexcept {
  render(settings, inputs, outputs, sampleFrames, true);
}

void AudioSide::processReplacing(const BlockSettings& settings, float** inputs, float** outputs,
                                 int32_t sampleFrames) noexcept {
  // The mix of the bands can land below the float's normal range as they ring
  // out into silence: such samples slow down whatever processes them next,
  // and hosts that check plug-ins reject them.
  if (render(settings, inputs, outputs, sampleFrames, false)) return;  // kept normal as written
  flush::keepNormal(outputs[0], sampleFrames);
  flush::keepNormal(outputs[1], sampleFrames);
}
