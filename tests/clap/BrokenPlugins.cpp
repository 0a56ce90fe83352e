// SPDX-License-Identifier: GPL-3.0-or-later
// A small CLAP gain, built once per rule it breaks (BROKEN_KIND), for the
// checks of tribandist check to catch:
//   1  leaves the last sample of the right output unwritten
//   2  puts out NaN where its input is loud
//   3  accepts a state and forgets it
//   4  shows its gain in a text that does not read back

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "ClapAbi.h"

namespace {

constexpr const char* kId = "org.example.broken-gain";
constexpr const char* kFeatures[] = {"audio-effect", "stereo", nullptr};
const clap_plugin_descriptor_t kDescriptor = {CLAP_VERSION, kId, "Broken Gain", "", "", "", "", "1.0.0", "", kFeatures};

struct Gain {
  clap_plugin_t plugin;
  double gain = 0.5;
};

Gain& of(const clap_plugin_t* p) { return *static_cast<Gain*>(p->plugin_data); }

void apply(Gain& g, const clap_input_events_t* in) {
  for (uint32_t i = 0; in && i < in->size(in); ++i) {
    const clap_event_header_t* h = in->get(in, i);
    if (h && h->space_id == CLAP_CORE_EVENT_SPACE_ID && h->type == CLAP_EVENT_PARAM_VALUE)
      g.gain = reinterpret_cast<const clap_event_param_value_t*>(h)->value;
  }
}

clap_process_status CLAP_ABI process(const clap_plugin_t* p, const clap_process_t* pr) {
  Gain& g = of(p);
  apply(g, pr->in_events);
  for (uint32_t c = 0; c < 2; ++c) {
    const float* in = pr->audio_inputs[0].data32[c];
    float* out = pr->audio_outputs[0].data32[c];
    uint32_t n = pr->frames_count;
    if (BROKEN_KIND == 1 && c == 1) --n;
    for (uint32_t i = 0; i < n; ++i) {
      out[i] = static_cast<float>(g.gain) * in[i];
      if (BROKEN_KIND == 2 && std::fabs(in[i]) > 0.9f) out[i] = std::nanf("");
    }
  }
  return CLAP_PROCESS_CONTINUE;
}

uint32_t CLAP_ABI portCount(const clap_plugin_t*, bool) { return 1; }
bool CLAP_ABI portInfo(const clap_plugin_t*, uint32_t index, bool input, clap_audio_port_info_t* info) {
  if (index != 0) return false;
  std::memset(info, 0, sizeof *info);
  std::strcpy(info->name, input ? "In" : "Out");
  info->flags = CLAP_AUDIO_PORT_IS_MAIN;
  info->channel_count = 2;
  info->port_type = CLAP_PORT_STEREO;
  info->in_place_pair = CLAP_INVALID_ID;
  return true;
}
const clap_plugin_audio_ports_t kPorts = {portCount, portInfo};

uint32_t CLAP_ABI paramCount(const clap_plugin_t*) { return 1; }
bool CLAP_ABI paramInfo(const clap_plugin_t*, uint32_t index, clap_param_info_t* info) {
  if (index != 0) return false;
  std::memset(info, 0, sizeof *info);
  info->flags = CLAP_PARAM_IS_AUTOMATABLE;
  std::strcpy(info->name, "Gain");
  info->max_value = 1.0;
  info->default_value = 0.5;
  return true;
}
bool CLAP_ABI paramValue(const clap_plugin_t* p, clap_id id, double* v) {
  if (id != 0) return false;
  *v = of(p).gain;
  return true;
}
bool CLAP_ABI toText(const clap_plugin_t*, clap_id id, double v, char* out, uint32_t size) {
  if (id != 0) return false;
  std::snprintf(out, size, BROKEN_KIND == 4 ? "%.2f x" : "%.17g", v);
  return true;
}
bool CLAP_ABI fromText(const clap_plugin_t*, clap_id id, const char* text, double* v) {
  if (id != 0) return false;
  char* end = nullptr;
  *v = std::strtod(text, &end);
  return end != text && *end == '\0';
}
void CLAP_ABI flush(const clap_plugin_t* p, const clap_input_events_t* in, const clap_output_events_t*) {
  apply(of(p), in);
}
const clap_plugin_params_t kParams = {paramCount, paramInfo, paramValue, toText, fromText, flush};

bool CLAP_ABI save(const clap_plugin_t* p, const clap_ostream_t* s) {
  return s->write(s, &of(p).gain, sizeof(double)) == sizeof(double);
}
bool CLAP_ABI load(const clap_plugin_t* p, const clap_istream_t* s) {
  double v = 0.0;
  if (s->read(s, &v, sizeof v) != sizeof v || !(v >= 0.0 && v <= 1.0)) return false;
  if (BROKEN_KIND != 3) of(p).gain = v;
  return true;
}
const clap_plugin_state_t kState = {save, load};

bool CLAP_ABI init(const clap_plugin_t*) { return true; }
void CLAP_ABI destroy(const clap_plugin_t* p) { delete &of(p); }
bool CLAP_ABI activate(const clap_plugin_t*, double, uint32_t, uint32_t) { return true; }
void CLAP_ABI nothing(const clap_plugin_t*) {}
bool CLAP_ABI yes(const clap_plugin_t*) { return true; }
const void* CLAP_ABI extension(const clap_plugin_t*, const char* id) {
  if (!std::strcmp(id, CLAP_EXT_AUDIO_PORTS)) return &kPorts;
  if (!std::strcmp(id, CLAP_EXT_PARAMS)) return &kParams;
  if (!std::strcmp(id, CLAP_EXT_STATE)) return &kState;
  return nullptr;
}

uint32_t CLAP_ABI count(const clap_plugin_factory_t*) { return 1; }
const clap_plugin_descriptor_t* CLAP_ABI descriptor(const clap_plugin_factory_t*, uint32_t i) {
  return i == 0 ? &kDescriptor : nullptr;
}
const clap_plugin_t* CLAP_ABI create(const clap_plugin_factory_t*, const clap_host_t*, const char* id) {
  if (std::strcmp(id, kId) != 0) return nullptr;
  Gain* g = new (std::nothrow) Gain;
  if (!g) return nullptr;
  g->plugin = {&kDescriptor, g, init, destroy, activate, nothing, yes, nothing, nothing, process, extension, nothing};
  return &g->plugin;
}
const clap_plugin_factory_t kFactory = {count, descriptor, create};

bool CLAP_ABI entryInit(const char*) { return true; }
void CLAP_ABI entryDeinit() {}
const void* CLAP_ABI factory(const char* id) { return !std::strcmp(id, CLAP_PLUGIN_FACTORY_ID) ? &kFactory : nullptr; }

}  // namespace

extern "C" __attribute__((visibility("default")))
const clap_plugin_entry_t clap_entry = {CLAP_VERSION, entryInit, entryDeinit, factory};
