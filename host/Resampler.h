// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <soxr.h>

#include <cstdint>
#include <vector>

/// Interleaved float frames from one rate to another through libsoxr, block
/// by block, at its high quality.
class Resampler {
public:
  /// Throws std::runtime_error when libsoxr refuses the rates.
  Resampler(double fromRate, double toRate, int channels);
  ~Resampler();
  Resampler(const Resampler&) = delete;
  Resampler& operator=(const Resampler&) = delete;

  /// Resamples `frames` frames, appending what comes out to `out`.
  void process(const float* in, int64_t frames, std::vector<float>& out);
  /// Appends the frames still held at the end of the input.
  void flush(std::vector<float>& out);

private:
  void run(const float* in, int64_t frames, std::vector<float>& out);

  soxr_t resampler = nullptr;
  int channels;
  double ratio;
};
