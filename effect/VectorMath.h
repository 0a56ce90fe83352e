#pragma once

// Sine of double arguments, two at a time, rounded to float, giving exactly
// the float that the library's double sin rounded to float gives. Each result is computed to far better than 2^-44 relative and
// certified: when every value within 2^-36 of it rounds to the same float,
// the library's result (within one double ulp of the truth) rounds there too.
// Lanes that cannot be certified, or whose argument lies outside the reduced
// range, take the library call instead.

#include <emmintrin.h>

#include <cmath>
#include <cstdint>

namespace vmath {

constexpr double kCertifyTolerance = 1.0 / 68719476736.0;  // 2^-36

inline __m128d absolute(__m128d x) { return _mm_andnot_pd(_mm_set1_pd(-0.0), x); }

/// Nearest integer of x (|x| < 2^51), as a double.
inline __m128d roundToInteger(__m128d x) {
  const __m128d magic = _mm_set1_pd(6755399441055744.0);  // 1.5 * 2^52
  return _mm_sub_pd(_mm_add_pd(x, magic), magic);
}

/// The two results as floats (in the low half), and a mask of the lanes
/// whose float is certified.
inline int certify(__m128d result, __m128& rounded) {
  const __m128d delta = _mm_mul_pd(absolute(result), _mm_set1_pd(kCertifyTolerance));
  rounded = _mm_cvtpd_ps(result);
  const __m128 below = _mm_cvtpd_ps(_mm_sub_pd(result, delta));
  const __m128 above = _mm_cvtpd_ps(_mm_add_pd(result, delta));
  const __m128i same = _mm_and_si128(_mm_cmpeq_epi32(_mm_castps_si128(below), _mm_castps_si128(rounded)),
                                     _mm_cmpeq_epi32(_mm_castps_si128(above), _mm_castps_si128(rounded)));
  return _mm_movemask_ps(_mm_castsi128_ps(same)) & 3;
}

inline void storeLanes(__m128 rounded, int certified, const double* arguments, float* out,
                       double (*library)(double)) {
  alignas(16) float f[4];
  _mm_store_ps(f, rounded);
  for (int lane = 0; lane < 2; ++lane)
    out[lane] = (certified >> lane & 1) ? f[lane] : static_cast<float>(library(arguments[lane]));
}

inline double librarySin(double x) { return std::sin(x); }

/// out[i] = (float)sin(arguments[i]) for two arguments.
inline void sinPair(const double* arguments, float* out) {
  constexpr double kLargestArgument = 1e5;  // keeps k * pio2Head exact
  constexpr double kSmallestReduced = 1e-8;  // below, the reduction's error could matter
  const __m128d pio2Head = _mm_set1_pd(1.57079632673412561417e+00);  // 33 bits of pi/2
  const __m128d pio2Tail = _mm_set1_pd(6.07710050650619224932e-11);
  const __m128d twoOverPi = _mm_set1_pd(6.36619772367581382433e-01);

  const __m128d x = _mm_loadu_pd(arguments);
  const __m128d k = roundToInteger(_mm_mul_pd(x, twoOverPi));
  const __m128d r = _mm_sub_pd(_mm_sub_pd(x, _mm_mul_pd(k, pio2Head)), _mm_mul_pd(k, pio2Tail));
  const __m128d z = _mm_mul_pd(r, r);

  // Minimax polynomials of sin and cos on [-pi/4, pi/4].
  __m128d ps = _mm_set1_pd(1.58969099521155010221e-10);
  ps = _mm_add_pd(_mm_mul_pd(ps, z), _mm_set1_pd(-2.50507602534068634195e-08));
  ps = _mm_add_pd(_mm_mul_pd(ps, z), _mm_set1_pd(2.75573137070700676789e-06));
  ps = _mm_add_pd(_mm_mul_pd(ps, z), _mm_set1_pd(-1.98412698298579493134e-04));
  ps = _mm_add_pd(_mm_mul_pd(ps, z), _mm_set1_pd(8.33333333332248946124e-03));
  ps = _mm_add_pd(_mm_mul_pd(ps, z), _mm_set1_pd(-1.66666666666666324348e-01));
  const __m128d sine = _mm_add_pd(r, _mm_mul_pd(_mm_mul_pd(z, r), ps));

  __m128d pc = _mm_set1_pd(-1.13596475577881948265e-11);
  pc = _mm_add_pd(_mm_mul_pd(pc, z), _mm_set1_pd(2.08757232129817482790e-09));
  pc = _mm_add_pd(_mm_mul_pd(pc, z), _mm_set1_pd(-2.75573143513906633035e-07));
  pc = _mm_add_pd(_mm_mul_pd(pc, z), _mm_set1_pd(2.48015872894767294178e-05));
  pc = _mm_add_pd(_mm_mul_pd(pc, z), _mm_set1_pd(-1.38888888888741095749e-03));
  pc = _mm_add_pd(_mm_mul_pd(pc, z), _mm_set1_pd(4.16666666666666019037e-02));
  const __m128d cosine =
      _mm_add_pd(_mm_sub_pd(_mm_set1_pd(1.0), _mm_mul_pd(_mm_set1_pd(0.5), z)), _mm_mul_pd(_mm_mul_pd(z, z), pc));

  // Quadrant q = k mod 4: sin, cos, -sin, -cos. Each 32-bit q is doubled up
  // to fill its 64-bit lane.
  const __m128i q = _mm_and_si128(_mm_cvtpd_epi32(k), _mm_set1_epi32(3));
  const __m128i q64 = _mm_unpacklo_epi32(q, q);
  const __m128i one = _mm_set1_epi32(1), two = _mm_set1_epi32(2);
  const __m128d useCos = _mm_castsi128_pd(_mm_cmpeq_epi32(_mm_and_si128(q64, one), one));
  const __m128d negate = _mm_castsi128_pd(_mm_and_si128(_mm_cmpeq_epi32(_mm_and_si128(q64, two), two),
                                                        _mm_set1_epi64x(INT64_MIN)));
  const __m128d quadrantResult =
      _mm_xor_pd(_mm_or_pd(_mm_and_pd(useCos, cosine), _mm_andnot_pd(useCos, sine)), negate);
  // sin(-0) is -0, which the polynomial's sum would turn into +0.
  const __m128d zero = _mm_cmpeq_pd(x, _mm_setzero_pd());
  const __m128d result = _mm_or_pd(_mm_and_pd(zero, x), _mm_andnot_pd(zero, quadrantResult));

  __m128 rounded;
  int certified = certify(result, rounded);
  // Arguments too large (or not finite) for the reduction, and reduced
  // values so small that its error could matter, take the library call.
  const __m128d tooLarge = _mm_cmpnlt_pd(absolute(x), _mm_set1_pd(kLargestArgument));
  const __m128d tinyReduced = _mm_and_pd(_mm_cmplt_pd(absolute(r), _mm_set1_pd(kSmallestReduced)),
                                         _mm_cmpneq_pd(k, _mm_setzero_pd()));
  certified &= ~_mm_movemask_pd(_mm_or_pd(tooLarge, tinyReduced));
  storeLanes(rounded, certified, arguments, out, librarySin);
}

}  // namespace vmath
