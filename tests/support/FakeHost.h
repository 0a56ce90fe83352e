// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "EffectRecord.h"

/// A host callback that records every call and answers from a table. The
/// callback has no context argument, so the recording is process-wide.
struct HostCall {
  AEffect* effect;
  int32_t opcode;
  int32_t index;
  intptr_t value;
  void* ptr;
  float opt;
};

class FakeHost {
public:
  static std::vector<HostCall>& calls() {
    static std::vector<HostCall> recorded;
    return recorded;
  }
  static intptr_t& answer(int32_t opcode) {
    static intptr_t answers[8] = {0, 2400, 0, 0, 0, 0, 0, 0};
    return answers[opcode & 7];
  }
  static void reset() {
    calls().clear();
    for (int32_t op = 0; op < 8; ++op) answer(op) = 0;
    answer(audioMasterVersion) = 2400;
  }
  static intptr_t callback(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
    calls().push_back({effect, opcode, index, value, ptr, opt});
    return answer(opcode);
  }
};

/// Drives an effect only through its record, as a host does.
class RecordDriver {
public:
  explicit RecordDriver(AEffect* driven) : effect(driven) {}

  intptr_t dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr, float opt = 0.0f) {
    return effect->dispatcher(effect, opcode, index, value, ptr, opt);
  }
  /// The text an opcode writes, read from a buffer prefilled with a sentinel.
  std::string text(int32_t opcode, int32_t index = 0) {
    char buffer[256];
    std::memset(buffer, '#', sizeof buffer);
    buffer[sizeof buffer - 1] = '\0';
    dispatch(opcode, index, 0, buffer);
    return buffer;
  }
  void set(int32_t index, float value) { effect->setParameter(effect, index, value); }
  float get(int32_t index) { return effect->getParameter(effect, index); }
  void selectProgram(int32_t program) { dispatch(effSetProgram, 0, program); }
  void replace(float* inL, float* inR, float* outL, float* outR, int32_t frames) {
    float* in[2] = {inL, inR};
    float* out[2] = {outL, outR};
    effect->processReplacing(effect, in, out, frames);
  }
  void add(float* inL, float* inR, float* outL, float* outR, int32_t frames) {
    float* in[2] = {inL, inR};
    float* out[2] = {outL, outR};
    effect->process(effect, in, out, frames);
  }
  intptr_t close() { return dispatch(effClose); }

  AEffect* effect;
};
