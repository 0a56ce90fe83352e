// SPDX-License-Identifier: GPL-3.0-or-later
#include "Render.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <stdexcept>

#include "Interruption.h"
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
  explicit Meter(int channelCount) : channels(static_cast<size_t>(channelCount)) {}
  void add(const float* interleaved, int64_t frames) {
    const int c = static_cast<int>(channels.size());
    for (int64_t i = 0; i < frames; ++i)
      for (int k = 0; k < c; ++k) {
        const double s = interleaved[i * c + k];
        if (!std::isfinite(s)) {
          ++channels[k].nonFinite;
          continue;
        }
        channels[k].peak = std::max(channels[k].peak, std::fabs(s));
        channels[k].rms += s * s;  // the sum of squares until levels()
      }
    counted += frames;
  }
  std::vector<Level> levels() const {
    std::vector<Level> out = channels;
    for (Level& l : out) l.rms = counted ? std::sqrt(l.rms / static_cast<double>(counted)) : 0.0;
    return out;
  }
  int64_t nonFinite() const {
    int64_t n = 0;
    for (const Level& l : channels) n += l.nonFinite;
    return n;
  }

private:
  std::vector<Level> channels;
  int64_t counted = 0;
};

/// The plug-in's side of a render: planar buffers for every input and
/// output, filled from and emptied into interleaved frames.
class PluginBlocks {
public:
  PluginBlocks(LoadedPlugin& driven, int sourceChannelCount, int keptOutputCount, int framesPerBlock)
      : plugin(driven),
        sourceChannels(sourceChannelCount),
        keptOutputs(keptOutputCount),
        blockFrames(framesPerBlock),
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

std::string rateNote(const LoadedPlugin& plugin, int sourceRate, const RenderOptions& options) {
  if (!plugin.isOurEffect() || options.rate != 0 || sourceRate == kOurDesignRate) return "";
  char text[256];
  std::snprintf(text, sizeof text,
                "the input is at %d Hz; the effect's bands are designed for %d Hz, so they shift by %.3f (--rate %d "
                "renders at the design rate)",
                sourceRate, kOurDesignRate, static_cast<double>(sourceRate) / kOurDesignRate, kOurDesignRate);
  return text;
}

std::string levelText(const Level& level, bool rms) {
  if (level.nonFinite > 0) return "not finite";
  const double linear = rms ? level.rms : level.peak;
  if (linear <= 0.0) return "-inf dB";
  char text[32];
  std::snprintf(text, sizeof text, "%+.1f dB", 20.0 * std::log10(linear));
  return text;
}

RenderResult renderThrough(LoadedPlugin& plugin, Source& source, const std::string& out, const Container& container,
                           const RenderOptions& options, const Progress& progress) {
  const interruption::Working working;
  RenderResult result;
  result.rate = source.rate();
  result.inputChannels = source.channels();
  const int inputs = plugin.inputCount(), outputs = plugin.outputCount();
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
    const double ratio = static_cast<double>(processRate) / source.rate();
    if (ratio > kLargestRateRatio || ratio < 1.0 / kLargestRateRatio)
      throw std::runtime_error("--rate " + std::to_string(processRate) + ": too far from the input's " +
                               std::to_string(source.rate()) + " Hz (at most " + std::to_string(kLargestRateRatio) +
                               " times either way)");
    toPlugin = std::make_unique<Resampler>(source.rate(), processRate, source.channels());
    fromPlugin = std::make_unique<Resampler>(processRate, source.rate(), result.outputChannels);
  }

  plugin.start(processRate, options.blockFrames);
  PluginBlocks blocks(plugin, source.channels(), result.outputChannels, options.blockFrames);
  Meter inMeter(source.channels()), outMeter(result.outputChannels);

  std::vector<float> read(static_cast<size_t>(options.blockFrames) * source.channels());
  std::vector<float> resampled, processed, written;
  // Through the resamplers the output never runs ahead of the input, and
  // ends with exactly its frames: what the filters hold back at the end is
  // cut, what they lack is silence.
  int64_t emitted = 0;
  const auto emit = [&](std::vector<float>& frames) {
    int64_t n = static_cast<int64_t>(frames.size()) / result.outputChannels;
    if (fromPlugin) n = std::min(n, result.framesIn - emitted);
    outMeter.add(frames.data(), n);
    writer.write(frames.data(), n);
    emitted += n;
    frames.erase(frames.begin(), frames.begin() + n * result.outputChannels);
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
    written.resize(static_cast<size_t>(std::max<int64_t>(result.framesIn - emitted, 0)) * result.outputChannels, 0.0f);
    emit(written);
  }
  plugin.stop();
  result.levelsIn = inMeter.levels();
  result.levelsOut = outMeter.levels();
  result.nonFinite = outMeter.nonFinite();
  // A result that is not finite never replaces a file.
  if (result.nonFinite > 0)
    result.discarded = writer.abandon();
  else
    writer.finish();
  return result;
}

ProgressLine::ProgressLine(bool wanted, std::string doing)
    : enabled(wanted && isatty(STDERR_FILENO)), what(std::move(doing)), startSeconds(nowSeconds()) {}

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
