// SPDX-License-Identifier: GPL-3.0-or-later
#include "ParameterSettings.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <stdexcept>

#include "Parameters.h"
#include "PluginHost.h"
#include "UnitValues.h"

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

/// A number and what follows it ("0 dB" is 0 and "db"); false when the text
/// does not start with a number.
bool parseQuantity(const std::string& text, double& number, std::string& unit) {
  const std::string t = trimmed(text);
  if (t.empty()) return false;
  char* end = nullptr;
  errno = 0;
  number = std::strtod(t.c_str(), &end);
  if (end == t.c_str() || errno != 0 || !std::isfinite(number)) return false;
  unit = folded(std::string(end));
  return true;
}

size_t editDistance(const std::string& a, const std::string& b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

/// " (did you mean 'x'?)" for the candidate nearest `wanted`, if it is near.
std::string didYouMean(const std::string& wanted, const std::vector<std::string>& candidates) {
  constexpr size_t kNear = 3;
  const std::string w = folded(wanted);
  const std::string* best = nullptr;
  size_t bestDistance = kNear + 1;
  for (const std::string& c : candidates) {
    const size_t d = editDistance(w, folded(c));
    if (d < bestDistance) {
      bestDistance = d;
      best = &c;
    }
  }
  return best ? " (did you mean '" + *best + "'?)" : "";
}

std::runtime_error failure(const std::string& assignment, const std::string& what) {
  return std::runtime_error("--set '" + assignment + "': " + what);
}

int resolveIndex(LoadedPlugin& plugin, const std::string& key, const std::string& assignment) {
  double number;
  if (parseNumber(key, number)) {
    if (number != std::floor(number) || number < 0 || number >= plugin.parameterCount())
      throw failure(assignment,
                    "no parameter has index " + key + " (0 to " + std::to_string(plugin.parameterCount() - 1) + ")");
    return static_cast<int>(number);
  }
  std::vector<std::string> names;
  for (int i = 0; i < plugin.parameterCount(); ++i) {
    names.push_back(trimmed(plugin.parameterName(i)));
    if (folded(names.back()) == folded(key)) return i;
  }
  throw failure(assignment,
                "no parameter is named '" + key + "'" + didYouMean(key, names) + " (see 'tribandist info')");
}

/// The simplest fraction among sweep steps first..last (of kSteps): a run
/// of values that all show the same text contains 1, 0.5 or 0.25 where it
/// can, which is the value a user naming the display most likely means.
size_t roundest(size_t first, size_t last, size_t steps) {
  size_t best = first, bestDenominator = steps + 1;
  for (size_t k = first; k <= last; ++k) {
    size_t a = k, b = steps;
    while (b) {
      const size_t t = a % b;
      a = b;
      b = t;
    }
    const size_t denominator = steps / (a ? a : steps);
    if (denominator < bestDenominator) {
      bestDenominator = denominator;
      best = k;
    }
  }
  return best;
}

/// What a parameter shows across its range, sampled, so a text can be
/// matched against what the plug-in itself displays.
class DisplaySweep {
public:
  DisplaySweep(LoadedPlugin& swept, int sweptIndex) : plugin(swept), index(sweptIndex) {
    const float original = plugin.parameter(index);
    for (size_t step = 0; step <= kSteps; ++step) add(static_cast<float>(step) / kSteps);
    plugin.setParameter(index, original);
    label = folded(plugin.parameterLabel(index));
  }

  /// The roundest of the first run of values whose display reads `wanted`.
  bool matchText(const std::string& wanted, float& value) const {
    const std::string w = folded(wanted);
    for (size_t i = 0; i < shown.size(); ++i) {
      if (folded(shown[i].text) != w && folded(shown[i].text + " " + label) != w) continue;
      size_t last = i;
      while (last + 1 < shown.size() && shown[last + 1].text == shown[i].text) ++last;
      value = shown[roundest(i, last, kSteps)].value;
      return true;
    }
    return false;
  }

  /// The value whose displayed number comes nearest `number`, refined
  /// between its neighbours; false when the displays are not numbers or the
  /// unit is not the parameter's, or none comes within half a unit.
  bool matchNumber(double number, const std::string& unit, float& value) {
    constexpr double kTolerance = 0.5;
    if (!unit.empty() && unit != label) return false;
    size_t best = shown.size();
    double bestDistance = kTolerance;
    for (size_t i = 0; i < shown.size(); ++i) {
      double n;
      if (!parseNumber(trimmed(shown[i].text), n)) continue;
      if (std::fabs(n - number) <= bestDistance) {
        bestDistance = std::fabs(n - number);
        best = i;
      }
    }
    if (best == shown.size()) return false;
    if (bestDistance == 0.0) {  // shown exactly: the roundest value of that run
      size_t first = best, last = best;
      while (first > 0 && shown[first - 1].text == shown[best].text) --first;
      while (last + 1 < shown.size() && shown[last + 1].text == shown[best].text) ++last;
      value = shown[roundest(first, last, kSteps)].value;
      return true;
    }
    // Finer between the neighbours, then the middle of the run that shows best.
    const float from = shown[best > 0 ? best - 1 : best].value;
    const float to = shown[best + 1 < shown.size() ? best + 1 : best].value;
    const float original = plugin.parameter(index);
    constexpr int kFine = 400;
    std::vector<std::pair<float, double>> fine;
    for (int step = 0; step <= kFine; ++step) {
      const float v = from + (to - from) * static_cast<float>(step) / kFine;
      plugin.setParameter(index, v);
      double n;
      if (parseNumber(trimmed(plugin.parameterDisplay(index)), n)) fine.push_back({v, std::fabs(n - number)});
    }
    plugin.setParameter(index, original);
    double nearest = bestDistance;
    for (const auto& f : fine) nearest = std::min(nearest, f.second);
    size_t first = fine.size(), last = fine.size();
    for (size_t i = 0; i < fine.size(); ++i)
      if (fine[i].second == nearest) {
        if (first == fine.size()) first = i;
        last = i;
      }
    if (first == fine.size()) {
      value = shown[best].value;
      return true;
    }
    // The middle of the run, where it still shows the same.
    value = (fine[first].first + fine[last].first) / 2.0f;
    plugin.setParameter(index, value);
    double n;
    if (!parseNumber(trimmed(plugin.parameterDisplay(index)), n) || std::fabs(n - number) != nearest)
      value = fine[first].first;
    plugin.setParameter(index, original);
    return true;
  }

  std::vector<std::string> distinctTexts() const {
    std::vector<std::string> texts;
    for (const Shown& s : shown)
      if (std::find(texts.begin(), texts.end(), s.text) == texts.end()) texts.push_back(s.text);
    return texts;
  }
  bool numeric() const {
    double n;
    return !shown.empty() && parseNumber(trimmed(shown.back().text), n);
  }
  std::string range() const {
    return "'" + shown.front().text + "' to '" + shown.back().text + "'" + (label.empty() ? "" : " " + label);
  }

private:
  static constexpr size_t kSteps = 2000;
  struct Shown {
    float value;
    std::string text;
  };
  void add(float v) {
    plugin.setParameter(index, v);
    shown.push_back({v, trimmed(plugin.parameterDisplay(index))});
  }

  LoadedPlugin& plugin;
  int index;
  std::vector<Shown> shown;
  std::string label;
};

/// Our effect: a number in the parameter's unit, within its range, means
/// exactly that value, mapped as every edition maps it.
bool exactUnitValue(LoadedPlugin& plugin, int index, double number, const std::string& unit, float& value) {
  if (!plugin.isOurEffect() || !param::isValid(index)) return false;
  const param::Info& p = param::kTable[index];
  if (p.kind == param::Kind::distoType) return false;  // named by its curve
  if (!unit.empty() && unit != folded(p.label)) return false;
  const units::Range r = units::range(index);
  if (number < static_cast<double>(r.minimum) || number > static_cast<double>(r.maximum)) return false;
  value = units::normalised(index, static_cast<float>(number));
  return true;
}

/// What a parameter shows for a value, leaving it as it was.
std::string shownFor(LoadedPlugin& plugin, int index, float value) {
  const float original = plugin.parameter(index);
  plugin.setParameter(index, value);
  const std::string shown = trimmed(plugin.parameterDisplay(index)) + " " + trimmed(plugin.parameterLabel(index));
  plugin.setParameter(index, original);
  return trimmed(shown);
}

}  // namespace

