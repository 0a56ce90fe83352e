#include "TriBandDistortion.h"

TriBandDistortion::TriBandDistortion(audioMasterCallback host)
    : EffectBase(host, kNumPrograms, kNumParams), audio(sampleRate.load()) {
  setNumInputs(2);
  setNumOutputs(2);
  setUniqueID(fourCharCode('Q', 'd', '3', 'r'));
  setCanMono(true);
  setCanReplacing(true);
  setProgram(0);
}

TriBandDistortion::~TriBandDistortion() = default;

void TriBandDistortion::setParameter(int32_t index, float value) {
  parameters.set(curProgram.load(std::memory_order_relaxed), index, value);
}

float TriBandDistortion::getParameter(int32_t index) { return parameters.get(index); }

// An empty block touches nothing, not even the buffer lists, which some
// hosts leave null when they have no frames to give.
void TriBandDistortion::process(float** inputs, float** outputs, int32_t sampleFrames) {
  if (sampleFrames > 0) audio.process(parameters.blockSettings(), inputs, outputs, sampleFrames);
}

void TriBandDistortion::processReplacing(float** inputs, float** outputs, int32_t sampleFrames) {
  if (sampleFrames > 0) audio.processReplacing(parameters.blockSettings(), inputs, outputs, sampleFrames);
}

void TriBandDistortion::setProgram(int32_t program) {
  if (program < 0 || program >= kNumPrograms) return;
  curProgram.store(program, std::memory_order_relaxed);
  parameters.load(program);
}

void TriBandDistortion::setProgramName(char* name) {
  parameters.setProgramName(curProgram.load(std::memory_order_relaxed), name);
}

void TriBandDistortion::getProgramName(char* name) {
  parameters.getProgramName(curProgram.load(std::memory_order_relaxed), name);
}

void TriBandDistortion::getParameterLabel(int32_t index, char* label) { parameters.getLabel(index, label); }

void TriBandDistortion::getParameterDisplay(int32_t index, char* text) { parameters.getDisplay(index, text, *this); }

void TriBandDistortion::getParameterName(int32_t index, char* text) { parameters.getName(index, text); }

// Suspend and resume only clear the filter histories; the fuzz curves'
// running maxima stay.
void TriBandDistortion::suspend() { parameters.requestHistoryClear(); }

void TriBandDistortion::resume() { parameters.requestHistoryClear(); }
