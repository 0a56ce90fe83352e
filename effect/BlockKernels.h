#pragma once

// The audio path organised for speed: each block is cut into chunks, and
// each chunk runs in passes (the three filters into band buffers, each band's
// curve over its buffer, then the mix), so that the curves and the mix run
// four samples at a time with SSE2, and the sines, exponentials and shared
// fuzz curves eight at a time where the processor has AVX2 and FMA
// (WideMath.cpp). Every result is bit for bit what the frame-by-frame
// composition of the filter and curve classes gives: the same float
// operations in the same order, only several at once. Band buffers hold
// left and right interleaved (L0 R0 L1 R1 ...), so one vector holds two
// frames and per-channel constants repeat as (left, right, left, right).

#include <emmintrin.h>

#include <cmath>
#include <cstdint>
#include <type_traits>

#include "BandFilters.h"
#include "DistortionCurves.h"
#include "VectorMath.h"
#include "WideMath.h"

namespace kernels {

using widemath::kChunkFrames;
using widemath::kChunkValues;

/// One band's values for a chunk, interleaved, 16-byte aligned.
struct alignas(16) BandBuffer {
  float v[kChunkValues];
};

/// Values rounded up to a whole number of eight-float vectors; the padding is
/// zero and never raises a fuzz curve's state.
inline int paddedValues(int values) { return (values + 7) & ~7; }

/// Two floats (one frame, left and right) into the low lanes; the high lanes are zero.
inline __m128 loadPair(const float* pair) {
  return _mm_loadl_pi(_mm_setzero_ps(), reinterpret_cast<const __m64*>(pair));
}

inline __m128 perChannel(float left, float right) { return _mm_setr_ps(left, right, left, right); }

/// Lanes whose float exponent field is all zeros (zero or denormal).
inline __m128 exponentZero(__m128 x) {
  const __m128i exponent = _mm_and_si128(_mm_castps_si128(x), _mm_set1_epi32(0x7F800000));
  return _mm_castsi128_ps(_mm_cmpeq_epi32(exponent, _mm_setzero_si128()));
}

/// Zero and denormal lanes become +0.
inline __m128 flushDenormal(__m128 x) { return _mm_andnot_ps(exponentZero(x), x); }

inline __m128 absolute(__m128 x) { return _mm_andnot_ps(_mm_set1_ps(-0.0f), x); }

/// All three filters, both channels of a frame in one register pair of
/// doubles: the three recursions run side by side.
class FilterBank {
public:
  FilterBank(StereoBiquad& low, StereoBiquad& mid, StereoBiquad& high) : sections{&low, &mid, &high} {
    for (int f = 0; f < 3; ++f) {
      const BiquadCoefficients& c = sections[f]->coefficients;
      b0[f] = _mm_set1_pd(c.b0);
      b1[f] = _mm_set1_pd(c.b1);
      b2[f] = _mm_set1_pd(c.b2);
      a1[f] = _mm_set1_pd(c.a1);
      a2[f] = _mm_set1_pd(c.a2);
      const BiquadHistory& l = sections[f]->history[0];
      const BiquadHistory& r = sections[f]->history[1];
      state.x1[f] = _mm_setr_pd(l.x[0], r.x[0]);
      state.x2[f] = _mm_setr_pd(l.x[1], r.x[1]);
      state.y1[f] = _mm_setr_pd(l.y[0], r.y[0]);
      state.y2[f] = _mm_setr_pd(l.y[1], r.y[1]);
    }
  }

  /// Writes the histories back into the filters.
  void store() const {
    for (int f = 0; f < 3; ++f) {
      BiquadHistory& l = sections[f]->history[0];
      BiquadHistory& r = sections[f]->history[1];
      l.x[0] = lane(state.x1[f], 0);
      r.x[0] = lane(state.x1[f], 1);
      l.x[1] = lane(state.x2[f], 0);
      r.x[1] = lane(state.x2[f], 1);
      l.y[0] = lane(state.y1[f], 0);
      r.y[0] = lane(state.y1[f], 1);
      l.y[1] = lane(state.y2[f], 0);
      r.y[1] = lane(state.y2[f], 1);
    }
  }

  /// Filters n frames into the three band buffers. The recursion first runs
  /// without its flush, which then stays off the chain from one frame to the
  /// next; a chunk in which a flush would have changed a value (silence
  /// decaying into denormals, -0, or a value out of range) runs again from
  /// its start with the flush in place.
  void run(const float* inLeft, const float* inRight, int n, BandBuffer* bands) {
    const State start = state;
    pass<false>(inLeft, inRight, n, bands);
    if (flushWouldChangeAny(bands, 2 * n)) {
      state = start;
      pass<true>(inLeft, inRight, n, bands);
    }
  }

private:
  struct State {
    __m128d x1[3], x2[3], y1[3], y2[3];
  };

