// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A VST3 host for the tests, written from the interface's published layout
// and independent of the plug-in's own declarations: interface methods are
// called by slot number, interface IDs are literal bytes, and the structs
// the plug-in reads are filled at literal offsets. A mistake in the
// plug-in's declarations therefore shows here instead of hiding itself.

#include <atomic>
#include <cstdint>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#if defined(_WIN32) && !defined(_WIN64)
#define HOST_API __stdcall
#else
#define HOST_API
#endif

namespace vst3host {

#ifdef _WIN32
constexpr int32_t kOk = 0, kFalse = 1, kNoInterface = static_cast<int32_t>(0x80004002u),
                  kInvalidArgument = static_cast<int32_t>(0x80070057u),
                  kNotImplemented = static_cast<int32_t>(0x80004001u);
#else
constexpr int32_t kOk = 0, kFalse = 1, kNoInterface = -1, kInvalidArgument = 2, kNotImplemented = 3;
#endif

/// 16 bytes from 32 hex digits.
struct Iid {
  unsigned char bytes[16];
  explicit Iid(const char* hex) {
    for (int i = 0; i < 16; ++i)
      bytes[i] = static_cast<unsigned char>(std::stoi(std::string(hex + 2 * i, 2), nullptr, 16));
  }
  const char* data() const { return reinterpret_cast<const char*>(bytes); }
  bool operator==(const void* other) const { return other && std::memcmp(bytes, other, 16) == 0; }
};

// Interface IDs in this system's memory order.
#ifdef _WIN32
inline const Iid kFUnknown{"0000000000000000C000000000000046"};
inline const Iid kIPluginBase{"DB8D88226E15AE458358B34808190625"};
inline const Iid kIPluginFactory{"1C814D7A11521F4AAED9D2EE0B43BF9F"};
inline const Iid kIPluginFactory2{"50B607004BF20B4CA464EDB9F00B2ABB"};
inline const Iid kIPluginFactory3{"ABA2554523C1574E9B12291036878931"};
inline const Iid kIComponent{"31FF31E8D5F20143928EBBEE25697802"};
inline const Iid kIAudioProcessor{"993F0442DAB73C45A569E79D9AAEC33D"};
inline const Iid kIEditController{"E3BBD7DC42778D44A874AACC979C759E"};
inline const Iid kIBStream{"A26EBFC3993052479B6BF9901EE33E9B"};
inline const Iid kIConnectionPoint{"6F15A4706E6E2640989148BFAA60D8D1"};
#else
inline const Iid kFUnknown{"0000000000000000C000000000000046"};
inline const Iid kIPluginBase{"22888DDB156E45AE8358B34808190625"};
inline const Iid kIPluginFactory{"7A4D811C52114A1FAED9D2EE0B43BF9F"};
inline const Iid kIPluginFactory2{"0007B650F24B4C0BA464EDB9F00B2ABB"};
inline const Iid kIPluginFactory3{"4555A2ABC1234E579B12291036878931"};
inline const Iid kIComponent{"E831FF31F2D54301928EBBEE25697802"};
inline const Iid kIAudioProcessor{"42043F99B7DA453CA569E79D9AAEC33D"};
inline const Iid kIEditController{"DCD7BBE37742448DA874AACC979C759E"};
inline const Iid kIBStream{"C3BF6EA2309947529B6BF9901EE33E9B"};
inline const Iid kIConnectionPoint{"70A4156F6E6E4026989148BFAA60D8D1"};
#endif

// Slots.
namespace slot {
enum Unknown { queryInterface = 0, addRef = 1, release = 2 };
enum Base { initialize = 3, terminate = 4 };
enum Factory { getFactoryInfo = 3, countClasses = 4, getClassInfo = 5, createInstance = 6, getClassInfo2 = 7 };
enum Component {
  getControllerClassId = 5,
  setIoMode = 6,
  getBusCount = 7,
  getBusInfo = 8,
  getRoutingInfo = 9,
  activateBus = 10,
  setActive = 11,
  setState = 12,
  getState = 13
};
enum Processor {
  setBusArrangements = 3,
  getBusArrangement = 4,
  canProcessSampleSize = 5,
  getLatencySamples = 6,
  setupProcessing = 7,
  setProcessing = 8,
  process = 9,
  getTailSamples = 10
};
enum Controller {
  setComponentState = 5,
  setControllerState = 6,
  getControllerState = 7,
  getParameterCount = 8,
  getParameterInfo = 9,
  getParamStringByValue = 10,
  getParamValueByString = 11,
  normalizedParamToPlain = 12,
  plainParamToNormalized = 13,
  getParamNormalized = 14,
  setParamNormalized = 15,
  setComponentHandler = 16,
  createView = 17
};
}  // namespace slot

// Struct sizes and offsets: 64-bit systems and 32-bit Windows align 8-byte
// fields to 8, 32-bit Linux to 4.
namespace layout {
constexpr size_t kFactoryInfoSize = 452, kClassInfoSize = 116, kClassInfo2Size = 440, kBusInfoSize = 276;
constexpr size_t kParameterInfoSize = 792;
#if defined(__i386__) && !defined(_WIN32)
constexpr size_t kSetupSize = 20, kSetupRate = 12;
constexpr size_t kBusBuffersSize = 16, kBusSilence = 4, kBusChannels = 12;
#else
constexpr size_t kSetupSize = 24, kSetupRate = 16;
constexpr size_t kBusBuffersSize = 24, kBusSilence = 8, kBusChannels = 16;
#endif
#if UINTPTR_MAX > 0xFFFFFFFFu
constexpr size_t kDataSize = 80, kDataInputs = 24, kDataOutputs = 32, kDataChanges = 40, kDataContext = 72;
#else
constexpr size_t kDataSize = 48, kDataInputs = 20, kDataOutputs = 24, kDataChanges = 28, kDataContext = 44;
#endif
}  // namespace layout

template <typename T>
void put(void* base, size_t offset, T value) {
  std::memcpy(static_cast<char*>(base) + offset, &value, sizeof value);
}
template <typename T>
T get(const void* base, size_t offset) {
  T value;
  std::memcpy(&value, static_cast<const char*>(base) + offset, sizeof value);
  return value;
}

/// An interface pointer of the plug-in's, called by slot.
struct Ref {
  void* p = nullptr;
  template <typename R, typename... A>
  R call(int index, A... args) const {
    using Fn = R(HOST_API*)(void*, A...);
    void** table = *static_cast<void***>(p);
    return reinterpret_cast<Fn>(table[index])(p, args...);
  }
  uint32_t addRef() const { return call<uint32_t>(slot::addRef); }
  uint32_t release() const { return call<uint32_t>(slot::release); }
  int32_t query(const Iid& iid, Ref& out) const { return call<int32_t>(slot::queryInterface, iid.data(), &out.p); }
  explicit operator bool() const { return p != nullptr; }
};

/// The host's objects: a table of functions whose first argument is the
/// object, then the object's data.
template <typename Self>
struct HostObject {
  const void* const* table;
  std::atomic<uint32_t> references{1};
  explicit HostObject(const void* const* t) : table(t) {}
  static int32_t HOST_API queryInterface(void* self, const char*, void** obj) {
    *obj = self;
    static_cast<Self*>(self)->references++;
    return kOk;
  }
  static uint32_t HOST_API addRef(void* self) { return ++static_cast<Self*>(self)->references; }
  static uint32_t HOST_API release(void* self) { return --static_cast<Self*>(self)->references; }
};

/// An IBStream over memory that hands out at most `chunk` bytes per read.
struct MemoryStream : HostObject<MemoryStream> {
  std::vector<unsigned char> bytes;
  size_t position = 0;
  int32_t chunk = 1 << 30;

