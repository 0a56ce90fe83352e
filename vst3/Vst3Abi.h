// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The part of the VST3 binary interface an audio effect without an editor
// meets, declared from its published layout: types, result codes and
// interface IDs (both differ between Windows and the other systems), the
// interfaces as tables of virtual methods in slot order, and the structs the
// host reads by offset.
//
// Interface classes have no data, no destructor and no overloads, so each
// one's vtable is exactly its slots; an object answering several interfaces
// does so through one small class per interface (see Vst3Effect.h), because
// two of them share method names with different meanings.

#include <cstddef>
#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define PLUGIN_API __stdcall
#else
#define PLUGIN_API
#endif

namespace vst3 {

using tresult = int32_t;
using TBool = uint8_t;
using char16 = char16_t;  // UTF-16 on every system; wchar_t is 4 bytes on Linux
using String128 = char16[128];
using TUID = char[16];
using ParamID = uint32_t;
using ParamValue = double;
using SpeakerArrangement = uint64_t;

#ifdef _WIN32
// COM's HRESULTs.
constexpr tresult kResultOk = 0;
constexpr tresult kResultFalse = 1;
constexpr tresult kNoInterface = static_cast<tresult>(0x80004002u);
constexpr tresult kInvalidArgument = static_cast<tresult>(0x80070057u);
constexpr tresult kNotImplemented = static_cast<tresult>(0x80004001u);
constexpr tresult kInternalError = static_cast<tresult>(0x80004005u);
constexpr tresult kNotInitialized = static_cast<tresult>(0x8000FFFFu);
constexpr tresult kOutOfMemory = static_cast<tresult>(0x8007000Eu);
#else
constexpr tresult kResultOk = 0;
constexpr tresult kResultFalse = 1;
constexpr tresult kNoInterface = -1;
constexpr tresult kInvalidArgument = 2;
constexpr tresult kNotImplemented = 3;
constexpr tresult kInternalError = 4;
constexpr tresult kNotInitialized = 5;
constexpr tresult kOutOfMemory = 6;
#endif
constexpr tresult kResultTrue = kResultOk;

/// A class or interface ID written as four 32-bit words, laid out in memory
/// as the system's hosts compare it: on Windows as a GUID (the first word and
/// the two halves of the second little-endian), elsewhere every word
/// big-endian.
struct Uid {
  char bytes[16];

