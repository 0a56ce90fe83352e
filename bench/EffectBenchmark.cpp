// processReplacing through the record entry, as a host calls it, on 512-frame
// blocks of noise plus a sine, for the curve settings users run; and the
// floor: the six filter steps alone and a plain copy.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "BandFilters.h"
#include "BlockKernels.h"
#include "EffectBase.h"
#include "TriBandDistortion.h"

namespace {

constexpr int32_t kBlock = 512;
constexpr int kBlocksOfSignal = 64;

intptr_t host(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) { return opcode == 1 ? 2400 : 0; }

struct Signal {
  std::vector<float> left, right;
  Signal() : left(kBlock * kBlocksOfSignal), right(kBlock * kBlocksOfSignal) {
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

void reportPerFrame(benchmark::State& state) {
  const double frames = static_cast<double>(state.iterations()) * kBlock;
  state.counters["seconds_per_frame"] = benchmark::Counter(frames, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.SetItemsProcessed(static_cast<int64_t>(frames));
}

struct Setting {
  int32_t index;
  float value;
};

// With --baseline the effect keeps to baseline x86 vector instructions, as on
// processors without AVX2 and FMA.
bool& baselineOnly() {
  static bool baseline = false;
  return baseline;
}

void runEffect(benchmark::State& state, std::vector<Setting> settings) {
  AEffect* effect = createPlugin(host);
  if (baselineOnly()) static_cast<TriBandDistortion*>(EffectBase::fromRecord(effect))->restrictToBaselineInstructions();
  for (const Setting& s : settings) effect->setParameter(effect, s.index, s.value);
  effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);
  std::vector<float> outL(kBlock), outR(kBlock);
  float* outputs[2] = {outL.data(), outR.data()};
  std::vector<float> inL = signal().left, inR = signal().right;
  int block = 0;
  for (auto _ : state) {
    float* inputs[2] = {&inL[block * kBlock], &inR[block * kBlock]};
    effect->processReplacing(effect, inputs, outputs, kBlock);
    benchmark::DoNotOptimize(outL.data());
    benchmark::ClobberMemory();
    block = (block + 1) % kBlocksOfSignal;
  }
  reportPerFrame(state);
  effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
}

std::vector<Setting> allBands(float type, float threshold) {
  return {{6, type}, {7, type}, {8, type}, {9, threshold}, {10, threshold}, {11, threshold}};
}

constexpr float kSoft = 0.1f, kFuzzAtan = 0.3f, kFuzzExp = 0.5f, kFuzzSqrt = 0.7f, kAnarchik = 0.9f;

// The six filter steps alone, organised as the effect runs them, with the
// exact double sum and the flush: the floor of the whole effect.
void FloorFilters(benchmark::State& state) {
  LowPassFilter low;
  BandPassFilter mid;
  HighPassFilter high;
  low.setup(700.0f, 0.7f, 44100.0f);
  mid.setup(4350.0f, 0.7f, 44100.0f);
  high.setup(7000.0f, 0.7f, 44100.0f);
  kernels::BandBuffer bands[3];
  int block = 0;
  for (auto _ : state) {
    const float* l = &signal().left[block * kBlock];
    const float* r = &signal().right[block * kBlock];
    kernels::FilterBank bank(low.state(), mid.state(), high.state());
    for (int start = 0; start < kBlock; start += kernels::kChunkFrames) {
      bank.run(l + start, r + start, kernels::kChunkFrames, bands);
      benchmark::DoNotOptimize(bands);
    }
    bank.store();
    benchmark::ClobberMemory();
    block = (block + 1) % kBlocksOfSignal;
  }
  reportPerFrame(state);
}

void FloorCopy(benchmark::State& state) {
  std::vector<float> outL(kBlock), outR(kBlock);
  int block = 0;
  for (auto _ : state) {
    std::memcpy(outL.data(), &signal().left[block * kBlock], kBlock * sizeof(float));
    std::memcpy(outR.data(), &signal().right[block * kBlock], kBlock * sizeof(float));
    benchmark::DoNotOptimize(outL.data());
    benchmark::ClobberMemory();
    block = (block + 1) % kBlocksOfSignal;
  }
  reportPerFrame(state);
}

}  // namespace

BENCHMARK(FloorCopy);
BENCHMARK(FloorFilters);
BENCHMARK_CAPTURE(runEffect, default, std::vector<Setting>{});
BENCHMARK_CAPTURE(runEffect, soft, allBands(kSoft, 0.5f));
BENCHMARK_CAPTURE(runEffect, fuzz_atan, allBands(kFuzzAtan, 0.5f));
BENCHMARK_CAPTURE(runEffect, fuzz_exp, allBands(kFuzzExp, 0.5f));
BENCHMARK_CAPTURE(runEffect, fuzz_sqrt, allBands(kFuzzSqrt, 0.5f));
BENCHMARK_CAPTURE(runEffect, anarchik_025, allBands(kAnarchik, 0.25f));
BENCHMARK_CAPTURE(runEffect, anarchik_050, allBands(kAnarchik, 0.5f));
BENCHMARK_CAPTURE(runEffect, mixed,
                  std::vector<Setting>{{6, kFuzzExp}, {9, 0.3f}, {7, kAnarchik}, {10, 0.7f}, {8, kFuzzExp}, {11, 0.6f}});

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (std::string(argv[i]) == "--baseline") baselineOnly() = true;
  std::vector<char*> rest;
  for (int i = 0; i < argc; ++i)
    if (std::string(argv[i]) != "--baseline") rest.push_back(argv[i]);
  int count = static_cast<int>(rest.size());
  benchmark::Initialize(&count, rest.data());
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
