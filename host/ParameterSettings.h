#pragma once

#include <string>
#include <vector>

class LoadedPlugin;

/// One `KEY=VALUE` of the command line, resolved against a loaded plug-in.
struct ParameterSetting {
  int index;
  float value;
};

/// KEY is an index or a parameter name without its padding, in any case;
/// VALUE is a normalised number, or a text the parameter displays ("fuzz
/// exp"), which is found by asking the plug-in. Throws std::runtime_error
/// naming the argument and what is wrong.
ParameterSetting resolveSetting(LoadedPlugin& plugin, const std::string& assignment);
