// SPDX-License-Identifier: GPL-3.0-or-later
// tribandist: a command-line host for plug-ins of the interface. It shows
// what a plug-in offers and renders audio files through it.

#include <CLI/CLI.hpp>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "Analysis.h"
#include "Batch.h"
#include "Check.h"
#include "DemoSignal.h"
#include "Interruption.h"
#include "ParameterSettings.h"
#include "Plot.h"
#include "PluginHost.h"
#include "Render.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kPluginFile = "TriBandDistortion.so";
constexpr int kDefaultBlock = 512;
constexpr int kLargestBlock = 65536;
// Exit statuses beyond CLI11's own: an error, and an output that is not finite.
constexpr int kFailed = 1;
constexpr int kNotFinite = 3;

// The plug-in beside this program (the build folder), else where an
// installation puts it relative to the program (bin/../lib/vst).
std::string defaultPlugin() {
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return kPluginFile;
  for (const fs::path& candidate :
       {self.parent_path() / kPluginFile, self.parent_path() / ".." / "lib" / "vst" / kPluginFile})
    if (fs::exists(candidate)) return fs::weakly_canonical(candidate).string();
  return (self.parent_path() / kPluginFile).string();
}

void showInfo(LoadedPlugin& plugin) {
  std::printf("plug-in     %s\n", plugin.path().c_str());
  std::printf("interface   %s\n", plugin.interfaceName());
  std::printf("identifier  %s\n", plugin.fullIdentifier().c_str());
  for (const auto& [name, value] : plugin.details()) std::printf("%-11s %s\n", name.c_str(), value.c_str());

  // Program names are only read for the current program: visit each and come back.
  const int32_t current = plugin.currentProgram();
  if (plugin.programCount() > 0) {
    std::printf("\nprograms\n");
    for (int32_t p = 0; p < plugin.programCount(); ++p) {
      plugin.selectProgram(p);
      std::printf("  %3d  %s\n", p, plugin.programName().c_str());
    }
    plugin.selectProgram(current);
    std::printf("\nparameters (program %d)\n", current);
  } else {
    std::printf("\nparameters\n");
  }
  std::printf("  %3s  %-18s %-10s %-12s %s\n", "#", "name", "value", "display", "unit");
  for (int32_t i = 0; i < plugin.parameterCount(); ++i) {
    std::printf("  %3d  %-18s %-10.6f %-12s %s\n", i, trimmed(plugin.parameterName(i)).c_str(),
                static_cast<double>(plugin.parameter(i)), trimmed(plugin.parameterDisplay(i)).c_str(),
                trimmed(plugin.parameterLabel(i)).c_str());
  }
}

struct RenderRequest {
  std::vector<std::string> files;
  std::string folder;  // -o: every file is an input
  std::string format;
  int program = kNoProgram;
  std::vector<std::string> settings;
  RenderOptions options;
  int jobs = 1;
  bool quiet = false;
};

void checkRequest(const RenderRequest& request, LoadedPlugin& plugin) {
  if (request.options.blockFrames < 1 || request.options.blockFrames > kLargestBlock)
    throw std::runtime_error("--block " + std::to_string(request.options.blockFrames) +
                             ": the block size must be 1 to " + std::to_string(kLargestBlock));
  if (request.program != kNoProgram && (request.program < 0 || request.program >= plugin.programCount()))
    throw std::runtime_error("--program " + std::to_string(request.program) + ": the plug-in has programs 0 to " +
                             std::to_string(plugin.programCount() - 1));
  if (request.options.rate != 0 && (request.options.rate < kLowestRate || request.options.rate > kHighestRate))
    throw std::runtime_error("--rate " + std::to_string(request.options.rate) + ": the rate must be " +
                             std::to_string(kLowestRate) + " to " + std::to_string(kHighestRate) + " Hz");
  if (!request.format.empty()) containerNamed(request.format);
}

void printLevels(const char* what, const std::vector<Level>& levels) {
  std::printf("  %-7s", what);
  for (const Level& l : levels) std::printf(" %-10s", levelText(l, false).c_str());
  for (const Level& l : levels) std::printf(" %-10s", levelText(l, true).c_str());
  std::printf("\n");
}

