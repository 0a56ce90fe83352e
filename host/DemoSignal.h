// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <vector>

/// Eight seconds of music made in code, so the effect can be heard without
/// any audio file: a bass line (low band), a chord pad (mid band) and drums
/// with hi-hats (all bands, the hats mostly high), at 44.1 kHz, stereo.
constexpr int kDemoRate = 44100;
std::vector<float> demoSignal();  // stereo, interleaved

/// The setting the demo is rendered with: a different curve on every band.
/// Each entry is a `KEY=VALUE` as `render --set` takes it.
const char* const* demoPreset();
