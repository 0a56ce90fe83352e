// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

class LoadedPlugin;

/// One `KEY=VALUE` of the command line, resolved against a loaded plug-in.
struct ParameterSetting {
  int index;
  float value;
  std::string note;  // how an ambiguous value was read, or empty
};

/// KEY is an index or a parameter name without its padding, in any case.
/// VALUE is first matched against what the parameter displays, found by
/// asking the plug-in: a text ("fuzz exp"), or a number with or without the
/// parameter's unit ("700", "0 dB", "50%"); only when no display matches is
/// it a plain normalised value from 0 to 1. For our own effect a number in
/// the parameter's unit means exactly that value ("Low Cutoff=300" is 300 Hz,
/// as the LV2 port takes it), not the roundest value that shows it. A value
/// that also reads as a normalised value, with another meaning, gets a note
/// saying which was taken. Throws std::runtime_error naming
/// the argument and what is wrong, with the nearest name or text when one is
/// close ("did you mean").
ParameterSetting resolveSetting(LoadedPlugin& plugin, const std::string& assignment);
