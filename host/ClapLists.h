// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "ClapAbi.h"

/// What a CLAP host hands a plug-in besides audio: a block's parameter
/// events, and streams over bytes in memory.
namespace claplists {

/// PARAM_VALUE events of one block, kept sorted by frame.
class ParamEvents {
public:
  void add(clap_id id, double value, uint32_t time = 0, void* cookie = nullptr,
           uint16_t space = CLAP_CORE_EVENT_SPACE_ID) {
    clap_event_param_value_t e{};
    e.header = {sizeof e, time, space, CLAP_EVENT_PARAM_VALUE, 0};
    e.param_id = id;
    e.cookie = cookie;
    e.note_id = e.port_index = e.channel = e.key = -1;  // the parameter as a whole
    e.value = value;
    const auto later =
        std::upper_bound(events.begin(), events.end(), time,
                         [](uint32_t t, const clap_event_param_value_t& x) { return t < x.header.time; });
    events.insert(later, e);
  }
  void clear() { events.clear(); }
  bool empty() const { return events.empty(); }
  const clap_input_events_t* list() const { return &input; }

private:
  static uint32_t CLAP_ABI size(const clap_input_events_t* l) {
    return static_cast<uint32_t>(static_cast<const ParamEvents*>(l->ctx)->events.size());
  }
  static const clap_event_header_t* CLAP_ABI get(const clap_input_events_t* l, uint32_t i) {
    const auto& all = static_cast<const ParamEvents*>(l->ctx)->events;
    return i < all.size() ? &all[i].header : nullptr;
  }
  std::vector<clap_event_param_value_t> events;
  clap_input_events_t input{this, size, get};
};

/// Bytes in memory as a CLAP stream, at most `chunk` bytes a call.
struct MemoryStream {
  std::vector<unsigned char> bytes;
  size_t position = 0;
  uint64_t chunk = UINT64_MAX;
  clap_istream_t in{this, read};
  clap_ostream_t out{this, write};

  MemoryStream() = default;
  MemoryStream(const MemoryStream&) = delete;
  MemoryStream& operator=(const MemoryStream&) = delete;

  static int64_t CLAP_ABI read(const clap_istream_t* s, void* buffer, uint64_t size) {
    auto* self = static_cast<MemoryStream*>(s->ctx);
    const auto n =
        static_cast<size_t>(std::min({size, self->chunk, static_cast<uint64_t>(self->bytes.size() - self->position)}));
    if (n > 0) std::memcpy(buffer, self->bytes.data() + self->position, n);
    self->position += n;
    return static_cast<int64_t>(n);
  }
  static int64_t CLAP_ABI write(const clap_ostream_t* s, const void* buffer, uint64_t size) {
    auto* self = static_cast<MemoryStream*>(s->ctx);
    const auto n = static_cast<size_t>(std::min({size, self->chunk, uint64_t{SIZE_MAX}}));
    const auto* from = static_cast<const unsigned char*>(buffer);
    self->bytes.insert(self->bytes.end(), from, from + n);
    return static_cast<int64_t>(n);
  }
};

}  // namespace claplists
