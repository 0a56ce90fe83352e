// SPDX-License-Identifier: GPL-3.0-or-later
#include "Resampler.h"

#include <cmath>
#include <stdexcept>
#include <string>

Resampler::Resampler(double fromRate, double toRate, int channelCount)
    : channels(channelCount), ratio(toRate / fromRate) {
  soxr_error_t error = nullptr;
  const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
  const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
  resampler = soxr_create(fromRate, toRate, static_cast<unsigned>(channels), &error, &io, &quality, nullptr);
  if (error) throw std::runtime_error(std::string("cannot resample: ") + error);
}

Resampler::~Resampler() { soxr_delete(resampler); }

void Resampler::run(const float* in, int64_t frames, std::vector<float>& out) {
  constexpr int64_t kSlack = 64;
  size_t consumed = 0;
  do {
    const size_t room = static_cast<size_t>(std::ceil(static_cast<double>(frames) * ratio)) + kSlack;
    const size_t start = out.size();
    out.resize(start + room * channels);
    size_t done = 0, produced = 0;
    const float* from = in ? in + consumed * channels : nullptr;
    const soxr_error_t error = soxr_process(resampler, from, in ? static_cast<size_t>(frames) - consumed : 0, &done,
                                            out.data() + start, room, &produced);
    if (error) throw std::runtime_error(std::string("resampling failed: ") + error);
    out.resize(start + produced * channels);
    consumed += done;
    if (!in && produced == 0) break;  // flushed
  } while (in ? consumed < static_cast<size_t>(frames) : true);
}

void Resampler::process(const float* in, int64_t frames, std::vector<float>& out) {
  if (frames > 0) run(in, frames, out);
}

void Resampler::flush(std::vector<float>& out) { run(nullptr, 0, out); }
