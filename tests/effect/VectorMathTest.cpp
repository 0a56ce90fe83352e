// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "KernelSetParam.h"
#include "TestSize.h"

// Each kernel set's sine and exponential against the library's double
// result rounded to float, to the bit, on millions of arguments.

using Batch = void (*)(const double*, float*, int) noexcept;

// Each set's maths, built by the tests with the set's flags
// (VectorMathKernels.cpp), and the wide stand-in's (WideStandIn.cpp).
#define TRIBAND_MATH_ENTRIES(set)                                           \
  void sines##set(const double* arguments, float* out, int count) noexcept; \
  void exponentials##set(const double* arguments, float* out, int count) noexcept;
TRIBAND_MATH_ENTRIES(Sse2)
TRIBAND_MATH_ENTRIES(Avx2)
TRIBAND_MATH_ENTRIES(Avx512)
TRIBAND_MATH_ENTRIES(Neon)
TRIBAND_MATH_ENTRIES(WideStandIn)
#undef TRIBAND_MATH_ENTRIES

namespace {

struct SetMaths {
  const char* set;
  Batch sines, exponentials;
};
constexpr SetMaths kMaths[] = {
#if defined(TRIBAND_MATH_Sse2)
    {"sse2", sinesSse2, exponentialsSse2},
#endif
#if defined(TRIBAND_MATH_Avx2)
    {"avx2", sinesAvx2, exponentialsAvx2},
#endif
#if defined(TRIBAND_MATH_Avx512)
    {"avx512", sinesAvx512, exponentialsAvx512},
#endif
#if defined(TRIBAND_MATH_Neon)
    {"neon", sinesNeon, exponentialsNeon},
#endif
#if defined(TRIBAND_WIDE_STAND_IN)
    {"avx512-portable", sinesWideStandIn, exponentialsWideStandIn},
#endif
    {nullptr, nullptr, nullptr},
};

long mismatches(Batch batch, double (*library)(double), std::vector<double> arguments) {
  while (arguments.size() % 8) arguments.push_back(0.5);
  std::vector<float> out(arguments.size());
  batch(arguments.data(), out.data(), static_cast<int>(arguments.size()));
  long bad = 0;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const float expected = static_cast<float>(library(arguments[i]));
    if (std::memcmp(&expected, &out[i], sizeof expected) != 0) ++bad;
  }
  return bad;
}

double librarySin(double x) { return std::sin(x); }
double libraryExp(double x) { return std::exp(x); }

constexpr double kInf = std::numeric_limits<double>::infinity();

class VectorMath : public KernelSetTest {
protected:
  void SetUp() override {
    KernelSetTest::SetUp();
    if (IsSkipped()) return;
    for (const SetMaths& m : kMaths)
      if (m.set && std::strcmp(m.set, GetParam()) == 0) {
        maths = &m;
        return;
      }
    GTEST_SKIP() << "the " << GetParam() << " set has no vector sine or exponential: it calls the library's";
  }
  const SetMaths* maths = nullptr;
};

}  // namespace

TEST_P(VectorMath, SineEqualsTheLibraryOnMillionsOfArguments) {
  // Products of a float band value and a float scale, as the anarchik curve
  // forms them, and the arguments where a sine is hardest to get right.
  std::mt19937 rng(11);
  std::uniform_real_distribution<float> value(-3.0f, 3.0f), scale(-200.0f, 200.0f);
  std::vector<double> arguments;
  for (long i = 0; i < scaledCount(4000000); ++i)
    arguments.push_back(static_cast<double>(value(rng)) * static_cast<double>(scale(rng)));
  // Large arguments, up to and past where the reduction is trusted, and
  // near multiples of pi there, where it loses the most.
  std::uniform_real_distribution<double> large(-4e6, 4e6);
  std::uniform_int_distribution<int> multiple(-1400000, 1400000);
  std::uniform_real_distribution<double> offset(-1e-5, 1e-5);
  for (long i = 0; i < scaledCount(500000); ++i) {
    arguments.push_back(large(rng));
    arguments.push_back(multiple(rng) * 3.141592653589793 + offset(rng));
  }
  for (double special : {0.0, -0.0, 1e-300, -1e-30, 1e-8, 3.141592653589793, 1.5707963267948966, 99999.9, 1e5, -1e6,
                         1e300, kInf, -kInf, std::numeric_limits<double>::quiet_NaN(), 4.9e-324})
    arguments.push_back(special);
  EXPECT_EQ(mismatches(maths->sines, librarySin, arguments), 0);
}

TEST_P(VectorMath, ExponentialEqualsTheLibraryOnMillionsOfArguments) {
  std::mt19937 rng(12);
  std::vector<double> exponents;
  std::uniform_real_distribution<float> negative(-100.0f, 0.0f), small(-1.0f, 1.0f);
  for (long i = 0; i < scaledCount(2000000); ++i) exponents.push_back(i % 4 ? negative(rng) : small(rng));
  for (double special : {0.0, -0.0, -87.0, -87.5, -103.9, -746.0, 88.0, 88.8, -kInf, kInf, 1e300,
                         std::numeric_limits<double>::quiet_NaN()})
    exponents.push_back(special);
  EXPECT_EQ(mismatches(maths->exponentials, libraryExp, exponents), 0);
}

TRIBAND_FOR_EVERY_KERNEL_SET(VectorMath);
