// SPDX-License-Identifier: GPL-3.0-or-later
#include "Check.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

#include "ClapLists.h"
#include "ClapPlugin.h"
#include "PluginHost.h"

namespace {

constexpr uint32_t kSeed = 20261209;  // the same run every time
constexpr int32_t kLargestBlock = 4096;
constexpr int kBlocksPerRate = 40;
constexpr double kRates[] = {22050.0, 44100.0, 48000.0, 96000.0, 192000.0};
constexpr int32_t kGuardFrames = 16;  // behind each output block: must stay untouched
constexpr uint16_t kForeignSpace = 0xB33F;
// Outputs are filled with this quiet NaN beforehand: a sample that still
// holds it was not written, any other NaN was.
constexpr uint32_t kSentinelBits = 0x7FC01234u;

float sentinel() {
  float f;
  std::memcpy(&f, &kSentinelBits, sizeof f);
  return f;
}

bool isSentinel(float f) {
  uint32_t bits;
  std::memcpy(&bits, &f, sizeof bits);
  return bits == kSentinelBits;
}

/// The report: one line per check.
class Report {
public:
  void pass(const std::string& name, const std::string& what) { line("pass", name, what); }
  void fail(const std::string& name, const std::string& why) {
    line("FAIL", name, why);
    ++failures;
  }
  void skip(const std::string& name, const std::string& why) { line("skip", name, why); }
  void warn(const std::string& name, const std::string& why) { line("warn", name, why); }
  /// Passes unless `problem` holds something.
  void result(const std::string& name, const std::string& problem, const std::string& what) {
    if (problem.empty())
      pass(name, what);
    else
      fail(name, problem);
  }
  int failed() const { return failures; }

private:
  static void line(const char* verdict, const std::string& name, const std::string& text) {
    std::printf("%-5s %-28s %s\n", verdict, name.c_str(), text.c_str());
    std::fflush(stdout);
  }
  int failures = 0;
};

std::string number(double v) {
  char text[64];
  std::snprintf(text, sizeof text, "%.9g", v);
  return text;
}

// Processing: random values, random block sizes, several rates, outputs
// filled with NaN beforehand so an unwritten sample shows.
void checkProcessing(LoadedPlugin& plugin, Report& report, const std::function<void(const std::string&)>& progress) {
  std::mt19937 random(kSeed);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f), noise(-1.0f, 1.0f);
  const int32_t ins = plugin.inputCount(), outs = plugin.outputCount();
  std::string unwritten, nonFinite, subnormal, subnormalThrough, past, touched;
  int blocks = 0;
  for (double rate : kRates) {
    progress("processing at " + number(rate) + " Hz");
    plugin.start(rate, kLargestBlock);
    for (int b = 0; b < kBlocksPerRate; ++b, ++blocks) {
      for (int32_t p = 0; p < plugin.parameterCount(); ++p) plugin.setParameter(p, unit(random));
      const int32_t frames = b % 10 == 0 ? 1 : b % 10 == 1 ? 17 : 1 + static_cast<int32_t>(random() % kLargestBlock);
      // Noise, silence, and input below the normal range after a loud block.
      const int kind = b % 4;
      std::vector<std::vector<float>> in(static_cast<size_t>(std::max(ins, 1)), std::vector<float>(frames));
      for (auto& channel : in)
        for (float& s : channel) s = kind == 2 ? 0.0f : kind == 3 ? 1e-39f * noise(random) : noise(random);
      const auto original = in;
      std::vector<std::vector<float>> out(static_cast<size_t>(outs),
                                          std::vector<float>(static_cast<size_t>(frames + kGuardFrames), sentinel()));
      std::vector<float*> inPointers, outPointers;
      for (auto& c : in) inPointers.push_back(c.data());
      for (auto& c : out) outPointers.push_back(c.data());
      plugin.processReplacing(inPointers.data(), outPointers.data(), frames);
      constexpr const char* kInputs[] = {"noise", "noise", "silence", "subnormal input"};
      const std::string where =
          " (" + std::to_string(frames) + "-frame block of " + kInputs[kind] + " at " + number(rate) + " Hz)";
      std::to_string(kind) + " at " + number(rate) + " Hz)";
      for (int32_t c = 0; c < outs; ++c) {
        const std::vector<float>& o = out[static_cast<size_t>(c)];
        for (int32_t i = 0; i < frames; ++i) {
          const float s = o[static_cast<size_t>(i)];
          const std::string at = "output " + std::to_string(c) + ", frame " + std::to_string(i) + where;
          if (isSentinel(s)) {
            if (unwritten.empty()) unwritten = at + " left unwritten";
            continue;
          }
          if (!std::isfinite(s) && nonFinite.empty()) nonFinite = at + (std::isnan(s) ? " is NaN" : " is infinite");
          // Input below the normal range may come out so (as clap-validator
          // holds too); from input in it, nothing may.
          std::string& kept = kind == 3 ? subnormalThrough : subnormal;
          if (std::isfinite(s) && s != 0.0f && std::fabs(s) < std::numeric_limits<float>::min() && kept.empty())
            kept = at + " is subnormal (" + number(static_cast<double>(s)) + ")";
        }
        for (int32_t i = frames; i < frames + kGuardFrames; ++i)
          if (!isSentinel(o[static_cast<size_t>(i)]) && past.empty())
            past = "output " + std::to_string(c) + " written at frame " + std::to_string(i) + where;
      }
      if (in != original && touched.empty()) touched = "an input buffer changed" + where;
    }
    plugin.stop();
  }
  const std::string summary = std::to_string(blocks) + " blocks of 1 to " + std::to_string(kLargestBlock) +
                              " frames at 22050 to 192000 Hz, random values";
  report.result("output-written", unwritten, summary);
  report.result("output-finite", nonFinite, "no NaN or infinity for finite input");
  report.result("output-not-subnormal", subnormal,
                "none below the float's normal range for input in it or silent, after loud blocks too");
  if (subnormalThrough.empty())
    report.pass("subnormal-input", "input below the normal range comes out in it or as zero");
  else
    report.warn("subnormal-input", subnormalThrough);
  report.result("output-within-block", past, "nothing written past a block's last frame");
  report.result("input-untouched", touched, "every input sample as given");
}

