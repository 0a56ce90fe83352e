// SPDX-License-Identifier: GPL-3.0-or-later
#include "PluginHost.h"

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

intptr_t LoadedPlugin::hostCallback(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
  return opcode == audioMasterVersion ? kHostVersion : 0;
}

LoadedPlugin::LoadedPlugin(const std::string& path) : libraryPath(path) {
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

LoadedPlugin::~LoadedPlugin() {
  if (effect) dispatch(effClose);
  if (library) dlclose(library);
}

intptr_t LoadedPlugin::dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
  return effect->dispatcher(effect, opcode, index, value, ptr, opt);
}

std::string LoadedPlugin::text(int32_t opcode, int32_t index) {
  std::vector<char> buffer(kTextBufferSize + kTextGuard, '\0');
  dispatch(opcode, index, 0, buffer.data());
  buffer[kTextBufferSize - 1] = '\0';
  std::string text = buffer.data();
  if (text.size() > kLongestText) text.resize(kLongestText);
  return text;
}

std::string trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}