  MemoryStream() : HostObject(kTable) {}
  explicit MemoryStream(std::vector<unsigned char> b, int32_t c = 1 << 30)
      : HostObject(kTable), bytes(std::move(b)), chunk(c) {}

  static int32_t HOST_API read(void* self, void* buffer, int32_t n, int32_t* got) {
    auto* s = static_cast<MemoryStream*>(self);
    int32_t k = std::min<int32_t>({n, s->chunk, static_cast<int32_t>(s->bytes.size() - s->position)});
    if (k < 0) k = 0;
    if (k > 0) std::memcpy(buffer, s->bytes.data() + s->position, static_cast<size_t>(k));
    s->position += static_cast<size_t>(k);
    if (got) *got = k;
    return kOk;
  }
  static int32_t HOST_API write(void* self, void* buffer, int32_t n, int32_t* wrote) {
    auto* s = static_cast<MemoryStream*>(self);
    const auto* from = static_cast<const unsigned char*>(buffer);
    s->bytes.resize(std::max(s->bytes.size(), s->position + static_cast<size_t>(n)));
    if (n > 0) std::memcpy(s->bytes.data() + s->position, from, static_cast<size_t>(n));
    s->position += static_cast<size_t>(n);
    if (wrote) *wrote = n;
    return kOk;
  }
  static int32_t HOST_API seek(void* self, int64_t pos, int32_t mode, int64_t* result) {
    auto* s = static_cast<MemoryStream*>(self);
    const int64_t base = mode == 0   ? 0
                         : mode == 1 ? static_cast<int64_t>(s->position)
                                     : static_cast<int64_t>(s->bytes.size());
    if (base + pos < 0) return kInvalidArgument;
    s->position = static_cast<size_t>(base + pos);
    if (result) *result = base + pos;
    return kOk;
  }
  static int32_t HOST_API tell(void* self, int64_t* pos) {
    if (pos) *pos = static_cast<int64_t>(static_cast<MemoryStream*>(self)->position);
    return kOk;
  }
  static inline const void* const kTable[] = {reinterpret_cast<const void*>(&queryInterface),
                                              reinterpret_cast<const void*>(&addRef),
                                              reinterpret_cast<const void*>(&release),
                                              reinterpret_cast<const void*>(&read),
                                              reinterpret_cast<const void*>(&write),
                                              reinterpret_cast<const void*>(&seek),
                                              reinterpret_cast<const void*>(&tell)};
};

struct Point {
  int32_t offset;
  double value;
};

/// One parameter's points in a block (IParamValueQueue).
struct ParamQueue : HostObject<ParamQueue> {
  uint32_t id = 0;
  std::vector<Point> points;
  ParamQueue() : HostObject(kTable) {}
  static uint32_t HOST_API getParameterId(void* self) { return static_cast<ParamQueue*>(self)->id; }
  static int32_t HOST_API getPointCount(void* self) {
    return static_cast<int32_t>(static_cast<ParamQueue*>(self)->points.size());
  }
  static int32_t HOST_API getPoint(void* self, int32_t index, int32_t* offset, double* value) {
    auto* q = static_cast<ParamQueue*>(self);
    if (index < 0 || index >= static_cast<int32_t>(q->points.size())) return kInvalidArgument;
    *offset = q->points[static_cast<size_t>(index)].offset;
    *value = q->points[static_cast<size_t>(index)].value;
    return kOk;
  }
  static int32_t HOST_API addPoint(void*, int32_t, double, int32_t*) { return kFalse; }
  static inline const void* const kTable[] = {
      reinterpret_cast<const void*>(&queryInterface), reinterpret_cast<const void*>(&addRef),
      reinterpret_cast<const void*>(&release),        reinterpret_cast<const void*>(&getParameterId),
      reinterpret_cast<const void*>(&getPointCount),  reinterpret_cast<const void*>(&getPoint),
      reinterpret_cast<const void*>(&addPoint)};
};

/// A block's parameter changes (IParameterChanges).
struct ParameterChanges : HostObject<ParameterChanges> {
  std::deque<ParamQueue> queues;  // never moved: the plug-in holds their addresses during a call
  ParameterChanges() : HostObject(kTable) {}
  void add(uint32_t id, std::vector<Point> points) {
    queues.emplace_back();
    queues.back().id = id;
    queues.back().points = std::move(points);
  }
  static int32_t HOST_API getParameterCount(void* self) {
    return static_cast<int32_t>(static_cast<ParameterChanges*>(self)->queues.size());
  }
  static void* HOST_API getParameterData(void* self, int32_t index) {
    auto* c = static_cast<ParameterChanges*>(self);
    return index >= 0 && index < static_cast<int32_t>(c->queues.size()) ? &c->queues[static_cast<size_t>(index)]
                                                                        : nullptr;
  }
  static void* HOST_API addParameterData(void*, const uint32_t*, int32_t*) { return nullptr; }
  static inline const void* const kTable[] = {
      reinterpret_cast<const void*>(&queryInterface),   reinterpret_cast<const void*>(&addRef),
      reinterpret_cast<const void*>(&release),          reinterpret_cast<const void*>(&getParameterCount),
      reinterpret_cast<const void*>(&getParameterData), reinterpret_cast<const void*>(&addParameterData)};
};

/// The module: loaded from the bundle's folder for this system, as hosts find it.
class Module {
public:
  explicit Module(const std::string& bundle) {
#ifdef _WIN32
#ifdef _WIN64
    path = bundle + "\\Contents\\x86_64-win\\TriBandDistortion.vst3";
#else
    path = bundle + "\\Contents\\x86-win\\TriBandDistortion.vst3";
#endif
    handle = LoadLibraryA(path.c_str());
#else
#if defined(__x86_64__)
    path = bundle + "/Contents/x86_64-linux/TriBandDistortion.so";
#elif defined(__i386__)
    path = bundle + "/Contents/i686-linux/TriBandDistortion.so";  // uname -m on 32-bit x86 Linux
#elif defined(__aarch64__)
    path = bundle + "/Contents/aarch64-linux/TriBandDistortion.so";
#endif
    handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle) {
      auto entry = reinterpret_cast<bool (*)(void*)>(symbol("ModuleEntry"));
      entered = entry && entry(handle);
    }
#endif
  }
  ~Module() {
#ifdef _WIN32
    if (handle) FreeLibrary(handle);
#else
    if (handle) {
      if (auto exit = reinterpret_cast<bool (*)()>(symbol("ModuleExit"))) exit();
      dlclose(handle);
    }
#endif
  }
  Module(const Module&) = delete;
  Module& operator=(const Module&) = delete;

