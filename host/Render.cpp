#include "Render.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

#include "PluginHost.h"

namespace {

double nowSeconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

Level measure(const std::vector<float>& samples) {
  Level level;
  double sumOfSquares = 0.0;
  for (float s : samples) {
    level.peak = std::max(level.peak, static_cast<double>(std::fabs(s)));
    sumOfSquares += static_cast<double>(s) * s;
  }
  if (!samples.empty()) level.rms = std::sqrt(sumOfSquares / static_cast<double>(samples.size()));
  return level;
}

StereoAudio renderThrough(LoadedPlugin& plugin, const StereoAudio& input, int blockFrames,
                          const std::function<void(double)>& progress) {
  StereoAudio output;
  output.sampleRate = input.sampleRate;
  output.sourceFormat = input.sourceFormat;
  output.left.assign(input.frames(), 0.0f);
  output.right.assign(input.frames(), 0.0f);
  // The effect may write in place; it gets copies it is free to change.
  std::vector<float> blockLeft(blockFrames), blockRight(blockFrames);

  plugin.dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(input.sampleRate));
  plugin.dispatch(effSetBlockSize, 0, blockFrames);
  plugin.dispatch(effMainsChanged, 0, 1);
  for (size_t start = 0; start < input.frames(); start += blockFrames) {
    const size_t n = std::min<size_t>(blockFrames, input.frames() - start);
    std::copy_n(&input.left[start], n, blockLeft.begin());
    std::copy_n(&input.right[start], n, blockRight.begin());
    float* inputs[2] = {blockLeft.data(), blockRight.data()};
    float* outputs[2] = {&output.left[start], &output.right[start]};
    plugin.processReplacing(inputs, outputs, static_cast<int32_t>(n));
    if (progress) progress(static_cast<double>(start + n) / static_cast<double>(input.frames()));
  }
  plugin.dispatch(effMainsChanged, 0, 0);
  return output;
}

ProgressBar::ProgressBar(bool enabled) : enabled(enabled && isatty(STDERR_FILENO)), startSeconds(nowSeconds()) {}

ProgressBar::~ProgressBar() {
  if (shown) std::fputs("\n", stderr);
}

void ProgressBar::update(double fraction) {
  constexpr double kShowAfterSeconds = 1.0;
  constexpr double kRedrawSeconds = 0.1;
  constexpr int kWidth = 40;
  if (!enabled) return;
  const double now = nowSeconds();
  if (now - startSeconds < kShowAfterSeconds) return;
  if (shown && now - lastDrawSeconds < kRedrawSeconds && fraction < 1.0) return;
  shown = true;
  lastDrawSeconds = now;
  const int filled = static_cast<int>(fraction * kWidth);
  std::fprintf(stderr, "\rrendering [%s%s] %3d%%", std::string(filled, '#').c_str(),
               std::string(kWidth - filled, ' ').c_str(), static_cast<int>(fraction * 100.0));
  std::fflush(stderr);
}
