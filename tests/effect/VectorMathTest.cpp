#include <gtest/gtest.h>

#if defined(__SSE2__)

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "VectorMath.h"
#include "WideMath.h"

namespace {

using Pair = void (*)(const double*, float*);

// Counts the arguments (step at a time) whose vector result differs in any bit from the
// library's double result rounded to float.
long mismatches(Pair pair, size_t step, double (*library)(double), const std::vector<double>& arguments) {
  long bad = 0;
  for (size_t i = 0; i + step <= arguments.size(); i += step) {
    float out[4];
    pair(&arguments[i], out);
    for (size_t lane = 0; lane < step; ++lane) {
      const float expected = static_cast<float>(library(arguments[i + lane]));
      if (std::memcmp(&expected, &out[lane], sizeof expected) != 0) ++bad;
    }
  }
  return bad;
}

double librarySin(double x) { return std::sin(x); }
double libraryExp(double x) { return std::exp(x); }

// A batch function seen through the pair interface, four values a call.
template <void (*batch)(const double*, float*, int)>
void fourAtATime(const double* arguments, float* out) {
  batch(arguments, out, 4);
}

// Products of a float band value and a float scale, as the curve forms them,
// and the arguments where a sine is hardest to get right.
const std::vector<double>& sineArguments() {
  static const std::vector<double> arguments = [] {
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> value(-3.0f, 3.0f), scale(-200.0f, 200.0f);
    std::vector<double> a;
    for (int i = 0; i < 4000000; ++i) a.push_back(static_cast<double>(value(rng)) * scale(rng));
    const double inf = std::numeric_limits<double>::infinity();
    for (double special : {0.0, -0.0, 1e-300, -1e-30, 1e-8, 3.141592653589793, 1.5707963267948966, 99999.9, 1e5,
                           -1e6, 1e300, inf, -inf, std::numeric_limits<double>::quiet_NaN(), 4.9e-324})
      a.push_back(special);
    while (a.size() % 4) a.push_back(0.5);
    return a;
  }();
  return arguments;
}

}  // namespace

TEST(VectorMath, BaselineSineEqualsTheLibraryOnMillionsOfArguments) {
  EXPECT_EQ(mismatches(vmath::sinPair, 2, librarySin, sineArguments()), 0);
}

TEST(VectorMath, WideSineAndExponentialEqualTheLibraryOnMillionsOfArguments) {
  if (!widemath::available()) GTEST_SKIP() << "this processor lacks AVX2 or FMA: the wide kernels cannot run here";
  EXPECT_EQ(mismatches(fourAtATime<widemath::sines>, 4, librarySin, sineArguments()), 0);
  std::mt19937 rng(12);
  std::vector<double> exponents;
  std::uniform_real_distribution<float> negative(-100.0f, 0.0f), small(-1.0f, 1.0f);
  for (int i = 0; i < 2000000; ++i) exponents.push_back(i % 4 ? negative(rng) : small(rng));
  const double inf = std::numeric_limits<double>::infinity();
  for (double special : {0.0, -0.0, -87.0, -87.5, -103.9, -746.0, 88.0, 88.8, -inf, inf, 1e300})
    exponents.push_back(special);
  while (exponents.size() % 4) exponents.push_back(-0.25);
  EXPECT_EQ(mismatches(fourAtATime<widemath::exponentials>, 4, libraryExp, exponents), 0);
}

#endif
