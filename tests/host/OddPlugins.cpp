// SPDX-License-Identifier: GPL-3.0-or-later
// Libraries that look like plug-ins but are not sound ones, for the host's
// error handling. Which one is built is chosen by ODD_PLUGIN_KIND.
#include <cstdint>
#include <cstring>

#include "EffectRecord.h"

#define ODD_EXPORT extern "C" __attribute__((visibility("default")))

#if ODD_PLUGIN_KIND == 1  // exports no entry at all
ODD_EXPORT int somethingElse() { return 1; }
#elif ODD_PLUGIN_KIND == 2  // its entry creates nothing
ODD_EXPORT AEffect* VSTPluginMain(audioMasterCallback) { return nullptr; }
#elif ODD_PLUGIN_KIND == 3  // its entry returns a record of another kind
ODD_EXPORT AEffect* VSTPluginMain(audioMasterCallback) {
  static AEffect record;
  std::memset(&record, 0, sizeof record);
  record.magic = 0x12345678;
  return &record;
}
#endif

#if ODD_PLUGIN_KIND == 4 || ODD_PLUGIN_KIND == 5
// A working record without the effect behind it: kind 4 puts out nothing but
// NaN; kind 5 is a mono gain of one half, one input and one output.
namespace {

intptr_t dispatch(AEffect*, int32_t, int32_t, intptr_t, void*, float) { return 0; }
void setParameter(AEffect*, int32_t, float) {}
float getParameter(AEffect*, int32_t) { return 0.0f; }
void processReplacing(AEffect* effect, float** inputs, float** outputs, int32_t frames) {
  for (int32_t c = 0; c < effect->numOutputs; ++c)
    for (int32_t i = 0; i < frames; ++i)
      outputs[c][i] = ODD_PLUGIN_KIND == 4 ? __builtin_nanf("") : 0.5f * inputs[c][i];
}

}  // namespace

ODD_EXPORT AEffect* VSTPluginMain(audioMasterCallback) {
  static AEffect record;
  std::memset(&record, 0, sizeof record);
  record.magic = kEffectMagic;
  record.dispatcher = dispatch;
  record.setParameter = setParameter;
  record.getParameter = getParameter;
  record.processReplacing = processReplacing;
  record.numInputs = record.numOutputs = ODD_PLUGIN_KIND == 4 ? 2 : 1;
  record.flags = effFlagsCanReplacing;
  record.uniqueID = fourCharCode('O', 'd', 'd', static_cast<char>('0' + ODD_PLUGIN_KIND));
  return &record;
}
#endif

#if ODD_PLUGIN_KIND == 6
// A plug-in that breaks one rule of the interface, chosen by the
// environment variable TRIBAND_MISBEHAVE, for the host's defences.
#include <climits>
#include <cstdlib>
#include <string>

namespace {

std::string misbehaviour() {
  const char* m = std::getenv("TRIBAND_MISBEHAVE");
  return m ? m : "";
}

intptr_t dispatch(AEffect*, int32_t opcode, int32_t, intptr_t, void* ptr, float) {
  if (opcode == effGetParamName && misbehaviour() == "long-name") {
    std::memset(ptr, 'n', 600);  // far past any buffer a host should trust
    static_cast<char*>(ptr)[600] = '\0';
  }
  return 0;
}
void setParameter(AEffect*, int32_t, float) {}
float getParameter(AEffect*, int32_t) { return 0.0f; }
void processReplacing(AEffect*, float** inputs, float** outputs, int32_t frames) {
  if (misbehaviour() == "exit") std::exit(0);
  if (misbehaviour() == "crash") __builtin_trap();
  const float gain = misbehaviour() == "silent" ? 0.0f : 1.0f;
  for (int32_t c = 0; c < 2; ++c)
    for (int32_t i = 0; i < frames; ++i) outputs[c][i] = gain * inputs[c][i];
}

}  // namespace

ODD_EXPORT AEffect* VSTPluginMain(audioMasterCallback) {
  static AEffect record;
  std::memset(&record, 0, sizeof record);
  const std::string m = misbehaviour();
  record.magic = kEffectMagic;
  record.dispatcher = m == "no-dispatcher" ? nullptr : dispatch;
  record.setParameter = setParameter;
  record.getParameter = getParameter;
  record.processReplacing = m == "no-process" ? nullptr : processReplacing;
  record.numInputs = m == "many-inputs" ? 10000 : 2;
  record.numOutputs = m == "many-outputs" ? 10000 : 2;
  record.numPrograms = m == "many-programs" ? INT_MAX : 1;
  record.numParams = 1;
  record.flags = effFlagsCanReplacing;
  record.uniqueID = fourCharCode('O', 'd', 'd', '6');
  return &record;
}
#endif
