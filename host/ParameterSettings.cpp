#include "ParameterSettings.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <stdexcept>

#include "PluginHost.h"

namespace {

std::string folded(const std::string& text) {
  std::string out;
  for (char c : trimmed(text)) {
    if (c == ' ' && !out.empty() && out.back() == ' ') continue;
    out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return out;
}

bool parseNumber(const std::string& text, double& number) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  number = std::strtod(text.c_str(), &end);
  return end == text.c_str() + text.size() && errno == 0 && std::isfinite(number);
}

std::runtime_error failure(const std::string& assignment, const std::string& what) {
  return std::runtime_error("--set '" + assignment + "': " + what);
}

int resolveIndex(LoadedPlugin& plugin, const std::string& key, const std::string& assignment) {
  double number;
  if (parseNumber(key, number)) {
    if (number != std::floor(number) || number < 0 || number >= plugin.parameterCount())
      throw failure(assignment, "no parameter has index " + key + " (0 to " +
                                    std::to_string(plugin.parameterCount() - 1) + ")");
    return static_cast<int>(number);
  }
  const std::string wanted = folded(key);
  for (int i = 0; i < plugin.parameterCount(); ++i)
    if (folded(plugin.parameterName(i)) == wanted) return i;
  throw failure(assignment, "no parameter is named '" + key + "' (see 'tribandist info')");
}

// Finds the normalised value whose display reads `wanted`, by sweeping the
// parameter, and returns the middle of the first run of such values. The
// parameter is put back afterwards.
// Every distinct display seen goes to `seen`, for the error message.
bool valueFromDisplay(LoadedPlugin& plugin, int index, const std::string& wanted, float& value,
                      std::vector<std::string>& seen) {
  constexpr int kSteps = 200;
  constexpr size_t kMostShown = 8;
  const float original = plugin.parameter(index);
  int first = -1, last = -2;
  for (int step = 0; step <= kSteps; ++step) {
    plugin.setParameter(index, static_cast<float>(step) / kSteps);
    const std::string display = trimmed(plugin.parameterDisplay(index));
    if (seen.size() < kMostShown && std::find(seen.begin(), seen.end(), display) == seen.end())
      seen.push_back(display);
    const bool match = folded(display) == folded(wanted);
    if (match && (first < 0 || last == step - 1)) {  // only the first run of matches
      if (first < 0) first = step;
      last = step;
    }
  }
  plugin.setParameter(index, original);
  if (first < 0) return false;
  value = static_cast<float>(first + last) / (2.0f * kSteps);
  return true;
}

}  // namespace

ParameterSetting resolveSetting(LoadedPlugin& plugin, const std::string& assignment) {
  const size_t equals = assignment.find('=');
  if (equals == std::string::npos) throw failure(assignment, "expected KEY=VALUE");
  const std::string key = trimmed(assignment.substr(0, equals));
  const std::string valueText = trimmed(assignment.substr(equals + 1));
  const int index = resolveIndex(plugin, key, assignment);
  double number;
  if (parseNumber(valueText, number)) {
    if (number < 0.0 || number > 1.0) throw failure(assignment, "a value must lie between 0 and 1");
    return {index, static_cast<float>(number)};
  }
  float value;
  std::vector<std::string> seen;
  if (!valueText.empty() && valueFromDisplay(plugin, index, valueText, value, seen)) return {index, value};
  std::string shown;
  for (const std::string& s : seen) shown += (shown.empty() ? "" : ", ") + s;
  throw failure(assignment, "'" + valueText + "' is neither a number from 0 to 1 nor a value '" +
                                trimmed(plugin.parameterName(index)) + "' shows (" + shown + ")");
}
