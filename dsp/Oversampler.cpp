// SPDX-License-Identifier: GPL-3.0-or-later
#include "Oversampler.h"

namespace {

using Lanes = HalfbandStage<2>::Lanes;

inline Lanes load4(const float* at) {
  Lanes v;
  __builtin_memcpy(&v, at, sizeof v);
  return v;
}
inline void store4(float* at, Lanes v) { __builtin_memcpy(at, &v, sizeof v); }
inline Lanes joined(Lanes a, Lanes b) { return Lanes{a[0], a[1], b[0], b[1]}; }
inline Lanes upper(Lanes a) { return Lanes{a[2], a[3], a[2], a[3]}; }

// Where a stage reads and writes, in the halfband's lanes: one sample is
// (left, right) in lanes 0, 1; a pair adds the next sample in lanes 2, 3.
// `at` counts samples. The host's channels are planar; between stages the
// samples are interleaved, so a pair is one load or store.
struct Interleaved {
  float* data;

  template <int Run>
  void read(int32_t at, Lanes (&x)[Run]) const {
    if constexpr (Run == 1) {
      x[0] = Lanes{data[2 * at], data[2 * at + 1], 0.0f, 0.0f};
    } else {
#pragma GCC unroll 4
      for (int q = 0; q < Run; q += 2) {
        x[q] = load4(data + 2 * (at + q));
        x[q + 1] = upper(x[q]);
      }
    }
  }
  template <int Run>
  void readPairs(int32_t at, Lanes (&pair)[Run]) const {
#pragma GCC unroll 4
    for (int j = 0; j < Run; ++j) pair[j] = load4(data + 2 * (at + 2 * j));
  }
  template <int Run>
  void writePairs(int32_t at, const Lanes (&pair)[Run]) const {
#pragma GCC unroll 4
    for (int j = 0; j < Run; ++j) store4(data + 2 * (at + 2 * j), pair[j]);
  }
  template <int Run>
  void write(int32_t at, const Lanes (&x)[Run]) const {
    if constexpr (Run == 1) {
      data[2 * at] = x[0][0];
      data[2 * at + 1] = x[0][1];
    } else {
#pragma GCC unroll 4
      for (int q = 0; q < Run; q += 2) store4(data + 2 * (at + q), joined(x[q], x[q + 1]));
    }
  }
};

struct PlanarIn {
  const float* const* channel;

  template <int Run>
  void read(int32_t at, Lanes (&x)[Run]) const {
    static_assert(Run == 1, "the host's samples go to the first stage");
    x[0] = Lanes{channel[0][at], channel[1][at], 0.0f, 0.0f};
  }
  template <int Run>
  void readPairs(int32_t at, Lanes (&pair)[Run]) const {
    if constexpr (Run == 1) {
      pair[0] = Lanes{channel[0][at], channel[1][at], channel[0][at + 1], channel[1][at + 1]};
    } else {
// Four samples of each channel make two pairs.
#pragma GCC unroll 4
      for (int q = 0; q < Run; q += 2) {
        const Lanes left = load4(channel[0] + at + 2 * q), right = load4(channel[1] + at + 2 * q);
        pair[q] = Lanes{left[0], right[0], left[1], right[1]};
        pair[q + 1] = Lanes{left[2], right[2], left[3], right[3]};
      }
    }
  }
};

struct PlanarOut {
  float* const* channel;