// CLAP.

using claplists::MemoryStream;
using claplists::ParamEvents;

bool CLAP_ABI dropAll(const clap_output_events_t*, const clap_event_header_t*) { return true; }

double value(const ClapPlugin& p, int32_t index) {
  double v = std::numeric_limits<double>::quiet_NaN();
  p.paramsExtension()->get_value(p.instance(), p.info(index).id, &v);
  return v;
}

std::string text(const ClapPlugin& p, int32_t index, double v) {
  char out[CLAP_NAME_SIZE] = "";
  if (!p.paramsExtension()->value_to_text(p.instance(), p.info(index).id, v, out, sizeof out)) return "";
  out[sizeof out - 1] = '\0';
  return out;
}

bool sameValue(const clap_param_info_t& info, double a, double b) {
  const double tolerance = 1e-4 * (info.max_value - info.min_value);
  return (info.flags & CLAP_PARAM_IS_STEPPED) ? std::round(a) == std::round(b) : std::fabs(a - b) <= tolerance;
}

/// The output of `frames` frames of fixed noise through a plug-in at 44100 Hz.
std::vector<float> noiseThrough(ClapPlugin& p, int32_t frames) {
  std::mt19937 random(kSeed + 1);
  std::uniform_real_distribution<float> noise(-0.5f, 0.5f);
  std::vector<std::vector<float>> in(static_cast<size_t>(std::max(p.inputCount(), 1)), std::vector<float>(frames)),
      out(static_cast<size_t>(p.outputCount()), std::vector<float>(frames));
  for (auto& c : in)
    for (float& s : c) s = noise(random);
  std::vector<float*> ip, op;
  for (auto& c : in) ip.push_back(c.data());
  for (auto& c : out) op.push_back(c.data());
  p.start(44100.0, frames);
  p.processReplacing(ip.data(), op.data(), frames);
  p.stop();
  std::vector<float> all;
  for (auto& c : out) all.insert(all.end(), c.begin(), c.end());
  return all;
}

