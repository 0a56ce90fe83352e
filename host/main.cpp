// tribandist: a command-line host for plug-ins of the interface. It shows
// what a plug-in offers and renders audio files through it.

#include <CLI/CLI.hpp>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "AudioFile.h"
#include "DemoSignal.h"
#include "ParameterSettings.h"
#include "PluginHost.h"
#include "Render.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kPluginFile = "TriBandDistortion.so";
constexpr int kDefaultBlock = 512;
constexpr int kLargestBlock = 65536;

std::string besideThisProgram(const std::string& file) {
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  return ec ? file : (self.parent_path() / file).string();
}

std::string fourChars(int32_t id) {
  std::string s;
  for (int shift = 24; shift >= 0; shift -= 8) {
    const char c = static_cast<char>((static_cast<uint32_t>(id) >> shift) & 0xFF);
    s += (c >= 32 && c < 127) ? c : '?';
  }
  return s;
}

std::string flagNames(int32_t flags) {
  static const std::pair<int32_t, const char*> names[] = {
      {effFlagsHasEditor, "HasEditor"}, {effFlagsHasClip, "HasClip"},           {effFlagsHasVu, "HasVu"},
      {effFlagsCanMono, "CanMono"},     {effFlagsCanReplacing, "CanReplacing"}, {effFlagsProgramChunks, "ProgramChunks"}};
  std::string text;
  for (const auto& [bit, name] : names)
    if (flags & bit) text += (text.empty() ? "" : " ") + std::string(name);
  return text.empty() ? "none" : text;
}

std::string decibels(double linear) {
  if (linear <= 0.0) return "-inf dB";
  char text[32];
  std::snprintf(text, sizeof text, "%+.1f dB", 20.0 * std::log10(linear));
  return text;
}

void showInfo(LoadedPlugin& plugin) {
  const AEffect& r = plugin.record();
  std::printf("plug-in     %s\n", plugin.path().c_str());
  std::printf("identifier  %s (%d)\n", fourChars(r.uniqueID).c_str(), r.uniqueID);
  std::printf("inputs      %d\noutputs     %d\nprograms    %d\nparameters  %d\n", r.numInputs, r.numOutputs,
              r.numPrograms, r.numParams);
  std::printf("flags       %s (%d)\n", flagNames(r.flags).c_str(), r.flags);

  // Program names are only read for the current program: visit each and come back.
  const int32_t current = plugin.currentProgram();
  std::printf("\nprograms\n");
  for (int32_t p = 0; p < r.numPrograms; ++p) {
    plugin.selectProgram(p);
    std::printf("  %3d  %s\n", p, plugin.programName().c_str());
  }
  plugin.selectProgram(current);

  std::printf("\nparameters (program %d)\n  %3s  %-18s %-10s %-12s %s\n", current, "#", "name", "value", "display",
              "unit");
  for (int32_t i = 0; i < r.numParams; ++i) {
    std::printf("  %3d  %-18s %-10.6f %-12s %s\n", i, trimmed(plugin.parameterName(i)).c_str(), plugin.parameter(i),
                trimmed(plugin.parameterDisplay(i)).c_str(), trimmed(plugin.parameterLabel(i)).c_str());
  }
}

struct RenderRequest {
  std::vector<std::string> files;
  int program = -1;
  std::vector<std::string> settings;
  int block = kDefaultBlock;
  bool quiet = false;
};

void printLevels(const char* what, const StereoAudio& audio) {
  const Level left = measure(audio.left), right = measure(audio.right);
  std::printf("  %-7s %-10s %-10s %-10s %s\n", what, decibels(left.peak).c_str(), decibels(right.peak).c_str(),
              decibels(left.rms).c_str(), decibels(right.rms).c_str());
}

