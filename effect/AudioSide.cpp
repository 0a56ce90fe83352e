#include "AudioSide.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "WideMath.h"

#if defined(__SSE2__)
#include "BlockKernels.h"
#endif

namespace {

constexpr float kFuzzSqrtDriveScale = 100.0f;
constexpr float kFuzzSqrtOutputScale = 2.0f;

/// One band's settings with the curve objects it owns.
struct BandPath {
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

inline bool sameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Designs a filter only when its frequency or Q changed since the last block.
template <class Filter>
void designFilter(Filter& filter, float frequencyHz, float q, float rate, float& lastFrequency, float& lastQ) {
  if (sameBits(frequencyHz, lastFrequency) && sameBits(q, lastQ)) return;
  filter.setup(frequencyHz, q, rate);
  lastFrequency = frequencyHz;
  lastQ = q;
}

bool hasWideMath() {
#if defined(__SSE2__)
  return widemath::available();
#else
  return false;
#endif
}

}  // namespace

AudioSide::AudioSide(float filterSampleRate) : filterSampleRate(filterSampleRate), wideMath(hasWideMath()) {
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
  designFilter(lowFilter, bands[0].frequencyHz, bands[0].q, filterSampleRate, designed[0].frequencyHz,
               designed[0].q);
  designFilter(midFilter, bands[1].frequencyHz, bands[1].q, filterSampleRate, designed[1].frequencyHz,
               designed[1].q);
  designFilter(highFilter, bands[2].frequencyHz, bands[2].q, filterSampleRate, designed[2].frequencyHz,
               designed[2].q);

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

namespace {

#if defined(__SSE2__)

// Chunk by chunk, in passes: filters, then each band's curve, then the mix.
template <bool adding>
void renderInPasses(const BandPath (&bands)[3], StereoBiquad* (&sections)[3], SharedFuzz fuzz,
                    kernels::MathBatch math, const float* inLeft, const float* inRight, float* outLeft,
                    float* outRight, int32_t sampleFrames) noexcept {
  using namespace kernels;
  BandBuffer buffers[3];
  FuzzUsers atanUsers, expUsers, sqrtUsers;
  for (int b = 0; b < 3; ++b) {
    if (bands[b].selector == curve::fuzzAtan) atanUsers.add(&buffers[b], bands[b].drive);
    if (bands[b].selector == curve::fuzzExp) expUsers.add(&buffers[b], bands[b].drive);
    if (bands[b].selector == curve::fuzzSqrt) sqrtUsers.add(&buffers[b], bands[b].fuzzSqrtDrive);
  }
  FuzzPass<FuzzAtanCurve, AtanShape, true> atanPass(fuzz.atan, AtanShape(fuzz.atan), math, widemath::FuzzKind::atan);
  FuzzPass<FuzzExpCurve, ExpShape, true> expPass(fuzz.exp, ExpShape{math}, math, widemath::FuzzKind::exp);
  FuzzPass<FuzzSqrtCurve, SqrtShape, false> sqrtPass(fuzz.sqrt, SqrtShape(), math, widemath::FuzzKind::sqrt);
  const float gains[3] = {bands[0].gainFactor, bands[1].gainFactor, bands[2].gainFactor};

  FilterBank filters(*sections[0], *sections[1], *sections[2]);
  for (int32_t start = 0; start < sampleFrames; start += kChunkFrames) {
    const int n = static_cast<int>(std::min<int32_t>(kChunkFrames, sampleFrames - start));
    const int values = 2 * n;
    filters.run(inLeft + start, inRight + start, n, buffers);
    for (BandBuffer& buffer : buffers)
      for (int i = values; i < paddedValues(values); ++i) buffer.v[i] = 0.0f;
    for (int b = 0; b < 3; ++b) {
      if (bands[b].selector == curve::soft) softPass(*bands[b].soft, buffers[b], paddedValues(values));
      if (bands[b].selector == curve::anarchik) anarchikPass(*bands[b].anarchik, buffers[b], paddedValues(values), math);
    }
    atanPass.run(atanUsers, values, 1.0f);
    expPass.run(expUsers, values, 1.0f);
    sqrtPass.run(sqrtUsers, values, kFuzzSqrtOutputScale);
    mixPass<adding>(buffers, gains, outLeft + start, outRight + start, n);
  }
  filters.store();
}

#else

// Shapes one band's filtered pair in place. The fuzz curves are shared by
// all bands, and each band takes its result right after its own call.
inline void shapeBand(const BandPath& band, SharedFuzz fuzz, float& left, float& right) noexcept {
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

// Frame by frame, for processors without the vector instructions.
template <bool adding>
void renderFrames(const BandPath (&bands)[3], StereoBiquad* (&sections)[3], SharedFuzz fuzz,
                  const float* inLeft, const float* inRight, float* outLeft, float* outRight,
                  int32_t sampleFrames) noexcept {
  for (int32_t i = 0; i < sampleFrames; ++i) {
    // Both inputs are read before either output is written, so in-place and
    // crossed buffers give the same result as separate ones.
    const float inL = inLeft[i];
    const float inR = inRight[i];
    float l[3], r[3];
    for (int b = 0; b < 3; ++b) {
      l[b] = sections[b]->processSample(Channel::left, inL);
      r[b] = sections[b]->processSample(Channel::right, inR);
    }
    for (int b = 0; b < 3; ++b) shapeBand(bands[b], fuzz, l[b], r[b]);
    const float left = (l[2] * bands[2].gainFactor + l[1] * bands[1].gainFactor) + l[0] * bands[0].gainFactor;
    const float right = (r[2] * bands[2].gainFactor + r[1] * bands[1].gainFactor) + r[0] * bands[0].gainFactor;
    if (adding) {
      outLeft[i] += left;
      outRight[i] += right;
    } else {
      outLeft[i] = left;
      outRight[i] = right;
    }
  }
}

#endif

}  // namespace

template <bool adding>
void AudioSide::render(const BlockSettings& settings, float** inputs, float** outputs, int32_t sampleFrames) noexcept {
  const float* inLeft = inputs[0];
  const float* inRight = inputs[1];
  float* outLeft = outputs[0];
  float* outRight = outputs[1];

  design(settings);
  const auto path = [](const BandSettings& s, SoftCurve& soft, AnarchikCurve& anarchik) {
    return BandPath{s.curve, s.drive, s.threshold * kFuzzSqrtDriveScale, s.gainFactor, &soft, &anarchik};
  };
  const BandPath bands[3] = {path(settings.bands[0], lowSoftCurve, lowAnarchikCurve),
                             path(settings.bands[1], midSoftCurve, midAnarchikCurve),
                             path(settings.bands[2], highSoftCurve, highAnarchikCurve)};
  StereoBiquad* sections[3] = {&lowFilter.state(), &midFilter.state(), &highFilter.state()};
  const SharedFuzz fuzz{fuzzAtanCurve, fuzzExpCurve, fuzzSqrtCurve};
#if defined(__SSE2__)
  renderInPasses<adding>(bands, sections, fuzz, kernels::MathBatch{wideMath}, inLeft, inRight, outLeft, outRight,
                        sampleFrames);
#else
  renderFrames<adding>(bands, sections, fuzz, inLeft, inRight, outLeft, outRight, sampleFrames);
#endif
}

void AudioSide::process(const BlockSettings& settings, float** inputs, float** outputs,
                        int32_t sampleFrames) noexcept {
  render<true>(settings, inputs, outputs, sampleFrames);
}

void AudioSide::processReplacing(const BlockSettings& settings, float** inputs, float** outputs,
                                 int32_t sampleFrames) noexcept {
  render<false>(settings, inputs, outputs, sampleFrames);
}
