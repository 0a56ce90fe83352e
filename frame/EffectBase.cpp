// SPDX-License-Identifier: GPL-3.0-or-later
#include "EffectBase.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace {

// The record entries: each finds the object through the record and makes one
// virtual call, so the derived effect's override is what runs.
intptr_t dispatcherEntry(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                         float opt) noexcept {
  EffectBase* object = EffectBase::fromRecord(effect);
  if (opcode == effClose) {
    object->dispatcher(opcode, index, value, ptr, opt);
    delete object;
    return 1;
  }
  return object->dispatcher(opcode, index, value, ptr, opt);
}

void processEntry(AEffect* effect, float** inputs, float** outputs, int32_t sampleFrames) noexcept {
  EffectBase::fromRecord(effect)->process(inputs, outputs, sampleFrames);
}

void setParameterEntry(AEffect* effect, int32_t index, float value) noexcept {
  EffectBase::fromRecord(effect)->setParameter(index, value);
}

float getParameterEntry(AEffect* effect, int32_t index) noexcept {
  return EffectBase::fromRecord(effect)->getParameter(index);
}

void processReplacingEntry(AEffect* effect, float** inputs, float** outputs, int32_t sampleFrames) noexcept {
  EffectBase::fromRecord(effect)->processReplacing(inputs, outputs, sampleFrames);
}

constexpr int32_t kDefaultUniqueId = fourCharCode('N', 'o', 'E', 'f');
constexpr intptr_t kIdentifyAnswer = fourCharCode('N', 'v', 'E', 'f');
constexpr int32_t kLastOpcode = effSetChunk;
constexpr double kVuScale = 32767.0;

// The VU reading is truncated toward zero; a reading outside the integer
// range saturates instead of being undefined.
int32_t vuToInteger(float vu) {
  const double scaled = static_cast<double>(vu) * kVuScale;
  if (!(scaled == scaled)) return 0;
  if (scaled >= static_cast<double>(std::numeric_limits<int32_t>::max())) return std::numeric_limits<int32_t>::max();
  if (scaled <= static_cast<double>(std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(scaled);
}

}  // namespace

EffectBase::EffectBase(audioMasterCallback host, int32_t programs, int32_t parameters)
    : audioMaster(host), numPrograms(programs), numParams(parameters) {
  std::memset(&effectRecord, 0, sizeof effectRecord);
  effectRecord.magic = kEffectMagic;
  effectRecord.dispatcher = dispatcherEntry;
  effectRecord.process = processEntry;
  effectRecord.setParameter = setParameterEntry;
  effectRecord.getParameter = getParameterEntry;
  effectRecord.numPrograms = numPrograms;
  effectRecord.numParams = numParams;
  effectRecord.numInputs = 1;
  effectRecord.numOutputs = 2;
  effectRecord.ioRatio = 1.0f;
  effectRecord.object = this;
  effectRecord.uniqueID = kDefaultUniqueId;
  effectRecord.version = 1;
  effectRecord.processReplacing = processReplacingEntry;
}

EffectBase::~EffectBase() = default;

void EffectBase::setParameter(int32_t, float) {}
float EffectBase::getParameter(int32_t) { return 0.0f; }
void EffectBase::processReplacing(float**, float**, int32_t) {}

// Opcodes are compared unsigned, so negative ones land with those above the
// last one; unknown opcodes answer 0, which hosts read as "not supported".
intptr_t EffectBase::dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
  if (static_cast<uint32_t>(opcode) > static_cast<uint32_t>(kLastOpcode)) return 0;
  char* text = static_cast<char*>(ptr);
  // A text request without a buffer has nowhere to go; it is answered 0
  // rather than written through null.
  const bool textOpcode = opcode >= effSetProgramName && opcode <= effGetParamName;
  if (textOpcode && !text) return 0;
  switch (opcode) {
    case effOpen: open(); return 0;
    case effClose: close(); return 0;
    case effSetProgram:
      // A negative number names no program; it is ignored like one too large.
      if (value >= 0 && value < numPrograms) setProgram(static_cast<int32_t>(value));
      return 0;
    case effGetProgram: return getProgram();
    case effSetProgramName: setProgramName(text); return 0;
    case effGetProgramName: getProgramName(text); return 0;
    case effGetParamLabel: getParameterLabel(index, text); return 0;
    case effGetParamDisplay: getParameterDisplay(index, text); return 0;
    case effGetParamName: getParameterName(index, text); return 0;
    case effGetVu: return vuToInteger(getVu());
    case effSetSampleRate: setSampleRate(opt); return 0;
    case effSetBlockSize: setBlockSize(static_cast<int32_t>(value)); return 0;
    case effMainsChanged:
      if (value == 0)
        suspend();
      else
        resume();
      return 0;
    case effIdentify: return kIdentifyAnswer;
    case effGetChunk: return getChunk(static_cast<void**>(ptr), index != 0);
    case effSetChunk: return setChunk(ptr, static_cast<int32_t>(value), index != 0);
    default: return 0;  // the editor opcodes: this system has no editor
  }
}

void EffectBase::open() {}
void EffectBase::close() {}
int32_t EffectBase::getProgram() { return curProgram; }
void EffectBase::setProgram(int32_t program) { curProgram = program; }
void EffectBase::setProgramName(char* name) { name[0] = '\0'; }
void EffectBase::getProgramName(char* name) { name[0] = '\0'; }
void EffectBase::getParameterLabel(int32_t, char* label) { label[0] = '\0'; }
void EffectBase::getParameterDisplay(int32_t, char* text) { text[0] = '\0'; }
void EffectBase::getParameterName(int32_t, char* text) { text[0] = '\0'; }
float EffectBase::getVu() { return 0.0f; }
int32_t EffectBase::getChunk(void**, bool) { return 0; }
int32_t EffectBase::setChunk(void*, int32_t, bool) { return 0; }
void EffectBase::setSampleRate(float rate) { sampleRate = rate; }
void EffectBase::setBlockSize(int32_t size) { blockSize = size; }
void EffectBase::suspend() {}
void EffectBase::resume() {}
void EffectBase::setUniqueID(int32_t id) { effectRecord.uniqueID = id; }
void EffectBase::setNumInputs(int32_t count) { effectRecord.numInputs = count; }
void EffectBase::setNumOutputs(int32_t count) { effectRecord.numOutputs = count; }
void EffectBase::setHasVu(bool state) { setFlag(effFlagsHasVu, state); }
void EffectBase::setHasClip(bool state) { setFlag(effFlagsHasClip, state); }
void EffectBase::setCanMono(bool state) { setFlag(effFlagsCanMono, state); }
void EffectBase::setCanReplacing(bool state) { setFlag(effFlagsCanReplacing, state); }
void EffectBase::setProgramChunks(bool state) { setFlag(effFlagsProgramChunks, state); }
void EffectBase::setRealQualities(int32_t count) { effectRecord.realQualities = count; }
void EffectBase::setOffQualities(int32_t count) { effectRecord.offQualities = count; }
void EffectBase::setInitialDelay(int32_t delay) { effectRecord.initialDelay = delay; }
float EffectBase::getSampleRate() { return sampleRate; }
int32_t EffectBase::getBlockSize() { return blockSize; }

void EffectBase::setFlag(int32_t bit, bool state) {
  if (state)
    effectRecord.flags |= bit;
  else
    effectRecord.flags &= ~bit;
}
