// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "ClapAbi.h"
#include "ClapLists.h"
#include "PluginHost.h"

/// A CLAP plug-in, its first plug-in created and driven as the interface's
/// hosts do: loaded with every symbol resolved, initialised, its ports and
/// parameters read while inactive, values sent by flush while inactive and
/// as events at frame 0 of the next block while processing. This tool is
/// single-threaded: the main thread processes too, never at the same time
/// as anything else, which the interface allows.
///
/// A CLAP value lies in its parameter's [min, max]; the tool speaks of
/// normalised values 0..1, as for the record interface: plain = min + v *
/// (max - min), and for a stepped parameter with n steps the step
/// floor(v * (n + 1)) (so n + 1 equal shares, as a record's selectors).
class ClapPlugin final : public LoadedPlugin {
public:
  /// Whether the file exports clap_entry.
  static bool isClap(const std::string& path);

  explicit ClapPlugin(const std::string& path);
  ~ClapPlugin() override;

  const char* interfaceName() const override { return "CLAP"; }
  std::string identifier() const override { return descriptor->id; }
  std::string fullIdentifier() const override { return descriptor->id; }
  bool isOurEffect() const override;
  std::vector<std::pair<std::string, std::string>> details() const override;

  int32_t parameterCount() const override { return static_cast<int32_t>(infos.size()); }
  int32_t inputCount() const override { return static_cast<int32_t>(inputChannels); }
  int32_t outputCount() const override { return static_cast<int32_t>(outputChannels); }
  std::string parameterName(int32_t index) override;
  std::string parameterDisplay(int32_t index) override;
  std::string parameterLabel(int32_t) override { return ""; }  // a CLAP text carries its unit
  float parameter(int32_t index) override;
  void setParameter(int32_t index, float value) override;

  void start(double rate, int32_t blockFrames) override;
  void stop() override;
  /// The two halves of start and stop, for a host that processes on a
  /// thread of its own: activate and deactivate on the main thread, the
  /// processing calls on the audio thread.
  void activate(double rate, int32_t blockFrames);
  void startProcessing();
  void stopProcessing();
  void deactivate();
  void processReplacing(float** inputs, float** outputs, int32_t frames) override;

  /// The plug-in itself, its module and extensions, for checks.
  const clap_plugin_entry_t* entryPoint() const { return entry; }
  const clap_plugin_factory_t* pluginFactory() const { return factory; }
  const clap_plugin_descriptor_t* pluginDescriptor() const { return descriptor; }
  const clap_plugin_t* instance() const { return plugin; }
  const clap_plugin_params_t* paramsExtension() const { return params; }
  const clap_plugin_state_t* stateExtension() const { return state; }
  const clap_param_info_t& info(int32_t index) const { return infos[static_cast<size_t>(index)]; }
  double plainOf(int32_t index, float normalised) const;
  /// Host functions the plug-in called from a thread the interface does not
  /// allow for them (the first one's name), and how often it asked for values
  /// to be read again.
  int wrongThreadCalls() const { return wrongThreadCount.load(); }
  const char* firstWrongThreadCall() const { return firstWrongThread.load(); }
  int valueRescans() const { return valueRescanCount.load(); }

private:
  static ClapPlugin& of(const clap_host_t* h) { return *static_cast<ClapPlugin*>(h->host_data); }
  static const void* CLAP_ABI hostExtension(const clap_host_t* h, const char* id);
  static void CLAP_ABI requestRestart(const clap_host_t*) {}
  static void CLAP_ABI requestProcess(const clap_host_t*) {}
  static void CLAP_ABI requestCallback(const clap_host_t* h);
  static bool CLAP_ABI dropEvent(const clap_output_events_t*, const clap_event_header_t*) { return true; }
  // The host's extensions; each notes a call from a thread it is not for.
  static void CLAP_ABI rescan(const clap_host_t* h, uint32_t flags);
  static void CLAP_ABI clear(const clap_host_t* h, clap_id, uint32_t) { of(h).onMainThreadOnly("params.clear"); }
  static void CLAP_ABI requestFlush(const clap_host_t* h);
  static void CLAP_ABI markDirty(const clap_host_t* h) { of(h).onMainThreadOnly("state.mark_dirty"); }
  static void CLAP_ABI latencyChanged(const clap_host_t* h);
  static bool CLAP_ABI isMainThread(const clap_host_t* h) { return std::this_thread::get_id() == of(h).mainThread; }
  static bool CLAP_ABI isAudioThread(const clap_host_t* h);
  void onMainThreadOnly(const char* call);
  void wrongThread(const char* call);
  void serviceCallbacks();
  void flushPending();

  void* library = nullptr;
  const clap_plugin_entry_t* entry = nullptr;
  const clap_plugin_descriptor_t* descriptor = nullptr;
  const clap_plugin_t* plugin = nullptr;
  const clap_plugin_params_t* params = nullptr;
  const clap_plugin_state_t* state = nullptr;
  const clap_plugin_audio_ports_t* ports = nullptr;
  std::vector<clap_param_info_t> infos;
  uint32_t inputChannels = 0, outputChannels = 0;
  bool active = false;
  int64_t steadyTime = 0;
  claplists::ParamEvents pending;  // values waiting for the next block (or a flush)
  std::atomic<bool> callbackRequested{false};
  const std::thread::id mainThread = std::this_thread::get_id();
  std::atomic<std::thread::id> audioThread{};
  std::atomic<bool> processing{false}, activating{false};
  std::atomic<int> wrongThreadCount{0}, valueRescanCount{0};
  std::atomic<const char*> firstWrongThread{nullptr};
  const clap_plugin_factory_t* factory = nullptr;
  const clap_host_params_t hostParams{rescan, clear, requestFlush};
  const clap_host_state_t hostState{markDirty};
  const clap_host_latency_t hostLatency{latencyChanged};
  const clap_host_thread_check_t hostThreadCheck{isMainThread, isAudioThread};
  clap_host_t host{CLAP_VERSION,
                   this,
                   "tribandist",
                   "The TriBandDistortion developers",
                   "",
                   TRIBAND_VERSION,
                   hostExtension,
                   requestRestart,
                   requestProcess,
                   requestCallback};
  clap_output_events_t discard{this, dropEvent};
};
