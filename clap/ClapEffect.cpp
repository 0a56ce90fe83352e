// SPDX-License-Identifier: GPL-3.0-or-later
#include "ClapEffect.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>

#include "SavedValues.h"

namespace {

constexpr const char* kFeatures[] = {"audio-effect", "distortion", "stereo", nullptr};
constexpr const char* kPortNames[2] = {"Stereo Out", "Stereo In"};  // by is_input
constexpr uint32_t kStereoChannels = 2;
constexpr saved::Format kStateFormat{{'T', 'B', 'D', 'C'}, 1};

using Values = std::array<double, clapparams::kCount>;

int64_t toStream(void* to, const void* bytes, int64_t count) {
  auto* stream = static_cast<const clap_ostream_t*>(to);
  return stream->write(stream, bytes, static_cast<uint64_t>(count));
}

int64_t fromStream(void* from, void* bytes, int64_t count) {
  auto* stream = static_cast<const clap_istream_t*>(from);
  return stream->read(stream, bytes, static_cast<uint64_t>(count));
}

}  // namespace

const clap_plugin_descriptor_t ClapEffect::kDescriptor = {
    CLAP_VERSION,
    "org.example.tribanddistortion",
    "TriBandDistortion",
    "The TriBandDistortion developers",
    "",
    "",
    "",
    TRIBAND_VERSION,
    "Three-band stereo distortion: each band through its own curve, mixed back at its own gain",
    kFeatures};

const clap_plugin_audio_ports_t ClapEffect::kAudioPorts = {portCount, portInfo};
const clap_plugin_params_t ClapEffect::kParams = {paramCount, paramInfo, paramValue, valueToText, textToValue, flush};
const clap_plugin_state_t ClapEffect::kState = {save, load};
const clap_plugin_latency_t ClapEffect::kLatency = {latency};

ClapEffect::ClapEffect(const clap_host_t* h)
    : clapPlugin{&kDescriptor,    this,           init,  destroy, activate,  deactivate,
                 startProcessing, stopProcessing, reset, process, extension, onMainThread},
      host(h) {}

bool ClapEffect::init(const clap_plugin_t* p) {
  ClapEffect& e = of(p);
  if (e.host && e.host->get_extension)
    e.hostParams = static_cast<const clap_host_params_t*>(e.host->get_extension(e.host, CLAP_EXT_PARAMS));
  return true;
}

void ClapEffect::destroy(const clap_plugin_t* p) { delete &of(p); }

bool ClapEffect::activate(const clap_plugin_t* p, double rate, uint32_t, uint32_t maxFrames) {
  if (!(rate > 0.0) || maxFrames == 0) return false;
  ClapEffect& e = of(p);
  e.processing.setup(rate, static_cast<int32_t>(std::min<uint32_t>(maxFrames, INT32_MAX)));
  e.processing.restart();
  return true;
}

void ClapEffect::deactivate(const clap_plugin_t*) {}
bool ClapEffect::startProcessing(const clap_plugin_t*) { return true; }
void ClapEffect::stopProcessing(const clap_plugin_t*) {}

// A fresh engine with the values kept; allocates nothing.
void ClapEffect::reset(const clap_plugin_t* p) { of(p).processing.restart(); }

uint32_t ClapEffect::applyEvents(const clap_input_events_t* events, uint32_t next, uint32_t until) noexcept {
  if (!events || !events->size || !events->get) return next;
  const uint32_t count = events->size(events);
  for (; next < count; ++next) {
    const clap_event_header_t* h = events->get(events, next);
    if (!h) continue;
    if (h->time > until) break;
    // Only parameter values of the core space mean anything to an effect.
    if (h->space_id != CLAP_CORE_EVENT_SPACE_ID || h->type != CLAP_EVENT_PARAM_VALUE ||
        h->size < sizeof(clap_event_param_value_t))
      continue;
    const auto* v = reinterpret_cast<const clap_event_param_value_t*>(h);
    if (clapparams::isValid(v->param_id)) processing.apply(v->param_id, clapparams::held(v->param_id, v->value));
  }
  return next;
}