  void* symbol(const char* name) const {
#ifdef _WIN32
    return reinterpret_cast<void*>(GetProcAddress(handle, name));
#else
    return dlsym(handle, name);
#endif
  }
  bool loaded() const { return handle != nullptr; }
  bool entryAccepted() const { return entered; }
  Ref factory() const {
    auto get = reinterpret_cast<void*(HOST_API*)()>(symbol("GetPluginFactory"));
    return Ref{get ? get() : nullptr};
  }
  std::string path;

private:
#ifdef _WIN32
  HMODULE handle = nullptr;
  bool entered = true;
#else
  void* handle = nullptr;
  bool entered = false;
#endif
};

/// One instance with its three interfaces, driven as a host does.
class Instance {
public:
  Instance(const Module& module, const Iid& classId) {
    Ref f = module.factory();
    created = f.call<int32_t>(slot::createInstance, classId.data(), kIComponent.data(), &component.p);
    if (component) {
      component.query(kIAudioProcessor, processor);
      component.query(kIEditController, controller);
    }
  }
  ~Instance() {
    if (controller) controller.release();
    if (processor) processor.release();
    if (component) component.release();
  }
  Instance(const Instance&) = delete;
  Instance& operator=(const Instance&) = delete;

  /// Ardour's order: initialize as component and again as controller, then set up and start.
  void start(double rate = 44100.0, int32_t maxBlock = 8192) {
    component.call<int32_t>(slot::initialize, nullptr);
    controller.call<int32_t>(slot::initialize, nullptr);
    setup(rate, maxBlock);
    component.call<int32_t>(slot::setActive, uint8_t{1});
    processor.call<int32_t>(slot::setProcessing, uint8_t{1});
  }
  void stop() {
    processor.call<int32_t>(slot::setProcessing, uint8_t{0});
    component.call<int32_t>(slot::setActive, uint8_t{0});
    component.call<int32_t>(slot::terminate);
    controller.call<int32_t>(slot::terminate);
  }
  int32_t setup(double rate, int32_t maxBlock, int32_t sampleSize = 0) {
    alignas(8) unsigned char bytes[layout::kSetupSize] = {};
    put<int32_t>(bytes, 0, 0);
    put<int32_t>(bytes, 4, sampleSize);
    put<int32_t>(bytes, 8, maxBlock);
    put<double>(bytes, layout::kSetupRate, rate);
    return processor.call<int32_t>(slot::setupProcessing, static_cast<void*>(bytes));
  }

