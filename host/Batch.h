// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <climits>
#include <string>
#include <vector>

#include "Render.h"

constexpr int kNoProgram = INT_MIN;  // --program not given

/// What every file of a batch is rendered with.
struct BatchRequest {
  std::string pluginPath;
  std::vector<std::string> inputs;
  std::string folder;  // where the results go, each named as its input
  std::string format;  // a container name, or empty for each input's own
  int program = kNoProgram;
  std::vector<std::string> settings;
  RenderOptions options;
  int jobs = 1;
  bool quiet = false;
};

/// Renders every input into the folder, `jobs` at a time, each through a
/// fresh instance of the plug-in, with one progress line for all; the files
/// that fail are reported and the others still written. Prints a summary;
/// returns the number of files that failed.
int renderBatch(const BatchRequest& request);
