// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

class LoadedPlugin;

// Measurements of a plug-in as a black box, through its record only.

/// One curve: a name and its points.
struct Curve {
  std::string name;
  std::vector<double> x, y;
};

/// The harmonics of one sine through the plug-in.
struct Harmonics {
  double fundamentalHz = 0.0;
  double inputDbfs = 0.0;
  std::vector<double> levelsDbfs;  // harmonic 1 (the fundamental) to kHarmonics
  double thdPercent = 0.0;         // of harmonics 2 and up, against the fundamental
};

/// A high sine through the plug-in, and what of its output is no harmonic of
/// it: distortion at the plug-in's rate folds the harmonics above half the
/// rate back into the audible band (aliases).
struct Aliases {
  double fundamentalHz = 0.0;
  double inputDbfs = 0.0;
  Curve spectrum;          // dBFS against Hz, 20 Hz to 20 kHz (each point the loudest bin it stands for)
  double aliasesDb = 0.0;  // the power of all that is no harmonic in 20 Hz - 20 kHz, against the fundamental
};

struct Analysis {
  std::string plugin;            // its name, as the caption shows it
  std::string settings;          // what was set, for the caption
  std::vector<Curve> responses;  // dB against Hz: the whole plug-in, then each band alone
  std::vector<Curve> transfers;  // output dBFS against input dBFS, at each band's centre
  Harmonics at1k, at100;
  Aliases aliases;
};

/// A fresh, configured instance of the plug-in for each measurement, so no
/// state (the fuzz curves' running peaks) carries from one to the next.
using PluginMaker = std::function<std::unique_ptr<LoadedPlugin>()>;

/// Measures at `rate` Hz: the response to a small impulse (-40 dBFS) of the
/// whole plug-in and, for TriBandDistortion, of each band with the other
/// gains at 0; the transfer of a sine at each band's centre (1 kHz for other
/// plug-ins) from -60 to +6 dBFS; the harmonics of 1 kHz and 100 Hz sines
/// at -12 dBFS with their THD; the aliases of a 10 kHz sine at -6 dBFS.
/// `progress` is told each measurement as it starts.
Analysis analyse(const PluginMaker& make, int rate, const std::function<void(const std::string&)>& progress);

/// One line per point: x, then each curve's y, split by `separator`. The
/// curves share their x.
void writeColumns(std::ostream& out, const std::vector<Curve>& curves, char separator);

/// Writes every curve as CSV files into `folder`.
void writeCsv(const Analysis& analysis, const std::string& folder);