  /// One process call over two channels in and out (in place when the
  /// pointers are the same); returns the result and leaves the output
  /// bus's silence flags in `silence`.
  int32_t process(float* inL, float* inR, float* outL, float* outR, int32_t frames, ParameterChanges* changes = nullptr,
                  int32_t buses = 1) {
    float* in[2] = {inL, inR};
    float* out[2] = {outL, outR};
    alignas(8) unsigned char inBus[layout::kBusBuffersSize] = {};
    alignas(8) unsigned char outBus[layout::kBusBuffersSize] = {};
    put<int32_t>(inBus, 0, 2);
    put<float**>(inBus, layout::kBusChannels, in);
    put<int32_t>(outBus, 0, 2);
    put<uint64_t>(outBus, layout::kBusSilence, ~uint64_t{0});
    put<float**>(outBus, layout::kBusChannels, out);
    alignas(8) unsigned char data[layout::kDataSize] = {};
    put<int32_t>(data, 0, 0);
    put<int32_t>(data, 4, 0);
    put<int32_t>(data, 8, frames);
    put<int32_t>(data, 12, buses);
    put<int32_t>(data, 16, buses);
    put<void*>(data, layout::kDataInputs, buses ? inBus : nullptr);
    put<void*>(data, layout::kDataOutputs, buses ? outBus : nullptr);
    put<void*>(data, layout::kDataChanges, changes);
    const int32_t result = processor.call<int32_t>(slot::process, static_cast<void*>(data));
    silence = get<uint64_t>(outBus, layout::kBusSilence);
    return result;
  }

