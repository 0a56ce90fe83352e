#pragma once

// Sine of double arguments, two at a time, rounded to float, giving exactly
// the float that the library's double sin rounded to float gives. Each result
// is computed to better than 2^-44 relative and certified: when every value
// within 2^-36 of it rounds to the same float, the library's result (within
// one double ulp of the truth) rounds there too.
// Lanes that cannot be certified, or whose argument lies outside the reduced
// range, take the library call instead.

#include <emmintrin.h>

#include <cmath>
#include <cstdint>

namespace vmath {

inline __m128d absolute(__m128d x) { return _mm_andnot_pd(_mm_set1_pd(-0.0), x); }

/// Nearest integer of x (|x| < 2^51), as a double.
inline __m128d roundToInteger(__m128d x) {
  const __m128d magic = _mm_set1_pd(6755399441055744.0);  // 1.5 * 2^52
  return _mm_sub_pd(_mm_add_pd(x, magic), magic);
}

/// Lanes (bit 0, bit 1) of a double whose float rounding is certain: the 29
/// bits below a float's precision lie farther than 2^17 units (2^-36 of the
/// value) from the halfway pattern where rounding turns. Results in the
/// float's denormal range are not certified.
inline int certified(__m128d result) {
  const __m128i bits = _mm_castpd_si128(result);
  const __m128i low = _mm_shuffle_epi32(bits, _MM_SHUFFLE(2, 0, 2, 0));
  const __m128i offset =
      _mm_sub_epi32(_mm_and_si128(low, _mm_set1_epi32(0x1FFFFFFF)), _mm_set1_epi32(0x10000000));
  const __m128i margin = _mm_set1_epi32(1 << 17);
  const __m128i far = _mm_or_si128(_mm_cmpgt_epi32(offset, margin),
                                   _mm_cmplt_epi32(offset, _mm_sub_epi32(_mm_setzero_si128(), margin)));
  const __m128d magnitude = absolute(result);
  const __m128d tiny = _mm_and_pd(_mm_cmplt_pd(magnitude, _mm_set1_pd(0x1p-125)),
                                  _mm_cmpneq_pd(magnitude, _mm_setzero_pd()));
  return _mm_movemask_ps(_mm_castsi128_ps(far)) & 3 & ~_mm_movemask_pd(tiny);
}

/// out[i] = (float)sin(arguments[i]) for two arguments.
inline void sinPair(const double* arguments, float* out) {
  constexpr double kLargestArgument = 1e5;   // keeps k * piHead exact
  constexpr double kSmallestReduced = 1e-8;  // below, the reduction's error could matter
  const __m128d piHead = _mm_set1_pd(3.14159265346825122833e+00);  // 33 bits of pi
  const __m128d piTail = _mm_set1_pd(1.21542010130123844986e-10);
  const __m128d inversePi = _mm_set1_pd(3.18309886183790671538e-01);

  const __m128d x = _mm_loadu_pd(arguments);
  const __m128d k = roundToInteger(_mm_mul_pd(x, inversePi));
  const __m128d r = _mm_sub_pd(_mm_sub_pd(x, _mm_mul_pd(k, piHead)), _mm_mul_pd(k, piTail));
  const __m128d z = _mm_mul_pd(r, r);

  // sin r = r (1 + z P(z)) on |r| <= pi/2: the Taylor series to r^17, whose
  // remainder is below 2^-44; the product form keeps sin(-0) = -0.
  const double coefficients[] = {1.0 / 355687428096000.0, -1.0 / 1307674368000.0, 1.0 / 6227020800.0,
                                 -1.0 / 39916800.0,       1.0 / 362880.0,          -1.0 / 5040.0,
                                 1.0 / 120.0,             -1.0 / 6.0};
  __m128d p = _mm_setzero_pd();
  for (double c : coefficients) p = _mm_add_pd(_mm_mul_pd(p, z), _mm_set1_pd(c));
  const __m128d sine = _mm_mul_pd(r, _mm_add_pd(_mm_set1_pd(1.0), _mm_mul_pd(z, p)));

  // sin(x) = (-1)^k sin(r): odd k flips the sign bit.
  const __m128i parity = _mm_slli_epi32(_mm_and_si128(_mm_cvtpd_epi32(k), _mm_set1_epi32(1)), 31);
  const __m128d result = _mm_xor_pd(sine, _mm_castsi128_pd(_mm_unpacklo_epi32(_mm_setzero_si128(), parity)));

  // Arguments too large (or not finite) for the reduction, and reduced
  // values so small that its error could matter, take the library call.
  const __m128d tooLarge = _mm_cmpnlt_pd(absolute(x), _mm_set1_pd(kLargestArgument));
  const __m128d tinyReduced = _mm_and_pd(_mm_cmplt_pd(absolute(r), _mm_set1_pd(kSmallestReduced)),
                                         _mm_cmpneq_pd(k, _mm_setzero_pd()));
  const int good = certified(result) & ~_mm_movemask_pd(_mm_or_pd(tooLarge, tinyReduced));
  alignas(16) float f[4];
  _mm_store_ps(f, _mm_cvtpd_ps(result));
  out[0] = (good & 1) ? f[0] : static_cast<float>(std::sin(arguments[0]));
  out[1] = (good & 2) ? f[1] : static_cast<float>(std::sin(arguments[1]));
}

}  // namespace vmath
