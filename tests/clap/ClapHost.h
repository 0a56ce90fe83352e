// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A small CLAP host for the tests: loads a .clap file, creates its plug-in,
// and drives it as a host does, with event lists and streams of its own.

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <vector>

#include "ClapAbi.h"
#include "ClapLists.h"

namespace claphost {

using Events = claplists::ParamEvents;
using Stream = claplists::MemoryStream;

/// The host a plug-in sees: it offers the parameters extension and counts
/// the rescans asked of it.
struct Host {
  std::atomic<int> valueRescans{0};
  clap_host_params_t params{rescan, clear, requestFlush};
  clap_host_t host{CLAP_VERSION, this, "tests", "TriBandDistortion", "", "1", extension, request, request, request};

  static const void* CLAP_ABI extension(const clap_host_t* h, const char* id) {
    return std::strcmp(id, CLAP_EXT_PARAMS) == 0 ? &static_cast<Host*>(h->host_data)->params : nullptr;
  }
  static void CLAP_ABI request(const clap_host_t*) {}
  static void CLAP_ABI rescan(const clap_host_t* h, uint32_t flags) {
    if (flags & CLAP_PARAM_RESCAN_VALUES) ++static_cast<Host*>(h->host_data)->valueRescans;
  }
  static void CLAP_ABI clear(const clap_host_t*, clap_id, uint32_t) {}
  static void CLAP_ABI requestFlush(const clap_host_t*) {}
};

class Module {
public:
  explicit Module(const std::string& path) {
#ifdef _WIN32
    handle = LoadLibraryA(path.c_str());
    if (handle)
      entry =
          reinterpret_cast<const clap_plugin_entry_t*>(reinterpret_cast<void*>(GetProcAddress(handle, "clap_entry")));
#else
    handle = dlopen(path.c_str(), RTLD_LOCAL | RTLD_NOW);
    if (handle) entry = static_cast<const clap_plugin_entry_t*>(dlsym(handle, "clap_entry"));
#endif
    if (entry && entry->init(path.c_str()))
      factory = static_cast<const clap_plugin_factory_t*>(entry->get_factory(CLAP_PLUGIN_FACTORY_ID));
  }
  ~Module() {
    if (factory) entry->deinit();
#ifdef _WIN32
    if (handle) FreeLibrary(handle);
#else
    if (handle) dlclose(handle);
#endif
  }
  Module(const Module&) = delete;
  Module& operator=(const Module&) = delete;
#ifdef _WIN32
  HMODULE handle = nullptr;
#else
  void* handle = nullptr;
#endif
  const clap_plugin_entry_t* entry = nullptr;
  const clap_plugin_factory_t* factory = nullptr;
};

/// One instance, initialised, with its extensions.
class Instance {
public:
  Instance(const Module& module, Host& h) {
    plugin = module.factory->create_plugin(module.factory, &h.host, "org.example.tribanddistortion");
    if (!plugin || !plugin->init(plugin)) return;
    ports = static_cast<const clap_plugin_audio_ports_t*>(plugin->get_extension(plugin, CLAP_EXT_AUDIO_PORTS));
    params = static_cast<const clap_plugin_params_t*>(plugin->get_extension(plugin, CLAP_EXT_PARAMS));
    state = static_cast<const clap_plugin_state_t*>(plugin->get_extension(plugin, CLAP_EXT_STATE));
    latency = static_cast<const clap_plugin_latency_t*>(plugin->get_extension(plugin, CLAP_EXT_LATENCY));
  }
  ~Instance() {
    if (!plugin) return;
    if (active) stop();
    plugin->destroy(plugin);
  }
  Instance(const Instance&) = delete;
  Instance& operator=(const Instance&) = delete;

  void start(double rate = 44100.0, uint32_t maxFrames = 8192) {
    active = plugin->activate(plugin, rate, 1, maxFrames) && plugin->start_processing(plugin);
  }
  void stop() {
    plugin->stop_processing(plugin);
    plugin->deactivate(plugin);
    active = false;
  }

  /// One block over two channels in and out (in place when the pointers are
  /// the same).
  clap_process_status process(float* inL, float* inR, float* outL, float* outR, uint32_t frames,
                              const Events* events = nullptr) {
    float* in[2] = {inL, inR};
    float* out[2] = {outL, outR};
    clap_audio_buffer_t input{in, nullptr, 2, 0, 0};
    clap_audio_buffer_t output{out, nullptr, 2, 0, 0};
    Events none;
    clap_process_t p{steadyTime, frames, nullptr, &input, &output, 1, 1, (events ? events : &none)->list(), nullptr};
    steadyTime += frames;
    return plugin->process(plugin, &p);
  }

  double value(clap_id id) const {
    double v = -1.0;
    params->get_value(plugin, id, &v);
    return v;
  }
  std::vector<unsigned char> save(uint64_t chunk = UINT64_MAX) const {
    Stream s;
    s.chunk = chunk;
    return state->save(plugin, &s.out) ? s.bytes : std::vector<unsigned char>{};
  }
  bool load(std::vector<unsigned char> bytes, uint64_t chunk = UINT64_MAX) const {
    Stream s;
    s.bytes = std::move(bytes);
    s.chunk = chunk;
    return state->load(plugin, &s.in);
  }

  const clap_plugin_t* plugin = nullptr;
  const clap_plugin_audio_ports_t* ports = nullptr;
  const clap_plugin_params_t* params = nullptr;
  const clap_plugin_state_t* state = nullptr;
  const clap_plugin_latency_t* latency = nullptr;
  bool active = false;
  int64_t steadyTime = 0;
};

}  // namespace claphost
