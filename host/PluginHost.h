// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "EffectRecord.h"

/// A plug-in loaded and driven the way a sequencer does, whatever its
/// interface: parameters by index as normalised values 0..1 with their
/// names, displays and labels, programs where the interface has them, and
/// blocks of planar float samples.
class LoadedPlugin {
public:
  virtual ~LoadedPlugin() = default;
  LoadedPlugin(const LoadedPlugin&) = delete;
  LoadedPlugin& operator=(const LoadedPlugin&) = delete;

  const std::string& path() const { return libraryPath; }
  /// "record" or "CLAP".
  virtual const char* interfaceName() const = 0;
  /// Short, for titles ("Qd3r"; a CLAP plug-in's id); and in full, for info.
  virtual std::string identifier() const = 0;
  virtual std::string fullIdentifier() const = 0;
  /// Whether this is our own effect, in any edition: the tool then knows its
  /// bands, its design rate and its units exactly.
  virtual bool isOurEffect() const = 0;
  /// Lines "name value" that describe the plug-in, for info.
  virtual std::vector<std::pair<std::string, std::string>> details() const = 0;

  virtual int32_t parameterCount() const = 0;
  virtual int32_t inputCount() const = 0;
  virtual int32_t outputCount() const = 0;
  virtual int32_t programCount() const { return 0; }
  virtual std::string parameterName(int32_t index) = 0;
  virtual std::string parameterDisplay(int32_t index) = 0;
  virtual std::string parameterLabel(int32_t index) = 0;
  virtual float parameter(int32_t index) = 0;
  virtual void setParameter(int32_t index, float value) = 0;
  virtual void selectProgram(int32_t) {}
  virtual int32_t currentProgram() { return 0; }
  virtual std::string programName() { return ""; }

  /// Ready to process at `rate` in blocks of at most `blockFrames`; throws
  /// std::runtime_error when the plug-in cannot process in place of a host's
  /// buffers (overwriting its outputs).
  virtual void start(double rate, int32_t blockFrames) = 0;
  virtual void stop() = 0;
  /// Overwrites outputs (one buffer per output) with the plug-in's output
  /// from inputs (one per input); between start and stop.
  virtual void processReplacing(float** inputs, float** outputs, int32_t frames) = 0;

protected:
  explicit LoadedPlugin(std::string path) : libraryPath(std::move(path)) {}
  std::string libraryPath;
};

/// Loads a plug-in of any interface the tool hosts: a CLAP file (one that
/// exports clap_entry, as `.clap` files do), else a plug-in of the record
/// interface. Throws std::runtime_error naming the path and what is wrong.
std::unique_ptr<LoadedPlugin> loadPlugin(const std::string& path);

/// A plug-in of the record interface: through the exported entry and then
/// only through the record's entries.
class RecordPlugin final : public LoadedPlugin {
public:
  explicit RecordPlugin(const std::string& path);
  ~RecordPlugin() override;

  const AEffect& record() const { return *effect; }
  intptr_t dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr, float opt = 0.0f);
  /// A text the effect writes for opcode, always terminated, whatever it writes.
  std::string text(int32_t opcode, int32_t index = 0);

  const char* interfaceName() const override { return "record"; }
  std::string identifier() const override;
  std::string fullIdentifier() const override;
  bool isOurEffect() const override;
  std::vector<std::pair<std::string, std::string>> details() const override;

  int32_t parameterCount() const override { return effect->numParams; }
  int32_t inputCount() const override { return effect->numInputs; }
  int32_t outputCount() const override { return effect->numOutputs; }
  int32_t programCount() const override { return effect->numPrograms; }
  std::string parameterName(int32_t index) override { return text(effGetParamName, index); }
  std::string parameterDisplay(int32_t index) override { return text(effGetParamDisplay, index); }
  std::string parameterLabel(int32_t index) override { return text(effGetParamLabel, index); }
  float parameter(int32_t index) override { return effect->getParameter(effect, index); }
  void setParameter(int32_t index, float value) override { effect->setParameter(effect, index, value); }
  void selectProgram(int32_t program) override { dispatch(effSetProgram, 0, program); }
  int32_t currentProgram() override { return static_cast<int32_t>(dispatch(effGetProgram)); }
  std::string programName() override { return text(effGetProgramName); }

  void start(double rate, int32_t blockFrames) override;
  void stop() override { dispatch(effMainsChanged, 0, 0); }
  void processReplacing(float** inputs, float** outputs, int32_t frames) override {
    effect->processReplacing(effect, inputs, outputs, frames);
  }

  /// The host answers what it is asked: a version, nothing else.
  static intptr_t hostCallback(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt);

private:
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

/// A record's identifier as its four characters.
std::string fourChars(int32_t code);