void checkClapModule(ClapPlugin& p, Report& report) {
  const clap_plugin_descriptor_t* d = p.pluginDescriptor();
  std::string problem;
  std::set<std::string> features;
  bool category = false;
  for (const char* const* f = d->features; f && *f; ++f) {
    if (!features.insert(*f).second && problem.empty()) problem = "feature '" + std::string(*f) + "' twice";
    for (const char* c : {"instrument", "audio-effect", "note-effect", "note-detector", "analyzer"})
      category = category || !std::strcmp(*f, c);
  }
  if (!category && problem.empty()) problem = "no main category among the features";
  const clap_plugin_descriptor_t* own = p.instance()->desc;
  if (problem.empty() && (!own || std::strcmp(own->id, d->id) || std::strcmp(own->name, d->name)))
    problem = "the instance's descriptor is not the factory's";
  report.result("descriptor", problem,
                "'" + std::string(d->id) + "', " + std::to_string(features.size()) + " features");

  problem.clear();
  for (int i = 1; i <= 10 && problem.empty(); ++i) {
    const std::string id = "foo-factory-" + std::to_string(i);
    if (p.entryPoint()->get_factory(id.c_str())) problem = "get_factory('" + id + "') answers";
  }
  report.result("unknown-factory", problem, "no factory for an unknown id");

  const clap_plugin_factory_t* f = p.pluginFactory();
  problem.clear();
  clap_host_t host{CLAP_VERSION,
                   nullptr,
                   "tribandist check",
                   "",
                   "",
                   "1",
                   [](const clap_host_t*, const char*) -> const void* { return nullptr; },
                   [](const clap_host_t*) {},
                   [](const clap_host_t*) {},
                   [](const clap_host_t*) {}};
  const std::string garbage = std::string(d->id) + "x1";
  if (const clap_plugin_t* wrong = f->create_plugin(f, &host, garbage.c_str())) {
    problem = "create_plugin('" + garbage + "') creates one";
    wrong->destroy(wrong);
  }
  report.result("create-exact-id-only", problem, "no plug-in for an id with text appended");
}