  // One pass over the chunk, with or without the flush on the recursion.
  template <bool flushing>
  void pass(const float* inLeft, const float* inRight, int n, BandBuffer* bands) {
    for (int i = 0; i < n; ++i) {
      const __m128d x = _mm_cvtps_pd(_mm_setr_ps(inLeft[i], inRight[i], 0.0f, 0.0f));
      for (int f = 0; f < 3; ++f) {
        // The sum in the scalar step's order; each product is exact in double.
        __m128d acc = _mm_mul_pd(b0[f], x);
        acc = _mm_add_pd(acc, _mm_mul_pd(b1[f], state.x1[f]));
        acc = _mm_add_pd(acc, _mm_mul_pd(b2[f], state.x2[f]));
        acc = _mm_sub_pd(acc, _mm_mul_pd(a1[f], state.y1[f]));
        acc = _mm_sub_pd(acc, _mm_mul_pd(a2[f], state.y2[f]));
        __m128 y = _mm_cvtpd_ps(acc);
        if (flushing) y = flushUnusable(y);
        _mm_storel_pi(reinterpret_cast<__m64*>(&bands[f].v[2 * i]), y);
        state.x2[f] = state.x1[f];
        state.x1[f] = x;
        state.y2[f] = state.y1[f];
        state.y1[f] = _mm_cvtps_pd(y);
      }
    }
  }

  // Whether the flush would have changed any of the values just written.
  static bool flushWouldChangeAny(const BandBuffer* bands, int values) {
    __m128 changed = _mm_setzero_ps();
    const int whole = values & ~3;
    for (int f = 0; f < 3; ++f) {
      for (int i = 0; i < whole; i += 4) changed = _mm_or_ps(changed, flushWouldChange(_mm_load_ps(&bands[f].v[i])));
      if (whole < values)  // the last frame of an odd chunk
        changed = _mm_or_ps(changed, flushWouldChange(loadPair(&bands[f].v[whole])));
    }
    return _mm_movemask_ps(changed) != 0;
  }

  // Lanes that the flush turns into +0 although they are not +0 already:
  // denormals, -0, magnitudes of 2^40 or more, infinities and NaN.
  static __m128 flushWouldChange(__m128 y) {
    const __m128 magnitude = _mm_andnot_ps(_mm_set1_ps(-0.0f), y);
    const __m128 plusZero = _mm_castsi128_ps(_mm_cmpeq_epi32(_mm_castps_si128(y), _mm_setzero_si128()));
    const __m128 belowNormal = _mm_andnot_ps(plusZero, _mm_cmplt_ps(magnitude, _mm_set1_ps(1.17549435e-38f)));
    return _mm_or_ps(belowNormal, _mm_cmpnlt_ps(magnitude, _mm_set1_ps(0x1p40f)));
  }

  static float lane(__m128d v, int index) {
    alignas(16) double d[2];
    _mm_store_pd(d, v);
    return static_cast<float>(d[index]);
  }
  // As the scalar step: zero, denormal and unusable results become +0.
  static __m128 flushUnusable(__m128 y) {
    const __m128i exponent = _mm_and_si128(_mm_castps_si128(y), _mm_set1_epi32(flush::kExponentMask));
    const __m128i bad =
        _mm_or_si128(_mm_cmpeq_epi32(exponent, _mm_setzero_si128()),
                     _mm_cmpgt_epi32(exponent, _mm_set1_epi32(static_cast<int32_t>(flush::kUnusableExponent) - 1)));
    return _mm_andnot_ps(_mm_castsi128_ps(bad), y);
  }

