// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

#include "EffectBase.h"

/// An effect that keeps EffectBase's defaults and notes which operations the
/// dispatcher reached, with what.
class RecordingEffect : public EffectBase {
public:
  explicit RecordingEffect(audioMasterCallback host, int32_t programs = 4, int32_t params = 3)
      : EffectBase(host, programs, params) {}
  ~RecordingEffect() override { ++destroyed(); }

  void process(float**, float**, int32_t) override {}
  void setParameter(int32_t index, float value) override {
    log.push_back("set " + std::to_string(index) + " " + std::to_string(value));
  }
  void close() override { log.push_back("close"); }
  void setProgram(int32_t program) override {
    log.push_back("program " + std::to_string(program));
    EffectBase::setProgram(program);
  }
  void suspend() override { log.push_back("suspend"); }
  void resume() override { log.push_back("resume"); }
  float getVu() override { return vu; }
  int32_t getChunk(void** data, bool isPreset) override {
    log.push_back(std::string("chunk ") + (isPreset ? "preset" : "bank"));
    *data = nullptr;
    return 17;
  }
  int32_t setChunk(void*, int32_t byteSize, bool isPreset) override {
    log.push_back("setChunk " + std::to_string(byteSize) + (isPreset ? " preset" : " bank"));
    return 5;
  }

  static int& destroyed() {
    static int count = 0;
    return count;
  }

  std::vector<std::string> log;
  float vu = 0.0f;
};
