// SPDX-License-Identifier: GPL-3.0-or-later
#include "Vst3Processor.h"

#include <algorithm>
#include <climits>

using vst3::ParamID;

/// One parameter queue, read point by point; a point at the block's end (or
/// beyond) applies after the block, from the next block's first frame.
struct Vst3Processor::Cursor {
  vst3::IParamValueQueue* queue = nullptr;
  ParamID id = 0;
  int32_t count = 0;
  int32_t next = 0;
  int32_t offset = INT_MAX;  // INT_MAX: no point left
  double value = 0.0;

  bool done() const { return offset == INT_MAX; }
  // Moves to the next readable point at or after `next`.
  void load(int32_t frames) {
    for (; next < count; ++next) {
      int32_t at = 0;
      double v = 0.0;
      if (queue->getPoint(next, at, v) != vst3::kResultOk) continue;
      offset = std::clamp(at, 0, frames);
      value = v;
      return;
    }
    offset = INT_MAX;
  }
};

vst3::tresult Vst3Processor::process(vst3::ProcessData& data) noexcept {
  takeRestored();
  const int32_t frames = std::max(data.numSamples, 0);

  Cursor cursors[kMostQueues];
  int32_t used = 0;
  if (vst3::IParameterChanges* changes = data.inputParameterChanges) {
    const int32_t queues = changes->getParameterCount();
    for (int32_t q = 0; q < queues && used < kMostQueues; ++q) {
      vst3::IParamValueQueue* queue = changes->getParameterData(q);
      if (!queue) continue;
      Cursor& c = cursors[used];
      c = Cursor{};
      c.queue = queue;
      c.id = queue->getParameterId();
      if (!vst3params::isValid(c.id)) continue;
      c.count = queue->getPointCount();
      c.load(frames);
      if (!c.done()) ++used;
    }
  }

  const vst3::AudioBusBuffers* inBus = data.numInputs > 0 ? data.inputs : nullptr;
  vst3::AudioBusBuffers* outBus = data.numOutputs > 0 ? data.outputs : nullptr;
  const bool floats = data.symbolicSampleSize == vst3::kSample32;
  float* const* in = inBus && floats && inBus->numChannels >= 2 ? inBus->channelBuffers32 : nullptr;
  float* const* out = outBus && floats && outBus->numChannels >= 2 ? outBus->channelBuffers32 : nullptr;
  const bool audio = frames > 0 && in && out && in[0] && in[1] && out[0] && out[1];

  int32_t start = 0;
  for (;;) {
    int32_t end = frames;
    for (int32_t i = 0; i < used; ++i) {
      Cursor& c = cursors[i];
      while (!c.done() && c.offset <= start && c.offset < frames) {
        apply(c.id, c.value);
        ++c.next;
        c.load(frames);
      }
      if (!c.done()) end = std::min(end, c.offset);
    }
    if (audio && end > start) render(in, out, start, end - start);
    if (end >= frames) break;
    start = end;
  }
  for (int32_t i = 0; i < used; ++i)
    for (Cursor& c = cursors[i]; !c.done(); ++c.next, c.load(frames)) apply(c.id, c.value);

  if (!outBus || !floats || frames == 0) return floats ? vst3::kResultOk : vst3::kResultFalse;
  // Outputs the effect could not fill (a bus of another shape, missing
  // input) are silence rather than whatever the buffer held.
  uint64_t silent = 0;
  float* const* outs = outBus->channelBuffers32;
  for (int32_t c = 0; outs && c < outBus->numChannels; ++c) {
    if (!outs[c]) continue;
    if (!audio) std::fill(outs[c], outs[c] + frames, 0.0f);
    const bool zero = std::all_of(outs[c], outs[c] + frames, [](float s) { return s == 0.0f; });
    if (zero && c < 64) silent |= uint64_t{1} << c;
  }
  outBus->silenceFlags = silent;
  return vst3::kResultOk;
}
