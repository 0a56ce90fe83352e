// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "EffectRecord.h"

/// A plug-in of the interface, loaded and driven the way a sequencer does:
/// through the exported entry and then only through the record's entries.
class LoadedPlugin {
public:
  /// Loads the library and creates its effect; throws std::runtime_error
  /// naming the path and what is wrong.
  explicit LoadedPlugin(const std::string& path);
  ~LoadedPlugin();
  LoadedPlugin(const LoadedPlugin&) = delete;
  LoadedPlugin& operator=(const LoadedPlugin&) = delete;

  const AEffect& record() const { return *effect; }
  const std::string& path() const { return libraryPath; }

  intptr_t dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr, float opt = 0.0f);
  /// A text the effect writes for opcode, always terminated, whatever it writes.
  std::string text(int32_t opcode, int32_t index = 0);

  int32_t parameterCount() const { return effect->numParams; }
  int32_t inputCount() const { return effect->numInputs; }
  int32_t outputCount() const { return effect->numOutputs; }
  int32_t programCount() const { return effect->numPrograms; }
  std::string parameterName(int32_t index) { return text(effGetParamName, index); }
  std::string parameterDisplay(int32_t index) { return text(effGetParamDisplay, index); }
  std::string parameterLabel(int32_t index) { return text(effGetParamLabel, index); }
  float parameter(int32_t index) { return effect->getParameter(effect, index); }
  void setParameter(int32_t index, float value) { effect->setParameter(effect, index, value); }
  void selectProgram(int32_t program) { dispatch(effSetProgram, 0, program); }
  int32_t currentProgram() { return static_cast<int32_t>(dispatch(effGetProgram)); }
  std::string programName() { return text(effGetProgramName); }

  /// Overwrites outputs (one buffer per output) with the effect's output from
  /// inputs (one per input); the effect must support it.
  void processReplacing(float** inputs, float** outputs, int32_t frames) {
    effect->processReplacing(effect, inputs, outputs, frames);
  }

  /// The host answers what it is asked: a version, nothing else.
  static intptr_t hostCallback(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt);

private:
  std::string libraryPath;
  void* library = nullptr;
  AEffect* effect = nullptr;
};

/// Our own effect's identifier: the tool measures its bands, names its design
/// rate and maps its units exactly, and drives every other plug-in as a black box.
constexpr int32_t kOurEffect = fourCharCode('Q', 'd', '3', 'r');
/// The rate our effect's filters are designed for.
constexpr int kOurDesignRate = 44100;

/// Trims spaces at both ends: the effect pads its names and labels.
std::string trimmed(const std::string& text);