  template <int Run>
  void writePairs(int32_t at, const Lanes (&pair)[Run]) const {
    if constexpr (Run == 1) {
      channel[0][at] = pair[0][0];
      channel[1][at] = pair[0][1];
      channel[0][at + 1] = pair[0][2];
      channel[1][at + 1] = pair[0][3];
    } else {
#pragma GCC unroll 4
      for (int q = 0; q < Run; q += 2) {
        const Lanes a = pair[q], b = pair[q + 1];
        store4(channel[0] + at + 2 * q, Lanes{a[0], a[2], b[0], b[2]});
        store4(channel[1] + at + 2 * q, Lanes{a[1], a[3], b[1], b[3]});
      }
    }
  }
  template <int Run>
  void write(int32_t at, const Lanes (&x)[Run]) const {
    static_assert(Run == 1, "the host's samples come from the first stage");
    channel[0][at] = x[0][0];
    channel[1][at] = x[0][1];
  }
};

// A stage over a block of n host frames, Run of its input samples per frame.
template <int Run, int Count, class From, class To>
void upStage(const HalfbandStage<Count>& stage, typename HalfbandStage<Count>::State& state, From from, To to,
             int32_t n) {
  auto s = state;
  for (int32_t i = 0; i < n; ++i) {
    Lanes x[Run];
    from.read(i * Run, x);
    stage.up(x, s);
    to.writePairs(2 * i * Run, x);
  }
  state = s;
}

template <int Run, int Count, class From, class To>
void downStage(const HalfbandStage<Count>& stage, typename HalfbandStage<Count>::State& state, From from, To to,
               int32_t n) {
  auto s = state;
  for (int32_t i = 0; i < n; ++i) {
    Lanes x[Run];
    from.readPairs(2 * i * Run, x);
    stage.down(x, s);
    to.write(i * Run, x);
  }
  state = s;
}

// At 1x the signal passes as it is.
inline void copy(const float* const in[2], int32_t n, float* const out[2]) {
  for (int c = 0; c < 2; ++c)
    for (int32_t i = 0; i < n; ++i) out[c][i] = in[c][i];
}

}  // namespace

void Oversampler::setFactor(int32_t factor) noexcept {
  if (factor == current) return;
  current = factor;
  upState = downState = Direction{};
}

// Each stage runs over the whole block before the next: its loop is short,
// so the processor overlaps many frames of it, and the recursions wait for
// each other once per host frame.
template <int Factor>
void Oversampler::upBy(const float* const in[2], int32_t n, float* const out[2]) noexcept {
  const PlanarIn host{in};
  const PlanarOut result{out};
  const Interleaved at2{twice}, at4{fourTimes};
  if constexpr (Factor == 2) {
    upStage<1>(first, upState.first, host, result, n);
  } else if constexpr (Factor == 4) {
    upStage<1>(first, upState.first, host, at2, n);
    upStage<2>(second, upState.second, at2, result, n);
  } else {
    upStage<1>(first, upState.first, host, at2, n);
    upStage<2>(second, upState.second, at2, at4, n);
    upStage<4>(third, upState.third, at4, result, n);
  }
}

template <int Factor>
void Oversampler::downBy(const float* const in[2], int32_t n, float* const out[2]) noexcept {
  const PlanarIn running{in};
  const PlanarOut host{out};
  const Interleaved at2{twice}, at4{fourTimes};
  if constexpr (Factor == 2) {
    downStage<1>(first, downState.first, running, host, n);
  } else if constexpr (Factor == 4) {
    downStage<2>(second, downState.second, running, at2, n);
    downStage<1>(first, downState.first, at2, host, n);
  } else {
    downStage<4>(third, downState.third, running, at4, n);
    downStage<2>(second, downState.second, at4, at2, n);
    downStage<1>(first, downState.first, at2, host, n);
  }
}

void Oversampler::up(const float* const in[2], int32_t n, float* const out[2]) noexcept {
  switch (current) {
    case 2: upBy<2>(in, n, out); break;
    case 4: upBy<4>(in, n, out); break;
    case 8: upBy<8>(in, n, out); break;
    default: copy(in, n, out);
  }
}

void Oversampler::down(const float* const in[2], int32_t n, float* const out[2]) noexcept {
  switch (current) {
    case 2: downBy<2>(in, n, out); break;
    case 4: downBy<4>(in, n, out); break;
    case 8: downBy<8>(in, n, out); break;
    default: copy(in, n, out);
  }
}
