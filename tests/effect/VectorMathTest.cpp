#include <gtest/gtest.h>

#if defined(__SSE2__)

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "VectorMath.h"

namespace {

using Pair = void (*)(const double*, float*);

// Counts the arguments whose vector result differs in any bit from the
// library's double result rounded to float.
long mismatches(Pair pair, double (*library)(double), const std::vector<double>& arguments) {
  long bad = 0;
  for (size_t i = 0; i + 1 < arguments.size(); i += 2) {
    float out[2];
    pair(&arguments[i], out);
    for (int lane = 0; lane < 2; ++lane) {
      const float expected = static_cast<float>(library(arguments[i + lane]));
      if (std::memcmp(&expected, &out[lane], sizeof expected) != 0) ++bad;
    }
  }
  return bad;
}

double librarySin(double x) { return std::sin(x); }

}  // namespace

TEST(VectorMath, SineEqualsTheLibraryOnMillionsOfArguments) {
  // Products of a float band value and a float scale, as the curve forms them.
  std::mt19937 rng(11);
  std::uniform_real_distribution<float> value(-3.0f, 3.0f), scale(-200.0f, 200.0f);
  std::vector<double> arguments;
  for (int i = 0; i < 4000000; ++i) arguments.push_back(static_cast<double>(value(rng)) * scale(rng));
  const double inf = std::numeric_limits<double>::infinity();
  for (double special : {0.0, -0.0, 1e-300, -1e-30, 1e-8, 3.141592653589793, 1.5707963267948966, 99999.9, 1e5,
                         -1e6, 1e300, inf, -inf, std::numeric_limits<double>::quiet_NaN(), 4.9e-324})
    arguments.push_back(special);
  if (arguments.size() % 2) arguments.push_back(0.5);
  EXPECT_EQ(mismatches(vmath::sinPair, librarySin, arguments), 0);
}

#endif
