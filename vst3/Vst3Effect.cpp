// SPDX-License-Identifier: GPL-3.0-or-later
#include "Vst3Effect.h"

#include <cmath>
#include <cstring>

#include "Vst3State.h"

using namespace vst3;

namespace {

constexpr const char16_t* kBusNames[2] = {u"Stereo In", u"Stereo Out"};
constexpr int32_t kStereoChannels = 2;

bool isStereoMainBus(int32_t type, int32_t dir, int32_t index) {
  return type == kAudio && (dir == kInput || dir == kOutput) && index == 0;
}

}  // namespace

Vst3Effect::Vst3Effect() = default;

tresult Vst3Effect::query(const void* iid, void** obj) {
  if (!obj) return kInvalidArgument;
  void* face = nullptr;
  if (iid::kFUnknown.matches(iid) || iid::kIPluginBase.matches(iid) || iid::kIComponent.matches(iid))
    face = static_cast<IComponent*>(&component);
  else if (iid::kIAudioProcessor.matches(iid))
    face = static_cast<IAudioProcessor*>(&audioProcessor);
  else if (iid::kIEditController.matches(iid))
    face = static_cast<IEditController*>(&controller);
  *obj = face;
  if (!face) return kNoInterface;
  addRef();
  return kResultOk;
}

uint32_t Vst3Effect::release() {
  const uint32_t left = references.fetch_sub(1, std::memory_order_acq_rel) - 1;
  if (left == 0) delete this;
  return left;
}

// Component.

tresult Vst3Effect::Component::getControllerClassId(TUID classId) {
  // The controller is this object, which hosts find by asking for it.
  if (classId) std::memset(classId, 0, sizeof(TUID));
  return kResultFalse;
}

int32_t Vst3Effect::Component::getBusCount(int32_t type, int32_t dir) {
  return type == kAudio && (dir == kInput || dir == kOutput) ? 1 : 0;
}

tresult Vst3Effect::Component::getBusInfo(int32_t type, int32_t dir, int32_t index, BusInfo& bus) {
  if (!isStereoMainBus(type, dir, index)) return kInvalidArgument;
  std::memset(&bus, 0, sizeof bus);
  bus.mediaType = kAudio;
  bus.direction = dir;
  bus.channelCount = kStereoChannels;
  const char16_t* name = kBusNames[dir];
  for (int i = 0; name[i]; ++i) bus.name[i] = name[i];
  bus.busType = kMain;
  bus.flags = kDefaultActive;
  return kResultOk;
}

tresult Vst3Effect::Component::activateBus(int32_t type, int32_t dir, int32_t index, TBool) {
  return isStereoMainBus(type, dir, index) ? kResultOk : kInvalidArgument;
}

tresult Vst3Effect::Component::setActive(TBool state) {
  if (state && !effect.processing.load(std::memory_order_acquire)) effect.processor.restart();
  return kResultOk;
}

tresult Vst3Effect::Component::setState(IBStream* state) {
  if (!state) return kInvalidArgument;
  vst3state::Values values;
  if (!vst3state::read(state, values)) return kResultFalse;
  effect.processor.restore(values);
  return kResultOk;
}

tresult Vst3Effect::Component::getState(IBStream* state) {
  if (!state) return kInvalidArgument;
  return vst3state::write(state, effect.processor.values()) ? kResultOk : kResultFalse;
}

// Processor.

tresult Vst3Effect::Processor::setBusArrangements(SpeakerArrangement* inputs, int32_t numIns,
                                                  SpeakerArrangement* outputs, int32_t numOuts) {
  const bool stereo = numIns == 1 && numOuts == 1 && inputs && outputs && inputs[0] == kStereo && outputs[0] == kStereo;
  return stereo ? kResultTrue : kResultFalse;
}

tresult Vst3Effect::Processor::getBusArrangement(int32_t dir, int32_t index, SpeakerArrangement& arr) {
  if (!isStereoMainBus(kAudio, dir, index)) return kInvalidArgument;
  arr = kStereo;
  return kResultOk;
}

tresult Vst3Effect::Processor::setupProcessing(ProcessSetup& setup) {
  if (setup.symbolicSampleSize != kSample32) return kResultFalse;
  if (!(setup.sampleRate > 0.0 && std::isfinite(setup.sampleRate)) || setup.maxSamplesPerBlock <= 0)
    return kInvalidArgument;
  effect.processor.setup(setup.sampleRate, setup.maxSamplesPerBlock);
  return kResultOk;
}

// Each start of processing starts the effect afresh, so a render after it
// does not depend on what was played before.
tresult Vst3Effect::Processor::setProcessing(TBool state) {
  if (state) effect.processor.restart();
  effect.processing.store(state != 0, std::memory_order_release);
  return kResultOk;
}

// Controller.

Vst3Effect::Controller::Controller(Vst3Effect& e) : Face(e) {
  for (int32_t i = 0; i < vst3params::kCount; ++i)
    values[i].store(vst3params::defaultValue(static_cast<ParamID>(i)), std::memory_order_relaxed);
}

tresult Vst3Effect::Controller::setComponentState(IBStream* state) {
  if (!state) return kInvalidArgument;
  vst3state::Values loaded;
  if (!vst3state::read(state, loaded)) return kResultFalse;
  for (int32_t i = 0; i < vst3params::kCount; ++i)
    values[i].store(loaded[static_cast<size_t>(i)], std::memory_order_relaxed);
  return kResultOk;
}

tresult Vst3Effect::Controller::getParamStringByValue(ParamID id, ParamValue value, String128 string) {
  if (!vst3params::isValid(id) || !string) return kInvalidArgument;
  char text[128];
  vst3params::text(id, value, text);
  int i = 0;
  for (; text[i] && i < 127; ++i) string[i] = static_cast<char16>(static_cast<unsigned char>(text[i]));
  string[i] = 0;
  return kResultOk;
}

tresult Vst3Effect::Controller::getParamValueByString(ParamID id, char16* string, ParamValue& value) {
  if (!vst3params::isValid(id) || !string) return kInvalidArgument;
  // Our texts are ASCII; any other character cannot be one of them.
  char text[128];
  int i = 0;
  for (; string[i] && i < 127; ++i) {
    if (string[i] > 0x7F) return kResultFalse;
    text[i] = static_cast<char>(string[i]);
  }
  text[i] = '\0';
  double v = 0.0;
  if (!vst3params::fromText(id, text, v)) return kResultFalse;
  value = v;
  return kResultOk;
}

ParamValue Vst3Effect::Controller::getParamNormalized(ParamID id) {
  return vst3params::isValid(id) ? values[id].load(std::memory_order_relaxed) : 0.0;
}

tresult Vst3Effect::Controller::setParamNormalized(ParamID id, ParamValue value) {
  if (!vst3params::isValid(id) || std::isnan(value)) return kInvalidArgument;
  values[id].store(value < 0.0 ? 0.0 : value > 1.0 ? 1.0 : value, std::memory_order_relaxed);
  return kResultOk;
}
