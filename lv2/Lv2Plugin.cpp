// SPDX-License-Identifier: GPL-3.0-or-later
// The LV2 edition: the engine of the record edition, driven the same way. Each control port's value is held to the
// port's range, turned into the normalised value the record would receive
// and applied only when it changes, then the block is processed; so a
// rendered file equals the record edition's to the bit. A port holding NaN
// leaves its parameter as it was.

#include <lv2/core/lv2.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <algorithm>
#include <iterator>
#include <limits>
#include <new>
#include <optional>

#include "UnitValues.h"
#include "TriBandEngine.h"

namespace {

constexpr const char* kUri = "urn:tribanddistortion:TriBandDistortion";

// Port indices: the fifteen controls in the record's parameter order, then
// the audio ports.
constexpr uint32_t kControls = param::count;
constexpr uint32_t kInputLeft = kControls, kInputRight = kControls + 1;
constexpr uint32_t kOutputLeft = kControls + 2, kOutputRight = kControls + 3;

class Lv2Instance {
public:
  explicit Lv2Instance(double rate) : hostRate(static_cast<float>(rate)) { restart(); }

  void connect(uint32_t port, void* data) {
    if (port < kControls)
      controls[port] = static_cast<const float*>(data);
    else if (port <= kOutputRight)
      audio[port - kControls] = static_cast<float*>(data);
  }

  // Activation starts afresh: a new effect, so nothing of the instance's
  // history (filter histories, the fuzz curves' running peaks) carries over,
  // and every port is applied again.
  void activate() { restart(); }
  void deactivate() {}

  void run(uint32_t frames) {
    for (uint32_t i = 0; i < kControls; ++i) {
      if (!controls[i]) continue;
      const float value = *controls[i];
      if (std::isnan(value) || std::memcmp(&value, &applied[i], sizeof value) == 0) continue;
      applied[i] = value;
      effect->setParameter(static_cast<int32_t>(i), units::normalised(static_cast<int32_t>(i), value));
    }
    if (frames == 0 || !audio[0] || !audio[1] || !audio[2] || !audio[3]) return;
    float* inputs[2] = {audio[0], audio[1]};
    float* outputs[2] = {audio[2], audio[3]};
    effect->processReplacing(inputs, outputs, static_cast<int32_t>(frames));
  }

private:
  void restart() {
    effect.emplace();
    effect->setSampleRate(hostRate);
    // NaN is never applied, so the next run applies every port.
    std::fill(std::begin(applied), std::end(applied), std::numeric_limits<float>::quiet_NaN());
  }

  const float hostRate;
  std::optional<TriBandEngine> effect;
  const float* controls[kControls] = {};
  float* audio[4] = {};
  // The port values last applied.
  float applied[kControls] = {};
};

LV2_Handle instantiate(const LV2_Descriptor*, double rate, const char*, const LV2_Feature* const*) {
  return new (std::nothrow) Lv2Instance(rate);
}
void connectPort(LV2_Handle h, uint32_t port, void* data) { static_cast<Lv2Instance*>(h)->connect(port, data); }
void activate(LV2_Handle h) { static_cast<Lv2Instance*>(h)->activate(); }
void run(LV2_Handle h, uint32_t frames) { static_cast<Lv2Instance*>(h)->run(frames); }
void deactivate(LV2_Handle h) { static_cast<Lv2Instance*>(h)->deactivate(); }
void cleanup(LV2_Handle h) { delete static_cast<Lv2Instance*>(h); }
const void* extensionData(const char*) { return nullptr; }

constexpr LV2_Descriptor kDescriptor = {kUri, instantiate, connectPort, activate,
                                        run,  deactivate,  cleanup,     extensionData};

}  // namespace

extern "C" __attribute__((visibility("default"))) const LV2_Descriptor* lv2_descriptor(uint32_t index) {
  return index == 0 ? &kDescriptor : nullptr;
}