const Container& outputContainer(const std::string& format, const std::string& output) {
  if (!format.empty()) return containerNamed(format);
  if (output == "-")
    throw std::runtime_error("writing to standard output needs --format (flac, ogg, mp3 and au stream)");
  return containerForPath(output);
}

// The demo's dry copy goes beside its output: out.wav and out-dry.wav.
std::string dryCopyOf(const std::string& output) {
  const fs::path out(output);
  return (out.parent_path() / (out.stem().string() + "-dry" + out.extension().string())).string();
}

int render(LoadedPlugin& plugin, const RenderRequest& request) {
  const bool demo = request.files.size() == 1;
  const std::string input = demo ? "" : request.files[0];
  const std::string output = request.files.back();
  checkOutputPlace(output, input);
  const std::string dryCopy = demo ? dryCopyOf(output) : "";
  if (demo) checkOutputPlace(dryCopy, "");
  const Container& container = outputContainer(request.format, output);

  if (request.program != kNoProgram) plugin.selectProgram(request.program);
  std::vector<std::string> settings;
  if (demo)
    for (const char* const* s = demoPreset(); *s; ++s) settings.push_back(*s);
  settings.insert(settings.end(), request.settings.begin(), request.settings.end());
  std::vector<ParameterSetting> resolved;
  for (const std::string& s : settings) resolved.push_back(resolveSetting(plugin, s));
  for (const ParameterSetting& s : resolved) {
    plugin.setParameter(s.index, s.value);
    if (!request.quiet && !s.note.empty()) std::fprintf(stderr, "note: %s\n", s.note.c_str());
  }

  std::unique_ptr<Source> source;
  if (demo)
    source = std::make_unique<MemorySource>(demoSignal(), 2, kDemoRate);
  else
    source = std::make_unique<SoundReader>(input);
  const std::string from = demo ? "the demo" : "'" + input + "'";
  const std::string rate = rateNote(plugin, source->rate(), request.options);
  if (!rate.empty()) std::fprintf(stderr, "warning: %s: %s\n", from.c_str(), rate.c_str());

  RenderResult result;
  {
    ProgressLine line(!request.quiet && output != "-");
    result = renderThrough(plugin, *source, output, container, request.options,
                           [&line](int64_t done, int64_t total) { line.update(done, total); });
  }
  if (demo && !result.discarded) {
    MemorySource dry(demoSignal(), 2, kDemoRate);
    std::string note;
    SoundWriter writer(dryCopy, container, 2, kDemoRate, note);
    std::vector<float> block(2 * 4096);
    for (int64_t n; (n = dry.read(block.data(), 4096)) > 0;) writer.write(block.data(), n);
    writer.finish();
  }

  // Results go to stdout, unless stdout is the audio itself; quiet leaves
  // only warnings and errors.
  FILE* report = request.quiet ? nullptr : output == "-" ? stderr : stdout;
  if (report) {
    const double seconds = static_cast<double>(result.framesIn) / result.rate;
    std::fprintf(report, "rendered %.2f s at %d Hz (%d channel%s in, %d out) through %s, blocks of %d\n", seconds,
                 result.rate, result.inputChannels, result.inputChannels == 1 ? "" : "s", result.outputChannels,
                 plugin.identifier().c_str(), request.options.blockFrames);
    if (report == stdout) {
      std::printf("  %-7s peak per channel, then RMS per channel\n", "");
      printLevels("input", result.levelsIn);
      printLevels("output", result.levelsOut);
    }
  }
  for (const std::string& note : result.notes)
    std::fprintf(stderr, "warning: '%s': %s\n", output.c_str(), note.c_str());
  Level loudest;
  for (const Level& l : result.levelsOut) loudest.peak = std::max(loudest.peak, l.peak);
  if (loudest.peak > 1.0)
    std::fprintf(stderr, "warning: the output peaks at %s, above 0 dBFS\n", levelText(loudest, false).c_str());
  if (report && !result.discarded) {
    if (demo) std::fprintf(report, "demo input (dry):  %s\n", fs::absolute(dryCopy).string().c_str());
    if (output != "-")
      std::fprintf(report, "%s %s\n", demo ? "demo output (wet):" : "output:", fs::absolute(output).string().c_str());
  }
  if (result.nonFinite > 0) {
    std::fprintf(stderr, "tribandist: error: '%s': %lld of %lld output samples are not finite (NaN or infinite)%s\n",
                 output.c_str(), static_cast<long long>(result.nonFinite),
                 static_cast<long long>(result.framesIn) * result.outputChannels,
                 result.discarded ? "; nothing was written, the file is as it was" : "");
    return kNotFinite;
  }
  return 0;
}

