// SPDX-License-Identifier: GPL-3.0-or-later
// The module's entry points and its factory of one class.

#include <cstring>
#include <new>

#include "Vst3Abi.h"
#include "Vst3Effect.h"

using namespace vst3;

namespace {

constexpr const char* kVendor = "The TriBandDistortion developers";
constexpr const char* kEmail = "tribanddistortion@example.org";
constexpr const char* kName = "TriBandDistortion";
constexpr const char* kSubCategories = "Fx|Distortion|Stereo";
constexpr const char* kInterfaceVersion = "VST 3.7.14";  // the interface as this edition declares it

template <size_t N>
void copyText(char (&to)[N], const char* from) {
  std::memset(to, 0, N);
  std::strncpy(to, from, N - 1);
}

// The fields both class descriptions begin with.
template <class Info>
void describeClass(Info& info) {
  std::memcpy(info.cid, Vst3Effect::kClassId.bytes, sizeof info.cid);
  info.cardinality = kManyInstances;
  copyText(info.category, kAudioEffectClass);
  copyText(info.name, kName);
}

// Lives as long as the module; its reference count means nothing.
class Factory final : public IPluginFactory2 {
public:
  tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override {
    if (!obj) return kInvalidArgument;
    const bool ours =
        iid::kFUnknown.matches(iid) || iid::kIPluginFactory.matches(iid) || iid::kIPluginFactory2.matches(iid);
    *obj = ours ? this : nullptr;
    return ours ? kResultOk : kNoInterface;
  }
  uint32_t PLUGIN_API addRef() override { return 1; }
  uint32_t PLUGIN_API release() override { return 1; }

  tresult PLUGIN_API getFactoryInfo(PFactoryInfo* info) override {
    if (!info) return kInvalidArgument;
    copyText(info->vendor, kVendor);
    copyText(info->url, "");
    copyText(info->email, kEmail);
    info->flags = kFactoryUnicode;
    return kResultOk;
  }
  int32_t PLUGIN_API countClasses() override { return 1; }
  tresult PLUGIN_API getClassInfo(int32_t index, PClassInfo* info) override {
    if (index != 0 || !info) return kInvalidArgument;
    describeClass(*info);
    return kResultOk;
  }
  tresult PLUGIN_API getClassInfo2(int32_t index, PClassInfo2* info) override {
    if (index != 0 || !info) return kInvalidArgument;
    describeClass(*info);
    info->classFlags = 0;  // component and controller are one object: never to be run apart
    copyText(info->subCategories, kSubCategories);
    copyText(info->vendor, kVendor);
    copyText(info->version, TRIBAND_VERSION);
    copyText(info->sdkVersion, kInterfaceVersion);
    return kResultOk;
  }
  tresult PLUGIN_API createInstance(const char* cid, const char* iid, void** obj) override {
    if (!obj) return kInvalidArgument;
    *obj = nullptr;
    if (!Vst3Effect::kClassId.matches(cid)) return kNoInterface;
    Vst3Effect* effect = new (std::nothrow) Vst3Effect();
    if (!effect) return kOutOfMemory;
    const tresult result = effect->query(iid, obj);
    effect->release();  // the creator's reference: the host now holds the one query added, or none
    return result;
  }
};

Factory& factory() {
  static Factory instance;
  return instance;
}

}  // namespace

#define TRIBAND_VST3_EXPORT extern "C" __attribute__((visibility("default")))

TRIBAND_VST3_EXPORT IPluginFactory* PLUGIN_API GetPluginFactory() { return &factory(); }

#ifdef _WIN32
TRIBAND_VST3_EXPORT bool InitDll() { return true; }
TRIBAND_VST3_EXPORT bool ExitDll() { return true; }
#else
// Nothing is set up per load, so any number of loads and unloads pair up.
TRIBAND_VST3_EXPORT bool ModuleEntry(void*) { return true; }
TRIBAND_VST3_EXPORT bool ModuleExit() { return true; }
#endif
