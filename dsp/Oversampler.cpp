// SPDX-License-Identifier: GPL-3.0-or-later
#include "Oversampler.h"

void Oversampler::setFactor(int32_t factor) noexcept {
  if (factor == current) return;
  current = factor;
  first.reset();
  second.reset();
  third.reset();
}

// The stages alternate between `out` and the buffer between, so the last
// one writes `out`.
void Oversampler::up(const float* const in[2], int32_t n, float* const out[2]) noexcept {
  float* const mid[2] = {between[0], between[1]};
  switch (current) {
    case 2: first.up(in, n, out); break;
    case 4:
      first.up(in, n, mid);
      second.up(mid, 2 * n, out);
      break;
    case 8:
      first.up(in, n, out);
      second.up(out, 2 * n, mid);
      third.up(mid, 4 * n, out);
      break;
    default:
      for (int c = 0; c < 2; ++c)
        for (int32_t i = 0; i < n; ++i) out[c][i] = in[c][i];
  }
}

void Oversampler::down(float* const in[2], int32_t n, float* const out[2]) noexcept {
  switch (current) {
    case 2: first.down(in, n, out); break;
    case 4:
      second.down(in, 2 * n, in);
      first.down(in, n, out);
      break;
    case 8:
      third.down(in, 4 * n, in);
      second.down(in, 2 * n, in);
      first.down(in, n, out);
      break;
    default:
      for (int c = 0; c < 2; ++c)
        for (int32_t i = 0; i < n; ++i) out[c][i] = in[c][i];
  }
}