ParameterSetting resolveSetting(LoadedPlugin& plugin, const std::string& assignment) {
  const size_t equals = assignment.find('=');
  if (equals == std::string::npos) throw failure(assignment, "expected KEY=VALUE");
  const std::string key = trimmed(assignment.substr(0, equals));
  const std::string valueText = trimmed(assignment.substr(equals + 1));
  const int index = resolveIndex(plugin, key, assignment);
  if (valueText.empty()) throw failure(assignment, "no value after '='");

  double number;
  std::string unit;
  const bool quantity = parseQuantity(valueText, number, unit);
  // A bare number from 0 to 1 also reads as a normalised value: if the
  // display's reading differs, say which was taken.
  double plain;
  const bool alsoPlain = parseNumber(valueText, plain) && plain >= 0.0 && plain <= 1.0;
  const auto noted = [&](float value) {
    ParameterSetting s{index, value, ""};
    if (alsoPlain && value != static_cast<float>(plain))
      s.note = "'" + assignment + "' is read as the value that shows " + shownFor(plugin, index, value) +
               "; the normalised value " + valueText + " would show " +
               shownFor(plugin, index, static_cast<float>(plain));
    return s;
  };
  // Our effect takes a number in the unit as that very value; only a display
  // copied in full ("6.020599 dB", which the exact 6.020599 dB would not
  // show) means the value that shows it.
  float exact = 0.0f;
  const bool hasExact = quantity && exactUnitValue(plugin, index, number, unit, exact);
  float value;
  DisplaySweep sweep(plugin, index);
  if (sweep.matchText(valueText, value))
    return noted(hasExact && shownFor(plugin, index, exact) == shownFor(plugin, index, value) ? exact : value);
  if (hasExact) return noted(exact);
  if (quantity && sweep.matchNumber(number, unit, value)) return noted(value);
  if (parseNumber(valueText, number)) {
    if (number < 0.0 || number > 1.0)
      throw failure(assignment, "no value of '" + trimmed(plugin.parameterName(index)) + "' shows " + valueText +
                                    " (it shows " + sweep.range() + "), and a plain value must lie between 0 and 1");
    return {index, static_cast<float>(number), ""};
  }
  const std::vector<std::string> texts = sweep.distinctTexts();
  std::string shown;
  if (!sweep.numeric())
    for (const std::string& s : texts) shown += (shown.empty() ? "" : ", ") + s;
  throw failure(assignment, "'" + valueText + "' is neither a value '" + trimmed(plugin.parameterName(index)) +
                                "' shows (" + (shown.empty() ? sweep.range() : shown) + ") nor a number from 0 to 1" +
                                didYouMean(valueText, texts));
}
