// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

#include "ClapAbi.h"
#include "ClapParameters.h"
#include "EditionProcessor.h"

/// The CLAP parameters as the processing side applies them (no bypass yet:
/// hosts bypass a CLAP effect themselves).
struct ClapRules {
  static constexpr int32_t kCount = clapparams::kCount;
  static bool isValid(uint32_t id) { return clapparams::isValid(id); }
  static double defaultValue(uint32_t id) { return clapparams::defaultValue(id); }
  static float engineValue(uint32_t id, double value) { return clapparams::engineValue(id, value); }
};

/// One instance of the CLAP edition: the clap_plugin a host holds, with the
/// extensions an effect offers (audio ports, parameters, state, latency).
/// Parameter events are applied at their frames by cutting the block there,
/// so a change at frame k sounds from frame k; a block without events is one
/// engine call, the record edition's output bit for bit.
///
/// Threads as the interface gives them: the main thread creates, activates,
/// reads parameters and saves and loads state; the audio thread processes
/// (and flushes while active). Values are atomics and a loaded state reaches
/// the engine whole at the next block, so loading while the host plays is
/// safe and takes no lock on the audio thread.
class ClapEffect {
public:
  static const clap_plugin_descriptor_t kDescriptor;

  explicit ClapEffect(const clap_host_t* host);
  const clap_plugin_t* plugin() const { return &clapPlugin; }

private:
  static ClapEffect& of(const clap_plugin_t* p) { return *static_cast<ClapEffect*>(p->plugin_data); }

  // The instance.
  static bool CLAP_ABI init(const clap_plugin_t* p);
  static void CLAP_ABI destroy(const clap_plugin_t* p);
  static bool CLAP_ABI activate(const clap_plugin_t* p, double rate, uint32_t minFrames, uint32_t maxFrames);
  static void CLAP_ABI deactivate(const clap_plugin_t* p);
  static bool CLAP_ABI startProcessing(const clap_plugin_t* p);
  static void CLAP_ABI stopProcessing(const clap_plugin_t* p);
  static void CLAP_ABI reset(const clap_plugin_t* p);
  static clap_process_status CLAP_ABI process(const clap_plugin_t* p, const clap_process_t* process);
  static const void* CLAP_ABI extension(const clap_plugin_t* p, const char* id);
  static void CLAP_ABI onMainThread(const clap_plugin_t*) {}

  // Audio ports.
  static uint32_t CLAP_ABI portCount(const clap_plugin_t* p, bool isInput);
  static bool CLAP_ABI portInfo(const clap_plugin_t* p, uint32_t index, bool isInput, clap_audio_port_info_t* info);
  // Parameters.
  static uint32_t CLAP_ABI paramCount(const clap_plugin_t*) { return clapparams::kCount; }
  static bool CLAP_ABI paramInfo(const clap_plugin_t* p, uint32_t index, clap_param_info_t* info);
  static bool CLAP_ABI paramValue(const clap_plugin_t* p, clap_id id, double* value);
  static bool CLAP_ABI valueToText(const clap_plugin_t* p, clap_id id, double value, char* out, uint32_t capacity);
  static bool CLAP_ABI textToValue(const clap_plugin_t* p, clap_id id, const char* text, double* value);
  static void CLAP_ABI flush(const clap_plugin_t* p, const clap_input_events_t* in, const clap_output_events_t* out);
  // State and latency.
  static bool CLAP_ABI save(const clap_plugin_t* p, const clap_ostream_t* stream);
  static bool CLAP_ABI load(const clap_plugin_t* p, const clap_istream_t* stream);
  static uint32_t CLAP_ABI latency(const clap_plugin_t*) { return 0; }

  static const clap_plugin_audio_ports_t kAudioPorts;
  static const clap_plugin_params_t kParams;
  static const clap_plugin_state_t kState;
  static const clap_plugin_latency_t kLatency;

  /// Applies the parameter events at or before frame `until` (all of them
  /// for UINT32_MAX), from event `next` on; returns the next event's index.
  uint32_t applyEvents(const clap_input_events_t* events, uint32_t next, uint32_t until) noexcept;

  clap_plugin_t clapPlugin;
  const clap_host_t* host;
  const clap_host_params_t* hostParams = nullptr;  // what init found, if the host offers it
  EditionProcessor<ClapRules> processing;
};