  int32_t setParameter(uint32_t id, double value) {
    return controller.call<int32_t>(slot::setParamNormalized, id, value);
  }
  double parameter(uint32_t id) const { return controller.call<double>(slot::getParamNormalized, id); }
  std::vector<unsigned char> state() const {
    MemoryStream s;
    stateResult = component.call<int32_t>(slot::getState, static_cast<void*>(&s));
    return s.bytes;
  }
  int32_t restore(std::vector<unsigned char> bytes, int32_t chunk = 1 << 30) {
    MemoryStream s(std::move(bytes), chunk);
    return component.call<int32_t>(slot::setState, static_cast<void*>(&s));
  }
  int32_t restoreController(std::vector<unsigned char> bytes, int32_t chunk = 1 << 30) {
    MemoryStream s(std::move(bytes), chunk);
    return controller.call<int32_t>(slot::setComponentState, static_cast<void*>(&s));
  }

  int32_t created = kFalse;
  Ref component, processor, controller;
  uint64_t silence = 0;
  mutable int32_t stateResult = kFalse;
};

// The class ID's words spell "TriBandDistort01"; Windows keeps the first three in GUID order.
#ifdef _WIN32
inline const Iid kClassId{"426972546E6144646973746F72743031"};
#else
inline const Iid kClassId{"54726942616E64446973746F72743031"};
#endif

inline std::string utf8(const char16_t* text, size_t limit = 128) {
  std::string s;
  for (size_t i = 0; i < limit && text[i]; ++i) s += static_cast<char>(text[i] < 0x80 ? text[i] : '?');
  return s;
}

}  // namespace vst3host
