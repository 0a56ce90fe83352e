// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "SoundFiles.h"

class LoadedPlugin;

/// Peak and RMS of one channel, linear.
struct Level {
  double peak = 0.0;  // of the finite samples
  double rms = 0.0;
  int64_t nonFinite = 0;  // samples that are NaN or infinite
};

struct RenderOptions {
  int blockFrames = 512;  // frames per processing call
  int rate = 0;           // the rate to process at; 0 for the file's own
};

/// The rates --rate takes, and the largest ratio to a file's rate the
/// resampler is asked for.
constexpr int kLowestRate = 1000;
constexpr int kHighestRate = 768000;
constexpr int kLargestRateRatio = 256;

struct RenderResult {
  int64_t framesIn = 0;
  int rate = 0;  // the file's
  int inputChannels = 0;
  int outputChannels = 0;
  std::vector<Level> levelsIn, levelsOut;
  int64_t nonFinite = 0;   // output samples that are NaN or infinite
  bool discarded = false;  // the output was not finite and OUT was left as it was
  std::vector<std::string> notes;
};

/// Called with the frames read so far and the total (-1 when not known).
using Progress = std::function<void(int64_t done, int64_t total)>;

/// Streams `source` through the plug-in into OUT, block by block, as a
/// sequencer drives it: announces the rate and block size, switches it on,
/// feeds processReplacing with a buffer for every input and output, and
/// switches it off. A mono source feeds every input; inputs beyond the
/// source's channels get silence; every output the container can hold is
/// written. With options.rate set and different from the file's, the audio
/// is resampled to it for the plug-in and back. Memory stays bounded by the
/// block size; the output has exactly the input's frames, resampled or not.
/// Throws std::runtime_error naming what is wrong; OUT is replaced only by a
/// finished render whose every sample is finite (otherwise it is left as it
/// was and the result dropped, unless OUT is a pipe or device).
RenderResult renderThrough(LoadedPlugin& plugin, Source& source, const std::string& out, const Container& container,
                           const RenderOptions& options, const Progress& progress);

/// The note for a render of our effect at a rate other than its design
/// rate, or "" when there is nothing to say.
std::string rateNote(const LoadedPlugin& plugin, int sourceRate, const RenderOptions& options);

/// "-6.0 dB", "-inf dB", or "not finite" for a level with such samples.
std::string levelText(const Level& level, bool rms);

/// A progress line on stderr, shown once a render has taken about a second
/// and only when stderr is a terminal: a bar when the length is known, a
/// count and a spinner when it is not.
class ProgressLine {
public:
  explicit ProgressLine(bool enabled, std::string what = "rendering");
  ~ProgressLine();
  void update(int64_t done, int64_t total);

private:
  bool enabled;
  std::string what;
  bool shown = false;
  double startSeconds;
  double lastDrawSeconds = 0.0;
  int turn = 0;
};
