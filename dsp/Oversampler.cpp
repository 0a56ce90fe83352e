// SPDX-License-Identifier: GPL-3.0-or-later
#include "Oversampler.h"

namespace {

using Lanes = HalfbandStage<2>::Lanes;

inline Lanes pairOf(const float* const in[2], int32_t at) {
  return Lanes{in[0][at], in[1][at], in[0][at + 1], in[1][at + 1]};
}
inline Lanes joined(Lanes a, Lanes b) { return Lanes{a[0], a[1], b[0], b[1]}; }
inline Lanes upper(Lanes a) { return Lanes{a[2], a[3], a[2], a[3]}; }
inline void store(float* const out[2], int32_t at, Lanes pair) {
  out[0][at] = pair[0];
  out[1][at] = pair[1];
  out[0][at + 1] = pair[2];
  out[1][at + 1] = pair[3];
}
// Four samples as two pairs, and back: a channel's four consecutive samples
// move as one vector.
inline Lanes load4(const float* at) {
  Lanes v;
  __builtin_memcpy(&v, at, sizeof v);
  return v;
}
inline void store4(float* at, Lanes v) { __builtin_memcpy(at, &v, sizeof v); }
inline void store(float* const out[2], int32_t at, Lanes first, Lanes second) {
  store4(out[0] + at, Lanes{first[0], first[2], second[0], second[2]});
  store4(out[1] + at, Lanes{first[1], first[3], second[1], second[3]});
}
inline void pairs(const float* const in[2], int32_t at, Lanes& first, Lanes& second) {
  const Lanes left = load4(in[0] + at), right = load4(in[1] + at);
  first = Lanes{left[0], right[0], left[1], right[1]};
  second = Lanes{left[2], right[2], left[3], right[3]};
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

// Each frame goes through every stage before the next frame starts, so the
// stages' recursions, which do not wait for each other, run side by side;
// the states live in registers for the whole block.
template <int Factor>
void Oversampler::upBy(const float* const in[2], int32_t n, float* const out[2]) noexcept {
  Direction s = upState;
  for (int32_t i = 0; i < n; ++i) {
    const Lanes a = first.up(Lanes{in[0][i], in[1][i], 0.0f, 0.0f}, s.first);
    if constexpr (Factor == 2) {
      store(out, 2 * i, a);
    } else {
      const Lanes b0 = second.up(a, s.second), b1 = second.up(upper(a), s.second);
      if constexpr (Factor == 4) {
        store(out, 4 * i, b0, b1);
      } else {
        const Lanes c0 = third.up(b0, s.third), c1 = third.up(upper(b0), s.third);
        const Lanes c2 = third.up(b1, s.third), c3 = third.up(upper(b1), s.third);
        store(out, 8 * i, c0, c1);
        store(out, 8 * i + 4, c2, c3);
      }
    }
  }
  upState = s;
}

template <int Factor>
void Oversampler::downBy(const float* const in[2], int32_t n, float* const out[2]) noexcept {
  Direction s = downState;
  for (int32_t i = 0; i < n; ++i) {
    Lanes y;
    if constexpr (Factor == 2) {
      y = first.down(pairOf(in, 2 * i), s.first);
    } else if constexpr (Factor == 4) {
      Lanes p0, p1;
      pairs(in, 4 * i, p0, p1);
      const Lanes b0 = second.down(p0, s.second), b1 = second.down(p1, s.second);
      y = first.down(joined(b0, b1), s.first);
    } else {
      Lanes p0, p1, p2, p3;
      pairs(in, 8 * i, p0, p1);
      pairs(in, 8 * i + 4, p2, p3);
      const Lanes c0 = third.down(p0, s.third), c1 = third.down(p1, s.third);
      const Lanes c2 = third.down(p2, s.third), c3 = third.down(p3, s.third);
      const Lanes b0 = second.down(joined(c0, c1), s.second), b1 = second.down(joined(c2, c3), s.second);
      y = first.down(joined(b0, b1), s.first);
    }
    out[0][i] = y[0];
    out[1][i] = y[1];
  }
  downState = s;
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