struct AnalyzeRequest {
  std::string picture;
  std::string csvFolder;
  int program = kNoProgram;
  std::vector<std::string> settings;
  int rate = kOurDesignRate;
};

int analyze(const std::string& pluginPath, const AnalyzeRequest& request) {
  if (request.picture.empty() && request.csvFolder.empty())
    throw std::runtime_error("analyze needs -o PICTURE (." + plotKinds() + ") or --csv DIR, or both");
  if (!request.picture.empty()) {
    checkPicturePath(request.picture);
    checkOutputPlace(request.picture, "");
  }
  if (!request.csvFolder.empty() && !fs::is_directory(request.csvFolder))
    throw std::runtime_error("--csv '" + request.csvFolder + "': not a folder");
  std::string title;
  {
    // Every setting is checked once before any measurement.
    const std::unique_ptr<LoadedPlugin> probe = loadPlugin(pluginPath);
    title = fs::path(pluginPath).filename().string() + " (" + probe->identifier() + ")";
    RenderRequest check;
    check.program = request.program;
    checkRequest(check, *probe);
    if (request.program != kNoProgram) probe->selectProgram(request.program);
    for (const std::string& s : request.settings) resolveSetting(*probe, s);
  }
  const PluginMaker make = [&]() {
    auto plugin = loadPlugin(pluginPath);
    if (request.program != kNoProgram) plugin->selectProgram(request.program);
    for (const std::string& s : request.settings) {
      const ParameterSetting setting = resolveSetting(*plugin, s);
      plugin->setParameter(setting.index, setting.value);
    }
    return plugin;
  };
  const interruption::Working working;
  Analysis a = analyse(make, request.rate,
                       [](const std::string& step) { std::fprintf(stderr, "measuring %s\n", step.c_str()); });
  a.plugin = title;
  if (request.program != kNoProgram) a.settings = "program " + std::to_string(request.program);
  if (request.rate != kOurDesignRate)
    a.settings += (a.settings.empty() ? "" : ", ") + std::to_string(request.rate) + " Hz";
  for (const std::string& s : request.settings) a.settings += (a.settings.empty() ? "" : ", ") + s;
  if (!request.csvFolder.empty()) {
    writeCsv(a, request.csvFolder);
    std::printf("curves (CSV): %s\n", fs::absolute(request.csvFolder).string().c_str());
  }
  if (!request.picture.empty()) {
    for (const std::string& note : plotAnalysis(a, request.picture)) std::fprintf(stderr, "note: %s\n", note.c_str());
    std::printf("picture: %s\n", fs::absolute(request.picture).string().c_str());
  }
  std::printf("THD at -12 dBFS: %.3g %% (1 kHz), %.3g %% (100 Hz)\n", a.at1k.thdPercent, a.at100.thdPercent);
  std::printf("aliases of %.1f Hz at -6 dBFS: %.1f dB against it\n", a.aliases.fundamentalHz, a.aliases.aliasesDb);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  interruption::install();
  CLI::App app{"tribandist: shows a plug-in's parameters and renders audio files through it"};
  app.footer(
      "Exit status: 0 done; 1 an error (one line on stderr names it); 3 the output holds samples that are not "
      "finite (the old OUT is kept and nothing is written); 128 + the signal when interrupted (130 Ctrl-C, 143 "
      "SIGTERM; no temporary file is left).\nContainers: " +
      knownContainers());
  app.require_subcommand(1);
  app.set_help_all_flag("--help-all", "print the help of every command and exit");
  std::string pluginPath = defaultPlugin();

  CLI::App* info = app.add_subcommand("info", "show the plug-in's description, programs and parameters");
  info->add_option("--plugin", pluginPath,
                   "plug-in to load: a CLAP file (.clap) or a record plug-in (default: TriBandDistortion.so beside "
                   "this program, else in ../lib/vst)");

  std::string checkedPath;
  CLI::App* checkCommand = app.add_subcommand(
      "check",
      "check a plug-in against its interface's rules, as a validator does: one line per check, pass or FAIL with "
      "the reason; exit 1 when any fails");
  checkCommand->add_option("plugin", checkedPath, "the plug-in: a CLAP file or a record plug-in")->required();

  RenderRequest request;
  request.options.blockFrames = kDefaultBlock;
  CLI::App* renderCommand = app.add_subcommand(
      "render",
      "render IN to OUT through the plug-in ('-' for standard input or output); with OUT alone, render the built-in "
      "demo; with -o DIR, render every file named into DIR");
  renderCommand->add_option("files", request.files, "[IN] OUT, or IN... with -o")->required();
  renderCommand->add_option("-o,--output-dir", request.folder, "render every file named into this folder");
  renderCommand->add_option("-j,--jobs", request.jobs, "with -o: files rendered at once (default 1)");
  renderCommand->add_option("--plugin", pluginPath, "plug-in to load: a CLAP file (.clap) or a record plug-in");
  renderCommand->add_option("--program", request.program, "program to select first");
  renderCommand->add_option("--set", request.settings,
                            "KEY=VALUE: parameter index or name; value as the parameter shows it (\"fuzz exp\", "
                            "\"700\", \"0 dB\", \"50%\"), else 0..1");
  renderCommand->add_option("--block", request.options.blockFrames, "frames per processing call (default 512)");
  renderCommand->add_option("--rate", request.options.rate,
                            "process at this rate (Hz), resampling in and out with libsoxr");
  renderCommand->add_option("--format", request.format, "container of OUT: " + knownContainers());
  renderCommand->add_flag("--quiet,-q", request.quiet, "only warnings and errors: no progress line, report or notes");

  AnalyzeRequest analyzeRequest;
  CLI::App* analyzeCommand = app.add_subcommand(
      "analyze",
      "measure the plug-in through its record and draw its frequency responses (whole and each band alone), "
      "transfer curves and harmonics, each from a fresh instance");
  analyzeCommand->add_option("--plugin", pluginPath, "plug-in library to load");
  analyzeCommand->add_option("--program", analyzeRequest.program, "program to select first");
  analyzeCommand->add_option("--set", analyzeRequest.settings, "KEY=VALUE, as for render");
  analyzeCommand->add_option("-o,--output", analyzeRequest.picture,
                             "the picture: " + plotKinds() + " (by its extension)");
  analyzeCommand->add_option("--csv", analyzeRequest.csvFolder, "also write every curve as CSV into this folder");
  analyzeCommand->add_option("--rate", analyzeRequest.rate, "measure at this rate (Hz; default 44100)")
      ->check(CLI::Range(8000, 384000));

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e);
  }

  try {
    if (*checkCommand) {
      const interruption::Working working;
      const int failed = checkPlugin(
          checkedPath, [](const std::string& step) { std::fprintf(stderr, "checking %s\n", step.c_str()); });
      std::printf("%s\n", failed ? (std::to_string(failed) + " check(s) failed").c_str() : "every check passed");
      return failed ? kFailed : 0;
    }
    if (*analyzeCommand) return analyze(pluginPath, analyzeRequest);
    if (*renderCommand && !request.folder.empty()) {
      checkRequest(request, *loadPlugin(pluginPath));
      BatchRequest batch{pluginPath,       request.files,   request.folder, request.format, request.program,
                         request.settings, request.options, request.jobs,   request.quiet};
      return renderBatch(batch) ? kFailed : 0;
    }
    if (*renderCommand && request.files.size() > 2)
      throw std::runtime_error("render takes [IN] OUT; to render several files give -o DIR");
    const std::unique_ptr<LoadedPlugin> plugin = loadPlugin(pluginPath);
    if (*info) showInfo(*plugin);
    if (*renderCommand) {
      checkRequest(request, *plugin);
      return render(*plugin, request);
    }
  } catch (const std::exception& e) {
    std::fflush(stdout);
    std::fprintf(stderr, "tribandist: error: %s\n", e.what());
    return kFailed;
  }
  return 0;
}