  StereoBiquad* sections[3];
  __m128d b0[3], b1[3], b2[3], a1[3], a2[3];
  State state;
};

/// "soft" over a chunk, in place.
inline void softPass(const SoftCurve& curve, BandBuffer& band, int values) {
  const __m128 onePlusK = _mm_set1_ps(curve.onePlusK);
  const __m128 k = _mm_set1_ps(curve.k);
  const __m128 one = _mm_set1_ps(1.0f);
  for (int i = 0; i < values; i += 4) {
    const __m128 x = _mm_load_ps(&band.v[i]);
    const __m128 y = _mm_div_ps(_mm_mul_ps(x, onePlusK), _mm_add_ps(_mm_mul_ps(absolute(x), k), one));
    _mm_store_ps(&band.v[i], flushDenormal(y));
  }
}

/// Which kernels a block uses: the AVX2 and FMA ones where the processor has
/// them (wide), else baseline SSE2. Exponentials of a chunk's worth of
/// arguments, rounded to float as the library's double results are, four at a
/// time or one by one.
struct MathBatch {
  bool wide;
  void exponentials(const double* arguments, float* out, int values) const {
    if (wide) return widemath::exponentials(arguments, out, values);
    for (int i = 0; i < values; ++i) out[i] = static_cast<float>(std::exp(arguments[i]));
  }
};

/// The four floats of v as doubles, into out[0..3].
inline void widen(__m128 v, double* out) {
  _mm_store_pd(&out[0], _mm_cvtps_pd(v));
  _mm_store_pd(&out[2], _mm_cvtps_pd(_mm_movehl_ps(v, v)));
}

/// "anarchik" over a chunk, in place: sin(x * scale) with the product in double.
inline void anarchikPass(const AnarchikCurve& curve, BandBuffer& band, int values, MathBatch math) {
  if (math.wide) return widemath::anarchik(band.v, values, curve.limit, curve.scale);
  const __m128d scale = _mm_set1_pd(curve.scale);
  const __m128 limit = _mm_set1_ps(curve.limit);
  alignas(32) double arguments[kChunkValues] = {};
  for (int i = 0; i < values; i += 2)
    _mm_store_pd(&arguments[i], _mm_mul_pd(_mm_cvtps_pd(loadPair(&band.v[i])), scale));
  alignas(16) float sines[kChunkValues];
  for (int i = 0; i < values; i += 2) vmath::sinPair(&arguments[i], &sines[i]);
  for (int i = 0; i < values; i += 4) {
    const __m128 above = _mm_cmpgt_ps(_mm_load_ps(&band.v[i]), limit);
    _mm_store_ps(&band.v[i], _mm_or_ps(_mm_and_ps(above, _mm_set1_ps(1.0f)), _mm_andnot_ps(above, _mm_load_ps(&sines[i]))));
  }
}

/// The bands that share one fuzz curve in a chunk, in the order low, mid, high.
struct FuzzUsers {
  BandBuffer* bands[3];
  float drives[3];
  int count = 0;
  void add(BandBuffer* band, float drive) {
    bands[count] = band;
    drives[count] = drive;
    ++count;
  }
};

// True when some lane of a is greater than the matching lane of b.
inline bool anyGreater(__m128 a, __m128 b) { return _mm_movemask_ps(_mm_cmpgt_ps(a, b)) != 0; }

/// Vector shaping steps of the three fuzz curves, with the peak fixed.
struct AtanShape {
  __m128 quarterPi;
  explicit AtanShape(const FuzzAtanCurve& c) : quarterPi(_mm_set1_ps(c.quarterPi)) {}
  __m128 operator()(__m128 x, __m128 peak, __m128 drive) const {
    const __m128 t = _mm_mul_ps(x, drive);
    // m = |t| + 1e-10, added in double and rounded to float.
    const __m128 a = absolute(t);
    const __m128d offset = _mm_set1_pd(1e-10);
    const __m128 mLow = _mm_cvtpd_ps(_mm_add_pd(_mm_cvtps_pd(a), offset));
    const __m128 mHigh = _mm_cvtpd_ps(_mm_add_pd(_mm_cvtps_pd(_mm_movehl_ps(a, a)), offset));
    const __m128 m = _mm_movelh_ps(mLow, mHigh);
    // Peaks start at 1e-4 and never fall, so only the non-negative branch runs.
    const __m128 inv = _mm_div_ps(_mm_set1_ps(1.0f), _mm_add_ps(peak, m));
    const __m128 r = _mm_mul_ps(_mm_sub_ps(peak, m), inv);
    const __m128 angle = _mm_mul_ps(_mm_sub_ps(_mm_set1_ps(1.0f), r), quarterPi);
    const __m128 negative = _mm_cmplt_ps(t, _mm_setzero_ps());
    return _mm_or_ps(_mm_and_ps(negative, _mm_xor_ps(angle, _mm_set1_ps(-0.0f))), _mm_andnot_ps(negative, angle));
  }
  void all(const float* x, float* y, int values, __m128 peak, __m128 drive) const {
    for (int i = 0; i < values; i += 4) _mm_store_ps(&y[i], (*this)(_mm_load_ps(&x[i]), peak, drive));
  }
};

struct ExpShape {
  MathBatch math;
  // In three steps, so the exponentials of the whole chunk go as one batch.
  void all(const float* x, float* y, int values, __m128 peak, __m128 drive) const {
    alignas(32) double arguments[kChunkValues] = {};
    alignas(16) float signs[kChunkValues];
    for (int i = 0; i < values; i += 4) {
      const __m128 t = _mm_div_ps(_mm_mul_ps(_mm_load_ps(&x[i]), drive), peak);
      const __m128 nonNegative = _mm_cmpge_ps(t, _mm_setzero_ps());
      const __m128 s =
          _mm_or_ps(_mm_and_ps(nonNegative, _mm_set1_ps(-1.0f)), _mm_andnot_ps(nonNegative, _mm_set1_ps(1.0f)));
      _mm_store_ps(&signs[i], s);
      widen(_mm_mul_ps(s, t), &arguments[i]);
    }
    alignas(16) float e[kChunkValues];
    math.exponentials(arguments, e, values);
    for (int i = 0; i < values; i += 4) {
      const __m128 s = _mm_load_ps(&signs[i]);
      _mm_store_ps(&y[i], _mm_mul_ps(_mm_sub_ps(_mm_set1_ps(1.0f), _mm_load_ps(&e[i])), s));
    }
  }
};

struct SqrtShape {
  __m128 operator()(__m128 x, __m128 peak, __m128 drive) const {
    const __m128 one = _mm_set1_ps(1.0f), minusOne = _mm_set1_ps(-1.0f);
    const __m128 xNonNegative = _mm_cmpge_ps(x, _mm_setzero_ps());
    const __m128 sx = _mm_or_ps(_mm_and_ps(xNonNegative, one), _mm_andnot_ps(xNonNegative, minusOne));
    const __m128 t = _mm_div_ps(_mm_mul_ps(x, drive), peak);
    const __m128 tNonNegative = _mm_cmpge_ps(t, _mm_setzero_ps());
    const __m128 st = _mm_or_ps(_mm_and_ps(tNonNegative, one), _mm_andnot_ps(tNonNegative, minusOne));
    // A double square root rounded to float is the float square root.
    return _mm_mul_ps(_mm_sqrt_ps(_mm_mul_ps(t, sx)), st);
  }
  void all(const float* x, float* y, int values, __m128 peak, __m128 drive) const {
    for (int i = 0; i < values; i += 4) _mm_store_ps(&y[i], (*this)(_mm_load_ps(&x[i]), peak, drive));
  }
};

/// One shared fuzz curve over a chunk. When no peak or maximum would rise,
/// the state is constant and every value is computed four (with AVX2, eight)
/// at a time; when one would, the chunk is replayed through the curve object
/// itself, frame by frame and band by band, which is the definition of the
/// result.
template <class Curve, class Shape, bool reciprocals>
class FuzzPass {
public:
  FuzzPass(Curve& curve, Shape shape, MathBatch math, widemath::FuzzKind kind)
      : curve(curve), shape(shape), math(math), kind(kind) {}

