// Compiled with -mavx2 -mfma. It includes no header of ours with inline
// functions, so nothing built for these instructions can stand in for code
// that runs on processors without them.

#include "WideMath.h"

#include <immintrin.h>
#include <math.h>

namespace widemath {

namespace {

// Each result is computed to better than 2^-44 relative, then certified: the
// 29 bits below a float's precision must lie farther than 2^17 units (2^-36
// of the value) from the halfway pattern where rounding turns, so that the
// library's result, within a double ulp of the truth, rounds to the same
// float. Other lanes, and results in the float's denormal range, take the
// library call.
inline int certified(__m256d result) {
  const __m256i bits = _mm256_castpd_si256(result);
  const __m256i low29 = _mm256_and_si256(bits, _mm256_set1_epi64x(0x1FFFFFFF));
  const __m256i offset = _mm256_sub_epi64(low29, _mm256_set1_epi64x(0x10000000));
  const __m256i margin = _mm256_set1_epi64x(1 << 17);
  const __m256i far = _mm256_or_si256(_mm256_cmpgt_epi64(offset, margin),
                                      _mm256_cmpgt_epi64(_mm256_sub_epi64(_mm256_setzero_si256(), margin), offset));
  const __m256d magnitude = _mm256_andnot_pd(_mm256_set1_pd(-0.0), result);
  const __m256d tiny = _mm256_and_pd(_mm256_cmp_pd(magnitude, _mm256_set1_pd(0x1p-125), _CMP_LT_OQ),
                                     _mm256_cmp_pd(magnitude, _mm256_setzero_pd(), _CMP_NEQ_UQ));
  return _mm256_movemask_pd(_mm256_castsi256_pd(far)) & ~_mm256_movemask_pd(tiny);
}

inline __m256d roundToInteger(__m256d x) {
  return _mm256_round_pd(x, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
}

inline void finish(__m256d result, int good, const double* arguments, float* out, double (*library)(double)) {
  _mm_storeu_ps(out, _mm256_cvtpd_ps(result));
  if (good != 0xF)
    for (int lane = 0; lane < 4; ++lane)
      if (!(good >> lane & 1)) out[lane] = static_cast<float>(library(arguments[lane]));
}

double librarySin(double x) { return ::sin(x); }
double libraryExp(double x) { return ::exp(x); }

void sinQuad(const double* arguments, float* out) {
  constexpr double kLargestArgument = 1e5;   // keeps k * piHead exact
  constexpr double kSmallestReduced = 1e-8;  // below, the reduction's error could matter
  const __m256d x = _mm256_loadu_pd(arguments);
  const __m256d k = roundToInteger(_mm256_mul_pd(x, _mm256_set1_pd(3.18309886183790671538e-01)));
  // x - k pi with pi in two parts (33 bits, then the rest): k * piHead is exact.
  const __m256d r = _mm256_fnmadd_pd(k, _mm256_set1_pd(1.21542010130123844986e-10),
                                     _mm256_fnmadd_pd(k, _mm256_set1_pd(3.14159265346825122833e+00), x));
  const __m256d z = _mm256_mul_pd(r, r);
  // sin r = r (1 + z P(z)) on |r| <= pi/2, the Taylor series to r^17.
  __m256d p = _mm256_set1_pd(1.0 / 355687428096000.0);
  p = _mm256_fmadd_pd(p, z, _mm256_set1_pd(-1.0 / 1307674368000.0));
  p = _mm256_fmadd_pd(p, z, _mm256_set1_pd(1.0 / 6227020800.0));
  p = _mm256_fmadd_pd(p, z, _mm256_set1_pd(-1.0 / 39916800.0));
  p = _mm256_fmadd_pd(p, z, _mm256_set1_pd(1.0 / 362880.0));
  p = _mm256_fmadd_pd(p, z, _mm256_set1_pd(-1.0 / 5040.0));
  p = _mm256_fmadd_pd(p, z, _mm256_set1_pd(1.0 / 120.0));
  p = _mm256_fmadd_pd(p, z, _mm256_set1_pd(-1.0 / 6.0));
  const __m256d sine = _mm256_mul_pd(r, _mm256_fmadd_pd(z, p, _mm256_set1_pd(1.0)));
  // (-1)^k: the parity of k moved into the sign bit.
  const __m256i parity = _mm256_slli_epi64(_mm256_cvtepi32_epi64(_mm256_cvtpd_epi32(k)), 63);
  // sin(+-0) is +-0: a zero argument passes through unchanged.
  const __m256d zero = _mm256_cmp_pd(x, _mm256_setzero_pd(), _CMP_EQ_OQ);
  const __m256d result = _mm256_blendv_pd(_mm256_xor_pd(sine, _mm256_castsi256_pd(parity)), x, zero);

  const __m256d tooLarge = _mm256_cmp_pd(_mm256_andnot_pd(_mm256_set1_pd(-0.0), x),
                                         _mm256_set1_pd(kLargestArgument), _CMP_NLT_UQ);
  const __m256d tinyReduced =
      _mm256_and_pd(_mm256_cmp_pd(_mm256_andnot_pd(_mm256_set1_pd(-0.0), r), _mm256_set1_pd(kSmallestReduced),
                                  _CMP_LT_OQ),
                    _mm256_cmp_pd(k, _mm256_setzero_pd(), _CMP_NEQ_UQ));
  const int good = certified(result) & ~_mm256_movemask_pd(_mm256_or_pd(tooLarge, tinyReduced));
  finish(result, good, arguments, out, librarySin);
}

/// 2^(j/64) for j = 0..63, each within a double ulp.
alignas(32) constexpr double kTwoToSixtyFourths[64] = {
    0x1.0000000000000p+0, 0x1.02c9a3e778061p+0, 0x1.059b0d3158574p+0, 0x1.0874518759bc8p+0,
    0x1.0b5586cf9890fp+0, 0x1.0e3ec32d3d1a2p+0, 0x1.11301d0125b51p+0, 0x1.1429aaea92de0p+0,
    0x1.172b83c7d517bp+0, 0x1.1a35beb6fcb75p+0, 0x1.1d4873168b9aap+0, 0x1.2063b88628cd6p+0,
    0x1.2387a6e756238p+0, 0x1.26b4565e27cddp+0, 0x1.29e9df51fdee1p+0, 0x1.2d285a6e4030bp+0,
    0x1.306fe0a31b715p+0, 0x1.33c08b26416ffp+0, 0x1.371a7373aa9cbp+0, 0x1.3a7db34e59ff7p+0,
    0x1.3dea64c123422p+0, 0x1.4160a21f72e2ap+0, 0x1.44e086061892dp+0, 0x1.486a2b5c13cd0p+0,
    0x1.4bfdad5362a27p+0, 0x1.4f9b2769d2ca7p+0, 0x1.5342b569d4f82p+0, 0x1.56f4736b527dap+0,
    0x1.5ab07dd485429p+0, 0x1.5e76f15ad2148p+0, 0x1.6247eb03a5585p+0, 0x1.6623882552225p+0,
    0x1.6a09e667f3bcdp+0, 0x1.6dfb23c651a2fp+0, 0x1.71f75e8ec5f74p+0, 0x1.75feb564267c9p+0,
    0x1.7a11473eb0187p+0, 0x1.7e2f336cf4e62p+0, 0x1.82589994cce13p+0, 0x1.868d99b4492edp+0,
    0x1.8ace5422aa0dbp+0, 0x1.8f1ae99157736p+0, 0x1.93737b0cdc5e5p+0, 0x1.97d829fde4e50p+0,
    0x1.9c49182a3f090p+0, 0x1.a0c667b5de565p+0, 0x1.a5503b23e255dp+0, 0x1.a9e6b5579fdbfp+0,
    0x1.ae89f995ad3adp+0, 0x1.b33a2b84f15fbp+0, 0x1.b7f76f2fb5e47p+0, 0x1.bcc1e904bc1d2p+0,
    0x1.c199bdd85529cp+0, 0x1.c67f12e57d14bp+0, 0x1.cb720dcef9069p+0, 0x1.d072d4a07897cp+0,
    0x1.d5818dcfba487p+0, 0x1.da9e603db3285p+0, 0x1.dfc97337b9b5fp+0, 0x1.e502ee78b3ff6p+0,
    0x1.ea4afa2a490dap+0, 0x1.efa1bee615a27p+0, 0x1.f50765b6e4540p+0, 0x1.fa7c1819e90d8p+0,
};

void expQuad(const double* arguments, float* out) {
  constexpr double kLowest = -87.0;  // results stay normal floats
  constexpr double kHighest = 88.0;
  const __m256d x = _mm256_loadu_pd(arguments);
  const __m256d inRange = _mm256_and_pd(_mm256_cmp_pd(x, _mm256_set1_pd(kLowest), _CMP_GE_OQ),
                                        _mm256_cmp_pd(x, _mm256_set1_pd(kHighest), _CMP_LE_OQ));
  const __m256d xr = _mm256_and_pd(inRange, x);  // other lanes compute exp(0) and are replaced
  const __m256d k = roundToInteger(_mm256_mul_pd(xr, _mm256_set1_pd(64.0 / 6.93147180559945309417e-01)));
  // x - k ln2/64 with ln2/64 in two parts; the head's trailing zeros keep k * head exact.
  const __m256d r = _mm256_fnmadd_pd(k, _mm256_set1_pd(1.90821492927058770002e-10 / 64.0),
                                     _mm256_fnmadd_pd(k, _mm256_set1_pd(6.93147180369123816490e-01 / 64.0), xr));
  // exp r on |r| <= ln2/128: the Taylor series to r^5, remainder below 2^-54.
  __m256d p = _mm256_set1_pd(1.0 / 120.0);
  p = _mm256_fmadd_pd(p, r, _mm256_set1_pd(1.0 / 24.0));
  p = _mm256_fmadd_pd(p, r, _mm256_set1_pd(1.0 / 6.0));
  p = _mm256_fmadd_pd(p, r, _mm256_set1_pd(0.5));
  p = _mm256_fmadd_pd(p, r, _mm256_set1_pd(1.0));
  p = _mm256_fmadd_pd(p, r, _mm256_set1_pd(1.0));
  // 2^(k/64) = 2^(k >> 6) * 2^((k & 63) / 64).
  const __m128i ki = _mm256_cvtpd_epi32(k);
  const __m128i j = _mm_and_si128(ki, _mm_set1_epi32(63));
  const __m256d fraction =
      _mm256_setr_pd(kTwoToSixtyFourths[_mm_extract_epi32(j, 0)], kTwoToSixtyFourths[_mm_extract_epi32(j, 1)],
                     kTwoToSixtyFourths[_mm_extract_epi32(j, 2)], kTwoToSixtyFourths[_mm_extract_epi32(j, 3)]);
  const __m256i exponent = _mm256_cvtepi32_epi64(_mm_add_epi32(_mm_srai_epi32(ki, 6), _mm_set1_epi32(1023)));
  const __m256d power = _mm256_castsi256_pd(_mm256_slli_epi64(exponent, 52));
  const __m256d result = _mm256_mul_pd(_mm256_mul_pd(p, fraction), power);
  const int good = certified(result) & _mm256_movemask_pd(inRange);
  finish(result, good, arguments, out, libraryExp);
}

inline __m256 perChannel(const float (&pair)[2]) {
  return _mm256_setr_ps(pair[0], pair[1], pair[0], pair[1], pair[0], pair[1], pair[0], pair[1]);
}

inline bool anyGreater(__m256 a, __m256 b) { return _mm256_movemask_ps(_mm256_cmp_ps(a, b, _CMP_GT_OQ)) != 0; }

/// +1 where v >= 0 (or NaN gives the other), as the scalar curves choose their signs.
inline __m256 choose(__m256 condition, float whenTrue, float whenFalse) {
  return _mm256_blendv_ps(_mm256_set1_ps(whenFalse), _mm256_set1_ps(whenTrue), condition);
}

// Float value v + offset with the sum in double, rounded back to float.
inline __m256 plusInDouble(__m256 v, double offset) {
  const __m256d o = _mm256_set1_pd(offset);
  const __m128 low = _mm256_cvtpd_ps(_mm256_add_pd(_mm256_cvtps_pd(_mm256_castps256_ps128(v)), o));
  const __m128 high = _mm256_cvtpd_ps(_mm256_add_pd(_mm256_cvtps_pd(_mm256_extractf128_ps(v, 1)), o));
  return _mm256_set_m128(high, low);
}

// The shaping steps, eight values at a time, in the scalar curves' order.
inline __m256 shapeAtan(__m256 x, __m256 peak, __m256 drive, __m256 quarterPi) {
  const __m256 t = _mm256_mul_ps(x, drive);
  const __m256 m = plusInDouble(_mm256_andnot_ps(_mm256_set1_ps(-0.0f), t), 1e-10);
  const __m256 inv = _mm256_div_ps(_mm256_set1_ps(1.0f), _mm256_add_ps(peak, m));
  const __m256 r = _mm256_mul_ps(_mm256_sub_ps(peak, m), inv);
  const __m256 angle = _mm256_mul_ps(_mm256_sub_ps(_mm256_set1_ps(1.0f), r), quarterPi);
  const __m256 negative = _mm256_cmp_ps(t, _mm256_setzero_ps(), _CMP_LT_OQ);
  return _mm256_blendv_ps(angle, _mm256_xor_ps(angle, _mm256_set1_ps(-0.0f)), negative);
}

inline __m256 shapeExp(__m256 x, __m256 peak, __m256 drive) {
  const __m256 t = _mm256_div_ps(_mm256_mul_ps(x, drive), peak);
  const __m256 s = choose(_mm256_cmp_ps(t, _mm256_setzero_ps(), _CMP_GE_OQ), -1.0f, 1.0f);
  const __m256 v = _mm256_mul_ps(s, t);
  alignas(32) double arguments[8];
  _mm256_store_pd(&arguments[0], _mm256_cvtps_pd(_mm256_castps256_ps128(v)));
  _mm256_store_pd(&arguments[4], _mm256_cvtps_pd(_mm256_extractf128_ps(v, 1)));
  alignas(32) float e[8];
  expQuad(&arguments[0], &e[0]);
  expQuad(&arguments[4], &e[4]);
  return _mm256_mul_ps(_mm256_sub_ps(_mm256_set1_ps(1.0f), _mm256_load_ps(e)), s);
}

inline __m256 shapeSqrt(__m256 x, __m256 peak, __m256 drive) {
  const __m256 zero = _mm256_setzero_ps();
  const __m256 sx = choose(_mm256_cmp_ps(x, zero, _CMP_GE_OQ), 1.0f, -1.0f);
  const __m256 t = _mm256_div_ps(_mm256_mul_ps(x, drive), peak);
  const __m256 st = choose(_mm256_cmp_ps(t, zero, _CMP_GE_OQ), 1.0f, -1.0f);
  // A double square root rounded to float is the float square root.
  return _mm256_mul_ps(_mm256_sqrt_ps(_mm256_mul_ps(t, sx)), st);
}

inline __m256 flushDenormal(__m256 v) {
  const __m256i exponent = _mm256_and_si256(_mm256_castps_si256(v), _mm256_set1_epi32(0x7F800000));
  return _mm256_andnot_ps(_mm256_castsi256_ps(_mm256_cmpeq_epi32(exponent, _mm256_setzero_si256())), v);
}

}  // namespace

bool fuzzChunk(FuzzKind kind, const FuzzState& state, float* const* bands, const float* drives, int count,
               int values, float outputScale) {
  if (values > kChunkValues || count > 3) return false;
  const __m256 peak = perChannel(state.peak);
  for (int b = 0; b < count; ++b)
    for (int i = 0; i < values; i += 8)
      if (anyGreater(_mm256_loadu_ps(&bands[b][i]), peak)) return false;

  const bool reciprocals = kind != FuzzKind::sqrt;
  const __m256 shapedMax = perChannel(state.shapedMax), scaledMax = perChannel(state.scaledMax);
  const __m256 shapedFactor = _mm256_mul_ps(perChannel(state.shapedInv), peak);
  const __m256 scaledFactor = _mm256_mul_ps(perChannel(state.scaledInv), peak);
  const __m256 quarterPi = _mm256_set1_ps(state.quarterPi);
  alignas(32) float scaled[3][kChunkValues];
  for (int b = 0; b < count; ++b) {
    const __m256 drive = _mm256_set1_ps(drives[b]);
    for (int i = 0; i < values; i += 8) {
      const __m256 x = _mm256_loadu_ps(&bands[b][i]);
      const __m256 y = kind == FuzzKind::atan  ? shapeAtan(x, peak, drive, quarterPi)
                       : kind == FuzzKind::exp ? shapeExp(x, peak, drive)
                                               : shapeSqrt(x, peak, drive);
      if (anyGreater(y, shapedMax)) return false;
      // reciprocal x peak x value, or value x peak / maximum without reciprocals.
      const __m256 z = reciprocals ? _mm256_mul_ps(shapedFactor, y) : _mm256_div_ps(_mm256_mul_ps(y, peak), shapedMax);
      if (anyGreater(z, scaledMax)) return false;
      _mm256_store_ps(&scaled[b][i], z);
    }
  }
  // Nothing rises in this chunk: finish with the state as it stands.
  const __m256 scale = _mm256_set1_ps(outputScale);
  for (int b = 0; b < count; ++b)
    for (int i = 0; i < values; i += 8) {
      const __m256 z = _mm256_load_ps(&scaled[b][i]);
      __m256 out = reciprocals ? flushDenormal(_mm256_mul_ps(scaledFactor, z))
                               : _mm256_div_ps(_mm256_mul_ps(z, peak), scaledMax);
      if (outputScale != 1.0f) out = _mm256_mul_ps(out, scale);
      _mm256_storeu_ps(&bands[b][i], out);
    }
  return true;
}

bool available() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
}

void sines(const double* arguments, float* out, int count) {
  for (int i = 0; i < count; i += 4) sinQuad(arguments + i, out + i);
}

void anarchik(float* values, int count, float limit, float scale) {
  const __m256d scaleV = _mm256_set1_pd(scale);
  const __m128 limitV = _mm_set1_ps(limit);
  for (int i = 0; i < count; i += 4) {
    const __m128 x = _mm_loadu_ps(&values[i]);
    alignas(32) double arguments[4];
    _mm256_store_pd(arguments, _mm256_mul_pd(_mm256_cvtps_pd(x), scaleV));
    alignas(16) float sines[4];
    sinQuad(arguments, sines);
    const __m128 above = _mm_cmpgt_ps(x, limitV);
    _mm_storeu_ps(&values[i], _mm_blendv_ps(_mm_load_ps(sines), _mm_set1_ps(1.0f), above));
  }
}

void exponentials(const double* arguments, float* out, int count) {
  for (int i = 0; i < count; i += 4) expQuad(arguments + i, out + i);
}

}  // namespace widemath
