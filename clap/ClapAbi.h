// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The part of the CLAP binary interface (1.x; every struct here is the same
// from 1.1 to 1.2) that an audio effect and a host of effects meet, declared
// from its published layout: plain C structs of data and function pointers
// whose first argument is the object, with static assertions on the
// offsets hosts and plug-ins read.

#include <cstddef>
#include <cstdint>

#ifdef _WIN32
#define CLAP_ABI __cdecl
#else
#define CLAP_ABI
#endif

extern "C" {

typedef uint32_t clap_id;
static const clap_id CLAP_INVALID_ID = UINT32_MAX;
enum { CLAP_NAME_SIZE = 256, CLAP_PATH_SIZE = 1024 };

typedef struct clap_version {
  uint32_t major, minor, revision;
} clap_version_t;
static const clap_version_t CLAP_VERSION = {1, 2, 10};

typedef struct clap_plugin_entry {
  clap_version_t clap_version;
  bool(CLAP_ABI* init)(const char* plugin_path);
  void(CLAP_ABI* deinit)(void);
  const void*(CLAP_ABI* get_factory)(const char* factory_id);
} clap_plugin_entry_t;

typedef struct clap_plugin_descriptor {
  clap_version_t clap_version;
  const char* id;
  const char* name;
  const char* vendor;
  const char* url;
  const char* manual_url;
  const char* support_url;
  const char* version;
  const char* description;
  const char* const* features;
} clap_plugin_descriptor_t;

typedef struct clap_host {
  clap_version_t clap_version;
  void* host_data;
  const char* name;
  const char* vendor;
  const char* url;
  const char* version;
  const void*(CLAP_ABI* get_extension)(const struct clap_host* host, const char* extension_id);
  void(CLAP_ABI* request_restart)(const struct clap_host* host);
  void(CLAP_ABI* request_process)(const struct clap_host* host);
  void(CLAP_ABI* request_callback)(const struct clap_host* host);
} clap_host_t;

typedef struct clap_event_header {
  uint32_t size;
  uint32_t time;
  uint16_t space_id;
  uint16_t type;
  uint32_t flags;
} clap_event_header_t;
static const uint16_t CLAP_CORE_EVENT_SPACE_ID = 0;
enum { CLAP_EVENT_PARAM_VALUE = 5 };

typedef struct clap_event_param_value {
  clap_event_header_t header;
  clap_id param_id;
  void* cookie;
  int32_t note_id;
  int16_t port_index;
  int16_t channel;
  int16_t key;
  double value;
} clap_event_param_value_t;

typedef struct clap_input_events {
  void* ctx;
  uint32_t(CLAP_ABI* size)(const struct clap_input_events* list);
  const clap_event_header_t*(CLAP_ABI* get)(const struct clap_input_events* list, uint32_t index);
} clap_input_events_t;

typedef struct clap_output_events {
  void* ctx;
  bool(CLAP_ABI* try_push)(const struct clap_output_events* list, const clap_event_header_t* event);
} clap_output_events_t;

typedef struct clap_audio_buffer {
  float** data32;
  double** data64;
  uint32_t channel_count;
  uint32_t latency;
  uint64_t constant_mask;
} clap_audio_buffer_t;

typedef struct clap_process {
  int64_t steady_time;
  uint32_t frames_count;
  const void* transport;
  const clap_audio_buffer_t* audio_inputs;
  clap_audio_buffer_t* audio_outputs;
  uint32_t audio_inputs_count;
  uint32_t audio_outputs_count;
  const clap_input_events_t* in_events;
  const clap_output_events_t* out_events;
} clap_process_t;

typedef int32_t clap_process_status;
enum { CLAP_PROCESS_ERROR = 0, CLAP_PROCESS_CONTINUE = 1 };

typedef struct clap_plugin {
  const clap_plugin_descriptor_t* desc;
  void* plugin_data;
  bool(CLAP_ABI* init)(const struct clap_plugin* plugin);
  void(CLAP_ABI* destroy)(const struct clap_plugin* plugin);
  bool(CLAP_ABI* activate)(const struct clap_plugin* plugin, double sample_rate, uint32_t min_frames_count,
                           uint32_t max_frames_count);
  void(CLAP_ABI* deactivate)(const struct clap_plugin* plugin);
  bool(CLAP_ABI* start_processing)(const struct clap_plugin* plugin);
  void(CLAP_ABI* stop_processing)(const struct clap_plugin* plugin);
  void(CLAP_ABI* reset)(const struct clap_plugin* plugin);
  clap_process_status(CLAP_ABI* process)(const struct clap_plugin* plugin, const clap_process_t* process);
  const void*(CLAP_ABI* get_extension)(const struct clap_plugin* plugin, const char* id);
  void(CLAP_ABI* on_main_thread)(const struct clap_plugin* plugin);
} clap_plugin_t;

typedef struct clap_plugin_factory {
  uint32_t(CLAP_ABI* get_plugin_count)(const struct clap_plugin_factory* factory);
  const clap_plugin_descriptor_t*(CLAP_ABI* get_plugin_descriptor)(const struct clap_plugin_factory* factory,
                                                                   uint32_t index);
  const clap_plugin_t*(CLAP_ABI* create_plugin)(const struct clap_plugin_factory* factory, const clap_host_t* host,
                                                const char* plugin_id);
} clap_plugin_factory_t;

// Extensions.
static const char CLAP_PLUGIN_FACTORY_ID[] = "clap.plugin-factory";
static const char CLAP_EXT_AUDIO_PORTS[] = "clap.audio-ports";
static const char CLAP_EXT_PARAMS[] = "clap.params";
static const char CLAP_EXT_STATE[] = "clap.state";
static const char CLAP_EXT_LATENCY[] = "clap.latency";
static const char CLAP_PORT_STEREO[] = "stereo";

enum { CLAP_AUDIO_PORT_IS_MAIN = 1 };

typedef struct clap_audio_port_info {
  clap_id id;
  char name[CLAP_NAME_SIZE];
  uint32_t flags;
  uint32_t channel_count;
  const char* port_type;
  clap_id in_place_pair;
} clap_audio_port_info_t;

typedef struct clap_plugin_audio_ports {
  uint32_t(CLAP_ABI* count)(const clap_plugin_t* plugin, bool is_input);
  bool(CLAP_ABI* get)(const clap_plugin_t* plugin, uint32_t index, bool is_input, clap_audio_port_info_t* info);
} clap_plugin_audio_ports_t;

enum {
  CLAP_PARAM_IS_STEPPED = 1 << 0,
  CLAP_PARAM_IS_BYPASS = 1 << 4,
  CLAP_PARAM_IS_AUTOMATABLE = 1 << 5,
  CLAP_PARAM_IS_ENUM = 1 << 16
};
enum { CLAP_PARAM_RESCAN_VALUES = 1 << 0 };

typedef struct clap_param_info {
  clap_id id;
  uint32_t flags;
  void* cookie;
  char name[CLAP_NAME_SIZE];
  char module[CLAP_PATH_SIZE];
  double min_value;
  double max_value;
  double default_value;
} clap_param_info_t;

typedef struct clap_plugin_params {
  uint32_t(CLAP_ABI* count)(const clap_plugin_t* plugin);
  bool(CLAP_ABI* get_info)(const clap_plugin_t* plugin, uint32_t param_index, clap_param_info_t* param_info);
  bool(CLAP_ABI* get_value)(const clap_plugin_t* plugin, clap_id param_id, double* out_value);
  bool(CLAP_ABI* value_to_text)(const clap_plugin_t* plugin, clap_id param_id, double value, char* out_buffer,
                                uint32_t out_buffer_capacity);
  bool(CLAP_ABI* text_to_value)(const clap_plugin_t* plugin, clap_id param_id, const char* param_value_text,
                                double* out_value);
  void(CLAP_ABI* flush)(const clap_plugin_t* plugin, const clap_input_events_t* in, const clap_output_events_t* out);
} clap_plugin_params_t;

typedef struct clap_host_params {
  void(CLAP_ABI* rescan)(const clap_host_t* host, uint32_t flags);
  void(CLAP_ABI* clear)(const clap_host_t* host, clap_id param_id, uint32_t flags);
  void(CLAP_ABI* request_flush)(const clap_host_t* host);
} clap_host_params_t;

typedef struct clap_istream {
  void* ctx;
  int64_t(CLAP_ABI* read)(const struct clap_istream* stream, void* buffer, uint64_t size);
} clap_istream_t;

typedef struct clap_ostream {
  void* ctx;
  int64_t(CLAP_ABI* write)(const struct clap_ostream* stream, const void* buffer, uint64_t size);
} clap_ostream_t;

typedef struct clap_plugin_state {
  bool(CLAP_ABI* save)(const clap_plugin_t* plugin, const clap_ostream_t* stream);
  bool(CLAP_ABI* load)(const clap_plugin_t* plugin, const clap_istream_t* stream);
} clap_plugin_state_t;

typedef struct clap_host_state {
  void(CLAP_ABI* mark_dirty)(const clap_host_t* host);
} clap_host_state_t;

typedef struct clap_host_latency {
  void(CLAP_ABI* changed)(const clap_host_t* host);
} clap_host_latency_t;

typedef struct clap_host_thread_check {
  bool(CLAP_ABI* is_main_thread)(const clap_host_t* host);
  bool(CLAP_ABI* is_audio_thread)(const clap_host_t* host);
} clap_host_thread_check_t;
static const char CLAP_EXT_THREAD_CHECK[] = "clap.thread-check";

typedef struct clap_plugin_latency {
  uint32_t(CLAP_ABI* get)(const clap_plugin_t* plugin);
} clap_plugin_latency_t;

}  // extern "C"

