// SPDX-License-Identifier: GPL-3.0-or-later
#include "AudioSide.h"

#include "Flush.h"

#include <cstring>
#include <limits>

#include "kernels/BlockJob.h"

namespace {

constexpr float kFuzzSqrtDriveScale = 100.0f;

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

AudioSide::AudioSide(float designRate) : filterSampleRate(designRate), kernelSet(&kernels::best()) {
  constexpr float kNotYet = std::numeric_limits<float>::quiet_NaN();
  for (Designed& d : designed) d = {kNotYet, kNotYet, kNotYet};
}

void AudioSide::design(const BlockSettings& settings) noexcept {
  if (settings.clearHistories) {
    lowFilter.reset();
    midFilter.reset();
    highFilter.reset();
  }
  const BandSettings* const bands = settings.bands;
  designFilter(lowFilter, bands[0].frequencyHz, bands[0].q, filterSampleRate, designed[0].frequencyHz, designed[0].q);
  designFilter(midFilter, bands[1].frequencyHz, bands[1].q, filterSampleRate, designed[1].frequencyHz, designed[1].q);
  designFilter(highFilter, bands[2].frequencyHz, bands[2].q, filterSampleRate, designed[2].frequencyHz, designed[2].q);

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

void AudioSide::render(const BlockSettings& settings, float** inputs, float** outputs, int32_t sampleFrames,
                       bool adding) noexcept {
  design(settings);
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
  kernelSet->render(job);
}

void AudioSide::process(const BlockSettings& settings, float** inputs, float** outputs, int32_t sampleFrames) noexcept {
  render(settings, inputs, outputs, sampleFrames, true);
}

void AudioSide::processReplacing(const BlockSettings& settings, float** inputs, float** outputs,
                                 int32_t sampleFrames) noexcept {
  render(settings, inputs, outputs, sampleFrames, false);
  // The mix of the bands can land below the float's normal range as they ring
  // out into silence: such samples slow down whatever processes them next,
  // and hosts that check plug-ins reject them.
  flush::keepNormal(outputs[0], sampleFrames);
  flush::keepNormal(outputs[1], sampleFrames);
}
