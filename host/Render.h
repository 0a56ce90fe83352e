#pragma once

#include <functional>
#include <string>

#include "AudioFile.h"

class LoadedPlugin;

/// Peak and RMS of one channel, linear.
struct Level {
  double peak = 0.0;
  double rms = 0.0;
};

Level measure(const std::vector<float>& samples);

/// Renders audio through the plug-in as a sequencer does: announces the
/// rate and block size, switches it on, feeds processReplacing block by
/// block and switches it off again. `progress` hears the fraction done.
StereoAudio renderThrough(LoadedPlugin& plugin, const StereoAudio& input, int blockFrames,
                          const std::function<void(double)>& progress);

/// A bar on stderr that appears only once a render has taken about a second,
/// and only when stderr is a terminal.
class ProgressBar {
public:
  explicit ProgressBar(bool enabled);
  ~ProgressBar();
  void update(double fraction);

private:
  bool enabled;
  bool shown = false;
  double startSeconds;
  double lastDrawSeconds = 0.0;
};
