// SPDX-License-Identifier: GPL-3.0-or-later
#include "Analysis.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <stdexcept>

#include "PluginHost.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kBlock = 512;
constexpr int kHarmonics = 10;
constexpr int kOurGains[3] = {12, 13, 14};  // Low, Mid, High Gain
constexpr const char* kBandNames[3] = {"low band", "mid band", "high band"};

double dB(double linear) { return linear > 0.0 ? 20.0 * std::log10(linear) : -200.0; }

/// A mono signal into every input of the plug-in; its first output back.
std::vector<double> through(LoadedPlugin& plugin, const std::vector<double>& signal, int rate) {
  const int inputs = plugin.inputCount(), outputs = plugin.outputCount();
  if (outputs < 1) throw std::runtime_error("plug-in '" + plugin.path() + "': has no outputs");
  plugin.start(rate, kBlock);
  std::vector<std::vector<float>> in(std::max(inputs, 1), std::vector<float>(kBlock)),
      out(outputs, std::vector<float>(kBlock));
  std::vector<float*> inPointers, outPointers;
  for (auto& b : in) inPointers.push_back(b.data());
  for (auto& b : out) outPointers.push_back(b.data());
  std::vector<double> result;
  result.reserve(signal.size());
  for (size_t start = 0; start < signal.size(); start += kBlock) {
    const int n = static_cast<int>(std::min<size_t>(kBlock, signal.size() - start));
    for (auto& b : in)
      for (int i = 0; i < n; ++i) b[i] = static_cast<float>(signal[start + i]);
    plugin.processReplacing(inPointers.data(), outPointers.data(), n);
    for (int i = 0; i < n; ++i) result.push_back(out[0][i]);
  }
  plugin.stop();
  return result;
}

std::vector<double> sine(double hz, double amplitude, size_t length, int rate) {
  std::vector<double> s(length);
  for (size_t i = 0; i < length; ++i) s[i] = amplitude * std::sin(2.0 * kPi * hz * static_cast<double>(i) / rate);
  return s;
}

/// |X(k)| of a real signal for k = 0..N/2, through FFTW.
std::vector<double> magnitudes(std::vector<double> signal) {
  const int n = static_cast<int>(signal.size());
  std::vector<fftw_complex> spectrum(n / 2 + 1);
  fftw_plan plan = fftw_plan_dft_r2c_1d(n, signal.data(), spectrum.data(), FFTW_ESTIMATE);
  fftw_execute(plan);
  fftw_destroy_plan(plan);
  std::vector<double> m(spectrum.size());
  for (size_t k = 0; k < spectrum.size(); ++k) m[k] = std::hypot(spectrum[k][0], spectrum[k][1]);
  return m;
}

std::vector<double> logFrequencies() {
  constexpr int kPoints = 241;  // 24 a decade from 20 Hz to 20 kHz
  std::vector<double> f(kPoints);
  for (int i = 0; i < kPoints; ++i) f[i] = 20.0 * std::pow(1000.0, static_cast<double>(i) / (kPoints - 1));
  return f;
}

/// The small-signal magnitude response from an impulse at -40 dBFS.
Curve response(LoadedPlugin& plugin, int rate, const std::string& name) {
  constexpr size_t kLength = 1 << 16;
  constexpr double kImpulse = 0.01;
  std::vector<double> impulse(kLength, 0.0);
  impulse[0] = kImpulse;
  const std::vector<double> m = magnitudes(through(plugin, impulse, rate));
  Curve c{name, logFrequencies(), {}};
  for (double f : c.x) {
    const size_t bin = static_cast<size_t>(std::lround(f * kLength / rate));
    c.y.push_back(dB(m[std::min(bin, m.size() - 1)] / kImpulse));
  }
  return c;
}

/// A sine's level out against its level in, each as a sine's peak in dBFS.
Curve transfer(const PluginMaker& make, const std::function<void(LoadedPlugin&)>& isolate, double hz, int rate,
               const std::string& name) {
  constexpr double kFrom = -60.0, kTo = 6.0, kStep = 2.0;
  const size_t length = static_cast<size_t>(rate / 2);  // half a second, the second half measured
  Curve c{name, {}, {}};
  for (double level = kFrom; level <= kTo + 1e-9; level += kStep) {
    std::unique_ptr<LoadedPlugin> plugin = make();
    isolate(*plugin);
    const std::vector<double> out = through(*plugin, sine(hz, std::pow(10.0, level / 20.0), length, rate), rate);
    double squares = 0.0;
    for (size_t i = length / 2; i < length; ++i) squares += out[i] * out[i];
    c.x.push_back(level);
    c.y.push_back(dB(std::sqrt(2.0 * squares / static_cast<double>(length - length / 2))));
  }
  return c;
}

