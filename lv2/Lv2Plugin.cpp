// SPDX-License-Identifier: GPL-3.0-or-later
// The LV2 edition: the engine of the record edition, driven the same way, and
// the options of the newer editions. Each control port's value is held to the
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

// Port indices: the fifteen controls in the record's parameter order, the
// audio ports, then the options (appended, so a session saved before they
// existed finds its ports where they were and the options at their defaults).
constexpr uint32_t kRecordControls = param::count;
constexpr uint32_t kControls = param::allCount;
constexpr uint32_t kAudioPorts = 4;
constexpr uint32_t kFirstAudio = kRecordControls, kLastAudio = kFirstAudio + kAudioPorts - 1;
constexpr uint32_t kPorts = kControls + kAudioPorts;

// The engine's index and normalised value for a control port's value. The
// bypass option is LV2's "enabled" port: 1 (or more than half) processes.
int32_t indexOfPort(uint32_t port) { return static_cast<int32_t>(port < kRecordControls ? port : port - kAudioPorts); }
float engineValue(int32_t index, float portValue) {
  if (index == param::bypass) return portValue > 0.5f ? 0.0f : 1.0f;
  return units::normalised(index, portValue);
}

class Lv2Instance {
public:
  explicit Lv2Instance(double rate) : hostRate(static_cast<float>(rate)) { restart(); }

  void connect(uint32_t port, void* data) {
    if (port >= kPorts) return;
    if (port >= kFirstAudio && port <= kLastAudio)
      audio[port - kFirstAudio] = static_cast<float*>(data);
    else
      controls[indexOfPort(port)] = static_cast<const float*>(data);
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
      effect->setParameter(static_cast<int32_t>(i), engineValue(static_cast<int32_t>(i), value));
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
  float* audio[kAudioPorts] = {};
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