void render(LoadedPlugin& plugin, const RenderRequest& request) {
  const bool demo = request.files.size() == 1;
  const std::string input = demo ? "" : request.files[0];
  const std::string output = request.files.back();
  if (request.block < 1 || request.block > kLargestBlock)
    throw std::runtime_error("--block " + std::to_string(request.block) + ": the block size must be 1 to " +
                             std::to_string(kLargestBlock));
  checkWritableOutput(output, input);
  const StereoAudio source = demo ? demoSignal() : readAudio(input);
  if (!(plugin.record().flags & effFlagsCanReplacing))
    throw std::runtime_error("plug-in '" + plugin.path() + "': does not offer processReplacing");
  if (plugin.record().numInputs < 1 || plugin.record().numOutputs < 2)
    throw std::runtime_error("plug-in '" + plugin.path() + "': needs at least 1 input and 2 outputs");

  if (request.program >= 0) {
    if (request.program >= plugin.programCount())
      throw std::runtime_error("--program " + std::to_string(request.program) + ": the plug-in has programs 0 to " +
                               std::to_string(plugin.programCount() - 1));
    plugin.selectProgram(request.program);
  }
  std::vector<std::string> settings;
  if (demo)
    for (const char* const* s = demoPreset(); *s; ++s) settings.push_back(*s);
  settings.insert(settings.end(), request.settings.begin(), request.settings.end());
  std::vector<ParameterSetting> resolved;
  for (const std::string& s : settings) resolved.push_back(resolveSetting(plugin, s));
  for (const ParameterSetting& s : resolved) plugin.setParameter(s.index, s.value);

  StereoAudio result;
  {
    ProgressBar bar(!request.quiet);
    result = renderThrough(plugin, source, request.block, [&bar](double f) { bar.update(f); });
  }
  const std::string note = writeAudio(output, result, source.sourceFormat);

  std::string dryCopy;
  if (demo) {
    const fs::path out(output);
    dryCopy = (out.parent_path() / (out.stem().string() + "-dry" + out.extension().string())).string();
    writeAudio(dryCopy, source, 0);
  }

  const double seconds = static_cast<double>(source.frames()) / source.sampleRate;
  std::printf("rendered %.2f s at %d Hz (%s in) through %s, blocks of %d\n", seconds, source.sampleRate,
              source.sourceChannels == 1 ? "mono" : "stereo", fourChars(plugin.record().uniqueID).c_str(),
              request.block);
  std::printf("  %-7s %-10s %-10s %-10s %s\n", "", "peak L", "peak R", "RMS L", "RMS R");
  printLevels("input", source);
  printLevels("output", result);
  const double peak = std::max(measure(result.left).peak, measure(result.right).peak);
  if (peak > 1.0)
    std::fprintf(stderr, "warning: the output peaks at %s, above 0 dBFS%s\n", decibels(peak).c_str(),
                 note.empty() ? " (kept in the float file, not clipped)" : "");
  if (!note.empty()) std::fprintf(stderr, "note: '%s': %s\n", output.c_str(), note.c_str());
  if (demo) std::printf("demo input (dry):  %s\n", fs::absolute(dryCopy).string().c_str());
  std::printf("%s %s\n", demo ? "demo output (wet):" : "output:", fs::absolute(output).string().c_str());
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"tribandist: shows a plug-in's parameters and renders audio files through it"};
  app.require_subcommand(1);
  std::string pluginPath = besideThisProgram(kPluginFile);

  CLI::App* info = app.add_subcommand("info", "show the plug-in's record, programs and parameters");
  info->add_option("--plugin", pluginPath, "plug-in library to load (default: the one built beside this program)");

  RenderRequest request;
  CLI::App* renderCommand = app.add_subcommand(
      "render", "render IN to OUT through the plug-in; with OUT alone, render the built-in demo");
  renderCommand->add_option("files", request.files, "[IN] OUT")->required()->expected(1, 2);
  renderCommand->add_option("--plugin", pluginPath, "plug-in library to load");
  renderCommand->add_option("--program", request.program, "program to select first");
  renderCommand->add_option("--set", request.settings,
                            "KEY=VALUE: parameter index or name, value 0..1 or a displayed text (\"fuzz exp\")");
  renderCommand->add_option("--block", request.block, "frames per processing call (default 512)");
  renderCommand->add_flag("--quiet,-q", request.quiet, "no progress bar");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e);
  }

  try {
    LoadedPlugin plugin(pluginPath);
    if (*info) showInfo(plugin);
    if (*renderCommand) render(plugin, request);
  } catch (const std::exception& e) {
    std::fflush(stdout);
    std::fprintf(stderr, "tribandist: error: %s\n", e.what());
    return 1;
  }
  return 0;
}
