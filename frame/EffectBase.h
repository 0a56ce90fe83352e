// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstdint>

#include "EffectRecord.h"

/// Base of every effect: owns the record the host drives, turns the host's
/// calls on the record into virtual calls, and gives each operation a harmless
/// default. Texts are written into buffers the caller provides.
class EffectBase {
public:
  EffectBase(audioMasterCallback audioMaster, int32_t numPrograms, int32_t numParams);
  EffectBase(const EffectBase&) = delete;
  EffectBase& operator=(const EffectBase&) = delete;

  virtual ~EffectBase();
  virtual void setParameter(int32_t index, float value);
  virtual float getParameter(int32_t index);
  virtual void setParameterAutomated(int32_t index, float value);
  virtual void process(float** inputs, float** outputs, int32_t sampleFrames) = 0;
  virtual void processReplacing(float** inputs, float** outputs, int32_t sampleFrames);
  virtual intptr_t dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt);
  virtual void open();
  virtual void close();
  virtual int32_t getProgram();
  virtual void setProgram(int32_t program);
  virtual void setProgramName(char* name);
  virtual void getProgramName(char* name);
  virtual void getParameterLabel(int32_t index, char* label);
  virtual void getParameterDisplay(int32_t index, char* text);
  virtual void getParameterName(int32_t index, char* text);
  virtual float getVu();
  virtual int32_t getChunk(void** data, bool isPreset);
  virtual int32_t setChunk(void* data, int32_t byteSize, bool isPreset);
  virtual void setSampleRate(float rate);
  virtual void setBlockSize(int32_t size);
  virtual void suspend();
  virtual void resume();
  virtual void setUniqueID(int32_t id);
  virtual void setNumInputs(int32_t count);
  virtual void setNumOutputs(int32_t count);
  virtual void setHasVu(bool state);
  virtual void setHasClip(bool state);
  virtual void setCanMono(bool state);
  virtual void setCanReplacing(bool state);
  virtual void setProgramChunks(bool state);
  virtual void setRealQualities(int32_t count);
  virtual void setOffQualities(int32_t count);
  virtual void setInitialDelay(int32_t delay);
  virtual float getSampleRate();
  virtual int32_t getBlockSize();
  virtual int32_t getHostVersion();
  virtual int32_t getHostCurrentId();
  virtual void hostIdle();
  virtual bool isInputPinConnected(int32_t input);
  virtual bool isOutputPinConnected(int32_t output);
  // Every text below has at most 8 characters and its terminating zero.
  virtual void formatDecibels(float value, char* text);
  virtual void formatHertz(float samples, char* text);
  virtual void formatMilliseconds(float samples, char* text);
  virtual void formatFloat(float value, char* text);
  virtual void formatInteger(int32_t value, char* text);

  AEffect* record() { return &effectRecord; }
  static EffectBase* fromRecord(AEffect* effect) { return static_cast<EffectBase*>(effect->object); }

protected:
  void setFlag(int32_t bit, bool state);

  // Hosts call from several threads at once (automation on one, program
  // changes on another), so what more than one of them writes is atomic.
  std::atomic<float> sampleRate{44100.0f};
  audioMasterCallback audioMaster = nullptr;
  int32_t numPrograms = 0;
  int32_t numParams = 0;
  std::atomic<int32_t> curProgram{0};
  std::atomic<int32_t> blockSize{1024};
  AEffect effectRecord{};
};

/// Made by the effect library: the one effect the entry point hands out.
/// Returns null when the object cannot be allocated.
EffectBase* createEffectInstance(audioMasterCallback audioMaster);

/// What the exported entry does: asks the host's version and, when the host
/// answers, creates an effect and returns its record.
AEffect* createPlugin(audioMasterCallback audioMaster);
