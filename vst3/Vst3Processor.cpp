// SPDX-License-Identifier: GPL-3.0-or-later
#include "Vst3Processor.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

using vst3::ParamID;

Vst3Processor::Vst3Processor() {
  for (int32_t i = 0; i < vst3params::kCount; ++i) {
    const double v = vst3params::defaultValue(static_cast<ParamID>(i));
    current[i].store(v, std::memory_order_relaxed);
    restored[i].store(v, std::memory_order_relaxed);
  }
  restart();
}

void Vst3Processor::setup(double rate, int32_t frames) {
  sampleRate.store(rate, std::memory_order_relaxed);
  maxBlockFrames.store(frames, std::memory_order_relaxed);
}

void Vst3Processor::restart() {
  engine.emplace();
  engine->setSampleRate(static_cast<float>(sampleRate.load(std::memory_order_relaxed)));
  engine->setBlockSize(maxBlockFrames.load(std::memory_order_relaxed));
  for (int32_t i = 0; i < vst3params::kCount; ++i)
    apply(static_cast<ParamID>(i), current[i].load(std::memory_order_relaxed));
}

vst3state::Values Vst3Processor::values() const {
  vst3state::Values v;
  for (int32_t i = 0; i < vst3params::kCount; ++i) v.byId[i] = current[i].load(std::memory_order_relaxed);
  return v;
}

void Vst3Processor::restore(const vst3state::Values& values) {
  std::lock_guard<std::mutex> writers(restoreWriters);
  const uint32_t sequence = restoreSequence.load(std::memory_order_relaxed);
  restoreSequence.store(sequence + 1, std::memory_order_relaxed);
  // Each value is released, so a reader that sees it also sees the odd
  // sequence number before it (no fences: ThreadSanitizer follows these).
  for (int32_t i = 0; i < vst3params::kCount; ++i) {
    restored[i].store(values.byId[i], std::memory_order_release);
    current[i].store(values.byId[i], std::memory_order_relaxed);
  }
  restoreSequence.store(sequence + 2, std::memory_order_release);
}

// A copy taken while a restore is being written is dropped; the next block
// takes the finished one.
void Vst3Processor::applyRestored() noexcept {
  const uint32_t sequence = restoreSequence.load(std::memory_order_acquire);
  if (sequence == appliedSequence || (sequence & 1u) != 0) return;
  double copy[vst3params::kCount];
  for (int32_t i = 0; i < vst3params::kCount; ++i) copy[i] = restored[i].load(std::memory_order_acquire);
  if (restoreSequence.load(std::memory_order_relaxed) != sequence) return;
  appliedSequence = sequence;
  for (int32_t i = 0; i < vst3params::kCount; ++i) apply(static_cast<ParamID>(i), copy[i]);
}

void Vst3Processor::apply(ParamID id, double value) noexcept {
  if (!vst3params::isValid(id) || std::isnan(value)) return;
  value = std::clamp(value, 0.0, 1.0);
  current[id].store(value, std::memory_order_relaxed);
  if (id == vst3params::kBypassId)
    bypassed = vst3params::bypassOn(value);
  else
    engine->setParameter(static_cast<int32_t>(id), vst3params::engineValue(id, value));
}

// While bypassed the engine keeps running on a copy of the input, so that
// switching back sounds as if the effect had never stopped, and the output
// is the input.
void Vst3Processor::render(float* const* in, float* const* out, int32_t start, int32_t frames) noexcept {
  float* pieceIn[2] = {in[0] + start, in[1] + start};
  float* pieceOut[2] = {out[0] + start, out[1] + start};
  if (!bypassed) {
    engine->processReplacing(pieceIn, pieceOut, frames);
    return;
  }
  for (int32_t done = 0; done < frames; done += kBypassChunkFrames) {
    const int32_t n = std::min(kBypassChunkFrames, frames - done);
    float* asideIn[2] = {bypassIn[0], bypassIn[1]};
    float* asideOut[2] = {bypassOut[0], bypassOut[1]};
    for (int c = 0; c < 2; ++c) {
      std::memcpy(bypassIn[c], pieceIn[c] + done, sizeof(float) * static_cast<size_t>(n));
      if (pieceOut[c] != pieceIn[c])
        std::memcpy(pieceOut[c] + done, pieceIn[c] + done, sizeof(float) * static_cast<size_t>(n));
    }
    engine->processReplacing(asideIn, asideOut, n);
  }
}

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
  applyRestored();
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
