#include "Render.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <stdexcept>

#include "PluginHost.h"
#include "Resampler.h"

namespace {

double nowSeconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

/// Running peak and sum of squares per channel of interleaved frames.
class Meter {
public:
  explicit Meter(int channels) : peaks(channels, 0.0), squares(channels, 0.0) {}
  void add(const float* interleaved, int64_t frames) {
    const int c = static_cast<int>(peaks.size());
    for (int64_t i = 0; i < frames; ++i)
      for (int k = 0; k < c; ++k) {
        const double s = interleaved[i * c + k];
        if (!std::isfinite(s)) {
          ++nonFinite;
          continue;
        }
        peaks[k] = std::max(peaks[k], std::fabs(s));
        squares[k] += s * s;
      }
    counted += frames;
  }
  std::vector<Level> levels() const {
    std::vector<Level> out(peaks.size());
    for (size_t k = 0; k < peaks.size(); ++k) {
      out[k].peak = peaks[k];
      out[k].rms = counted ? std::sqrt(squares[k] / static_cast<double>(counted)) : 0.0;
    }
    return out;
  }
  int64_t nonFinite = 0;

private:
  std::vector<double> peaks, squares;
  int64_t counted = 0;
};

/// The plug-in's side of a render: planar buffers for every input and
/// output, filled from and emptied into interleaved frames.
class PluginBlocks {
public:
  PluginBlocks(LoadedPlugin& plugin, int sourceChannels, int keptOutputs, int blockFrames)
      : plugin(plugin),
        sourceChannels(sourceChannels),
        keptOutputs(keptOutputs),
        blockFrames(blockFrames),
        inputs(plugin.inputCount(), std::vector<float>(blockFrames)),
        outputs(plugin.outputCount(), std::vector<float>(blockFrames)) {
    for (auto& b : inputs) inputPointers.push_back(b.data());
    for (auto& b : outputs) outputPointers.push_back(b.data());
  }

  /// Processes interleaved source frames, appending kept outputs, interleaved, to `out`.
  void process(const float* in, int64_t frames, std::vector<float>& out) {
    for (int64_t start = 0; start < frames; start += blockFrames) {
      const int n = static_cast<int>(std::min<int64_t>(blockFrames, frames - start));
      for (size_t k = 0; k < inputs.size(); ++k) {
        // A mono source feeds every input; inputs beyond the source's get silence.
        const int from = sourceChannels == 1 ? 0 : static_cast<int>(k);
        for (int i = 0; i < n; ++i)
          inputs[k][i] = from < sourceChannels ? in[(start + i) * sourceChannels + from] : 0.0f;
      }
      plugin.processReplacing(inputPointers.data(), outputPointers.data(), n);
      const size_t at = out.size();
      out.resize(at + static_cast<size_t>(n) * keptOutputs);
      for (int i = 0; i < n; ++i)
        for (int k = 0; k < keptOutputs; ++k) out[at + i * keptOutputs + k] = outputs[k][i];
    }
  }

private:
  LoadedPlugin& plugin;
  int sourceChannels, keptOutputs, blockFrames;
  std::vector<std::vector<float>> inputs, outputs;
  std::vector<float*> inputPointers, outputPointers;
};

}  // namespace