Harmonics harmonics(LoadedPlugin& plugin, double hz, int rate) {
  constexpr size_t kLength = 1 << 16;
  constexpr double kLevel = -12.0;
  const size_t settle = static_cast<size_t>(rate / 2);
  std::vector<double> out = through(plugin, sine(hz, std::pow(10.0, kLevel / 20.0), settle + kLength, rate), rate);
  out.erase(out.begin(), out.begin() + static_cast<long>(settle));
  // Blackman-Harris: side lobes below -92 dB, so the harmonics stand clear.
  double gain = 0.0;
  for (size_t i = 0; i < kLength; ++i) {
    const double t = 2.0 * kPi * static_cast<double>(i) / kLength;
    const double w = 0.35875 - 0.48829 * std::cos(t) + 0.14128 * std::cos(2 * t) - 0.01168 * std::cos(3 * t);
    out[i] *= w;
    gain += w;
  }
  const std::vector<double> m = magnitudes(out);
  Harmonics h;
  h.fundamentalHz = hz;
  h.inputDbfs = kLevel;
  std::vector<double> amplitudes;
  for (int k = 1; k <= kHarmonics; ++k) {
    const double center = k * hz * kLength / rate;
    double peak = 0.0;
    for (long b = std::lround(center) - 4; b <= std::lround(center) + 4; ++b)
      if (b >= 0 && b < static_cast<long>(m.size())) peak = std::max(peak, m[b]);
    amplitudes.push_back(k * hz < rate / 2.0 ? 2.0 * peak / gain : 0.0);
    h.levelsDbfs.push_back(dB(amplitudes.back()));
  }
  double others = 0.0;
  for (int k = 1; k < kHarmonics; ++k) others += amplitudes[k] * amplitudes[k];
  h.thdPercent = amplitudes[0] > 0.0 ? 100.0 * std::sqrt(others) / amplitudes[0] : 0.0;
  return h;
}

// A sine on a bin of the transform (a whole number of periods in it), so its
// harmonics and every alias of them land on bins too and no window is needed.
Aliases aliases(LoadedPlugin& plugin, int rate) {
  constexpr size_t kLength = 1 << 16;
  constexpr double kLevel = -6.0, kNear = 10000.0, kLowest = 20.0, kHighest = 20000.0;
  constexpr int kPoints = 1000;
  const size_t bin = static_cast<size_t>(std::lround(kNear * kLength / rate));
  Aliases a;
  a.fundamentalHz = static_cast<double>(bin) * rate / kLength;
  a.inputDbfs = kLevel;
  const size_t settle = static_cast<size_t>(rate / 2);
  std::vector<double> out =
      through(plugin, sine(a.fundamentalHz, std::pow(10.0, kLevel / 20.0), settle + kLength, rate), rate);
  out.erase(out.begin(), out.begin() + static_cast<long>(settle));
  const std::vector<double> m = magnitudes(out);
  const auto dbfs = [](double magnitude) { return dB(2.0 * magnitude / kLength); };
  double fundamental = 0.0, others = 0.0;
  const size_t top = std::min(m.size() - 1, static_cast<size_t>(kHighest * kLength / rate));
  for (size_t k = static_cast<size_t>(std::ceil(kLowest * kLength / rate)); k <= top; ++k) {
    const double power = m[k] * m[k];
    if (k == bin)
      fundamental = power;
    else if (k % bin != 0)
      others += power;
  }
  a.aliasesDb = fundamental > 0.0 ? 10.0 * std::log10(others / fundamental) : 0.0;
  a.spectrum.name = "output";
  for (int p = 0; p < kPoints; ++p) {
    const size_t from = 1 + top * static_cast<size_t>(p) / kPoints, to = 1 + top * static_cast<size_t>(p + 1) / kPoints;
    double loudest = 0.0;
    for (size_t k = from; k < to; ++k) loudest = std::max(loudest, m[k]);
    a.spectrum.x.push_back(static_cast<double>(from) * rate / kLength);
    a.spectrum.y.push_back(std::max(dbfs(loudest), -200.0));
  }
  return a;
}

