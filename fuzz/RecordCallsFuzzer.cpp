// SPDX-License-Identifier: GPL-3.0-or-later
// Decodes its input into a sequence of host calls on a fresh effect, made
// through the entry point and driven only through the record, and checks
// that nothing crashes, every text stays in its field, no parameter reads
// NaN, finite samples come out finite while every parameter lies in its
// nominal range 0..1, and the default program brings the effect back to
// exactly the sound of a new one.

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "EffectBase.h"

namespace {

constexpr size_t kTextBuffer = 256;
constexpr size_t kProgramNameField = 24;
constexpr size_t kLongestText = 18;  // the 17-character name of index 8 and its zero
constexpr int32_t kLargestBlock = 4096;
constexpr int32_t kSmallestBlock = -4;
constexpr unsigned char kSentinel = 0xA5;

intptr_t host(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) { return opcode == 1 ? 2400 : 0; }

void check(bool condition, const char* what) {
  if (!condition) {
    __builtin_trap();
  }
  (void)what;
}

/// Reads the fuzzer's bytes as the arguments of calls; zeros once it runs out.
class Input {
public:
  Input(const uint8_t* data, size_t size) : data(data), size(size) {}
  bool empty() const { return position >= size; }
  template <class T>
  T take() {
    T value{};
    const size_t n = std::min(sizeof value, size - std::min(size, position));
    std::memcpy(&value, data + position, n);
    position += n;
    return value;
  }
  float sample() { return take<float>(); }

private:
  const uint8_t* data;
  size_t size;
  size_t position = 0;
};

AEffect* create() {
  AEffect* effect = createPlugin(host);
  check(effect != nullptr, "the entry point created no effect");
  return effect;
}

void checkText(const unsigned char* buffer, size_t limit) {
  bool changed = false;
  for (size_t i = 0; i < kTextBuffer; ++i) changed = changed || buffer[i] != kSentinel;
  if (!changed) return;  // an index outside the table leaves the text alone
  bool terminated = false;
  for (size_t i = 0; i < limit && !terminated; ++i) terminated = buffer[i] == 0;
  check(terminated, "a text ran past its field");
  for (size_t i = limit; i < kTextBuffer; ++i) check(buffer[i] == kSentinel, "a text was written past its field");
}

void dispatch(AEffect*& effect, Input& in) {
  const int32_t opcode = in.take<int32_t>() % 40;  // mostly the answered range, negatives included
  const int32_t index = in.take<int32_t>();
  const intptr_t value = in.take<intptr_t>();
  const float opt = in.take<float>();
  if (opcode == effClose) {
    check(effect->dispatcher(effect, effClose, index, value, nullptr, opt) == 1, "effClose did not answer 1");
    effect = create();
    return;
  }
  if (opcode == effSetProgramName) {
    const uint8_t length = in.take<uint8_t>();
    std::vector<char> name(length + 1, 0);
    for (uint8_t i = 0; i < length; ++i) name[i] = static_cast<char>(in.take<uint8_t>() | 1);
    effect->dispatcher(effect, opcode, index, value, name.data(), opt);
    return;
  }
  alignas(16) unsigned char buffer[kTextBuffer];
  std::memset(buffer, kSentinel, sizeof buffer);
  effect->dispatcher(effect, opcode, index, value, buffer, opt);
  if (opcode == effGetProgramName) checkText(buffer, kProgramNameField);
  if (opcode == effGetParamLabel || opcode == effGetParamDisplay || opcode == effGetParamName)
    checkText(buffer, kLongestText);
}

// Outside 0..1 a gain or threshold extrapolates its line, and a large enough
// one takes any sample past the float range; inside it nothing may.
bool parametersNominal(AEffect* effect) {
  for (int32_t i = 0; i < effect->numParams; ++i) {
    const float v = effect->getParameter(effect, i);
    if (!(v >= 0.0f && v <= 1.0f)) return false;
  }
  return true;
}

bool allFinite(const std::vector<float>& samples) {
  for (float s : samples)
    if (!std::isfinite(s)) return false;
  return true;
}

void processBlock(AEffect* effect, Input& in, bool replacing) {
  const int32_t frames =
      kSmallestBlock + static_cast<int32_t>(in.take<uint16_t>() % (kLargestBlock - kSmallestBlock + 1));
  const size_t n = frames > 0 ? static_cast<size_t>(frames) : 1;
  std::vector<float> inL(n), inR(n), outL(n), outR(n);
  // A handful of sample patterns from the input, repeated over the block.
  float pattern[8];
  for (float& p : pattern) p = in.sample();
  for (size_t i = 0; i < n; ++i) {
    inL[i] = pattern[i % 8];
    inR[i] = pattern[(i + 3) % 8];
    outL[i] = pattern[(i + 5) % 8];
    outR[i] = pattern[(i + 1) % 8];
  }
  float* inputs[2] = {inL.data(), inR.data()};
  float* outputs[2] = {outL.data(), outR.data()};
  if (!replacing) {
    effect->process(effect, inputs, outputs, frames);
    return;
  }
  effect->processReplacing(effect, inputs, outputs, frames);
  if (frames > 0 && allFinite(inL) && allFinite(inR) && parametersNominal(effect))
    check(allFinite(outL) && allFinite(outR), "finite samples came out non-finite");
}

std::vector<float> sineThroughDefault(AEffect* effect) {
  constexpr int32_t kFrames = 512;
  std::vector<float> inL(kFrames), inR(kFrames), outL(kFrames), outR(kFrames);
  for (int32_t i = 0; i < kFrames; ++i) {
    inL[i] = 0.5f * static_cast<float>(std::sin(0.05 * i));
    inR[i] = 0.5f * static_cast<float>(std::sin(0.31 * i));
  }
  effect->dispatcher(effect, effSetProgram, 0, 0, nullptr, 0.0f);
  effect->dispatcher(effect, effMainsChanged, 0, 0, nullptr, 0.0f);
  effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);
  float* inputs[2] = {inL.data(), inR.data()};
  float* outputs[2] = {outL.data(), outR.data()};
  effect->processReplacing(effect, inputs, outputs, kFrames);
  outL.insert(outL.end(), outR.begin(), outR.end());
  return outL;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Input in(data, size);
  AEffect* effect = create();
  for (int calls = 0; !in.empty() && calls < 64; ++calls) {
    switch (in.take<uint8_t>() % 7) {
      case 0: dispatch(effect, in); break;
      case 1: {
        // Half the values as a host's sliders send them, half any float.
        const int32_t index = in.take<int32_t>() % 20;
        const float value = in.take<uint8_t>() & 1 ? in.take<uint16_t>() / 65535.0f : in.take<float>();
        effect->setParameter(effect, index, value);
        break;
      }
      case 2: check(!std::isnan(effect->getParameter(effect, in.take<int32_t>() % 20)), "a parameter read NaN"); break;
      case 3: processBlock(effect, in, false); break;
      case 4: processBlock(effect, in, true); break;
      case 5: effect->dispatcher(effect, effMainsChanged, 0, in.take<uint8_t>() & 1, nullptr, 0.0f); break;
      case 6: effect->dispatcher(effect, effSetProgram, 0, in.take<int8_t>(), nullptr, 0.0f); break;
    }
  }
  for (int32_t i = 0; i < effect->numParams; ++i)
    check(!std::isnan(effect->getParameter(effect, i)), "a parameter read NaN");

  AEffect* fresh = create();
  check(sineThroughDefault(effect) == sineThroughDefault(fresh), "the default program did not restore the sound");
  check(effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f) == 1, "effClose did not answer 1");
  check(fresh->dispatcher(fresh, effClose, 0, 0, nullptr, 0.0f) == 1, "effClose did not answer 1");
  return 0;
}