// Offsets as hosts and plug-ins read them: 64-bit; 32-bit Windows (8-byte
// fields 8-aligned); 32-bit Linux (4-aligned).
#if UINTPTR_MAX > 0xFFFFFFFFu
static_assert(sizeof(clap_plugin_entry_t) == 40 && offsetof(clap_plugin_entry_t, get_factory) == 32, "entry");
static_assert(sizeof(clap_plugin_descriptor_t) == 88 && offsetof(clap_plugin_descriptor_t, features) == 80,
              "descriptor");
static_assert(sizeof(clap_host_t) == 88 && offsetof(clap_host_t, request_callback) == 80, "host");
static_assert(sizeof(clap_plugin_t) == 96 && offsetof(clap_plugin_t, on_main_thread) == 88, "plugin");
static_assert(sizeof(clap_process_t) == 64 && offsetof(clap_process_t, out_events) == 56, "process");
static_assert(sizeof(clap_audio_buffer_t) == 32 && offsetof(clap_audio_buffer_t, constant_mask) == 24, "buffer");
static_assert(sizeof(clap_event_param_value_t) == 56 && offsetof(clap_event_param_value_t, value) == 48, "event");
static_assert(sizeof(clap_audio_port_info_t) == 288 && offsetof(clap_audio_port_info_t, in_place_pair) == 280,
              "port info");