  static constexpr Uid of(uint32_t l1, uint32_t l2, uint32_t l3, uint32_t l4) {
    Uid u{};
#ifdef _WIN32
    put(u, 0, l1, true);
    put(u, 4, (l2 >> 16) & 0xFFFFu, true, 2);
    put(u, 6, l2 & 0xFFFFu, true, 2);
#else
    put(u, 0, l1, false);
    put(u, 4, l2, false);
#endif
    put(u, 8, l3, false);
    put(u, 12, l4, false);
    return u;
  }
  bool matches(const void* tuid) const {
    if (!tuid) return false;
    const char* t = static_cast<const char*>(tuid);
    for (int i = 0; i < 16; ++i)
      if (t[i] != bytes[i]) return false;
    return true;
  }

private:
  static constexpr void put(Uid& u, int at, uint32_t word, bool littleEndian, int size = 4) {
    for (int i = 0; i < size; ++i) {
      const int shift = littleEndian ? 8 * i : 8 * (size - 1 - i);
      u.bytes[at + i] = static_cast<char>((word >> shift) & 0xFFu);
    }
  }
};

namespace iid {
constexpr Uid kFUnknown = Uid::of(0x00000000, 0x00000000, 0xC0000000, 0x00000046);
constexpr Uid kIPluginBase = Uid::of(0x22888DDB, 0x156E45AE, 0x8358B348, 0x08190625);
constexpr Uid kIPluginFactory = Uid::of(0x7A4D811C, 0x52114A1F, 0xAED9D2EE, 0x0B43BF9F);
constexpr Uid kIPluginFactory2 = Uid::of(0x0007B650, 0xF24B4C0B, 0xA464EDB9, 0xF00B2ABB);
constexpr Uid kIComponent = Uid::of(0xE831FF31, 0xF2D54301, 0x928EBBEE, 0x25697802);
constexpr Uid kIAudioProcessor = Uid::of(0x42043F99, 0xB7DA453C, 0xA569E79D, 0x9AAEC33D);
constexpr Uid kIEditController = Uid::of(0xDCD7BBE3, 0x7742448D, 0xA874AACC, 0x979C759E);
}  // namespace iid

// Enumerations, by value.
enum MediaType : int32_t { kAudio = 0, kEvent = 1 };
enum BusDirection : int32_t { kInput = 0, kOutput = 1 };
enum BusType : int32_t { kMain = 0, kAux = 1 };
enum SampleSize : int32_t { kSample32 = 0, kSample64 = 1 };
constexpr uint32_t kDefaultActive = 1;
constexpr SpeakerArrangement kStereo = 0x3;
constexpr int32_t kManyInstances = 0x7FFFFFFF;
constexpr int32_t kFactoryUnicode = 0x10;
constexpr int32_t kCanAutomate = 1;
constexpr int32_t kIsList = 8;
constexpr int32_t kIsBypass = 0x10000;
constexpr const char* kAudioEffectClass = "Audio Module Class";

struct PFactoryInfo {
  char vendor[64];
  char url[256];
  char email[128];
  int32_t flags;
};

struct PClassInfo {
  TUID cid;
  int32_t cardinality;
  char category[32];
  char name[64];
};

struct PClassInfo2 {
  TUID cid;
  int32_t cardinality;
  char category[32];
  char name[64];
  uint32_t classFlags;
  char subCategories[128];
  char vendor[64];
  char version[64];
  char sdkVersion[64];
};

struct BusInfo {
  int32_t mediaType;
  int32_t direction;
  int32_t channelCount;
  String128 name;
  int32_t busType;
  uint32_t flags;
};

struct RoutingInfo {
  int32_t mediaType;
  int32_t busIndex;
  int32_t channel;
};

struct ParameterInfo {
  ParamID id;
  String128 title;
  String128 shortTitle;
  String128 units;
  int32_t stepCount;
  ParamValue defaultNormalizedValue;
  int32_t unitId;
  int32_t flags;
};

struct ProcessSetup {
  int32_t processMode;
  int32_t symbolicSampleSize;
  int32_t maxSamplesPerBlock;
  double sampleRate;
};

struct AudioBusBuffers {
  int32_t numChannels;
  uint64_t silenceFlags;
  union {
    float** channelBuffers32;
    double** channelBuffers64;
  };
};

class IParameterChanges;
class IEventList;
struct ProcessContext;

struct ProcessData {
  int32_t processMode;
  int32_t symbolicSampleSize;
  int32_t numSamples;
  int32_t numInputs;
  int32_t numOutputs;
  AudioBusBuffers* inputs;
  AudioBusBuffers* outputs;
  IParameterChanges* inputParameterChanges;
  IParameterChanges* outputParameterChanges;
  IEventList* inputEvents;
  IEventList* outputEvents;
  ProcessContext* processContext;
};

// Hosts read these by offset: 64-bit systems and 32-bit Windows align
// doubles and 64-bit integers to 8 inside structs, 32-bit Linux to 4.
static_assert(sizeof(PFactoryInfo) == 452 && offsetof(PFactoryInfo, flags) == 448, "PFactoryInfo layout");
static_assert(sizeof(PClassInfo) == 116 && offsetof(PClassInfo, name) == 52, "PClassInfo layout");
static_assert(sizeof(PClassInfo2) == 440 && offsetof(PClassInfo2, subCategories) == 120 &&
                  offsetof(PClassInfo2, sdkVersion) == 376,
              "PClassInfo2 layout");
static_assert(sizeof(BusInfo) == 276 && offsetof(BusInfo, busType) == 268, "BusInfo layout");
static_assert(sizeof(ParameterInfo) == 792 && offsetof(ParameterInfo, stepCount) == 772 &&
                  offsetof(ParameterInfo, defaultNormalizedValue) == 776 && offsetof(ParameterInfo, flags) == 788,
              "ParameterInfo layout");
#if defined(__i386__) && !defined(_WIN32)
static_assert(sizeof(ProcessSetup) == 20 && offsetof(ProcessSetup, sampleRate) == 12, "ProcessSetup layout");
static_assert(sizeof(AudioBusBuffers) == 16 && offsetof(AudioBusBuffers, silenceFlags) == 4 &&
                  offsetof(AudioBusBuffers, channelBuffers32) == 12,
              "AudioBusBuffers layout");
#else
static_assert(sizeof(ProcessSetup) == 24 && offsetof(ProcessSetup, sampleRate) == 16, "ProcessSetup layout");
static_assert(sizeof(AudioBusBuffers) == 24 && offsetof(AudioBusBuffers, silenceFlags) == 8 &&
                  offsetof(AudioBusBuffers, channelBuffers32) == 16,
              "AudioBusBuffers layout");
#endif
#if UINTPTR_MAX > 0xFFFFFFFFu
static_assert(sizeof(ProcessData) == 80 && offsetof(ProcessData, inputs) == 24 &&
                  offsetof(ProcessData, processContext) == 72,
              "ProcessData layout");
#else
static_assert(sizeof(ProcessData) == 48 && offsetof(ProcessData, inputs) == 20 &&
                  offsetof(ProcessData, processContext) == 44,
              "ProcessData layout");
#endif

// The interfaces, slot by slot.

class FUnknown {
public:
  virtual tresult PLUGIN_API queryInterface(const TUID iid, void** obj) = 0;
  virtual uint32_t PLUGIN_API addRef() = 0;
  virtual uint32_t PLUGIN_API release() = 0;
};

class IBStream : public FUnknown {
public:
  virtual tresult PLUGIN_API read(void* buffer, int32_t numBytes, int32_t* numBytesRead) = 0;
  virtual tresult PLUGIN_API write(void* buffer, int32_t numBytes, int32_t* numBytesWritten) = 0;
  virtual tresult PLUGIN_API seek(int64_t pos, int32_t mode, int64_t* result) = 0;
  virtual tresult PLUGIN_API tell(int64_t* pos) = 0;
};

class IPluginBase : public FUnknown {
public:
  virtual tresult PLUGIN_API initialize(FUnknown* context) = 0;
  virtual tresult PLUGIN_API terminate() = 0;
};

class IPluginFactory : public FUnknown {
public:
  virtual tresult PLUGIN_API getFactoryInfo(PFactoryInfo* info) = 0;
  virtual int32_t PLUGIN_API countClasses() = 0;
  virtual tresult PLUGIN_API getClassInfo(int32_t index, PClassInfo* info) = 0;
  virtual tresult PLUGIN_API createInstance(const char* cid, const char* iid, void** obj) = 0;
};

class IPluginFactory2 : public IPluginFactory {
public:
  virtual tresult PLUGIN_API getClassInfo2(int32_t index, PClassInfo2* info) = 0;
};

class IComponent : public IPluginBase {
public:
  virtual tresult PLUGIN_API getControllerClassId(TUID classId) = 0;
  virtual tresult PLUGIN_API setIoMode(int32_t mode) = 0;
  virtual int32_t PLUGIN_API getBusCount(int32_t type, int32_t dir) = 0;
  virtual tresult PLUGIN_API getBusInfo(int32_t type, int32_t dir, int32_t index, BusInfo& bus) = 0;
  virtual tresult PLUGIN_API getRoutingInfo(RoutingInfo& inInfo, RoutingInfo& outInfo) = 0;
  virtual tresult PLUGIN_API activateBus(int32_t type, int32_t dir, int32_t index, TBool state) = 0;
  virtual tresult PLUGIN_API setActive(TBool state) = 0;
  virtual tresult PLUGIN_API setState(IBStream* state) = 0;
  virtual tresult PLUGIN_API getState(IBStream* state) = 0;
};

class IAudioProcessor : public FUnknown {
public:
  virtual tresult PLUGIN_API setBusArrangements(SpeakerArrangement* inputs, int32_t numIns, SpeakerArrangement* outputs,
                                                int32_t numOuts) = 0;
  virtual tresult PLUGIN_API getBusArrangement(int32_t dir, int32_t index, SpeakerArrangement& arr) = 0;
  virtual tresult PLUGIN_API canProcessSampleSize(int32_t symbolicSampleSize) = 0;
  virtual uint32_t PLUGIN_API getLatencySamples() = 0;
  virtual tresult PLUGIN_API setupProcessing(ProcessSetup& setup) = 0;
  virtual tresult PLUGIN_API setProcessing(TBool state) = 0;
  virtual tresult PLUGIN_API process(ProcessData& data) = 0;
  virtual uint32_t PLUGIN_API getTailSamples() = 0;
};

class IComponentHandler;

class IEditController : public IPluginBase {
public:
  virtual tresult PLUGIN_API setComponentState(IBStream* state) = 0;
  virtual tresult PLUGIN_API setState(IBStream* state) = 0;
  virtual tresult PLUGIN_API getState(IBStream* state) = 0;
  virtual int32_t PLUGIN_API getParameterCount() = 0;
  virtual tresult PLUGIN_API getParameterInfo(int32_t paramIndex, ParameterInfo& info) = 0;
  virtual tresult PLUGIN_API getParamStringByValue(ParamID id, ParamValue valueNormalized, String128 string) = 0;
  virtual tresult PLUGIN_API getParamValueByString(ParamID id, char16* string, ParamValue& valueNormalized) = 0;
  virtual ParamValue PLUGIN_API normalizedParamToPlain(ParamID id, ParamValue valueNormalized) = 0;
  virtual ParamValue PLUGIN_API plainParamToNormalized(ParamID id, ParamValue plainValue) = 0;
  virtual ParamValue PLUGIN_API getParamNormalized(ParamID id) = 0;
  virtual tresult PLUGIN_API setParamNormalized(ParamID id, ParamValue value) = 0;
  virtual tresult PLUGIN_API setComponentHandler(IComponentHandler* handler) = 0;
  virtual void* PLUGIN_API createView(const char* name) = 0;
};

class IParamValueQueue : public FUnknown {
public:
  virtual ParamID PLUGIN_API getParameterId() = 0;
  virtual int32_t PLUGIN_API getPointCount() = 0;
  virtual tresult PLUGIN_API getPoint(int32_t index, int32_t& sampleOffset, ParamValue& value) = 0;
  virtual tresult PLUGIN_API addPoint(int32_t sampleOffset, ParamValue value, int32_t& index) = 0;
};

class IParameterChanges : public FUnknown {
public:
  virtual int32_t PLUGIN_API getParameterCount() = 0;
  virtual IParamValueQueue* PLUGIN_API getParameterData(int32_t index) = 0;
  virtual IParamValueQueue* PLUGIN_API addParameterData(const ParamID& id, int32_t& index) = 0;
};

}  // namespace vst3