// The low band's centre lies between 25 Hz and its cut-off, the mid band's
// at its cut-off, the high band's between its cut-off and 20 kHz.
double bandCentre(LoadedPlugin& plugin, int band) {
  const double cutoff = std::strtod(trimmed(plugin.parameterDisplay(band)).c_str(), nullptr);
  if (band == 0) return std::sqrt(25.0 * cutoff);
  if (band == 1) return cutoff;
  return std::sqrt(cutoff * 20000.0);
}

}  // namespace

Analysis analyse(const PluginMaker& make, int rate, const std::function<void(const std::string&)>& progress) {
  Analysis a;
  progress("the whole plug-in's response");
  std::unique_ptr<LoadedPlugin> first = make();
  const bool ours = first->isOurEffect();
  a.responses.push_back(response(*first, rate, "whole"));
  first.reset();
  const auto nothing = [](LoadedPlugin&) {};
  progress(ours ? "each band alone: response and transfer" : "transfer");
  if (!ours) {
    a.transfers.push_back(transfer(make, nothing, 1000.0, rate, "1000 Hz"));
  } else {
    for (int band = 0; band < 3; ++band) {
      // The band alone: the other two bands' gains at 0.
      const auto alone = [band](LoadedPlugin& p) {
        for (int other = 0; other < 3; ++other)
          if (other != band) p.setParameter(kOurGains[other], 0.0f);
      };
      std::unique_ptr<LoadedPlugin> p = make();
      alone(*p);
      a.responses.push_back(response(*p, rate, kBandNames[band]));
      const double centre = bandCentre(*p, band);
      p.reset();
      char name[64];
      std::snprintf(name, sizeof name, "%s at %.0f Hz", kBandNames[band], centre);
      a.transfers.push_back(transfer(make, alone, centre, rate, name));
    }
  }
  progress("harmonics");
  std::unique_ptr<LoadedPlugin> p = make();
  a.at1k = harmonics(*p, 1000.0, rate);
  p = make();
  a.at100 = harmonics(*p, 100.0, rate);
  progress("aliases");
  p = make();
  a.aliases = aliases(*p, rate);
  return a;
}

void writeColumns(std::ostream& out, const std::vector<Curve>& curves, char separator) {
  for (size_t i = 0; i < curves[0].x.size(); ++i) {
    out << curves[0].x[i];
    for (const Curve& c : curves) out << separator << c.y[i];
    out << '\n';
  }
}

void writeCsv(const Analysis& a, const std::string& folder) {
  const auto write = [&folder](const std::string& name, const std::function<void(std::ostream&)>& body) {
    const std::string path = folder + "/" + name;
    std::ofstream f(path);
    f.precision(8);
    body(f);
    f.close();
    if (!f) throw std::runtime_error("'" + path + "': cannot write it");
  };
  const auto table = [](const char* x, const std::vector<Curve>& curves, const char* unit) {
    return [=, &curves](std::ostream& f) {
      f << x;
      for (const Curve& c : curves) f << "," << c.name << unit;
      f << "\n";
      writeColumns(f, curves, ',');
    };
  };
  write("response.csv", table("frequency_hz", a.responses, "_db"));
  write("transfer.csv", table("input_dbfs", a.transfers, " output_dbfs"));
  write("aliases.csv", [&a](std::ostream& f) {
    f << "# sine of " << a.aliases.fundamentalHz << " Hz at " << a.aliases.inputDbfs
      << " dBFS; all that is no harmonic in 20 Hz-20 kHz: " << a.aliases.aliasesDb
      << " dB against the fundamental\nfrequency_hz,level_dbfs\n";
    writeColumns(f, {a.aliases.spectrum}, ',');
  });
  for (const Harmonics* h : {&a.at1k, &a.at100}) {
    write("harmonics_" + std::to_string(static_cast<int>(h->fundamentalHz)) + "hz.csv", [h](std::ostream& f) {
      f << "# sine at " << h->inputDbfs << " dBFS; THD " << h->thdPercent << " %\nharmonic,frequency_hz,level_dbfs\n";
      for (size_t k = 0; k < h->levelsDbfs.size(); ++k)
        f << k + 1 << "," << static_cast<double>(k + 1) * h->fundamentalHz << "," << h->levelsDbfs[k] << "\n";
    });
  }
}