void checkClapParameters(ClapPlugin& p, Report& report) {
  std::string problem;
  std::set<clap_id> ids;
  int bypasses = 0;
  for (int32_t i = 0; i < p.parameterCount() && problem.empty(); ++i) {
    const clap_param_info_t& info = p.info(i);
    const std::string name = "parameter " + std::to_string(i) + " '" + info.name + "'";
    if (info.id == CLAP_INVALID_ID || !ids.insert(info.id).second)
      problem = name + ": its id is invalid or taken";
    else if (!(info.default_value >= info.min_value && info.default_value <= info.max_value))
      problem = name + ": its default lies outside its range";
    else if ((info.flags & CLAP_PARAM_IS_STEPPED) &&
             (info.min_value != std::floor(info.min_value) || info.max_value != std::floor(info.max_value)))
      problem = name + ": stepped with a range that is not whole numbers";
    else if ((info.flags & CLAP_PARAM_IS_BYPASS) && !(info.flags & CLAP_PARAM_IS_STEPPED))
      problem = name + ": a bypass that is not stepped";
    bypasses += (info.flags & CLAP_PARAM_IS_BYPASS) != 0;
  }
  if (problem.empty() && bypasses > 1) problem = std::to_string(bypasses) + " bypass parameters";
  report.result("param-info", problem, std::to_string(p.parameterCount()) + " parameters, ids unique, ranges sound");

  problem.clear();
  for (int32_t i = 0; i < p.parameterCount() && problem.empty(); ++i)
    if (!sameValue(p.info(i), value(p, i), p.info(i).default_value))
      problem = "parameter " + std::to_string(i) + " is " + number(value(p, i)) + ", its default " +
                number(p.info(i).default_value);
  report.result("param-defaults", problem, "every value its default after init");

  if (!p.paramsExtension()->value_to_text || !p.paramsExtension()->text_to_value) {
    report.skip("param-text-round-trip", "the plug-in converts no values to text");
  } else {
    problem.clear();
    const int steps = std::clamp(4000 / std::max(p.parameterCount(), 1), 5, 100);
    int tried = 0;
    for (int32_t i = 0; i < p.parameterCount() && problem.empty(); ++i) {
      const clap_param_info_t& info = p.info(i);
      for (int k = 0; k <= steps && problem.empty(); ++k, ++tried) {
        double v = info.min_value + (info.max_value - info.min_value) * k / steps;
        if (info.flags & CLAP_PARAM_IS_STEPPED) v = std::round(v);
        const std::string shown = text(p, i, v);
        double back = 0.0, again = 0.0;
        const std::string name = "parameter " + std::to_string(i) + " '" + info.name + "': ";
        if (!p.paramsExtension()->text_to_value(p.instance(), info.id, shown.c_str(), &back))
          problem = name + "'" + shown + "' (the text of " + number(v) + ") does not read back";
        else if (text(p, i, back) != shown)
          problem = name + "'" + shown + "' reads back as " + number(back) + ", which shows '" + text(p, i, back) + "'";
        else if (!p.paramsExtension()->text_to_value(p.instance(), info.id, text(p, i, back).c_str(), &again) ||
                 again != back)
          problem = name + "'" + shown + "' reads back as " + number(back) + " once and " + number(again) + " again";
      }
    }
    report.result("param-text-round-trip", problem, std::to_string(tried) + " values: text, value, text again");
  }

  problem.clear();
  ParamEvents foreign;
  for (int32_t i = 0; i < p.parameterCount(); ++i)
    foreign.add(p.info(i).id, p.info(i).max_value, 0, nullptr, kForeignSpace);
  std::vector<double> before;
  for (int32_t i = 0; i < p.parameterCount(); ++i) before.push_back(value(p, i));
  clap_output_events_t out{nullptr, dropAll};
  p.paramsExtension()->flush(p.instance(), foreign.list(), &out);
  for (int32_t i = 0; i < p.parameterCount() && problem.empty(); ++i)
    if (value(p, i) != before[static_cast<size_t>(i)])
      problem = "parameter " + std::to_string(i) + " changed on an event of another space";
  report.result("param-other-space", problem, "events of another space change nothing");
}

void checkClapState(const std::string& path, Report& report) {
  ClapPlugin a(path);
  if (!a.stateExtension() || !a.stateExtension()->save || !a.stateExtension()->load) {
    report.skip("state-reproduces", "the plug-in saves no state");
    return;
  }
  std::mt19937 random(kSeed + 2);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  for (int32_t i = 0; i < a.parameterCount(); ++i) a.setParameter(i, unit(random));
  MemoryStream saved;
  std::string problem;
  if (!a.stateExtension()->save(a.instance(), &saved.out) || saved.bytes.empty()) problem = "nothing saved";
  ClapPlugin b(path);
  saved.position = 0;
  if (problem.empty() && !b.stateExtension()->load(b.instance(), &saved.in)) problem = "its own state does not load";
  for (int32_t i = 0; i < a.parameterCount() && problem.empty(); ++i)
    if (!sameValue(a.info(i), value(a, i), value(b, i)) && text(a, i, value(a, i)) != text(b, i, value(b, i)))
      problem = "parameter " + std::to_string(i) + " is " + number(value(b, i)) + " after loading, was " +
                number(value(a, i));
  if (problem.empty() && noiseThrough(a, 4096) != noiseThrough(b, 4096))
    problem = "a fresh instance with the loaded state sounds different";
  MemoryStream again;
  if (problem.empty() && (!b.stateExtension()->save(b.instance(), &again.out) || again.bytes != saved.bytes))
    problem = "saving the loaded state gives other bytes";
  report.result("state-reproduces", problem,
                std::to_string(saved.bytes.size()) + " bytes: values, sound and bytes again in a fresh instance");

  // Streams that take 23 and give 17 bytes a call.
  problem.clear();
  MemoryStream small;
  small.chunk = 23;
  a.stateExtension()->save(a.instance(), &small.out);
  small.chunk = 17;
  ClapPlugin c(path);
  if (small.bytes != saved.bytes)
    problem = "a stream taking 23 bytes a call gets other bytes";
  else if (!c.stateExtension()->load(c.instance(), &small.in))
    problem = "a stream giving 17 bytes a call does not load";
  report.result("state-short-streams", problem, "saved and loaded through streams of 23 and 17 bytes a call");

  MemoryStream empty, junk;
  junk.bytes.resize(1 << 20);
  for (auto& byte : junk.bytes) byte = static_cast<unsigned char>(random());
  const bool emptyTaken = c.stateExtension()->load(c.instance(), &empty.in);
  const bool junkTaken = c.stateExtension()->load(c.instance(), &junk.in);
  if (emptyTaken || junkTaken)
    report.warn("state-refuses-junk", std::string(emptyTaken ? "an empty" : "a random") + " state is accepted");
  else
    report.pass("state-refuses-junk", "an empty and a random 1 MiB state are refused");
}

