// SPDX-License-Identifier: GPL-3.0-or-later
// The audio path frame by frame, straight from the filter and curve classes:
// the definition every vector set is held to, and the set for processors
// with none of them.

#include <cmath>

#include "BlockJob.h"
#include "Flush.h"
#include "Parameters.h"

namespace {

constexpr float kFuzzSqrtOutputScale = 2.0f;

// Runs one curve on the pair and takes its outputs.
template <class Curve, class... Drive>
void take(Curve& curve, float& left, float& right, Drive... drive) noexcept {
  curve.apply(left, right, drive...);
  left = curve.outLeft;
  right = curve.outRight;
}

// Shapes one band's filtered pair in place. The fuzz curves are shared by
// all bands, and each band takes its result right after its own call.
void shapeBand(const BandJob& band, BlockJob& job, float& left, float& right) noexcept {
  switch (band.curve) {
    case curve::soft: {
      SoftCurve soft = *band.soft;
      take(soft, left, right);
      break;
    }
    case curve::fuzzAtan: take(*job.fuzzAtan, left, right, band.drive); break;
    case curve::fuzzExp: take(*job.fuzzExp, left, right, band.drive); break;
    case curve::fuzzSqrt:
      take(*job.fuzzSqrt, left, right, band.fuzzSqrtDrive);
      left *= kFuzzSqrtOutputScale;
      right *= kFuzzSqrtOutputScale;
      break;
    case curve::anarchik: {
      AnarchikCurve anarchik = *band.anarchik;
      take(anarchik, left, right);
      break;
    }
    default: break;  // filtered but unshaped
  }
}

}  // namespace

void renderFrames(BlockJob& job) noexcept {
  const BandJob* bands = job.bands;
  for (int32_t i = 0; i < job.frames; ++i) {
    // Both inputs are read before either output is written, so in-place and
    // crossed buffers give the same result as separate ones.
    const float inL = job.inLeft[i];
    const float inR = job.inRight[i];
    float l[3], r[3];
    for (int b = 0; b < 3; ++b) {
      l[b] = job.filters[b]->processSample(Channel::left, inL);
      r[b] = job.filters[b]->processSample(Channel::right, inR);
    }
    for (int b = 0; b < 3; ++b) shapeBand(bands[b], job, l[b], r[b]);
    const float left = (l[2] * bands[2].gainFactor + l[1] * bands[1].gainFactor) + l[0] * bands[0].gainFactor;
    const float right = (r[2] * bands[2].gainFactor + r[1] * bands[1].gainFactor) + r[0] * bands[0].gainFactor;
    if (job.adding) {
      job.outLeft[i] += left;
      job.outRight[i] += right;
    } else {
      job.outLeft[i] = job.keepNormal ? flush::normal(left) : left;
      job.outRight[i] = job.keepNormal ? flush::normal(right) : right;
    }
  }
}
