// SPDX-License-Identifier: GPL-3.0-or-later
#include "DemoSignal.h"

#include <cmath>
#include <cstdint>

namespace {

constexpr int kRate = kDemoRate;
constexpr double kBeatSeconds = 0.5;  // 120 beats a minute
constexpr int kBars = 4;
constexpr double kTwoPi = 6.283185307179586;
constexpr double kMixLevel = 0.5;  // peaks near -6 dBFS, leaving the effect room

double noteHz(int semitonesFromA4) { return 440.0 * std::pow(2.0, semitonesFromA4 / 12.0); }

// A few harmonics of a sawtooth: bright enough to feed every band.
double saw(double phase, int harmonics) {
  double v = 0.0;
  for (int h = 1; h <= harmonics; ++h) v += std::sin(phase * h) / h;
  return v * 0.6;
}

class Noise {
public:
  double next() {
    state = state * 1664525u + 1013904223u;
    return static_cast<double>(state >> 8) / 8388608.0 - 1.0;
  }

private:
  uint32_t state = 12345;
};

}  // namespace

std::vector<float> demoSignal() {
  const int beatFrames = static_cast<int>(kBeatSeconds * kRate);
  const int frames = beatFrames * 4 * kBars;
  std::vector<float> audio(2 * static_cast<size_t>(frames), 0.0f);

  // A minor, A minor, C major, G major: roots and triads in semitones from A4.
  const int bassRoots[kBars] = {-36, -36, -33, -38};
  const int chords[kBars][3] = {{-12, -9, -5}, {-12, -9, -5}, {-9, -5, -2}, {-14, -10, -7}};
  Noise noise;
  double previousNoise = 0.0;

  for (int i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / kRate;
    const int beat = i / beatFrames;
    const int bar = beat / 4;
    const double inBeat = static_cast<double>(i % beatFrames) / kRate;
    const double inEighth = std::fmod(inBeat, kBeatSeconds / 2);

    // Bass: eighth notes on the root, the octave on every fourth one.
    const int eighth = static_cast<int>(t / (kBeatSeconds / 2));
    const double bassHz = noteHz(bassRoots[bar] + (eighth % 4 == 3 ? 12 : 0));
    const double bass = 0.35 * saw(kTwoPi * bassHz * t, 6) * std::exp(-inEighth * 6.0);

    // Pad: the bar's triad, slowly swelling, spread across the stereo field.
    double padLeft = 0.0, padRight = 0.0;
    for (int n = 0; n < 3; ++n) {
      const double tone = saw(kTwoPi * noteHz(chords[bar][n]) * t * (1.0 + 0.002 * n), 8);
      padLeft += tone * (n == 0 ? 0.7 : 0.3);
      padRight += tone * (n == 2 ? 0.7 : 0.3);
    }
    const double swell = 0.12 * (0.6 + 0.4 * std::sin(kTwoPi * t / 4.0));

    // Drums: kick on beats 1 and 3, snare on 2 and 4, hats on every eighth.
    const bool kickBeat = beat % 2 == 0;
    const double kickHz = 45.0 + 90.0 * std::exp(-inBeat * 30.0);
    const double kick = kickBeat ? 0.6 * std::sin(kTwoPi * kickHz * inBeat) * std::exp(-inBeat * 9.0) : 0.0;
    const double white = noise.next();
    const double snare =
        kickBeat ? 0.0 : (0.25 * white + 0.2 * std::sin(kTwoPi * 185.0 * inBeat)) * std::exp(-inBeat * 18.0);
    const double hiss = white - previousNoise;  // a first difference leaves mostly highs
    previousNoise = white;
    const double hat = 0.12 * hiss * std::exp(-inEighth * 60.0);

    audio[2 * i] = static_cast<float>(kMixLevel * (bass + swell * padLeft + kick + snare + 0.6 * hat));
    audio[2 * i + 1] = static_cast<float>(kMixLevel * (bass + swell * padRight + kick + snare + hat));
  }
  return audio;
}

const char* const* demoPreset() {
  // "fuzz exp" and "fuzz sqrt" can throw peaks far above full scale while
  // their running maxima settle, so the demo keeps to the tamer curves.
  static const char* const preset[] = {"Low Disto Type=fuzz atan",  "L Threshold=20%",
                                       "Low Gain=-4.4 dB",          "Mid Disto Type=soft",
                                       "M Threshold=70%",           "Mid Gain=-6 dB",
                                       "High Disto Type=arnarchik", "H Threshold=25%",
                                       "High Gain=-3.1 dB",         nullptr};
  return preset;
}