// The audio thread apart from the main thread: host functions the plug-in
// calls must come from the threads the interface gives them.
void checkClapThreads(const std::string& path, Report& report) {
  ClapPlugin p(path);
  const int32_t frames = 512;
  std::vector<std::vector<float>> in(static_cast<size_t>(std::max(p.inputCount(), 1)), std::vector<float>(frames)),
      out(static_cast<size_t>(p.outputCount()), std::vector<float>(frames));
  std::vector<float*> ip, op;
  for (auto& c : in) ip.push_back(c.data());
  for (auto& c : out) op.push_back(c.data());
  p.activate(48000.0, frames);
  std::thread audio([&] {
    p.startProcessing();
    for (int b = 0; b < 20; ++b) {
      p.setParameter(b % std::max(p.parameterCount(), 1), static_cast<float>(b % 5) / 4.0f);
      p.processReplacing(ip.data(), op.data(), frames);
    }
    p.stopProcessing();
  });
  audio.join();
  MemoryStream saved;
  if (p.stateExtension() && p.stateExtension()->save(p.instance(), &saved.out)) {
    saved.position = 0;
    p.stateExtension()->load(p.instance(), &saved.in);
  }
  p.deactivate();
  const std::string problem = p.wrongThreadCalls()
                                  ? std::to_string(p.wrongThreadCalls()) +
                                        " host calls from a wrong thread, the first " + p.firstWrongThreadCall()
                                  : "";
  report.result("host-calls-on-their-threads", problem,
                "activation and state on the main thread, processing on another; every host call where it belongs");
}

}  // namespace

int checkPlugin(const std::string& path, const std::function<void(const std::string&)>& progress) {
  Report report;
  std::unique_ptr<LoadedPlugin> plugin;
  try {
    plugin = loadPlugin(path);
  } catch (const std::exception& e) {
    report.fail("load", e.what());
    return report.failed();
  }
  report.pass("load", std::string(plugin->interfaceName()) + " plug-in '" + plugin->identifier() + "', " +
                          std::to_string(plugin->inputCount()) + " in, " + std::to_string(plugin->outputCount()) +
                          " out, " + std::to_string(plugin->parameterCount()) + " parameters");
  std::string unnamed;
  for (int32_t i = 0; i < plugin->parameterCount() && unnamed.empty(); ++i)
    if (trimmed(plugin->parameterName(i)).empty()) unnamed = "parameter " + std::to_string(i) + " has no name";
  report.result("param-names", unnamed, "every parameter named");
  try {
    if (auto* clap = dynamic_cast<ClapPlugin*>(plugin.get())) {
      progress("the module and the parameters");
      checkClapModule(*clap, report);
      checkClapParameters(*clap, report);
      progress("state");
      checkClapState(path, report);
      progress("threads");
      checkClapThreads(path, report);
    } else {
      report.skip("state-reproduces", "the record interface's version 1 keeps no state");
    }
    checkProcessing(*plugin, report, progress);
  } catch (const std::exception& e) {
    report.fail("driven-to-the-end", e.what());
  }
  return report.failed();
}