  /// values: the chunk's 2n values; the vector steps also shape the zero
  /// padding up to a multiple of eight, which never raises the state.
  void run(const FuzzUsers& users, int values, float outputScale) {
    if (users.count == 0) return;
    const bool done = math.wide ? wide(users, paddedValues(values), outputScale)
                                : fast(users, paddedValues(values), outputScale);
    if (!done) replay(users, values, outputScale);
  }

private:
  bool wide(const FuzzUsers& users, int values, float outputScale) {
    widemath::FuzzState state{};
    state.peak[0] = curve.peakLeft;
    state.peak[1] = curve.peakRight;
    state.shapedMax[0] = curve.shapedMaxLeft;
    state.shapedMax[1] = curve.shapedMaxRight;
    state.scaledMax[0] = curve.scaledMaxLeft;
    state.scaledMax[1] = curve.scaledMaxRight;
    if constexpr (reciprocals) {
      state.shapedInv[0] = curve.shapedInvLeft;
      state.shapedInv[1] = curve.shapedInvRight;
      state.scaledInv[0] = curve.scaledInvLeft;
      state.scaledInv[1] = curve.scaledInvRight;
    }
    if constexpr (std::is_same_v<Curve, FuzzAtanCurve>) state.quarterPi = curve.quarterPi;
    float* bands[3];
    float drives[3];
    for (int b = 0; b < users.count; ++b) {
      bands[b] = users.bands[b]->v;
      drives[b] = reciprocals && users.drives[b] == 0.0f ? fuzz::kInitialMaximum : users.drives[b];
    }
    return widemath::fuzzChunk(kind, state, bands, drives, users.count, values, outputScale);
  }

