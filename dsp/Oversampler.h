// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

/// Doubles or halves the rate of one channel with a polyphase IIR halfband:
/// two chains of first-order allpass sections, (c + z^-1) / (1 + c z^-1) at
/// the lower rate, whose sum is an elliptic half-band low-pass. No latency
/// and a flat passband (the two paths are power complementary, so the ripple
/// is below 1e-9 dB); the price is a phase shift that grows towards the
/// band edge, which the dry path of a mix shares by going through the same
/// filters.
///
/// Coefficients: index 0, 2, 4... form the first path, 1, 3, 5... the second
/// (designed by the elliptic half-band formulas of Valenzuela and
/// Constantinides for a transition band and count, rounded to float).
template <int Count>
class HalfbandStage {
public:
  explicit constexpr HalfbandStage(const float (&design)[Count]) {
    for (int k = 0; k < Count; ++k) c[k] = design[k];
  }

  /// 2n samples per channel at the doubled rate from n.
  void up(const float* const in[2], int32_t n, float* const out[2]) noexcept {
    State s = upState;
    for (int32_t i = 0; i < n; ++i) {
      const Lanes x = {in[0][i], in[1][i], 0.0f, 0.0f};
      const Lanes even = path<0>(x, s), odd = path<1>(x, s);
      out[0][2 * i] = even[0];
      out[1][2 * i] = even[1];
      out[0][2 * i + 1] = odd[0];
      out[1][2 * i + 1] = odd[1];
    }
    upState = s;
  }

  /// n samples per channel at the halved rate from 2n; out may be in (each
  /// output is written after the two inputs it needs are read).
  void down(const float* const in[2], int32_t n, float* const out[2]) noexcept {
    State s = downState;
    const Lanes half = {0.5f, 0.5f, 0.5f, 0.5f};
    for (int32_t i = 0; i < n; ++i) {
      const Lanes even = {in[0][2 * i], in[1][2 * i], 0.0f, 0.0f};
      const Lanes odd = {in[0][2 * i + 1], in[1][2 * i + 1], 0.0f, 0.0f};
      const Lanes y = half * (path<0>(odd, s) + path<1>(even, s));
      out[0][i] = y[0];
      out[1][i] = y[1];
    }
    downState = s;
  }

  void reset() noexcept { upState = downState = State{}; }

private:
  // Both channels in the lanes of one vector (two lanes spare): every lane
  // computes exactly what a float would, on any instruction set.
  using Lanes = float __attribute__((vector_size(16)));
  struct State {
    Lanes x[Count] = {};
    Lanes y[Count] = {};
  };

  template <int First>
  Lanes path(Lanes x, State& s) const noexcept {
#pragma GCC unroll 8
    for (int k = First; k < Count; k += 2) {
      const Lanes ck = {c[k], c[k], c[k], c[k]};
      const Lanes y = (x - s.y[k]) * ck + s.x[k];
      s.x[k] = x;
      s.y[k] = y;
      x = y;
    }
    return x;
  }

  float c[Count] = {};
  State upState, downState;
};

/// Two channels at 1, 2, 4 or 8 times the host's rate, in cascaded halfband
/// stages. The first stage passes 0.42 of the host rate and stops from 0.58
/// (110 dB); each later stage only has to keep the images of that band out,
/// so it needs fewer sections (3 for 101 dB, 2 for 102 dB). Whatever the
/// curves make above 0.58 of the host rate is removed before it can fold
/// back below 0.42, where the audible band is at 44.1 kHz and above.
class Oversampler {
public:
  static constexpr int32_t kMaxFactor = 8;
  /// The largest block up() and down() take, in frames at the host's rate.
  static constexpr int32_t kMaxFrames = 256;

  /// 1, 2, 4 or 8; a change starts the filters from silence.
  void setFactor(int32_t factor) noexcept;
  int32_t factor() const { return current; }

  /// n (at most kMaxFrames) samples per channel at the host rate to n * factor.
  void up(const float* const in[2], int32_t n, float* const out[2]) noexcept;
  /// n * factor samples per channel to n; `in` is overwritten on the way.
  void down(float* const in[2], int32_t n, float* const out[2]) noexcept;

private:
  static constexpr float kFirst[7] = {0.0342983492f, 0.129412144f, 0.266120136f, 0.422958672f,
                                      0.584460855f,  0.74519968f,  0.910651505f};
  static constexpr float kSecond[3] = {0.0640067086f, 0.26741311f, 0.66911304f};
  static constexpr float kThird[2] = {0.110379785f, 0.536918104f};

  int32_t current = 1;
  HalfbandStage<7> first{kFirst};
  HalfbandStage<3> second{kSecond};
  HalfbandStage<2> third{kThird};
  float between[2][kMaxFrames * kMaxFactor / 2] = {};
};