static_assert(sizeof(clap_param_info_t) == 1320 && offsetof(clap_param_info_t, min_value) == 1296, "param info");
#else
static_assert(sizeof(clap_plugin_entry_t) == 24 && offsetof(clap_plugin_entry_t, get_factory) == 20, "entry");
static_assert(sizeof(clap_plugin_descriptor_t) == 48 && offsetof(clap_plugin_descriptor_t, features) == 44,
              "descriptor");
static_assert(sizeof(clap_host_t) == 48 && offsetof(clap_host_t, request_callback) == 44, "host");
static_assert(sizeof(clap_plugin_t) == 48 && offsetof(clap_plugin_t, on_main_thread) == 44, "plugin");
static_assert(sizeof(clap_process_t) == 40 && offsetof(clap_process_t, out_events) == 36, "process");
static_assert(sizeof(clap_audio_buffer_t) == 24 && offsetof(clap_audio_buffer_t, constant_mask) == 16, "buffer");
static_assert(sizeof(clap_audio_port_info_t) == 276 && offsetof(clap_audio_port_info_t, in_place_pair) == 272,
              "port info");
#if defined(_WIN32)
static_assert(sizeof(clap_event_param_value_t) == 48 && offsetof(clap_event_param_value_t, value) == 40, "event");
static_assert(sizeof(clap_param_info_t) == 1320 && offsetof(clap_param_info_t, min_value) == 1296, "param info");
#else
static_assert(sizeof(clap_event_param_value_t) == 44 && offsetof(clap_event_param_value_t, value) == 36, "event");
static_assert(sizeof(clap_param_info_t) == 1316 && offsetof(clap_param_info_t, min_value) == 1292, "param info");
#endif
#endif
