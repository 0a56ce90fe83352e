// SPDX-License-Identifier: GPL-3.0-or-later
// processReplacing through the record entry, as a host calls it, for the
// curve settings users run, at 512-, 64- and 32-frame blocks; beside it in
// the same run the true floor (the six exact filter steps alone, built for
// the same instructions), the default setting's kernel alone, a plain copy,
// and Debian's 3BandEQ-vst loaded through the record by the project's own
// host code.
// Options: --isa sse2|avx2|avx512 forces a kernel set (default: the fastest
// this processor runs); --sets lists the sets and exits; --eq PATH names another plug-in to compare with;
// --compare PATH runs every configuration through another build of this
// effect too (rows named "other ..."), for before-and-after tables.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "EffectBase.h"
#include "Floor.h"
#include "PluginHost.h"
#include "ShapeAlone.h"
#include "TriBandDistortion.h"
#include "TriBandEngine.h"
#include "Unchained.h"
#include "kernels/BlockJob.h"
#include "kernels/KernelSet.h"

namespace {

constexpr int32_t kBlocks[] = {512, 64, 32};
constexpr int kSignalFrames = 512 * 64;

intptr_t host(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) { return opcode == 1 ? 2400 : 0; }

struct Signal {
  std::vector<float> left, right;
  Signal() : left(kSignalFrames), right(kSignalFrames) {
    uint32_t state = 1;
    for (size_t i = 0; i < left.size(); ++i) {
      state = state * 1664525u + 1013904223u;
      const float noise = static_cast<float>(state >> 8) / 16777216.0f - 0.5f;
      left[i] = 0.4f * std::sin(0.031f * static_cast<float>(i)) + 0.3f * noise;
      right[i] = 0.4f * std::sin(0.047f * static_cast<float>(i)) - 0.3f * noise;
    }
  }
};

const Signal& signal() {
  static const Signal s;
  return s;
}

void reportPerFrame(benchmark::State& state, int32_t block) {
  const double frames = static_cast<double>(state.iterations()) * block;
  state.counters["seconds_per_frame"] =
      benchmark::Counter(frames, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

struct Setting {
  int32_t index;
  float value;
};

/// Runs blocks of the signal through `process(inputs, outputs, frames)`,
/// replacing, as a host does.
template <class Process>
void runBlocks(benchmark::State& state, int32_t block, Process&& process) {
  std::vector<float> outL(block), outR(block);
  float* outputs[2] = {outL.data(), outR.data()};
  std::vector<float> inL = signal().left, inR = signal().right;
  const int blocks = kSignalFrames / block;
  int b = 0;
  for (auto _ : state) {
    float* inputs[2] = {&inL[b * block], &inR[b * block]};
    process(inputs, outputs, block);
    benchmark::DoNotOptimize(outL.data());
    benchmark::ClobberMemory();
    b = (b + 1) % blocks;
  }
  reportPerFrame(state, block);
}

void runRecord(benchmark::State& state, AEffect* effect, int32_t block) {
  runBlocks(state, block,
            [effect](float** in, float** out, int32_t n) { effect->processReplacing(effect, in, out, n); });
}

/// A running instance of the effect through its record, on a kernel set,
/// with the settings made.
AEffect* openEffect(const KernelSet& set, const std::vector<Setting>& settings) {
  AEffect* effect = createPlugin(host);
  static_cast<TriBandDistortion*>(EffectBase::fromRecord(effect))->useKernelSet(set);
  for (const Setting& s : settings) effect->setParameter(effect, s.index, s.value);
  effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);
  return effect;
}

void runEffect(benchmark::State& state, const KernelSet* set, std::vector<Setting> settings, int32_t block) {
  AEffect* effect = openEffect(*set, settings);
  state.SetLabel(set->name);
  runRecord(state, effect, block);
  effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
}

/// The engine as the newer editions drive it, with their options (engine
/// indices, normalised values) at 48 kHz: the oversampling rows against
/// "options_off", the same engine with every option at its default.
void runEngine(benchmark::State& state, const KernelSet* set, std::vector<Setting> settings, int32_t block) {
  auto engine = std::make_unique<TriBandEngine>();
  engine->useKernelSet(*set);
  engine->setSampleRate(48000.0f);
  state.SetLabel(engine->kernels().name);
  for (const Setting& s : settings) engine->setParameter(s.index, s.value);
  runBlocks(state, block, [&engine](float** in, float** out, int32_t n) { engine->processReplacing(in, out, n); });
}

void runPlugin(benchmark::State& state, const std::string& path, std::vector<Setting> settings, int32_t block) {
  RecordPlugin plugin(path);
  for (const Setting& s : settings) plugin.setParameter(s.index, s.value);
  plugin.dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
  plugin.dispatch(effSetBlockSize, 0, block);
  plugin.dispatch(effMainsChanged, 0, 1);
  runRecord(state, const_cast<AEffect*>(&plugin.record()), block);
}

/// The default setting's three filters, as the effect designs them.
struct DefaultFilters {
  LowPassFilter low;
  BandPassFilter mid;
  HighPassFilter high;
  DefaultFilters() {
    low.setup(700.0f, 0.7f, 44100.0f);
    mid.setup(4350.0f, 0.7f, 44100.0f);
    high.setup(7000.0f, 0.7f, 44100.0f);
  }
};

FloorFilters defaultFilters() {
  const DefaultFilters d;
  FloorFilters f{};
  const BiquadCoefficients* c[3] = {&d.low.coefficients(), &d.mid.coefficients(), &d.high.coefficients()};
  for (int i = 0; i < 3; ++i) {
    f.b0[i] = c[i]->b0;
    f.b1[i] = c[i]->b1;
    f.b2[i] = c[i]->b2;
    f.a1[i] = c[i]->a1;
    f.a2[i] = c[i]->a2;
  }
  return f;
}

/// Whether the floor is exact: after the whole signal in 512-frame blocks,
/// its six histories equal the filter classes' own, bit for bit (a single
/// differing rounding would stay in them).
bool floorIsExact(FloorKernel kernel) {
  FloorState history;
  for (int at = 0; at < kSignalFrames; at += 512)
    kernel(defaultFilters(), history, &signal().left[at], &signal().right[at], 512);
  DefaultFilters d;
  StereoBiquad* const sections[3] = {&d.low.state(), &d.mid.state(), &d.high.state()};
  for (int i = 0; i < kSignalFrames; ++i)
    for (StereoBiquad* s : sections) {
      s->processSample(Channel::left, signal().left[i]);
      s->processSample(Channel::right, signal().right[i]);
    }
  for (int f = 0; f < 3; ++f)
    for (int channel = 0; channel < 2; ++channel) {
      const BiquadHistory& h = sections[f]->history[channel];
      const double* y = &history.history[f][4];  // y1 left, right, then y2
      if (static_cast<double>(h.y[0]) != y[channel] || static_cast<double>(h.y[1]) != y[2 + channel]) return false;
    }
  return true;
}

void runFloor(benchmark::State& state, FloorKernel kernel, int32_t block) {
  const FloorFilters filters = defaultFilters();
  FloorState history;
  const int blocks = kSignalFrames / block;
  int b = 0;
  for (auto _ : state) {
    kernel(filters, history, &signal().left[b * block], &signal().right[b * block], block);
    benchmark::ClobberMemory();
    b = (b + 1) % blocks;
  }
  reportPerFrame(state, block);
}

/// Runs blocks of the signal through a kernel's render of `job`, replacing.
void runJob(benchmark::State& state, int32_t block, BlockJob& job, void (*render)(BlockJob&)) {
  runBlocks(state, block, [&](float** in, float** out, int32_t n) {
    job.inLeft = in[0];
    job.inRight = in[1];
    job.outLeft = out[0];
    job.outRight = out[1];
    job.frames = n;
    render(job);
  });
}

/// The default setting's audio path alone: the kernel set's block, without
/// the record, the parameter side's snapshot or the audio side's designs, so
/// the table shows what the block's fixed costs outside the kernel are.
void runKernelAlone(benchmark::State& state, const KernelSet* set, int32_t block) {
  DefaultFilters d;
  SoftCurve soft[3];
  AnarchikCurve anarchik[3];
  FuzzAtanCurve fuzzAtan;
  FuzzExpCurve fuzzExp;
  FuzzSqrtCurve fuzzSqrt;
  BlockJob job;
  for (int b = 0; b < 3; ++b) {  // program 0: the soft curve at threshold 0, gains at 0 dB
    soft[b].setThreshold(0.0f);
    anarchik[b].setThreshold(0.0f);
    job.bands[b] = {curve::soft, 1.0f, 0.0f, 0.0f, &soft[b], &anarchik[b]};
  }
  job.filters[0] = &d.low.state();
  job.filters[1] = &d.mid.state();
  job.filters[2] = &d.high.state();
  job.fuzzAtan = &fuzzAtan;
  job.fuzzExp = &fuzzExp;
  job.fuzzSqrt = &fuzzSqrt;
  job.keepNormal = true;
  state.SetLabel(set->name);
  runJob(state, block, job, set->render);
}

/// The set a recorder forwards to, and the last job it saw.
struct Recorded {
  const KernelSet* set = nullptr;
  BlockJob job;
};
Recorded& recorded() {
  static Recorded r;
  return r;
}
void recordAndRender(BlockJob& job) noexcept {
  recorded().job = job;
  recorded().set->render(job);
}
bool runsHere() noexcept { return true; }
constexpr KernelSet kRecorder = {"recorder", recordAndRender, runsHere};

/// The signal's band values through the default setting's filters, as the
/// filter classes give them, in the kernels' chunks.
struct BandValues {
  static constexpr int kChunks = kSignalFrames / kShapeChunkFrames;
  struct alignas(64) Chunk {
    float band[3][kShapeChunkValues];
  };
  std::vector<Chunk> chunks;
  BandValues() : chunks(kChunks) {
    DefaultFilters d;
    StereoBiquad* const sections[3] = {&d.low.state(), &d.mid.state(), &d.high.state()};
    for (int i = 0; i < kSignalFrames; ++i)
      for (int b = 0; b < 3; ++b) {
        float* at = &chunks[i / kShapeChunkFrames].band[b][2 * (i % kShapeChunkFrames)];
        at[0] = sections[b]->processSample(Channel::left, signal().left[i]);
        at[1] = sections[b]->processSample(Channel::right, signal().right[i]);
      }
  }
};

/// An effect on a setting that has run the whole signal once, so the shared
/// fuzz curves' peaks have risen as they do in use, and the job of its last
/// block: what the rows that run the kernel set's code on their own take.
class WarmedJob {
public:
  WarmedJob(const KernelSet* set, const std::vector<Setting>& settings) {
    recorded().set = set;
    effect = openEffect(kRecorder, settings);
    std::vector<float> outL(512), outR(512);
    float* outputs[2] = {outL.data(), outR.data()};
    for (int at = 0; at < kSignalFrames; at += 512) {
      float* inputs[2] = {const_cast<float*>(&signal().left[at]), const_cast<float*>(&signal().right[at])};
      effect->processReplacing(effect, inputs, outputs, 512);
    }
    job = recorded().job;
  }
  ~WarmedJob() { effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f); }
  WarmedJob(const WarmedJob&) = delete;
  WarmedJob& operator=(const WarmedJob&) = delete;

  BlockJob job;

private:
  AEffect* effect = nullptr;
};

/// A setting's curves and mix alone, as the kernel set computes them, over
/// band values already filtered.
void runShapeAlone(benchmark::State& state, const KernelSet* set, ShapeAlone shape, std::vector<Setting> settings,
                   int32_t block) {
  static const BandValues values;
  const WarmedJob warmed(set, settings);
  const BlockJob& job = warmed.job;
  state.SetLabel(set->name);
  std::vector<BandValues::Chunk> mixed(512 / kShapeChunkFrames + 1);
  const int blocks = kSignalFrames / block;
  int b = 0;
  for (auto _ : state) {
    const bool suspect =
        shape(job, values.chunks[b * block / kShapeChunkFrames].band[0] + b * block % kShapeChunkFrames * 2,
              mixed[0].band[0], block);
    benchmark::DoNotOptimize(suspect);
    benchmark::DoNotOptimize(mixed.data());
    benchmark::ClobberMemory();
    b = (b + 1) % blocks;
  }
  reportPerFrame(state, block);
}

/// A setting's block with its chains cut, on the effect's own job (its
/// filters, curves and shared fuzz state), replacing, over the signal.
void runUnchained(benchmark::State& state, const KernelSet* set, Unchained unchained, std::vector<Setting> settings,
                  int32_t block) {
  WarmedJob warmed(set, settings);
  BlockJob& job = warmed.job;
  state.SetLabel(set->name);
  runJob(state, block, job, unchained);
}

void runCopy(benchmark::State& state, int32_t block) {
  std::vector<float> outL(block), outR(block);
  const int blocks = kSignalFrames / block;
  int b = 0;
  for (auto _ : state) {
    std::memcpy(outL.data(), &signal().left[b * block], block * sizeof(float));
    std::memcpy(outR.data(), &signal().right[b * block], block * sizeof(float));
    benchmark::DoNotOptimize(outL.data());
    benchmark::ClobberMemory();
    b = (b + 1) % blocks;
  }
  reportPerFrame(state, block);
}

std::vector<Setting> allBands(float type, float threshold) {
  return {{6, type}, {7, type}, {8, type}, {9, threshold}, {10, threshold}, {11, threshold}};
}

constexpr float kSoft = 0.1f, kFuzzAtan = 0.3f, kFuzzExp = 0.5f, kFuzzSqrt = 0.7f, kAnarchik = 0.9f;

std::string option(int& argc, char** argv, const char* name) {
  std::string value;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], name) != 0 || i + 1 >= argc) continue;
    value = argv[i + 1];
    for (int j = i; j + 2 <= argc; ++j) argv[j] = argv[j + 2];
    argc -= 2;
    break;
  }
  return value;
}

}  // namespace