clap_process_status ClapEffect::process(const clap_plugin_t* p, const clap_process_t* process) {
  if (!process) return CLAP_PROCESS_ERROR;
  ClapEffect& e = of(p);
  e.processing.takeRestored();
  const uint32_t frames = process->frames_count;
  const clap_audio_buffer_t* inBus = process->audio_inputs_count > 0 ? process->audio_inputs : nullptr;
  clap_audio_buffer_t* outBus = process->audio_outputs_count > 0 ? process->audio_outputs : nullptr;
  float* const* in = inBus && inBus->channel_count >= kStereoChannels ? inBus->data32 : nullptr;
  float* const* out = outBus && outBus->channel_count >= kStereoChannels ? outBus->data32 : nullptr;
  const bool audio = frames > 0 && frames <= INT32_MAX && in && out && in[0] && in[1] && out[0] && out[1];

  // Cut the block at each event's frame: the events before it apply first.
  uint32_t start = 0, next = 0;
  const clap_input_events_t* events = process->in_events;
  const uint32_t count = events && events->size ? events->size(events) : 0;
  while (start < frames) {
    next = e.applyEvents(events, next, start);
    uint32_t end = frames;
    for (uint32_t i = next; i < count; ++i)
      if (const clap_event_header_t* h = events->get(events, i)) {
        end = std::min(end, std::max(h->time, start + 1));
        break;
      }
    if (audio) e.processing.render(in, out, static_cast<int32_t>(start), static_cast<int32_t>(end - start));
    start = end;
  }
  e.applyEvents(events, next, UINT32_MAX);

  // Outputs it could not fill (another bus shape, no input) are silence, never what the buffer held.
  if (outBus && outBus->data32 && !audio)
    for (uint32_t c = 0; c < outBus->channel_count; ++c)
      if (float* channel = outBus->data32[c]) std::fill(channel, channel + frames, 0.0f);
  if (outBus) outBus->constant_mask = 0;
  return CLAP_PROCESS_CONTINUE;
}

const void* ClapEffect::extension(const clap_plugin_t*, const char* id) {
  if (!id) return nullptr;
  if (!std::strcmp(id, CLAP_EXT_AUDIO_PORTS)) return &kAudioPorts;
  if (!std::strcmp(id, CLAP_EXT_PARAMS)) return &kParams;
  if (!std::strcmp(id, CLAP_EXT_STATE)) return &kState;
  if (!std::strcmp(id, CLAP_EXT_LATENCY)) return &kLatency;
  return nullptr;
}

uint32_t ClapEffect::portCount(const clap_plugin_t*, bool) { return 1; }

bool ClapEffect::portInfo(const clap_plugin_t*, uint32_t index, bool isInput, clap_audio_port_info_t* info) {
  if (index != 0 || !info) return false;
  std::memset(info, 0, sizeof *info);
  info->id = 0;
  std::strcpy(info->name, kPortNames[isInput]);
  info->flags = CLAP_AUDIO_PORT_IS_MAIN;
  info->channel_count = kStereoChannels;
  info->port_type = CLAP_PORT_STEREO;
  info->in_place_pair = 0;  // each frame is read before it is written
  return true;
}

bool ClapEffect::paramInfo(const clap_plugin_t*, uint32_t index, clap_param_info_t* info) {
  return info && clapparams::describe(index, *info);
}

bool ClapEffect::paramValue(const clap_plugin_t* p, clap_id id, double* value) {
  if (!value || !clapparams::isValid(id)) return false;
  *value = of(p).processing.value(id);
  return true;
}

bool ClapEffect::valueToText(const clap_plugin_t*, clap_id id, double value, char* out, uint32_t capacity) {
  if (!out || capacity == 0 || !clapparams::isValid(id)) return false;
  clapparams::text(id, value, out, capacity);
  return true;
}

bool ClapEffect::textToValue(const clap_plugin_t*, clap_id id, const char* text, double* value) {
  return text && value && clapparams::fromText(id, text, *value);
}

// Never at the same time as process: a loaded state waiting for the next
// block is taken first, so the values flushed after it win.
void ClapEffect::flush(const clap_plugin_t* p, const clap_input_events_t* in, const clap_output_events_t*) {
  ClapEffect& e = of(p);
  e.processing.takeRestored();
  e.applyEvents(in, 0, UINT32_MAX);
}

bool ClapEffect::save(const clap_plugin_t* p, const clap_ostream_t* stream) {
  if (!stream || !stream->write) return false;
  const Values values = of(p).processing.values();
  return saved::write(kStateFormat, values.data(), clapparams::kCount, toStream, const_cast<clap_ostream_t*>(stream));
}

// The values reach the engine at the next block; the host is then told to
// read them again.
bool ClapEffect::load(const clap_plugin_t* p, const clap_istream_t* stream) {
  if (!stream || !stream->read) return false;
  ClapEffect& e = of(p);
  Values defaults, loaded;
  for (int32_t i = 0; i < clapparams::kCount; ++i) defaults[static_cast<size_t>(i)] = clapparams::defaultValue(i);
  if (!saved::read(kStateFormat, loaded.data(), clapparams::kCount, defaults.data(), fromStream,
                   const_cast<clap_istream_t*>(stream)))
    return false;
  for (int32_t i = 0; i < clapparams::kCount; ++i)
    loaded[static_cast<size_t>(i)] = clapparams::held(static_cast<clap_id>(i), loaded[static_cast<size_t>(i)]);
  e.processing.restore(loaded);
  if (e.hostParams && e.hostParams->rescan) e.hostParams->rescan(e.host, CLAP_PARAM_RESCAN_VALUES);
  return true;
}
