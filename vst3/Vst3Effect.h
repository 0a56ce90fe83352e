// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstdint>

#include "Vst3Abi.h"
#include "Vst3Parameters.h"
#include "Vst3Processor.h"

/// The VST3 edition's one object: component, audio processor and edit
/// controller at once, as hosts that ask the component for its controller
/// expect. Each interface is a small class of its own inside it (the
/// component's and the controller's getState/setState mean different
/// things); all three share the object's reference count and answer each
/// other's queryInterface.
class Vst3Effect {
public:
  static constexpr vst3::Uid kClassId = vst3::Uid::of(0x54726942, 0x616E6444, 0x6973746F, 0x72743031);

  /// Created with one reference, the caller's.
  Vst3Effect();

  /// The interface asked for, with a reference added; kNoInterface and null
  /// for any other.
  vst3::tresult query(const void* iid, void** obj);
  uint32_t addRef() { return references.fetch_add(1, std::memory_order_relaxed) + 1; }
  uint32_t release();

  /// One interface of the object: its FUnknown slots are the object's.
  template <class Interface>
  class Face : public Interface {
  public:
    explicit Face(Vst3Effect& e) : effect(e) {}
    vst3::tresult PLUGIN_API queryInterface(const vst3::TUID iid, void** obj) override {
      return effect.query(iid, obj);
    }
    uint32_t PLUGIN_API addRef() override { return effect.addRef(); }
    uint32_t PLUGIN_API release() override { return effect.release(); }

  protected:
    Vst3Effect& effect;
  };

  class Component final : public Face<vst3::IComponent> {
  public:
    using Face::Face;
    vst3::tresult PLUGIN_API initialize(vst3::FUnknown*) override { return vst3::kResultOk; }
    vst3::tresult PLUGIN_API terminate() override { return vst3::kResultOk; }
    vst3::tresult PLUGIN_API getControllerClassId(vst3::TUID classId) override;
    vst3::tresult PLUGIN_API setIoMode(int32_t) override { return vst3::kResultOk; }
    int32_t PLUGIN_API getBusCount(int32_t type, int32_t dir) override;
    vst3::tresult PLUGIN_API getBusInfo(int32_t type, int32_t dir, int32_t index, vst3::BusInfo& bus) override;
    vst3::tresult PLUGIN_API getRoutingInfo(vst3::RoutingInfo&, vst3::RoutingInfo&) override {
      return vst3::kNotImplemented;
    }
    vst3::tresult PLUGIN_API activateBus(int32_t type, int32_t dir, int32_t index, vst3::TBool state) override;
    vst3::tresult PLUGIN_API setActive(vst3::TBool state) override;
    vst3::tresult PLUGIN_API setState(vst3::IBStream* state) override;
    vst3::tresult PLUGIN_API getState(vst3::IBStream* state) override;
  };

  class Processor final : public Face<vst3::IAudioProcessor> {
  public:
    using Face::Face;
    vst3::tresult PLUGIN_API setBusArrangements(vst3::SpeakerArrangement* inputs, int32_t numIns,
                                                vst3::SpeakerArrangement* outputs, int32_t numOuts) override;
    vst3::tresult PLUGIN_API getBusArrangement(int32_t dir, int32_t index, vst3::SpeakerArrangement& arr) override;
    vst3::tresult PLUGIN_API canProcessSampleSize(int32_t size) override {
      return size == vst3::kSample32 ? vst3::kResultTrue : vst3::kResultFalse;
    }
    uint32_t PLUGIN_API getLatencySamples() override { return 0; }
    vst3::tresult PLUGIN_API setupProcessing(vst3::ProcessSetup& setup) override;
    vst3::tresult PLUGIN_API setProcessing(vst3::TBool state) override;
    vst3::tresult PLUGIN_API process(vst3::ProcessData& data) override { return effect.processor.process(data); }
    uint32_t PLUGIN_API getTailSamples() override { return 0; }
  };

  class Controller final : public Face<vst3::IEditController> {
  public:
    explicit Controller(Vst3Effect& e);
    vst3::tresult PLUGIN_API initialize(vst3::FUnknown*) override { return vst3::kResultOk; }
    vst3::tresult PLUGIN_API terminate() override { return vst3::kResultOk; }
    vst3::tresult PLUGIN_API setComponentState(vst3::IBStream* state) override;
    // The controller keeps nothing of its own: its state is empty.
    vst3::tresult PLUGIN_API setState(vst3::IBStream*) override { return vst3::kResultOk; }
    vst3::tresult PLUGIN_API getState(vst3::IBStream*) override { return vst3::kResultOk; }
    int32_t PLUGIN_API getParameterCount() override { return vst3params::kCount; }
    vst3::tresult PLUGIN_API getParameterInfo(int32_t index, vst3::ParameterInfo& info) override {
      return vst3params::describe(index, info) ? vst3::kResultOk : vst3::kInvalidArgument;
    }
    vst3::tresult PLUGIN_API getParamStringByValue(vst3::ParamID id, vst3::ParamValue value,
                                                   vst3::String128 string) override;
    vst3::tresult PLUGIN_API getParamValueByString(vst3::ParamID id, vst3::char16* string,
                                                   vst3::ParamValue& value) override;
    vst3::ParamValue PLUGIN_API normalizedParamToPlain(vst3::ParamID id, vst3::ParamValue value) override {
      return vst3params::toPlain(id, value);
    }
    vst3::ParamValue PLUGIN_API plainParamToNormalized(vst3::ParamID id, vst3::ParamValue plain) override {
      return vst3params::toNormalised(id, plain);
    }
    vst3::ParamValue PLUGIN_API getParamNormalized(vst3::ParamID id) override;
    vst3::tresult PLUGIN_API setParamNormalized(vst3::ParamID id, vst3::ParamValue value) override;
    // Nothing is ever reported back to the host (no editor), so the handler is not kept.
    vst3::tresult PLUGIN_API setComponentHandler(vst3::IComponentHandler*) override { return vst3::kResultOk; }
    void* PLUGIN_API createView(const char*) override { return nullptr; }

  private:
    std::atomic<double> values[vst3params::kCount];
  };

private:
  std::atomic<uint32_t> references{1};
  // Set between setProcessing(true) and (false): a host's setActive in
  // between must not replace the engine under a running block.
  std::atomic<bool> processing{false};
  Vst3Processor processor;
  Component component{*this};
  Processor audioProcessor{*this};
  Controller controller{*this};
};