/// What `--sets` prints: every kernel set this build has, whether this
/// processor runs it, and the one the effect chooses.
int listSets() {
  int count = 0;
  const KernelSet* const* sets = kernels::all(count);
  for (int i = 0; i < count; ++i)
    std::printf("kernel set %-7s %s\n", sets[i]->name, sets[i]->runsHere() ? "runs here" : "not on this processor");
  std::printf("chosen: %s\n", kernels::best().name);
  return 0;
}

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--sets") == 0) return listSets();
  const std::string isa = option(argc, argv, "--isa");
  std::string eq = option(argc, argv, "--eq");
  const std::string other = option(argc, argv, "--compare");
  if (eq.empty()) eq = "/usr/lib/vst/3BandEQ-vst.so";
  const KernelSet* set = isa.empty() ? &kernels::best() : kernels::named(isa.c_str());
  if (!set) {
    std::fprintf(stderr, "effect_benchmark: no kernel set '%s' runs on this processor\n", isa.c_str());
    return 2;
  }
  const FloorArrangement* floors = floorsFor(set->name);
  if (!floors) {
    std::fprintf(stderr, "effect_benchmark: no floor is built for the '%s' kernels\n", set->name);
    return 2;
  }
  for (int i = 0; i < kFloorArrangements; ++i)
    if (!floorIsExact(floors[i].kernel)) {
      std::fprintf(stderr, "effect_benchmark: the '%s' %s is not exact, so it is no floor\n", set->name,
                   floors[i].name);
      return 2;
    }
  const ShapeAlone shape = shapeAloneFor(set->name);
  const Unchained unchained = unchainedFor(set->name);
  const bool haveEq = std::filesystem::exists(eq);
  if (!haveEq) std::fprintf(stderr, "SKIPPED: %s is not installed (package dpf-plugins-vst)\n", eq.c_str());

  const std::pair<const char*, std::vector<Setting>> configurations[] = {
      {"default", {}},
      {"soft", allBands(kSoft, 0.5f)},
      {"fuzz_atan", allBands(kFuzzAtan, 0.5f)},
      {"fuzz_exp", allBands(kFuzzExp, 0.5f)},
      {"fuzz_sqrt", allBands(kFuzzSqrt, 0.5f)},
      {"anarchik_025", allBands(kAnarchik, 0.25f)},
      {"anarchik_050", allBands(kAnarchik, 0.5f)},
      {"mixed", {{6, kFuzzExp}, {9, 0.3f}, {7, kAnarchik}, {10, 0.7f}, {8, kFuzzExp}, {11, 0.6f}}},
  };
  const float hostRateEdges = 1.0f;
  const auto heavy = [&](float oversampling) {
    std::vector<Setting> settings = allBands(kFuzzExp, 0.5f);
    settings.push_back({param::bandEdges, hostRateEdges});
    settings.push_back({param::oversampling, oversampling});
    return settings;
  };
  const std::pair<const char*, std::vector<Setting>> optionConfigurations[] = {
      {"options_off", {}},
      {"oversampled_2x", {{param::bandEdges, hostRateEdges}, {param::oversampling, 1.0f / 3.0f}}},
      {"oversampled_4x", {{param::bandEdges, hostRateEdges}, {param::oversampling, 2.0f / 3.0f}}},
      {"oversampled_8x", {{param::bandEdges, hostRateEdges}, {param::oversampling, 1.0f}}},
      // The same with every band's curve at fuzz exp, threshold 0.5: a setting that distorts.
      {"options_off_fx", heavy(0.0f)},
      {"oversampled_2x_fx", heavy(1.0f / 3.0f)},
      {"oversampled_4x_fx", heavy(2.0f / 3.0f)},
      {"oversampled_8x_fx", heavy(1.0f)},
  };
  for (int32_t block : kBlocks) {
    const std::string suffix = "/" + std::to_string(block);
    for (int i = 0; i < kFloorArrangements; ++i)
      benchmark::RegisterBenchmark((floors[i].name + suffix).c_str(), runFloor, floors[i].kernel, block);
    benchmark::RegisterBenchmark(("copy" + suffix).c_str(), runCopy, block);
    benchmark::RegisterBenchmark(("kernel_alone" + suffix).c_str(), runKernelAlone, set, block);
    for (const auto& [name, settings] : configurations)
      benchmark::RegisterBenchmark((name + suffix).c_str(), runEffect, set, settings, block);
    for (const auto& [name, settings] : configurations)
      benchmark::RegisterBenchmark(("shape_" + std::string(name) + suffix).c_str(), runShapeAlone, set, shape, settings,
                                   block);
    for (const auto& [name, settings] : configurations)
      benchmark::RegisterBenchmark(("unchained_" + std::string(name) + suffix).c_str(), runUnchained, set, unchained,
                                   settings, block);
    for (const auto& [name, settings] : optionConfigurations)
      benchmark::RegisterBenchmark((name + suffix).c_str(), runEngine, set, settings, block);
    if (!other.empty())
      for (const auto& [name, settings] : configurations)
        benchmark::RegisterBenchmark(("other " + std::string(name) + suffix).c_str(), runPlugin, other, settings,
                                     block);
    if (haveEq)
      benchmark::RegisterBenchmark(("3BandEQ" + suffix).c_str(), runPlugin, eq, std::vector<Setting>{}, block);
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
