#pragma once

#include <string>
#include <vector>

class LoadedPlugin;

/// One `KEY=VALUE` of the command line, resolved against a loaded plug-in.
struct ParameterSetting {
  int index;
  float value;
};

/// KEY is an index or a parameter name without its padding, in any case.
/// VALUE is first matched against what the parameter displays, found by
/// asking the plug-in: a text ("fuzz exp"), or a number with or without the
/// parameter's unit ("700", "0 dB", "50%"); only when no display matches is
/// it a plain normalised value from 0 to 1. Throws std::runtime_error naming
/// the argument and what is wrong, with the nearest name or text when one is
/// close ("did you mean").
ParameterSetting resolveSetting(LoadedPlugin& plugin, const std::string& assignment);