  bool fast(const FuzzUsers& users, int values, float outputScale) {
    const __m128 peak = perChannel(curve.peakLeft, curve.peakRight);
    for (int b = 0; b < users.count; ++b)
      for (int i = 0; i < values; i += 4)
        if (anyGreater(_mm_load_ps(&users.bands[b]->v[i]), peak)) return false;

    const __m128 shapedMax = perChannel(curve.shapedMaxLeft, curve.shapedMaxRight);
    const __m128 scaledMax = perChannel(curve.scaledMaxLeft, curve.scaledMaxRight);
    for (int b = 0; b < users.count; ++b) {
      float drive = users.drives[b];
      if (reciprocals && drive == 0.0f) drive = fuzz::kInitialMaximum;
      shape.all(users.bands[b]->v, scratch[b].v, values, peak, _mm_set1_ps(drive));
      for (int i = 0; i < values; i += 4) {
        const __m128 y = _mm_load_ps(&scratch[b].v[i]);
        if (anyGreater(y, shapedMax)) return false;
        const __m128 z = firstStage(y, peak, shapedMax);
        if (anyGreater(z, scaledMax)) return false;
        _mm_store_ps(&scratch[b].v[i], z);
      }
    }
    // Nothing rises in this chunk: finish with the state as it stands.
    const __m128 scale = _mm_set1_ps(outputScale);
    for (int b = 0; b < users.count; ++b)
      for (int i = 0; i < values; i += 4) {
        const __m128 out = secondStage(_mm_load_ps(&scratch[b].v[i]), peak, scaledMax);
        _mm_store_ps(&users.bands[b]->v[i], outputScale == 1.0f ? out : _mm_mul_ps(out, scale));
      }
    return true;
  }

  // reciprocal x peak x value, or value x peak / maximum where no reciprocals are kept.
  __m128 firstStage(__m128 y, __m128 peak, __m128 shapedMax) const {
    if constexpr (reciprocals)
      return _mm_mul_ps(_mm_mul_ps(perChannel(curve.shapedInvLeft, curve.shapedInvRight), peak), y);
    else
      return _mm_div_ps(_mm_mul_ps(y, peak), shapedMax);
  }
  __m128 secondStage(__m128 z, __m128 peak, __m128 scaledMax) const {
    if constexpr (reciprocals)
      return flushDenormal(_mm_mul_ps(_mm_mul_ps(perChannel(curve.scaledInvLeft, curve.scaledInvRight), peak), z));
    else
      return _mm_div_ps(_mm_mul_ps(z, peak), scaledMax);
  }

  void replay(const FuzzUsers& users, int values, float outputScale) {
    for (int i = 0; i < values; i += 2)
      for (int b = 0; b < users.count; ++b) {
        float* v = &users.bands[b]->v[i];
        curve.apply(v[0], v[1], users.drives[b]);
        v[0] = outputScale == 1.0f ? curve.outLeft : outputScale * curve.outLeft;
        v[1] = outputScale == 1.0f ? curve.outRight : outputScale * curve.outRight;
      }
  }

  Curve& curve;
  Shape shape;
  MathBatch math;
  widemath::FuzzKind kind;
  BandBuffer scratch[3];
};

/// out = (high * gain + mid * gain) + low * gain, stored or added, de-interleaved.
template <bool adding>
inline void mixPass(const BandBuffer* bands, const float* gains, float* outLeft, float* outRight, int n) {
  const __m128 gLow = _mm_set1_ps(gains[0]), gMid = _mm_set1_ps(gains[1]), gHigh = _mm_set1_ps(gains[2]);
  alignas(16) float mixed[kChunkValues];
  for (int i = 0; i < 2 * n; i += 4) {
    const __m128 high = _mm_mul_ps(_mm_load_ps(&bands[2].v[i]), gHigh);
    const __m128 mid = _mm_mul_ps(_mm_load_ps(&bands[1].v[i]), gMid);
    const __m128 low = _mm_mul_ps(_mm_load_ps(&bands[0].v[i]), gLow);
    _mm_store_ps(&mixed[i], _mm_add_ps(_mm_add_ps(high, mid), low));
  }
  for (int i = 0; i < n; ++i) {
    if (adding) {
      outLeft[i] += mixed[2 * i];
      outRight[i] += mixed[2 * i + 1];
    } else {
      outLeft[i] = mixed[2 * i];
      outRight[i] = mixed[2 * i + 1];
    }
  }
}

}  // namespace kernels
