// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

/// Doubles or halves the rate of two channels with a polyphase IIR halfband:
/// two chains of first-order allpass sections, (c + z^-1) / (1 + c z^-1) at
/// the lower rate, whose average is an elliptic half-band low-pass. No
/// latency and a flat passband (the two paths are power complementary, so
/// the ripple is below 1e-9 dB); the price is a phase shift that grows
/// towards the band edge, which the dry path of a mix shares by going
/// through the same filters.
///
/// Coefficients: index 0, 2, 4... form the first path, 1, 3, 5... the second
/// (designed by the elliptic half-band formulas of Valenzuela and
/// Constantinides for a transition band and an even count, rounded to
/// float). Both channels of both paths share one vector of four lanes, left
/// and right of the first path, then of the second; every lane computes what
/// a float would, on any instruction set.
template <int Count>
class HalfbandStage {
  static_assert(Count % 2 == 0, "both paths have the same number of sections");
  static constexpr int kSteps = Count / 2;

public:
  using Lanes = float __attribute__((vector_size(16)));
  /// Left and right of one sample in lanes 0 and 1.
  struct State {
    Lanes in = {};           // the input one sample ago
    Lanes out[kSteps] = {};  // each section's output one sample ago
  };

  explicit constexpr HalfbandStage(const float (&design)[Count]) {
    for (int k = 0; k < kSteps; ++k) {
      c[k] = Lanes{design[2 * k], design[2 * k], design[2 * k + 1], design[2 * k + 1]};
      Lanes power = -c[k];
#pragma GCC unroll 4
      for (int j = 0; j < kMaxRun; ++j, power *= -c[k]) reach[k][j] = power;
    }
  }

  /// Run samples (left, right in lanes 0, 1) to twice as many: each result
  /// holds the first in lanes 0, 1, the second in lanes 2, 3.
  template <int Run>
  void up(Lanes (&x)[Run], State& s) const noexcept {
#pragma GCC unroll 4
    for (Lanes& v : x) v = Lanes{v[0], v[1], v[0], v[1]};
    run(x, s);
  }

  /// Run pairs of samples (the first in lanes 0, 1, the second in 2, 3) to
  /// one each, in lanes 0, 1.
  template <int Run>
  void down(Lanes (&pair)[Run], State& s) const noexcept {
#pragma GCC unroll 4
    for (Lanes& v : pair) v = Lanes{v[2], v[3], v[0], v[1]};
    run(pair, s);
    const Lanes half = {0.5f, 0.5f, 0.5f, 0.5f};
#pragma GCC unroll 4
    for (Lanes& y : pair) y = (y + Lanes{y[2], y[3], y[0], y[1]}) * half;
  }

  static constexpr int kMaxRun = 4;

private:
  // A section's recursion, y = c x + x' - c y' (primes: one sample ago), is
  // taken a run of samples at a time: first as if the section's last output
  // had been zero (z), then adding what that output contributes to each,
  // (-c)^j times it. Only that last step waits for the run before, so a run
  // costs one multiply and one addition of waiting instead of a multiply and
  // a subtraction per sample; a run of one is the recursion itself, bit for
  // bit. Each section's previous input is the previous section's previous
  // output, so only the stage's own input is kept besides the outputs.
  template <int Run>
  void run(Lanes (&x)[Run], State& s) const noexcept {
    static_assert(Run >= 1 && Run <= kMaxRun);
    Lanes previous = s.in;
    s.in = x[Run - 1];
#pragma GCC unroll 8
    for (int k = 0; k < kSteps; ++k) {
      Lanes z[Run];
      z[0] = c[k] * x[0] + previous;
#pragma GCC unroll 4
      for (int j = 1; j < Run; ++j) z[j] = c[k] * x[j] + x[j - 1] - c[k] * z[j - 1];
      previous = s.out[k];
#pragma GCC unroll 4
      for (int j = 0; j < Run; ++j) x[j] = z[j] + reach[k][j] * previous;
      s.out[k] = x[Run - 1];
    }
  }

  Lanes c[kSteps] = {};
  Lanes reach[kSteps][kMaxRun] = {};
};

/// Two channels at 1, 2, 4 or 8 times the host's rate, in cascaded halfband
/// stages, each run over the whole block before the next, one host frame's
/// worth of samples at a time (so the result does not depend on how the
/// host splits its blocks). The first
/// stage passes 0.42 of the host rate and stops from 0.58 (95 dB: the aliases
/// measured through it are those of a 126 dB stage to 0.1 dB, at a quarter
/// less work); each later stage only has to keep the images of that band
/// out, so it needs fewer sections (4 for 132 dB, 2 for 102 dB). Whatever
/// the curves make above 0.58 of the host rate is removed before it can fold
/// back below 0.42, where the audible band is at 44.1 kHz and above.
class Oversampler {
public:
  static constexpr int32_t kMaxFactor = 8;
  static constexpr int32_t kMaxFrames = 256;

  /// 1, 2, 4 or 8; a change starts the filters from silence.
  void setFactor(int32_t factor) noexcept;
  int32_t factor() const { return current; }

  /// n samples per channel at the host rate to n * factor.
  void up(const float* const in[2], int32_t n, float* const out[2]) noexcept;
  /// n * factor samples per channel to n.
  void down(const float* const in[2], int32_t n, float* const out[2]) noexcept;

private:
  template <int Factor>
  void upBy(const float* const in[2], int32_t n, float* const out[2]) noexcept;
  template <int Factor>
  void downBy(const float* const in[2], int32_t n, float* const out[2]) noexcept;

  // Between stages the signal waits interleaved (left, right, left...), at
  // 2 and 4 times the host's rate.
  float twice[2 * 2 * kMaxFrames] = {};
  float fourTimes[2 * 4 * kMaxFrames] = {};

  static constexpr float kFirst[6] = {0.0453621633f, 0.168087482f, 0.33714968f,
                                      0.522377849f,  0.708064139f, 0.897445619f};
  static constexpr float kSecond[4] = {0.0385405421f, 0.157814816f, 0.373658508f, 0.732566595f};
  static constexpr float kThird[2] = {0.110379785f, 0.536918104f};

  struct Direction {
    HalfbandStage<6>::State first;
    HalfbandStage<4>::State second;
    HalfbandStage<2>::State third;
  };

  int32_t current = 1;
  HalfbandStage<6> first{kFirst};
  HalfbandStage<4> second{kSecond};
  HalfbandStage<2> third{kThird};
  Direction upState, downState;
};
