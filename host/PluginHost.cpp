// SPDX-License-Identifier: GPL-3.0-or-later
#include "PluginHost.h"

#include "ClapPlugin.h"

#include <dlfcn.h>

#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <vector>

namespace {

constexpr intptr_t kHostVersion = 2400;
// Generous room for texts, with a guard behind it: a well-behaved effect
// writes far less, and what comes back is cut to a length a table can show.
constexpr size_t kTextBufferSize = 16384;
constexpr size_t kTextGuard = 64;
constexpr size_t kLongestText = 255;
// Counts beyond these are no plug-in's real ones: they would only make loops
// and buffers without end.
constexpr int32_t kMostChannels = 256;
constexpr int32_t kMostParameters = 100000;
constexpr int32_t kMostPrograms = 100000;

using EntryPoint = AEffect* (*)(audioMasterCallback);

std::runtime_error failure(const std::string& path, const std::string& what) {
  return std::runtime_error("plug-in '" + path + "': " + what);
}

}  // namespace

intptr_t RecordPlugin::hostCallback(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
  return opcode == audioMasterVersion ? kHostVersion : 0;
}

RecordPlugin::RecordPlugin(const std::string& path) : LoadedPlugin(path) {
  if (!std::filesystem::exists(path)) throw failure(path, "no such file");
  library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library) {
    const char* reason = dlerror();
    throw failure(path, std::string("not a loadable shared library (") + (reason ? reason : "unknown") + ")");
  }
  auto entry = reinterpret_cast<EntryPoint>(dlsym(library, "VSTPluginMain"));
  if (!entry) entry = reinterpret_cast<EntryPoint>(dlsym(library, "main"));
  if (!entry) {
    dlclose(library);
    throw failure(path, "exports neither VSTPluginMain nor main");
  }
  effect = entry(hostCallback);
  if (!effect) {
    dlclose(library);
    throw failure(path, "its entry point returned no effect");
  }
  if (effect->magic != kEffectMagic) {
    // Not a record of this interface: nothing in it can be trusted, not even
    // its close entry, so the library stays loaded.
    effect = nullptr;
    library = nullptr;
    throw failure(path, "its entry point returned a record with the wrong magic number");
  }
  // Nothing in a record whose entries are missing can be called, not even
  // its close entry, so the library stays loaded.
  const char* missing = !effect->dispatcher                                                   ? "dispatcher"
                        : !effect->getParameter                                               ? "getParameter"
                        : !effect->setParameter                                               ? "setParameter"
                        : (effect->flags & effFlagsCanReplacing) && !effect->processReplacing ? "processReplacing"
                                                                                              : nullptr;
  if (missing) {
    effect = nullptr;
    library = nullptr;
    throw failure(path, std::string("its record has no ") + missing + " entry");
  }
  // Hosts open an effect right after creating it; some plug-ins set
  // themselves up only then.
  dispatch(effOpen);
  const struct {
    const char* field;
    int32_t value, most;
  } counts[] = {{"numInputs", effect->numInputs, kMostChannels},
                {"numOutputs", effect->numOutputs, kMostChannels},
                {"numParams", effect->numParams, kMostParameters},
                {"numPrograms", effect->numPrograms, kMostPrograms}};
  for (const auto& c : counts)
    if (c.value < 0 || c.value > c.most) {
      dispatch(effClose);
      effect = nullptr;
      dlclose(library);
      library = nullptr;
      throw failure(path, std::string("its record claims ") + c.field + " = " + std::to_string(c.value) +
                              " (this host takes 0 to " + std::to_string(c.most) + ")");
    }
}

RecordPlugin::~RecordPlugin() {
  if (effect) dispatch(effClose);
  if (library) dlclose(library);
}

intptr_t RecordPlugin::dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
  return effect->dispatcher(effect, opcode, index, value, ptr, opt);
}

std::string RecordPlugin::text(int32_t opcode, int32_t index) {
  std::vector<char> buffer(kTextBufferSize + kTextGuard, '\0');
  dispatch(opcode, index, 0, buffer.data());
  buffer[kTextBufferSize - 1] = '\0';
  std::string text = buffer.data();
  if (text.size() > kLongestText) text.resize(kLongestText);
  return text;
}

std::string RecordPlugin::identifier() const { return fourChars(effect->uniqueID); }

std::string RecordPlugin::fullIdentifier() const {
  return fourChars(effect->uniqueID) + " (" + std::to_string(effect->uniqueID) + ")";
}

bool RecordPlugin::isOurEffect() const { return effect->uniqueID == kOurEffect; }

std::vector<std::pair<std::string, std::string>> RecordPlugin::details() const {
  static const std::pair<int32_t, const char*> names[] = {{effFlagsHasEditor, "HasEditor"},
                                                          {effFlagsHasClip, "HasClip"},
                                                          {effFlagsHasVu, "HasVu"},
                                                          {effFlagsCanMono, "CanMono"},
                                                          {effFlagsCanReplacing, "CanReplacing"},
                                                          {effFlagsProgramChunks, "ProgramChunks"}};
  std::string flags;
  for (const auto& [bit, name] : names)
    if (effect->flags & bit) flags += (flags.empty() ? "" : " ") + std::string(name);
  return {{"inputs", std::to_string(effect->numInputs)},
          {"outputs", std::to_string(effect->numOutputs)},
          {"programs", std::to_string(effect->numPrograms)},
          {"parameters", std::to_string(effect->numParams)},
          {"flags", (flags.empty() ? "none" : flags) + " (" + std::to_string(effect->flags) + ")"}};
}

void RecordPlugin::start(double rate, int32_t blockFrames) {
  if (!(effect->flags & effFlagsCanReplacing))
    throw std::runtime_error("plug-in '" + path() + "': does not offer processReplacing");
  dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate));
  dispatch(effSetBlockSize, 0, blockFrames);
  dispatch(effMainsChanged, 0, 1);
}

std::unique_ptr<LoadedPlugin> loadPlugin(const std::string& path) {
  if (ClapPlugin::isClap(path)) return std::make_unique<ClapPlugin>(path);
  return std::make_unique<RecordPlugin>(path);
}

std::string fourChars(int32_t code) {
  std::string s;
  for (int shift = 24; shift >= 0; shift -= 8) {
    const char c = static_cast<char>((static_cast<uint32_t>(code) >> shift) & 0xFF);
    s += (c >= 32 && c < 127) ? c : '?';
  }
  return s;
}

std::string trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}