RenderResult renderThrough(LoadedPlugin& plugin, Source& source, const std::string& out, const Container& container,
                           const RenderOptions& options, const Progress& progress) {
  RenderResult result;
  result.rate = source.rate();
  result.inputChannels = source.channels();
  const int inputs = plugin.inputCount(), outputs = plugin.outputCount();
  if (!(plugin.record().flags & effFlagsCanReplacing))
    throw std::runtime_error("plug-in '" + plugin.path() + "': does not offer processReplacing");
  if (outputs < 1) throw std::runtime_error("plug-in '" + plugin.path() + "': has no outputs");
  if (source.channels() > 1 && source.channels() > inputs)
    throw std::runtime_error("the input has " + std::to_string(source.channels()) + " channels; the plug-in takes " +
                             std::to_string(inputs));
  result.outputChannels = SoundWriter::channelsFor(container, outputs, source.rate());
  if (result.outputChannels == 0)
    throw std::runtime_error("'" + out + "': a " + container.name + " file cannot hold this audio at " +
                             std::to_string(source.rate()) + " Hz");
  if (result.outputChannels < outputs)
    result.notes.push_back("the plug-in has " + std::to_string(outputs) + " outputs; a " + container.name +
                           " file holds " + std::to_string(result.outputChannels) + ", so the others are left out");
  std::string containerNote;
  SoundWriter writer(out, container, result.outputChannels, source.rate(), containerNote);
  if (!containerNote.empty()) result.notes.push_back(containerNote);

  const int processRate = options.rate > 0 ? options.rate : source.rate();
  std::unique_ptr<Resampler> toPlugin, fromPlugin;
  if (processRate != source.rate()) {
    toPlugin = std::make_unique<Resampler>(source.rate(), processRate, source.channels());
    fromPlugin = std::make_unique<Resampler>(processRate, source.rate(), result.outputChannels);
  }

  plugin.dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(processRate));
  plugin.dispatch(effSetBlockSize, 0, options.blockFrames);
  plugin.dispatch(effMainsChanged, 0, 1);
  PluginBlocks blocks(plugin, source.channels(), result.outputChannels, options.blockFrames);
  Meter inMeter(source.channels()), outMeter(result.outputChannels);

  std::vector<float> read(static_cast<size_t>(options.blockFrames) * source.channels());
  std::vector<float> resampled, processed, written;
  const auto emit = [&](std::vector<float>& frames) {
    const int64_t n = static_cast<int64_t>(frames.size()) / result.outputChannels;
    outMeter.add(frames.data(), n);
    writer.write(frames.data(), n);
    frames.clear();
  };
  const auto processAndWrite = [&](const float* in, int64_t frames) {
    blocks.process(in, frames, processed);
    if (fromPlugin) {
      fromPlugin->process(processed.data(), static_cast<int64_t>(processed.size()) / result.outputChannels, written);
      processed.clear();
      emit(written);
    } else {
      emit(processed);
    }
  };
  for (;;) {
    const int64_t got = source.read(read.data(), options.blockFrames);
    if (got == 0) break;
    result.framesIn += got;
    inMeter.add(read.data(), got);
    if (toPlugin) {
      toPlugin->process(read.data(), got, resampled);
      processAndWrite(resampled.data(), static_cast<int64_t>(resampled.size()) / source.channels());
      resampled.clear();
    } else {
      processAndWrite(read.data(), got);
    }
    if (progress) progress(result.framesIn, source.frames());
  }
  if (toPlugin) {
    toPlugin->flush(resampled);
    processAndWrite(resampled.data(), static_cast<int64_t>(resampled.size()) / source.channels());
    fromPlugin->flush(written);
    emit(written);
  }
  plugin.dispatch(effMainsChanged, 0, 0);
  writer.finish();
  result.levelsIn = inMeter.levels();
  result.levelsOut = outMeter.levels();
  result.nonFinite = outMeter.nonFinite;
  return result;
}

ProgressLine::ProgressLine(bool enabled, std::string what)
    : enabled(enabled && isatty(STDERR_FILENO)), what(std::move(what)), startSeconds(nowSeconds()) {}

ProgressLine::~ProgressLine() {
  if (shown) std::fputs("\n", stderr);
}

void ProgressLine::update(int64_t done, int64_t total) {
  constexpr double kShowAfterSeconds = 1.0;
  constexpr double kRedrawSeconds = 0.1;
  constexpr int kWidth = 40;
  if (!enabled) return;
  const double now = nowSeconds();
  if (now - startSeconds < kShowAfterSeconds) return;
  if (shown && now - lastDrawSeconds < kRedrawSeconds && !(total > 0 && done >= total)) return;
  shown = true;
  lastDrawSeconds = now;
  if (total > 0) {
    const double fraction = std::min(1.0, static_cast<double>(done) / static_cast<double>(total));
    const int filled = static_cast<int>(fraction * kWidth);
    std::fprintf(stderr, "\r%s [%s%s] %3d%%", what.c_str(), std::string(filled, '#').c_str(),
                 std::string(kWidth - filled, ' ').c_str(), static_cast<int>(fraction * 100.0));
  } else {
    static constexpr char kSpinner[] = "|/-\\";
    std::fprintf(stderr, "\r%s %c %lld frames", what.c_str(), kSpinner[turn++ % 4], static_cast<long long>(done));
  }
  std::fflush(stderr);
}
